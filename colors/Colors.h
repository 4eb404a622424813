#pragma once

#include <stdint.h>

// Colours are 0x00BBGGRR (red in the low byte). A value with the top bit set,
// 0x80000000 + n, names system colour n. Text that is no colour gives ColorNone.

#if defined(COLORS_BUILDING)
#define COLORS_API __attribute__((visibility("default")))
#else
#define COLORS_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

#define COLORS_NONE 0x1FFFFFFFu

// Turns a colour text (a CSS colour name in any case, #rgb, #rrggbb, rgb(), rgba(),
// hsl(), hsla()) into a colour; COLORS_NONE when the text is no colour.
COLORS_API uint32_t StrToColor(const char *text);

// The colour as #RRGGBB (upper case); system colours are resolved through the
// library's table of the classic system colours. The text belongs to the library
// (one buffer per thread) and stays valid until the thread's next call.
COLORS_API const char *ColorToHex(uint32_t color);

#ifdef __cplusplus
}
#endif
