#include "ColorValue.h"
#include "TestRegistry.h"

#include <QColor>
#include <QFile>
#include <QTest>
#include <cmath>
#include <cstring>
#include <string>

// The colour reader, conversions and writing of ColorValue.h. The colour table in
// tests/data/colors/colours.txt (shared with the colorjs.io judge, which checks the
// values themselves) is read here for what needs no reference: every text reads, every
// conversion comes back, every written form reads back as the same colour.

namespace {

struct Table
{
    QList<QByteArray> colours;
    QList<QByteArray> nonColours;
};

Table readTable()
{
    Table table;
    QFile file(QStringLiteral(LW_TEST_DATA_DIR "/colors/colours.txt"));
    if (!file.open(QIODevice::ReadOnly))
        return table;
    bool none = false;
    for (QByteArray line : file.readAll().split('\n')) {
        if (line.startsWith("//") || line.isEmpty())
            continue;
        if (line == "no colour:") {
            none = true;
            continue;
        }
        if (none)
            table.nonColours.append(line == "\"\"" ? QByteArray("")
                                                   : line.replace("\\t", "\t").replace("\\n", "\n"));
        else
            table.colours.append(line.left(line.indexOf('\t') < 0 ? line.size() : line.indexOf('\t')));
    }
    return table;
}

ColorsText parse(const QByteArray &text)
{
    ColorsText out;
    ColorsParse(text.constData(), size_t(text.size()), &out);
    return out;
}

ColorsValue convert(const ColorsValue &color, int space)
{
    ColorsValue out;
    ColorsConvert(&color, space, &out);
    return out;
}

QByteArray format(const ColorsValue &color, int form, int precision = -1, uint32_t options = 0)
{
    char buffer[256];
    const size_t length = ColorsFormat(&color, form, precision, options, buffer, sizeof buffer);
    return length < sizeof buffer ? QByteArray(buffer, qsizetype(length)) : QByteArray("(cut)");
}

QString show(const ColorsValue &v)
{
    return QStringLiteral("%1(%2 %3 %4 / %5)")
        .arg(QLatin1String(ColorsSpaceName(v.space)))
        .arg(v.c[0], 0, 'g', 10)
        .arg(v.c[1], 0, 'g', 10)
        .arg(v.c[2], 0, 'g', 10)
        .arg(v.alpha, 0, 'g', 10);
}

// Whether the colour has a hue in its (polar) space: a grey's hue means nothing.
bool hueMatters(const ColorsValue &v)
{
    switch (v.space) {
    case COLORS_HSL:
        return v.c[1] > 1e-3 && v.c[2] > 1e-3 && v.c[2] < 100 - 1e-3;
    case COLORS_HWB:
        return v.c[1] + v.c[2] < 100 - 1e-3;
    case COLORS_LCH:
        return v.c[1] > 1e-3;
    case COLORS_OKLCH:
        return v.c[1] > 1e-5;
    default:
        return true;
    }
}

int hueIndex(int space)
{
    return space == COLORS_HSL || space == COLORS_HWB     ? 0
           : space == COLORS_LCH || space == COLORS_OKLCH ? 2
                                                          : -1;
}

// Two colours of one space within `tolerance` per component; hues on the circle and
// only where they matter, hsl's saturation not at black and white, hwb by the ratio of
// whiteness and blackness where they make a grey.
bool close(ColorsValue a, ColorsValue b, double tolerance)
{
    if (a.space != b.space || std::fabs(a.alpha - b.alpha) > tolerance)
        return false;
    for (ColorsValue *v : {&a, &b})
        if (v->space == COLORS_HWB && v->c[1] + v->c[2] >= 100) {
            const double sum = v->c[1] + v->c[2];
            v->c[0] = 0;
            v->c[1] = 100 * v->c[1] / sum;
            v->c[2] = 100 * v->c[2] / sum;
        }
    for (int i = 0; i < 3; ++i) {
        if (i == hueIndex(a.space)) {
            if (!hueMatters(a))
                continue;
            const double d = std::fabs(std::fmod(std::fmod(a.c[i] - b.c[i], 360) + 540, 360) - 180);
            if (d > tolerance)
                return false;
        } else if (a.space == COLORS_HSL && i == 1 && !hueMatters(a) &&
                   (a.c[2] <= 1e-3 || a.c[2] >= 100 - 1e-3)) {
            continue;
        } else if (!(std::fabs(a.c[i] - b.c[i]) <= tolerance)) {
            return false;
        }
    }
    return true;
}

} // namespace

class TestColorValues : public QObject
{
    Q_OBJECT

private slots:
    void tableIsThere();
    void everyColourOfTheTable_data();
    void everyColourOfTheTable();
    void textsThatAreNoColour_data();
    void textsThatAreNoColour();
    void whatATextSays_data();
    void whatATextSays();
    void writing_data();
    void writing();
    void writingIntoASmallBuffer();
    void everyNamedColourIsTheToolkitsOne();
    void screenColours_data();
    void screenColours();
    void cutAndNestedTextsAreSafe();
};

void TestColorValues::tableIsThere()
{
    const Table table = readTable();
    QVERIFY2(table.colours.size() >= 300, qPrintable(QString::number(table.colours.size())));
    QVERIFY(table.nonColours.size() >= 50);
}

void TestColorValues::everyColourOfTheTable_data()
{
    QTest::addColumn<QByteArray>("text");
    for (const QByteArray &text : readTable().colours)
        QTest::newRow(text.constData()) << text;
}

// Each colour reads; converted to every space and back it stays within 1e-6 (the power
// functions of a98-rgb and rec2020 near 0 make rounding noise of 1e-16 about 1e-7);
// written in every form with 12 decimals it reads back as the same colour within 1e-5
// (the sRGB forms, which hold what a screen shows, as the screen's colour); and where
// the old reader (StrToColor) takes the text, the screen's 8-bit colour is the one it gives.
void TestColorValues::everyColourOfTheTable()
{
    QFETCH(QByteArray, text);
    const ColorsText parsed = parse(text);
    QCOMPARE(parsed.color.kind, int(COLORS_KIND_VALUE));
    QCOMPARE(parsed.dark.kind, int(COLORS_KIND_VALUE));
    for (const ColorsValue &side : {parsed.color, parsed.dark}) {
        ColorsValue original = side;
        original.missing &= ~7u; // none counts as 0 in conversions
        const bool inside = ColorsInSrgb(&side);
        for (int space = 0; space < COLORS_SPACE_COUNT; ++space) {
            // hsl and hwb are sRGB's: outside it they are not one-to-one (a hue turned
            // by half a turn for a negative saturation, as CSS defines it).
            if (!inside && (space == COLORS_HSL || space == COLORS_HWB))
                continue;
            const ColorsValue there = convert(side, space);
            const ColorsValue back = convert(there, side.space);
            QVERIFY2(close(back, original, 1e-6), qPrintable(QStringLiteral("via %1: %2 came back as %3")
                                                                 .arg(QLatin1String(ColorsSpaceName(space)))
                                                                 .arg(show(original))
                                                                 .arg(show(back))));
        }
        ColorsValue screen;
        QVERIFY(ColorsToScreen(&side, &screen));
        for (int form = COLORS_FORM_RGB; form <= COLORS_FORM_COLOR; ++form) {
            const QByteArray written = format(side, form, 12);
            const ColorsText reread = parse(written);
            QVERIFY2(reread.color.kind == COLORS_KIND_VALUE, written.constData());
            const ColorsValue &reference = form <= COLORS_FORM_HWB ? screen : original;
            const ColorsValue got = convert(reread.color, reference.space);
            QVERIFY2(close(got, convert(reference, reference.space), 1e-5),
                     qPrintable(
                         QStringLiteral("%1 -> %2 -> %3, wanted %4")
                             .arg(QLatin1String(text), QLatin1String(written), show(got), show(reference))));
            if (form <= COLORS_FORM_HWB)
                QCOMPARE(ColorsInSrgb(&reread.color), 1);
        }
        if (inside)
            QVERIFY(close(screen, convert(original, COLORS_SRGB), 1e-4));
    }
    if (parsed.form != COLORS_FORM_LIGHT_DARK) {
        const uint32_t old = StrToColor(text.constData());
        if (old != COLORS_NONE)
            QCOMPARE(QByteArray::number(ColorsToBgr(&parsed.color), 16), QByteArray::number(old, 16));
    }
}

void TestColorValues::textsThatAreNoColour_data()
{
    QTest::addColumn<QByteArray>("text");
    for (const QByteArray &text : readTable().nonColours)
        QTest::newRow(text.isEmpty() ? "(empty)" : text.constData()) << text;
}

void TestColorValues::textsThatAreNoColour()
{
    QFETCH(QByteArray, text);
    ColorsText out;
    out.form = 99;
    QCOMPARE(ColorsParse(text.constData(), size_t(text.size()), &out), 0);
    QCOMPARE(out.color.kind, int(COLORS_KIND_NONE));
    QCOMPARE(ColorsToBgr(&out.color), uint32_t(COLORS_NONE));
    char buffer[8] = "x";
    QCOMPARE(ColorsFormat(&out.color, COLORS_FORM_HEX, -1, 0, buffer, sizeof buffer), size_t(0));
    QCOMPARE(buffer[0], '\0');
}

void TestColorValues::whatATextSays_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("form");
    QTest::addColumn<uint>("flags");
    QTest::addColumn<int>("detail");
    QTest::addColumn<QByteArray>("light"); // the expected value, written as color() / the other forms
    QTest::addColumn<QByteArray>("dark");  // empty: the same as light

    const uint commas = COLORS_FLAG_COMMAS, alphaName = COLORS_FLAG_ALPHA_NAME,
               relative = COLORS_FLAG_RELATIVE;
    QTest::newRow("oklch kept in its space")
        << QByteArray("oklch(70% 0.1 200)") << int(COLORS_FORM_OKLCH) << COLORS_FLAG_PERCENT_LIGHTNESS << 0
        << QByteArray("oklch(0.7 0.1 200)") << QByteArray();
    QTest::newRow("#rgba") << QByteArray("#0af8") << int(COLORS_FORM_HEX) << 0u << 4
                           << QByteArray("rgb(0 170 255 / 0.533333333333)") << QByteArray();
    QTest::newRow("hsl with alpha") << QByteArray("hsl(200 50% 50% / .5)") << int(COLORS_FORM_HSL) << 0u << 0
                                    << QByteArray("hsl(200 50% 50% / 0.5)") << QByteArray();
    QTest::newRow("rgba comma form") << QByteArray("rgba(1, 2, 3, 50%)") << int(COLORS_FORM_RGB)
                                     << (commas | alphaName) << 0 << QByteArray("rgb(1 2 3 / 0.5)")
                                     << QByteArray();
    QTest::newRow("p3 outside sRGB") << QByteArray("color(display-p3 1 0 0)") << int(COLORS_FORM_COLOR) << 0u
                                     << 0 << QByteArray("color(display-p3 1 0 0)") << QByteArray();
    QTest::newRow("none kept") << QByteArray("oklch(0.5 none 120 / none)") << int(COLORS_FORM_OKLCH) << 0u
                               << 0 << QByteArray("oklch(0.5 none 120 / none)") << QByteArray();
    QTest::newRow("relative colour") << QByteArray("oklch(from oklch(0.6 0.1 350) l c calc(h + 30))")
                                     << int(COLORS_FORM_OKLCH) << relative << 0
                                     << QByteArray("oklch(0.6 0.1 20)") << QByteArray();
    QTest::newRow("relative rgb on 0..255")
        << QByteArray("rgb(from #102030 calc(r * 2) g b / 0.5)") << int(COLORS_FORM_RGB) << relative << 0
        << QByteArray("rgb(32 32 48 / 0.5)") << QByteArray();
    QTest::newRow("light-dark keeps both")
        << QByteArray("light-dark(white, #123)") << int(COLORS_FORM_LIGHT_DARK) << 0u << 0
        << QByteArray("rgb(255 255 255)") << QByteArray("rgb(17 34 51)");
    QTest::newRow("light-dark inside a mix")
        << QByteArray("color-mix(in srgb, light-dark(white, black), red)") << int(COLORS_FORM_MIX) << 0u << 0
        << QByteArray("rgb(255 127.5 127.5)") << QByteArray("rgb(127.5 0 0)");
    QTest::newRow("mix with one percentage")
        << QByteArray("color-mix(in srgb, red 30%, blue)") << int(COLORS_FORM_MIX) << 0u << 0
        << QByteArray("rgb(76.5 0 178.5)") << QByteArray();
    QTest::newRow("mix below 100% lowers alpha")
        << QByteArray("color-mix(in srgb, red 20%, blue 20%)") << int(COLORS_FORM_MIX) << 0u << 0
        << QByteArray("rgb(127.5 0 127.5 / 0.4)") << QByteArray();
    QTest::newRow("mix in oklch: a grey takes the other's hue")
        << QByteArray("color-mix(in oklch, white, oklch(0.5 0.2 100))") << int(COLORS_FORM_MIX) << 0u << 0
        << QByteArray("oklch(0.75 0.1 100)") << QByteArray();
    QTest::newRow("mix longer hue")
        << QByteArray("color-mix(in oklch longer hue, oklch(0.5 0.1 10), oklch(0.5 0.1 30))")
        << int(COLORS_FORM_MIX) << 0u << 0 << QByteArray("oklch(0.5 0.1 200)") << QByteArray();
    QTest::newRow("transparent") << QByteArray("Transparent") << int(COLORS_FORM_NAME) << 0u << 0
                                 << QByteArray("rgb(0 0 0 / 0)") << QByteArray();
    QTest::newRow("name") << QByteArray("RebeccaPurple") << int(COLORS_FORM_NAME) << 0u << 0
                          << QByteArray("rgb(102 51 153)") << QByteArray();
    QTest::newRow("system colour of the classic table")
        << QByteArray("Canvas") << int(COLORS_FORM_SYSTEM) << 0u << 5 << QByteArray("rgb(255 255 255)")
        << QByteArray();
    QTest::newRow("system colour of its own") << QByteArray("linktext") << int(COLORS_FORM_SYSTEM) << 0u << -1
                                              << QByteArray("rgb(0 0 238)") << QByteArray();
    QTest::newRow("currentcolor") << QByteArray("currentColor") << int(COLORS_FORM_CURRENTCOLOR) << 0u << 0
                                  << QByteArray() << QByteArray();
    QTest::newRow("a mix with currentcolor has no fixed value")
        << QByteArray("color-mix(in srgb, currentcolor, red)") << int(COLORS_FORM_MIX) << 0u << 0
        << QByteArray() << QByteArray();
    QTest::newRow("relative from currentcolor")
        << QByteArray("oklch(from currentcolor l c h)") << int(COLORS_FORM_OKLCH) << relative << 0
        << QByteArray() << QByteArray();
    QTest::newRow("rgb clamped") << QByteArray("rgb(300 -20 0 / 2)") << int(COLORS_FORM_RGB) << 0u << 0
                                 << QByteArray("rgb(255 0 0)") << QByteArray();
    QTest::newRow("lab lightness clamped") << QByteArray("lab(120 0 0)") << int(COLORS_FORM_LAB) << 0u << 0
                                           << QByteArray("lab(100 0 0)") << QByteArray();
    QTest::newRow("percentages of lab")
        << QByteArray("lab(50% 100% -100%)") << int(COLORS_FORM_LAB) << COLORS_FLAG_PERCENT_LIGHTNESS << 0
        << QByteArray("lab(50 125 -125)") << QByteArray();
    QTest::newRow("percentages of oklch")
        << QByteArray("oklch(50% 100% 0.5turn)") << int(COLORS_FORM_OKLCH) << COLORS_FLAG_PERCENT_LIGHTNESS
        << 0 << QByteArray("oklch(0.5 0.4 180)") << QByteArray();
    QTest::newRow("angles") << QByteArray("hsl(200grad 50% 50%)") << int(COLORS_FORM_HSL) << 0u << 0
                            << QByteArray("hsl(180 50% 50%)") << QByteArray();
    QTest::newRow("comments and blanks")
        << QByteArray(" /* a */ rgb( 1 /* b */ 2 3 ) \n") << int(COLORS_FORM_RGB) << 0u << 0
        << QByteArray("rgb(1 2 3)") << QByteArray();
}

// What a text says: its form and writing, and its value, compared with the value of a
// text written plainly in the same space.
void TestColorValues::whatATextSays()
{
    QFETCH(QByteArray, text);
    QFETCH(int, form);
    QFETCH(uint, flags);
    QFETCH(int, detail);
    QFETCH(QByteArray, light);
    QFETCH(QByteArray, dark);
    const ColorsText parsed = parse(text);
    QCOMPARE(parsed.form, form);
    QCOMPARE(parsed.flags, flags);
    QCOMPARE(parsed.detail, detail);
    if (light.isEmpty()) {
        QCOMPARE(parsed.color.kind, int(COLORS_KIND_CURRENTCOLOR));
        QCOMPARE(ColorsToBgr(&parsed.color), uint32_t(COLORS_NONE));
        return;
    }
    const ColorsText wantLight = parse(light), wantDark = parse(dark.isEmpty() ? light : dark);
    for (const auto &[got, want] :
         {std::pair{parsed.color, wantLight.color}, std::pair{parsed.dark, wantDark.color}}) {
        QCOMPARE(got.kind, int(COLORS_KIND_VALUE));
        QCOMPARE(ColorsSpaceName(got.space), ColorsSpaceName(want.space));
        QCOMPARE(got.missing, want.missing);
        QVERIFY2(close(got, want, 1e-9), qPrintable(show(got) + QLatin1String(" wanted ") + show(want)));
    }
}

void TestColorValues::writing_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("form");
    QTest::addColumn<int>("precision");
    QTest::addColumn<uint>("options");
    QTest::addColumn<QByteArray>("expected");

    const uint upper = COLORS_WRITE_UPPERCASE, shortHex = COLORS_WRITE_SHORT, commas = COLORS_WRITE_COMMAS;
    QTest::newRow("hex") << QByteArray("rgb(0 170 255)") << int(COLORS_FORM_HEX) << -1 << 0u
                         << QByteArray("#00aaff");
    QTest::newRow("hex with alpha") << QByteArray("#0af8") << int(COLORS_FORM_HEX) << -1 << 0u
                                    << QByteArray("#00aaff88");
    QTest::newRow("short hex") << QByteArray("#0af8") << int(COLORS_FORM_HEX) << -1 << shortHex
                               << QByteArray("#0af8");
    QTest::newRow("short hex where the digits allow")
        << QByteArray("#0af") << int(COLORS_FORM_HEX) << -1 << (shortHex | upper) << QByteArray("#0AF");
    QTest::newRow("no short hex where they do not")
        << QByteArray("#00aaff12") << int(COLORS_FORM_HEX) << -1 << shortHex << QByteArray("#00aaff12");
    QTest::newRow("hex rounds to the nearest")
        << QByteArray("rgb(127.6 0.6 254.4)") << int(COLORS_FORM_HEX) << -1 << 0u << QByteArray("#8001fe");
    QTest::newRow("rgb whole channels") << QByteArray("rgb(127.6 0.4 254.6 / 50%)") << int(COLORS_FORM_RGB)
                                        << -1 << 0u << QByteArray("rgb(128 0 255 / 0.5)");
    QTest::newRow("rgb with decimals") << QByteArray("rgb(127.5 0.4 254.5)") << int(COLORS_FORM_RGB) << 2
                                       << 0u << QByteArray("rgb(127.5 0.4 254.5)");
    QTest::newRow("rgba comma form") << QByteArray("#ff000080") << int(COLORS_FORM_RGB) << 3 << commas
                                     << QByteArray("rgba(255, 0, 0, 0.502)");
    QTest::newRow("rgb comma form") << QByteArray("red") << int(COLORS_FORM_RGB) << -1 << commas
                                    << QByteArray("rgb(255, 0, 0)");
    QTest::newRow("hsl") << QByteArray("#0af") << int(COLORS_FORM_HSL) << -1 << 0u
                         << QByteArray("hsl(200 100% 50%)");
    QTest::newRow("hsla comma form") << QByteArray("hsl(200 50% 50% / .5)") << int(COLORS_FORM_HSL) << -1
                                     << commas << QByteArray("hsla(200, 50%, 50%, 0.5)");
    QTest::newRow("hsl keeps none") << QByteArray("hsl(none 50% 50%)") << int(COLORS_FORM_HSL) << -1 << 0u
                                    << QByteArray("hsl(none 50% 50%)");
    QTest::newRow("none gone in another form") << QByteArray("hsl(none 50% 50%)") << int(COLORS_FORM_RGB)
                                               << -1 << 0u << QByteArray("rgb(191 64 64)");
    QTest::newRow("hwb") << QByteArray("#0af") << int(COLORS_FORM_HWB) << -1 << 0u
                         << QByteArray("hwb(200 0% 0%)");
    QTest::newRow("lab of white") << QByteArray("white") << int(COLORS_FORM_LAB) << -1 << 0u
                                  << QByteArray("lab(100 0 0)");
    QTest::newRow("lch of black") << QByteArray("black") << int(COLORS_FORM_LCH) << -1 << 0u
                                  << QByteArray("lch(0 0 0)");
    QTest::newRow("oklab of white") << QByteArray("#fff") << int(COLORS_FORM_OKLAB) << -1 << 0u
                                    << QByteArray("oklab(1 0 0)");
    QTest::newRow("oklch of a grey has hue 0")
        << QByteArray("#777") << int(COLORS_FORM_OKLCH) << 3 << 0u << QByteArray("oklch(0.569 0 0)");
    QTest::newRow("oklch as written") << QByteArray("oklch(70% 0.1 200 / 25%)") << int(COLORS_FORM_OKLCH)
                                      << -1 << 0u << QByteArray("oklch(0.7 0.1 200 / 0.25)");
    QTest::newRow("oklch, lightness in percent")
        << QByteArray("oklch(70% 0.1 200 / 25%)") << int(COLORS_FORM_OKLCH) << -1
        << COLORS_WRITE_PERCENT_LIGHTNESS << QByteArray("oklch(70% 0.1 200 / 0.25)");
    QTest::newRow("lch, lightness in percent") << QByteArray("black") << int(COLORS_FORM_LCH) << -1
                                               << COLORS_WRITE_PERCENT_LIGHTNESS << QByteArray("lch(0% 0 0)");
    QTest::newRow("color() in its own space")
        << QByteArray("color(display-p3 1 0 0)") << int(COLORS_FORM_COLOR) << -1 << 0u
        << QByteArray("color(display-p3 1 0 0)");
    QTest::newRow("color() of lab is srgb")
        << QByteArray("lab(100 0 0)") << int(COLORS_FORM_COLOR) << 3 << 0u << QByteArray("color(srgb 1 1 1)");
    QTest::newRow("xyz is xyz-d65") << QByteArray("color(xyz 0.5 0.25 0)") << int(COLORS_FORM_COLOR) << -1
                                    << 0u << QByteArray("color(xyz-d65 0.5 0.25 0)");
    // Clipped it would be #00ff00; colorjs.io's CSS gamut mapping gives 0 251.37 40.73.
    QTest::newRow("outside sRGB in hex is mapped, not clipped")
        << QByteArray("color(display-p3 0 1 0)") << int(COLORS_FORM_HEX) << -1 << 0u << QByteArray("#00fb29");
    QTest::newRow("lighter than white is white") << QByteArray("oklch(1 0.3 100)") << int(COLORS_FORM_RGB)
                                                 << -1 << 0u << QByteArray("rgb(255 255 255)");
}

void TestColorValues::writing()
{
    QFETCH(QByteArray, text);
    QFETCH(int, form);
    QFETCH(int, precision);
    QFETCH(uint, options);
    QFETCH(QByteArray, expected);
    const ColorsText parsed = parse(text);
    QCOMPARE(parsed.color.kind, int(COLORS_KIND_VALUE));
    QCOMPARE(format(parsed.color, form, precision, options), expected);
}

void TestColorValues::writingIntoASmallBuffer()
{
    const ColorsText parsed = parse("oklch(0.7 0.1 200)");
    char buffer[8];
    std::memset(buffer, 'x', sizeof buffer);
    QCOMPARE(ColorsFormat(&parsed.color, COLORS_FORM_OKLCH, -1, 0, buffer, sizeof buffer), size_t(18));
    QCOMPARE(QByteArray(buffer), QByteArray("oklch(0"));
    QCOMPARE(ColorsFormat(&parsed.color, COLORS_FORM_OKLCH, -1, 0, nullptr, 0), size_t(18));
    QCOMPARE(ColorsFormat(&parsed.color, COLORS_FORM_NAME, -1, 0, buffer, sizeof buffer), size_t(0));
    ColorsValue unknown = parsed.color;
    unknown.space = COLORS_SPACE_COUNT;
    QCOMPARE(ColorsFormat(&unknown, COLORS_FORM_RGB, -1, 0, buffer, sizeof buffer), size_t(0));
    QCOMPARE(ColorsConvert(&unknown, COLORS_SRGB, nullptr), 0);
    QCOMPARE(ColorsConvert(&parsed.color, -1, nullptr), 0);
    QCOMPARE(ColorsParse(nullptr, 0, nullptr), 0);
}

// The named colours are the toolkit's (its table of the same names), case aside.
void TestColorValues::everyNamedColourIsTheToolkitsOne()
{
    const QStringList names = QColor::colorNames();
    QVERIFY(names.size() >= 147);
    for (const QString &name : names) {
        if (name == QLatin1String("transparent"))
            continue;
        const QColor c = QColor::fromString(name);
        const uint32_t want = uint32_t(c.red()) | uint32_t(c.green()) << 8 | uint32_t(c.blue()) << 16;
        const ColorsText parsed = parse(name.toUpper().toLatin1());
        QVERIFY2(parsed.form == COLORS_FORM_NAME, qPrintable(name));
        QCOMPARE(ColorsToBgr(&parsed.color), want);
    }
}

void TestColorValues::screenColours_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("inside");

    QTest::newRow("sRGB red") << QByteArray("#f00") << true;
    QTest::newRow("P3 red") << QByteArray("color(display-p3 1 0 0)") << false;
    QTest::newRow("P3 grey") << QByteArray("color(display-p3 0.5 0.5 0.5)") << true;
    QTest::newRow("rec2020 blue") << QByteArray("color(rec2020 0 0 1)") << false;
    QTest::newRow("oklch chroma far beyond") << QByteArray("oklch(0.7 0.4 30)") << false;
    QTest::newRow("red in rounded oklch is just outside") << QByteArray("oklch(0.628 0.2577 29.23)") << false;
    QTest::newRow("lab green rounded is inside") << QByteArray("lab(87.82 -79.27 80.99)") << true;
    QTest::newRow("prophoto green") << QByteArray("color(prophoto-rgb 0.1 0.9 0.1)") << false;
    QTest::newRow("huge chroma") << QByteArray("lab(50 1e6 -1e6)") << false;
    QTest::newRow("xyz white") << QByteArray("color(xyz 0.9504559 1 1.0890578)") << true;
}

// The outside-sRGB verdict, and a screen colour always within sRGB that is the colour
// itself where it lies inside.
void TestColorValues::screenColours()
{
    QFETCH(QByteArray, text);
    QFETCH(bool, inside);
    const ColorsText parsed = parse(text);
    QCOMPARE(ColorsInSrgb(&parsed.color), int(inside));
    ColorsValue screen;
    QVERIFY(ColorsToScreen(&parsed.color, &screen));
    QCOMPARE(screen.space, int(COLORS_SRGB));
    for (double c : screen.c)
        QVERIFY2(c >= 0 && c <= 1, qPrintable(show(screen)));
    if (inside)
        QVERIFY(close(screen, convert(parsed.color, COLORS_SRGB), 1e-4));
}

// Every beginning of long colour texts, and functions nested far deeper than any sheet
// nests them, read without harm; a cut text is no colour.
void TestColorValues::cutAndNestedTextsAreSafe()
{
    const QByteArray texts[] = {
        "color-mix(in oklch longer hue, oklch(from light-dark(#0af, #fa0) l c calc(h + 180)) 30%, "
        "color(display-p3 calc(0.5 * (1 + 0.2)) none 1 / 50%))",
        "rgb(from hsl(from #123 calc(h + 1) s l) calc((r + g) / 2) g b / calc(alpha * 0.5))"};
    for (const QByteArray &text : texts) {
        QVERIFY(parse(text).color.kind == COLORS_KIND_VALUE);
        for (qsizetype length = 0; length < text.size(); ++length) {
            ColorsText out;
            QCOMPARE(ColorsParse(text.constData(), size_t(length), &out), 0);
        }
    }
    QByteArray nested = "red";
    for (int i = 0; i < 500; ++i)
        nested = "color-mix(in srgb, " + nested + ", blue)";
    QCOMPARE(parse(nested).color.kind, int(COLORS_KIND_NONE));
    QByteArray parentheses = "1";
    for (int i = 0; i < 500; ++i)
        parentheses = "calc(" + parentheses + ")";
    QCOMPARE(parse("rgb(" + parentheses + " 0 0)").color.kind, int(COLORS_KIND_NONE));
    QCOMPARE(parse("rgb(calc(calc(calc(255))) 0 0)").color.kind, int(COLORS_KIND_VALUE));
}

LW_TEST_CLASS(TestColorValues)
#include "TestColorValues.moc"
