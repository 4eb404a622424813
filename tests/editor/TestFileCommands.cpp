#include "AttributeListModel.h"
#include "DialogAnswerer.h"
#include "DocumentEdits.h"
#include "EditorFixture.h"
#include "ElementsTreeView.h"
#include "PropertiesTreeView.h"
#include "RegistryKey.h"
#include "RegistryStore.h"
#include "StyleSheetWriter.h"
#include "TCSpinEdit.h"
#include "TCodeForm.h"
#include "TMainForm.h"
#include "TZEBColorButton.h"
#include "TestRegistry.h"

#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTreeView>
#include <QWindow>

using namespace EditorFixture;

namespace {

enum class Command { New, Open, Close, CloseBox };

void run(TMainForm &form, Command command)
{
    switch (command) {
    case Command::New:
        form.NewClick();
        break;
    case Command::Open:
        form.OpenClick();
        break;
    case Command::Close:
        form.CloseClick();
        break;
    case Command::CloseBox:
        // What the window system sends for the close box, the system menu and Alt+F4.
        form.windowHandle()->close();
        break;
    }
}

void expectPrompt(DialogAnswerer &answer, QMessageBox::StandardButton button)
{
    answer.on<QMessageBox>([button](QMessageBox *box) {
        QCOMPARE(box->text(), QStringLiteral("Do you want to save the current style sheet?"));
        QCOMPARE(box->windowTitle(), QStringLiteral("Loomwright CSS"));
        QCOMPARE(box->icon(), QMessageBox::Question);
        QCOMPARE(box->standardButtons(), QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        DialogAnswerer::press(box, button);
    });
}

void expectSaveDialog(DialogAnswerer &answer, const QString &chosen, const QString &proposed = {})
{
    answer.on<QFileDialog>([chosen, proposed](QFileDialog *dialog) {
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Save Style Sheet"));
        QCOMPARE(dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->text(), proposed);
        if (chosen.isEmpty())
            DialogAnswerer::cancel(dialog);
        else
            DialogAnswerer::chooseFile(dialog, chosen);
    });
}

void expectOpenDialog(DialogAnswerer &answer, const QString &chosen)
{
    answer.on<QFileDialog>([chosen](QFileDialog *dialog) {
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Open Style Sheet"));
        if (chosen.isEmpty())
            DialogAnswerer::cancel(dialog);
        else
            DialogAnswerer::chooseFile(dialog, chosen);
    });
}

QStringList elementLabels(TMainForm &form)
{
    QStringList labels;
    for (const auto &node : form.document().elements().elements())
        labels << node->label;
    return labels;
}

} // namespace

Q_DECLARE_METATYPE(Command)

class TestFileCommands : public QObject
{
    Q_OBJECT

    // The stored setting of the form new documents take.
    static void storeNewDocumentForm(const QString &form)
    {
        RegistryStore registry;
        registry
            .openKey(RegistryStore::Root::CurrentUser, QStringLiteral("\\Software\\Loomwright 99\\Documents"))
            .writeString(QStringLiteral("NewDocumentForm"), form);
    }

private slots:
    void initTestCase() { prepareApplication(); }

    void uneditedSheetNeedsNoPrompt_data()
    {
        QTest::addColumn<Command>("command");
        QTest::newRow("New") << Command::New;
        QTest::newRow("Open") << Command::Open;
        QTest::newRow("Close") << Command::Close;
        QTest::newRow("close box") << Command::CloseBox;
    }

    void uneditedSheetNeedsNoPrompt()
    {
        QFETCH(Command, command);
        const auto form = startMainWindow();
        QVERIFY(form);
        DialogAnswerer answer;
        if (command == Command::Open)
            expectOpenDialog(answer, {});
        run(*form, command);
        QVERIFY2(answer.done(), qPrintable(answer.report()));
        QCOMPARE(form->isVisible(), command != Command::Close && command != Command::CloseBox);
    }

    void cancelChangesNothing_data()
    {
        QTest::addColumn<Command>("command");
        QTest::addColumn<bool>("saveFirst");
        QTest::newRow("New") << Command::New << false;
        QTest::newRow("Open") << Command::Open << false;
        QTest::newRow("Close") << Command::Close << false;
        QTest::newRow("close box") << Command::CloseBox << false;
        QTest::newRow("Close after a save") << Command::Close << true;
    }

    void cancelChangesNothing()
    {
        QFETCH(Command, command);
        QFETCH(bool, saveFirst);
        QTemporaryDir dir;
        const auto form = startMainWindow();
        QVERIFY(form);
        editDocument(*form);
        if (saveFirst) {
            DialogAnswerer save;
            expectSaveDialog(save, dir.filePath(QStringLiteral("saved.css")));
            form->FinishClick();
            QVERIFY2(save.done(), qPrintable(save.report()));
            QVERIFY(!form->document().isModified()); // what was saved is no unsaved change
            editDocument(*form, QStringLiteral("font-size=12"));
        }
        const QString text = StyleSheetWriter::styleSheetText(form->document());
        const QString title = form->windowTitle();
        const QString file = form->document().currentFileName();

        DialogAnswerer answer;
        expectPrompt(answer, QMessageBox::Cancel);
        run(*form, command);
        QVERIFY2(answer.done(), qPrintable(answer.report()));

        QVERIFY(form->isVisible());
        QCOMPARE(StyleSheetWriter::styleSheetText(form->document()), text);
        QCOMPARE(form->windowTitle(), title);
        QCOMPARE(form->document().currentFileName(), file);
        QVERIFY(form->document().isModified());
    }

    void noDiscardsAndGoesOn_data()
    {
        QTest::addColumn<Command>("command");
        QTest::newRow("Close") << Command::Close;
        QTest::newRow("close box") << Command::CloseBox;
        QTest::newRow("New") << Command::New;
    }

    void noDiscardsAndGoesOn()
    {
        QFETCH(Command, command);
        const auto form = startMainWindow();
        QVERIFY(form);
        editDocument(*form);
        DialogAnswerer answer;
        expectPrompt(answer, QMessageBox::No);
        run(*form, command);
        QVERIFY2(answer.done(), qPrintable(answer.report()));
        if (command == Command::New) {
            QVERIFY(form->isVisible());
            QVERIFY(StyleSheetWriter::styleSheetText(form->document()).isEmpty());
            QVERIFY(!form->document().isModified());
        } else {
            QVERIFY(!form->isVisible());
        }
    }

    // Yes, then cancelling the save dialog, abandons the command like Cancel: the
    // edits are not lost.
    void yesThenCancelledSaveKeepsTheEdits_data()
    {
        QTest::addColumn<Command>("command");
        QTest::newRow("New") << Command::New;
        QTest::newRow("Open") << Command::Open;
        QTest::newRow("Close") << Command::Close;
        QTest::newRow("close box") << Command::CloseBox;
    }

    void yesThenCancelledSaveKeepsTheEdits()
    {
        QFETCH(Command, command);
        const auto form = startMainWindow();
        QVERIFY(form);
        editDocument(*form);
        const QString text = StyleSheetWriter::styleSheetText(form->document());
        DialogAnswerer answer;
        expectPrompt(answer, QMessageBox::Yes);
        expectSaveDialog(answer, {});
        run(*form, command);
        QVERIFY2(answer.done(), qPrintable(answer.report()));
        QVERIFY(form->isVisible());
        QCOMPARE(StyleSheetWriter::styleSheetText(form->document()), text);
        QVERIFY(form->document().isModified());
        QCOMPARE(form->windowTitle(), QStringLiteral("Loomwright CSS - *Not Saved"));
    }

    void yesSavesThenGoesOn()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("kept.css"));
        const auto form = startMainWindow();
        QVERIFY(form);
        editDocument(*form);
        DialogAnswerer answer;
        expectPrompt(answer, QMessageBox::Yes);
        expectSaveDialog(answer, path);
        form->NewClick();
        QVERIFY2(answer.done(), qPrintable(answer.report()));
        QCOMPARE(readFile(path), QByteArray("BODY {color=red;}"));
        QCOMPARE(form->windowTitle(), QStringLiteral("Loomwright CSS - Not Saved"));
        QVERIFY(!form->document().isModified());
    }

    void openWithCancelledDialogChangesNothing()
    {
        const auto form = startMainWindow();
        QVERIFY(form);
        editDocument(*form);
        const QString text = StyleSheetWriter::styleSheetText(form->document());
        {
            DialogAnswerer answer;
            expectPrompt(answer, QMessageBox::No);
            expectOpenDialog(answer, {});
            form->OpenClick();
            QVERIFY2(answer.done(), qPrintable(answer.report()));
        }
        // Cancelled, Open changes nothing: the edits, the history and the modified flag
        // stay, and Close asks again.
        QCOMPARE(StyleSheetWriter::styleSheetText(form->document()), text);
        QVERIFY(form->document().isModified());
        DialogAnswerer again;
        expectPrompt(again, QMessageBox::No);
        form->CloseClick();
        QVERIFY2(again.done(), qPrintable(again.report()));
        QVERIFY(!form->isVisible());
    }

    void openReadsTheFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("opened.css"));
        writeFile(path, "H1 {color=blue;}");
        const auto form = startMainWindow();
        QVERIFY(form);
        {
            DialogAnswerer answer;
            expectOpenDialog(answer, path);
            form->OpenClick();
            QVERIFY2(answer.done(), qPrintable(answer.report()));
        }
        QCOMPARE(StyleSheetWriter::styleSheetText(form->document()), QStringLiteral("H1 {color=blue;}"));
        QCOMPARE(form->windowTitle(), QStringLiteral("Loomwright CSS - ") + path);
        // The tree shows every element node expanded, and both roots are selected.
        const StyleSheetModel &model = form->document().elements();
        for (int e = 0; e < model.elementCount(); ++e)
            QVERIFY(form->Elements->isExpanded(model.elementIndex(e)));
        QCOMPARE(form->Elements->currentIndex(), model.rootIndex());
        QCOMPARE(form->Properties->currentIndex(), form->attributeList().rootIndex());

        // Save As proposes the file's own name; after New the save dialog proposes no
        // name of the earlier document.
        {
            DialogAnswerer saveAs;
            expectSaveDialog(saveAs, {}, QStringLiteral("opened.css"));
            form->SaveAsClick();
            QVERIFY2(saveAs.done(), qPrintable(saveAs.report()));
        }
        form->NewClick();
        DialogAnswerer save;
        expectSaveDialog(save, {}, {});
        form->FinishClick();
        QVERIFY2(save.done(), qPrintable(save.report()));
    }

    void unreadableFileInOpenIsReportedAndClean()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("broken.css"));
        writeFile(path, "H1 { color: blue }\r\n  }"); // a brace that closes no block
        const auto form = startMainWindow();
        QVERIFY(form);
        editDocument(*form);
        DialogAnswerer answer;
        expectPrompt(answer, QMessageBox::No);
        expectOpenDialog(answer, path);
        answer.on<QMessageBox>([](QMessageBox *box) {
            QCOMPARE(box->text(), QStringLiteral("Invalid or corrupt style sheet file"));
            QCOMPARE(box->windowTitle(), QStringLiteral("Error"));
            QCOMPARE(box->informativeText(), QStringLiteral("line 2, column 3: \"}\" closes no block"));
            DialogAnswerer::press(box, QMessageBox::Ok);
        });
        form->OpenClick();
        QVERIFY2(answer.done(), qPrintable(answer.report()));
        QCOMPARE(StyleSheetWriter::styleSheetText(form->document()), QStringLiteral("BODY {color=red;}"));
        QCOMPARE(form->windowTitle(), QStringLiteral("Loomwright CSS - Not Saved"));
        QVERIFY(!form->document().isModified());
    }

    // New documents are standard CSS unless the stored setting asks for the editor's
    // own form; what the tree builds in one is CSS a browser reads.
    void newDocumentsAreStandardCss()
    {
        storeNewDocumentForm(QStringLiteral("standard"));
        const auto standard = startMainWindow({}, std::nullopt);
        QVERIFY(standard);
        QCOMPARE(int(standard->document().form()), int(DocumentForm::Standard));
        DocumentEdits::dropOnElements(standard->document(), findNode(*standard, QStringLiteral("BODY")),
                                      QStringLiteral("color"), 1);
        QCOMPARE(StyleSheetWriter::styleSheetText(standard->document()),
                 QStringLiteral("body {\n  color: initial;\n}\n"));
        storeNewDocumentForm(QStringLiteral("editor"));
        const auto editor = startMainWindow({}, std::nullopt);
        QVERIFY(editor);
        QCOMPARE(int(editor->document().form()), int(DocumentForm::Editor));
    }

    // The box about a refused file offers its text in the code window, at the place the
    // reader refused; closed without a save, nothing changes.
    void refusedFileOpensInTheCodeWindow()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("broken.css"));
        const QByteArray bytes = "h1 { color: blue }\n  }\n";
        writeFile(path, bytes);
        const auto form = startMainWindow();
        QVERIFY(form);
        DialogAnswerer answer;
        expectOpenDialog(answer, path);
        answer.on<QMessageBox>([](QMessageBox *box) {
            QCOMPARE(box->informativeText(), QStringLiteral("line 2, column 3: \"}\" closes no block"));
            QAbstractButton *code = nullptr;
            for (QAbstractButton *button : box->buttons())
                if (button->text() == QStringLiteral("&Edit Code"))
                    code = button;
            QVERIFY(code);
            code->click();
        });
        answer.on<TCodeForm>([](TCodeForm *code) {
            auto *editor = code->findChild<QPlainTextEdit *>();
            QVERIFY(editor);
            QCOMPARE(editor->toPlainText(), QStringLiteral("h1 { color: blue }\n  }\n"));
            const QTextCursor cursor = editor->textCursor();
            QCOMPARE(cursor.blockNumber() + 1, 2);
            QCOMPARE(cursor.positionInBlock() + 1, 3);
            DialogAnswerer::cancel(code);
        });
        form->OpenClick();
        QVERIFY2(answer.done(), qPrintable(answer.report()));
        QCOMPARE(readFile(path), bytes);
        QCOMPARE(form->windowTitle(), QStringLiteral("Loomwright CSS - Not Saved"));
    }

    void newGivesTheStartUpListWithoutTheCommandLineFile()
    {
        const auto fresh = startMainWindow();
        QVERIFY(fresh);
        const QStringList startUp = elementLabels(*fresh);

        QTemporaryDir dir;
        const QString sheet = dir.filePath(QStringLiteral("start.css"));
        writeFile(sheet, "BODY {color=red;}\r\n.note {font-size=3;}");
        const auto form = startMainWindow(sheet);
        QVERIFY(form);
        QVERIFY(elementLabels(*form).contains(QStringLiteral(".note")));
        DialogAnswerer none;
        form->NewClick();
        QVERIFY2(none.done(), qPrintable(none.report()));

        QCOMPARE(elementLabels(*form), startUp);
        QVERIFY(StyleSheetWriter::styleSheetText(form->document()).isEmpty());
        QCOMPARE(form->windowTitle(), QStringLiteral("Loomwright CSS - Not Saved"));
        const int a = int(startUp.indexOf(QStringLiteral("A")));
        QCOMPARE(startUp.mid(a + 1, 3), (QStringList{QStringLiteral("A:Active"), QStringLiteral("A:Hover"),
                                                     QStringLiteral("A:Visited")}));
        QCOMPARE(form->document().elements().element(a + 2).picture, 9);
        QVERIFY(form->Elements->isExpanded(form->document().elements().rootIndex()));
    }

    void saveWithoutFileAndCancelledDialogWritesNothing()
    {
        QTemporaryDir dir;
        const auto form = startMainWindow();
        QVERIFY(form);
        editDocument(*form);
        rememberDialogFolder(QStringLiteral("Save"), dir.path());
        DialogAnswerer answer;
        expectSaveDialog(answer, {});
        form->FinishClick();
        QVERIFY2(answer.done(), qPrintable(answer.report()));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList());
        QCOMPARE(form->document().currentFileName(), QStringLiteral("Not Saved"));
        QCOMPARE(form->windowTitle(), QStringLiteral("Loomwright CSS - *Not Saved"));
    }

    void saveAsksOnceThenWritesDirectly()
    {
        QTemporaryDir dir;
        const auto form = startMainWindow();
        QVERIFY(form);
        editDocument(*form);
        rememberDialogFolder(QStringLiteral("Save"), dir.path());
        DialogAnswerer first;
        expectSaveDialog(first, QStringLiteral("sheet")); // the default extension is added
        form->FinishClick();
        QVERIFY2(first.done(), qPrintable(first.report()));
        const QString path = QDir(dir.path()).filePath(QStringLiteral("sheet.css"));
        QCOMPARE(readFile(path), QByteArray("BODY {color=red;}"));
        QCOMPARE(form->document().currentFileName(), path);
        QCOMPARE(form->windowTitle(), QStringLiteral("Loomwright CSS - ") + path); // saved: no mark

        editDocument(*form, QStringLiteral("font-size=12"));
        DialogAnswerer second; // no dialog
        form->FinishClick();
        QVERIFY2(second.done(), qPrintable(second.report()));
        QCOMPARE(readFile(path), QByteArray("BODY {color=red; font-size=12;}"));
        QVERIFY(!form->document().isModified());
    }

    // Naming an existing file in the save dialog asks before replacing it: Yes
    // replaces it, No leaves its bytes as they were and the dialog open.
    void replacingAFileIsAsked_data()
    {
        QTest::addColumn<bool>("saveAs");
        QTest::addColumn<bool>("replace");
        QTest::newRow("Save, Yes") << false << true;
        QTest::newRow("Save, No") << false << false;
        QTest::newRow("Save As, Yes") << true << true;
        QTest::newRow("Save As, No") << true << false;
    }

    void replacingAFileIsAsked()
    {
        QFETCH(bool, saveAs);
        QFETCH(bool, replace);
        QTemporaryDir dir;
        const QString existing = dir.filePath(QStringLiteral("existing.css"));
        const QByteArray before = "H1 {color=blue;}\r\nP {margin=1;}";
        writeFile(existing, before);
        QString current = QStringLiteral("Not Saved");
        const auto form = startMainWindow();
        QVERIFY(form);
        if (saveAs) {
            // A document with a file of its own, saved under the existing file's name.
            current = dir.filePath(QStringLiteral("own.css"));
            writeFile(current, "BODY {}");
            QVERIFY(form->readStyleSheet(current));
        }
        editDocument(*form);
        rememberDialogFolder(QStringLiteral("Save"), dir.path());

        DialogAnswerer answer;
        bool leftOpen = false;
        answer.on<QFileDialog>([&](QFileDialog *dialog) {
            DialogAnswerer::chooseFile(dialog, QStringLiteral("existing.css"));
            leftOpen = dialog->isVisible();
            if (leftOpen)
                DialogAnswerer::cancel(dialog);
        });
        answer.on<QMessageBox>([replace](QMessageBox *box) {
            QCOMPARE(box->windowTitle(), QStringLiteral("Save Style Sheet"));
            QVERIFY2(box->text().contains(QStringLiteral("existing.css")), qPrintable(box->text()));
            QCOMPARE(box->standardButtons(), QMessageBox::Yes | QMessageBox::No);
            QCOMPARE(box->defaultButton(), box->button(QMessageBox::No));
            DialogAnswerer::press(box, replace ? QMessageBox::Yes : QMessageBox::No);
        });
        if (saveAs)
            form->SaveAsClick();
        else
            form->FinishClick();
        QVERIFY2(answer.done(), qPrintable(answer.report()));

        QCOMPARE(leftOpen, !replace);
        const QString written = StyleSheetWriter::styleSheetText(form->document());
        QCOMPARE(readFile(existing), replace ? written.toUtf8() : before);
        QCOMPARE(form->document().currentFileName(), replace ? existing : current);
        // Saved, the document shows no mark of unsaved changes; not saved, it keeps it.
        QCOMPARE(form->windowTitle(), QStringLiteral("Loomwright CSS - ") +
                                          (replace ? QString() : QStringLiteral("*")) +
                                          (replace ? existing : current));
    }

    // Save As writes under the new name, which becomes the document's file; the old
    // file stays as it was, and Save then writes the new one without asking.
    void saveAsChangesTheFile()
    {
        QTemporaryDir dir;
        const QString old = dir.filePath(QStringLiteral("old.css"));
        const QString renamed = dir.filePath(QStringLiteral("new.css"));
        writeFile(old, "P {margin=0;}");
        const auto form = startMainWindow(old);
        QVERIFY(form);
        editDocument(*form);
        {
            DialogAnswerer answer;
            expectSaveDialog(answer, renamed, QStringLiteral("old.css"));
            form->SaveAsClick();
            QVERIFY2(answer.done(), qPrintable(answer.report()));
        }
        QCOMPARE(readFile(renamed), QByteArray("BODY {color=red;}\r\nP {margin=0;}"));
        QCOMPARE(readFile(old), QByteArray("P {margin=0;}"));
        QCOMPARE(form->document().currentFileName(), renamed);
        QCOMPARE(form->windowTitle(), QStringLiteral("Loomwright CSS - ") + renamed);

        editDocument(*form, QStringLiteral("font-size=12"));
        {
            DialogAnswerer none;
            form->FinishClick();
            QVERIFY2(none.done(), qPrintable(none.report()));
        }
        QCOMPARE(readFile(renamed), QByteArray("BODY {color=red; font-size=12;}\r\nP {margin=0;}"));
        QCOMPARE(readFile(old), QByteArray("P {margin=0;}"));

        // Cancelled, Save As changes nothing.
        DialogAnswerer cancelled;
        expectSaveDialog(cancelled, {}, QStringLiteral("new.css"));
        form->SaveAsClick();
        QVERIFY2(cancelled.done(), qPrintable(cancelled.report()));
        QCOMPARE(form->document().currentFileName(), renamed);
    }

    // A first save whose write fails leaves the document without a file: the next Save
    // asks for a name again.
    void failedFirstSaveKeepsTheDocumentNameless()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("full.css"));
        const auto form = startMainWindow();
        QVERIFY(form);
        editDocument(*form);
        editDocument(*form, QStringLiteral("font-size=12"));
        {
            DialogAnswerer answer;
            expectSaveDialog(answer, path);
            answer.on<QMessageBox>([](QMessageBox *box) {
                QCOMPARE(box->icon(), QMessageBox::Critical);
                DialogAnswerer::press(box, QMessageBox::Ok);
            });
            const FileSizeLimit limit(8);
            form->FinishClick();
            QVERIFY2(answer.done(), qPrintable(answer.report()));
        }
        QCOMPARE(form->document().currentFileName(), QStringLiteral("Not Saved"));
        QCOMPARE(form->windowTitle(), QStringLiteral("Loomwright CSS - *Not Saved"));
        DialogAnswerer again;
        expectSaveDialog(again, {}, QStringLiteral("full.css"));
        form->FinishClick();
        QVERIFY2(again.done(), qPrintable(again.report()));
    }

    void emptySheetSavesAnEmptyFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("empty.css"));
        const auto form = startMainWindow();
        QVERIFY(form);
        DialogAnswerer answer;
        expectSaveDialog(answer, path);
        form->FinishClick();
        QVERIFY2(answer.done(), qPrintable(answer.report()));
        QVERIFY(QFileInfo::exists(path));
        QCOMPARE(QFileInfo(path).size(), 0);
    }

    // A write that fails leaves the old file whole and is shown in the standard
    // exception message box; the title stays.
    void failedSaveKeepsTheOldFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("old.css"));
        writeFile(path, "P {}");
        const auto form = startMainWindow(path);
        QVERIFY(form);
        editDocument(*form);
        editDocument(*form, QStringLiteral("font-size=12"));
        const QString title = form->windowTitle();
        DialogAnswerer answer;
        answer.on<QMessageBox>([&path](QMessageBox *box) {
            QCOMPARE(box->windowTitle(), QStringLiteral("Loomwright CSS"));
            QCOMPARE(box->icon(), QMessageBox::Critical);
            QVERIFY2(box->text().contains(path), qPrintable(box->text()));
            QVERIFY(box->text().endsWith(QLatin1Char('.')));
            DialogAnswerer::press(box, QMessageBox::Ok);
        });
        {
            const FileSizeLimit limit(8);
            form->FinishClick();
        }
        QVERIFY2(answer.done(), qPrintable(answer.report()));
        QCOMPARE(readFile(path), QByteArray("P {}"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("old.css")});
        QCOMPARE(form->windowTitle(), title);
    }
};

LW_TEST_CLASS(TestFileCommands)
#include "TestFileCommands.moc"
