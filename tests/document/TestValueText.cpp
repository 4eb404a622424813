#include "TestRegistry.h"
#include "ValueText.h"

#include <QTest>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

DocumentForm formOf(bool standard)
{
    return standard ? DocumentForm::Standard : DocumentForm::Editor;
}

const QString Sheet = QStringLiteral("/home/user/site/style.css");

// The sRGB colour (0..255 each) the colour library reads in a text; -1s for no colour.
std::array<int, 3> srgbOf(const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    ColorsText read{};
    ColorsValue srgb{};
    if (!ColorsParse(bytes.constData(), size_t(bytes.size()), &read) ||
        !ColorsConvert(&read.color, COLORS_SRGB, &srgb))
        return {-1, -1, -1};
    return {int(std::lround(srgb.c[0] * 255)), int(std::lround(srgb.c[1] * 255)),
            int(std::lround(srgb.c[2] * 255))};
}

ColorsValue colourOf(const char *text)
{
    ColorsText read{};
    ColorsParse(text, strlen(text), &read);
    return read.color;
}

} // namespace

class TestValueText : public QObject
{
    Q_OBJECT

private slots:
    void firstNumber_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("found");
        QTest::addColumn<double>("number");
        QTest::addColumn<int>("decimals");
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("length");
        QTest::addColumn<QString>("unit");
        QTest::newRow("whole number") << "12" << true << 12.0 << 0 << 0 << 2 << "";
        QTest::newRow("dimension") << "2em" << true << 2.0 << 0 << 0 << 1 << "em";
        QTest::newRow("percentage") << "50%" << true << 50.0 << 0 << 0 << 2 << "%";
        QTest::newRow("negative decimal") << "-1.5px" << true << -1.5 << 1 << 0 << 4 << "px";
        QTest::newRow("bare decimal") << "1.15" << true << 1.15 << 2 << 0 << 4 << "";
        QTest::newRow("leading point") << ".5em" << true << 0.5 << 1 << 0 << 2 << "em";
        QTest::newRow("exponent") << "1e3" << true << 1000.0 << 0 << 0 << 3 << "";
        QTest::newRow("first of several") << "1px 2px" << true << 1.0 << 0 << 0 << 1 << "px";
        QTest::newRow("after a word") << "solid 3px red" << true << 3.0 << 0 << 6 << 1 << "px";
        QTest::newRow("inside calc") << "calc(1px + 2px)" << true << 1.0 << 0 << 5 << 1 << "px";
        QTest::newRow("inside rgb") << "rgb(1 2 3)" << true << 1.0 << 0 << 4 << 1 << "";
        QTest::newRow("hex colour is no number") << "#fff" << false << 0.0 << 0 << 0 << 0 << "";
        QTest::newRow("digit hex colour is no number") << "#123" << false << 0.0 << 0 << 0 << 0 << "";
        QTest::newRow("number after a hex colour") << "#123 4px" << true << 4.0 << 0 << 5 << 1 << "px";
        QTest::newRow("not inside url") << "url(a1.png) 5px" << true << 5.0 << 0 << 12 << 1 << "px";
        QTest::newRow("not inside quoted url")
            << "url(\"a1.png\") 5px" << true << 5.0 << 0 << 14 << 1 << "px";
        QTest::newRow("not inside a string") << "\"a1\" 2" << true << 2.0 << 0 << 5 << 1 << "";
        QTest::newRow("quoted number") << "\"7\"" << true << 7.0 << 0 << 1 << 1 << "";
        QTest::newRow("identifier with digit") << "h1" << false << 0.0 << 0 << 0 << 0 << "";
        QTest::newRow("keyword") << "auto" << false << 0.0 << 0 << 0 << 0 << "";
        QTest::newRow("empty") << "" << false << 0.0 << 0 << 0 << 0 << "";
    }
    void firstNumber()
    {
        QFETCH(QString, value);
        QFETCH(bool, found);
        QFETCH(double, number);
        QFETCH(int, decimals);
        QFETCH(int, start);
        QFETCH(int, length);
        QFETCH(QString, unit);
        const ValueText::NumberPart part = ValueText::firstNumber(value);
        QCOMPARE(part.found, found);
        if (!found)
            return;
        QCOMPARE(part.value, number);
        QCOMPARE(part.decimals, decimals);
        QCOMPARE(part.start, qsizetype(start));
        QCOMPARE(part.length, qsizetype(length));
        QCOMPARE(part.unit, unit);
    }

    void numberText_data()
    {
        QTest::addColumn<double>("number");
        QTest::addColumn<int>("minDecimals");
        QTest::addColumn<QString>("expected");
        QTest::newRow("no float noise") << 0.1 + 0.2 << 0 << "0.3";
        QTest::newRow("whole") << 13.0 << 0 << "13";
        QTest::newRow("negative whole") << -2.0 << 0 << "-2";
        QTest::newRow("at most four decimals") << 1.0 / 3 << 0 << "0.3333";
        QTest::newRow("decimals as written kept") << 2.5 << 2 << "2.50";
        QTest::newRow("more decimals than four when written") << 0.123456 << 6 << "0.123456";
        QTest::newRow("minus zero") << -0.0 << 0 << "0";
        QTest::newRow("tiny negative rounds to zero") << -0.00001 << 0 << "0";
        QTest::newRow("tiny negative with decimals") << -0.00001 << 1 << "0.0";
        QTest::newRow("large") << 1e6 << 0 << "1000000";
    }
    void numberText()
    {
        QFETCH(double, number);
        QFETCH(int, minDecimals);
        QFETCH(QString, expected);
        QCOMPARE(ValueText::numberText(number, minDecimals), expected);
    }

    void stepped_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<double>("delta");
        QTest::addColumn<QString>("expected");
        QTest::newRow("whole number as before") << "12" << 1.0 << "13";
        QTest::newRow("down below zero") << "0" << -1.0 << "-1";
        QTest::newRow("unit and rest kept") << "0.67em 0" << 1.0 << "1.67em 0";
        QTest::newRow("shift step on percentage") << "50%" << 10.0 << "60%";
        QTest::newRow("negative with unit") << "-1.5px" << 1.0 << "-0.5px";
        QTest::newRow("alt step without noise") << "0.2" << 0.1 << "0.3";
        QTest::newRow("alt step on a whole number") << "12" << 0.1 << "12.1";
        QTest::newRow("trailing zeros dropped") << "1.50em" << 1.0 << "2.5em";
        QTest::newRow("precision beyond four kept") << "0.123456" << 1.0 << "1.123456";
        QTest::newRow("leading point") << ".5em" << 1.0 << "1.5em";
        QTest::newRow("exponent written plainly") << "1e3" << 1.0 << "1001";
        QTest::newRow("first number in calc") << "calc(1px + 2px)" << 1.0 << "calc(2px + 2px)";
        QTest::newRow("multi-value") << "1px 2px" << 10.0 << "11px 2px";
        QTest::newRow("to minus zero") << "-0.5px" << 0.5 << "0px";
        QTest::newRow("plus sign kept") << "+5" << 1.0 << "+6";
        QTest::newRow("quoted number loses quotes") << "\"7\"" << 1.0 << "8";
        QTest::newRow("quoted dimension loses quotes") << "\"12px\"" << 1.0 << "13px";
        QTest::newRow("important kept") << "12px !important" << 1.0 << "13px !important";
        QTest::newRow("number in url untouched") << "url(a1.png) 5px" << 1.0 << "url(a1.png) 6px";
        QTest::newRow("no number: unchanged") << "auto" << 1.0 << "auto";
        QTest::newRow("hex colour: unchanged") << "#123" << 1.0 << "#123";
    }
    void stepped()
    {
        QFETCH(QString, value);
        QFETCH(double, delta);
        QFETCH(QString, expected);
        QCOMPARE(ValueText::stepped(value, delta), expected);
    }

    void withNumber_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<double>("number");
        QTest::addColumn<QString>("expected");
        QTest::newRow("typed number keeps unit") << "2em" << 3.25 << "3.25em";
        QTest::newRow("typed number keeps rest") << "0.67em 0" << 2.0 << "2em 0";
        QTest::newRow("no number: the number alone") << "auto" << 5.0 << "5";
        QTest::newRow("empty value") << "" << 12.0 << "12";
        QTest::newRow("minus zero") << "1px" << -0.0 << "0px";
        QTest::newRow("not finite changes nothing")
            << "2em" << std::numeric_limits<double>::infinity() << "2em";
        QTest::newRow("not a number changes nothing")
            << "2em" << std::numeric_limits<double>::quiet_NaN() << "2em";
    }
    void withNumber()
    {
        QFETCH(QString, value);
        QFETCH(double, number);
        QFETCH(QString, expected);
        QCOMPARE(ValueText::withNumber(value, number), expected);
    }

    void numberPreset_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("expected");
        QTest::newRow("whole") << "12"
                               << "12";
        QTest::newRow("unit left out") << "0.67em 0"
                                       << "0.67";
        QTest::newRow("trailing zero dropped") << "1.50"
                                               << "1.5";
        QTest::newRow("leading point") << ".5em"
                                       << "0.5";
        QTest::newRow("exponent") << "1e3"
                                  << "1000";
        QTest::newRow("quoted") << "\"7\""
                                << "7";
        QTest::newRow("no number") << "auto"
                                   << "";
        QTest::newRow("hex colour") << "#fff"
                                    << "";
    }
    void numberPreset()
    {
        QFETCH(QString, value);
        QFETCH(QString, expected);
        QCOMPARE(ValueText::numberPreset(value), expected);
    }

    void choice_data()
    {
        QTest::addColumn<QString>("oldValue");
        QTest::addColumn<QString>("word");
        QTest::addColumn<bool>("standard");
        QTest::addColumn<QString>("expected");
        QTest::newRow("editor form quotes") << "normal"
                                            << "bold" << false << "\"bold\"";
        QTest::newRow("standard form bare") << "\"normal\""
                                            << "bold" << true << "bold";
        QTest::newRow("standard keeps important") << "normal !important"
                                                  << "bold" << true << "bold !important";
        QTest::newRow("standard empty word") << "normal"
                                             << "" << true << "";
        QTest::newRow("editor empty word") << "normal"
                                           << "" << false << "\"\"";
    }
    void choice()
    {
        QFETCH(QString, oldValue);
        QFETCH(QString, word);
        QFETCH(bool, standard);
        QFETCH(QString, expected);
        QCOMPARE(ValueText::choiceValue(oldValue, word, formOf(standard)), expected);
    }

    void presets_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("standard");
        QTest::addColumn<QString>("expected");
        QTest::newRow("choice quoted") << "choice"
                                       << "\"bold\"" << false << "bold";
        QTest::newRow("choice without important") << "choice"
                                                  << "none !important" << true << "none";
        QTest::newRow("font first family") << "font"
                                           << "\"DejaVu Sans\", Arial" << true << "DejaVu Sans";
        QTest::newRow("font editor form whole text") << "font"
                                                     << "\"Times New Roman\"" << false << "Times New Roman";
        QTest::newRow("colour without important") << "colour"
                                                  << "red !important" << true << "red";
        QTest::newRow("colour quoted") << "colour"
                                       << "\"red\"" << false << "red";
        QTest::newRow("file in url") << "file"
                                     << "url(img/a.png)" << true << "img/a.png";
        QTest::newRow("file in url, editor form") << "file"
                                                  << "url(img/a.png)" << false << "img/a.png";
        QTest::newRow("file in quoted url") << "file"
                                            << "url( \"my a.png\" )" << true << "my a.png";
        QTest::newRow("file in url with escape") << "file"
                                                 << "url(a\\).png)" << true << "a).png";
        QTest::newRow("file url with rest") << "file"
                                            << "url('a.cur'), pointer" << true << "a.cur";
        QTest::newRow("file quoted") << "file"
                                     << "\"/tmp/a.png\"" << false << "/tmp/a.png";
        QTest::newRow("file none") << "file"
                                   << "none" << true << "none";
    }
    void presets()
    {
        QFETCH(QString, kind);
        QFETCH(QString, value);
        QFETCH(bool, standard);
        QFETCH(QString, expected);
        const DocumentForm form = formOf(standard);
        QString shown;
        if (kind == QLatin1String("choice"))
            shown = ValueText::choicePreset(value, form);
        else if (kind == QLatin1String("font"))
            shown = ValueText::fontPreset(value, form);
        else if (kind == QLatin1String("colour"))
            shown = ValueText::colourPreset(value, form);
        else
            shown = ValueText::filePreset(value);
        QCOMPARE(shown, expected);
    }

    void familyText_data()
    {
        QTest::addColumn<QString>("family");
        QTest::addColumn<QString>("expected");
        QTest::newRow("plain identifier") << "Arial"
                                          << "Arial";
        QTest::newRow("identifier with digit and hyphen") << "Font2-Bold"
                                                          << "Font2-Bold";
        QTest::newRow("space quoted") << "DejaVu Sans"
                                      << "\"DejaVu Sans\"";
        QTest::newRow("generic lower-cased") << "Sans-Serif"
                                             << "sans-serif";
        QTest::newRow("generic system-ui") << "system-ui"
                                           << "system-ui";
        QTest::newRow("leading digit quoted") << "2Font"
                                              << "\"2Font\"";
        QTest::newRow("non-ASCII quoted") << QStringLiteral("F\u00fcnf") << QStringLiteral("\"F\u00fcnf\"");
        QTest::newRow("reserved keyword quoted") << "default"
                                                 << "\"default\"";
        QTest::newRow("quote and backslash escaped") << "My \"F\\ont\""
                                                     << "\"My \\\"F\\\\ont\\\"\"";
        QTest::newRow("empty") << ""
                               << "\"\"";
    }
    void familyText()
    {
        QFETCH(QString, family);
        QFETCH(QString, expected);
        QCOMPARE(ValueText::familyText(family), expected);
        // What is written reads back as the same family.
        if (!family.isEmpty() && family.toLower() != expected)
            QCOMPARE(ValueText::firstFamily(expected), family);
    }

    void firstFamily_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("expected");
        QTest::newRow("quoted first") << "\"DejaVu Sans\", Arial, sans-serif"
                                      << "DejaVu Sans";
        QTest::newRow("identifiers joined by one space") << "Times  New Roman, serif"
                                                         << "Times New Roman";
        QTest::newRow("single") << "Arial"
                                << "Arial";
        QTest::newRow("single-quoted with escape") << "'Font \\'x', serif"
                                                   << "Font 'x";
        QTest::newRow("escaped space") << "Font\\ Name, serif"
                                       << "Font Name";
        QTest::newRow("important left out") << "Arial !important"
                                            << "Arial";
        QTest::newRow("function shown as written") << "var(--f, a), serif"
                                                   << "var(--f, a)";
        QTest::newRow("empty") << ""
                               << "";
    }
    void firstFamily()
    {
        QFETCH(QString, value);
        QFETCH(QString, expected);
        QCOMPARE(ValueText::firstFamily(value), expected);
    }

    void fontValue_data()
    {
        QTest::addColumn<QString>("oldValue");
        QTest::addColumn<QString>("family");
        QTest::addColumn<bool>("standard");
        QTest::addColumn<QString>("expected");
        QTest::newRow("first replaced, rest kept")
            << "Arial, Helvetica, sans-serif"
            << "DejaVu Sans" << true << "\"DejaVu Sans\", Helvetica, sans-serif";
        QTest::newRow("quoted first replaced") << "\"Times New Roman\", Times, serif"
                                               << "Arial" << true << "Arial, Times, serif";
        QTest::newRow("several identifiers replaced") << "Times New Roman, serif"
                                                      << "Georgia" << true << "Georgia, serif";
        QTest::newRow("generic picked") << "Arial"
                                        << "Monospace" << true << "monospace";
        QTest::newRow("empty old value") << ""
                                         << "DejaVu Sans" << true << "\"DejaVu Sans\"";
        QTest::newRow("emptied editor keeps the rest") << "Arial, serif"
                                                       << "" << true << "\"\", serif";
        QTest::newRow("important kept") << "Arial !important"
                                        << "Georgia" << true << "Georgia !important";
        QTest::newRow("keyword typed is the whole value") << "Arial, serif"
                                                          << "inherit" << true << "inherit";
        QTest::newRow("keyword replaced whole") << "inherit"
                                                << "Arial" << true << "Arial";
        QTest::newRow("a generic stays behind the family picked")
            << "monospace"
            << "DejaVu Sans" << true << "\"DejaVu Sans\", monospace";
        QTest::newRow("a named first family is replaced, its generic kept")
            << "Arial, sans-serif"
            << "DejaVu Sans" << true << "\"DejaVu Sans\", sans-serif";
        QTest::newRow("a generic first before other families")
            << "system-ui, Arial, sans-serif"
            << "Inter" << true << "Inter, system-ui, Arial, sans-serif";
        QTest::newRow("a generic picked replaces a generic") << "serif"
                                                             << "monospace" << true << "monospace";
        QTest::newRow("a generic behind a family picked, important kept")
            << "monospace !important"
            << "DejaVu Sans Mono" << true << "\"DejaVu Sans Mono\", monospace !important";
        QTest::newRow("emptied editor keeps a generic") << "monospace"
                                                        << "" << true << "\"\", monospace";
        QTest::newRow("a quoted generic name is a family") << "\"monospace\", serif"
                                                           << "Arial" << true << "Arial, serif";
        QTest::newRow("editor form quotes the whole text") << "Arial, serif"
                                                           << "DejaVu Sans" << false << "\"DejaVu Sans\"";
        QTest::newRow("editor form quotes a generic") << "Arial"
                                                      << "Serif" << false << "\"Serif\"";
    }
    void fontValue()
    {
        QFETCH(QString, oldValue);
        QFETCH(QString, family);
        QFETCH(bool, standard);
        QFETCH(QString, expected);
        QCOMPARE(ValueText::fontValue(oldValue, family, formOf(standard)), expected);
    }

    // Each typed character is written at once; clearing the box and typing a new name
    // must end with the new first family and the old rest.
    void typingAFamily()
    {
        QString value = QStringLiteral("Arial, sans-serif");
        const QStringList typed = {QString(), QStringLiteral("D"), QStringLiteral("De"),
                                   QStringLiteral("DejaVu "), QStringLiteral("DejaVu Sans")};
        for (const QString &text : typed)
            value = ValueText::fontValue(value, text, DocumentForm::Standard);
        QCOMPARE(value, QStringLiteral("\"DejaVu Sans\", sans-serif"));
    }

    // Typing a family over a generic one: the generic stays the fallback throughout.
    void typingAFamilyBeforeAGeneric()
    {
        QString value = QStringLiteral("monospace");
        const QStringList typed = {QStringLiteral("D"), QString(), QStringLiteral("Fira"),
                                   QStringLiteral("Fira Code")};
        for (const QString &text : typed)
            value = ValueText::fontValue(value, text, DocumentForm::Standard);
        QCOMPARE(value, QStringLiteral("\"Fira Code\", monospace"));
    }

    void valueKind_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("standard");
        QTest::addColumn<int>("kind");
        // Colours in every form the colour library reads.
        const char *colours[] = {"#202b38",
                                 "#abc",
                                 "#ABCD",
                                 "#11223344",
                                 "rebeccapurple",
                                 "transparent",
                                 "currentcolor",
                                 "Canvas",
                                 "rgb(10 20 30)",
                                 "rgba(0, 0, 0, .5)",
                                 "hsl(210 20% 30% / 50%)",
                                 "hwb(120 10% 20%)",
                                 "lab(50% 40 -20)",
                                 "lch(50% 40 200)",
                                 "oklab(0.6 0.1 -0.1)",
                                 "oklch(70% 0.1 200)",
                                 "color(display-p3 1 0 0)",
                                 "color(srgb-linear 0.2 0.3 0.4 / 0.5)",
                                 "color-mix(in oklch, red 40%, blue)",
                                 "light-dark(#fff, #000)",
                                 "rgb(from #202b38 r g b / 50%)",
                                 "#202b38 !important"};
        for (const char *colour : colours)
            QTest::newRow(colour) << colour << true << int(KindColor);
        QTest::newRow("a border") << "1px solid #ccc" << true << int(KindColor);
        QTest::newRow("a shadow") << "0 1px 2px rgb(0 0 0 / 20%)" << true << int(KindColor);
        QTest::newRow("a gradient") << "linear-gradient(to right, red, #00f 50%)" << true << int(KindColor);
        QTest::newRow("a colour word inside a name is none") << "red.png" << true << int(KindNone);
        QTest::newRow("an id is no colour") << "#header" << true << int(KindNone);
        QTest::newRow("length") << "1.5rem" << true << int(KindNumber);
        QTest::newRow("number") << "2" << true << int(KindNumber);
        QTest::newRow("negative") << "-0.25em" << true << int(KindNumber);
        QTest::newRow("percentage") << "50%" << true << int(KindNumber);
        QTest::newRow("two lengths") << "0 auto" << true << int(KindNumber);
        QTest::newRow("calc") << "calc(100% - 2rem)" << true << int(KindNumber);
        QTest::newRow("ratio") << "16 / 9" << true << int(KindNumber);
        QTest::newRow("duration") << "200ms" << true << int(KindNumber);
        QTest::newRow("url") << "url(a.png)" << true << int(KindUrl);
        QTest::newRow("quoted url with more") << "url(\"a b.png\") no-repeat" << true << int(KindUrl);
        QTest::newRow("font list") << "system-ui, -apple-system, \"Segoe UI\", sans-serif" << true
                                   << int(KindFont);
        QTest::newRow("family list without a generic") << "Arial, Helvetica" << true << int(KindNone);
        QTest::newRow("keyword") << "bold" << true << int(KindNone);
        QTest::newRow("var()") << "var(--x)" << true << int(KindNone);
        QTest::newRow("var() with a colour fallback") << "var(--x, red)" << true << int(KindNone);
        QTest::newRow("a string of digits") << "\"3\"" << true << int(KindNone);
        QTest::newRow("empty") << "" << true << int(KindNone);
        QTest::newRow("editor form: one colour") << "#202b38" << false << int(KindColor);
        QTest::newRow("editor form: quoted colour") << "\"#202b38\"" << false << int(KindColor);
        QTest::newRow("editor form: quoted length") << "\"12px\"" << false << int(KindNumber);
        QTest::newRow("editor form: url") << "url(a.png)" << false << int(KindUrl);
        // The editor's form writes a colour or a font as the whole value.
        QTest::newRow("editor form: a border is none") << "1px solid #ccc" << false << int(KindNone);
        QTest::newRow("editor form: a font list is none") << "Arial, sans-serif" << false << int(KindNone);
        QTest::newRow("editor form: words with a number are none")
            << "\"Chapter 3\"" << false << int(KindNone);
    }
    void valueKind()
    {
        QFETCH(QString, value);
        QFETCH(bool, standard);
        QFETCH(int, kind);
        QCOMPARE(int(ValueText::valueKind(value, formOf(standard))), kind);
    }

    void editorKind_data()
    {
        QTest::addColumn<int>("property");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QStringList>("choices");
        QTest::addColumn<int>("kind");
        const QStringList none;
        const QStringList weights = {"normal", "bold", "700"};
        QTest::newRow("custom colour") << int(KindNone) << "#202b38" << none << int(KindColor);
        QTest::newRow("custom length") << int(KindNone) << "1.5rem" << none << int(KindNumber);
        QTest::newRow("custom keyword") << int(KindNone) << "bold" << none << int(KindNone);
        QTest::newRow("colour property, inherit") << int(KindColor) << "inherit" << none << int(KindColor);
        QTest::newRow("colour property, var()") << int(KindColor) << "var(--c)" << none << int(KindColor);
        QTest::newRow("number property, auto") << int(KindNumber) << "auto" << none << int(KindNumber);
        QTest::newRow("number property, a colour") << int(KindNumber) << "red" << none << int(KindColor);
        QTest::newRow("number property, a border")
            << int(KindNumber) << "1px solid red" << none << int(KindNumber);
        QTest::newRow("url property, a gradient")
            << int(KindUrl) << "linear-gradient(red, blue)" << none << int(KindColor);
        QTest::newRow("url property, none") << int(KindUrl) << "none" << none << int(KindUrl);
        QTest::newRow("url property, url()") << int(KindUrl) << "url(a.png)" << none << int(KindUrl);
        QTest::newRow("font property, a list")
            << int(KindFont) << "\"Inter\", sans-serif" << none << int(KindFont);
        QTest::newRow("font property, var()") << int(KindFont) << "var(--font)" << none << int(KindFont);
        QTest::newRow("choice among the words") << int(KindChoice) << "700" << weights << int(KindChoice);
        QTest::newRow("choice, case aside") << int(KindChoice) << "BOLD" << weights << int(KindChoice);
        QTest::newRow("choice, a number not among them")
            << int(KindChoice) << "650" << weights << int(KindNumber);
        QTest::newRow("choice, a word not among them")
            << int(KindChoice) << "bolder" << weights << int(KindChoice);
    }
    void editorKind()
    {
        QFETCH(int, property);
        QFETCH(QString, value);
        QFETCH(QStringList, choices);
        QFETCH(int, kind);
        QCOMPARE(int(ValueText::editorKind(ValueKind(property), value, DocumentForm::Standard, choices)),
                 kind);
    }

    void relativePath_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("sheet");
        QTest::addColumn<QString>("expected");
        QTest::newRow("below the folder") << "/home/user/site/img/a.png" << Sheet << "img/a.png";
        QTest::newRow("in the folder") << "/home/user/site/a.png" << Sheet << "a.png";
        QTest::newRow("outside") << "/home/user/other/a.png" << Sheet << "/home/user/other/a.png";
        QTest::newRow("folder with the same beginning")
            << "/home/user/site2/a.png" << Sheet << "/home/user/site2/a.png";
        QTest::newRow("unsaved sheet") << "/home/user/site/a.png"
                                       << "Not Saved"
                                       << "/home/user/site/a.png";
        QTest::newRow("relative path as typed") << "img/a.png" << Sheet << "img/a.png";
    }
    void relativePath()
    {
        QFETCH(QString, path);
        QFETCH(QString, sheet);
        QFETCH(QString, expected);
        QCOMPARE(ValueText::relativePath(path, sheet), expected);
    }

    void fileValue_data()
    {
        QTest::addColumn<QString>("oldValue");
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("standard");
        QTest::addColumn<QString>("expected");
        QTest::newRow("standard: url, relative")
            << ""
            << "/home/user/site/img/a.png" << true << "url(\"img/a.png\")";
        QTest::newRow("standard: outside stays absolute") << "none"
                                                          << "/tmp/a.png" << true << "url(\"/tmp/a.png\")";
        QTest::newRow("standard: url with rest kept")
            << "url(old.cur), pointer"
            << "/home/user/site/a.cur" << true << "url(\"a.cur\"), pointer";
        QTest::newRow("standard: quotes escaped")
            << ""
            << "/tmp/my \"x\".png" << true << "url(\"/tmp/my \\\"x\\\".png\")";
        QTest::newRow("standard: important kept")
            << "none !important"
            << "/home/user/site/a.png" << true << "url(\"a.png\") !important";
        QTest::newRow("standard: none bare") << "url(a.png)"
                                             << "none" << true << "none";
        QTest::newRow("editor: whole path quoted")
            << "\"old.png\""
            << "/home/user/site/img/a.png" << false << "\"/home/user/site/img/a.png\"";
        QTest::newRow("editor: url form kept") << "url(old.png)"
                                               << "/tmp/a.png" << false << "url(\"/tmp/a.png\")";
        QTest::newRow("editor: quoted url form kept")
            << "url('old.png') no-repeat"
            << "/tmp/a.png" << false << "url(\"/tmp/a.png\") no-repeat";
        QTest::newRow("editor: none bare") << "\"a.png\""
                                           << "none" << false << "none";
    }
    void fileValue()
    {
        QFETCH(QString, oldValue);
        QFETCH(QString, path);
        QFETCH(bool, standard);
        QFETCH(QString, expected);
        const QString written = ValueText::fileValue(oldValue, path, Sheet, formOf(standard));
        QCOMPARE(written, expected);
        // The file editor, preset from what was written, shows the path again.
        if (expected.startsWith(QLatin1String("url(")))
            QCOMPARE(ValueText::filePreset(written), standard ? ValueText::relativePath(path, Sheet) : path);
    }

    void colourAlpha_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("alpha");
        QTest::newRow("rgba with commas") << "rgba(0,0,0,.5)"
                                          << ".5";
        QTest::newRow("rgba opaque") << "rgba(0, 0, 0, 1)"
                                     << "";
        QTest::newRow("rgb with slash percentage") << "rgb(1 2 3 / 50%)"
                                                   << "50%";
        QTest::newRow("rgb without alpha") << "rgb(1 2 3)"
                                           << "";
        QTest::newRow("hsl with slash") << "hsl(0 0% 0% / 0.25)"
                                        << "0.25";
        QTest::newRow("eight-digit hex") << "#11223380"
                                         << "0.502";
        QTest::newRow("four-digit hex") << "#1238"
                                        << "0.533";
        QTest::newRow("six-digit hex") << "#112233"
                                       << "";
        QTest::newRow("name") << "red"
                              << "";
        QTest::newRow("with important") << "rgba(0,0,0,0.2) !important"
                                        << "0.2";
    }
    void colourAlpha()
    {
        QFETCH(QString, value);
        QFETCH(QString, alpha);
        QCOMPARE(ValueText::colourAlpha(value), alpha);
    }

    void colourValue_data()
    {
        QTest::addColumn<QString>("oldValue");
        QTest::addColumn<QString>("hex");
        QTest::addColumn<bool>("standard");
        QTest::addColumn<QString>("expected");
        QTest::newRow("standard: hex") << "red"
                                       << "#FF0000" << true << "#FF0000";
        QTest::newRow("standard: alpha kept") << "rgba(0,0,0,.5)"
                                              << "#102030" << true << "rgb(16 32 48 / .5)";
        QTest::newRow("standard: hex alpha kept") << "#11223380"
                                                  << "#FFFFFF" << true << "rgb(255 255 255 / 0.502)";
        QTest::newRow("standard: no alpha in rgb") << "rgb(1 2 3)"
                                                   << "#0A0B0C" << true << "#0A0B0C";
        QTest::newRow("standard: important kept") << "red !important"
                                                  << "#00FF00" << true << "#00FF00 !important";
        QTest::newRow("editor: hex as always") << "rgba(0,0,0,.5)"
                                               << "#102030" << false << "#102030";
    }
    void colourValue()
    {
        QFETCH(QString, oldValue);
        QFETCH(QString, hex);
        QFETCH(bool, standard);
        QFETCH(QString, expected);
        QCOMPARE(ValueText::colourValue(hex, oldValue, formOf(standard)), expected);
    }

    // The colour found in a value, and the one the colour button edits (inside
    // light-dark() and color-mix()).
    void firstColour_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("whole");
        QTest::addColumn<QString>("plain");
        QTest::newRow("border") << "1px solid red"
                                << "red"
                                << "red";
        QTest::newRow("shadow list: the first") << "0 0 1px rgb(0 0 0 / .2), 0 0 2px red"
                                                << "rgb(0 0 0 / .2)"
                                                << "rgb(0 0 0 / .2)";
        QTest::newRow("gradient") << "linear-gradient(to right, oklch(0.5 0.1 20) 10%, #fff)"
                                  << "oklch(0.5 0.1 20)"
                                  << "oklch(0.5 0.1 20)";
        QTest::newRow("light-dark") << "light-dark(#fff, oklch(0.2 0 0))"
                                    << "light-dark(#fff, oklch(0.2 0 0))"
                                    << "#fff";
        QTest::newRow("color-mix") << "color-mix(in oklch, red 40%, blue)"
                                   << "color-mix(in oklch, red 40%, blue)"
                                   << "red";
        QTest::newRow("relative colour whole") << "oklch(from #0af l c calc(h + 30)) !important"
                                               << "oklch(from #0af l c calc(h + 30))"
                                               << "oklch(from #0af l c calc(h + 30))";
        QTest::newRow("var() fallback not searched") << "var(--a, red) blue"
                                                     << "blue"
                                                     << "blue";
        QTest::newRow("strings and urls not searched") << "\"red\" url(#fff) url(\"#000\") teal"
                                                       << "teal"
                                                       << "teal";
        QTest::newRow("function of var() is no colour") << "rgb(var(--r) 0 0) green"
                                                        << "green"
                                                        << "green";
        QTest::newRow("currentcolor") << "2px currentColor"
                                      << "currentColor"
                                      << "currentColor";
        QTest::newRow("not colours") << "#12345 oklch(1 2) rgb(1 2 3 4) color(foo 1 2 3) solid"
                                     << ""
                                     << "";
        QTest::newRow("inherit") << "inherit"
                                 << ""
                                 << "";
        QTest::newRow("var()") << "var(--c)"
                               << ""
                               << "";
    }
    void firstColour()
    {
        QFETCH(QString, value);
        QFETCH(QString, whole);
        QFETCH(QString, plain);
        for (const auto &[search, expected] : {std::pair{ValueText::ColourSearch::Whole, whole},
                                               std::pair{ValueText::ColourSearch::Plain, plain}}) {
            const ValueText::ColourPart part = ValueText::firstColour(value, search);
            QCOMPARE(part.found, !expected.isEmpty());
            if (part.found)
                QCOMPARE(value.sliced(part.start, part.length), expected);
        }
    }

    // A pick on the colour button writes the colour in the form the value gives it.
    void colourPicked_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<int>("r");
        QTest::addColumn<int>("g");
        QTest::addColumn<int>("b");
        QTest::addColumn<bool>("upperHex");
        QTest::addColumn<QString>("expected");
        QTest::newRow("oklch, lightness in percent")
            << "oklch(70% 0.1 200)" << 255 << 0 << 0 << true << "oklch(62.796% 0.25768 29.234)";
        QTest::newRow("oklch, lightness a number")
            << "oklch(0.7 0.1 200)" << 255 << 0 << 0 << true << "oklch(0.62796 0.25768 29.234)";
        QTest::newRow("lab, lightness in percent")
            << "lab(50% 0 0)" << 255 << 0 << 0 << true << "lab(54.291% 80.805 69.891)";
        QTest::newRow("short hex with alpha, short") << "#0af8" << 0x11 << 0x22 << 0x33 << true << "#1238";
        QTest::newRow("short hex with alpha, long") << "#0af8" << 0xab << 0x34 << 0x56 << true << "#ab345688";
        QTest::newRow("hsl with alpha")
            << "hsl(200 50% 50% / .5)" << 255 << 0 << 0 << true << "hsl(0 100% 50% / 0.5)";
        QTest::newRow("border in display-p3") << "1px solid color(display-p3 1 0 0)" << 0 << 128 << 0 << true
                                              << "1px solid color(display-p3 0.216037 0.494182 0.131513)";
        QTest::newRow("rgba with commas")
            << "rgba(0,0,0,.5)" << 16 << 32 << 48 << true << "rgba(16, 32, 48, 0.5)";
        QTest::newRow("lab, important kept")
            << "lab(50 0 0) !important" << 255 << 0 << 0 << false << "lab(54.291 80.805 69.891) !important";
        QTest::newRow("hex keeps its upper case") << "#AABBCC" << 0xab << 0xcd << 0xef << false << "#ABCDEF";
        QTest::newRow("hex keeps its lower case") << "#aabbcc" << 0xab << 0xcd << 0xef << true << "#abcdef";
        QTest::newRow("hex of digits takes the file's case")
            << "#123456" << 0xab << 0xcd << 0xef << false << "#abcdef";
        QTest::newRow("six digits stay six") << "#123456" << 0x11 << 0x22 << 0x33 << true << "#112233";
        QTest::newRow("name becomes hex")
            << "red !important" << 0 << 255 << 0 << true << "#00FF00 !important";
        QTest::newRow("transparent becomes opaque hex")
            << "transparent" << 0 << 255 << 0 << false << "#00ff00";
        QTest::newRow("currentcolor in a shadow")
            << "0 0 2px currentcolor" << 255 << 0 << 0 << false << "0 0 2px #ff0000";
        QTest::newRow("gradient: first stop only")
            << "linear-gradient(oklch(0.5 0.1 20), #fff)" << 255 << 0 << 0 << true
            << "linear-gradient(oklch(0.62796 0.25768 29.234), #fff)";
        QTest::newRow("light-dark: light side")
            << "light-dark(#fff, #000)" << 0x11 << 0x22 << 0x33 << true << "light-dark(#123, #000)";
        QTest::newRow("relative colour becomes plain") << "oklch(from #0af l c calc(h + 30))" << 255 << 0 << 0
                                                       << true << "oklch(0.62796 0.25768 29.234)";
        QTest::newRow("inherit becomes the colour") << "inherit" << 255 << 0 << 0 << true << "#FF0000";
        QTest::newRow("var() becomes the colour")
            << "var(--c) !important" << 255 << 0 << 0 << true << "#FF0000 !important";
    }
    void colourPicked()
    {
        QFETCH(QString, value);
        QFETCH(int, r);
        QFETCH(int, g);
        QFETCH(int, b);
        QFETCH(bool, upperHex);
        QFETCH(QString, expected);
        const QString written = ValueText::colourPicked(value, r, g, b, upperHex);
        QCOMPARE(written, expected);
        // The colour written reads back as the colour picked.
        const ValueText::ColourPart part = ValueText::firstColour(written, ValueText::ColourSearch::Plain);
        QVERIFY(part.found);
        const std::array<int, 3> back = srgbOf(written.sliced(part.start, part.length));
        for (int i = 0; i < 3; ++i)
            QVERIFY2(std::abs(back[size_t(i)] - std::array{r, g, b}[size_t(i)]) <= 1, qPrintable(written));
    }

    // The menu's forms: the colour and its alpha kept, the rest of the value as written.
    void colourInForm_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<int>("form");
        QTest::addColumn<QString>("expected");
        using F = ValueText::ColourForm;
        QTest::newRow("hsl to oklch, alpha kept")
            << "hsl(200 50% 50% / .5)" << int(F::Oklch) << "oklch(0.63514 0.10315 233.501 / 0.5)";
        QTest::newRow("name to display-p3") << "1px solid red" << int(F::DisplayP3)
                                            << "1px solid color(display-p3 0.917488 0.200287 0.138561)";
        QTest::newRow("p3 outside sRGB to hex: mapped")
            << "color(display-p3 1 0 0)" << int(F::Hex) << "#ff0b0c";
        QTest::newRow("hex with alpha to rgb") << "#0af8" << int(F::Rgb) << "rgb(0 170 255 / 0.5333)";
        QTest::newRow("oklch to lab")
            << "oklch(70% 0.1 200) !important" << int(F::Lab) << "lab(66.171 -31.36 -12.905) !important";
        QTest::newRow("currentcolor unchanged") << "currentcolor" << int(F::Hex) << "currentcolor";
        QTest::newRow("no colour unchanged") << "var(--c)" << int(F::Oklch) << "var(--c)";
    }
    void colourInForm()
    {
        QFETCH(QString, value);
        QFETCH(int, form);
        QFETCH(QString, expected);
        QCOMPARE(ValueText::colourInForm(value, ValueText::ColourForm(form), false), expected);
    }

    void hexUpperCase_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("fallback");
        QTest::addColumn<bool>("upper");
        QTest::newRow("lower") << "a { color: #abc; background: #FFF; border-color: #0a0b0c }" << true
                               << false;
        QTest::newRow("upper") << "a { color: #ABC } b { color: #12345F }" << false << true;
        QTest::newRow("digits only: fallback") << "a { color: #123 }" << false << false;
        QTest::newRow("ids are no colours") << "#header, #Fade1 { color: #ABCDEF }" << false << true;
        QTest::newRow("none: fallback") << "a { color: red }" << true << true;
    }
    void hexUpperCase()
    {
        QFETCH(QString, text);
        QFETCH(bool, fallback);
        QFETCH(bool, upper);
        QCOMPARE(ValueText::hexUpperCase(text, fallback), upper);
    }

    // WCAG 2.x ratios as colorjs.io's contrast(..., "WCAG21") gives them (the colour
    // gamut-mapped into sRGB, a translucent one mixed over the background in sRGB).
    void contrastRatio_data()
    {
        QTest::addColumn<QString>("colour");
        QTest::addColumn<QString>("background");
        QTest::addColumn<double>("ratio");
        QTest::newRow("black on white") << "#000"
                                        << "#fff" << 21.0;
        QTest::newRow("white on white") << "white"
                                        << "#fff" << 1.0;
        QTest::newRow("white on black, either way round") << "#fff"
                                                          << "#000" << 21.0;
        QTest::newRow("#767676 on white: just AA") << "#767676"
                                                   << "#fff" << 4.542;
        QTest::newRow("#777 on white: just not") << "#777"
                                                 << "#fff" << 4.478;
        QTest::newRow("half-transparent black on white") << "rgb(0 0 0 / .5)"
                                                         << "#fff" << 3.977;
        QTest::newRow("oklch") << "oklch(0.5 0 0)"
                               << "white" << 6.0;
        QTest::newRow("p3 red outside sRGB, as shown") << "color(display-p3 1 0 0)"
                                                       << "white" << 3.957;
    }
    void contrastRatio()
    {
        QFETCH(QString, colour);
        QFETCH(QString, background);
        QFETCH(double, ratio);
        const double measured = ValueText::contrastRatio(colourOf(colour.toUtf8().constData()),
                                                         colourOf(background.toUtf8().constData()));
        QVERIFY2(std::abs(measured - ratio) < 0.015, qPrintable(QString::number(measured)));
        QCOMPARE(ValueText::contrastRatio(colourOf("currentcolor"), colourOf("#fff")), 0.0);
    }

    void labelProblem_data()
    {
        QTest::addColumn<QString>("label");
        QTest::addColumn<bool>("declaration");
        QTest::addColumn<QString>("problem");
        QTest::newRow("plain declaration") << "color: red" << true << "";
        QTest::newRow("editor form declaration") << "color=red" << true << "";
        QTest::newRow("semicolon in quotes") << "content: \"a;b}\"" << true << "";
        QTest::newRow("semicolon in url") << "background: url(a;b.png)" << true << "";
        QTest::newRow("brace in a comment") << "a /* { */" << false << "";
        QTest::newRow("brace in attribute selector") << "a[href=\"x{y}\"]" << false << "";
        QTest::newRow("name without value") << "New Property" << true << "";
        QTest::newRow("closing brace")
            << "color: red}" << true << "A declaration cannot hold \"}\" outside quotes.";
        QTest::newRow("semicolon") << "color: red; margin: 0" << true
                                   << "A declaration cannot hold \";\" outside quotes.";
        QTest::newRow("opening brace in selector")
            << "p {" << false << "A selector cannot hold \"{\" outside quotes.";
        QTest::newRow("line break") << "a\nb" << false << "A selector cannot hold a line break.";
        QTest::newRow("line break in quotes")
            << "content: \"a\r\nb\"" << true << "A declaration cannot hold a line break.";
        QTest::newRow("unclosed quote")
            << "font-family=\"Arial" << true << "The declaration has a quote that is not closed.";
        QTest::newRow("unclosed comment")
            << "a /* x" << false << "The selector has a comment that is not closed.";
        QTest::newRow("unclosed function")
            << "width: calc(1px" << true << "The declaration has a \"(\" that is not closed.";
        QTest::newRow("unclosed url")
            << "background: url(a.png" << true << "The declaration has a \"url(\" that is not closed.";
        QTest::newRow("unclosed bracket")
            << "a[href" << false << "The selector has a \"[\" that is not closed.";
        // A backslash at the end escapes what the writer puts after the label.
        QTest::newRow("declaration ending in a backslash")
            << "color: red\\" << true
            << "The declaration ends in \"\\\", which would escape what follows it.";
        QTest::newRow("declaration ending in three backslashes")
            << "content: a\\\\\\" << true
            << "The declaration ends in \"\\\", which would escape what follows it.";
        QTest::newRow("declaration ending in an escaped backslash") << "content: a\\\\" << true << "";
        QTest::newRow("declaration ending in a hex escape") << "content: \\31" << true << "";
        QTest::newRow("selector ending in a backslash")
            << "a\\" << false << "The selector ends in \"\\\", which would escape what follows it.";
        QTest::newRow("name ending in a backslash")
            << "color\\: red" << true
            << "The declaration's name ends in \"\\\", which would escape the \":\" after it.";
        QTest::newRow("editor form name ending in a backslash")
            << "color\\=red" << true
            << "The declaration's name ends in \"\\\", which would escape the \"=\" after it.";
        QTest::newRow("escaped colon in a selector") << "a\\:b" << false << "";
    }
    void labelProblem()
    {
        QFETCH(QString, label);
        QFETCH(bool, declaration);
        QFETCH(QString, problem);
        QCOMPARE(ValueText::labelProblem(label, declaration), problem);
    }
};

LW_TEST_CLASS(TestValueText)
#include "TestValueText.moc"
