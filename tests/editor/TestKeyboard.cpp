#include "DialogAnswerer.h"
#include "DocumentEdits.h"
#include "EditorFixture.h"
#include "ElementsTreeView.h"
#include "PropertiesTreeView.h"
#include "StyleSheetWriter.h"
#include "TCSpinEdit.h"
#include "TCodeForm.h"
#include "TMainForm.h"
#include "TZEBColorButton.h"
#include "TestRegistry.h"

#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QUndoStack>

using namespace EditorFixture;

namespace {

// A standard sheet with a declaration for each value editor, a nested block and a
// second rule.
const QByteArray Sheet = "p {\n"
                         "  color: red;\n"
                         "  font-family: Arial;\n"
                         "  font-size: 12px;\n"
                         "  text-align: left;\n"
                         "  background-image: url(a.png);\n"
                         "}\n"
                         "\n"
                         "@media print {\n"
                         "  .note {\n"
                         "    margin: 0;\n"
                         "  }\n"
                         "}\n"
                         "\n"
                         ".card {\n"
                         "  padding: 1px;\n"
                         "}\n";

// A main window on Sheet, read from a file of its own in a folder of its own.
struct SheetWindow
{
    SheetWindow()
    {
        writeFile(path, Sheet);
        form = startMainWindow(path);
    }
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("sheet.css"));
    std::unique_ptr<TMainForm> form;
};

QModelIndex declaration(TMainForm &form, const QString &label)
{
    return findPath(form, {QStringLiteral("p"), label});
}

// The widget that takes the keyboard for each place of the window, with the node whose
// editor it is selected first.
struct Place
{
    QString node;
    QWidget *widget = nullptr;
};

Place placeOf(TMainForm &form, const QString &name)
{
    if (name == QLatin1String("colour button"))
        return {QStringLiteral("color: red"), form.ColorButton};
    if (name == QLatin1String("font combo"))
        return {QStringLiteral("font-family: Arial"), form.FontCombo};
    if (name == QLatin1String("spin edit"))
        return {QStringLiteral("font-size: 12px"), form.Numbers};
    if (name == QLatin1String("choice combo"))
        return {QStringLiteral("text-align: left"), form.OptionsCombo};
    if (name == QLatin1String("file edit"))
        return {QStringLiteral("background-image: url(a.png)"), form.FileEdit};
    if (name == QLatin1String("attribute tree"))
        return {QStringLiteral("color: red"), form.Properties};
    return {QStringLiteral("color: red"), form.Elements};
}

// The window's visible top-level widgets other than the window itself (a popup left
// behind by a dialog, say), by class and name.
QStringList otherVisibleWindows(const TMainForm &form)
{
    QStringList names;
    for (QWidget *widget : QApplication::topLevelWidgets())
        if (widget != &form && widget->isVisible())
            names << QString::fromLatin1(widget->metaObject()->className()) + QLatin1Char(' ') +
                         widget->objectName();
    return names;
}

} // namespace

class TestKeyboard : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { prepareApplication(); }

    // A command's key works wherever the focus is: in every value editor (whose text
    // fields have keys of their own for Ctrl+Z and Ctrl+E) and in both trees.
    void commandKeysWorkEverywhere_data()
    {
        QTest::addColumn<QString>("place");
        QTest::addColumn<QKeyCombination>("key");
        const QKeyCombination undo = Qt::CTRL | Qt::Key_Z;
        const QKeyCombination code = Qt::CTRL | Qt::Key_E;
        for (const char *place : {"colour button", "font combo", "spin edit", "choice combo", "file edit",
                                  "element tree", "attribute tree"}) {
            QTest::addRow("%s, Ctrl+Z", place) << QString::fromLatin1(place) << undo;
            QTest::addRow("%s, Ctrl+E", place) << QString::fromLatin1(place) << code;
        }
    }

    void commandKeysWorkEverywhere()
    {
        QFETCH(QString, place);
        QFETCH(QKeyCombination, key);
        const SheetWindow window;
        const auto &form = window.form;
        QVERIFY(form);
        const Place at = placeOf(*form, place);
        const QModelIndex node = declaration(*form, at.node);
        QVERIFY(node.isValid());
        clickNode(*form, node);
        // One step to take back: the value written as a value editor writes it.
        const QString before = node.data().toString();
        QVERIFY(DocumentEdits::writeValue(form->document(), node, QStringLiteral("inherit"), 0));
        QVERIFY(node.data().toString() != before);
        QVERIFY(at.widget->isEnabled());
        at.widget->setFocus();
        QTRY_VERIFY(at.widget->hasFocus());

        if (key == (Qt::CTRL | Qt::Key_Z)) {
            QTest::keyClick(QApplication::focusWidget(), key.key(), key.keyboardModifiers());
            QCOMPARE(node.data().toString(), before);
            QCOMPARE(form->document().undoStack().index(), 0);
            // The editor that had the keyboard has it again, preset with the value put back.
            QVERIFY(at.widget->hasFocus());
        } else {
            DialogAnswerer answer;
            answer.on<TCodeForm>([](TCodeForm *code) { DialogAnswerer::cancel(code); });
            QTest::keyClick(QApplication::focusWidget(), key.key(), key.keyboardModifiers());
            QVERIFY2(answer.done(), qPrintable(answer.report()));
            QCOMPARE(answer.answered(), 1);
        }
    }

    void captionKeysReachTheEditors_data()
    {
        QTest::addColumn<QString>("place");
        QTest::addColumn<QKeyCombination>("key");
        QTest::newRow("Alt+U") << "colour button" << (Qt::ALT | Qt::Key_U);
        QTest::newRow("Alt+T") << "font combo" << (Qt::ALT | Qt::Key_T);
        QTest::newRow("Alt+Z") << "spin edit" << (Qt::ALT | Qt::Key_Z);
        QTest::newRow("Alt+I") << "choice combo" << (Qt::ALT | Qt::Key_I);
        QTest::newRow("Alt+L") << "file edit" << (Qt::ALT | Qt::Key_L);
    }

    // From the element tree, the underlined letter of an editor's caption takes the
    // keyboard to that editor, enabled for the selected declaration.
    void captionKeysReachTheEditors()
    {
        QFETCH(QString, place);
        QFETCH(QKeyCombination, key);
        const SheetWindow window;
        const auto &form = window.form;
        QVERIFY(form);
        const Place at = placeOf(*form, place);
        const QModelIndex node = declaration(*form, at.node);
        form->Elements->setFocus();
        form->Elements->setCurrentIndex(node);
        QTRY_VERIFY(at.widget->isEnabled());
        QTest::keyClick(form->Elements, key.key(), key.keyboardModifiers());
        QTRY_VERIFY(at.widget->hasFocus());
    }

    // A value edited without the mouse: the spin edit reached with Alt+Z, the arrow
    // steps the number, a typed number replaces it, and Ctrl+Z takes both back.
    void valueEditedByKeyboard()
    {
        const SheetWindow window;
        const auto &form = window.form;
        QVERIFY(form);
        const QModelIndex node = declaration(*form, QStringLiteral("font-size: 12px"));
        form->Elements->setFocus();
        form->Elements->setCurrentIndex(node);
        QTest::keyClick(form->Elements, Qt::Key_Z, Qt::AltModifier);
        QTRY_VERIFY(form->Numbers->hasFocus());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Up);
        QTRY_COMPARE(node.data().toString(), QStringLiteral("font-size: 13px"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("20"));
        QTRY_COMPARE(node.data().toString(), QStringLiteral("font-size: 20px"));
        while (form->document().undoStack().canUndo())
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(StyleSheetWriter::styleSheetText(form->document()), QString::fromUtf8(Sheet));
    }

    // Del deletes the selected declaration, rule or block without the context menu ever
    // opening; Ctrl+Z puts it back. On the root it is disabled and deletes nothing.
    void delDeletesTheSelection_data()
    {
        QTest::addColumn<QStringList>("path");
        QTest::addColumn<QString>("deleteText");
        QTest::addColumn<QByteArray>("written");
        QTest::newRow("declaration") << QStringList{"p", "font-size: 12px"} << "&Delete Property"
                                     << QByteArray(Sheet).replace("  font-size: 12px;\n", "");
        QTest::newRow("rule") << QStringList{".card"} << "&Delete Rule"
                              << QByteArray(Sheet).replace("\n\n.card {\n  padding: 1px;\n}", "");
        QTest::newRow("rule in a block") << QStringList{"@media print", ".note"} << "&Delete Rule"
                                         << QByteArray(Sheet).replace("\n  .note {\n    margin: 0;\n  }", "");
        QTest::newRow("block") << QStringList{"@media print"} << "&Delete Rule"
                               << QByteArray(Sheet).replace("\n\n@media print {\n  .note {\n    margin: "
                                                            "0;\n  }\n}",
                                                            "");
        QTest::newRow("root") << QStringList{} << "&Delete Property" << Sheet;
    }

    void delDeletesTheSelection()
    {
        QFETCH(QStringList, path);
        QFETCH(QString, deleteText);
        QFETCH(QByteArray, written);
        const SheetWindow window;
        const auto &form = window.form;
        QVERIFY(form);
        const QModelIndex node = path.isEmpty() ? findNode(*form, {}) : findPath(*form, path);
        QVERIFY(node.isValid());
        form->Elements->setFocus();
        form->Elements->setCurrentIndex(node);
        QCOMPARE(form->DeleteProperty1->isEnabled(), !path.isEmpty());
        QCOMPARE(form->DeleteProperty1->text(), deleteText);

        QTest::keyClick(form->Elements, Qt::Key_Delete);
        QCOMPARE(StyleSheetWriter::styleSheetText(form->document()).toUtf8(), written);
        QVERIFY(!form->ElementsPopup->isVisible());
        QCOMPARE(form->document().isModified(), !path.isEmpty());

        QTest::keyClick(form->Elements, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(StyleSheetWriter::styleSheetText(form->document()).toUtf8(), Sheet);
        QVERIFY(!form->document().isModified());
    }

    // Del in a text field deletes the character after the cursor, and nothing of the
    // style sheet.
    void delInATextFieldEditsTheText_data()
    {
        QTest::addColumn<QString>("place");
        for (const char *place : {"font combo", "spin edit", "choice combo", "file edit", "label edit"})
            QTest::newRow(place) << QString::fromLatin1(place);
    }

    void delInATextFieldEditsTheText()
    {
        QFETCH(QString, place);
        const SheetWindow window;
        const auto &form = window.form;
        QVERIFY(form);
        const bool label = place == QLatin1String("label edit");
        const Place at = placeOf(*form, label ? QStringLiteral("element tree") : place);
        const QModelIndex node = declaration(*form, at.node);
        clickNode(*form, node);
        QLineEdit *field = nullptr;
        if (label) {
            form->Elements->setFocus();
            QTest::keyClick(form->Elements, Qt::Key_F2);
            QTRY_VERIFY((field = form->Elements->viewport()->findChild<QLineEdit *>()) != nullptr);
        } else {
            at.widget->setFocus();
            auto *combo = qobject_cast<QComboBox *>(at.widget);
            field = combo ? combo->lineEdit() : qobject_cast<QLineEdit *>(at.widget);
        }
        QTRY_VERIFY(field->hasFocus() || at.widget->hasFocus());
        const QString text = field->text();
        QVERIFY(!text.isEmpty());
        field->setCursorPosition(0);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Delete);
        QCOMPARE(field->text(), text.mid(1));
        // No declaration went (a value editor writes its new text into its own).
        QCOMPARE(form->document().elements().rowCount(findPath(*form, {QStringLiteral("p")})), 5);
        if (label)
            QTest::keyClick(field, Qt::Key_Escape);
    }

    // Return or Escape in a label edit gives the keyboard back to the tree: the arrows
    // move at once.
    void labelEditGivesTheKeyboardBack_data()
    {
        QTest::addColumn<Qt::Key>("end");
        QTest::newRow("Return") << Qt::Key_Return;
        QTest::newRow("Escape") << Qt::Key_Escape;
    }

    void labelEditGivesTheKeyboardBack()
    {
        QFETCH(Qt::Key, end);
        const SheetWindow window;
        const auto &form = window.form;
        QVERIFY(form);
        const QModelIndex node = declaration(*form, QStringLiteral("color: red"));
        clickNode(*form, node);
        form->Elements->setFocus();
        QTest::keyClick(form->Elements, Qt::Key_F2);
        QLineEdit *edit = nullptr;
        QTRY_VERIFY((edit = form->Elements->viewport()->findChild<QLineEdit *>()) != nullptr);
        edit->selectAll();
        QTest::keyClicks(edit, QStringLiteral("color: blue"));
        QTest::keyClick(edit, end);
        QTRY_VERIFY(form->Elements->hasFocus());
        QCOMPARE(declaration(*form, end == Qt::Key_Return ? QStringLiteral("color: blue")
                                                          : QStringLiteral("color: red"))
                     .isValid(),
                 true);
        const QModelIndex current = form->Elements->currentIndex();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
        QVERIFY(form->Elements->currentIndex() != current);
        QCOMPARE(form->Elements->currentIndex(), declaration(*form, QStringLiteral("font-family: Arial")));
    }

    // After the real Open and Save dialogs, typed into as a user types (the name box
    // proposes completions), no window of theirs stays on screen and the keyboard is
    // back where it was.
    void noPopupLeftAfterTheFileDialogs_data()
    {
        QTest::addColumn<bool>("save");
        QTest::newRow("Open") << false;
        QTest::newRow("Save") << true;
    }

    void noPopupLeftAfterTheFileDialogs()
    {
        QFETCH(bool, save);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("sheet.css"));
        writeFile(path, Sheet);
        writeFile(dir.filePath(QStringLiteral("sheet-2.css")), Sheet);
        const auto form = startMainWindow();
        QVERIFY(form);
        // The dialog starts in the folder it remembers.
        rememberDialogFolder(save ? QStringLiteral("Save") : QStringLiteral("Open"), dir.path());
        form->Elements->setFocus();
        QTRY_VERIFY(form->Elements->hasFocus());
        bool popupSeen = false;
        {
            DialogAnswerer answer;
            answer.on<QFileDialog>([&](QFileDialog *shown) {
                auto *name = shown->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
                QVERIFY(name);
                // As a user does, typed once the folder's files are listed (the dialog is
                // made at its first use and reads the folder then).
                auto *files = shown->findChild<QListView *>(QStringLiteral("listView"));
                QVERIFY(files);
                QTRY_VERIFY(files->model()->rowCount(files->rootIndex()) >= 2);
                name->clear();
                QTest::keyClicks(name, save ? QStringLiteral("sheet-") : QStringLiteral("sheet."));
                // The completion list of the names in the folder.
                popupSeen = QTest::qWaitFor(
                    [&] {
                        return !otherVisibleWindows(*form).filter("QFileDialog").isEmpty() &&
                               otherVisibleWindows(*form).size() > 1;
                    },
                    2000);
                name->setText(save ? QStringLiteral("saved.css") : QStringLiteral("sheet.css"));
                QTest::keyClick(name, Qt::Key_Return);
            });
            if (save)
                form->Save1->trigger();
            else
                form->Open1->trigger();
            QVERIFY2(answer.done(), qPrintable(answer.report()));
        }
        QVERIFY2(popupSeen, "the name box showed no completions: the check below would prove nothing");
        QCoreApplication::processEvents();
        QCOMPARE(otherVisibleWindows(*form), QStringList());
        QTRY_VERIFY(form->Elements->hasFocus());
        QCOMPARE(form->document().currentFileName(),
                 dir.filePath(save ? QStringLiteral("saved.css") : QStringLiteral("sheet.css")));
    }

    // Save marks the document saved: no "*", and New asks nothing. An undo past the
    // saved step makes it modified again (New asks), a redo back to it clears the mark.
    void saveMarksTheDocumentSaved_data()
    {
        QTest::addColumn<bool>("saveAs");
        QTest::newRow("Save") << false;
        QTest::newRow("Save As") << true;
    }

    void saveMarksTheDocumentSaved()
    {
        QFETCH(bool, saveAs);
        const SheetWindow window;
        const auto &form = window.form;
        QVERIFY(form);
        form->Elements->setFocus();
        form->Elements->setCurrentIndex(findPath(*form, {QStringLiteral(".card")}));
        QTest::keyClick(form->Elements, Qt::Key_Delete);
        QCOMPARE(form->windowTitle(), QStringLiteral("Loomwright CSS - *") + window.path);
        const QString saved = saveAs ? window.dir.filePath(QStringLiteral("other.css")) : window.path;
        {
            DialogAnswerer answer;
            if (saveAs)
                answer.on<QFileDialog>(
                    [&](QFileDialog *dialog) { DialogAnswerer::chooseFile(dialog, saved); });
            QTest::keyClick(form->Elements, Qt::Key_S,
                            saveAs ? Qt::ControlModifier | Qt::ShiftModifier : Qt::ControlModifier);
            QVERIFY2(answer.done(), qPrintable(answer.report()));
        }
        // The keyboard is back in the tree, also after the dialog.
        QTRY_VERIFY(form->Elements->hasFocus());
        QCOMPARE(readFile(saved), StyleSheetWriter::styleSheetText(form->document()).toUtf8());
        QCOMPARE(form->windowTitle(), QStringLiteral("Loomwright CSS - ") + saved);
        QVERIFY(!form->document().isModified());

        // Undo past the save: modified again; redo back: saved.
        QTest::keyClick(form->Elements, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(form->windowTitle(), QStringLiteral("Loomwright CSS - *") + saved);
        QTest::keyClick(form->Elements, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(form->windowTitle(), QStringLiteral("Loomwright CSS - ") + saved);
        {
            DialogAnswerer none; // no question
            form->New1->trigger();
            QVERIFY2(none.done(), qPrintable(none.report()));
            QCOMPARE(none.answered(), 0);
        }
        QCOMPARE(form->document().currentFileName(), QStringLiteral("Not Saved"));

        // Undone after the save, the document asks again before New.
        QVERIFY(form->readStyleSheet(saved));
        form->document().resetHistory(false);
        form->Elements->setCurrentIndex(findPath(*form, {QStringLiteral("p")}));
        form->Elements->setFocus();
        QTest::keyClick(form->Elements, Qt::Key_Delete);
        QTest::keyClick(form->Elements, Qt::Key_S, Qt::ControlModifier);
        QTest::keyClick(form->Elements, Qt::Key_Z, Qt::ControlModifier);
        QVERIFY(form->document().isModified());
        DialogAnswerer asked;
        asked.on<QMessageBox>([](QMessageBox *box) { DialogAnswerer::press(box, QMessageBox::Cancel); });
        form->New1->trigger();
        QVERIFY2(asked.done(), qPrintable(asked.report()));
        QCOMPARE(asked.answered(), 1);
    }

    // The menu bar holds every command once, with its keys; no key is bound twice; the
    // context menu and the menu bar share the same actions; Help lists every command
    // with its keys and tells the version and the data's licences.
    void menuBarHoldsEveryCommand()
    {
        const auto form = startMainWindow();
        QVERIFY(form);
        QStringList titles;
        QList<QAction *> inMenus;
        for (QAction *menu : form->MenuBar->actions()) {
            titles << menu->text();
            for (QAction *action : menu->menu()->actions())
                if (!action->isSeparator())
                    inMenus << action;
        }
        QCOMPARE(titles, (QStringList{"&File", "E&dit", "&View", "&Help"}));
        QCOMPARE(inMenus, form->commands());
        for (QAction *action : form->ElementsPopup->actions())
            QVERIFY(action->isSeparator() || inMenus.contains(action));
        for (QAction *command :
             {form->New1, form->Open1, form->Save1, form->SaveAs1, form->Close1, form->Undo1, form->Redo1,
              form->DeleteProperty1, form->EditCode1, form->EditLabel1, form->StandardCss1,
              form->ShowUnusedElements1, form->NewElement1, form->NewProperty1})
            QVERIFY2(inMenus.contains(command), qPrintable(command->text()));
        // Each key belongs to one action of the window (two would make it do nothing).
        QHash<QKeySequence, QString> owner;
        for (QAction *action : form->findChildren<QAction *>()) {
            // The file dialogs' own actions work in their own windows.
            const auto *holder = qobject_cast<const QWidget *>(action->parent());
            if (holder && holder->window() != form.get())
                continue;
            for (const QKeySequence &key : action->shortcuts()) {
                QVERIFY2(!owner.contains(key),
                         qPrintable(key.toString() + QLatin1String(": ") + owner.value(key) +
                                    QLatin1String(", ") + action->text()));
                owner.insert(key, action->text());
            }
        }
        QCOMPARE(owner.value(QKeySequence(QStringLiteral("Ctrl+E"))), form->EditCode1->text());
        QCOMPARE(owner.value(QKeySequence(QStringLiteral("Del"))), form->DeleteProperty1->text());

        {
            DialogAnswerer answer;
            answer.on<QDialog>([&](QDialog *dialog) {
                QCOMPARE(dialog->windowTitle(), QStringLiteral("Keyboard Shortcuts"));
                auto *table = dialog->findChild<QTableWidget *>();
                QVERIFY(table);
                QCOMPARE(table->rowCount(), int(form->commands().size()));
                QStringList rows;
                for (int row = 0; row < table->rowCount(); ++row)
                    rows << table->item(row, 0)->text() + QLatin1String(" = ") + table->item(row, 1)->text();
                QVERIFY2(rows.contains(QStringLiteral("Undo = Ctrl+Z")), qPrintable(rows.join('|')));
                QVERIFY2(rows.contains(QStringLiteral("Redo = Ctrl+Shift+Z, Ctrl+Y")),
                         qPrintable(rows.join('|')));
                QVERIFY2(rows.contains(QStringLiteral("Delete = Del")), qPrintable(rows.join('|')));
                QVERIFY2(rows.contains(QStringLiteral("Save As = Ctrl+Shift+S")), qPrintable(rows.join('|')));
                QVERIFY2(rows.contains(QStringLiteral("Edit Code = Ctrl+E")), qPrintable(rows.join('|')));
                QVERIFY2(rows.contains(QStringLiteral("Edit Label = F2")), qPrintable(rows.join('|')));
                DialogAnswerer::cancel(dialog);
            });
            form->KeyboardShortcuts1->trigger();
            QVERIFY2(answer.done(), qPrintable(answer.report()));
        }
        DialogAnswerer about;
        about.on<QMessageBox>([](QMessageBox *box) {
            QCOMPARE(box->windowTitle(), QStringLiteral("About Loomwright CSS"));
            QVERIFY2(box->text().contains(QStringLiteral("Loomwright CSS 0.")), qPrintable(box->text()));
            QVERIFY2(box->text().contains(QStringLiteral("mdn-data, CC0 1.0")), qPrintable(box->text()));
            QVERIFY2(box->text().contains(QStringLiteral("web-features, Apache License 2.0")),
                     qPrintable(box->text()));
            QVERIFY2(box->text().contains(QStringLiteral("html-element-attributes, MIT")),
                     qPrintable(box->text()));
            box->done(QMessageBox::Ok);
        });
        form->About1->trigger();
        QVERIFY2(about.done(), qPrintable(about.report()));
    }
};

LW_TEST_CLASS(TestKeyboard)
#include "TestKeyboard.moc"
