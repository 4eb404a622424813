#include "DialogAnswerer.h"
#include "DocumentEdits.h"
#include "EditorFixture.h"
#include "ElementsTreeView.h"
#include "StyleSheetWriter.h"
#include "TMainForm.h"
#include "TestRegistry.h"

#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QTest>

using namespace EditorFixture;

namespace {

// The label edit open in the element tree, if any.
QLineEdit *labelEdit(TMainForm &form)
{
    const QModelIndex current = form.Elements->currentIndex();
    return current.isValid() ? qobject_cast<QLineEdit *>(form.Elements->indexWidget(current)) : nullptr;
}

// Types `text` over the open label edit's text and presses Return.
void typeLabel(TMainForm &form, const QString &text)
{
    QLineEdit *edit = labelEdit(form);
    QVERIFY(edit);
    edit->selectAll();
    QTest::keyClicks(edit, text);
    QTest::keyClick(edit, Qt::Key_Return);
    QTest::qWait(10);
}

// Presses a key in the element tree, as a user with the tree focused does.
void press(TMainForm &form, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QTest::keyClick(form.Elements, key, modifiers);
    QTest::qWait(10);
}

QString sheetText(TMainForm &form)
{
    return StyleSheetWriter::styleSheetText(form.document());
}

} // namespace

// Building a sheet's structure in the element tree with the New commands and the
// keyboard: each new node selected with its label in edit, nodes placed where CSS lets
// them stand, labels checked as they are typed, and refusals explained.
class TestTreeStructure : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { prepareApplication(); }

    // New Rule, New Property and New At-rule from the keyboard build a rule and an
    // @media block with a rule inside; the sheet written is exactly that.
    void buildRulesAndBlocksByKeyboard()
    {
        const auto form = startMainWindow({}, DocumentForm::Standard);
        QVERIFY(form);
        form->Elements->setFocus();
        form->Elements->setCurrentIndex(form->document().elements().rootIndex());

        press(*form, Qt::Key_R, Qt::ControlModifier);
        QLineEdit *edit = labelEdit(*form);
        QVERIFY(edit);
        QCOMPARE(edit->text(), QStringLiteral(".new-rule"));
        QCOMPARE(edit->selectedText(), QStringLiteral(".new-rule"));
        QVERIFY(form->Elements->visualRect(form->Elements->currentIndex())
                    .intersects(form->Elements->viewport()->rect()));
        typeLabel(*form, QStringLiteral(".card"));
        for (const QString &declaration :
             {QStringLiteral("padding: 16px"), QStringLiteral("border-radius: 8px")}) {
            press(*form, Qt::Key_P, Qt::ControlModifier | Qt::ShiftModifier);
            QVERIFY(labelEdit(*form));
            typeLabel(*form, declaration);
        }

        // The at-rules' menu opens at the selected node; its first entry is @media.
        form->Elements->setCurrentIndex(form->document().elements().rootIndex());
        press(*form, Qt::Key_R, Qt::ControlModifier | Qt::ShiftModifier);
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        QVERIFY(menu);
        QTest::keyClick(menu, Qt::Key_Down);
        QTest::keyClick(menu, Qt::Key_Return);
        QTest::qWait(10);
        edit = labelEdit(*form);
        QVERIFY(edit);
        QCOMPARE(edit->text(), QStringLiteral("@media (max-width: 600px)"));
        QTest::keyClick(edit, Qt::Key_Return);
        QTest::qWait(10);
        press(*form, Qt::Key_R, Qt::ControlModifier);
        typeLabel(*form, QStringLiteral(".card"));
        press(*form, Qt::Key_P, Qt::ControlModifier | Qt::ShiftModifier);
        typeLabel(*form, QStringLiteral("padding: 8px"));

        QCOMPARE(sheetText(*form),
                 QStringLiteral(".card {\n  padding: 16px;\n  border-radius: 8px;\n}\n\n"
                                "@media (max-width: 600px) {\n  .card {\n    padding: 8px;\n  "
                                "}\n}\n"));
    }

    // Escape in the first label edit of a new node takes the node away again; Return
    // keeps it with its first label.
    void escapeTakesTheNewNodeAway()
    {
        const auto form = startMainWindow({}, DocumentForm::Standard);
        QVERIFY(form);
        form->Elements->setFocus();
        const int steps = form->document().undoStack().index();
        press(*form, Qt::Key_R, Qt::ControlModifier);
        QVERIFY(labelEdit(*form));
        QTest::keyClick(labelEdit(*form), Qt::Key_Escape);
        QTest::qWait(20);
        QCOMPARE(form->document().undoStack().index(), steps);
        QCOMPARE(sheetText(*form), QString());

        press(*form, Qt::Key_R, Qt::ControlModifier);
        QTest::keyClick(labelEdit(*form), Qt::Key_Return);
        QTest::qWait(20);
        QCOMPARE(sheetText(*form), QStringLiteral(".new-rule {}\n"));
    }

    // A selector that a browser would drop is marked as it is typed, and refused with
    // the reason; the edit opens again on the typed text to be mended.
    void labelsCheckedAsTyped()
    {
        const auto form = startMainWindow({}, DocumentForm::Standard);
        QVERIFY(form);
        form->Elements->setFocus();
        press(*form, Qt::Key_R, Qt::ControlModifier);
        QLineEdit *edit = labelEdit(*form);
        QVERIFY(edit);
        edit->selectAll();
        QTest::keyClicks(edit, QStringLiteral("a:hovr"));
        QVERIFY2(edit->toolTip().contains(QStringLiteral("did you mean :hover?")),
                 qPrintable(edit->toolTip()));
        QTest::keyClick(edit, Qt::Key_Backspace);
        QTest::keyClick(edit, Qt::Key_Backspace);
        QTest::keyClicks(edit, QStringLiteral("ver"));
        QCOMPARE(edit->toolTip(), QString());

        edit->selectAll();
        QTest::keyClicks(edit, QStringLiteral("margin-bottom: 3px"));
        {
            DialogAnswerer answer;
            answer.on<QMessageBox>([](QMessageBox *box) {
                QVERIFY2(box->text().contains(QStringLiteral("drops this whole rule")),
                         qPrintable(box->text()));
                DialogAnswerer::press(box, QMessageBox::Ok);
            });
            QTest::keyClick(edit, Qt::Key_Return);
            QVERIFY2(answer.done(), qPrintable(answer.report()));
        }
        QTest::qWait(20);
        edit = labelEdit(*form);
        QVERIFY(edit);
        QCOMPARE(edit->text(), QStringLiteral("margin-bottom: 3px"));
        typeLabel(*form, QStringLiteral(".note"));
        QCOMPARE(sheetText(*form), QStringLiteral(".note {}\n"));
    }

    // A block of rules takes no declarations: New Property on one says why, and adds
    // nothing.
    void blockOfRulesRefusesDeclarations()
    {
        const auto form = startMainWindow({}, DocumentForm::Standard);
        QVERIFY(form);
        const QModelIndex block =
            DocumentEdits::newRule(form->document(), {}, QStringLiteral("@media print"), 0, NodeKind::Block);
        form->Elements->setFocus();
        form->Elements->setCurrentIndex(block);
        const QString before = sheetText(*form);
        {
            DialogAnswerer answer;
            answer.on<QMessageBox>([](QMessageBox *box) {
                QVERIFY2(box->text().contains(QStringLiteral("@media holds rules, not declarations")),
                         qPrintable(box->text()));
                DialogAnswerer::press(box, QMessageBox::Ok);
            });
            press(*form, Qt::Key_P, Qt::ControlModifier | Qt::ShiftModifier);
            QVERIFY2(answer.done(), qPrintable(answer.report()));
        }
        QCOMPARE(sheetText(*form), before);
    }
};

LW_TEST_CLASS(TestTreeStructure)
#include "TestTreeStructure.moc"
