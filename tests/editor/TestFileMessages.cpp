#include "DialogAnswerer.h"
#include "EditorFixture.h"
#include "StyleSheetWriter.h"
#include "TCodeForm.h"
#include "TMainForm.h"
#include "TestRegistry.h"

#include <QDir>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using namespace EditorFixture;

namespace {

const QString Arrow = QStringLiteral("\u2192");

// Expects the question before a save that the file's encoding cannot hold, and
// presses "Save as UTF-8" or Cancel.
void expectUtf8Question(DialogAnswerer &answer, bool saveAsUtf8)
{
    answer.on<QMessageBox>([saveAsUtf8](QMessageBox *box) {
        QCOMPARE(box->windowTitle(), QStringLiteral("Loomwright CSS"));
        QCOMPARE(box->icon(), QMessageBox::Question);
        QCOMPARE(box->text(), QStringLiteral("This style sheet holds characters that cannot be saved in "
                                             "windows-1252, such as \"\u2192\" (U+2192). Do you want to save "
                                             "it as UTF-8?"));
        QPushButton *utf8 = nullptr;
        for (QAbstractButton *button : box->buttons())
            if (button->text() == QLatin1String("Save as UTF-8"))
                utf8 = qobject_cast<QPushButton *>(button);
        QVERIFY(utf8);
        QVERIFY(box->button(QMessageBox::Cancel));
        QCOMPARE(box->buttons().size(), 2);
        if (saveAsUtf8)
            utf8->click();
        else
            DialogAnswerer::press(box, QMessageBox::Cancel);
    });
}

} // namespace

class TestFileMessages : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { prepareApplication(); }

    void saveAsksBeforeChangingTheEncoding_data()
    {
        QTest::addColumn<bool>("codeWindow");
        QTest::addColumn<bool>("saveAsUtf8");
        QTest::newRow("main window, Save as UTF-8") << false << true;
        QTest::newRow("main window, Cancel") << false << false;
        QTest::newRow("code window, Save as UTF-8") << true << true;
        QTest::newRow("code window, Cancel") << true << false;
    }

    // A windows-1252 file (the "é" as one byte) gains a character it cannot hold: Save
    // asks first; UTF-8 writes the whole file in UTF-8, Cancel leaves it as it was.
    void saveAsksBeforeChangingTheEncoding()
    {
        QFETCH(bool, codeWindow);
        QFETCH(bool, saveAsUtf8);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("site.css"));
        const QByteArray original = "P {content=\"caf\xE9\";}";
        writeFile(path, original);
        const QString edited = QStringLiteral("P {content=\"caf\u00E9 %1\";}").arg(Arrow);

        if (codeWindow) {
            const TextFile::Loaded loaded = TextFile::load(path);
            QCOMPARE(loaded.encoding, TextFile::Encoding::Windows1252);
            TCodeForm code;
            code.start(path, loaded.text, loaded.encoding);
            code.show();
            QTRY_VERIFY(!code.isFilling());
            code.Code->selectAll();
            code.Code->insertPlainText(edited);
            QVERIFY(code.isCodeModified());
            DialogAnswerer answer;
            expectUtf8Question(answer, saveAsUtf8);
            code.SaveClick();
            QVERIFY2(answer.done(), qPrintable(answer.report()));
            QCOMPARE(code.isCodeModified(), !saveAsUtf8);
            QCOMPARE(code.reloadOnClose(), saveAsUtf8);
            if (saveAsUtf8)
                QCOMPARE(code.statusText(), QStringLiteral("Saved as UTF-8"));
        } else {
            const auto form = startMainWindow(path);
            QVERIFY(form);
            QCOMPARE(form->document().encoding(), TextFile::Encoding::Windows1252);
            const QModelIndex content =
                findNode(*form, QStringLiteral("P"), QStringLiteral("content=\"caf\u00E9\""));
            QVERIFY(content.isValid());
            QVERIFY(form->document().elements().setData(
                content, QStringLiteral("content=\"caf\u00E9 %1\"").arg(Arrow), Qt::EditRole));
            QCOMPARE(StyleSheetWriter::styleSheetText(form->document()), edited);
            DialogAnswerer answer;
            expectUtf8Question(answer, saveAsUtf8);
            form->FinishClick();
            QVERIFY2(answer.done(), qPrintable(answer.report()));
            QCOMPARE(form->document().encoding(),
                     saveAsUtf8 ? TextFile::Encoding::Utf8 : TextFile::Encoding::Windows1252);
            // Saved: no mark of unsaved changes; cancelled: the edit is still unsaved.
            QCOMPARE(form->windowTitle(), QStringLiteral("Loomwright CSS - ") +
                                              (saveAsUtf8 ? QString() : QStringLiteral("*")) + path +
                                              (saveAsUtf8 ? QStringLiteral(" (saved as UTF-8)") : QString()));
            // Saved once in UTF-8, the next save asks nothing.
            if (saveAsUtf8) {
                DialogAnswerer none;
                form->FinishClick();
                QVERIFY2(none.done(), qPrintable(none.report()));
                QCOMPARE(none.answered(), 0);
            }
        }
        QCOMPARE(readFile(path), saveAsUtf8 ? edited.toUtf8() : original);
    }

    void unreadableFileSaysWhy_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("reason");
        QTest::newRow("missing") << QStringLiteral("missing.css")
                                 << QStringLiteral("No such file or directory");
        QTest::newRow("folder") << QStringLiteral("folder.css")
                                << QStringLiteral("It is a folder, not a regular file");
    }

    void unreadableFileSaysWhy()
    {
        QFETCH(QString, name);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder.css")));
        const QString path = dir.filePath(name);
        const auto form = startMainWindow();
        QVERIFY(form);
        DialogAnswerer answer;
        answer.on<QMessageBox>([&](QMessageBox *box) {
            QCOMPARE(box->text(), QStringLiteral("Invalid or corrupt style sheet file"));
            QCOMPARE(box->windowTitle(), QStringLiteral("Error"));
            QCOMPARE(box->icon(), QMessageBox::Critical);
            QCOMPARE(box->informativeText(), QStringLiteral("Cannot open file \"%1\". %2").arg(path, reason));
            DialogAnswerer::press(box, QMessageBox::Ok);
        });
        QVERIFY(!form->readStyleSheet(path));
        QVERIFY2(answer.done(), qPrintable(answer.report()));
        QCOMPARE(answer.answered(), 1);
    }
};

LW_TEST_CLASS(TestFileMessages)
#include "TestFileMessages.moc"
