#include "ColorMath.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace ColorMath {

namespace {

using Mat3 = std::array<Vec3, 3>;

Vec3 mul(const Mat3 &m, const Vec3 &v)
{
    return {m[0][0] * v[0] + m[0][1] * v[1] + m[0][2] * v[2],
            m[1][0] * v[0] + m[1][1] * v[1] + m[1][2] * v[2],
            m[2][0] * v[0] + m[2][1] * v[1] + m[2][2] * v[2]};
}

Mat3 mul(const Mat3 &a, const Mat3 &b)
{
    Mat3 r{};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            r[i][j] = a[i][0] * b[0][j] + a[i][1] * b[1][j] + a[i][2] * b[2][j];
    return r;
}

Mat3 inverse(const Mat3 &m)
{
    const double a = m[0][0], b = m[0][1], c = m[0][2];
    const double d = m[1][0], e = m[1][1], f = m[1][2];
    const double g = m[2][0], h = m[2][1], i = m[2][2];
    const double A = e * i - f * h, B = -(d * i - f * g), C = d * h - e * g;
    const double det = a * A + b * B + c * C;
    return {Vec3{A / det, -(b * i - c * h) / det, (b * f - c * e) / det},
            Vec3{B / det, (a * i - c * g) / det, -(a * f - c * d) / det},
            Vec3{C / det, -(a * h - b * g) / det, (a * e - b * d) / det}};
}

// The XYZ of a white or primary given by its chromaticity, with Y = 1.
Vec3 xyzOf(double x, double y)
{
    return {x / y, 1.0, (1.0 - x - y) / y};
}

// The matrix from linear RGB to XYZ for three primaries and a white: the columns are
// the primaries' XYZ, scaled so that RGB 1 1 1 gives the white.
Mat3 rgbToXyz(double xr, double yr, double xg, double yg, double xb, double yb, const Vec3 &white)
{
    const Vec3 r = xyzOf(xr, yr), g = xyzOf(xg, yg), b = xyzOf(xb, yb);
    const Mat3 primaries{Vec3{r[0], g[0], b[0]}, Vec3{r[1], g[1], b[1]}, Vec3{r[2], g[2], b[2]}};
    const Vec3 s = mul(inverse(primaries), white);
    Mat3 m{};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            m[i][j] = primaries[i][j] * s[j];
    return m;
}

// The whites as CSS Color 4 gives them, from their chromaticities.
const Vec3 D50 = xyzOf(0.3457, 0.3585);
const Vec3 D65 = xyzOf(0.3127, 0.3290);

// Chromatic adaptation from the D50 to the D65 white (linear Bradford).
Mat3 bradford(const Vec3 &from, const Vec3 &to)
{
    const Mat3 b{Vec3{0.8951, 0.2664, -0.1614}, Vec3{-0.7502, 1.7135, 0.0367}, Vec3{0.0389, -0.0685, 1.0296}};
    const Vec3 f = mul(b, from), t = mul(b, to);
    const Mat3 scale{Vec3{t[0] / f[0], 0, 0}, Vec3{0, t[1] / f[1], 0}, Vec3{0, 0, t[2] / f[2]}};
    return mul(inverse(b), mul(scale, b));
}

struct Matrices
{
    Mat3 srgb = rgbToXyz(0.64, 0.33, 0.30, 0.60, 0.15, 0.06, D65);
    Mat3 p3 = rgbToXyz(0.680, 0.320, 0.265, 0.690, 0.150, 0.060, D65);
    Mat3 a98 = rgbToXyz(0.64, 0.33, 0.21, 0.71, 0.15, 0.06, D65);
    Mat3 rec2020 = rgbToXyz(0.708, 0.292, 0.170, 0.797, 0.131, 0.046, D65);
    Mat3 prophoto = rgbToXyz(0.734699, 0.265301, 0.159597, 0.840403, 0.036598, 0.000105, D50);
    Mat3 d50ToD65 = bradford(D50, D65);
    // Oklab: XYZ (D65) to cone responses, and their cube roots to L a b.
    Mat3 xyzToLms{Vec3{0.8190224379967030, 0.3619062600528904, -0.1288737815209879},
                  Vec3{0.0329836539323885, 0.9292868615863434, 0.0361446663506424},
                  Vec3{0.0481771893596242, 0.2642395317527308, 0.6335478284694309}};
    Mat3 lmsToOklab{Vec3{0.2104542683093140, 0.7936177747023054, -0.0040720430116193},
                    Vec3{1.9779985324311684, -2.4285922420485799, 0.4505937096174110},
                    Vec3{0.0259040424655478, 0.7827717124575296, -0.8086757549230774}};

    Mat3 srgbInv = inverse(srgb);
    Mat3 p3Inv = inverse(p3);
    Mat3 a98Inv = inverse(a98);
    Mat3 rec2020Inv = inverse(rec2020);
    Mat3 prophotoInv = inverse(prophoto);
    Mat3 d65ToD50 = inverse(d50ToD65);
    Mat3 lmsToXyz = inverse(xyzToLms);
    Mat3 oklabToLms = inverse(lmsToOklab);
    // The gamut mapping's short ways between Oklab's cone responses and linear sRGB.
    Mat3 lmsToLinearSrgb = mul(srgbInv, lmsToXyz);
    Mat3 linearSrgbToLms = mul(xyzToLms, srgb);
};

const Matrices M;

template<typename F> Vec3 each(const Vec3 &v, F f)
{
    return {f(v[0]), f(v[1]), f(v[2])};
}

// Transfer functions, extended to negative values by symmetry as CSS Color 4 does.
double srgbToLinear(double v)
{
    const double a = std::fabs(v);
    return a <= 0.04045 ? v / 12.92 : std::copysign(std::pow((a + 0.055) / 1.055, 2.4), v);
}
double srgbFromLinear(double v)
{
    const double a = std::fabs(v);
    return a > 0.0031308 ? std::copysign(1.055 * std::pow(a, 1 / 2.4) - 0.055, v) : 12.92 * v;
}
double a98ToLinear(double v)
{
    return std::copysign(std::pow(std::fabs(v), 563.0 / 256), v);
}
double a98FromLinear(double v)
{
    return std::copysign(std::pow(std::fabs(v), 256.0 / 563), v);
}
double prophotoToLinear(double v)
{
    const double a = std::fabs(v);
    return a <= 16.0 / 512 ? v / 16 : std::copysign(std::pow(a, 1.8), v);
}
double prophotoFromLinear(double v)
{
    const double a = std::fabs(v);
    return a >= 1.0 / 512 ? std::copysign(std::pow(a, 1 / 1.8), v) : 16 * v;
}
// rec2020 as CSS Color 4 defines it for display: a pure 2.4 power.
double rec2020ToLinear(double v)
{
    return std::copysign(std::pow(std::fabs(v), 2.4), v);
}
double rec2020FromLinear(double v)
{
    return std::copysign(std::pow(std::fabs(v), 1 / 2.4), v);
}

constexpr double Kappa = 24389.0 / 27;
constexpr double Epsilon = 216.0 / 24389;

Vec3 xyz50ToLab(const Vec3 &xyz)
{
    Vec3 f;
    for (int i = 0; i < 3; ++i) {
        const double v = xyz[i] / D50[i];
        f[i] = v > Epsilon ? std::cbrt(v) : (Kappa * v + 16) / 116;
    }
    return {116 * f[1] - 16, 500 * (f[0] - f[1]), 200 * (f[1] - f[2])};
}

Vec3 labToXyz50(const Vec3 &lab)
{
    const double f1 = (lab[0] + 16) / 116;
    const double f0 = lab[1] / 500 + f1;
    const double f2 = f1 - lab[2] / 200;
    const double x = f0 * f0 * f0 > Epsilon ? f0 * f0 * f0 : (116 * f0 - 16) / Kappa;
    const double y = lab[0] > Kappa * Epsilon ? f1 * f1 * f1 : lab[0] / Kappa;
    const double z = f2 * f2 * f2 > Epsilon ? f2 * f2 * f2 : (116 * f2 - 16) / Kappa;
    return {x * D50[0], y * D50[1], z * D50[2]};
}

Vec3 xyz65ToOklab(const Vec3 &xyz)
{
    return mul(M.lmsToOklab, each(mul(M.xyzToLms, xyz), [](double v) { return std::cbrt(v); }));
}

Vec3 oklabToXyz65(const Vec3 &lab)
{
    return mul(M.lmsToXyz, each(mul(M.oklabToLms, lab), [](double v) { return v * v * v; }));
}

constexpr double DegreesPerRadian = 180 / std::numbers::pi;

// Below these chromas a colour counts as grey: its hue is noise and is written as 0.
constexpr double LchGrey = 1e-4;
constexpr double OklchGrey = 4e-7;

Vec3 toPolar(const Vec3 &lab, double grey)
{
    const double c = std::hypot(lab[1], lab[2]);
    const double h = c < grey ? 0 : normalizeHue(std::atan2(lab[2], lab[1]) * DegreesPerRadian);
    return {lab[0], c, h};
}

Vec3 fromPolar(const Vec3 &lch)
{
    const double h = lch[2] / DegreesPerRadian;
    return {lch[0], lch[1] * std::cos(h), lch[1] * std::sin(h)};
}

Vec3 hslToSrgb(const Vec3 &hsl)
{
    const double h = normalizeHue(hsl[0]);
    const double s = hsl[1] / 100, l = hsl[2] / 100;
    const auto f = [&](double n) {
        const double k = std::fmod(n + h / 30, 12);
        return l - s * std::min(l, 1 - l) * std::max(-1.0, std::min({k - 3, 9 - k, 1.0}));
    };
    return {f(0), f(8), f(4)};
}

Vec3 srgbToHsl(const Vec3 &rgb)
{
    const double r = rgb[0], g = rgb[1], b = rgb[2];
    const double max = std::max({r, g, b}), min = std::min({r, g, b});
    double h = 0, s = 0;
    const double l = (min + max) / 2;
    const double d = max - min;
    if (d != 0) {
        s = (l == 0 || l == 1) ? 0 : (max - l) / std::min(l, 1 - l);
        if (max == r)
            h = (g - b) / d + (g < b ? 6 : 0);
        else if (max == g)
            h = (b - r) / d + 2;
        else
            h = (r - g) / d + 4;
        h *= 60;
    }
    // Colours far outside sRGB can give a negative saturation.
    if (s < 0) {
        h += 180;
        s = -s;
    }
    return {normalizeHue(h), s * 100, l * 100};
}

Vec3 hwbToSrgb(const Vec3 &hwb)
{
    const double w = hwb[1] / 100, b = hwb[2] / 100;
    if (w + b >= 1) {
        const double grey = w / (w + b);
        return {grey, grey, grey};
    }
    return each(hslToSrgb({hwb[0], 100, 50}), [&](double v) { return v * (1 - w - b) + w; });
}

Vec3 srgbToHwb(const Vec3 &rgb)
{
    const double h = srgbToHsl(rgb)[0];
    return {h, std::min({rgb[0], rgb[1], rgb[2]}) * 100, (1 - std::max({rgb[0], rgb[1], rgb[2]})) * 100};
}

Vec3 toXyz65(int space, const Vec3 &v)
{
    switch (space) {
    case COLORS_SRGB:
        return mul(M.srgb, each(v, srgbToLinear));
    case COLORS_SRGB_LINEAR:
        return mul(M.srgb, v);
    case COLORS_DISPLAY_P3:
        return mul(M.p3, each(v, srgbToLinear));
    case COLORS_A98_RGB:
        return mul(M.a98, each(v, a98ToLinear));
    case COLORS_PROPHOTO_RGB:
        return mul(M.d50ToD65, mul(M.prophoto, each(v, prophotoToLinear)));
    case COLORS_REC2020:
        return mul(M.rec2020, each(v, rec2020ToLinear));
    case COLORS_XYZ_D50:
        return mul(M.d50ToD65, v);
    case COLORS_HSL:
        return toXyz65(COLORS_SRGB, hslToSrgb(v));
    case COLORS_HWB:
        return toXyz65(COLORS_SRGB, hwbToSrgb(v));
    case COLORS_LAB:
        return mul(M.d50ToD65, labToXyz50(v));
    case COLORS_LCH:
        return mul(M.d50ToD65, labToXyz50(fromPolar(v)));
    case COLORS_OKLAB:
        return oklabToXyz65(v);
    case COLORS_OKLCH:
        return oklabToXyz65(fromPolar(v));
    default:
        return v;
    }
}

Vec3 fromXyz65(int space, const Vec3 &xyz)
{
    switch (space) {
    case COLORS_SRGB:
        return each(mul(M.srgbInv, xyz), srgbFromLinear);
    case COLORS_SRGB_LINEAR:
        return mul(M.srgbInv, xyz);
    case COLORS_DISPLAY_P3:
        return each(mul(M.p3Inv, xyz), srgbFromLinear);
    case COLORS_A98_RGB:
        return each(mul(M.a98Inv, xyz), a98FromLinear);
    case COLORS_PROPHOTO_RGB:
        return each(mul(M.prophotoInv, mul(M.d65ToD50, xyz)), prophotoFromLinear);
    case COLORS_REC2020:
        return each(mul(M.rec2020Inv, xyz), rec2020FromLinear);
    case COLORS_XYZ_D50:
        return mul(M.d65ToD50, xyz);
    case COLORS_HSL:
        return srgbToHsl(fromXyz65(COLORS_SRGB, xyz));
    case COLORS_HWB:
        return srgbToHwb(fromXyz65(COLORS_SRGB, xyz));
    case COLORS_LAB:
        return xyz50ToLab(mul(M.d65ToD50, xyz));
    case COLORS_LCH:
        return toPolar(xyz50ToLab(mul(M.d65ToD50, xyz)), LchGrey);
    case COLORS_OKLAB:
        return xyz65ToOklab(xyz);
    case COLORS_OKLCH:
        return toPolar(xyz65ToOklab(xyz), OklchGrey);
    default:
        return xyz;
    }
}

// How far sRGB components may stray from 0..1 and still count as inside: about a
// fiftieth of an 8-bit step, so that components written rounded (red as
// oklch(0.628 0.2577 29.23)) stay inside, and the verdict is the reference one.
constexpr double SrgbTolerance = 0.000075;

bool isSrgbForm(int space)
{
    return space == COLORS_SRGB || space == COLORS_HSL || space == COLORS_HWB;
}

Vec3 toSrgbFromSrgbForm(int space, const Vec3 &v)
{
    return space == COLORS_HSL ? hslToSrgb(v) : space == COLORS_HWB ? hwbToSrgb(v) : v;
}

Vec3 clip(const Vec3 &rgb)
{
    return each(rgb, [](double v) { return std::clamp(v, 0.0, 1.0); });
}

double deltaEOK(const Vec3 &oklabA, const Vec3 &oklabB)
{
    return std::hypot(oklabA[0] - oklabB[0], oklabA[1] - oklabB[1], oklabA[2] - oklabB[2]);
}

} // namespace

double normalizeHue(double degrees)
{
    if (degrees >= 0 && degrees < 360)
        return degrees;
    double h = std::fmod(degrees, 360);
    if (h < 0)
        h += 360;
    return h >= 360 ? 0 : h;
}

bool isPolar(int space)
{
    return hueIndex(space) >= 0;
}

int hueIndex(int space)
{
    switch (space) {
    case COLORS_HSL:
    case COLORS_HWB:
        return 0;
    case COLORS_LCH:
    case COLORS_OKLCH:
        return 2;
    default:
        return -1;
    }
}

Vec3 convert(int from, int to, const Vec3 &v)
{
    if (from == to)
        return v;
    // The shorter ways that need no trip through XYZ.
    if (isSrgbForm(from) && isSrgbForm(to)) {
        const Vec3 rgb = toSrgbFromSrgbForm(from, v);
        return to == COLORS_HSL ? srgbToHsl(rgb) : to == COLORS_HWB ? srgbToHwb(rgb) : rgb;
    }
    if (from == COLORS_LAB && to == COLORS_LCH)
        return toPolar(v, LchGrey);
    if (from == COLORS_LCH && to == COLORS_LAB)
        return fromPolar(v);
    if (from == COLORS_OKLAB && to == COLORS_OKLCH)
        return toPolar(v, OklchGrey);
    if (from == COLORS_OKLCH && to == COLORS_OKLAB)
        return fromPolar(v);
    return fromXyz65(to, toXyz65(from, v));
}

bool inSrgbRange(const Vec3 &rgb)
{
    // About a fiftieth of an 8-bit step: components written rounded (red as
    // oklch(0.628 0.2577 29.23)) stay inside, and the verdict is the reference one.
    constexpr double Tolerance = 0.000075;
    return std::all_of(rgb.begin(), rgb.end(),
                       [](double v) { return v >= -Tolerance && v <= 1 + Tolerance; });
}

bool inSrgb(int space, const Vec3 &v)
{
    return inSrgbRange(convert(space, COLORS_SRGB, v));
}

Vec3 toScreen(int space, const Vec3 &v)
{
    const Vec3 rgb = convert(space, COLORS_SRGB, v);
    if (inSrgbRange(rgb))
        return clip(rgb);
    const Vec3 origin = convert(space, COLORS_OKLCH, v);
    const double lightness = origin[0];
    if (lightness >= 1)
        return {1, 1, 1};
    if (lightness <= 0)
        return {0, 0, 0};
    // The search changes only the chroma: the hue's direction is taken once, and it works
    // in linear sRGB, where clipping gives the same colour as clipping the encoded
    // components (the transfer function keeps 0 and 1 and its order) and the bounds of
    // "inside" are those of the encoded components carried over.
    const double hue = origin[2] / DegreesPerRadian;
    const double cosine = std::cos(hue), sine = std::sin(hue);
    const auto oklabAt = [&](double chroma) { return Vec3{lightness, chroma * cosine, chroma * sine}; };
    const auto linearOf = [](const Vec3 &oklab) {
        return mul(M.lmsToLinearSrgb, each(mul(M.oklabToLms, oklab), [](double x) { return x * x * x; }));
    };
    const auto oklabOf = [](const Vec3 &linear) {
        return mul(M.lmsToOklab, each(mul(M.linearSrgbToLms, linear), [](double x) { return std::cbrt(x); }));
    };
    static const double lowest = -SrgbTolerance / 12.92, highest = srgbToLinear(1 + SrgbTolerance);
    const auto inside = [](const Vec3 &linear) {
        return std::all_of(linear.begin(), linear.end(),
                           [](double x) { return x >= lowest && x <= highest; });
    };
    constexpr double Jnd = 0.02;
    constexpr double Epsilon = 0.0001;
    const Vec3 originOklab = oklabAt(origin[1]);
    Vec3 clipped = clip(linearOf(originOklab));
    if (deltaEOK(oklabOf(clipped), originOklab) < Jnd)
        return each(clipped, srgbFromLinear);
    double min = 0, max = origin[1];
    bool minInGamut = true;
    // The halving ends after about 40 steps for any finite chroma; the count is only a
    // guard against values that are not numbers.
    for (int step = 0; max - min > Epsilon && step < 200; ++step) {
        const double chroma = (min + max) / 2;
        const Vec3 current = oklabAt(chroma);
        const Vec3 linear = linearOf(current);
        if (minInGamut && inside(linear)) {
            min = chroma;
            continue;
        }
        clipped = clip(linear);
        const double e = deltaEOK(oklabOf(clipped), current);
        if (e < Jnd) {
            if (Jnd - e < Epsilon)
                break;
            minInGamut = false;
            min = chroma;
        } else {
            max = chroma;
        }
    }
    return each(clipped, srgbFromLinear);
}

} // namespace ColorMath
