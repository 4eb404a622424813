#include "Colors.h"

#include "SystemColors.h"

#include <QColor>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <iterator>
#include <numbers>
#include <string_view>

// Colour texts as style sheets write them: a colour name, #rgb, #rrggbb, or the
// functions rgb()/rgba() and hsl()/hsla() in both the comma form and the space form
// with "/ alpha". Blanks around the text are allowed; anything else is no colour.
// The alpha of a function is checked and then dropped: a colour has no alpha here.

namespace {

using Text = std::string_view;

constexpr uint32_t rgbColor(uint32_t r, uint32_t g, uint32_t b)
{
    return r | g << 8 | b << 16;
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool isLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// A character that continues a word such as a unit or a keyword.
bool isNameChar(char c)
{
    return isLetter(c) || isDigit(c) || c == '-' || c == '_';
}

char lower(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

bool equalsNoCase(Text a, Text b)
{
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return lower(x) == lower(y); });
}

void skipBlanks(Text &t)
{
    while (!t.empty() && isBlank(t.front()))
        t.remove_prefix(1);
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// #rgb (each digit doubled) or #rrggbb; other lengths are no colour. This is the path
// of every colour the editor wrote itself, so it stays a plain loop.
uint32_t parseHex(const char *digits, const char *end)
{
    const ptrdiff_t length = end - digits;
    if (length != 3 && length != 6)
        return COLORS_NONE;
    uint32_t v = 0;
    for (const char *p = digits; p != end; ++p) {
        const int d = hexDigit(*p);
        if (d < 0)
            return COLORS_NONE;
        v = v << 4 | uint32_t(d);
    }
    if (length == 3)
        return rgbColor((v >> 8) * 17, (v >> 4 & 0xF) * 17, (v & 0xF) * 17);
    return rgbColor(v >> 16, v >> 8 & 0xFF, v & 0xFF);
}

// A colour name. QColor knows the named colours but also takes names with blanks
// inside ("light blue") and "transparent", which has no colour without alpha; it
// lacks "rebeccapurple".
uint32_t parseName(Text name)
{
    if (name.empty() || !std::all_of(name.begin(), name.end(), isLetter))
        return COLORS_NONE;
    if (equalsNoCase(name, "transparent"))
        return COLORS_NONE;
    if (equalsNoCase(name, "rebeccapurple"))
        return rgbColor(0x66, 0x33, 0x99);
    const QColor c = QColor::fromString(QLatin1StringView(name.data(), qsizetype(name.size())));
    return c.isValid() ? rgbColor(c.red(), c.green(), c.blue()) : COLORS_NONE;
}

// One argument of a colour function: a number with its unit ("" for a plain number,
// "%" or an angle unit), or the keyword none.
struct Arg
{
    double value = 0;
    Text unit;
    bool none = false;
};

// Reads a number with an optional unit from the front of t, in the style sheets'
// number syntax: [+-] digits [. digits] or [+-] . digits, then an optional exponent.
bool readArg(Text &t, Arg &arg)
{
    if (t.size() >= 4 && equalsNoCase(t.substr(0, 4), "none") && (t.size() == 4 || !isNameChar(t[4]))) {
        arg = Arg{0, {}, true};
        t.remove_prefix(4);
        return true;
    }
    size_t i = 0;
    if (i < t.size() && (t[i] == '+' || t[i] == '-'))
        ++i;
    const size_t start = i;
    while (i < t.size() && isDigit(t[i]))
        ++i;
    if (i < t.size() && t[i] == '.' && i + 1 < t.size() && isDigit(t[i + 1])) {
        i += 2;
        while (i < t.size() && isDigit(t[i]))
            ++i;
    }
    if (i == start)
        return false;
    if (i + 1 < t.size() && lower(t[i]) == 'e') {
        size_t j = i + 1;
        if (t[j] == '+' || t[j] == '-')
            ++j;
        if (j < t.size() && isDigit(t[j])) {
            while (j < t.size() && isDigit(t[j]))
                ++j;
            i = j;
        }
    }
    // from_chars takes no leading '+'; the syntax was checked above, so it cannot
    // meet "inf", "nan" or hexadecimal forms.
    const size_t from = t[0] == '+' ? 1 : 0;
    if (std::from_chars(t.data() + from, t.data() + i, arg.value).ec != std::errc())
        return false;
    if (!std::isfinite(arg.value))
        return false;
    size_t u = i;
    if (u < t.size() && t[u] == '%')
        ++u;
    else if (u < t.size() && isLetter(t[u]))
        while (u < t.size() && isNameChar(t[u]))
            ++u;
    arg.unit = t.substr(i, u - i);
    arg.none = false;
    t.remove_prefix(u);
    return true;
}

// The arguments between the parentheses: three, then an optional alpha, either all
// separated by commas (the comma form, where none is not allowed) or by blanks with
// "/" before the alpha (the space form). Returns the count (3 or 4), or 0.
int readArgs(Text t, Arg (&args)[4], bool &commaForm)
{
    int count = 0;
    commaForm = false;
    for (;;) {
        skipBlanks(t);
        if (!readArg(t, args[count]))
            return 0;
        ++count;
        skipBlanks(t);
        if (t.empty())
            break;
        if (count == 4)
            return 0;
        const bool comma = t.front() == ',';
        const bool slash = t.front() == '/';
        if (count == 1)
            commaForm = comma;
        if (comma != commaForm || (slash && count != 3) || (!commaForm && !slash && count == 3))
            return 0;
        if (comma || slash)
            t.remove_prefix(1);
    }
    if (count < 3)
        return 0;
    if (commaForm && std::any_of(args, args + count, [](const Arg &a) { return a.none; }))
        return 0;
    return count;
}

bool isPercent(const Arg &a)
{
    return a.unit == "%";
}

bool isNumber(const Arg &a)
{
    return a.unit.empty();
}

bool isNumberOrPercent(const Arg &a)
{
    return isNumber(a) || isPercent(a);
}

// A channel given on the 0..255 scale, clamped and rounded to the nearest step.
int channel(double value)
{
    return int(std::lround(std::clamp(value, 0.0, 255.0)));
}

// rgb(): numbers 0..255 or percentages; the comma form takes all three of one kind.
uint32_t parseRgb(const Arg (&a)[4], int count, bool commaForm)
{
    if (!std::all_of(a, a + 3, isNumberOrPercent) || (count == 4 && !isNumberOrPercent(a[3])))
        return COLORS_NONE;
    if (commaForm && !(std::all_of(a, a + 3, isNumber) || std::all_of(a, a + 3, isPercent)))
        return COLORS_NONE;
    int c[3];
    for (int i = 0; i < 3; ++i)
        c[i] = channel(isPercent(a[i]) ? a[i].value * 255 / 100 : a[i].value);
    return rgbColor(c[0], c[1], c[2]);
}

// The hue in degrees: a plain number or an angle unit.
bool hueDegrees(const Arg &a, double &deg)
{
    static constexpr struct
    {
        const char *unit;
        double factor;
    } units[] = {{"", 1}, {"deg", 1}, {"grad", 0.9}, {"rad", 180 / std::numbers::pi}, {"turn", 360}};
    for (const auto &u : units)
        if (equalsNoCase(a.unit, u.unit)) {
            deg = a.value * u.factor;
            return true;
        }
    return false;
}

// hsl(): hue, saturation and lightness as percentages (the space form also takes plain
// numbers), converted the way style sheets define it.
uint32_t parseHsl(const Arg (&a)[4], int count, bool commaForm)
{
    double h;
    if (!hueDegrees(a[0], h) || (count == 4 && !isNumberOrPercent(a[3])))
        return COLORS_NONE;
    for (int i = 1; i < 3; ++i)
        if (!isPercent(a[i]) && (commaForm || !isNumber(a[i])))
            return COLORS_NONE;
    h = std::fmod(h, 360);
    if (h < 0)
        h += 360;
    const double s = std::clamp(a[1].value / 100, 0.0, 1.0);
    const double l = std::clamp(a[2].value / 100, 0.0, 1.0);
    const auto f = [&](double n) {
        const double k = std::fmod(n + h / 30, 12);
        return l - s * std::min(l, 1 - l) * std::max(-1.0, std::min({k - 3, 9 - k, 1.0}));
    };
    return rgbColor(channel(f(0) * 255), channel(f(8) * 255), channel(f(4) * 255));
}

// name(arguments): rgb, rgba, hsl or hsla in any case, "(" right after the name.
uint32_t parseFunction(Text t)
{
    const size_t open = t.find('(');
    if (open == Text::npos || t.back() != ')')
        return COLORS_NONE;
    const Text name = t.substr(0, open);
    const Text inner = t.substr(open + 1, t.size() - open - 2);
    Arg args[4];
    bool commaForm;
    const int count = readArgs(inner, args, commaForm);
    if (count == 0)
        return COLORS_NONE;
    if (equalsNoCase(name, "rgb") || equalsNoCase(name, "rgba"))
        return parseRgb(args, count, commaForm);
    if (equalsNoCase(name, "hsl") || equalsNoCase(name, "hsla"))
        return parseHsl(args, count, commaForm);
    return COLORS_NONE;
}

} // namespace

uint32_t StrToColor(const char *text)
{
    if (!text)
        return COLORS_NONE;
    const char *begin = text;
    while (isBlank(*begin))
        ++begin;
    const char *end = begin + std::strlen(begin);
    while (end > begin && isBlank(end[-1]))
        --end;
    if (begin == end)
        return COLORS_NONE;
    if (*begin == '#')
        return parseHex(begin + 1, end);
    const Text t(begin, size_t(end - begin));
    if (t.back() == ')')
        return parseFunction(t);
    return parseName(t);
}

// An RGB colour and a system colour of the table give #RRGGBB. Every other value
// (COLORS_NONE, a system colour outside the table, a value with bits above the RGB
// set) gives the empty text: it is no colour, and it reads back as COLORS_NONE.
const char *ColorToHex(uint32_t color)
{
    // Initial-exec: the library is linked at start-up, and the buffer is then reached
    // without a call into the dynamic linker on every use.
    thread_local char buffer[8] __attribute__((tls_model("initial-exec")));
    uint32_t rgb;
    if (color <= 0xFFFFFF) {
        rgb = (color & 0xFF) << 16 | (color & 0xFF00) | color >> 16;
    } else if (color >= 0x80000000u && color - 0x80000000u < std::size(ClassicSystemColors)) {
        rgb = ClassicSystemColors[color - 0x80000000u];
    } else {
        buffer[0] = '\0';
        return buffer;
    }
    static constexpr char digits[] = "0123456789ABCDEF";
    buffer[0] = '#';
    for (int i = 0; i < 6; ++i)
        buffer[1 + i] = digits[(rgb >> (20 - 4 * i)) & 0xF];
    buffer[7] = '\0';
    return buffer;
}
