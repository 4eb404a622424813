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
#include <QScopeGuard>
#include <QScreen>
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

// A text too large to go into the editor at once: `lines` lines with the given line
// breaks (cycled), after `shift` leading characters, so that the pieces end at different
// places of a line break. `expected` is the same text as the window gives it (CR LF).
struct LargeText
{
    QString raw;
    QString expected;
};

constexpr int LargeLines = 60000;

LargeText largeText(const QStringList &breaks, int shift)
{
    LargeText text;
    text.raw.fill(u'x', shift);
    text.expected = text.raw;
    for (int i = 0; i < LargeLines; ++i) {
        if (i > 0) {
            text.raw += breaks.at(i % breaks.size());
            text.expected += QLatin1String("\r\n");
        }
        const QString line = QStringLiteral("P.c%1 {}").arg(i, 5, 10, QLatin1Char('0'));
        text.raw += line;
        text.expected += line;
    }
    return text;
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
            // At least 800 x 600 where the screen allows, placed on it, frame and all.
            const QRect screen = code->screen()->availableGeometry();
            const QSize frame = code->frameGeometry().size() - code->size();
            QCOMPARE(code->size(), QSize(800, 600).boundedTo(screen.size() - frame));
            QVERIFY(screen.contains(code->frameGeometry()));
            QCOMPARE(code->pos().y(), 108);
            QVERIFY(QFontInfo(code->Code->font()).fixedPitch());
            QCOMPARE(code->Code->lineWrapMode(), QPlainTextEdit::NoWrap);
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
        QCOMPARE(form->windowTitle(), QStringLiteral("Loomwright CSS - *Not Saved"));
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
                // A file's line breaks are its most common one (LF before CR on a tie).
                QCOMPARE(code->text(),
                         QStringLiteral("P {color=red;}\nH1 {font-size=3;}\nBODY {color=blue;}"));
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

    // A large text is shown before all of it is in the editor; the rest follows, and
    // the window's text is the whole of it all along.
    void largeTextFillsInPieces_data()
    {
        QTest::addColumn<QStringList>("breaks");
        QTest::addColumn<int>("shift");
        const QString crLf = QStringLiteral("\r\n");
        QTest::newRow("CR LF") << QStringList{crLf} << 0;
        QTest::newRow("CR LF, shifted by one") << QStringList{crLf} << 1;
        QTest::newRow("CR LF, LF and CR mixed")
            << QStringList{crLf, QStringLiteral("\n"), QStringLiteral("\r"), crLf} << 0;
    }

    void largeTextFillsInPieces()
    {
        QFETCH(QStringList, breaks);
        QFETCH(int, shift);
        const LargeText text = largeText(breaks, shift);
        TCodeForm code;
        code.start(QStringLiteral("Not Saved"), text.raw, TextFile::Encoding::Utf8);
        code.show();
        QVERIFY(code.isVisible());
        QVERIFY(code.isFilling());
        QVERIFY(code.Code->document()->blockCount() < LargeLines);
        QCOMPARE(code.text(), text.expected);
        QTRY_VERIFY(!code.isFilling());
        QCOMPARE(code.Code->document()->blockCount(), LargeLines);
        QCOMPARE(code.text(), text.expected);
        QCOMPARE(code.Code->textCursor().position(), 0);
        QVERIFY(!code.isCodeModified());
        QVERIFY(!code.Code->document()->isUndoAvailable());
    }

    // Commands and edits while a large text is still going in act as on the whole text.
    void actionsDuringTheFill_data()
    {
        QTest::addColumn<QString>("action");
        for (const char *action :
             {"Save", "typing", "edit without keys", "caret at the end so far", "New", "Open", "Close"})
            QTest::newRow(action) << QString::fromLatin1(action);
    }

    void actionsDuringTheFill()
    {
        QFETCH(QString, action);
        QTemporaryDir dir;
        const QString sheet = dir.filePath(QStringLiteral("sheet.css"));
        writeFile(sheet, "P {}");
        const QString other = dir.filePath(QStringLiteral("other.css"));
        writeFile(other, "H1 {color=red;}\nP {}");
        const LargeText text = largeText({QStringLiteral("\r\n")}, 0);
        auto code = std::make_unique<TCodeForm>();
        code->start(sheet, text.raw, TextFile::Encoding::Utf8);
        code->show();
        QVERIFY(code->isFilling());
        QPlainTextEdit *editor = code->Code;

        if (action == QLatin1String("Save")) {
            code->SaveClick();
            QCOMPARE(readFile(sheet), text.expected.toUtf8());
            QVERIFY(!code->isCodeModified());
            QVERIFY(code->reloadOnClose());
            QTRY_VERIFY(!code->isFilling());
            QCOMPARE(code->text(), text.expected);
            QVERIFY(!code->isCodeModified());
        } else if (action == QLatin1String("typing")) {
            // A key finishes the fill first, so that it acts on the whole text.
            QTest::keyClicks(editor, QStringLiteral("X"));
            QVERIFY(!code->isFilling());
            QCOMPARE(code->text(), QLatin1String("X") + text.expected);
            QVERIFY(code->isCodeModified());
            // Undo takes back the typing and never any of the text put in.
            QTest::keyClick(editor, Qt::Key_Z, Qt::ControlModifier);
            QTest::keyClick(editor, Qt::Key_Z, Qt::ControlModifier);
            QCOMPARE(code->text(), text.expected);
        } else if (action == QLatin1String("edit without keys")) {
            // As a drop does: the edit is kept, and so is the modified state.
            editor->insertPlainText(QStringLiteral("X"));
            QVERIFY(code->isFilling());
            QVERIFY(code->isCodeModified());
            QTRY_VERIFY(!code->isFilling());
            QVERIFY(code->isCodeModified());
            QCOMPARE(code->text(), QLatin1String("X") + text.expected);
            QTest::keyClick(editor, Qt::Key_Z, Qt::ControlModifier);
            QCOMPARE(code->text(), QLatin1String("X") + text.expected);
        } else if (action == QLatin1String("caret at the end so far")) {
            // The text put in after the caret does not move it.
            editor->moveCursor(QTextCursor::End);
            const int caret = editor->textCursor().position();
            QTRY_VERIFY(!code->isFilling());
            QCOMPARE(editor->textCursor().position(), caret);
            QVERIFY(caret < editor->document()->characterCount() - 1);
            QVERIFY(!code->isCodeModified());
        } else if (action == QLatin1String("New")) {
            code->NewClick();
            QVERIFY(!code->isFilling());
            QTest::qWait(50);
            QVERIFY(code->text().isEmpty());
            QCOMPARE(editor->document()->blockCount(), 1);
        } else if (action == QLatin1String("Open")) {
            DialogAnswerer answer;
            expectFileDialog(answer, QStringLiteral("Open Style Sheet"), other);
            code->OpenClick();
            QVERIFY2(answer.done(), qPrintable(answer.report()));
            QVERIFY(!code->isFilling());
            QTest::qWait(50);
            QCOMPARE(code->text(), QStringLiteral("H1 {color=red;}\nP {}"));
            QVERIFY(!code->isCodeModified());
            QVERIFY(editor->document()->isUndoRedoEnabled());
        } else if (action == QLatin1String("Close")) {
            code->CloseClick();
            QVERIFY(!code->isVisible());
            QCOMPARE(code->text(), text.expected);
            // The window goes while its text is still going in; nothing is left to run.
            code.reset();
            QTest::qWait(50);
        } else {
            QFAIL("unknown action");
        }
    }

    // A size the user gives the window is the next window's, kept in the stored
    // settings; without one, a long text widens the window up to the screen's width.
    void remembersItsSize()
    {
        QTemporaryDir dir;
        const QByteArray saved = qgetenv("LOOMWRIGHT_REGISTRY");
        qputenv("LOOMWRIGHT_REGISTRY", dir.filePath(QStringLiteral("registry.reg")).toLocal8Bit());
        const auto restore = qScopeGuard([&saved] { qputenv("LOOMWRIGHT_REGISTRY", saved); });
        {
            TCodeForm code;
            code.start(QStringLiteral("Not Saved"), QString(300, u'x'), TextFile::Encoding::Utf8);
            QCOMPARE(code.size(), code.screen()->availableGeometry().size().boundedTo(QSize(100000, 600)));
            code.show();
            code.resize(640, 480);
            code.CloseClick();
        }
        QVERIFY(
            readFile(dir.filePath(QStringLiteral("registry.reg"))).contains("\"CodeWidth\"=dword:00000280"));
        TCodeForm next;
        next.start(QStringLiteral("Not Saved"), QString(300, u'x'), TextFile::Encoding::Utf8);
        QCOMPARE(next.size(), QSize(640, 480));
    }

    // A file the reader cannot read back is reported with its place in the text.
    void failedReadBackNamesThePlace()
    {
        QTemporaryDir dir;
        const QString sheet = dir.filePath(QStringLiteral("sheet.css"));
        writeFile(sheet, "P {color=red;}");
        const auto form = startMainWindow(sheet);
        QVERIFY(form);
        withCodeWindow(
            *form,
            [](DialogAnswerer &answer) {
                answer.on<QMessageBox>([](QMessageBox *box) {
                    QCOMPARE(box->text(), QStringLiteral("Invalid or corrupt style sheet file"));
                    QCOMPARE(box->informativeText(),
                             QStringLiteral("line 2, column 1: \"}\" closes no block"));
                    DialogAnswerer::press(box, QMessageBox::Ok);
                });
            },
            [](TCodeForm *code) {
                code->Code->moveCursor(QTextCursor::End);
                QTest::keyClick(code->Code, Qt::Key_Return);
                QTest::keyClick(code->Code, Qt::Key_BraceRight);
                code->SaveClick();
                code->CloseClick();
            });
        QCOMPARE(sheetText(*form), QStringLiteral("P {color=red;}"));
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
