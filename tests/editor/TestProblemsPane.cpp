#include "CheckMarks.h"
#include "DocumentEdits.h"
#include "EditorFixture.h"
#include "ElementsTreeView.h"
#include "ProblemsPane.h"
#include "StyleSheetModel.h"
#include "StyleSheetReader.h"
#include "TMainForm.h"
#include "TestRegistry.h"

#include <QComboBox>
#include <QLabel>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

using namespace EditorFixture;

namespace {

// Two problems of declarations, one of a selector, one of an at-rule, and one hint (the
// empty rule).
const QByteArray Sheet = "P {colr: red; display: flexx}\n"
                         "a:hovr {color: red}\n"
                         "@medai screen { .x {top: 0} }\n"
                         ".empty {}\n";

// The labels of the list's rows as shown (after sorting and filtering), column by column.
QStringList column(QTableView *view, int column)
{
    QStringList out;
    for (int row = 0; row < view->model()->rowCount(); ++row)
        out << view->model()->index(row, column).data().toString();
    return out;
}

} // namespace

// The problems pane of the main window: its rows after a read, after an edit, filtered
// by kind; choosing a row selects the node in the element tree; the count in the status
// line.
class TestProblemsPane : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { prepareApplication(); }

    void listsFollowsAndChooses()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("sheet.css"));
        writeFile(path, Sheet);
        const auto form = startMainWindow(path);
        QVERIFY(form);
        auto *pane = form->findChild<ProblemsPane *>();
        QVERIFY(pane);
        auto *view = pane->findChild<QTableView *>(QStringLiteral("ProblemList"));
        QVERIFY(view);

        // After the read, in line order.
        QTRY_COMPARE(column(view, 1),
                     (QStringList{QStringLiteral("1"), QStringLiteral("1"), QStringLiteral("2"),
                                  QStringLiteral("3"), QStringLiteral("4")}));
        QCOMPARE(column(view, 0),
                 (QStringList{QStringLiteral("Unknown property"), QStringLiteral("Invalid value"),
                              QStringLiteral("Selector"), QStringLiteral("Unknown at-rule"),
                              QStringLiteral("Hint: empty rule")}));
        QCOMPARE(column(view, 2), (QStringList{QStringLiteral("colr: red"), QStringLiteral("display: flexx"),
                                               QStringLiteral("a:hovr"), QStringLiteral("@medai screen"),
                                               QStringLiteral(".empty")}));
        QCOMPARE(pane->problemCount(), 4);
        QCOMPARE(pane->countLabel()->text(), QStringLiteral("Problems: 4, hints: 1"));
        QVERIFY(form->isAncestorOf(pane->countLabel()));

        // Sorted by another column at the user's click on its header.
        view->sortByColumn(0, Qt::AscendingOrder);
        QCOMPARE(column(view, 0).first(), QStringLiteral("Hint: empty rule"));
        view->sortByColumn(1, Qt::AscendingOrder);

        // Filtered by kind.
        auto *kinds = pane->findChild<QComboBox *>(QStringLiteral("ProblemKinds"));
        QVERIFY(kinds);
        kinds->setCurrentIndex(kinds->findText(QStringLiteral("Selector")));
        QCOMPARE(column(view, 2), QStringList{QStringLiteral("a:hovr")});
        kinds->setCurrentIndex(0);
        QCOMPARE(view->model()->rowCount(), 5);

        // Choosing a row selects its node: a declaration, then a rule.
        view->setCurrentIndex(view->model()->index(1, 0));
        QCOMPARE(form->Elements->currentIndex(),
                 findNode(*form, QStringLiteral("P"), QStringLiteral("display: flexx")));
        view->setCurrentIndex(view->model()->index(2, 0));
        QCOMPARE(form->Elements->currentIndex(), findNode(*form, QStringLiteral("a:hovr")));

        // An edit that mends a value: its row goes a moment later, the count follows.
        QVERIFY(DocumentEdits::writeValue(
            form->document(), findNode(*form, QStringLiteral("P"), QStringLiteral("display: flexx")),
            QStringLiteral("flex")));
        QTRY_COMPARE(pane->problemCount(), 3);
        QVERIFY(!column(view, 2).contains(QStringLiteral("display: flexx")));
        // Undo brings it back.
        form->document().undoStack().undo();
        QTRY_COMPARE(pane->problemCount(), 4);
        // A row chosen after a node before it went away selects the right node still.
        DocumentEdits::deleteProperty(form->document(),
                                      findNode(*form, QStringLiteral("P"), QStringLiteral("colr: red")));
        QTRY_COMPARE(pane->problemCount(), 3);
        view->setCurrentIndex(view->model()->index(0, 0));
        QCOMPARE(form->Elements->currentIndex(),
                 findNode(*form, QStringLiteral("P"), QStringLiteral("display: flexx")));
    }

    // A read is checked once for the tree's marks and the list together: as the read
    // ends, before any event is handled, the list shows the new sheet's findings and
    // starts no check of its own, and the tree has its marks.
    void readCheckedOnceForMarksAndList()
    {
        QTemporaryDir dir;
        const QString first = dir.filePath(QStringLiteral("first.css"));
        const QString second = dir.filePath(QStringLiteral("second.css"));
        writeFile(first, Sheet);
        writeFile(second, ".b { colr: red }\n.b { top: 0 }\n");
        const auto form = startMainWindow(first);
        QVERIFY(form);
        auto *pane = form->findChild<ProblemsPane *>();
        QVERIFY(pane);
        auto *view = pane->findChild<QTableView *>(QStringLiteral("ProblemList"));
        QVERIFY(view);
        QTRY_COMPARE(pane->problemCount(), 4);
        QTRY_VERIFY(!pane->checking());

        QVERIFY(StyleSheetReader::readStyleSheet(form->document(), form->catalogue(), second));
        QVERIFY(!pane->checking());
        QCOMPARE(column(view, 0), (QStringList{QStringLiteral("Unknown property"),
                                               QStringLiteral("Hint: same selector twice")}));
        QCOMPARE(pane->countLabel()->text(), QStringLiteral("Problems: 1, hints: 1"));
        QVERIFY(findNode(*form, QStringLiteral(".b"), QStringLiteral("colr: red"))
                    .data(StyleSheetModel::FindingRole)
                    .toBool());
    }

    // A read whose check takes longer than a moment is shown first and checked on after:
    // as the read ends the check still goes on and the list starts no check of its own;
    // when the check is done, the marks and the rows are those of a check at once. An
    // edit while it goes on starts it anew, and what it finds follows the edit.
    void longCheckGoesOnAfterTheRead()
    {
        QTemporaryDir dir;
        const QString first = dir.filePath(QStringLiteral("first.css"));
        const QString second = dir.filePath(QStringLiteral("second.css"));
        writeFile(first, ".a { colr: red }\n");
        writeFile(second, Sheet);
        const auto form = startMainWindow(first);
        QVERIFY(form);
        auto *pane = form->findChild<ProblemsPane *>();
        auto *marks = form->findChild<CheckMarks *>();
        QVERIFY(pane && marks);
        auto *view = pane->findChild<QTableView *>(QStringLiteral("ProblemList"));
        QTRY_VERIFY(!pane->checking() && !marks->checking());
        marks->setFirstCheckBudget(0); // one top-level node, then the rest after the read

        QVERIFY(StyleSheetReader::readStyleSheet(form->document(), form->catalogue(), second));
        QVERIFY(marks->checking());
        QVERIFY(!pane->checking());
        // No rows meanwhile: rows of the sheet before would name nodes of this one.
        QCOMPARE(view->model()->rowCount(), 0);
        QCOMPARE(pane->countLabel()->text(), QStringLiteral("Problems: checking…"));
        const QModelIndex colr = findNode(*form, QStringLiteral("P"), QStringLiteral("colr: red"));
        QTRY_VERIFY(!marks->checking());
        QVERIFY(colr.data(StyleSheetModel::FindingRole).toBool());
        QVERIFY(!pane->checking());
        QCOMPARE(column(view, 2), (QStringList{QStringLiteral("colr: red"), QStringLiteral("display: flexx"),
                                               QStringLiteral("a:hovr"), QStringLiteral("@medai screen"),
                                               QStringLiteral(".empty")}));

        // Read again, then mended while the check goes on: it starts anew on the mended
        // sheet, and neither the marks nor the rows keep the mended value.
        QVERIFY(StyleSheetReader::readStyleSheet(form->document(), form->catalogue(), second));
        QVERIFY(marks->checking());
        QVERIFY(DocumentEdits::writeValue(
            form->document(), findNode(*form, QStringLiteral("P"), QStringLiteral("display: flexx")),
            QStringLiteral("flex")));
        QVERIFY(marks->checking());
        QTRY_VERIFY(!marks->checking() && !pane->checking());
        QVERIFY(!findNode(*form, QStringLiteral("P"), QStringLiteral("display: flex"))
                     .data(StyleSheetModel::FindingRole)
                     .toBool());
        QVERIFY(findNode(*form, QStringLiteral("P"), QStringLiteral("colr: red"))
                    .data(StyleSheetModel::FindingRole)
                    .toBool());
        QTRY_COMPARE(pane->problemCount(), 3);
        QVERIFY(!column(view, 2).contains(QStringLiteral("display: flexx")));
    }

    // A support target chosen in the pane adds support rows (as light as hints, no
    // problems), is kept in the settings for the next window, and "none" takes them away.
    void supportTarget()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("sheet.css"));
        writeFile(path, "a:has(img) {color: red}\n.b {aspect-ratio: 1; color: red}\n");
        {
            const auto form = startMainWindow(path);
            QVERIFY(form);
            auto *pane = form->findChild<ProblemsPane *>();
            QVERIFY(pane);
            auto *view = pane->findChild<QTableView *>(QStringLiteral("ProblemList"));
            QVERIFY(view);
            QTRY_VERIFY(!pane->checking());
            QCOMPARE(view->model()->rowCount(), 0);
            pane->setSupportTarget({SupportCheck::Target::Level::Year, 2019});
            QCOMPARE(column(view, 0), (QStringList{QStringLiteral("Support"), QStringLiteral("Support")}));
            QCOMPARE(column(view, 2),
                     (QStringList{QStringLiteral("a:has(img)"), QStringLiteral("aspect-ratio: 1")}));
            QCOMPARE(
                column(view, 3).first(),
                QStringLiteral("outside the support target (Baseline 2019): :has() is Baseline since 2023"));
            QCOMPARE(pane->problemCount(), 0);
            QCOMPARE(pane->countLabel()->text(), QStringLiteral("Problems: 0, hints: 2"));
            // Nothing in the tree is struck out for it.
            QVERIFY(!findNode(*form, QStringLiteral(".b"), QStringLiteral("aspect-ratio: 1"))
                         .data(StyleSheetModel::FindingRole)
                         .toBool());
        }
        {
            const auto form = startMainWindow(path);
            QVERIFY(form);
            auto *pane = form->findChild<ProblemsPane *>();
            QCOMPARE(pane->supportTarget().key(), QStringLiteral("2019"));
            auto *view = pane->findChild<QTableView *>(QStringLiteral("ProblemList"));
            QTRY_COMPARE(view->model()->rowCount(), 2);
            pane->setSupportTarget({});
            QCOMPARE(view->model()->rowCount(), 0);
        }
        const auto form = startMainWindow(path);
        QVERIFY(form);
        QVERIFY(form->findChild<ProblemsPane *>()->supportTarget().isOff());
    }
};

LW_TEST_CLASS(TestProblemsPane)
#include "TestProblemsPane.moc"
