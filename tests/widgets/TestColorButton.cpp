#include "ColorButtonHost.h"
#include "TZEBColorButton.h"
#include "TestRegistry.h"
#include "WidgetColors.h"

#include <QSignalSpy>
#include <QTest>

using WidgetColors::rgb;

namespace {

constexpr uint32_t White = 0xFFFFFF;
constexpr uint32_t Red = 255;
constexpr uint32_t Olive = 32639; // palette (4, 2)

bool closeEnough(QColor a, QColor b)
{
    return a.rgb() == b.rgb();
}

} // namespace

class TestColorButton : public QObject
{
    Q_OBJECT

private slots:
    void defaults();
    void settingColorFiresOnceOrNotAtAll_data();
    void settingColorFiresOnceOrNotAtAll();
    void settingThePaletteIndex_data();
    void settingThePaletteIndex();
    void cyclingStepsThroughThePalette();
    void enabledButtonShowsColourAndBlackArrow();
    void disabledButtonShowsHatchAndGreyArrow();
    void choosingFromThePaletteSetsColour();
    void secondClickClosesThePaletteWithoutReopening();
    void customColoursComeBackFromThePalette();
    void customColoursTextRoundTrips();
    void customColoursAreStoredOnlyWithAKey_data();
    void customColoursAreStoredOnlyWithAKey();
};

void TestColorButton::defaults()
{
    TZEBColorButton button;
    QCOMPARE(button.size(), QSize(45, 22));
    QVERIFY(button.text().isEmpty());
    QCOMPARE(button.color(), 0u);
    QCOMPARE(button.paletteIndex(), 0);
    QCOMPARE(button.otherColor(), WidgetColors::ButtonFace);
    QCOMPARE(button.otherBtnCaption(), QStringLiteral("&Other"));
    QVERIFY(button.showColorHints());
    QVERIFY(!button.cycleColors());
    QVERIFY(!button.isFlat());
    QVERIFY(button.customColorsKey().isEmpty());

    const TColorArrayClass &grid = button.paletteColors();
    QCOMPARE(grid.XSize(), 4);
    QCOMPARE(grid.YSize(), 5);
    const uint32_t expected[5][4] = {{16777215, 0, 12566463, 8355711},
                                     {255, 127, 65535, 32639},
                                     {65280, 32512, 16776960, 8355584},
                                     {16711680, 8323072, 16711935, 8323199},
                                     {12572607, 15712159, 15726591, 10461087}};
    for (int y = 1; y <= 5; ++y)
        for (int x = 1; x <= 4; ++x)
            QCOMPARE(grid.cell(x, y), expected[y - 1][x - 1]);

    QCOMPARE(button.customColors().XSize(), 8);
    QCOMPARE(button.customColors().YSize(), 2);
    for (int k = 1; k <= 16; ++k)
        QCOMPARE(button.customColors().at(k), White);
}

void TestColorButton::settingColorFiresOnceOrNotAtAll_data()
{
    QTest::addColumn<uint32_t>("start");
    QTest::addColumn<uint32_t>("color");
    QTest::addColumn<int>("fired");
    QTest::addColumn<int>("paletteIndex");
    QTest::newRow("same value") << Red << Red << 0 << 5;
    QTest::newRow("palette colour") << 0u << Olive << 1 << 8;
    QTest::newRow("not in the palette") << 0u << rgb(1, 2, 3) << 1 << 0;
    QTest::newRow("first of the palette") << 0u << White << 1 << 1;
    // Palette index looks for exact equality; a system colour is not resolved.
    QTest::newRow("system colour") << 0u << WidgetColors::ButtonFace << 1 << 0;
}

void TestColorButton::settingColorFiresOnceOrNotAtAll()
{
    QFETCH(uint32_t, start);
    QFETCH(uint32_t, color);
    QFETCH(int, fired);
    QFETCH(int, paletteIndex);
    TZEBColorButton button;
    button.setColor(start);
    QSignalSpy spy(&button, &TZEBColorButton::OnColorChange);
    button.setColor(color);
    QCOMPARE(spy.count(), fired);
    if (fired)
        QCOMPARE(spy.at(0).at(0).value<TZEBColorButton *>(), &button);
    QCOMPARE(button.color(), color);
    QCOMPARE(button.paletteIndex(), paletteIndex);
}

void TestColorButton::settingThePaletteIndex_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("expectedIndex");
    QTest::addColumn<uint32_t>("expectedColor");
    QTest::addColumn<int>("fired");
    QTest::newRow("palette colour") << 8 << 8 << Olive << 1;
    QTest::newRow("0 gives the other colour") << 0 << 0 << rgb(9, 9, 9) << 1;
    QTest::newRow("current index") << 5 << 5 << Red << 0;
    QTest::newRow("past 20") << 21 << 5 << Red << 0;
    QTest::newRow("negative") << -1 << 5 << Red << 0;
}

void TestColorButton::settingThePaletteIndex()
{
    QFETCH(int, index);
    QFETCH(int, expectedIndex);
    QFETCH(uint32_t, expectedColor);
    QFETCH(int, fired);
    TZEBColorButton button;
    button.setOtherColor(rgb(9, 9, 9));
    button.setColor(Red);
    QCOMPARE(button.paletteIndex(), 5);
    QSignalSpy spy(&button, &TZEBColorButton::OnColorChange);
    button.setPaletteIndex(index);
    QCOMPARE(button.paletteIndex(), expectedIndex);
    QCOMPARE(button.color(), expectedColor);
    QCOMPARE(spy.count(), fired);
}

void TestColorButton::cyclingStepsThroughThePalette()
{
    ColorButtonHost host;
    TZEBColorButton *button = host.button;
    button->setCycleColors(true);
    button->setOtherColor(rgb(9, 9, 9));
    button->setColor(10461087); // palette index 20
    QCOMPARE(button->paletteIndex(), 20);

    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(8, 8));
    QCOMPARE(button->paletteIndex(), 0); // wraps to the other colour
    QCOMPARE(button->color(), rgb(9, 9, 9));
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(8, 8));
    QCOMPARE(button->paletteIndex(), 1);
    QCOMPARE(button->color(), White);
    QVERIFY(!button->paletteWindow());

    // The arrow part still opens the palette.
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(button->width() - 12, 8));
    QVERIFY(button->paletteWindow());
    QCOMPARE(button->paletteIndex(), 1);
}

void TestColorButton::enabledButtonShowsColourAndBlackArrow()
{
    ColorButtonHost host;
    host.button->setColor(rgb(10, 200, 30));
    QCOMPARE(TZEBColorButton::swatchRect(QSize(45, 22), false), QRect(QPoint(6, 5), QPoint(28, 16)));
    const QImage image = host.button->grab().toImage();
    const QColor colour(10, 200, 30);
    QVERIFY(closeEnough(image.pixelColor(7, 6), colour));
    QVERIFY(closeEnough(image.pixelColor(27, 15), colour));
    QVERIFY(closeEnough(image.pixelColor(6, 5), Qt::black)); // window-frame outline
    // The arrow's apex row and its widest row; its background is transparent.
    QVERIFY(closeEnough(image.pixelColor(35, 9), Qt::black));
    QVERIFY(closeEnough(image.pixelColor(39, 9), Qt::black));
    QVERIFY(closeEnough(image.pixelColor(37, 11), Qt::black));
    QVERIFY(!closeEnough(image.pixelColor(34, 9), Qt::black));
    QVERIFY(!closeEnough(image.pixelColor(36, 11), Qt::black));
    QVERIFY(image.pixelColor(34, 8) != QColor(0x80, 0x80, 0x00));
}

void TestColorButton::disabledButtonShowsHatchAndGreyArrow()
{
    ColorButtonHost host;
    host.button->setColor(Red);
    host.button->setEnabled(false);
    const QImage image = host.button->grab().toImage();
    static constexpr unsigned char pattern[8] = {0x11, 0x22, 0x44, 0x88, 0x11, 0x22, 0x44, 0x88};
    QStringList wrong;
    for (int y = 6; y <= 15; ++y)
        for (int x = 7; x <= 27; ++x) {
            const QColor pixel = image.pixelColor(x, y);
            // Hatch pixels are black; the others keep the button's own background,
            // never the colour.
            const bool hatched = pattern[y & 7] & (0x80 >> (x & 7));
            if (closeEnough(pixel, Qt::black) != hatched || pixel == QColor(Qt::red))
                wrong << QStringLiteral("%1,%2=%3").arg(x).arg(y).arg(pixel.name());
        }
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join(QLatin1Char(' '))));
    QCOMPARE(image.pixelColor(37, 9), QColor(0x80, 0x80, 0x80));
    QCOMPARE(image.pixelColor(37, 11), QColor(0x80, 0x80, 0x80));
}

void TestColorButton::choosingFromThePaletteSetsColour()
{
    ColorButtonHost host;
    host.button->setColor(rgb(1, 2, 3));
    TZEBColorButtonPalette *palette = host.openPalette();
    QVERIFY(palette);
    QVERIFY(host.button->paletteShowing());
    QCOMPARE(palette->otherColor(), rgb(1, 2, 3)); // not a palette colour: the other square shows it

    QSignalSpy spy(host.button, &TZEBColorButton::OnColorChange);
    const QPoint otherSquare = TZEBColorButtonPalette::squareRect({0, 0}).center();
    QTest::mouseClick(palette, Qt::LeftButton, {}, otherSquare + QPoint(3, 3));
    QCOMPARE(spy.count(), 0); // the same colour came back
    QVERIFY(!host.button->paletteWindow());
    QVERIFY(!host.button->paletteShowing());
    QCOMPARE(host.button->otherColor(), rgb(1, 2, 3));

    palette = host.openPalette();
    QVERIFY(palette);
    QTest::mouseClick(palette, Qt::LeftButton, {},
                      TZEBColorButtonPalette::squareRect({4, 2}).center() + QPoint(3, 3));
    QCOMPARE(spy.count(), 1);
    QCOMPARE(host.button->color(), Olive);
    QCOMPARE(host.button->paletteIndex(), 8);
    QCOMPARE(host.button->otherColor(), rgb(1, 2, 3)); // a grid square leaves it
}

void TestColorButton::secondClickClosesThePaletteWithoutReopening()
{
    ColorButtonHost host;
    QPointer<TZEBColorButtonPalette> palette = host.openPalette();
    QVERIFY(palette);
    QTest::mouseClick(host.button, Qt::LeftButton, {}, QPoint(8, 8));
    QVERIFY(!host.button->paletteWindow());
    QVERIFY(!host.button->paletteShowing());
    QTRY_VERIFY(!palette); // destroyed, not kept
    // The next click opens it again.
    QVERIFY(host.openPalette());
}

void TestColorButton::customColoursComeBackFromThePalette()
{
    ColorButtonHost host;
    TColorArrayClass custom(8, 2);
    custom.setCell(3, 2, Red);
    host.button->setCustomColors(custom);
    TZEBColorButtonPalette *palette = host.openPalette();
    QVERIFY(palette);
    QCOMPARE(palette->customColors(), custom);
    TColorArrayClass changed = custom;
    changed.setCell(8, 1, Olive);
    palette->setCustomColors(changed);
    QTest::keyClick(palette, Qt::Key_Escape);
    QCOMPARE(host.button->customColors(), changed);
}

void TestColorButton::customColoursTextRoundTrips()
{
    TColorArrayClass colors(8, 2);
    for (int k = 1; k <= 16; ++k)
        colors.setAt(k, uint32_t(k * 0x010101));
    const QString text = TZEBColorButton::customColorsText(colors);
    QVERIFY(text.startsWith(QStringLiteral("$00010101,$00090909,$00020202,")));
    QCOMPARE(text.count(QLatin1Char(',')), 15);
    TColorArrayClass read(8, 2);
    TZEBColorButton::readCustomColorsText(text, read);
    QCOMPARE(read, colors);
}

void TestColorButton::customColoursAreStoredOnlyWithAKey_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<uint32_t>("cell11");
    QTest::addColumn<uint32_t>("cell12");
    QTest::addColumn<uint32_t>("cell82");
    QTest::addColumn<bool>("saved");
    const QString fields =
        QStringLiteral("$000000FF,$0000FF00,$00010203,$00040506,$0,$0,$0,$0,$0,$0,$0,$0,$0,$0,$0,"
                       "$00ABCDEF");
    QTest::newRow("no key: never read or written") << QString() << fields << White << White << White << false;
    QTest::newRow("key: read and written back") << QStringLiteral("Software\\Loomwright 99") << fields << Red
                                                << uint32_t(0xFF00) << 0xABCDEFu << true;
    QTest::newRow("unreadable fields give white")
        << QStringLiteral("K") << QStringLiteral("$zz,12,$000000FF") << White << 12u << White << true;
    QTest::newRow("missing value changes nothing")
        << QStringLiteral("K") << QString() << White << White << White << true;
}

void TestColorButton::customColoursAreStoredOnlyWithAKey()
{
    QFETCH(QString, key);
    QFETCH(QString, stored);
    QFETCH(uint32_t, cell11);
    QFETCH(uint32_t, cell12);
    QFETCH(uint32_t, cell82);
    QFETCH(bool, saved);
    QStringList reads;
    QStringList writes;
    QString written;
    QWidget parent;
    parent.setObjectName(QStringLiteral("Panel2"));
    auto *button = new TZEBColorButton(&parent);
    button->setObjectName(QStringLiteral("ColorButton"));
    button->setCustomColorsKey(key);
    button->setCustomColorsStore(
        [&](const QString &k, const QString &name) {
            reads << k + QLatin1Char('|') + name;
            return stored;
        },
        [&](const QString &k, const QString &name, const QString &text) {
            writes << k + QLatin1Char('|') + name;
            written = text;
        });
    parent.show();
    QVERIFY(QTest::qWaitForWindowExposed(&parent));
    QCOMPARE(button->GetSectionName(), QStringLiteral("Panel2.ColorButton"));
    const QString where = key + QStringLiteral("\\Colors|Panel2.ColorButton");
    QCOMPARE(reads, saved ? QStringList{where} : QStringList());
    QCOMPARE(button->customColors().cell(1, 1), cell11);
    QCOMPARE(button->customColors().cell(1, 2), cell12);
    QCOMPARE(button->customColors().cell(8, 2), cell82);
    const QString expectedText = TZEBColorButton::customColorsText(button->customColors());
    delete button;
    QCOMPARE(writes, saved ? QStringList{where} : QStringList());
    if (saved)
        QCOMPARE(written, expectedText);
}

LW_TEST_CLASS(TestColorButton)
#include "TestColorButton.moc"
