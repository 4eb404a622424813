#include "TCSpinButton.h"
#include "TCSpinEdit.h"
#include "TTimerSpeedButton.h"
#include "TestRegistry.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>
#include <limits>
#include <memory>
#include <optional>

namespace {

int beeps = 0;

void countBeep()
{
    ++beeps;
}

// A window with a spin edit and a plain edit box to move the focus to.
struct SpinWindow
{
    QWidget window;
    TCSpinEdit *spin = new TCSpinEdit(&window);
    QLineEdit *other = new QLineEdit(&window);
    QSignalSpy changes{spin, &TCSpinEdit::OnChange};

    SpinWindow()
    {
        auto *layout = new QHBoxLayout(&window);
        layout->addWidget(spin);
        layout->addWidget(other);
        spin->setFixedWidth(117);
        window.show();
        window.activateWindow();
    }
    bool ready() { return QTest::qWaitForWindowActive(&window); }
    TCSpinButton *pair() const { return spin->findChild<TCSpinButton *>(); }
    TTimerSpeedButton *arrow(const char *name) const
    {
        return pair()->findChild<TTimerSpeedButton *>(QLatin1String(name));
    }
};

// Delivers one tick of a running timer at once, as its expiry would.
void expire(QTimer *timer)
{
    QTimerEvent tick(timer->timerId());
    QCoreApplication::sendEvent(timer, &tick);
}

} // namespace

class TestSpinEdit : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { TCSpinEdit::setBeepFunction(&countBeep); }
    void cleanupTestCase() { TCSpinEdit::setBeepFunction(nullptr); }
    void init() { beeps = 0; }

    void newBoxShowsZero()
    {
        TCSpinEdit spin;
        QCOMPARE(spin.text(), QStringLiteral("0"));
        QCOMPARE(spin.value(), 0);
        QCOMPARE(spin.minValue(), 0);
        QCOMPARE(spin.maxValue(), 0);
        QCOMPARE(spin.increment(), 1);
        QVERIFY(spin.editorEnabled());
        QVERIFY(spin.autoSelect());
    }

    void readValue_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("value");
        QTest::addColumn<QString>("textAfter");
        // Limits 3..9 throughout: reading never applies them.
        QTest::newRow("number inside limits") << "5" << 5 << "5";
        QTest::newRow("above the limits, not limited") << "50" << 50 << "50";
        QTest::newRow("leading spaces") << "  7" << 7 << "  7";
        QTest::newRow("plus sign") << "+8" << 8 << "+8";
        QTest::newRow("minus sign") << "-12" << -12 << "-12";
        QTest::newRow("largest 32-bit") << "2147483647" << 2147483647 << "2147483647";
        QTest::newRow("smallest 32-bit") << "-2147483648" << int(-2147483648LL) << "-2147483648";
        QTest::newRow("empty resets to minimum") << "" << 3 << "3";
        QTest::newRow("lone minus resets") << "-" << 3 << "3";
        QTest::newRow("space after sign resets") << "- 4" << 3 << "3";
        QTest::newRow("trailing space resets") << "7 " << 3 << "3";
        QTest::newRow("decimal point resets") << "1.5" << 3 << "3";
        QTest::newRow("unit resets") << "12px" << 3 << "3";
        QTest::newRow("hexadecimal resets") << "$1F" << 3 << "3";
        QTest::newRow("overflow resets") << "2147483648" << 3 << "3";
        QTest::newRow("huge number resets") << "99999999999999999999" << 3 << "3";
    }
    void readValue()
    {
        QFETCH(QString, text);
        QFETCH(int, value);
        QFETCH(QString, textAfter);
        TCSpinEdit spin;
        spin.setMinValue(3);
        spin.setMaxValue(9);
        spin.setText(text);
        QSignalSpy changes(&spin, &TCSpinEdit::OnChange);
        QCOMPARE(spin.value(), value);
        QCOMPARE(spin.text(), textAfter);
        // Only a reset changes the text, and it is reported.
        QCOMPARE(changes.count(), textAfter == text ? 0 : 1);
    }

    void checkValue_data()
    {
        QTest::addColumn<int>("minValue");
        QTest::addColumn<int>("maxValue");
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("expected");
        QTest::newRow("equal limits at zero: no limits") << 0 << 0 << 1000 << 1000;
        QTest::newRow("equal limits elsewhere: no limits") << 5 << 5 << -3 << -3;
        QTest::newRow("below lower limit") << 1 << 10 << -4 << 1;
        QTest::newRow("above upper limit") << 1 << 10 << 25 << 10;
        QTest::newRow("on lower limit") << 1 << 10 << 1 << 1;
        QTest::newRow("on upper limit") << 1 << 10 << 10 << 10;
        QTest::newRow("inverted limits, below lower") << 10 << 1 << 5 << 10;
        QTest::newRow("inverted limits, above both") << 10 << 1 << 20 << 1;
    }
    void checkValue()
    {
        QFETCH(int, minValue);
        QFETCH(int, maxValue);
        QFETCH(int, value);
        QFETCH(int, expected);
        TCSpinEdit spin;
        spin.setMinValue(minValue);
        spin.setMaxValue(maxValue);
        QCOMPARE(spin.checkValue(value), expected);
        spin.setValue(value);
        QCOMPARE(spin.text(), QString::number(expected));
    }

    void stepping_data()
    {
        QTest::addColumn<int>("minValue");
        QTest::addColumn<int>("maxValue");
        QTest::addColumn<int>("increment");
        QTest::addColumn<QString>("start");
        QTest::addColumn<int>("ups");
        QTest::addColumn<int>("downs");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<int>("changes");
        QTest::newRow("no limits, five up") << 0 << 0 << 1 << "0" << 5 << 0 << "5" << 5;
        QTest::newRow("no limits, three down") << 0 << 0 << 1 << "0" << 0 << 3 << "-3" << 3;
        QTest::newRow("up at upper limit keeps digits") << 1 << 10 << 1 << "10" << 1 << 0 << "10" << 0;
        QTest::newRow("down at lower limit keeps digits") << 1 << 10 << 1 << "1" << 0 << 1 << "1" << 0;
        QTest::newRow("big step stops at limit") << 0 << 12 << 5 << "10" << 1 << 0 << "12" << 1;
        QTest::newRow("inverted limits") << 10 << 1 << 1 << "5" << 1 << 0 << "10" << 1;
        QTest::newRow("from text that is no number") << 0 << 0 << 1 << "abc" << 1 << 0 << "1" << 2;
        QTest::newRow("top of 32-bit range stays")
            << 0 << 0 << 1 << "2147483647" << 1 << 0 << "2147483647" << 0;
        QTest::newRow("bottom of 32-bit range stays")
            << 0 << 0 << 1 << "-2147483648" << 0 << 1 << "-2147483648" << 0;
    }
    void stepping()
    {
        QFETCH(int, minValue);
        QFETCH(int, maxValue);
        QFETCH(int, increment);
        QFETCH(QString, start);
        QFETCH(int, ups);
        QFETCH(int, downs);
        QFETCH(QString, expected);
        QFETCH(int, changes);
        TCSpinEdit spin;
        spin.setMinValue(minValue);
        spin.setMaxValue(maxValue);
        spin.setIncrement(increment);
        spin.setText(start);
        QSignalSpy spy(&spin, &TCSpinEdit::OnChange);
        for (int i = 0; i < ups; ++i)
            spin.upClick();
        for (int i = 0; i < downs; ++i)
            spin.downClick();
        QCOMPARE(spin.text(), expected);
        QCOMPARE(spy.count(), changes);
        QCOMPARE(beeps, 0);
    }

    void readOnlyStepOnlyBeeps()
    {
        SpinWindow w;
        QVERIFY(w.ready());
        w.spin->setText(QStringLiteral("4"));
        w.spin->setReadOnly(true);
        w.changes.clear();
        w.spin->upClick();
        w.spin->downClick();
        QTest::keyClick(w.spin, Qt::Key_Up);
        QTest::mouseClick(w.arrow("UpButton"), Qt::LeftButton);
        QCOMPARE(beeps, 4);
        QCOMPARE(w.spin->text(), QStringLiteral("4"));
        QCOMPARE(w.changes.count(), 0);
    }

    void onChangeOnlyOnRealChange()
    {
        TCSpinEdit spin;
        QSignalSpy changes(&spin, &TCSpinEdit::OnChange);
        spin.setText(QStringLiteral("0"));
        spin.setValue(0);
        QCOMPARE(changes.count(), 0);
        spin.setValue(7);
        QCOMPARE(changes.count(), 1);
        spin.setText(QStringLiteral("7"));
        spin.setValue(7);
        QCOMPARE(changes.count(), 1);
        spin.setText(QStringLiteral("07"));
        QCOMPARE(changes.count(), 2);
        // A handler that reads the value while the text is no number sees the reset
        // reported as a change of its own.
        QList<QString> seen;
        connect(&spin, &TCSpinEdit::OnChange, &spin, [&] {
            const int value = spin.value();
            seen << QString::number(value) + QLatin1Char('/') + spin.text();
        });
        spin.setText(QString());
        QCOMPARE(seen, (QList<QString>{QStringLiteral("0/0"), QStringLiteral("0/0")}));
        QCOMPARE(spin.text(), QStringLiteral("0"));
    }

    void typing_data()
    {
        QTest::addColumn<bool>("editorEnabled");
        QTest::addColumn<QString>("start");
        QTest::addColumn<QTestEventList>("events");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<int>("beeps");

        auto keys = [](const QString &text) {
            QTestEventList events;
            events.addKeyClicks(text);
            return events;
        };
        auto key = [](Qt::Key k, Qt::KeyboardModifiers mods = Qt::NoModifier) {
            QTestEventList events;
            events.addKeyClick(k, mods);
            return events;
        };
        const QString point = QLocale().decimalPoint();
        QTestEventList homeDelete;
        homeDelete.addKeyClick(Qt::Key_Home);
        homeDelete.addKeyClick(Qt::Key_Delete);
        QTestEventList upUpUpDown;
        upUpUpDown.addKeyClick(Qt::Key_Up);
        upUpUpDown.addKeyClick(Qt::Key_Up);
        upUpUpDown.addKeyClick(Qt::Key_Up);
        upUpUpDown.addKeyClick(Qt::Key_Down);

        QTest::newRow("digits and signs") << true << "" << keys(QStringLiteral("-12+")) << "-12+" << 0;
        QTest::newRow("letters refused") << true << "" << keys(QStringLiteral("1a2 b")) << "12" << 3;
        QTest::newRow("decimal point typed")
            << true << "" << keys(QStringLiteral("1") + point + QStringLiteral("5"))
            << QStringLiteral("1") + point + QStringLiteral("5") << 0;
        QTest::newRow("Return refused") << true << "5" << key(Qt::Key_Return) << "5" << 1;
        QTest::newRow("Enter refused") << true << "5" << key(Qt::Key_Enter) << "5" << 1;
        QTest::newRow("Backspace deletes") << true << "57" << key(Qt::Key_Backspace) << "5" << 0;
        QTest::newRow("Delete deletes") << true << "57" << homeDelete << "7" << 0;
        QTest::newRow("Up and Down keys step") << true << "0" << upUpUpDown << "2" << 0;
        QTest::newRow("select all and type")
            << true << "57" << key(Qt::Key_A, Qt::ControlModifier) << "57" << 0;
        QTest::newRow("locked: digits refused") << false << "5" << keys(QStringLiteral("12")) << "5" << 2;
        QTest::newRow("locked: Backspace refused") << false << "57" << key(Qt::Key_Backspace) << "57" << 1;
        QTest::newRow("locked: Return refused") << false << "5" << key(Qt::Key_Return) << "5" << 1;
        QTest::newRow("locked: Delete does nothing") << false << "57" << homeDelete << "57" << 0;
        QTest::newRow("locked: Ctrl+Z does nothing")
            << false << "57" << key(Qt::Key_Z, Qt::ControlModifier) << "57" << 0;
        QTest::newRow("locked: Up and Down keys step") << false << "0" << upUpUpDown << "2" << 0;
    }
    void typing()
    {
        QFETCH(bool, editorEnabled);
        QFETCH(QString, start);
        QFETCH(QTestEventList, events);
        QFETCH(QString, expected);
        QFETCH(int, beeps);
        SpinWindow w;
        QVERIFY(w.ready());
        w.spin->setEditorEnabled(editorEnabled);
        w.spin->setFocus();
        // Something to undo, so that a working Ctrl+Z would show.
        w.spin->setText(start + QStringLiteral("9"));
        QTest::keyClick(w.spin, Qt::Key_End);
        w.spin->setText(start);
        w.spin->deselect();
        QSignalSpy returns(w.spin, &QLineEdit::returnPressed);
        events.simulate(w.spin);
        QCOMPARE(w.spin->text(), expected);
        QCOMPARE(::beeps, beeps);
        QCOMPARE(returns.count(), 0);
    }

    void pasteAndCut_data()
    {
        QTest::addColumn<bool>("editorEnabled");
        QTest::addColumn<bool>("readOnly");
        QTest::addColumn<bool>("allowed");
        QTest::newRow("editable") << true << false << true;
        QTest::newRow("editor disabled") << false << false << false;
        QTest::newRow("read-only") << true << true << false;
    }
    void pasteAndCut()
    {
        QFETCH(bool, editorEnabled);
        QFETCH(bool, readOnly);
        QFETCH(bool, allowed);
        SpinWindow w;
        QVERIFY(w.ready());
        w.spin->setEditorEnabled(editorEnabled);
        w.spin->setReadOnly(readOnly);
        w.spin->setFocus();
        QClipboard *clipboard = QGuiApplication::clipboard();

        // Pasted text is not filtered.
        clipboard->setText(QStringLiteral("4x"));
        w.spin->setText(QStringLiteral("12"));
        w.spin->selectAll();
        QTest::keyClick(w.spin, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(w.spin->text(), allowed ? QStringLiteral("4x") : QStringLiteral("12"));

        w.spin->setText(QStringLiteral("12"));
        w.spin->selectAll();
        QTest::keyClick(w.spin, Qt::Key_X, Qt::ControlModifier);
        QCOMPARE(w.spin->text(), allowed ? QString() : QStringLiteral("12"));
        QCOMPARE(clipboard->text(), allowed ? QStringLiteral("12") : QStringLiteral("4x"));
        QCOMPARE(beeps, 0);

        // The context menu offers the same.
        w.spin->setText(QStringLiteral("12"));
        w.spin->selectAll();
        QContextMenuEvent menuEvent(QContextMenuEvent::Keyboard, QPoint(5, 5),
                                    w.spin->mapToGlobal(QPoint(5, 5)));
        QCoreApplication::sendEvent(w.spin, &menuEvent);
        QPointer<QMenu> menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        QVERIFY(menu);
        const QStringList editing = {QStringLiteral("&Undo"), QStringLiteral("&Redo"), QStringLiteral("Cu&t"),
                                     QStringLiteral("&Paste"), QStringLiteral("Delete")};
        int offered = 0;
        for (QAction *action : menu->actions())
            offered += editing.contains(action->text().section(QLatin1Char('\t'), 0, 0));
        menu->close();
        QCOMPARE(offered, allowed ? editing.size() : 0);
    }

    void focusIn_data()
    {
        QTest::addColumn<bool>("autoSelect");
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("selected");
        QTest::newRow("Tab selects") << true << "tab" << true;
        QTest::newRow("program focus selects") << true << "other" << true;
        QTest::newRow("left click does not select") << true << "left" << false;
        QTest::newRow("right press selects") << true << "right" << true;
        QTest::newRow("left press on arrow does not select") << true << "arrow" << false;
        QTest::newRow("Tab without AutoSelect") << false << "tab" << false;
        QTest::newRow("program focus without AutoSelect") << false << "other" << false;
    }
    void focusIn()
    {
        QFETCH(bool, autoSelect);
        QFETCH(QString, how);
        QFETCH(bool, selected);
        SpinWindow w;
        QVERIFY(w.ready());
        w.spin->setAutoSelect(autoSelect);
        w.spin->setText(QStringLiteral("1234"));
        w.other->setFocus();
        QVERIFY(w.other->hasFocus());
        if (how == QLatin1String("tab")) {
            w.spin->setFocus(Qt::TabFocusReason);
        } else if (how == QLatin1String("other")) {
            w.spin->setFocus(Qt::OtherFocusReason);
        } else if (how == QLatin1String("left")) {
            QTest::mousePress(w.spin, Qt::LeftButton, {}, QPoint(4, w.spin->height() / 2));
            QVERIFY(w.spin->hasFocus());
            QCOMPARE(w.spin->hasSelectedText(), selected);
            QTest::mouseRelease(w.spin, Qt::LeftButton, {}, QPoint(4, w.spin->height() / 2));
        } else if (how == QLatin1String("right")) {
            QTest::mousePress(w.spin, Qt::RightButton, {}, QPoint(4, w.spin->height() / 2));
            QVERIFY(w.spin->hasFocus());
            QCOMPARE(w.spin->hasSelectedText(), selected);
            QTest::mouseRelease(w.spin, Qt::RightButton, {}, QPoint(4, w.spin->height() / 2));
        } else {
            TTimerSpeedButton *up = w.arrow("UpButton");
            QTest::mousePress(up, Qt::LeftButton);
            QVERIFY(w.spin->hasFocus());
            QCOMPARE(w.spin->hasSelectedText(), selected);
            QTest::mouseRelease(up, Qt::LeftButton);
            return;
        }
        QVERIFY(w.spin->hasFocus());
        QCOMPARE(w.spin->hasSelectedText(), selected);
        if (selected)
            QCOMPARE(w.spin->selectedText(), QStringLiteral("1234"));
    }

    void leavingPullsToLimits_data()
    {
        QTest::addColumn<int>("minValue");
        QTest::addColumn<int>("maxValue");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("afterLeaving");
        QTest::newRow("above upper limit") << 1 << 10 << "25"
                                           << "10";
        QTest::newRow("below lower limit") << 1 << 10 << "-4"
                                           << "1";
        QTest::newRow("inside limits") << 1 << 10 << "7"
                                       << "7";
        QTest::newRow("no limits") << 0 << 0 << "25"
                                   << "25";
        QTest::newRow("lone sign becomes minimum") << 1 << 10 << "-"
                                                   << "1";
    }
    void leavingPullsToLimits()
    {
        QFETCH(int, minValue);
        QFETCH(int, maxValue);
        QFETCH(QString, typed);
        QFETCH(QString, afterLeaving);
        SpinWindow w;
        QVERIFY(w.ready());
        w.spin->setMinValue(minValue);
        w.spin->setMaxValue(maxValue);
        w.other->setFocus();
        w.spin->setFocus(Qt::TabFocusReason);
        QVERIFY(w.spin->hasSelectedText());
        QTest::keyClicks(w.spin, typed);
        // Typing itself is never limited.
        QCOMPARE(w.spin->text(), typed);
        w.other->setFocus(Qt::TabFocusReason);
        QVERIFY(w.other->hasFocus());
        QCOMPARE(w.spin->text(), afterLeaving);
    }

    void pairLayout_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QSize>("pairSize");
        QTest::addColumn<QRect>("upper");
        QTest::addColumn<QRect>("lower");
        QTest::newRow("new pair") << QSize() << QSize(20, 25) << QRect(0, 0, 20, 12) << QRect(0, 11, 20, 14);
        QTest::newRow("odd height") << QSize(15, 17) << QSize(15, 17) << QRect(0, 0, 15, 8)
                                    << QRect(0, 7, 15, 10);
        QTest::newRow("even height") << QSize(16, 20) << QSize(16, 20) << QRect(0, 0, 16, 10)
                                     << QRect(0, 9, 16, 11);
        QTest::newRow("too narrow") << QSize(10, 9) << QSize(15, 9) << QRect(0, 0, 15, 4)
                                    << QRect(0, 3, 15, 6);
    }
    void pairLayout()
    {
        QFETCH(QSize, size);
        QFETCH(QSize, pairSize);
        QFETCH(QRect, upper);
        QFETCH(QRect, lower);
        TCSpinButton pair;
        if (size.isValid())
            pair.resize(size);
        pair.show();
        QVERIFY(QTest::qWaitForWindowExposed(&pair));
        QCOMPARE(pair.size(), pairSize);
        QCOMPARE(pair.findChild<TTimerSpeedButton *>(QStringLiteral("UpButton"))->geometry(), upper);
        QCOMPARE(pair.findChild<TTimerSpeedButton *>(QStringLiteral("DownButton"))->geometry(), lower);
    }

    void boxLayout_data()
    {
        QTest::addColumn<int>("pixelSize");
        QTest::newRow("small font") << 11;
        QTest::newRow("large font") << 30;
    }
    void boxLayout()
    {
        QFETCH(int, pixelSize);
        QWidget window;
        auto *spin = new TCSpinEdit(&window);
        QFont font = spin->font();
        font.setPixelSize(pixelSize);
        spin->setFont(font);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        const int h = spin->fontMetrics().height();
        const int s = QFontMetrics(QFontDatabase::systemFont(QFontDatabase::GeneralFont)).height();
        const int minHeight = h + std::min(s, h) / 4 + 4 + 2;
        spin->resize(117, 5);
        QCOMPARE(spin->height(), minHeight);
        spin->resize(117, minHeight + 10);
        QCOMPARE(spin->height(), minHeight + 10);

        // The pair keeps its width and stands inside the frame at the right.
        const QRect pair = spin->findChild<TCSpinButton *>()->geometry();
        QCOMPARE(pair.width(), 15);
        QVERIFY(pair.right() < spin->width() - 1);
        QVERIFY(pair.right() >= spin->width() - 6);
        QVERIFY(pair.top() >= 0 && pair.bottom() < spin->height() - 1);
        QVERIFY(pair.height() >= spin->height() - 6);

        // A long number scrolls within the text area and never runs under the arrows.
        spin->setText(QStringLiteral("12345678901234567890"));
        spin->end(false);
        spin->repaint();
        QVERIFY(spin->inputMethodQuery(Qt::ImCursorRectangle).toRect().center().x() < pair.left());
        spin->home(false);
        spin->repaint();
        QVERIFY(spin->inputMethodQuery(Qt::ImCursorRectangle).toRect().center().x() >= 0);

        // Without a frame the pair takes the full height at the very right.
        spin->setFrame(false);
        spin->resize(100, minHeight + 4);
        QCOMPARE(spin->findChild<TCSpinButton *>()->geometry(), QRect(100 - 15, 0, 15, minHeight + 4));
    }

    void arrowClicks()
    {
        SpinWindow w;
        QVERIFY(w.ready());
        w.other->setFocus();
        TTimerSpeedButton *up = w.arrow("UpButton");
        TTimerSpeedButton *down = w.arrow("DownButton");
        QTest::mouseClick(up, Qt::LeftButton);
        QVERIFY(w.spin->hasFocus());
        QCOMPARE(w.spin->text(), QStringLiteral("1"));
        QTest::mouseClick(down, Qt::LeftButton);
        QTest::mouseClick(down, Qt::LeftButton);
        QCOMPARE(w.spin->text(), QStringLiteral("-1"));
        QCOMPARE(w.changes.count(), 3);
        // The arrows never show a focus frame in a spin edit.
        QVERIFY(!up->showFocusFrame() && !down->showFocusFrame());
    }

    void rightPressOnArrowChangesNothing()
    {
        SpinWindow w;
        QVERIFY(w.ready());
        TTimerSpeedButton *up = w.arrow("UpButton");
        QTest::mousePress(up, Qt::RightButton);
        QVERIFY(!up->isDown());
        // Its timer runs but never clicks.
        QTimer *timer = up->findChild<QTimer *>();
        QVERIFY(timer && timer->isActive());
        for (int i = 0; i < 10; ++i)
            expire(timer);
        QTest::mouseRelease(up, Qt::RightButton);
        QVERIFY(!timer->isActive());
        QCOMPARE(w.spin->text(), QStringLiteral("0"));
        QCOMPARE(w.changes.count(), 0);
        QVERIFY(QApplication::activePopupWidget() == nullptr);
    }

    // Runs the arrow's repeat timer on a simulated clock: each tick is delivered when
    // the interval the timer is set to has passed, so the count comes from the
    // button's own timer handling.
    void autoRepeat_data()
    {
        QTest::addColumn<int>("holdMs");
        QTest::addColumn<int>("offAt");
        QTest::addColumn<int>("backAt");
        QTest::addColumn<int>("steps");
        QTest::newRow("short click") << 50 << -1 << -1 << 1;
        QTest::newRow("held 399 ms") << 399 << -1 << -1 << 1;
        QTest::newRow("held 400 ms") << 400 << -1 << -1 << 2;
        QTest::newRow("held 1050 ms") << 1050 << -1 << -1 << 8;
        QTest::newRow("pointer off from 650 to 850 ms") << 1050 << 650 << 850 << 6;
        QTest::newRow("released off the arrow") << 1050 << 1020 << -1 << 7;
        QTest::newRow("off before the first tick") << 1050 << 100 << -1 << 0;
    }
    void autoRepeat()
    {
        QFETCH(int, holdMs);
        QFETCH(int, offAt);
        QFETCH(int, backAt);
        QFETCH(int, steps);
        SpinWindow w;
        QVERIFY(w.ready());
        TTimerSpeedButton *up = w.arrow("UpButton");
        const QPoint over = up->rect().center();
        const QPoint off(over.x(), up->height() + 40);

        QTest::mousePress(up, Qt::LeftButton, {}, over);
        QTimer *timer = up->findChild<QTimer *>();
        QVERIFY(timer && timer->isActive());
        bool pointerOver = true;
        int nextTick = timer->interval();
        for (int now = 1; now <= holdMs; ++now) {
            if (now == offAt || now == backAt) {
                pointerOver = now == backAt;
                QTest::mouseMove(up, pointerOver ? over : off);
                QCOMPARE(up->isDown(), pointerOver);
            }
            if (now == nextTick) {
                QVERIFY(timer->isActive());
                expire(timer);
                nextTick = now + timer->interval();
            }
        }
        QTest::mouseRelease(up, Qt::LeftButton, {}, pointerOver ? over : off);
        QVERIFY(!timer->isActive());
        QCOMPARE(w.spin->text(), QString::number(steps));
        QCOMPARE(w.changes.count(), steps);
    }

    void autoRepeatRunsOnItsTimer()
    {
        SpinWindow w;
        QVERIFY(w.ready());
        TTimerSpeedButton *up = w.arrow("UpButton");
        QTest::mousePress(up, Qt::LeftButton);
        QTest::qWait(200);
        QCOMPARE(w.spin->text(), QStringLiteral("0"));
        QTRY_VERIFY_WITH_TIMEOUT(w.spin->value() >= 3, 5000);
        QTest::mouseRelease(up, Qt::LeftButton);
        const int released = w.spin->value();
        QTest::qWait(300);
        QCOMPARE(w.spin->value(), released);
    }

    void pairWithOwnFocus()
    {
        QWidget window;
        auto *pair = new TCSpinButton(&window);
        auto *other = new QLineEdit(&window);
        other->move(0, 40);
        pair->setTabStop(true);
        QSignalSpy ups(pair, &TCSpinButton::OnUpClick);
        QSignalSpy downs(pair, &TCSpinButton::OnDownClick);
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        auto *up = pair->findChild<TTimerSpeedButton *>(QStringLiteral("UpButton"));
        auto *down = pair->findChild<TTimerSpeedButton *>(QStringLiteral("DownButton"));

        pair->setFocus(Qt::TabFocusReason);
        QVERIFY(up->showFocusFrame() && !down->showFocusFrame());
        QTest::keyClick(pair, Qt::Key_Down);
        QVERIFY(!up->showFocusFrame() && down->showFocusFrame());
        QTest::keyClick(pair, Qt::Key_Space);
        QCOMPARE(downs.count(), 2);
        QCOMPARE(downs.at(0).at(0).value<TCSpinButton *>(), pair);
        QTest::keyClick(pair, Qt::Key_Up);
        QCOMPARE(ups.count(), 1);
        QVERIFY(up->showFocusFrame());

        other->setFocus();
        QVERIFY(!up->showFocusFrame() && !down->showFocusFrame());
        // A press on an arrow brings the focus back to the pair, on that arrow.
        QTest::mouseClick(down, Qt::LeftButton);
        QVERIFY(pair->hasFocus());
        QVERIFY(down->showFocusFrame() && !up->showFocusFrame());
        QCOMPARE(downs.count(), 3);
    }

    void decimalsOffByDefault()
    {
        SpinWindow w;
        QVERIFY(w.ready());
        QCOMPARE(w.spin->decimals(), 0);
        w.spin->setFocus();
        // Modifiers change nothing for whole numbers; a decimal text still resets.
        QTest::keyClick(w.spin, Qt::Key_Up, Qt::ShiftModifier);
        QCOMPARE(w.spin->text(), QStringLiteral("1"));
        w.spin->setText(QStringLiteral("1.5"));
        QCOMPARE(w.spin->number(), std::optional<double>());
        QCOMPARE(w.spin->value(), 0);
        QCOMPARE(w.spin->text(), QStringLiteral("0"));
    }

    void decimalReading_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("found");
        QTest::addColumn<double>("number");
        QTest::addColumn<int>("value");
        // Limits 3..9: value() gives MinValue for a text without a number.
        QTest::newRow("decimal") << "1.5" << true << 1.5 << 2;
        QTest::newRow("sign and leading point") << "-.25" << true << -0.25 << 0;
        QTest::newRow("leading spaces") << "  7" << true << 7.0 << 7;
        QTest::newRow("trailing point") << "4." << true << 4.0 << 4;
        QTest::newRow("empty: no number") << "" << false << 0.0 << 3;
        QTest::newRow("lone sign: no number") << "-" << false << 0.0 << 3;
        QTest::newRow("lone point: no number") << "." << false << 0.0 << 3;
        QTest::newRow("two points: no number") << "1.2.3" << false << 0.0 << 3;
        QTest::newRow("unit: no number") << "12px" << false << 0.0 << 3;
        QTest::newRow("exponent: no number") << "1e3" << false << 0.0 << 3;
    }
    void decimalReading()
    {
        QFETCH(QString, text);
        QFETCH(bool, found);
        QFETCH(double, number);
        QFETCH(int, value);
        TCSpinEdit spin;
        spin.setDecimals(4);
        spin.setMinValue(3);
        spin.setMaxValue(9);
        spin.setText(text);
        QSignalSpy changes(&spin, &TCSpinEdit::OnChange);
        const std::optional<double> read = spin.number();
        QCOMPARE(read.has_value(), found);
        if (found)
            QCOMPARE(*read, number);
        QCOMPARE(spin.value(), value);
        // Reading never touches the text in decimal mode: no reset, no change.
        QCOMPARE(spin.text(), text);
        QCOMPARE(changes.count(), 0);
    }

    void decimalSteps_data()
    {
        QTest::addColumn<QString>("start");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QString>("expected");
        const int none = Qt::NoModifier;
        const int shift = Qt::ShiftModifier;
        const int alt = Qt::AltModifier;
        QTest::newRow("up keeps decimals") << "0.67" << int(Qt::Key_Up) << none << "1.67";
        QTest::newRow("whole number stays whole") << "12" << int(Qt::Key_Up) << none << "13";
        QTest::newRow("shift steps ten") << "12" << int(Qt::Key_Up) << shift << "22";
        QTest::newRow("shift down below zero") << "5" << int(Qt::Key_Down) << shift << "-5";
        QTest::newRow("alt steps a tenth without noise") << "0.2" << int(Qt::Key_Up) << alt << "0.3";
        QTest::newRow("alt on a whole number") << "12" << int(Qt::Key_Down) << alt << "11.9";
        QTest::newRow("down to zero, no minus") << "-0.1" << int(Qt::Key_Up) << alt << "0";
        QTest::newRow("shift and alt: plain step") << "1" << int(Qt::Key_Up) << (shift | alt) << "2";
        QTest::newRow("no number starts at minimum") << "" << int(Qt::Key_Up) << none << "1";
        QTest::newRow("more decimals than Decimals kept")
            << "0.123456" << int(Qt::Key_Up) << none << "1.123456";
        QTest::newRow("leading point") << ".5" << int(Qt::Key_Up) << none << "1.5";
    }
    void decimalSteps()
    {
        QFETCH(QString, start);
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(QString, expected);
        SpinWindow w;
        QVERIFY(w.ready());
        w.spin->setDecimals(4);
        w.spin->setFocus();
        w.spin->setText(start);
        w.changes.clear();
        QTest::keyClick(w.spin, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QCOMPARE(w.spin->text(), expected);
        QCOMPARE(w.changes.count(), 1);
        QCOMPARE(beeps, 0);
    }

    // The arrows and the wheel step with the modifiers held, as the keys do.
    void decimalStepSources()
    {
        SpinWindow w;
        QVERIFY(w.ready());
        w.spin->setDecimals(2);
        w.spin->setText(QStringLiteral("1"));
        QTest::mouseClick(w.arrow("UpButton"), Qt::LeftButton, Qt::ShiftModifier);
        QCOMPARE(w.spin->text(), QStringLiteral("11"));
        QTest::mouseClick(w.arrow("DownButton"), Qt::LeftButton, Qt::AltModifier);
        QCOMPARE(w.spin->text(), QStringLiteral("10.9"));
        QTest::mouseClick(w.arrow("UpButton"), Qt::LeftButton);
        QCOMPARE(w.spin->text(), QStringLiteral("11.9"));

        auto wheel = [&](int angle, Qt::KeyboardModifiers modifiers) {
            const QPointF at(5, 5);
            QWheelEvent event(at, w.spin->mapToGlobal(at), QPoint(), QPoint(0, angle), Qt::NoButton,
                              modifiers, Qt::NoScrollPhase, false);
            QCoreApplication::sendEvent(w.spin, &event);
        };
        QVERIFY(w.spin->hasFocus());
        wheel(120, Qt::AltModifier);
        QCOMPARE(w.spin->text(), QStringLiteral("12"));
        wheel(-120, Qt::NoModifier);
        QCOMPARE(w.spin->text(), QStringLiteral("11"));
        // Without the focus the wheel leaves the number alone.
        w.other->setFocus();
        wheel(120, Qt::NoModifier);
        QCOMPARE(w.spin->text(), QStringLiteral("11"));
        // On a read-only box a step only beeps.
        w.spin->setReadOnly(true);
        QTest::mouseClick(w.arrow("UpButton"), Qt::LeftButton, Qt::ShiftModifier);
        QCOMPARE(w.spin->text(), QStringLiteral("11"));
        QCOMPARE(beeps, 1);
    }

    void decimalTypingAndLeaving_data()
    {
        QTest::addColumn<int>("minValue");
        QTest::addColumn<int>("maxValue");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("afterLeaving");
        QTest::newRow("decimal inside limits") << 1 << 10 << "2.75"
                                               << "2.75";
        QTest::newRow("above upper limit") << 1 << 10 << "25.5"
                                           << "10";
        QTest::newRow("below lower limit") << 1 << 10 << "0.5"
                                           << "1";
        QTest::newRow("emptied box stays empty") << 1 << 10 << ""
                                                 << "";
        QTest::newRow("lone sign stays") << 1 << 10 << "-"
                                         << "-";
    }
    void decimalTypingAndLeaving()
    {
        QFETCH(int, minValue);
        QFETCH(int, maxValue);
        QFETCH(QString, typed);
        QFETCH(QString, afterLeaving);
        SpinWindow w;
        QVERIFY(w.ready());
        w.spin->setDecimals(4);
        w.spin->setMinValue(minValue);
        w.spin->setMaxValue(maxValue);
        w.spin->setText(QStringLiteral("5"));
        w.other->setFocus();
        w.spin->setFocus(Qt::TabFocusReason);
        QVERIFY(w.spin->hasSelectedText());
        QTest::keyClick(w.spin, Qt::Key_Delete);
        QTest::keyClicks(w.spin, typed);
        QCOMPARE(w.spin->text(), typed);
        QCOMPARE(beeps, 0);
        w.other->setFocus(Qt::TabFocusReason);
        QCOMPARE(w.spin->text(), afterLeaving);
    }

    void setNumber()
    {
        TCSpinEdit spin;
        spin.setDecimals(2);
        QSignalSpy changes(&spin, &TCSpinEdit::OnChange);
        spin.setNumber(0.1 + 0.2);
        QCOMPARE(spin.text(), QStringLiteral("0.3"));
        spin.setNumber(1.005e-3);
        QCOMPARE(spin.text(), QStringLiteral("0"));
        spin.setNumber(std::numeric_limits<double>::quiet_NaN());
        QCOMPARE(spin.text(), QStringLiteral("0"));
        spin.setMinValue(-1);
        spin.setMaxValue(1);
        spin.setNumber(-7.5);
        QCOMPARE(spin.text(), QStringLiteral("-1"));
        QCOMPARE(changes.count(), 3);
    }

    void glyphs()
    {
        TCSpinButton pair;
        const QImage up = pair.upGlyph().toImage();
        const QImage down = pair.downGlyph().toImage();
        QCOMPARE(up.size(), QSize(9, 6));
        QCOMPARE(down.size(), QSize(9, 6));
        for (int y = 0; y < 6; ++y) {
            for (int x = 0; x < 9; ++x) {
                const bool black = y >= 1 && y <= 4 && std::abs(x - 4) <= y - 1;
                QCOMPARE(up.pixelColor(x, y), black ? QColor(Qt::black) : QColor(Qt::transparent));
                QCOMPARE(down.pixelColor(x, 5 - y), up.pixelColor(x, y));
            }
        }

        // An opaque picture has its bottom-left colour drawn transparent.
        QPixmap custom(5, 4);
        custom.fill(Qt::red);
        {
            QPainter painter(&custom);
            painter.fillRect(2, 1, 1, 1, Qt::blue);
        }
        pair.setUpGlyph(custom);
        const QImage shown = pair.upGlyph().toImage();
        QCOMPARE(shown.size(), QSize(5, 4));
        QCOMPARE(shown.pixelColor(0, 0).alpha(), 0);
        QCOMPARE(shown.pixelColor(2, 1), QColor(Qt::blue));
        pair.setUpGlyph(QPixmap());
        QCOMPARE(pair.upGlyph().toImage(), up);
    }
};

LW_TEST_CLASS(TestSpinEdit)
#include "TestSpinEdit.moc"
