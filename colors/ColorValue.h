#pragma once

#include "Colors.h"

#include <stddef.h>
#include <stdint.h>

// Colours as style sheets write them today, kept in their own space: a colour text is
// read into its space, its three components and its alpha; it can be converted to
// any other space, mapped into sRGB for the screen, and written in any form.
//
// Components are kept in each space's own units:
//   srgb, srgb-linear, display-p3, a98-rgb, prophoto-rgb, rec2020: r g b, 0..1
//   xyz-d50, xyz-d65: x y z, 1 for the white's Y
//   hsl: hue in degrees, saturation and lightness 0..100
//   hwb: hue in degrees, whiteness and blackness 0..100
//   lab: L 0..100, a, b; lch: L 0..100, chroma, hue in degrees
//   oklab: L 0..1, a, b; oklch: L 0..1, chroma, hue in degrees
// Alpha is 0..1. Values outside a space's range stand for colours outside its gamut.

#ifdef __cplusplus
extern "C" {
#endif

// Colour spaces.
enum {
    COLORS_SRGB = 0,
    COLORS_SRGB_LINEAR,
    COLORS_DISPLAY_P3,
    COLORS_A98_RGB,
    COLORS_PROPHOTO_RGB,
    COLORS_REC2020,
    COLORS_XYZ_D50,
    COLORS_XYZ_D65,
    COLORS_HSL,
    COLORS_HWB,
    COLORS_LAB,
    COLORS_LCH,
    COLORS_OKLAB,
    COLORS_OKLCH,
    COLORS_SPACE_COUNT
};

// What a colour value is.
enum {
    COLORS_KIND_NONE = 0,     // no colour
    COLORS_KIND_VALUE,        // a colour with a fixed value
    COLORS_KIND_CURRENTCOLOR, // currentcolor, or a colour made from it: known, no fixed value
};

// Bits of ColorsValue.missing: a component (or the alpha) written as `none`.
#define COLORS_MISSING_ALPHA 8u

typedef struct ColorsValue
{
    int32_t kind;     // COLORS_KIND_*
    int32_t space;    // COLORS_SRGB...; meaningful for COLORS_KIND_VALUE
    double c[3];      // the components in the space's units (0 where missing)
    double alpha;     // 0..1 (0 where missing)
    uint32_t missing; // bit i: component i is `none`; COLORS_MISSING_ALPHA: the alpha
} ColorsValue;

// How a colour text is written: the forms that ColorsFormat writes come first.
enum {
    COLORS_FORM_HEX = 0, // #rgb #rgba #rrggbb #rrggbbaa
    COLORS_FORM_RGB,     // rgb(), rgba()
    COLORS_FORM_HSL,     // hsl(), hsla()
    COLORS_FORM_HWB,
    COLORS_FORM_LAB,
    COLORS_FORM_LCH,
    COLORS_FORM_OKLAB,
    COLORS_FORM_OKLCH,
    COLORS_FORM_COLOR,        // color(space ...)
    COLORS_FORM_NAME,         // a colour name or transparent
    COLORS_FORM_SYSTEM,       // a system colour (Canvas, ButtonFace...)
    COLORS_FORM_CURRENTCOLOR, // currentcolor
    COLORS_FORM_MIX,          // color-mix()
    COLORS_FORM_LIGHT_DARK,   // light-dark()
    COLORS_FORM_COUNT
};

// Bits of ColorsText.flags.
#define COLORS_FLAG_COMMAS 1u            // the comma-separated form of rgb() / hsl()
#define COLORS_FLAG_ALPHA_NAME 2u        // written rgba() / hsla()
#define COLORS_FLAG_RELATIVE 4u          // a relative colour: fn(from ORIGIN ...)
#define COLORS_FLAG_PERCENT_LIGHTNESS 8u // lab() ... oklch() with the lightness as a percentage

// What a colour text says. For light-dark() `color` is the light side and `dark`
// the dark side; for every other text the two are equal.
typedef struct ColorsText
{
    ColorsValue color;
    ColorsValue dark;
    int32_t form;   // COLORS_FORM_*
    uint32_t flags; // COLORS_FLAG_*
    int32_t detail; // hex: the number of digits (3, 4, 6, 8); system colour: its number
                    // in the classic table of ColorToHex (0x80000000 + detail), or -1
} ColorsText;

// Reads the colour text of `length` bytes (blanks and comments around it allowed).
// Returns 1 and fills `out` for a colour, 0 for a text that is no colour (`out` then
// has kind COLORS_KIND_NONE).
COLORS_API int ColorsParse(const char *text, size_t length, ColorsText *out);

// The colour in `space`. Components written `none` count as 0 and are no longer
// missing in the result. Returns 0 (and a result of kind COLORS_KIND_NONE) when the
// colour has no fixed value or the space is unknown.
COLORS_API int ColorsConvert(const ColorsValue *color, int32_t space, ColorsValue *out);

// 1 when the colour lies inside sRGB (within rounding), 0 when it lies outside it or
// has no fixed value.
COLORS_API int ColorsInSrgb(const ColorsValue *color);

// The sRGB colour a screen shows for the colour: the colour itself when it lies inside
// sRGB, else its gamut-mapped colour (CSS Color 4: chroma reduced in Oklch until the
// clipped colour is within a just-noticeable difference). Returns 0 for no fixed value.
COLORS_API int ColorsToScreen(const ColorsValue *color, ColorsValue *srgb);

// The screen's colour as 0x00BBGGRR (the value StrToColor gives), alpha dropped;
// COLORS_NONE for no fixed value.
COLORS_API uint32_t ColorsToBgr(const ColorsValue *color);

// Options of ColorsFormat.
#define COLORS_WRITE_UPPERCASE 1u         // hex digits in upper case
#define COLORS_WRITE_SHORT 2u             // #rgb / #rgba where the digits allow it
#define COLORS_WRITE_COMMAS 4u            // rgb() / hsl() in the comma form (rgba() / hsla() with alpha)
#define COLORS_WRITE_PERCENT_LIGHTNESS 8u // lab() ... oklch() with the lightness as a percentage

// Writes the colour as `form` (COLORS_FORM_HEX ... COLORS_FORM_COLOR) into `buffer` of
// `size` bytes, always ended with NUL when size > 0; returns the length of the whole text
// (more than size - 1 when it was cut), or 0 when the colour has no fixed value or the
// form is unknown. Hex, rgb(), hsl() and hwb() hold only sRGB: a colour outside it is
// written as ColorsToScreen maps it. lab() ... oklch() convert the colour; color() writes
// it in its own space when that is one of color()'s, else in srgb. `precision` is the
// number of decimals (trailing zeros dropped); -1 takes the form's usual ones (rgb
// channels whole, hsl/hwb 2, lab/lch 3, oklab/oklch 5 and hue 3, color() 6, alpha 4).
// A component the colour marks missing is written `none` when no conversion is needed.
COLORS_API size_t ColorsFormat(const ColorsValue *color, int32_t form, int32_t precision, uint32_t options,
                               char *buffer, size_t size);

// The CSS name of a space as color() and color-mix() write it ("srgb", "display-p3",
// "oklch"...); the empty text for an unknown space.
COLORS_API const char *ColorsSpaceName(int32_t space);

#ifdef __cplusplus
}
#endif
