#include "DialogAnswerer.h"
#include "ExceptionBox.h"
#include "Failure.h"
#include "Strings.h"
#include "TestRegistry.h"

#include <QApplication>
#include <QTest>

class TestStrings : public QObject
{
    Q_OBJECT
private slots:
    void toInt_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<int>("value");
        QTest::newRow("plain") << "12" << true << 12;
        QTest::newRow("negative") << "-7" << true << -7;
        QTest::newRow("plus sign") << "+7" << true << 7;
        QTest::newRow("leading blanks") << "   5" << true << 5;
        QTest::newRow("dollar hex") << "$1F" << true << 31;
        QTest::newRow("0x hex") << "0x10" << true << 16;
        QTest::newRow("negative hex") << "-$10" << true << -16;
        QTest::newRow("hex full pattern") << "$FFFFFFFF" << true << -1;
        QTest::newRow("largest") << "2147483647" << true << 2147483647;
        QTest::newRow("smallest") << "-2147483648" << true << int(-2147483648LL);
        QTest::newRow("too large") << "2147483648" << false << 0;
        QTest::newRow("too small") << "-2147483649" << false << 0;
        QTest::newRow("unit") << "12px" << false << 0;
        QTest::newRow("decimal point") << "1.5" << false << 0;
        QTest::newRow("empty") << "" << false << 0;
        QTest::newRow("blanks only") << "  " << false << 0;
        QTest::newRow("sign only") << "-" << false << 0;
        QTest::newRow("trailing blank") << "5 " << false << 0;
        QTest::newRow("hex prefix only") << "$" << false << 0;
        QTest::newRow("non-ASCII digit") << QStringLiteral("\u0661") << false << 0;
    }
    void toInt()
    {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        QFETCH(int, value);
        try {
            const int result = Strings::toInt(text);
            QVERIFY2(valid, qPrintable(QStringLiteral("accepted: %1").arg(result)));
            QCOMPARE(result, value);
        } catch (const Failure &failure) {
            QVERIFY2(!valid, qPrintable(failure.message()));
            QCOMPARE(failure.message(), QStringLiteral("'%1' is not a valid integer value").arg(text));
        }
    }

    void trimmed_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::newRow("blanks and controls") << QStringLiteral("\t\r\n \x01x y\x1f ") << "x y";
        QTest::newRow("nothing to trim") << "a"
                                         << "a";
        QTest::newRow("only blanks") << " \r\n"
                                     << "";
        QTest::newRow("non-breaking space stays") << QStringLiteral("\u00a0a") << QStringLiteral("\u00a0a");
    }
    void trimmed()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(Strings::trimmed(text), expected);
    }

    void sameText()
    {
        QVERIFY(Strings::sameText(u"Color=Red", u"color=RED"));
        QVERIFY(Strings::sameText(u"\u00e9", u"\u00c9"));
        QVERIFY(!Strings::sameText(u"color=red", u"color=red "));
    }

    void exceptionBoxText_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("shown");
        QTest::newRow("ends in a letter") << "'12px' is not a valid integer value"
                                          << "'12px' is not a valid integer value.";
        QTest::newRow("ends in a digit") << "Error 5"
                                         << "Error 5.";
        QTest::newRow("ends in a full stop") << "Done."
                                             << "Done.";
        QTest::newRow("empty") << ""
                               << "";
    }
    void exceptionBoxText()
    {
        QFETCH(QString, message);
        QFETCH(QString, shown);
        QCOMPARE(ExceptionBox::text(message), shown);
    }

    // The guard shows a failure in the real message box and the program carries on.
    void guardShowsTheFailure()
    {
        QApplication::setApplicationDisplayName(QStringLiteral("Loomwright CSS"));
        DialogAnswerer answer;
        answer.on<QMessageBox>([](QMessageBox *box) {
            QCOMPARE(box->windowTitle(), QStringLiteral("Loomwright CSS"));
            QCOMPARE(box->text(), QStringLiteral("'x' is not a valid integer value."));
            QCOMPARE(box->icon(), QMessageBox::Critical);
            QCOMPARE(box->standardButtons(), QMessageBox::Ok);
            DialogAnswerer::press(box, QMessageBox::Ok);
        });
        bool after = false;
        const bool ok = ExceptionBox::guard(nullptr, [&] {
            Strings::toInt(QStringLiteral("x"));
            after = true;
        });
        QVERIFY2(answer.done(), qPrintable(answer.report()));
        QVERIFY(!ok);
        QVERIFY(!after);
        QVERIFY(ExceptionBox::guard(nullptr, [] {}));
    }
};

LW_TEST_CLASS(TestStrings)
#include "TestStrings.moc"
