#include "ColorValue.h"

#include "ColorMath.h"
#include "ColorParser.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

using ColorMath::Vec3;

namespace {

bool validSpace(int32_t space)
{
    return space >= 0 && space < COLORS_SPACE_COUNT;
}

bool hasValue(const ColorsValue *color)
{
    return color && color->kind == COLORS_KIND_VALUE && validSpace(color->space);
}

// The components with those written none taken as 0.
Vec3 components(const ColorsValue &color)
{
    Vec3 v;
    for (int i = 0; i < 3; ++i)
        v[i] = color.missing & (1u << i) ? 0 : color.c[i];
    return v;
}

ColorsValue make(int space, const Vec3 &v, double alpha)
{
    ColorsValue out{};
    out.kind = COLORS_KIND_VALUE;
    out.space = space;
    for (int i = 0; i < 3; ++i)
        out.c[i] = v[i];
    out.alpha = alpha;
    return out;
}

double alphaOf(const ColorsValue &color)
{
    return color.missing & COLORS_MISSING_ALPHA ? 0 : color.alpha;
}

// Text written into a caller's buffer: everything is counted, what fits is kept.
class Writer
{
public:
    Writer(char *buffer, size_t size) : m_buffer(buffer), m_size(size) {}

    void put(const char *text, size_t length)
    {
        if (m_buffer && m_length < m_size) {
            const size_t room = m_size - m_length;
            std::memcpy(m_buffer + m_length, text, std::min(room, length));
        }
        m_length += length;
    }
    void put(const char *text) { put(text, std::strlen(text)); }
    void put(char c) { put(&c, 1); }

    // A number with at most `decimals` decimals, trailing zeros and "-0" dropped.
    void number(double v, int decimals)
    {
        char text[400];
        const auto result = std::to_chars(text, text + sizeof text, v, std::chars_format::fixed, decimals);
        char *end = result.ec == std::errc() ? result.ptr : text;
        if (end == text) {
            put('0');
            return;
        }
        if (std::find(text, end, '.') != end) {
            while (end[-1] == '0')
                --end;
            if (end[-1] == '.')
                --end;
        }
        const char *begin = text;
        if (end - begin == 2 && begin[0] == '-' && begin[1] == '0')
            ++begin;
        put(begin, size_t(end - begin));
    }

    size_t finish()
    {
        if (m_buffer && m_size > 0)
            m_buffer[std::min(m_length, m_size - 1)] = '\0';
        return m_length;
    }

private:
    char *m_buffer;
    size_t m_size;
    size_t m_length = 0;
};

// The space each written form holds its components in.
int formSpace(int32_t form, const ColorsValue &color)
{
    switch (form) {
    case COLORS_FORM_HEX:
    case COLORS_FORM_RGB:
        return COLORS_SRGB;
    case COLORS_FORM_HSL:
        return COLORS_HSL;
    case COLORS_FORM_HWB:
        return COLORS_HWB;
    case COLORS_FORM_LAB:
        return COLORS_LAB;
    case COLORS_FORM_LCH:
        return COLORS_LCH;
    case COLORS_FORM_OKLAB:
        return COLORS_OKLAB;
    case COLORS_FORM_OKLCH:
        return COLORS_OKLCH;
    default: // color()
        return color.space <= COLORS_XYZ_D65 ? color.space : COLORS_SRGB;
    }
}

int byteOf(double v)
{
    return int(std::lround(std::clamp(v, 0.0, 1.0) * 255));
}

void writeHex(Writer &w, const Vec3 &rgb, double alpha, uint32_t options)
{
    int bytes[4] = {byteOf(rgb[0]), byteOf(rgb[1]), byteOf(rgb[2]), byteOf(alpha)};
    const int count = bytes[3] == 255 ? 3 : 4;
    const bool shortForm = (options & COLORS_WRITE_SHORT) &&
                           std::all_of(bytes, bytes + count, [](int b) { return b % 17 == 0; });
    const char *digits = options & COLORS_WRITE_UPPERCASE ? "0123456789ABCDEF" : "0123456789abcdef";
    w.put('#');
    for (int i = 0; i < count; ++i) {
        if (shortForm) {
            w.put(digits[bytes[i] / 17]);
        } else {
            w.put(digits[bytes[i] >> 4]);
            w.put(digits[bytes[i] & 15]);
        }
    }
}

} // namespace

int ColorsParse(const char *text, size_t length, ColorsText *out)
{
    ColorsText parsed;
    const bool ok = ColorParser::parse(text, length, parsed);
    if (out)
        *out = parsed;
    return ok ? 1 : 0;
}

int ColorsConvert(const ColorsValue *color, int32_t space, ColorsValue *out)
{
    ColorsValue result{};
    const bool ok = hasValue(color) && validSpace(space);
    if (ok)
        result = make(space, ColorMath::convert(color->space, space, components(*color)), alphaOf(*color));
    if (out)
        *out = result;
    return ok ? 1 : 0;
}

int ColorsInSrgb(const ColorsValue *color)
{
    return hasValue(color) && ColorMath::inSrgb(color->space, components(*color)) ? 1 : 0;
}

int ColorsToScreen(const ColorsValue *color, ColorsValue *srgb)
{
    ColorsValue result{};
    const bool ok = hasValue(color);
    if (ok)
        result = make(COLORS_SRGB, ColorMath::toScreen(color->space, components(*color)), alphaOf(*color));
    if (srgb)
        *srgb = result;
    return ok ? 1 : 0;
}

uint32_t ColorsToBgr(const ColorsValue *color)
{
    if (!hasValue(color))
        return COLORS_NONE;
    const Vec3 rgb = ColorMath::toScreen(color->space, components(*color));
    return uint32_t(byteOf(rgb[0])) | uint32_t(byteOf(rgb[1])) << 8 | uint32_t(byteOf(rgb[2])) << 16;
}

size_t ColorsFormat(const ColorsValue *color, int32_t form, int32_t precision, uint32_t options, char *buffer,
                    size_t size)
{
    if (buffer && size > 0)
        buffer[0] = '\0';
    if (!hasValue(color) || form < COLORS_FORM_HEX || form > COLORS_FORM_COLOR)
        return 0;
    Writer w(buffer, size);
    const int space = formSpace(form, *color);
    const bool srgbOnly = form <= COLORS_FORM_HWB;
    // Written as it stands (with its none components) when it is already in the form's
    // space, and, for the sRGB forms, inside sRGB.
    const bool direct = color->space == space && (!srgbOnly || ColorsInSrgb(color));
    Vec3 v;
    uint32_t missing = 0;
    if (direct) {
        v = components(*color);
        missing = color->missing & 7u;
    } else if (srgbOnly) {
        v = ColorMath::convert(COLORS_SRGB, space, ColorMath::toScreen(color->space, components(*color)));
    } else {
        v = ColorMath::convert(color->space, space, components(*color));
    }
    const double alpha = alphaOf(*color);
    if (form == COLORS_FORM_HEX) {
        writeHex(w, v, alpha, options);
        return w.finish();
    }

    int decimals = precision >= 0 ? std::min(precision, 20) : -1;
    int hueDecimals = decimals;
    if (decimals < 0) {
        static constexpr int usual[] = {0, 0, 2, 2, 3, 3, 5, 5, 6};
        decimals = usual[form];
        hueDecimals = form == COLORS_FORM_OKLCH ? 3 : decimals;
    }
    const bool commas =
        (options & COLORS_WRITE_COMMAS) && (form == COLORS_FORM_RGB || form == COLORS_FORM_HSL);
    const bool withAlpha = alpha < 1 || (color->missing & COLORS_MISSING_ALPHA);
    static constexpr const char *names[] = {"", "rgb", "hsl", "hwb", "lab", "lch", "oklab", "oklch", "color"};
    w.put(names[form]);
    if (commas && withAlpha)
        w.put('a');
    w.put('(');
    if (form == COLORS_FORM_COLOR) {
        w.put(ColorsSpaceName(space));
        w.put(' ');
    }
    const int hue = ColorMath::hueIndex(space);
    // The lightness of lab() ... oklch() as a percentage: 0..100 in lab() and lch(),
    // 0..1 in oklab() and oklch(), whose percentage keeps the same digits.
    const bool percentLightness =
        (options & COLORS_WRITE_PERCENT_LIGHTNESS) && form >= COLORS_FORM_LAB && form <= COLORS_FORM_OKLCH;
    const bool okForm = form == COLORS_FORM_OKLAB || form == COLORS_FORM_OKLCH;
    for (int i = 0; i < 3; ++i) {
        if (i > 0)
            w.put(commas ? ", " : " ");
        if (missing & (1u << i) && !commas) {
            w.put("none");
            continue;
        }
        const double x = missing & (1u << i) ? 0 : v[i];
        if (form == COLORS_FORM_RGB) {
            // Channels on the 0..255 scale; whole channels are rounded as hex rounds them.
            const double channel = x * 255;
            w.number(decimals == 0 ? std::round(channel) : channel, decimals);
        } else if (i == 0 && percentLightness) {
            w.number(okForm ? x * 100 : x, okForm ? std::max(decimals - 2, 0) : decimals);
            w.put('%');
        } else {
            w.number(i == hue ? ColorMath::normalizeHue(x) : x, i == hue ? hueDecimals : decimals);
            if ((form == COLORS_FORM_HSL || form == COLORS_FORM_HWB) && i > 0)
                w.put('%');
        }
    }
    if (withAlpha) {
        w.put(commas ? ", " : " / ");
        if ((color->missing & COLORS_MISSING_ALPHA) && !commas)
            w.put("none");
        else
            w.number(alpha, precision >= 0 ? decimals : 4);
    }
    w.put(')');
    return w.finish();
}

const char *ColorsSpaceName(int32_t space)
{
    static constexpr const char *names[] = {"srgb",    "srgb-linear", "display-p3", "a98-rgb", "prophoto-rgb",
                                            "rec2020", "xyz-d50",     "xyz-d65",    "hsl",     "hwb",
                                            "lab",     "lch",         "oklab",      "oklch"};
    return validSpace(space) ? names[space] : "";
}
