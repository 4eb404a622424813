#include "ColorButtonHost.h"
#include "DialogAnswerer.h"
#include "TZEBColorButtonPalette.h"
#include "TestRegistry.h"
#include "WidgetColors.h"

#include <QApplication>
#include <QColorDialog>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QToolTip>

using WidgetColors::rgb;

namespace {

constexpr uint32_t White = 16777215;
constexpr uint32_t Red = 255;
constexpr uint32_t Silver = 12566463; // (3, 1)
constexpr uint32_t Olive = 32639;     // (4, 2)

// Gives the desktop palette another button face for the life of the object.
struct ButtonFaceOverride
{
    QPalette saved = QApplication::palette();
    explicit ButtonFaceOverride(const QColor &face)
    {
        QPalette changed = saved;
        changed.setColor(QPalette::Button, face);
        QApplication::setPalette(changed);
    }
    ~ButtonFaceOverride() { QApplication::setPalette(saved); }
};

QPoint inside(QPoint square)
{
    return TZEBColorButtonPalette::squareRect(square).center() +
           QPoint(TZEBColorButtonPalette::Border, TZEBColorButtonPalette::Border);
}

void movePointer(QWidget *widget, QPoint pos)
{
    QMouseEvent move(QEvent::MouseMove, pos, widget->mapToGlobal(pos), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &move);
}

// Waits until a hint from an earlier request has gone, so that the next request
// starts from no hint.
bool hintGone()
{
    QToolTip::hideText();
    for (int waited = 0; QToolTip::isVisible() && waited < 2000; waited += 20)
        QTest::qWait(20);
    return !QToolTip::isVisible();
}

} // namespace

class TestColorButtonPalette : public QObject
{
    Q_OBJECT

private slots:
    void layout();
    void squareUnderThePointer_data();
    void squareUnderThePointer();
    void startSquare_data();
    void startSquare();
    void keysMoveTheFrame_data();
    void keysMoveTheFrame();
    void upAndDownMoveNothingFromTheMouseFramedOtherSquare();
    void enterWithNothingFramedChoosesTheFirstSquare();
    void enterOnTheOtherSquareChoosesOtherColour();
    void escapeChoosesNothing();
    void keysReachThePaletteBeforeItsButton();
    void clickOutsideAnySquareJustCloses();
    void losingActivationCloses();
    void hints_data();
    void hints();
    void hintHandlerRewritesOrSuppresses();
    void placement_data();
    void placement();
    void otherButtonOpensTheColourDialog();
    void cancellingTheColourDialogKeepsThePaletteOpen();
};

void TestColorButtonPalette::layout()
{
    TZEBColorButtonPalette palette;
    constexpr int b = TZEBColorButtonPalette::Border;
    QCOMPARE(palette.size(), QSize(72 + 2 * b, 121 + 2 * b));
    QCOMPARE(palette.btnOther()->geometry(), QRect(1 + b, 98 + b, 50, 21));
    QCOMPARE(palette.btnOther()->text(), QStringLiteral("&Other"));
    QCOMPARE(palette.btnOther()->focusPolicy(), Qt::ClickFocus);
    QCOMPARE(TZEBColorButtonPalette::squareRect({2, 3}), QRect(18, 36, 18, 18));
    QCOMPARE(TZEBColorButtonPalette::squareRect({0, 0}), QRect(QPoint(53, 99), QSize(18, 18)));
    QCOMPARE(palette.framedSquare(), QPoint(-1, -1));
}

void TestColorButtonPalette::squareUnderThePointer_data()
{
    QTest::addColumn<QPoint>("pos");
    QTest::addColumn<QPoint>("square");
    QTest::newRow("top-left corner") << QPoint(0, 0) << QPoint(1, 1);
    QTest::newRow("last pixel of (1, 1)") << QPoint(17, 17) << QPoint(1, 1);
    QTest::newRow("first pixel of (2, 1)") << QPoint(18, 0) << QPoint(2, 1);
    QTest::newRow("bottom-right of the grid") << QPoint(71, 89) << QPoint(4, 5);
    QTest::newRow("below the grid") << QPoint(10, 91) << QPoint(-1, -1);
    QTest::newRow("other square, top-left") << QPoint(53, 99) << QPoint(0, 0);
    QTest::newRow("other square, bottom-right") << QPoint(70, 116) << QPoint(0, 0);
    QTest::newRow("above the other square") << QPoint(60, 97) << QPoint(-1, -1);
    QTest::newRow("left of the window") << QPoint(-5, 10) << QPoint(-1, -1);
    QTest::newRow("above the window") << QPoint(10, -5) << QPoint(-1, -1);
}

void TestColorButtonPalette::squareUnderThePointer()
{
    QFETCH(QPoint, pos);
    QFETCH(QPoint, square);
    QCOMPARE(TZEBColorButtonPalette::squareAt(pos), square);
}

void TestColorButtonPalette::startSquare_data()
{
    QTest::addColumn<uint32_t>("color");
    QTest::addColumn<QColor>("buttonFace"); // invalid: the desktop's own
    QTest::addColumn<QPoint>("framed");
    QTest::addColumn<bool>("otherShowsColor");
    QTest::newRow("first palette colour") << White << QColor() << QPoint(1, 1) << false;
    QTest::newRow("palette colour") << Olive << QColor() << QPoint(4, 2) << false;
    QTest::newRow("last palette colour") << 10461087u << QColor() << QPoint(4, 5) << false;
    QTest::newRow("not in the palette") << rgb(1, 2, 3) << QColor() << QPoint(-1, -1) << true;
    QTest::newRow("system colour equal in RGB to a palette colour")
        << WidgetColors::ButtonFace << QColor(127, 0, 0) << QPoint(2, 2) << false;
}

void TestColorButtonPalette::startSquare()
{
    QFETCH(uint32_t, color);
    QFETCH(QColor, buttonFace);
    QFETCH(QPoint, framed);
    QFETCH(bool, otherShowsColor);
    std::optional<ButtonFaceOverride> face;
    if (buttonFace.isValid())
        face.emplace(buttonFace);
    ColorButtonHost host;
    host.button->setOtherColor(rgb(9, 9, 9));
    host.button->setColor(color);
    TZEBColorButtonPalette *palette = host.openPalette();
    QVERIFY(palette);
    QCOMPARE(palette->startColor(), color);
    QCOMPARE(palette->framedSquare(), framed);
    QCOMPARE(palette->otherColor(), otherShowsColor ? color : rgb(9, 9, 9));
}

void TestColorButtonPalette::keysMoveTheFrame_data()
{
    QTest::addColumn<uint32_t>("start");
    QTest::addColumn<QList<int>>("keys");
    QTest::addColumn<QPoint>("framed");
    const int down = Qt::Key_Down, up = Qt::Key_Up, left = Qt::Key_Left, right = Qt::Key_Right;
    QTest::newRow("Down five times from row 1 reaches the other square")
        << Silver << QList<int>{down, down, down, down, down} << QPoint(3, 0);
    QTest::newRow("Down once more returns to row 1 of the same column")
        << Silver << QList<int>{down, down, down, down, down, down} << QPoint(3, 1);
    QTest::newRow("Up from row 1 reaches the other square") << Silver << QList<int>{up} << QPoint(3, 0);
    QTest::newRow("Up from the other square reaches row 5") << Silver << QList<int>{up, up} << QPoint(3, 5);
    QTest::newRow("Left wraps from column 1 to 4") << White << QList<int>{left} << QPoint(4, 1);
    QTest::newRow("Right wraps from column 4 to 1") << Olive << QList<int>{right} << QPoint(1, 2);
    QTest::newRow("Left and Right do nothing on the other square")
        << Silver << QList<int>{up, left, right, right} << QPoint(3, 0);
    QTest::newRow("other keys move nothing") << Olive << QList<int>{int(Qt::Key_A)} << QPoint(4, 2);
    QTest::newRow("nothing framed: any key frames (1, 1)")
        << rgb(1, 2, 3) << QList<int>{int(Qt::Key_A)} << QPoint(1, 1);
}

void TestColorButtonPalette::keysMoveTheFrame()
{
    QFETCH(uint32_t, start);
    QFETCH(QList<int>, keys);
    QFETCH(QPoint, framed);
    ColorButtonHost host;
    host.button->setColor(start);
    TZEBColorButtonPalette *palette = host.openPalette();
    QVERIFY(palette);
    for (int key : keys)
        QTest::keyClick(palette, Qt::Key(key));
    QCOMPARE(palette->framedSquare(), framed);
    QCOMPARE(host.button->paletteWindow(), palette); // still open
}

void TestColorButtonPalette::upAndDownMoveNothingFromTheMouseFramedOtherSquare()
{
    ColorButtonHost host;
    TZEBColorButtonPalette *palette = host.openPalette();
    QVERIFY(palette);
    movePointer(palette, inside({2, 3}));
    QCOMPARE(palette->framedSquare(), QPoint(2, 3));
    movePointer(palette, inside({0, 0}));
    QCOMPARE(palette->framedSquare(), QPoint(0, 0));
    QTest::keyClick(palette, Qt::Key_Up);
    QTest::keyClick(palette, Qt::Key_Down);
    QCOMPARE(palette->framedSquare(), QPoint(0, 0));
}

void TestColorButtonPalette::enterWithNothingFramedChoosesTheFirstSquare()
{
    ColorButtonHost host;
    host.button->setColor(rgb(1, 2, 3));
    TZEBColorButtonPalette *palette = host.openPalette();
    QVERIFY(palette);
    QCOMPARE(palette->framedSquare(), QPoint(-1, -1));
    QSignalSpy spy(host.button, &TZEBColorButton::OnColorChange);
    QTest::keyClick(palette, Qt::Key_Return);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(host.button->color(), White);
    QCOMPARE(host.button->paletteIndex(), 1);
    QVERIFY(!host.button->paletteWindow());
}

void TestColorButtonPalette::enterOnTheOtherSquareChoosesOtherColour()
{
    ColorButtonHost host;
    host.button->setOtherColor(rgb(9, 9, 9));
    host.button->setColor(White);
    TZEBColorButtonPalette *palette = host.openPalette();
    QVERIFY(palette);
    QTest::keyClick(palette, Qt::Key_Up);
    QTest::keyClick(palette, Qt::Key_Enter);
    QCOMPARE(host.button->color(), rgb(9, 9, 9));
    QCOMPARE(host.button->paletteIndex(), 0);
    QCOMPARE(host.button->otherColor(), rgb(9, 9, 9));
    QVERIFY(!host.button->paletteWindow());
}

void TestColorButtonPalette::escapeChoosesNothing()
{
    ColorButtonHost host;
    host.button->setColor(Red);
    QPointer<TZEBColorButtonPalette> palette = host.openPalette();
    QVERIFY(palette);
    QSignalSpy spy(host.button, &TZEBColorButton::OnColorChange);
    QTest::keyClick(palette, Qt::Key_Down);
    QTest::keyClick(palette, Qt::Key_Escape);
    QCOMPARE(spy.count(), 0);
    QCOMPARE(host.button->color(), Red);
    QVERIFY(!host.button->paletteShowing());
    QTRY_VERIFY(!palette);
}

void TestColorButtonPalette::keysReachThePaletteBeforeItsButton()
{
    ColorButtonHost host;
    host.button->setColor(Red);
    TZEBColorButtonPalette *palette = host.openPalette();
    QVERIFY(palette);
    QTest::keyClick(palette->btnOther(), Qt::Key_Right);
    QCOMPARE(palette->framedSquare(), QPoint(2, 2));
    // Enter on the button chooses the framed square instead of opening the dialog.
    DialogAnswerer none(200);
    QTest::keyClick(palette->btnOther(), Qt::Key_Return);
    QVERIFY2(none.done(), qPrintable(none.report()));
    QCOMPARE(host.button->color(), 127u);
    QVERIFY(!host.button->paletteWindow());
}

void TestColorButtonPalette::clickOutsideAnySquareJustCloses()
{
    ColorButtonHost host;
    host.button->setColor(Red);
    TZEBColorButtonPalette *palette = host.openPalette();
    QVERIFY(palette);
    QSignalSpy spy(host.button, &TZEBColorButton::OnColorChange);
    QTest::mouseClick(palette, Qt::LeftButton, {}, QPoint(10, 93 + TZEBColorButtonPalette::Border));
    QCOMPARE(spy.count(), 0);
    QVERIFY(!host.button->paletteWindow());
}

void TestColorButtonPalette::losingActivationCloses()
{
    ColorButtonHost host;
    QPointer<TZEBColorButtonPalette> palette = host.openPalette();
    QVERIFY(palette);
    QEvent deactivate(QEvent::WindowDeactivate);
    QCoreApplication::sendEvent(palette, &deactivate);
    QVERIFY(!host.button->paletteWindow());
    QTRY_VERIFY(!palette);

    palette = host.openPalette();
    QVERIFY(palette);
    emit qApp->applicationStateChanged(Qt::ApplicationInactive);
    QVERIFY(!host.button->paletteWindow());
    QTRY_VERIFY(!palette);
}

void TestColorButtonPalette::hints_data()
{
    QTest::addColumn<QPoint>("square");
    QTest::addColumn<uint32_t>("otherColor");
    QTest::addColumn<QString>("text");
    QTest::newRow("pure red") << QPoint(1, 2) << 0u << QStringLiteral("RGB = 255 000 000");
    QTest::newRow("black") << QPoint(2, 1) << 0u << QStringLiteral("RGB = 000 000 000");
    QTest::newRow("mixed") << QPoint(2, 5) << 0u << QStringLiteral("RGB = 159 191 239");
    QTest::newRow("other square") << QPoint(0, 0) << rgb(1, 20, 200) << QStringLiteral("RGB = 001 020 200");
    QTest::newRow("other square, system colour resolved")
        << QPoint(0, 0) << WidgetColors::ButtonFace << QStringLiteral("RGB = 012 034 056");
}

void TestColorButtonPalette::hints()
{
    QFETCH(QPoint, square);
    QFETCH(uint32_t, otherColor);
    QFETCH(QString, text);
    ButtonFaceOverride face(QColor(12, 34, 56));
    TZEBColorButtonPalette palette;
    palette.setOtherColor(otherColor);
    palette.move(300, 300);
    palette.show();
    QVERIFY(QTest::qWaitForWindowExposed(&palette));
    QCOMPARE(palette.GetColorHintText(square), text);
    const QPoint pos = inside(square);
    QHelpEvent help(QEvent::ToolTip, pos, palette.mapToGlobal(pos));
    QCoreApplication::sendEvent(&palette, &help);
    QCOMPARE(QToolTip::text(), text);
    QToolTip::hideText();
}

void TestColorButtonPalette::hintHandlerRewritesOrSuppresses()
{
    ColorButtonHost host;
    QList<QVariantList> calls;
    host.button->setOnGetColorHintText([&](QObject *, uint32_t color, int x, int y, QString &hint) {
        calls << QVariantList{color, x, y, hint};
        hint = x == 4 ? QString() : hint + QStringLiteral(" (mine)");
    });
    TZEBColorButtonPalette *palette = host.openPalette();
    QVERIFY(palette);
    auto tip = [&](QPoint square) {
        if (!hintGone())
            return QStringLiteral("an earlier hint stayed");
        const QPoint pos = inside(square);
        QHelpEvent help(QEvent::ToolTip, pos, palette->mapToGlobal(pos));
        QCoreApplication::sendEvent(palette, &help);
        return QToolTip::isVisible() ? QToolTip::text() : QString();
    };
    QCOMPARE(tip({1, 2}), QStringLiteral("RGB = 255 000 000 (mine)"));
    QCOMPARE(calls.value(0), (QVariantList{Red, 1, 2, QStringLiteral("RGB = 255 000 000")}));
    QCOMPARE(tip({4, 2}), QString()); // emptied by the handler: no hint
    QCOMPARE(tip({1, 6}), QString()); // no square: no hint, handler not asked
    QCOMPARE(calls.size(), 2);
    palette->setShowColorHints(false);
    QCOMPARE(tip({1, 2}), QString());
    QCOMPARE(calls.size(), 2);
}

void TestColorButtonPalette::placement_data()
{
    QTest::addColumn<QRect>("workArea");
    QTest::addColumn<QPoint>("buttonPos");
    QTest::addColumn<QPoint>("palettePos");
    const QRect screen(0, 0, 1280, 800);
    QTest::newRow("room below: under the button") << screen << QPoint(100, 100) << QPoint(100, 122);
    QTest::newRow("ends exactly on the bottom edge") << screen << QPoint(100, 651) << QPoint(100, 673);
    QTest::newRow("near the bottom: above the button") << screen << QPoint(100, 700) << QPoint(100, 573);
    QTest::newRow("near the right edge") << screen << QPoint(1250, 100) << QPoint(1280 - 78, 122);
    QTest::newRow("ends exactly on the right edge") << screen << QPoint(1202, 100) << QPoint(1202, 122);
    QTest::newRow("bottom-right corner") << screen << QPoint(1250, 790) << QPoint(1202, 790 - 127);
    QTest::newRow("left of the work area") << QRect(100, 0, 1180, 800) << QPoint(50, 100) << QPoint(100, 122);
    QTest::newRow("work area below a top panel")
        << QRect(0, 30, 1280, 770) << QPoint(10, 760) << QPoint(10, 760 - 127);
}

void TestColorButtonPalette::placement()
{
    QFETCH(QRect, workArea);
    QFETCH(QPoint, buttonPos);
    QFETCH(QPoint, palettePos);
    TZEBColorButtonPalette palette;
    QCOMPARE(palette.size(), QSize(78, 127));
    QCOMPARE(TZEBColorButtonPalette::placement(QRect(buttonPos, QSize(45, 22)), palette.size(), workArea),
             palettePos);
}

void TestColorButtonPalette::otherButtonOpensTheColourDialog()
{
    ColorButtonHost host;
    host.button->setOtherColor(rgb(10, 20, 30));
    TColorArrayClass custom = host.button->customColors();
    custom.setCell(2, 1, Red);
    custom.setCell(1, 2, Olive);
    custom.setCell(8, 2, Silver);
    host.button->setCustomColors(custom);
    QPointer<TZEBColorButtonPalette> palette = host.openPalette();
    QVERIFY(palette);
    QSignalSpy spy(host.button, &TZEBColorButton::OnColorChange);

    DialogAnswerer answer;
    answer.on<QColorDialog>([&](QColorDialog *dialog) {
        QCOMPARE(dialog->currentColor(), QColor(10, 20, 30));
        // The dialog shows the custom colours in two rows of eight, as the grid has them.
        QCOMPARE(QColorDialog::customColor(0), QColor(Qt::white));
        QCOMPARE(QColorDialog::customColor(2), QColor(255, 0, 0));
        QCOMPARE(QColorDialog::customColor(1), QColor(127, 127, 0));
        QCOMPARE(QColorDialog::customColor(15), QColor(191, 191, 191));

        // Losing activation, the application losing it, and close requests leave
        // the palette open while the dialog is up.
        QVERIFY(palette->inColorDialog());
        QEvent deactivate(QEvent::WindowDeactivate);
        QCoreApplication::sendEvent(palette, &deactivate);
        emit qApp->applicationStateChanged(Qt::ApplicationInactive);
        palette->close();
        QVERIFY(palette && palette->isVisible());

        dialog->setCurrentColor(QColor(40, 50, 60));
        QPushButton *add = nullptr;
        for (QPushButton *b : dialog->findChildren<QPushButton *>())
            if (b->text().contains(QStringLiteral("Custom")))
                add = b;
        QVERIFY(add);
        add->click(); // into the first custom well
        dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
    });
    palette->btnOther()->click();
    QVERIFY2(answer.done(), qPrintable(answer.report()));

    QCOMPARE(spy.count(), 1);
    QCOMPARE(host.button->color(), rgb(40, 50, 60));
    QCOMPARE(host.button->otherColor(), rgb(40, 50, 60));
    QCOMPARE(host.button->paletteIndex(), 0);
    QVERIFY(!host.button->paletteWindow());
    custom.setCell(1, 1, rgb(40, 50, 60));
    QCOMPARE(host.button->customColors(), custom);
    QTRY_VERIFY(!palette);
}

void TestColorButtonPalette::cancellingTheColourDialogKeepsThePaletteOpen()
{
    ColorButtonHost host;
    host.button->setColor(Red);
    TZEBColorButtonPalette *palette = host.openPalette();
    QVERIFY(palette);
    QSignalSpy spy(host.button, &TZEBColorButton::OnColorChange);
    const uint32_t other = palette->otherColor();
    DialogAnswerer answer;
    answer.on<QColorDialog>([](QColorDialog *dialog) {
        dialog->setCurrentColor(QColor(1, 1, 1));
        DialogAnswerer::cancel(dialog);
    });
    palette->btnOther()->click();
    QVERIFY2(answer.done(), qPrintable(answer.report()));
    QCOMPARE(host.button->paletteWindow(), palette);
    QVERIFY(palette->isVisible());
    QVERIFY(!palette->inColorDialog());
    QCOMPARE(palette->otherColor(), other);
    QCOMPARE(spy.count(), 0);
    // With the dialog gone, losing activation closes the palette again.
    QEvent deactivate(QEvent::WindowDeactivate);
    QCoreApplication::sendEvent(palette, &deactivate);
    QVERIFY(!host.button->paletteWindow());
}

LW_TEST_CLASS(TestColorButtonPalette)
#include "TestColorButtonPalette.moc"
