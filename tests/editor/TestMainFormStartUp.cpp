#include "AttributeListModel.h"
#include "DialogAnswerer.h"
#include "EditorFixture.h"
#include "ElementsTreeView.h"
#include "PropertiesTreeView.h"
#include "TCSpinEdit.h"
#include "TCodeForm.h"
#include "TMainForm.h"
#include "TZEBColorButton.h"
#include "TestRegistry.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFontDatabase>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSplitter>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

using namespace EditorFixture;

namespace {

// Positions of the element nodes with these labels, -1 when missing.
int positionOf(TMainForm &form, const QString &label)
{
    const StyleSheetModel &elements = form.document().elements();
    for (int i = 0; i < elements.elementCount(); ++i)
        if (elements.element(i).label == label)
            return i;
    return -1;
}

int countOf(TMainForm &form, const QString &label)
{
    int count = 0;
    const StyleSheetModel &elements = form.document().elements();
    for (int i = 0; i < elements.elementCount(); ++i)
        count += elements.element(i).label == label;
    return count;
}

QStringList attributesOf(TMainForm &form, const QString &element)
{
    QStringList labels;
    const int position = positionOf(form, element);
    if (position >= 0)
        for (const AttributeNode &node : form.document().elements().element(position).attributes)
            labels << node.label(form.document().form());
    return labels;
}

} // namespace

class TestMainFormStartUp : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { prepareApplication(); }

    void windowAfterStartUp()
    {
        const auto form = startMainWindow();
        QVERIFY(form);
        QCOMPARE(form->windowTitle(), QStringLiteral("Loomwright CSS - Not Saved"));
        QCOMPARE(form->document().currentFileName(), QStringLiteral("Not Saved"));
        QVERIFY(!form->document().isModified());

        const QModelIndex elementsRoot = form->document().elements().rootIndex();
        const QModelIndex attributesRoot = form->attributeList().rootIndex();
        QVERIFY(form->Elements->isExpanded(elementsRoot));
        QVERIFY(form->Properties->isExpanded(attributesRoot));
        QCOMPARE(form->Elements->currentIndex(), elementsRoot);
        QCOMPARE(form->Properties->currentIndex(), attributesRoot);
        QVERIFY(form->Elements->selectionModel()->isSelected(elementsRoot));
        QVERIFY(form->Properties->selectionModel()->isSelected(attributesRoot));
        QVERIFY(form->attributeList().rowCount(attributesRoot) > 0);

        // The pseudo-class nodes stand directly after "A", once each, with picture 9.
        const int a = positionOf(*form, QStringLiteral("A"));
        QVERIFY(a >= 0);
        const StyleSheetModel &elements = form->document().elements();
        const QStringList pseudo = {QStringLiteral("A:Active"), QStringLiteral("A:Hover"),
                                    QStringLiteral("A:Visited")};
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(elements.element(a + 1 + i).label, pseudo.at(i));
            QCOMPARE(elements.element(a + 1 + i).picture, 9);
            QCOMPARE(countOf(*form, pseudo.at(i)), 1);
        }

        for (QWidget *editor :
             {static_cast<QWidget *>(form->ColorButton), static_cast<QWidget *>(form->FontCombo),
              static_cast<QWidget *>(form->Numbers), static_cast<QWidget *>(form->OptionsCombo),
              static_cast<QWidget *>(form->FileEdit), static_cast<QWidget *>(form->Browse)})
            QVERIFY2(!editor->isEnabled(), qPrintable(editor->metaObject()->className()));
    }

    void fontListHasTheGenericNamesOnTop()
    {
        const auto form = startMainWindow();
        QVERIFY(form);
        QStringList items;
        for (int i = 0; i < form->FontCombo->count(); ++i)
            items << form->FontCombo->itemText(i);
        QCOMPARE(items.mid(0, 5), (QStringList{QStringLiteral("Serif"), QStringLiteral("Sans-Serif"),
                                               QStringLiteral("Cursive"), QStringLiteral("Fantasy"),
                                               QStringLiteral("Monospace")}));
        const QStringList rest = items.mid(5);
        QVERIFY(rest.contains(QStringLiteral("Default")));
        for (const QString &family : QFontDatabase::families())
            QVERIFY2(rest.contains(family), qPrintable(family));
        QCOMPARE(rest.size(), QFontDatabase::families().size() + 1);
        for (qsizetype i = 1; i < rest.size(); ++i)
            QVERIFY2(rest.at(i - 1).compare(rest.at(i), Qt::CaseInsensitive) <= 0,
                     qPrintable(rest.at(i - 1) + QLatin1String(" / ") + rest.at(i)));
        QVERIFY(form->FontCombo->currentText().isEmpty());
    }

    void progressIsReportedInOrder()
    {
        QTemporaryDir dir;
        const QString sheet = dir.filePath(QStringLiteral("start.css"));
        writeFile(sheet, "BODY {color=red;}");
        QList<QPair<QString, int>> steps;
        TMainForm form;
        form.setCatalogueFolder(catalogueFolder());
        form.setPendingCommandLineFile(sheet);
        form.setProgress([&steps](const QString &text, int position) { steps.append({text, position}); });
        QVERIFY(form.FormCreate());
        const QList<QPair<QString, int>> created = {{QStringLiteral("Opening databases"), 10},
                                                    {QStringLiteral("Reading tag database"), 15},
                                                    {QStringLiteral("Reading attribute database"), 35},
                                                    {QStringLiteral("Finishing..."), 50}};
        QCOMPARE(steps, created);
        form.FormActivate();
        QCOMPARE(steps.size(), 5);
        QCOMPARE(steps.last().first, QStringLiteral("Opening style sheet"));
        QVERIFY(steps.last().second < 0);
    }

    void missingCatalogueEndsTheProgram_data()
    {
        QTest::addColumn<QStringList>("tables");
        QTest::newRow("no tables") << QStringList();
        QTest::newRow("no css.db") << QStringList{QStringLiteral("tags.db")};
        QTest::newRow("no tags.db") << QStringList{QStringLiteral("css.db")};
    }

    void missingCatalogueEndsTheProgram()
    {
        QFETCH(QStringList, tables);
        QTemporaryDir full;
        writeCatalogue(full.path());
        QTemporaryDir partial;
        for (const QString &table : tables)
            QVERIFY(QFile::copy(QDir(full.path()).filePath(table), QDir(partial.path()).filePath(table)));

        TMainForm form;
        form.setCatalogueFolder(partial.path());
        bool progressed = false;
        form.setProgress([&progressed](const QString &, int) { progressed = true; });
        DialogAnswerer answer;
        answer.on<QMessageBox>([](QMessageBox *box) {
            QCOMPARE(box->text(),
                     QStringLiteral("Database files not found. Please reinstall Loomwright CSS"));
            QCOMPARE(box->windowTitle(), QStringLiteral("Loomwright CSS"));
            QCOMPARE(box->icon(), QMessageBox::Critical);
            QCOMPARE(box->standardButtons(), QMessageBox::StandardButtons(QMessageBox::Ok));
            DialogAnswerer::press(box, QMessageBox::Ok);
        });
        QVERIFY(!form.FormCreate());
        QVERIFY2(answer.done(), qPrintable(answer.report()));
        QVERIFY(!progressed);
        QCOMPARE(form.document().elements().elementCount(), 0);
    }

    void damagedTableIsReportedAndStartUpGoesOn()
    {
        QTemporaryDir dir;
        writeCatalogue(dir.path());
        writeFile(QDir(dir.path()).filePath(QStringLiteral("css.db")), "this is no table");
        TMainForm form;
        form.setCatalogueFolder(dir.path());
        DialogAnswerer answer;
        answer.on<QMessageBox>([&dir](QMessageBox *box) {
            QCOMPARE(box->windowTitle(), QStringLiteral("Loomwright CSS"));
            QCOMPARE(box->icon(), QMessageBox::Critical);
            QVERIFY2(box->text().contains(QStringLiteral("css.db")), qPrintable(box->text()));
            DialogAnswerer::press(box, QMessageBox::Ok);
        });
        QVERIFY(form.FormCreate());
        QVERIFY2(answer.done(), qPrintable(answer.report()));
        QCOMPARE(form.windowTitle(), QStringLiteral("Loomwright CSS - Not Saved"));
        QCOMPARE(form.FontCombo->count(), 0); // the rest of the set-up was skipped
    }

    void layoutAndControls()
    {
        TMainForm form;
        QCOMPARE(form.size(), QSize(584, 345));
        QCOMPARE(form.Elements->indentation(), 19);
        QCOMPARE(form.Properties->indentation(), 19);
        QVERIFY(form.Elements->uniformRowHeights());

        const QStringList headings = {QStringLiteral("Elements"), QStringLiteral("Attributes")};
        for (const QString &heading : headings) {
            bool found = false;
            for (const QLabel *label : form.findChildren<QLabel *>())
                found |= label->text() == heading && label->alignment() == Qt::AlignCenter;
            QVERIFY2(found, qPrintable(heading));
        }
        const auto *group = form.findChild<QGroupBox *>();
        QVERIFY(group);
        QCOMPARE(group->title(), QStringLiteral("Edit Settings"));
        QCOMPARE(group->geometry(), QRect(7, 6, 137, 295));
        QCOMPARE(group->parentWidget()->width(), 148);
        QStringList captions;
        for (const QLabel *label : group->findChildren<QLabel *>())
            // Not the colour's contrast beside the button, nor the number box's unit.
            if (label->objectName() != QLatin1String("ColourInfo") &&
                label->objectName() != QLatin1String("Unit"))
                captions << label->text();
        // Each with its underlined letter, the key to its editor.
        QCOMPARE(captions, (QStringList{QStringLiteral("Colo&ur:"), QStringLiteral("Fon&t:"),
                                        QStringLiteral("Si&ze/Value:"), QStringLiteral("Cho&ice:"),
                                        QStringLiteral("Fi&le:")}));
        QCOMPARE(form.ColorButton->geometry(), QRect(12, 40, 45, 22));
        QCOMPARE(form.FontCombo->pos(), QPoint(12, 84));
        QCOMPARE(form.FontCombo->width(), 117);
        QCOMPARE(form.Numbers->pos(), QPoint(12, 136));
        QCOMPARE(form.Numbers->width(), 117);
        QVERIFY(form.Numbers->height() >= 22); // the spin edit grows to fit its font
        QCOMPARE(form.OptionsCombo->pos(), QPoint(12, 180));
        QCOMPARE(form.OptionsCombo->width(), 115);
        QCOMPARE(form.FileEdit->pos(), QPoint(12, 228));
        QCOMPARE(form.FileEdit->width(), 115);
        QCOMPARE(form.Browse->text(), QStringLiteral("Browse..."));
        QCOMPARE(form.Browse->pos(), QPoint(12, 256));
        QVERIFY(form.FontCombo->isEditable());
        QVERIFY(form.OptionsCombo->isEditable());

        const QList<QPair<QPushButton *, QString>> buttons = {
            {form.Close, QStringLiteral("&Close")},       {form.New, QStringLiteral("&New")},
            {form.Open, QStringLiteral("&Open...")},      {form.Finish, QStringLiteral("&Save...")},
            {form.SaveAs, QStringLiteral("Save &As...")}, {form.Code, QStringLiteral("&Edit Code")}};
        int right = 0;
        for (const auto &[button, caption] : buttons) {
            QCOMPARE(button->text(), caption);
            QCOMPARE(button->y(), 11);
            QCOMPARE(button->height(), 25);
            QVERIFY(button->width() >= 75);
            QVERIFY(button->x() > right);
            right = button->x() + button->width();
            QCOMPARE(button->parentWidget()->height(), 41);
        }
        QCOMPARE(form.Close->x(), 1);

        const QList<QAction *> items = form.ElementsPopup->actions();
        QCOMPARE(items.size(), 11);
        QCOMPARE(items.at(0)->text(), QStringLiteral("&Undo"));
        QCOMPARE(items.at(0)->shortcut(), QKeySequence(QKeySequence::Undo));
        QCOMPARE(items.at(1)->text(), QStringLiteral("&Redo"));
        QCOMPARE(items.at(1)->shortcuts(), (QList<QKeySequence>{QKeySequence(QStringLiteral("Ctrl+Shift+Z")),
                                                                QKeySequence(QStringLiteral("Ctrl+Y"))}));
        QVERIFY(items.at(2)->isSeparator());
        QCOMPARE(items.at(3)->text(), QStringLiteral("New &Element"));
        QCOMPARE(items.at(4)->text(), QStringLiteral("New &Rule"));
        QCOMPARE(items.at(4)->shortcut(), QKeySequence(QStringLiteral("Ctrl+R")));
        QCOMPARE(items.at(5)->text(), QStringLiteral("New &At-rule"));
        QVERIFY(items.at(5)->menu());
        QCOMPARE(items.at(6)->text(), QStringLiteral("New &Property"));
        QCOMPARE(items.at(6)->shortcut(), QKeySequence(QStringLiteral("Ctrl+Shift+P")));
        QCOMPARE(items.at(7)->text(), QStringLiteral("&Delete Property"));
        QCOMPARE(items.at(7)->shortcut(), QKeySequence(Qt::Key_Delete));
        QVERIFY(items.at(8)->isSeparator());
        QCOMPARE(items.at(9)->text(), QStringLiteral("&Standard CSS"));
        QVERIFY(items.at(9)->isCheckable());
        QCOMPARE(items.at(10)->text(), QStringLiteral("Sho&w Unused Elements"));
        QVERIFY(items.at(10)->isCheckable());
        QVERIFY(items.at(10)->isChecked());
    }

    void dialogs()
    {
        TMainForm form;
        // None is made before it is used.
        QVERIFY(form.findChildren<QFileDialog *>().isEmpty());
        for (QFileDialog *dialog : {form.OpenDialog1.get(), form.OpenDialog2.get(), form.SaveDialog1.get()})
            QVERIFY(dialog->testOption(QFileDialog::DontUseNativeDialog));
        QCOMPARE(form.OpenDialog1->nameFilters(), QStringList{QStringLiteral("All Files (*)")});
        QCOMPARE(form.OpenDialog1->acceptMode(), QFileDialog::AcceptOpen);

        QCOMPARE(form.OpenDialog2->windowTitle(), QStringLiteral("Open Style Sheet"));
        QCOMPARE(form.OpenDialog2->nameFilters(),
                 (QStringList{QStringLiteral("Style Sheet Files (*.css)"), QStringLiteral("All Files (*)")}));
        QCOMPARE(form.OpenDialog2->fileMode(), QFileDialog::ExistingFile);

        QCOMPARE(form.SaveDialog1->windowTitle(), QStringLiteral("Save Style Sheet"));
        QCOMPARE(form.SaveDialog1->nameFilters(),
                 (QStringList{QStringLiteral("Style Sheet Files (*.css)"),
                              QStringLiteral("Text Files (*.txt)"), QStringLiteral("All Files (*)")}));
        QCOMPARE(form.SaveDialog1->selectedNameFilter(), QStringLiteral("Style Sheet Files (*.css)"));
        QCOMPARE(form.SaveDialog1->acceptMode(), QFileDialog::AcceptSave);
        QCOMPARE(form.SaveDialog1->defaultSuffix(), QStringLiteral("css"));
        // Replacing an existing file is asked first.
        QVERIFY(!form.SaveDialog1->testOption(QFileDialog::DontConfirmOverwrite));
    }

    void commandLineFileIsReadOnce()
    {
        QTemporaryDir dir;
        const QString sheet = dir.filePath(QStringLiteral("start.css"));
        writeFile(sheet, "BODY {color=red;}\r\nH1 {font-size=12;}");
        const auto form = startMainWindow(sheet);
        QVERIFY(form);
        QCOMPARE(form->windowTitle(), QStringLiteral("Loomwright CSS - ") + sheet);
        QCOMPARE(attributesOf(*form, QStringLiteral("BODY")), QStringList{QStringLiteral("color=red")});
        QVERIFY(form->pendingCommandLineFile().isEmpty());
        QVERIFY(!form->document().isModified());

        // Another window comes and goes; the main window is activated again.
        writeFile(sheet, "P {color=blue;}");
        DialogAnswerer answer;
        answer.on<TCodeForm>([](TCodeForm *code) { code->CloseClick(); });
        form->CodeClick();
        QVERIFY2(answer.done(), qPrintable(answer.report()));
        QApplication::setActiveWindow(form.get());
        QEvent activate(QEvent::WindowActivate);
        QApplication::sendEvent(form.get(), &activate);
        form->FormActivate();
        QTest::qWait(50);

        QCOMPARE(attributesOf(*form, QStringLiteral("BODY")), QStringList{QStringLiteral("color=red")});
        QCOMPARE(attributesOf(*form, QStringLiteral("P")), QStringList());
        for (const QString &pseudo : {QStringLiteral("A:Active"), QStringLiteral("A:Hover")})
            QCOMPARE(countOf(*form, pseudo), 1);
    }

    // A missing command-line file is said with the system's reason (other files that
    // cannot be opened: TestFileSafety); the window keeps its empty sheet.
    void missingCommandLineFileIsReported()
    {
        QTemporaryDir dir;
        const QString missing = dir.filePath(QStringLiteral("missing.css"));
        DialogAnswerer answer;
        answer.on<QMessageBox>([&](QMessageBox *box) {
            QCOMPARE(box->text(), QStringLiteral("Invalid or corrupt style sheet file"));
            QCOMPARE(box->informativeText(),
                     QStringLiteral("Cannot open file \"%1\". No such file or directory").arg(missing));
            DialogAnswerer::press(box, QMessageBox::Ok);
        });
        const auto form = startMainWindow(missing);
        QVERIFY(form);
        QVERIFY2(answer.done(), qPrintable(answer.report()));
        QCOMPARE(form->windowTitle(), QStringLiteral("Loomwright CSS - Not Saved"));
        QCOMPARE(countOf(*form, QStringLiteral("A:Hover")), 1);
    }

    void unreadableCommandLineFileIsReported()
    {
        QTemporaryDir dir;
        const QString sheet = dir.filePath(QStringLiteral("broken.css"));
        writeFile(sheet, "@media print { BODY { color: } }"); // a declaration without a value
        DialogAnswerer answer;
        answer.on<QMessageBox>([](QMessageBox *box) {
            QCOMPARE(box->text(), QStringLiteral("Invalid or corrupt style sheet file"));
            QCOMPARE(box->windowTitle(), QStringLiteral("Error"));
            QCOMPARE(box->icon(), QMessageBox::Critical);
            QCOMPARE(box->informativeText(),
                     QStringLiteral("line 1, column 23: the declaration \"color:\" has no value"));
            DialogAnswerer::press(box, QMessageBox::Ok);
        });
        const auto form = startMainWindow(sheet);
        QVERIFY(form);
        QVERIFY2(answer.done(), qPrintable(answer.report()));
        QCOMPARE(form->windowTitle(), QStringLiteral("Loomwright CSS - Not Saved"));
        QVERIFY(form->pendingCommandLineFile().isEmpty());
    }
};

LW_TEST_CLASS(TestMainFormStartUp)
#include "TestMainFormStartUp.moc"
