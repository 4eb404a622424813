#include "Colors.h"
#include "DialogAnswerer.h"
#include "EditorFixture.h"
#include "ElementsTreeView.h"
#include "TCSpinEdit.h"
#include "TMainForm.h"
#include "TZEBColorButton.h"
#include "TestRegistry.h"

#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using namespace EditorFixture;

namespace {

// The editors' names, in the window's order, and the one(s) enabled now.
QStringList enabledEditors(const TMainForm &form)
{
    QStringList names;
    const std::pair<const char *, QWidget *> editors[] = {
        {"ColorButton", form.ColorButton},   {"FontCombo", form.FontCombo}, {"Numbers", form.Numbers},
        {"OptionsCombo", form.OptionsCombo}, {"FileEdit", form.FileEdit},   {"Browse", form.Browse},
    };
    for (const auto &[name, editor] : editors)
        if (editor->isEnabled())
            names << QString::fromLatin1(name);
    return names;
}

// What the enabled editor shows: a colour as #RRGGBB, else the editor's text.
QString shownBy(const TMainForm &form, const QString &editor)
{
    if (editor == QLatin1String("ColorButton"))
        return QString::fromLatin1(ColorToHex(form.ColorButton->color()));
    if (editor == QLatin1String("FontCombo"))
        return form.FontCombo->currentText();
    if (editor == QLatin1String("Numbers"))
        return form.Numbers->text();
    if (editor == QLatin1String("OptionsCombo"))
        return form.OptionsCombo->currentText();
    if (editor == QLatin1String("FileEdit"))
        return form.FileEdit->text();
    return {};
}

QStringList comboItems(const QComboBox *combo)
{
    QStringList items;
    for (int i = 0; i < combo->count(); ++i)
        items << combo->itemText(i);
    return items;
}

constexpr uint32_t Green = 0x0000FF00; // 0x00BBGGRR

const QStringList FontWeights = {QStringLiteral("normal"),  QStringLiteral("bold"), QStringLiteral("bolder"),
                                 QStringLiteral("lighter"), QStringLiteral("100"),  QStringLiteral("200"),
                                 QStringLiteral("300"),     QStringLiteral("400"),  QStringLiteral("500"),
                                 QStringLiteral("600"),     QStringLiteral("700"),  QStringLiteral("800"),
                                 QStringLiteral("900")};

} // namespace

// What a click in the element tree enables and presets, and which labels it changes;
// how the other selection changes, the context menu and its commands behave.
class TestElementClicks : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { prepareApplication(); }

    void clickSteps_data()
    {
        QTest::addColumn<QString>("label");       // P's only attribute
        QTest::addColumn<QString>("target");      // "attribute", "element", "root", "empty"
        QTest::addColumn<uint>("colourBefore");   // ColorButton before the click
        QTest::addColumn<int>("numberBefore");    // Numbers before the click
        QTest::addColumn<QStringList>("enabled"); // the editors enabled afterwards
        QTest::addColumn<QString>("shown");       // what the enabled editor shows
        QTest::addColumn<QString>("labelAfter");
        QTest::addColumn<bool>("modified");
        QTest::addColumn<QString>("message"); // an exception message box, or none

        const QStringList none;
        const QStringList colour = {QStringLiteral("ColorButton")};
        const QStringList font = {QStringLiteral("FontCombo")};
        const QStringList number = {QStringLiteral("Numbers")};
        const QStringList choice = {QStringLiteral("OptionsCombo")};
        const QStringList file = {QStringLiteral("FileEdit"), QStringLiteral("Browse")};
        const QString noMessage;

        QTest::newRow("root") << "color=red"
                              << "root" << 0u << 0 << none << ""
                              << "color=red" << false << noMessage;
        QTest::newRow("element") << "color=red"
                                 << "element" << 0u << 0 << none << ""
                                 << "color=red" << false << noMessage;
        QTest::newRow("empty space after an attribute") << "margin=5"
                                                        << "empty" << 0u << 5 << none << ""
                                                        << "margin=5" << false << noMessage;
        QTest::newRow("no kind, a word") << "border=none"
                                         << "attribute" << 0u << 0 << none << ""
                                         << "border=none" << false << noMessage;
        // Where the property names no editor the value's kind decides; the click only
        // presets it, it writes nothing.
        QTest::newRow("no kind, a number") << "border=1.50px"
                                           << "attribute" << 0u << 0 << number << "1.5"
                                           << "border=1.50px" << false << noMessage;
        QTest::newRow("no kind, a colour") << "border=#abc"
                                           << "attribute" << Green << 0 << colour << "#AABBCC"
                                           << "border=#abc" << false << noMessage;

        QTest::newRow("colour by name is normalised") << "color=red"
                                                      << "attribute" << Green << 0 << colour << "#FF0000"
                                                      << "color=#FF0000" << true << noMessage;
        QTest::newRow("colour the button holds") << "color=#00FF00"
                                                 << "attribute" << Green << 0 << colour << "#00FF00"
                                                 << "color=#00FF00" << false << noMessage;
        QTest::newRow("inherit is no colour") << "color=inherit"
                                              << "attribute" << Green << 0 << colour << "#00FF00"
                                              << "color=inherit" << false << noMessage;
        QTest::newRow("var() is no colour") << "background-color=var(--x)"
                                            << "attribute" << Green << 0 << colour << "#00FF00"
                                            << "background-color=var(--x)" << false << noMessage;
        QTest::newRow("misspelt colour") << "color=rde"
                                         << "attribute" << Green << 0 << colour << "#00FF00"
                                         << "color=rde" << false << noMessage;

        QTest::newRow("number Numbers shows") << "margin=5"
                                              << "attribute" << 0u << 5 << number << "5"
                                              << "margin=5" << false << noMessage;
        QTest::newRow("quoted number") << "margin=\"7\""
                                       << "attribute" << 0u << 5 << number << "7"
                                       << "margin=7" << true << noMessage;
        QTest::newRow("a sign before a number") << "margin=$1F"
                                                << "attribute" << 0u << 5 << number << "1"
                                                << "margin=$1F" << false << noMessage;
        QTest::newRow("number with a unit") << "margin=12px"
                                            << "attribute" << 0u << 5 << number << "12"
                                            << "margin=12px" << false << noMessage;
        QTest::newRow("decimals and a second value") << "margin=0.67em 0"
                                                     << "attribute" << 0u << 5 << number << "0.67"
                                                     << "margin=0.67em 0" << false << noMessage;
        QTest::newRow("empty number") << "margin="
                                      << "attribute" << 0u << 5 << number << ""
                                      << "margin=" << false << noMessage;

        QTest::newRow("font") << "font-family=\"Times New Roman\""
                              << "attribute" << 0u << 0 << font << "Times New Roman"
                              << "font-family=\"Times New Roman\"" << false << noMessage;
        QTest::newRow("choice") << "font-weight=bold"
                                << "attribute" << 0u << 0 << choice << "bold"
                                << "font-weight=bold" << false << noMessage;
        QTest::newRow("unquoted file gains quotes") << "background-image=pic.png"
                                                    << "attribute" << 0u << 0 << file << "pic.png"
                                                    << "background-image=\"pic.png\"" << true << noMessage;
        // The file box's text changes, so the write happens (and marks the sheet) even
        // though the label comes out the same.
        QTest::newRow("quoted file") << "background-image=\"a b.png\""
                                     << "attribute" << 0u << 0 << file << "a b.png"
                                     << "background-image=\"a b.png\"" << false << noMessage;
    }

    void clickSteps()
    {
        QFETCH(QString, label);
        QFETCH(QString, target);
        QFETCH(uint, colourBefore);
        QFETCH(int, numberBefore);
        QFETCH(QStringList, enabled);
        QFETCH(QString, shown);
        QFETCH(QString, labelAfter);
        QFETCH(bool, modified);
        QFETCH(QString, message);

        QTemporaryDir dir;
        const QString sheet = dir.filePath(QStringLiteral("sheet.css"));
        writeFile(sheet, "P {" + label.toUtf8() + "}");
        const auto form = startMainWindow(sheet);
        QVERIFY(form);
        QCOMPARE(attributeLabels(*form, QStringLiteral("P")), QStringList{label});
        // Set with the root selected: nothing is written.
        form->ColorButton->setColor(colourBefore);
        form->Numbers->setValue(numberBefore);
        QVERIFY(!form->document().isModified());

        DialogAnswerer answer;
        if (!message.isEmpty()) {
            answer.on<QMessageBox>([&message](QMessageBox *box) {
                QCOMPARE(box->text(), message);
                QCOMPARE(box->windowTitle(), QStringLiteral("Loomwright CSS"));
                QCOMPARE(box->icon(), QMessageBox::Critical);
                QCOMPARE(box->standardButtons(), QMessageBox::StandardButtons(QMessageBox::Ok));
                DialogAnswerer::press(box, QMessageBox::Ok);
            });
        }
        const QModelIndex attribute = findNode(*form, QStringLiteral("P"), label);
        if (target == QLatin1String("root")) {
            clickNode(*form, findNode(*form, {}));
        } else if (target == QLatin1String("element")) {
            clickNode(*form, findNode(*form, QStringLiteral("P")));
        } else {
            clickNode(*form, attribute);
            QCOMPARE(form->selectedNode(), attribute);
            if (target == QLatin1String("empty")) {
                clickNode(*form, QModelIndex());
                QVERIFY(!form->selectedNode().isValid());
            }
        }
        QVERIFY2(answer.done(), qPrintable(answer.report()));

        QCOMPARE(enabledEditors(*form), enabled);
        if (!enabled.isEmpty())
            QCOMPARE(shownBy(*form, enabled.first()), shown);
        if (enabled == QStringList{QStringLiteral("OptionsCombo")})
            QCOMPARE(comboItems(form->OptionsCombo), FontWeights);
        QCOMPARE(attributeLabels(*form, QStringLiteral("P")), QStringList{labelAfter});
        QCOMPARE(form->document().isModified(), modified);
    }

    // A change of the current node by keyboard, by removal of the node or by a new
    // document runs the click steps: the editors always belong to the current node,
    // and an element's label is never replaced by a value.
    void everySelectionChangeRunsTheClickSteps()
    {
        QTemporaryDir dir;
        const QString sheet = dir.filePath(QStringLiteral("sheet.css"));
        writeFile(sheet, "P {margin=5; color=red}");
        const auto form = startMainWindow(sheet);
        QVERIFY(form);
        QTreeView *tree = form->Elements;
        const QModelIndex margin = findNode(*form, QStringLiteral("P"), QStringLiteral("margin=5"));
        clickNode(*form, margin);
        QCOMPARE(enabledEditors(*form), QStringList{QStringLiteral("Numbers")});

        QTest::keyClick(tree, Qt::Key_Down);
        QCOMPARE(tree->currentIndex(), findNode(*form, QStringLiteral("P"), QStringLiteral("color=#FF0000")));
        QCOMPARE(enabledEditors(*form), QStringList{QStringLiteral("ColorButton")});

        // On to the next element node: nothing is enabled, and a change of a value
        // editor (here by the program) writes nothing.
        QTest::keyClick(tree, Qt::Key_Down);
        const QModelIndex element = tree->currentIndex();
        QCOMPARE(element.parent(), findNode(*form, {}));
        const QString elementLabel = element.data().toString();
        QCOMPARE(enabledEditors(*form), QStringList());
        form->document().setModified(false);
        form->Numbers->setValue(42);
        form->ColorButton->setColor(Green);
        form->FileEdit->setText(QStringLiteral("x.png"));
        QCOMPARE(element.data().toString(), elementLabel);
        QCOMPARE(attributeLabels(*form, QStringLiteral("P")),
                 (QStringList{QStringLiteral("margin=5"), QStringLiteral("color=#FF0000")}));
        QVERIFY(!form->document().isModified());

        // Deleting the selected colour node moves the selection to margin=5, whose
        // editor is then enabled and preset; the spin edit writes into margin only.
        clickNode(*form, findNode(*form, QStringLiteral("P"), QStringLiteral("color=#FF0000")));
        QCOMPARE(enabledEditors(*form), QStringList{QStringLiteral("ColorButton")});
        QTest::keyClick(tree, Qt::Key_Delete);
        QCOMPARE(attributeLabels(*form, QStringLiteral("P")), QStringList{QStringLiteral("margin=5")});
        const QModelIndex now = tree->currentIndex();
        QCOMPARE(now, findNode(*form, QStringLiteral("P"), QStringLiteral("margin=5")));
        QCOMPARE(enabledEditors(*form), QStringList{QStringLiteral("Numbers")});
        QCOMPARE(form->Numbers->text(), QStringLiteral("5"));
        form->Numbers->setValue(8);
        QCOMPARE(attributeLabels(*form, QStringLiteral("P")), QStringList{QStringLiteral("margin=8")});

        // New replaces the document: the root is current and nothing is enabled.
        DialogAnswerer answer;
        answer.on<QMessageBox>([](QMessageBox *box) { DialogAnswerer::press(box, QMessageBox::No); });
        form->NewClick();
        QVERIFY2(answer.done(), qPrintable(answer.report()));
        QCOMPARE(tree->currentIndex(), findNode(*form, {}));
        QCOMPARE(enabledEditors(*form), QStringList());
    }

    // Clicking the current node again presets its editor afresh: here after its label
    // was edited in place.
    void clickOnTheCurrentNodeRunsTheStepsAgain()
    {
        QTemporaryDir dir;
        const QString sheet = dir.filePath(QStringLiteral("sheet.css"));
        writeFile(sheet, "P {margin=5}");
        const auto form = startMainWindow(sheet);
        QVERIFY(form);
        const QModelIndex margin = findNode(*form, QStringLiteral("P"), QStringLiteral("margin=5"));
        clickNode(*form, margin);
        QCOMPARE(form->Numbers->text(), QStringLiteral("5"));
        QVERIFY(form->document().elements().setData(margin, QStringLiteral("margin=\"9\"")));
        clickNode(*form, margin);
        QCOMPARE(form->Numbers->text(), QStringLiteral("9"));
        QCOMPARE(attributeLabels(*form, QStringLiteral("P")), QStringList{QStringLiteral("margin=9")});
    }

    void menuEnabling_data()
    {
        QTest::addColumn<QString>("element");
        QTest::addColumn<QString>("attribute");
        QTest::addColumn<bool>("deleteEnabled");
        QTest::newRow("root") << QString() << QString() << false;
        // One of the catalogue's nodes: Delete takes its declarations.
        QTest::newRow("element") << "P" << QString() << true;
        QTest::newRow("element without declarations") << "H1" << QString() << false;
        QTest::newRow("attribute") << "P"
                                   << "margin=5" << true;
    }

    // The context menu opens on a right click; Delete is offered when the selected node
    // holds something to delete, the other two items always.
    void menuEnabling()
    {
        QFETCH(QString, element);
        QFETCH(QString, attribute);
        QFETCH(bool, deleteEnabled);
        QTemporaryDir dir;
        const QString sheet = dir.filePath(QStringLiteral("sheet.css"));
        writeFile(sheet, "P {margin=5}");
        const auto form = startMainWindow(sheet);
        QVERIFY(form);
        const QModelIndex node = findNode(*form, element, attribute);
        clickNode(*form, node);
        QWidget *viewport = form->Elements->viewport();
        const QPoint at = form->Elements->visualRect(node).center();
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, viewport->mapToGlobal(at));
        QApplication::sendEvent(viewport, &event);
        QTRY_VERIFY(form->ElementsPopup->isVisible());
        QCOMPARE(form->DeleteProperty1->isEnabled(), deleteEnabled);
        QVERIFY(form->NewElement1->isEnabled());
        QVERIFY(form->NewProperty1->isEnabled());
        form->ElementsPopup->close();
        QCOMPARE(form->DeleteProperty1->isEnabled(), deleteEnabled);
    }

    void newPropertyAndNewElement()
    {
        const auto form = startMainWindow();
        QVERIFY(form);
        const StyleSheetModel &elements = form->document().elements();
        const QModelIndex root = findNode(*form, {});
        QCOMPARE(form->selectedNode(), root);
        const int elementCount = elements.elementCount();

        // With the root selected, the new property goes under the first element; it is
        // selected with its label in edit (which another selection closes, keeping it).
        form->NewProperty1->trigger();
        QCOMPARE(form->selectedNode(), elements.attributeIndex(0, 0));
        QVERIFY(form->Elements->indexWidget(form->selectedNode()));
        form->Elements->setCurrentIndex(root);
        QCOMPARE(elements.rowCount(root), elementCount);
        QCOMPARE(elements.element(0).attributes.size(), size_t(1));
        QCOMPARE(elements.element(0).attributes[0].label(DocumentForm::Editor),
                 QStringLiteral("New Property"));
        QCOMPARE(elements.element(0).attributes[0].picture, 0);
        QVERIFY(form->document().isModified());

        form->document().setModified(false);
        form->NewElement1->trigger();
        QCOMPARE(elements.elementCount(), elementCount + 1);
        QCOMPARE(elements.element(elementCount).label, QStringLiteral("New Element"));
        QCOMPARE(elements.element(elementCount).picture, 0);
        QVERIFY(form->document().isModified());
        QCOMPARE(form->selectedNode(), elements.elementIndex(elementCount));

        // A click on the new property (no "=", picture 0) enables no editor.
        clickNode(*form, elements.attributeIndex(0, 0));
        QCOMPARE(enabledEditors(*form), QStringList());
    }
};

LW_TEST_CLASS(TestElementClicks)
#include "TestElementClicks.moc"
