#include "Colors.h"

// Placeholder until the colour parser lands.
uint32_t StrToColor(const char *) { return COLORS_NONE; }
const char *ColorToHex(uint32_t) { return "#000000"; }
