#pragma once

#include "ColorValue.h"

#include <cstddef>

namespace ColorParser {

// Reads a whole colour text (blanks and comments around it allowed) into `out`;
// false, with `out` of kind COLORS_KIND_NONE, for a text that is no colour.
bool parse(const char *text, size_t length, ColorsText &out);

} // namespace ColorParser
