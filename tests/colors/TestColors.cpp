#include "Colors.h"
#include "TestRegistry.h"

#include <QTest>
#include <cstring>
#include <string>
#include <thread>

// Colours in the tables below are written as 0xRRGGBB, the way they read in CSS;
// the library's values are 0x00BBGGRR.
static uint32_t rgb(uint32_t rrggbb)
{
    return (rrggbb & 0xFF) << 16 | (rrggbb & 0xFF00) | rrggbb >> 16;
}

class TestColors : public QObject
{
    Q_OBJECT

private slots:
    void strToColor_data();
    void strToColor();
    void colorToHex_data();
    void colorToHex();
    void everyRgbValueSurvivesHexAndBack();
    void hexTextIsPerThread();
};

void TestColors::strToColor_data()
{
    QTest::addColumn<QByteArray>("text"); // a null QByteArray stands for a null pointer
    QTest::addColumn<uint>("expected");

    const uint none = COLORS_NONE;

    QTest::newRow("name lower case") << QByteArray("red") << rgb(0xFF0000);
    QTest::newRow("name upper case") << QByteArray("RED") << rgb(0xFF0000);
    QTest::newRow("name mixed case") << QByteArray("Red") << rgb(0xFF0000);
    QTest::newRow("long name") << QByteArray("lightgoldenrodyellow") << rgb(0xFAFAD2);
    QTest::newRow("long name mixed case") << QByteArray("LightGoldenRodYellow") << rgb(0xFAFAD2);
    QTest::newRow("grey spelling") << QByteArray("darkslategrey") << rgb(0x2F4F4F);
    QTest::newRow("gray spelling") << QByteArray("DarkSlateGray") << rgb(0x2F4F4F);
    QTest::newRow("rebeccapurple") << QByteArray("RebeccaPurple") << rgb(0x663399);
    QTest::newRow("transparent has no colour") << QByteArray("transparent") << none;
    QTest::newRow("name with a blank inside") << QByteArray("light blue") << none;
    QTest::newRow("two names") << QByteArray("red blue") << none;
    QTest::newRow("unknown name") << QByteArray("redd") << none;
    QTest::newRow("inherit") << QByteArray("inherit") << none;
    QTest::newRow("currentColor") << QByteArray("currentColor") << none;
    QTest::newRow("variable") << QByteArray("var(--x)") << none;

    QTest::newRow("#rgb") << QByteArray("#abc") << rgb(0xAABBCC);
    QTest::newRow("#RRGGBB") << QByteArray("#AABBCC") << rgb(0xAABBCC);
    QTest::newRow("#rrggbb mixed case") << QByteArray("#1a2B3c") << rgb(0x1A2B3C);
    QTest::newRow("# alone") << QByteArray("#") << none;
    QTest::newRow("#12 too short") << QByteArray("#12") << none;
    QTest::newRow("#1234 four digits") << QByteArray("#1234") << none;
    QTest::newRow("#12345 five digits") << QByteArray("#12345") << none;
    QTest::newRow("#1234567 too long") << QByteArray("#1234567") << none;
    QTest::newRow("#aarrggbb") << QByteArray("#FFAABBCC") << none;
    QTest::newRow("not hex digits") << QByteArray("#abg") << none;
    QTest::newRow("blank after #") << QByteArray("# abc") << none;
    QTest::newRow("hex without #") << QByteArray("aabbcc") << none;

    QTest::newRow("rgb integers") << QByteArray("rgb(255, 0, 0)") << rgb(0xFF0000);
    QTest::newRow("rgb no blanks") << QByteArray("rgb(18,52,86)") << rgb(0x123456);
    QTest::newRow("RGB upper case") << QByteArray("RGB( 0 , 0 , 255 )") << rgb(0x0000FF);
    QTest::newRow("rgb percentages") << QByteArray("rgb(100%, 50%, 0%)") << rgb(0xFF8000);
    QTest::newRow("rgb fractions rounded") << QByteArray("rgb(12.6, 0.4, 1e2)") << rgb(0x0D0064);
    QTest::newRow("rgb out of range clamped") << QByteArray("rgb(300, -20, 0)") << rgb(0xFF0000);
    QTest::newRow("rgba alpha dropped") << QByteArray("rgba(0, 128, 255, 0.5)") << rgb(0x0080FF);
    QTest::newRow("rgba percent alpha") << QByteArray("rgba(0%, 0%, 100%, 50%)") << rgb(0x0000FF);
    QTest::newRow("rgb with alpha") << QByteArray("rgb(1, 2, 3, 1)") << rgb(0x010203);
    QTest::newRow("rgba without alpha") << QByteArray("rgba(1, 2, 3)") << rgb(0x010203);
    QTest::newRow("rgb space form") << QByteArray("rgb(255 128 0)") << rgb(0xFF8000);
    QTest::newRow("rgb space form alpha") << QByteArray("rgb(255 100% 0 / 50%)") << rgb(0xFFFF00);
    QTest::newRow("rgb space form none") << QByteArray("rgb(none 255 none)") << rgb(0x00FF00);
    QTest::newRow("rgb comma form none") << QByteArray("rgb(none, 255, 0)") << none;
    QTest::newRow("rgb comma form mixed kinds") << QByteArray("rgb(255, 0%, 0)") << none;
    QTest::newRow("rgb commas and blanks mixed") << QByteArray("rgb(1, 2 3)") << none;
    QTest::newRow("rgb space form alpha without /") << QByteArray("rgb(1 2 3 4)") << none;
    QTest::newRow("rgb / too early") << QByteArray("rgb(1 2 / 3)") << none;
    QTest::newRow("rgb two values") << QByteArray("rgb(1, 2)") << none;
    QTest::newRow("rgb five values") << QByteArray("rgb(1, 2, 3, 4, 5)") << none;
    QTest::newRow("rgb empty value") << QByteArray("rgb(1, , 3)") << none;
    QTest::newRow("rgb trailing comma") << QByteArray("rgb(1, 2, 3,)") << none;
    QTest::newRow("rgb with a length unit") << QByteArray("rgb(10px, 0, 0)") << none;
    QTest::newRow("rgb blank before (") << QByteArray("rgb (1, 2, 3)") << none;
    QTest::newRow("rgb unclosed") << QByteArray("rgb(1, 2, 3") << none;
    QTest::newRow("rgb text after )") << QByteArray("rgb(1, 2, 3) x") << none;
    QTest::newRow("rgb infinity") << QByteArray("rgb(inf, 0, 0)") << none;
    QTest::newRow("unknown function") << QByteArray("rgbx(1, 2, 3)") << none;

    QTest::newRow("hsl green") << QByteArray("hsl(120, 100%, 50%)") << rgb(0x00FF00);
    QTest::newRow("hsl orange") << QByteArray("HSL(30, 100%, 50%)") << rgb(0xFF8000);
    QTest::newRow("hsl grey") << QByteArray("hsl(0, 0%, 50%)") << rgb(0x808080);
    QTest::newRow("hsl negative hue") << QByteArray("hsl(-120, 100%, 50%)") << rgb(0x0000FF);
    QTest::newRow("hsl hue past a turn") << QByteArray("hsl(480, 100%, 25%)") << rgb(0x008000);
    QTest::newRow("hsla alpha dropped") << QByteArray("hsla(240, 100%, 50%, 0.3)") << rgb(0x0000FF);
    QTest::newRow("hsl turn unit") << QByteArray("hsl(0.5turn, 100%, 50%)") << rgb(0x00FFFF);
    QTest::newRow("hsl space form numbers") << QByteArray("hsl(120deg 100 50 / 1)") << rgb(0x00FF00);
    QTest::newRow("hsl comma form needs %") << QByteArray("hsl(120, 100, 50)") << none;
    QTest::newRow("hsl percentage hue") << QByteArray("hsl(50%, 100%, 50%)") << none;
    QTest::newRow("hsl unknown angle unit") << QByteArray("hsl(1foo, 100%, 50%)") << none;
    QTest::newRow("hsl two values") << QByteArray("hsl(120, 100%)") << none;

    QTest::newRow("blanks around a name") << QByteArray("  red  ") << rgb(0xFF0000);
    QTest::newRow("tab and line breaks around hex") << QByteArray("\t#abc\r\n") << rgb(0xAABBCC);
    QTest::newRow("blanks around a function") << QByteArray(" rgb(1,2,3) ") << rgb(0x010203);
    QTest::newRow("empty") << QByteArray("") << none;
    QTest::newRow("blanks only") << QByteArray(" \t ") << none;
    QTest::newRow("garbage") << QByteArray("@!?;{}") << none;
    QTest::newRow("number") << QByteArray("12") << none;
    QTest::newRow("null pointer") << QByteArray() << none;
}

void TestColors::strToColor()
{
    QFETCH(QByteArray, text);
    QFETCH(uint, expected);
    const uint32_t actual = StrToColor(text.isNull() ? nullptr : text.constData());
    QCOMPARE(QByteArray::number(actual, 16), QByteArray::number(expected, 16));
}

void TestColors::colorToHex_data()
{
    QTest::addColumn<uint>("color");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("black") << 0u << QByteArray("#000000");
    QTest::newRow("red is the low byte") << 0x0000FFu << QByteArray("#FF0000");
    QTest::newRow("blue is the high byte") << 0xFF0000u << QByteArray("#0000FF");
    QTest::newRow("upper-case digits") << 0xEFCDABu << QByteArray("#ABCDEF");
    QTest::newRow("white") << 0xFFFFFFu << QByteArray("#FFFFFF");
    QTest::newRow("system scroll bar") << 0x80000000u << QByteArray("#C0C0C0");
    QTest::newRow("system background") << 0x80000001u << QByteArray("#008080");
    QTest::newRow("system active caption") << 0x80000002u << QByteArray("#000080");
    QTest::newRow("system window") << 0x80000005u << QByteArray("#FFFFFF");
    QTest::newRow("system window text") << 0x80000008u << QByteArray("#000000");
    QTest::newRow("system button face") << 0x8000000Fu << QByteArray("#C0C0C0");
    QTest::newRow("system button shadow") << 0x80000010u << QByteArray("#808080");
    QTest::newRow("system tooltip background") << 0x80000018u << QByteArray("#FFFFE1");
    QTest::newRow("system index past the table") << 0x80000019u << QByteArray("");
    QTest::newRow("no colour") << uint(COLORS_NONE) << QByteArray("");
    QTest::newRow("bits above the RGB") << 0x01000000u << QByteArray("");
    QTest::newRow("all bits") << 0xFFFFFFFFu << QByteArray("");
}

void TestColors::colorToHex()
{
    QFETCH(uint, color);
    QFETCH(QByteArray, expected);
    const char *text = ColorToHex(color);
    QVERIFY(text);
    QCOMPARE(QByteArray(text), expected);
}

void TestColors::everyRgbValueSurvivesHexAndBack()
{
    uint32_t mismatches = 0;
    uint32_t first = 0;
    std::string firstText;
    for (uint32_t c = 0; c <= 0xFFFFFF; ++c) {
        const char *text = ColorToHex(c);
        if (StrToColor(text) != c) {
            if (mismatches++ == 0) {
                first = c;
                firstText = text;
            }
        }
    }
    QVERIFY2(mismatches == 0, qPrintable(QStringLiteral("%1 mismatches, first 0x%2 -> \"%3\"")
                                             .arg(mismatches)
                                             .arg(first, 6, 16, QLatin1Char('0'))
                                             .arg(QString::fromStdString(firstText))));
}

void TestColors::hexTextIsPerThread()
{
    const char *mine = ColorToHex(0x0000FF);
    std::string other;
    const char *otherPointer = nullptr;
    std::thread([&] {
        otherPointer = ColorToHex(0xFF0000);
        other = otherPointer;
    }).join();
    QCOMPARE(other, std::string("#0000FF"));
    QVERIFY(otherPointer != mine);
    QCOMPARE(QByteArray(mine), QByteArray("#FF0000"));
}

LW_TEST_CLASS(TestColors)
#include "TestColors.moc"
