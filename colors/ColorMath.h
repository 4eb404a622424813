#pragma once

#include "ColorValue.h"

#include <array>

// The colour spaces of CSS Color 4 and the conversions between them, as that
// specification defines them: every space reaches every other through CIE XYZ with the
// D65 white (lab, lch and prophoto-rgb through the D50 white and a Bradford
// adaptation); hsl and hwb are sRGB, lch and oklch the polar forms of lab and oklab.
namespace ColorMath {

using Vec3 = std::array<double, 3>;

// The components of `v` in space `from` converted to space `to` (COLORS_SRGB...).
Vec3 convert(int from, int to, const Vec3 &v);

// The polar spaces and the index of their hue.
bool isPolar(int space);
int hueIndex(int space);

// True when the sRGB components lie within 0..1 (within rounding).
bool inSrgbRange(const Vec3 &rgb);

// True when the colour (space, components) lies inside sRGB.
bool inSrgb(int space, const Vec3 &v);

// The sRGB colour a screen shows: the colour's own sRGB components when inside sRGB,
// else the colour mapped into sRGB with the CSS Color 4 algorithm (in Oklch, chroma
// reduced by binary search until the clipped colour is within 0.02 deltaEOK).
Vec3 toScreen(int space, const Vec3 &v);

// A hue in degrees brought into [0, 360).
double normalizeHue(double degrees);

} // namespace ColorMath
