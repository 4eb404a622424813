#include "DialogAnswerer.h"
#include "EditorFixture.h"
#include "StyleSheetWriter.h"
#include "TCodeForm.h"
#include "TMainForm.h"
#include "TestRegistry.h"

#include <QDir>
#include <QFileDialog>
#include <QFontInfo>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>

using namespace EditorFixture;

namespace {

void typeAtEnd(TCodeForm *code, const QString &text)
{
    code->Code->moveCursor(QTextCursor::End);
    QTest::keyClick(code->Code, Qt::Key_Return);
    QTest::keyClicks(code->Code, text);
}

void expectPrompt(DialogAnswerer &answer, QMessageBox::StandardButton button)
{
    answer.on<QMessageBox>([button](QMessageBox *box) {
        QCOMPARE(box->text(), QStringLiteral("Do you want to save the current style sheet?"));
        QCOMPARE(box->windowTitle(), QStringLiteral("Loomwright CSS"));
        QCOMPARE(box->icon(), QMessageBox::Question);
        DialogAnswerer::press(box, button);
    });
}

void expectFileDialog(DialogAnswerer &answer, const QString &title, const QString &chosen,
                      const QString &proposed = {})
{
    answer.on<QFileDialog>([title, chosen, proposed](QFileDialog *dialog) {
        QCOMPARE(dialog->windowTitle(), title);
        if (!proposed.isNull())
            QCOMPARE(dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->text(), proposed);
        if (chosen.isEmpty())
            DialogAnswerer::cancel(dialog);
        else
            DialogAnswerer::chooseFile(dialog, chosen);
    });
}

// Opens the code window with Edit Code; `act` drives it. `expect` lists the dialogs
// that the window's commands open, answered after the code window's own step by the
// same answerer.
void withCodeWindow(TMainForm &form, const std::function<void(DialogAnswerer &)> &expect,
                    const std::function<void(TCodeForm *)> &act)
{
    DialogAnswerer answer;
    answer.on<TCodeForm>([&act](TCodeForm *code) {
        act(code);
        QVERIFY(!code->isVisible());
    });
    expect(answer);
    form.CodeClick();
    QVERIFY2(answer.done(), qPrintable(answer.report()));
}

void withCodeWindow(TMainForm &form, const std::function<void(TCodeForm *)> &act)
{
    withCodeWindow(
        form, [](DialogAnswerer &) {}, act);
}

QString sheetText(TMainForm &form)
{
    return StyleSheetWriter::styleSheetText(form.document());
}

} // namespace

class TestCodeForm : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { prepareApplication(); }

    void showsTheSheetAsText()
    {
        const auto form = startMainWindow();
        QVERIFY(form);
        editDocument(*form);
        editDocument(*form, QStringLiteral("font-size=12"));
        const QString text = sheetText(*form);
        withCodeWindow(*form, [&text](TCodeForm *code) {
            QCOMPARE(code->windowTitle(), QStringLiteral("Style Sheet Code"));
            QVERIFY(code->isModal());
            QCOMPARE(code->pos(), QPoint(200, 108));
            QCOMPARE(code->size(), QSize(427, 273));
            QVERIFY(QFontInfo(code->Code->font()).fixedPitch());
            QCOMPARE(code->Code->lineWrapMode(), QPlainTextEdit::WidgetWidth);
            QCOMPARE(code->Close->text(), QStringLiteral("&Close"));
            QCOMPARE(code->New->text(), QStringLiteral("&New"));
            QCOMPARE(code->Open->text(), QStringLiteral("&Open..."));
            QCOMPARE(code->Save->text(), QStringLiteral("&Save..."));
            QCOMPARE(code->text(), QStringLiteral("BODY {color=red; font-size=12;}"));
            QCOMPARE(code->text(), text);
            QVERIFY(!code->isCodeModified());
            QCOMPARE(code->saveFileName(), QStringLiteral("Not Saved"));
            QVERIFY(!code->reloadOnClose());
            QCOMPARE(code->SaveDialog1->defaultSuffix(), QStringLiteral("css"));
            QCOMPARE(code->OpenDialog1->windowTitle(), QStringLiteral("Open Style Sheet"));
            // Esc does not close the window.
            QTest::keyClick(code->Code, Qt::Key_Escape);
            QVERIFY(code->isVisible());
            code->CloseClick();
        });
        QVERIFY(form->document().isModified());
        QCOMPARE(sheetText(*form), text);
        QCOMPARE(form->windowTitle(), QStringLiteral("Loomwright CSS - Not Saved"));
    }

    void saveOverTheSheetsFileThenCloseReloadsIt()
    {
        QTemporaryDir dir;
        const QString sheet = dir.filePath(QStringLiteral("sheet.css"));
        writeFile(sheet, "BODY {color=red;}");
        const auto form = startMainWindow(sheet);
        QVERIFY(form);
        withCodeWindow(*form, [](TCodeForm *code) { // no dialog: the file exists
            typeAtEnd(code, QStringLiteral("H1 {color=blue;}"));
            QVERIFY(code->isCodeModified());
            code->SaveClick();
            QVERIFY(!code->isCodeModified());
            QVERIFY(code->reloadOnClose());
            code->CloseClick();
        });
        QCOMPARE(readFile(sheet), QByteArray("BODY {color=red;}\r\nH1 {color=blue;}"));
        QCOMPARE(sheetText(*form), QStringLiteral("BODY {color=red;}\r\nH1 {color=blue;}"));
        QCOMPARE(form->windowTitle(), QStringLiteral("Loomwright CSS - ") + sheet);
        QVERIFY(!form->document().isModified());
    }

    void saveWithoutFileProposesNotSaved()
    {
        const auto form = startMainWindow();
        QVERIFY(form);
        withCodeWindow(
            *form,
            [](DialogAnswerer &answer) {
                expectFileDialog(answer, QStringLiteral("Save Style Sheet"), {}, QStringLiteral("Not Saved"));
            },
            [](TCodeForm *code) {
                code->SaveClick();
                QVERIFY(!code->reloadOnClose());
                code->CloseClick();
            });
    }

    void closeWithoutSaveOrOpenReadsNothing()
    {
        QTemporaryDir dir;
        const QString saved = dir.filePath(QStringLiteral("saved.css"));
        const auto form = startMainWindow();
        QVERIFY(form);
        editDocument(*form);
        // An earlier code window saves a file, which is read back.
        withCodeWindow(
            *form,
            [&saved](DialogAnswerer &answer) {
                expectFileDialog(answer, QStringLiteral("Save Style Sheet"), saved);
            },
            [](TCodeForm *code) {
                code->SaveClick();
                code->CloseClick();
            });
        QCOMPARE(form->document().currentFileName(), saved);
        writeFile(saved, "P {color=green;}");
        withCodeWindow(*form, [](TCodeForm *code) { code->CloseClick(); });
        QCOMPARE(sheetText(*form), QStringLiteral("BODY {color=red;}"));
    }

    void openThenCloseMakesTheFileTheMainWindows()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("mixed.css"));
        writeFile(path, "P {color=red;}\nH1 {font-size=3;}\rBODY {color=blue;}");
        const auto form = startMainWindow();
        QVERIFY(form);
        withCodeWindow(
            *form,
            [&path](DialogAnswerer &answer) {
                expectFileDialog(answer, QStringLiteral("Open Style Sheet"), path);
            },
            [](TCodeForm *code) {
                code->OpenClick();
                QCOMPARE(code->text(),
                         QStringLiteral("P {color=red;}\r\nH1 {font-size=3;}\r\nBODY {color=blue;}"));
                QCOMPARE(code->Code->textCursor().position(), 0);
                QVERIFY(!code->Code->textCursor().hasSelection());
                QVERIFY(!code->isCodeModified());
                QVERIFY(code->reloadOnClose());
                code->CloseClick();
            });
        QCOMPARE(form->document().currentFileName(), path);
        QCOMPARE(form->windowTitle(), QStringLiteral("Loomwright CSS - ") + path);
        QCOMPARE(sheetText(*form),
                 QStringLiteral("BODY {color=blue;}\r\nH1 {font-size=3;}\r\nP {color=red;}"));
    }

    void newThenCloseReadsNothing()
    {
        QTemporaryDir dir;
        const QString sheet = dir.filePath(QStringLiteral("sheet.css"));
        writeFile(sheet, "BODY {color=red;}");
        const auto form = startMainWindow(sheet);
        QVERIFY(form);
        withCodeWindow(*form, [](TCodeForm *code) {
            code->NewClick();
            QVERIFY(code->text().isEmpty());
            QVERIFY(code->saveFileName().isEmpty());
            QVERIFY(!code->reloadOnClose());
            code->CloseClick();
        });
        QCOMPARE(sheetText(*form), QStringLiteral("BODY {color=red;}"));
        QCOMPARE(readFile(sheet), QByteArray("BODY {color=red;}"));
    }

    // Typing, then Close or the close box: the question; Cancel keeps the window open
    // with the text, Yes saves it over the sheet's file, which is read back.
    void typedTextIsNotLostOnClose_data()
    {
        QTest::addColumn<bool>("closeBox");
        QTest::newRow("Close") << false;
        QTest::newRow("close box") << true;
    }

    void typedTextIsNotLostOnClose()
    {
        QFETCH(bool, closeBox);
        QTemporaryDir dir;
        const QString sheet = dir.filePath(QStringLiteral("sheet.css"));
        writeFile(sheet, "BODY {color=red;}");
        const auto form = startMainWindow(sheet);
        QVERIFY(form);
        withCodeWindow(
            *form,
            [](DialogAnswerer &answer) {
                expectPrompt(answer, QMessageBox::Cancel);
                expectPrompt(answer, QMessageBox::Yes);
            },
            [closeBox](TCodeForm *code) {
                typeAtEnd(code, QStringLiteral("P {color=red;}"));
                const auto close = [&] {
                    if (closeBox)
                        code->windowHandle()->close();
                    else
                        code->CloseClick();
                };
                close();
                QVERIFY(code->isVisible());
                QVERIFY(code->text().endsWith(QStringLiteral("P {color=red;}")));
                QVERIFY(code->isCodeModified());
                close();
            });
        QCOMPARE(readFile(sheet), QByteArray("BODY {color=red;}\r\nP {color=red;}"));
        QCOMPARE(sheetText(*form), QStringLiteral("BODY {color=red;}\r\nP {color=red;}"));
    }

    void yesThenCancelledSaveKeepsTheText()
    {
        const auto form = startMainWindow();
        QVERIFY(form);
        withCodeWindow(
            *form,
            [](DialogAnswerer &answer) {
                expectPrompt(answer, QMessageBox::Yes);
                expectFileDialog(answer, QStringLiteral("Save Style Sheet"), {});
                expectPrompt(answer, QMessageBox::No);
            },
            [](TCodeForm *code) {
                typeAtEnd(code, QStringLiteral("P {color=red;}"));
                code->NewClick();
                QCOMPARE(code->text(), QStringLiteral("\r\nP {color=red;}"));
                QVERIFY(code->isCodeModified());
                code->CloseClick();
            });
        QVERIFY(sheetText(*form).isEmpty());
    }

    void bytesSurviveOpenAndSave()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("latin1.css"));
        const QByteArray bytes("P {font-family=\"Caf\xe9\xa0Sans\";}\r\nH1 {color=red;}");
        writeFile(path, bytes);
        const auto form = startMainWindow();
        QVERIFY(form);
        withCodeWindow(
            *form,
            [&path](DialogAnswerer &answer) {
                expectFileDialog(answer, QStringLiteral("Open Style Sheet"), path);
                expectFileDialog(answer, QStringLiteral("Save Style Sheet"), path,
                                 QStringLiteral("latin1.css"));
            },
            [&path](TCodeForm *code) {
                code->OpenClick();
                QVERIFY(QFile::remove(path));
                code->SaveClick(); // the file is gone: the dialog proposes its name
                code->NewClick();
                code->CloseClick();
            });
        QCOMPARE(readFile(path), bytes);
    }

    void unreadableFileInOpenChangesNothing()
    {
        const auto form = startMainWindow();
        QVERIFY(form);
        editDocument(*form);
        withCodeWindow(
            *form,
            [](DialogAnswerer &answer) {
                // Reading a process's own memory file from its start fails.
                expectFileDialog(answer, QStringLiteral("Open Style Sheet"),
                                 QStringLiteral("/proc/self/mem"));
                answer.on<QMessageBox>([](QMessageBox *box) {
                    QCOMPARE(box->windowTitle(), QStringLiteral("Loomwright CSS"));
                    QCOMPARE(box->icon(), QMessageBox::Critical);
                    QVERIFY2(box->text().contains(QStringLiteral("/proc/self/mem")), qPrintable(box->text()));
                    DialogAnswerer::press(box, QMessageBox::Ok);
                });
            },
            [](TCodeForm *code) {
                code->OpenClick();
                QCOMPARE(code->text(), QStringLiteral("BODY {color=red;}"));
                QCOMPARE(code->saveFileName(), QStringLiteral("Not Saved"));
                QVERIFY(!code->reloadOnClose());
                code->CloseClick();
            });
        QCOMPARE(sheetText(*form), QStringLiteral("BODY {color=red;}"));
    }

    void failedSaveKeepsTheOldFileAndTheWindowsState()
    {
        QTemporaryDir dir;
        const QString sheet = dir.filePath(QStringLiteral("sheet.css"));
        writeFile(sheet, "P {}");
        const auto form = startMainWindow(sheet);
        QVERIFY(form);
        withCodeWindow(
            *form,
            [&sheet](DialogAnswerer &answer) {
                answer.on<QMessageBox>([&sheet](QMessageBox *box) {
                    QCOMPARE(box->icon(), QMessageBox::Critical);
                    QVERIFY2(box->text().contains(sheet), qPrintable(box->text()));
                    DialogAnswerer::press(box, QMessageBox::Ok);
                });
                expectPrompt(answer, QMessageBox::No);
            },
            [](TCodeForm *code) {
                typeAtEnd(code, QStringLiteral("H1 {color=blue;}"));
                {
                    const FileSizeLimit limit(4);
                    code->SaveClick();
                }
                QVERIFY(code->isVisible());
                QVERIFY(code->isCodeModified());
                QVERIFY(!code->reloadOnClose());
                code->CloseClick();
            });
        QCOMPARE(readFile(sheet), QByteArray("P {}"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("sheet.css")});
    }
};

LW_TEST_CLASS(TestCodeForm)
#include "TestCodeForm.moc"
