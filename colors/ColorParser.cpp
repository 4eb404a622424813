#include "ColorParser.h"

#include "ColorMath.h"
#include "SystemColors.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <iterator>
#include <numbers>
#include <string_view>

// Colour texts of CSS Color 4 and 5: names, system colours, currentcolor, hex forms,
// rgb() hsl() hwb() lab() lch() oklab() oklch() color(), color-mix(), light-dark() and
// relative colours (fn(from ORIGIN ...)) with calc() in their components. Every value
// is read as a pair of sides, light and dark, which differ only below a light-dark().

namespace ColorParser {

namespace {

using Text = std::string_view;
using ColorMath::Vec3;

struct NamedColor
{
    const char *name;
    uint32_t rgb; // 0xRRGGBB
};

// The named colours, sorted by name.
constexpr NamedColor NamedColors[] = {
    {"aliceblue", 0xf0f8ff},
    {"antiquewhite", 0xfaebd7},
    {"aqua", 0x00ffff},
    {"aquamarine", 0x7fffd4},
    {"azure", 0xf0ffff},
    {"beige", 0xf5f5dc},
    {"bisque", 0xffe4c4},
    {"black", 0x000000},
    {"blanchedalmond", 0xffebcd},
    {"blue", 0x0000ff},
    {"blueviolet", 0x8a2be2},
    {"brown", 0xa52a2a},
    {"burlywood", 0xdeb887},
    {"cadetblue", 0x5f9ea0},
    {"chartreuse", 0x7fff00},
    {"chocolate", 0xd2691e},
    {"coral", 0xff7f50},
    {"cornflowerblue", 0x6495ed},
    {"cornsilk", 0xfff8dc},
    {"crimson", 0xdc143c},
    {"cyan", 0x00ffff},
    {"darkblue", 0x00008b},
    {"darkcyan", 0x008b8b},
    {"darkgoldenrod", 0xb8860b},
    {"darkgray", 0xa9a9a9},
    {"darkgreen", 0x006400},
    {"darkgrey", 0xa9a9a9},
    {"darkkhaki", 0xbdb76b},
    {"darkmagenta", 0x8b008b},
    {"darkolivegreen", 0x556b2f},
    {"darkorange", 0xff8c00},
    {"darkorchid", 0x9932cc},
    {"darkred", 0x8b0000},
    {"darksalmon", 0xe9967a},
    {"darkseagreen", 0x8fbc8f},
    {"darkslateblue", 0x483d8b},
    {"darkslategray", 0x2f4f4f},
    {"darkslategrey", 0x2f4f4f},
    {"darkturquoise", 0x00ced1},
    {"darkviolet", 0x9400d3},
    {"deeppink", 0xff1493},
    {"deepskyblue", 0x00bfff},
    {"dimgray", 0x696969},
    {"dimgrey", 0x696969},
    {"dodgerblue", 0x1e90ff},
    {"firebrick", 0xb22222},
    {"floralwhite", 0xfffaf0},
    {"forestgreen", 0x228b22},
    {"fuchsia", 0xff00ff},
    {"gainsboro", 0xdcdcdc},
    {"ghostwhite", 0xf8f8ff},
    {"gold", 0xffd700},
    {"goldenrod", 0xdaa520},
    {"gray", 0x808080},
    {"green", 0x008000},
    {"greenyellow", 0xadff2f},
    {"grey", 0x808080},
    {"honeydew", 0xf0fff0},
    {"hotpink", 0xff69b4},
    {"indianred", 0xcd5c5c},
    {"indigo", 0x4b0082},
    {"ivory", 0xfffff0},
    {"khaki", 0xf0e68c},
    {"lavender", 0xe6e6fa},
    {"lavenderblush", 0xfff0f5},
    {"lawngreen", 0x7cfc00},
    {"lemonchiffon", 0xfffacd},
    {"lightblue", 0xadd8e6},
    {"lightcoral", 0xf08080},
    {"lightcyan", 0xe0ffff},
    {"lightgoldenrodyellow", 0xfafad2},
    {"lightgray", 0xd3d3d3},
    {"lightgreen", 0x90ee90},
    {"lightgrey", 0xd3d3d3},
    {"lightpink", 0xffb6c1},
    {"lightsalmon", 0xffa07a},
    {"lightseagreen", 0x20b2aa},
    {"lightskyblue", 0x87cefa},
    {"lightslategray", 0x778899},
    {"lightslategrey", 0x778899},
    {"lightsteelblue", 0xb0c4de},
    {"lightyellow", 0xffffe0},
    {"lime", 0x00ff00},
    {"limegreen", 0x32cd32},
    {"linen", 0xfaf0e6},
    {"magenta", 0xff00ff},
    {"maroon", 0x800000},
    {"mediumaquamarine", 0x66cdaa},
    {"mediumblue", 0x0000cd},
    {"mediumorchid", 0xba55d3},
    {"mediumpurple", 0x9370db},
    {"mediumseagreen", 0x3cb371},
    {"mediumslateblue", 0x7b68ee},
    {"mediumspringgreen", 0x00fa9a},
    {"mediumturquoise", 0x48d1cc},
    {"mediumvioletred", 0xc71585},
    {"midnightblue", 0x191970},
    {"mintcream", 0xf5fffa},
    {"mistyrose", 0xffe4e1},
    {"moccasin", 0xffe4b5},
    {"navajowhite", 0xffdead},
    {"navy", 0x000080},
    {"oldlace", 0xfdf5e6},
    {"olive", 0x808000},
    {"olivedrab", 0x6b8e23},
    {"orange", 0xffa500},
    {"orangered", 0xff4500},
    {"orchid", 0xda70d6},
    {"palegoldenrod", 0xeee8aa},
    {"palegreen", 0x98fb98},
    {"paleturquoise", 0xafeeee},
    {"palevioletred", 0xdb7093},
    {"papayawhip", 0xffefd5},
    {"peachpuff", 0xffdab9},
    {"peru", 0xcd853f},
    {"pink", 0xffc0cb},
    {"plum", 0xdda0dd},
    {"powderblue", 0xb0e0e6},
    {"purple", 0x800080},
    {"rebeccapurple", 0x663399},
    {"red", 0xff0000},
    {"rosybrown", 0xbc8f8f},
    {"royalblue", 0x4169e1},
    {"saddlebrown", 0x8b4513},
    {"salmon", 0xfa8072},
    {"sandybrown", 0xf4a460},
    {"seagreen", 0x2e8b57},
    {"seashell", 0xfff5ee},
    {"sienna", 0xa0522d},
    {"silver", 0xc0c0c0},
    {"skyblue", 0x87ceeb},
    {"slateblue", 0x6a5acd},
    {"slategray", 0x708090},
    {"slategrey", 0x708090},
    {"snow", 0xfffafa},
    {"springgreen", 0x00ff7f},
    {"steelblue", 0x4682b4},
    {"tan", 0xd2b48c},
    {"teal", 0x008080},
    {"thistle", 0xd8bfd8},
    {"tomato", 0xff6347},
    {"turquoise", 0x40e0d0},
    {"violet", 0xee82ee},
    {"wheat", 0xf5deb3},
    {"white", 0xffffff},
    {"whitesmoke", 0xf5f5f5},
    {"yellow", 0xffff00},
    {"yellowgreen", 0x9acd32},
};

struct SystemColor
{
    const char *name;
    int classic;  // index into ClassicSystemColors, or -1
    uint32_t rgb; // 0xRRGGBB where there is no classic colour
};

// The system colours of CSS, sorted by name. Their values are the classic scheme's where
// one fits, else a light scheme's usual ones: a screen's own may differ.
constexpr SystemColor SystemColorTable[] = {
    {"accentcolor", 13, 0},
    {"accentcolortext", 14, 0},
    {"activeborder", 10, 0},
    {"activecaption", 2, 0},
    {"activetext", -1, 0xff0000},
    {"appworkspace", 12, 0},
    {"background", 1, 0},
    {"buttonborder", 16, 0},
    {"buttonface", 15, 0},
    {"buttonhighlight", 20, 0},
    {"buttonshadow", 16, 0},
    {"buttontext", 18, 0},
    {"canvas", 5, 0},
    {"canvastext", 8, 0},
    {"captiontext", 9, 0},
    {"field", 5, 0},
    {"fieldtext", 8, 0},
    {"graytext", 17, 0},
    {"highlight", 13, 0},
    {"highlighttext", 14, 0},
    {"inactiveborder", 11, 0},
    {"inactivecaption", 3, 0},
    {"inactivecaptiontext", 19, 0},
    {"infobackground", 24, 0},
    {"infotext", 23, 0},
    {"linktext", -1, 0x0000ee},
    {"mark", -1, 0xffff00},
    {"marktext", -1, 0x000000},
    {"menu", 4, 0},
    {"menutext", 7, 0},
    {"scrollbar", 0, 0},
    {"selecteditem", 13, 0},
    {"selecteditemtext", 14, 0},
    {"threeddarkshadow", 21, 0},
    {"threedface", 15, 0},
    {"threedhighlight", 20, 0},
    {"threedlightshadow", 22, 0},
    {"threedshadow", 16, 0},
    {"visitedtext", -1, 0x551a8b},
    {"window", 5, 0},
    {"windowframe", 6, 0},
    {"windowtext", 8, 0},
};

struct SpaceName
{
    const char *name;
    int space;
};

// The spaces color() takes.
constexpr SpaceName ColorFunctionSpaces[] = {
    {"srgb", COLORS_SRGB},       {"srgb-linear", COLORS_SRGB_LINEAR},   {"display-p3", COLORS_DISPLAY_P3},
    {"a98-rgb", COLORS_A98_RGB}, {"prophoto-rgb", COLORS_PROPHOTO_RGB}, {"rec2020", COLORS_REC2020},
    {"xyz", COLORS_XYZ_D65},     {"xyz-d50", COLORS_XYZ_D50},           {"xyz-d65", COLORS_XYZ_D65},
};

// The spaces color-mix() interpolates in: those of color() and the others.
constexpr SpaceName MixSpaces[] = {
    {"srgb", COLORS_SRGB},
    {"srgb-linear", COLORS_SRGB_LINEAR},
    {"display-p3", COLORS_DISPLAY_P3},
    {"a98-rgb", COLORS_A98_RGB},
    {"prophoto-rgb", COLORS_PROPHOTO_RGB},
    {"rec2020", COLORS_REC2020},
    {"xyz", COLORS_XYZ_D65},
    {"xyz-d50", COLORS_XYZ_D50},
    {"xyz-d65", COLORS_XYZ_D65},
    {"hsl", COLORS_HSL},
    {"hwb", COLORS_HWB},
    {"lab", COLORS_LAB},
    {"lch", COLORS_LCH},
    {"oklab", COLORS_OKLAB},
    {"oklch", COLORS_OKLCH},
};

char lower(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

bool equalsNoCase(Text a, Text b)
{
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return lower(x) == lower(y); });
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool isNameStart(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == '-';
}

bool isNameChar(char c)
{
    return isNameStart(c) || isDigit(c);
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    c = lower(c);
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// A name of at most `N - 1` characters in lower case, for the tables' look-ups; the empty
// text when it is longer (no table holds such a name).
template<size_t N> Text lowered(Text name, char (&buffer)[N])
{
    if (name.size() >= N)
        return {};
    for (size_t i = 0; i < name.size(); ++i)
        buffer[i] = lower(name[i]);
    return Text(buffer, name.size());
}

template<typename Entry, size_t N> const Entry *findSorted(const Entry (&table)[N], Text name)
{
    char buffer[24];
    const Text key = lowered(name, buffer);
    if (key.empty())
        return nullptr;
    const Entry *it = std::lower_bound(std::begin(table), std::end(table), key,
                                       [](const Entry &e, Text k) { return Text(e.name) < k; });
    return it != std::end(table) && Text(it->name) == key ? it : nullptr;
}

template<size_t N> int findSpace(const SpaceName (&table)[N], Text name)
{
    for (const SpaceName &s : table)
        if (equalsNoCase(name, s.name))
            return s.space;
    return -1;
}

ColorsValue value(int space, const Vec3 &c, double alpha, uint32_t missing = 0)
{
    ColorsValue v{};
    v.kind = COLORS_KIND_VALUE;
    v.space = space;
    for (int i = 0; i < 3; ++i)
        v.c[i] = c[i];
    v.alpha = alpha;
    v.missing = missing;
    return v;
}

ColorsValue fromRgb(uint32_t rrggbb, double alpha = 1)
{
    return value(COLORS_SRGB, {(rrggbb >> 16) / 255.0, (rrggbb >> 8 & 0xFF) / 255.0, (rrggbb & 0xFF) / 255.0},
                 alpha);
}

ColorsValue currentColor()
{
    ColorsValue v{};
    v.kind = COLORS_KIND_CURRENTCOLOR;
    return v;
}

Vec3 components(const ColorsValue &v)
{
    return {v.c[0], v.c[1], v.c[2]};
}

bool sameValue(const ColorsValue &a, const ColorsValue &b)
{
    return a.kind == b.kind && a.space == b.space && std::equal(a.c, a.c + 3, b.c) && a.alpha == b.alpha &&
           a.missing == b.missing;
}

struct Pair
{
    ColorsValue light;
    ColorsValue dark;
};

// What the outermost colour of a text says about its writing.
struct Writing
{
    int form = COLORS_FORM_NAME;
    uint32_t flags = 0;
    int detail = 0;
};

// A component as written: a number, a percentage, an angle (in degrees) or none.
struct Component
{
    enum Type { Number, Percent, Angle, None } type = Number;
    double value = 0;
};

// The channel keywords of a relative colour and their values.
struct Channels
{
    const char *names[4] = {};
    double values[4] = {};
    int count = 0;
};

// Functions and parentheses nest at most this deep; deeper texts are no colour.
constexpr int MaxDepth = 24;

class Parser
{
public:
    Parser(const char *text, size_t length) : m_p(text), m_end(text + length) {}

    bool parseWhole(Pair &out, Writing &writing)
    {
        skipBlanks();
        if (!color(out, &writing))
            return false;
        skipBlanks();
        return m_p == m_end;
    }

private:
    const char *m_p;
    const char *m_end;
    int m_depth = 0;

    bool atEnd() const { return m_p == m_end; }

    // Blanks and comments.
    void skipBlanks()
    {
        for (;;) {
            while (m_p != m_end && isBlank(*m_p))
                ++m_p;
            if (m_end - m_p >= 2 && m_p[0] == '/' && m_p[1] == '*') {
                const char *close = m_p + 2;
                while (close + 1 < m_end && !(close[0] == '*' && close[1] == '/'))
                    ++close;
                m_p = close + 1 < m_end ? close + 2 : m_end;
                continue;
            }
            return;
        }
    }

    bool eat(char c)
    {
        skipBlanks();
        if (m_p != m_end && *m_p == c) {
            ++m_p;
            return true;
        }
        return false;
    }

    // A name at the current place (no blanks skipped); empty when there is none.
    Text name()
    {
        const char *start = m_p;
        if (m_p != m_end && *m_p == '-')
            ++m_p;
        if (m_p == m_end || !(isNameStart(*m_p) || (*m_p == '-' && m_p != start))) {
            m_p = start;
            return {};
        }
        while (m_p != m_end && isNameChar(*m_p))
            ++m_p;
        return Text(start, size_t(m_p - start));
    }

    // A keyword after optional blanks, compared without case.
    bool keyword(const char *word)
    {
        skipBlanks();
        const char *start = m_p;
        const Text n = name();
        if (!n.empty() && equalsNoCase(n, word) && (atEnd() || *m_p != '('))
            return true;
        m_p = start;
        return false;
    }

    struct DepthGuard
    {
        explicit DepthGuard(int &depth) : m_depth(depth) { ++m_depth; }
        ~DepthGuard() { --m_depth; }
        int &m_depth;
    };

    bool color(Pair &out, Writing *writing)
    {
        const DepthGuard guard(m_depth);
        if (m_depth > MaxDepth)
            return false;
        skipBlanks();
        if (atEnd())
            return false;
        if (*m_p == '#')
            return hex(out, writing);
        const Text n = name();
        if (n.empty())
            return false;
        if (m_p != m_end && *m_p == '(') {
            ++m_p;
            return function(n, out, writing);
        }
        return keywordColor(n, out, writing);
    }

    bool hex(Pair &out, Writing *writing)
    {
        const char *start = ++m_p;
        while (m_p != m_end && isNameChar(*m_p))
            ++m_p;
        const size_t count = size_t(m_p - start);
        if (count != 3 && count != 4 && count != 6 && count != 8)
            return false;
        int digits[8];
        for (size_t i = 0; i < count; ++i)
            if ((digits[i] = hexDigit(start[i])) < 0)
                return false;
        int channels[4] = {0, 0, 0, 255};
        const bool shortForm = count <= 4;
        for (size_t i = 0; i < count / (shortForm ? 1 : 2); ++i)
            channels[i] = shortForm ? digits[i] * 17 : digits[2 * i] * 16 + digits[2 * i + 1];
        out.light = value(COLORS_SRGB, {channels[0] / 255.0, channels[1] / 255.0, channels[2] / 255.0},
                          channels[3] / 255.0);
        out.dark = out.light;
        if (writing)
            *writing = {COLORS_FORM_HEX, 0, int(count)};
        return true;
    }

    bool keywordColor(Text n, Pair &out, Writing *writing)
    {
        int form = COLORS_FORM_NAME;
        int detail = 0;
        if (equalsNoCase(n, "transparent")) {
            out.light = value(COLORS_SRGB, {0, 0, 0}, 0);
        } else if (equalsNoCase(n, "currentcolor")) {
            out.light = currentColor();
            form = COLORS_FORM_CURRENTCOLOR;
        } else if (const NamedColor *named = findSorted(NamedColors, n)) {
            out.light = fromRgb(named->rgb);
        } else if (const SystemColor *system = findSorted(SystemColorTable, n)) {
            out.light = fromRgb(system->classic >= 0 ? ClassicSystemColors[system->classic] : system->rgb);
            form = COLORS_FORM_SYSTEM;
            detail = system->classic;
        } else {
            return false;
        }
        out.dark = out.light;
        if (writing)
            *writing = {form, 0, detail};
        return true;
    }

    bool function(Text n, Pair &out, Writing *writing)
    {
        const DepthGuard guard(m_depth);
        static constexpr struct
        {
            const char *name;
            int form;
            int space;
            bool alphaName;
        } functions[] = {
            {"rgb", COLORS_FORM_RGB, COLORS_SRGB, false},
            {"rgba", COLORS_FORM_RGB, COLORS_SRGB, true},
            {"hsl", COLORS_FORM_HSL, COLORS_HSL, false},
            {"hsla", COLORS_FORM_HSL, COLORS_HSL, true},
            {"hwb", COLORS_FORM_HWB, COLORS_HWB, false},
            {"lab", COLORS_FORM_LAB, COLORS_LAB, false},
            {"lch", COLORS_FORM_LCH, COLORS_LCH, false},
            {"oklab", COLORS_FORM_OKLAB, COLORS_OKLAB, false},
            {"oklch", COLORS_FORM_OKLCH, COLORS_OKLCH, false},
            {"color", COLORS_FORM_COLOR, -1, false},
        };
        if (equalsNoCase(n, "color-mix"))
            return mix(out, writing);
        if (equalsNoCase(n, "light-dark"))
            return lightDark(out, writing);
        for (const auto &f : functions)
            if (equalsNoCase(n, f.name)) {
                uint32_t flags = f.alphaName ? COLORS_FLAG_ALPHA_NAME : 0;
                if (!colorFunction(f.form, f.space, out, flags))
                    return false;
                if (writing)
                    *writing = {f.form, flags, 0};
                return true;
            }
        return false;
    }

    bool lightDark(Pair &out, Writing *writing)
    {
        Pair light, dark;
        if (!color(light, nullptr) || !eat(',') || !color(dark, nullptr) || !eat(')'))
            return false;
        out = {light.light, dark.dark};
        if (writing)
            *writing = {COLORS_FORM_LIGHT_DARK, 0, 0};
        return true;
    }

    // A number as style sheets write it: [+-] digits [. digits] or [+-] . digits, then an
    // optional exponent; no blanks skipped.
    bool number(double &v)
    {
        const char *p = m_p;
        if (p != m_end && (*p == '+' || *p == '-'))
            ++p;
        const char *digits = p;
        while (p != m_end && isDigit(*p))
            ++p;
        if (p + 1 < m_end && *p == '.' && isDigit(p[1])) {
            p += 2;
            while (p != m_end && isDigit(*p))
                ++p;
        }
        if (p == digits)
            return false;
        if (p + 1 < m_end && (*p == 'e' || *p == 'E')) {
            const char *q = p + 1;
            if (q != m_end && (*q == '+' || *q == '-'))
                ++q;
            if (q != m_end && isDigit(*q)) {
                while (q != m_end && isDigit(*q))
                    ++q;
                p = q;
            }
        }
        // from_chars takes no leading '+'.
        const char *from = *m_p == '+' ? m_p + 1 : m_p;
        const auto result = std::from_chars(from, p, v);
        if (result.ec == std::errc::result_out_of_range) {
            // Beyond the range of a double: CSS clamps such numbers, and so do we.
            const bool negative = *from == '-';
            const char *e = std::find_if(from, p, [](char c) { return c == 'e' || c == 'E'; });
            const bool tiny = e != p && e + 1 != p && e[1] == '-';
            v = tiny ? 0.0 : (negative ? -1.0 : 1.0) * 1e300;
        } else if (result.ec != std::errc() || result.ptr != p) {
            return false;
        }
        m_p = p;
        return std::isfinite(v);
    }

    // A number with its unit: none, %, an angle unit; other units are no colour.
    bool dimension(Component &c)
    {
        if (!number(c.value))
            return false;
        if (m_p != m_end && *m_p == '%') {
            ++m_p;
            c.type = Component::Percent;
            return true;
        }
        const Text unit = name();
        if (unit.empty()) {
            c.type = Component::Number;
            return true;
        }
        static constexpr struct
        {
            const char *unit;
            double degrees;
        } angles[] = {{"deg", 1}, {"grad", 0.9}, {"rad", 180 / std::numbers::pi}, {"turn", 360}};
        for (const auto &a : angles)
            if (equalsNoCase(unit, a.unit)) {
                c.type = Component::Angle;
                c.value *= a.degrees;
                return true;
            }
        return false;
    }

    // One component of a colour function: none, a number with its unit, a channel
    // keyword of a relative colour, or calc().
    bool component(Component &c, const Channels *channels)
    {
        skipBlanks();
        if (atEnd())
            return false;
        if (isDigit(*m_p) || *m_p == '.' || *m_p == '+' || (*m_p == '-' && !isNameStart(peek(1))))
            return dimension(c);
        const char *start = m_p;
        const Text n = name();
        if (n.empty())
            return false;
        if (m_p != m_end && *m_p == '(') {
            ++m_p;
            if (!equalsNoCase(n, "calc"))
                return false;
            return calcBody(c, channels);
        }
        if (equalsNoCase(n, "none")) {
            c = {Component::None, 0};
            return true;
        }
        if (channels)
            for (int i = 0; i < channels->count; ++i)
                if (equalsNoCase(n, channels->names[i])) {
                    c = {Component::Number, channels->values[i]};
                    return true;
                }
        m_p = start;
        return false;
    }

    char peek(int offset) const { return m_end - m_p > offset ? m_p[offset] : '\0'; }

    // The inside of calc( ... ) up to its ")".
    bool calcBody(Component &c, const Channels *channels)
    {
        const DepthGuard guard(m_depth);
        if (m_depth > MaxDepth || !sum(c, channels) || !eat(')'))
            return false;
        return std::isfinite(c.value);
    }

    // calc()'s sums: "+" and "-" need blanks on both sides.
    bool sum(Component &c, const Channels *channels)
    {
        if (!product(c, channels))
            return false;
        for (;;) {
            const char *start = m_p;
            const bool blankBefore = m_p != m_end && (isBlank(*m_p) || *m_p == '/');
            skipBlanks();
            if (atEnd() || (*m_p != '+' && *m_p != '-') || !blankBefore || !isBlank(peek(1))) {
                m_p = start;
                return true;
            }
            const bool add = *m_p == '+';
            ++m_p;
            Component right;
            if (!product(right, channels) || right.type != c.type)
                return false;
            c.value = add ? c.value + right.value : c.value - right.value;
        }
    }

    bool product(Component &c, const Channels *channels)
    {
        if (!operand(c, channels))
            return false;
        for (;;) {
            const char *start = m_p;
            skipBlanks();
            if (atEnd() || (*m_p != '*' && *m_p != '/')) {
                m_p = start;
                return true;
            }
            const bool times = *m_p == '*';
            ++m_p;
            Component right;
            if (!operand(right, channels))
                return false;
            if (times) {
                if (c.type != Component::Number && right.type != Component::Number)
                    return false;
                if (c.type == Component::Number)
                    c.type = right.type;
                c.value *= right.value;
            } else {
                if (right.type != Component::Number)
                    return false;
                c.value /= right.value;
            }
        }
    }

    bool operand(Component &c, const Channels *channels)
    {
        skipBlanks();
        if (atEnd())
            return false;
        if (*m_p == '(') {
            ++m_p;
            return calcBody(c, channels);
        }
        const char *start = m_p;
        const Text n = name();
        if (!n.empty() && (m_p == m_end || *m_p != '(')) {
            static constexpr struct
            {
                const char *name;
                double value;
            } constants[] = {{"pi", std::numbers::pi}, {"e", std::numbers::e}};
            for (const auto &k : constants)
                if (equalsNoCase(n, k.name)) {
                    c = {Component::Number, k.value};
                    return true;
                }
        }
        m_p = start;
        if (!component(c, channels))
            return false;
        return c.type != Component::None;
    }

    // The components of the colour functions, after the "(" (and after the origin of a
    // relative colour): three components, then "/ alpha" or, in the comma form, ", alpha".
    bool readComponents(Component (&c)[4], bool &hasAlpha, bool &commas, bool commasAllowed,
                        const Channels *channels)
    {
        hasAlpha = false;
        commas = false;
        if (!component(c[0], channels))
            return false;
        if (commasAllowed && eat(','))
            commas = true;
        for (int i = 1; i < 3; ++i) {
            if (i == 2 && commas && !eat(','))
                return false;
            if (!component(c[i], channels))
                return false;
        }
        if (commas ? eat(',') : eat('/')) {
            if (!component(c[3], channels))
                return false;
            hasAlpha = true;
        }
        if (!eat(')'))
            return false;
        if (commas)
            for (const Component &k : c)
                if (k.type == Component::None)
                    return false;
        return true;
    }

    // rgb() ... color(): the function's components after its "(".
    bool colorFunction(int form, int space, Pair &out, uint32_t &flags)
    {
        skipBlanks();
        if (keyword("from")) {
            flags |= COLORS_FLAG_RELATIVE;
            return relative(form, space, out);
        }
        if (form == COLORS_FORM_COLOR && (space = colorSpace()) < 0)
            return false;
        Component c[4];
        bool hasAlpha, commas;
        const bool commasAllowed = form == COLORS_FORM_RGB || form == COLORS_FORM_HSL;
        if (!readComponents(c, hasAlpha, commas, commasAllowed, nullptr))
            return false;
        if (commas)
            flags |= COLORS_FLAG_COMMAS;
        if (form >= COLORS_FORM_LAB && form <= COLORS_FORM_OKLCH && c[0].type == Component::Percent)
            flags |= COLORS_FLAG_PERCENT_LIGHTNESS;
        if (!build(form, space, c, hasAlpha, commas, false, 1, out.light))
            return false;
        out.dark = out.light;
        return true;
    }

    // The space name of color().
    int colorSpace()
    {
        skipBlanks();
        const Text n = name();
        return n.empty() ? -1 : findSpace(ColorFunctionSpaces, n);
    }

    // fn(from ORIGIN c1 c2 c3 [/ alpha]): the components may name the origin's channels
    // in the function's space; each side of the origin gives its own colour.
    bool relative(int form, int space, Pair &out)
    {
        Pair origin;
        if (!color(origin, nullptr))
            return false;
        if (form == COLORS_FORM_COLOR && (space = colorSpace()) < 0)
            return false;
        const char *start = m_p;
        if (!relativeSide(form, space, origin.light, out.light))
            return false;
        if (sameValue(origin.light, origin.dark)) {
            out.dark = out.light;
            return true;
        }
        m_p = start;
        return relativeSide(form, space, origin.dark, out.dark);
    }

    bool relativeSide(int form, int space, const ColorsValue &origin, ColorsValue &out)
    {
        Channels channels;
        const bool dependent = origin.kind != COLORS_KIND_VALUE;
        Vec3 v{0, 0, 0};
        double alpha = 0;
        if (!dependent) {
            v = ColorMath::convert(origin.space, space, components(origin));
            for (int i = 0; i < 3; ++i)
                if (origin.space == space && (origin.missing & (1u << i)))
                    v[i] = 0;
            alpha = origin.missing & COLORS_MISSING_ALPHA ? 0 : origin.alpha;
        }
        static constexpr const char *names[][3] = {{"r", "g", "b"}, {"h", "s", "l"}, {"h", "w", "b"},
                                                   {"l", "a", "b"}, {"l", "c", "h"}, {"x", "y", "z"}};
        int set = 0;
        switch (space) {
        case COLORS_HSL:
            set = 1;
            break;
        case COLORS_HWB:
            set = 2;
            break;
        case COLORS_LAB:
        case COLORS_OKLAB:
            set = 3;
            break;
        case COLORS_LCH:
        case COLORS_OKLCH:
            set = 4;
            break;
        case COLORS_XYZ_D50:
        case COLORS_XYZ_D65:
            set = 5;
            break;
        default:
            set = 0;
        }
        // rgb() names its channels on the 0..255 scale.
        const double scale = form == COLORS_FORM_RGB ? 255 : 1;
        for (int i = 0; i < 3; ++i) {
            channels.names[i] = names[set][i];
            channels.values[i] = v[i] * scale;
        }
        channels.names[3] = "alpha";
        channels.values[3] = alpha;
        channels.count = 4;
        Component c[4];
        bool hasAlpha, commas;
        if (!readComponents(c, hasAlpha, commas, false, &channels))
            return false;
        if (!build(form, space, c, hasAlpha, false, true, alpha, out))
            return false;
        if (dependent)
            out = currentColor();
        return true;
    }

    // The value of the components read for `form`, checked against the types each takes.
    // Components of absolute colours are clamped to their ranges as CSS Color 4 says;
    // those of relative colours only in their alpha.
    static bool build(int form, int space, const Component (&c)[4], bool hasAlpha, bool commas, bool relative,
                      double defaultAlpha, ColorsValue &out)
    {
        using T = Component;
        const auto numberOrPercent = [](const T &k) {
            return k.type == T::Number || k.type == T::Percent || k.type == T::None;
        };
        const auto hue = [](const T &k) {
            return k.type == T::Number || k.type == T::Angle || k.type == T::None;
        };
        // Percentage references of the three components, per form.
        double percent[3] = {1, 1, 1};
        double lowest[3] = {-HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
        double highest[3] = {HUGE_VAL, HUGE_VAL, HUGE_VAL};
        int hueAt = -1;
        double scale = 1; // divides plain numbers (rgb: 0..255 to 0..1)
        switch (form) {
        case COLORS_FORM_RGB:
            percent[0] = percent[1] = percent[2] = 1;
            scale = 255;
            lowest[0] = lowest[1] = lowest[2] = 0;
            highest[0] = highest[1] = highest[2] = 1;
            if (commas && !(std::all_of(c, c + 3, [](const T &k) { return k.type == T::Number; }) ||
                            std::all_of(c, c + 3, [](const T &k) { return k.type == T::Percent; })))
                return false;
            break;
        case COLORS_FORM_HSL:
        case COLORS_FORM_HWB:
            hueAt = 0;
            percent[1] = percent[2] = 100;
            lowest[1] = lowest[2] = 0;
            highest[1] = highest[2] = 100;
            if (commas && (c[1].type != T::Percent || c[2].type != T::Percent))
                return false;
            break;
        case COLORS_FORM_LAB:
            percent[0] = 100;
            percent[1] = percent[2] = 125;
            lowest[0] = 0;
            highest[0] = 100;
            break;
        case COLORS_FORM_LCH:
            percent[0] = 100;
            percent[1] = 150;
            lowest[0] = lowest[1] = 0;
            highest[0] = 100;
            hueAt = 2;
            break;
        case COLORS_FORM_OKLAB:
            percent[0] = 1;
            percent[1] = percent[2] = 0.4;
            lowest[0] = 0;
            highest[0] = 1;
            break;
        case COLORS_FORM_OKLCH:
            percent[0] = 1;
            percent[1] = 0.4;
            lowest[0] = lowest[1] = 0;
            highest[0] = 1;
            hueAt = 2;
            break;
        default: // color(): numbers and percentages of 1
            break;
        }
        Vec3 v;
        uint32_t missing = 0;
        for (int i = 0; i < 3; ++i) {
            const T &k = c[i];
            if (i == hueAt ? !hue(k) : !numberOrPercent(k))
                return false;
            if (k.type == T::None) {
                missing |= 1u << i;
                v[i] = 0;
                continue;
            }
            double x;
            if (i == hueAt)
                x = ColorMath::normalizeHue(k.value);
            else if (k.type == T::Percent)
                x = k.value / 100 * percent[i];
            else
                x = k.value / (form == COLORS_FORM_RGB ? scale : 1);
            if (!relative && i != hueAt)
                x = std::clamp(x, lowest[i], highest[i]);
            v[i] = x;
        }
        double alpha = defaultAlpha;
        if (hasAlpha) {
            if (!numberOrPercent(c[3]))
                return false;
            if (c[3].type == T::None) {
                missing |= COLORS_MISSING_ALPHA;
                alpha = 0;
            } else {
                alpha = c[3].type == T::Percent ? c[3].value / 100 : c[3].value;
            }
        }
        out = value(space, v, std::clamp(alpha, 0.0, 1.0), missing);
        return true;
    }

    // color-mix(in SPACE [HUE hue], COLOR [P%], COLOR [P%]).
    bool mix(Pair &out, Writing *writing)
    {
        if (!keyword("in"))
            return false;
        skipBlanks();
        const Text spaceName = name();
        const int space = spaceName.empty() ? -1 : findSpace(MixSpaces, spaceName);
        if (space < 0)
            return false;
        int hueMethod = 0; // shorter
        if (ColorMath::isPolar(space)) {
            static constexpr const char *methods[] = {"shorter", "longer", "increasing", "decreasing"};
            for (int i = 0; i < 4; ++i)
                if (keyword(methods[i])) {
                    if (!keyword("hue"))
                        return false;
                    hueMethod = i;
                    break;
                }
        }
        Pair colors[2];
        double percents[2];
        bool given[2];
        for (int i = 0; i < 2; ++i) {
            if (!eat(','))
                return false;
            if (!mixItem(colors[i], percents[i], given[i]))
                return false;
        }
        if (!eat(')'))
            return false;
        double p0 = percents[0], p1 = percents[1];
        if (!given[0] && !given[1])
            p0 = p1 = 50;
        else if (!given[0])
            p0 = 100 - p1;
        else if (!given[1])
            p1 = 100 - p0;
        const double total = p0 + p1;
        if (total <= 0)
            return false;
        const double alphaFactor = total < 100 ? total / 100 : 1;
        const double t = p1 / total;
        out.light = mixValues(colors[0].light, colors[1].light, space, hueMethod, t, alphaFactor);
        out.dark = mixValues(colors[0].dark, colors[1].dark, space, hueMethod, t, alphaFactor);
        if (writing)
            *writing = {COLORS_FORM_MIX, 0, 0};
        return true;
    }

    // A colour of color-mix() with its percentage before or after it.
    bool mixItem(Pair &item, double &percent, bool &given)
    {
        given = false;
        Component p;
        const auto tryPercent = [&] {
            skipBlanks();
            const char *start = m_p;
            if (component(p, nullptr) && p.type == Component::Percent) {
                given = true;
                percent = p.value;
                return true;
            }
            m_p = start;
            return false;
        };
        tryPercent();
        if (!color(item, nullptr))
            return false;
        if (!given)
            tryPercent();
        return !given || (percent >= 0 && percent <= 100);
    }

    // The kinds of component, so that a component written none is carried to the one
    // of the same kind in the space a colour is converted to.
    enum Analogue { Red, Green, Blue, Lightness, Colorfulness, Hue, OpponentA, OpponentB, Other };

    static Analogue analogue(int space, int i)
    {
        switch (space) {
        case COLORS_HSL:
            return i == 0 ? Hue : i == 1 ? Colorfulness : Lightness;
        case COLORS_HWB:
            return i == 0 ? Hue : Other;
        case COLORS_LAB:
        case COLORS_OKLAB:
            return i == 0 ? Lightness : i == 1 ? OpponentA : OpponentB;
        case COLORS_LCH:
        case COLORS_OKLCH:
            return i == 0 ? Lightness : i == 1 ? Colorfulness : Hue;
        default:
            return i == 0 ? Red : i == 1 ? Green : Blue;
        }
    }

    // The colour in the interpolation space, with its missing components carried over
    // and a powerless hue (a grey's) counted as missing.
    static ColorsValue forMixing(const ColorsValue &color, int space)
    {
        if (color.space == space)
            return color;
        Vec3 c = components(color);
        for (int i = 0; i < 3; ++i)
            if (color.missing & (1u << i))
                c[i] = 0;
        const Vec3 v = ColorMath::convert(color.space, space, c);
        uint32_t missing = color.missing & COLORS_MISSING_ALPHA;
        for (int from = 0; from < 3; ++from)
            if (color.missing & (1u << from))
                for (int to = 0; to < 3; ++to)
                    if (analogue(color.space, from) != Other &&
                        analogue(color.space, from) == analogue(space, to))
                        missing |= 1u << to;
        const int h = ColorMath::hueIndex(space);
        if (h >= 0) {
            bool grey = false;
            switch (space) {
            case COLORS_HSL:
                grey = std::fabs(v[1]) < 1e-4 || v[2] <= 0 || v[2] >= 100;
                break;
            case COLORS_HWB:
                grey = v[1] + v[2] >= 100 - 1e-4;
                break;
            case COLORS_LCH:
                grey = v[1] < 1e-4;
                break;
            default:
                grey = v[1] < 4e-7;
            }
            if (grey)
                missing |= 1u << h;
        }
        return value(space, v, color.alpha, missing);
    }

    static ColorsValue mixValues(const ColorsValue &first, const ColorsValue &second, int space,
                                 int hueMethod, double t, double alphaFactor)
    {
        if (first.kind != COLORS_KIND_VALUE || second.kind != COLORS_KIND_VALUE)
            return currentColor();
        ColorsValue a = forMixing(first, space), b = forMixing(second, space);
        // A component missing on one side takes the other side's value.
        for (int i = 0; i < 3; ++i) {
            const uint32_t bit = 1u << i;
            if ((a.missing & bit) && !(b.missing & bit))
                a.c[i] = b.c[i];
            else if ((b.missing & bit) && !(a.missing & bit))
                b.c[i] = a.c[i];
        }
        double alphaA = a.alpha, alphaB = b.alpha;
        const bool alphaMissingA = a.missing & COLORS_MISSING_ALPHA,
                   alphaMissingB = b.missing & COLORS_MISSING_ALPHA;
        if (alphaMissingA && !alphaMissingB)
            alphaA = alphaB;
        else if (alphaMissingB && !alphaMissingA)
            alphaB = alphaA;
        const uint32_t missing = a.missing & b.missing;
        const int h = ColorMath::hueIndex(space);
        if (h >= 0 && !(missing & (1u << h))) {
            double &x = a.c[h], &y = b.c[h];
            const double d = y - x;
            switch (hueMethod) {
            case 0: // shorter
                if (d > 180)
                    x += 360;
                else if (d < -180)
                    y += 360;
                break;
            case 1: // longer
                if (d > 0 && d < 180)
                    x += 360;
                else if (d > -180 && d <= 0)
                    y += 360;
                break;
            case 2: // increasing
                if (d < 0)
                    y += 360;
                break;
            default: // decreasing
                if (d > 0)
                    x += 360;
            }
        }
        const double alpha = alphaA * (1 - t) + alphaB * t;
        Vec3 v;
        for (int i = 0; i < 3; ++i) {
            if (i == h) {
                v[i] = a.c[i] * (1 - t) + b.c[i] * t;
                continue;
            }
            // Premultiplied by alpha; a result without alpha keeps the premultiplied zeros.
            const double mixed = a.c[i] * alphaA * (1 - t) + b.c[i] * alphaB * t;
            v[i] = alpha != 0 ? mixed / alpha : mixed;
        }
        for (int i = 0; i < 3; ++i)
            if (missing & (1u << i))
                v[i] = 0;
        if (h >= 0)
            v[h] = ColorMath::normalizeHue(v[h]);
        return value(space, v, std::clamp(alpha * alphaFactor, 0.0, 1.0), missing);
    }
};

// True when the colour stays finite through every conversion a caller may ask for, and
// through reading back what is written of it: texts with components so large that the
// colour's XYZ exceeds 1e30 (10^30 times the white's) are no colour.
bool finite(const ColorsValue &v)
{
    if (v.kind != COLORS_KIND_VALUE)
        return true;
    // Components within a million keep every space's XYZ far below the bound (the
    // steepest way there, a power of 2.4, gives 3e14); only larger ones are converted.
    if (std::all_of(v.c, v.c + 3, [](double x) { return std::fabs(x) <= 1e6; }))
        return true;
    const Vec3 xyz = ColorMath::convert(v.space, COLORS_XYZ_D65, components(v));
    return std::all_of(xyz.begin(), xyz.end(), [](double x) { return std::fabs(x) <= 1e30; });
}

} // namespace

bool parse(const char *text, size_t length, ColorsText &out)
{
    out = ColorsText{};
    if (!text)
        return false;
    Parser parser(text, length);
    Pair pair;
    Writing writing;
    if (!parser.parseWhole(pair, writing) || !finite(pair.light) || !finite(pair.dark)) {
        out = ColorsText{};
        return false;
    }
    out.color = pair.light;
    out.dark = pair.dark;
    out.form = writing.form;
    out.flags = writing.flags;
    out.detail = writing.detail;
    return true;
}

} // namespace ColorParser
