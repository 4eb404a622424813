#include "DocumentEdits.h"
#include "EditorFixture.h"
#include "StyleSheetModel.h"
#include "TMainForm.h"
#include "TestRegistry.h"

#include <QFont>
#include <QIcon>
#include <QTemporaryDir>
#include <QTest>

using namespace EditorFixture;

namespace {

const QByteArray Sheet = "P {colr: red; margin: 12 px; color: green; color: blue}\n"
                         "@media print { .note { display: flexx; color: red } }\n";

bool struckOut(const QModelIndex &index)
{
    return index.data(Qt::FontRole).value<QFont>().strikeOut();
}

bool marked(const QModelIndex &index)
{
    return index.data(StyleSheetModel::FindingRole).toBool();
}

QString reasonOf(const QModelIndex &index)
{
    return index.data(StyleSheetModel::FindingRole).toString();
}

} // namespace

// The declaration check's marks in the element tree: declarations a browser would drop
// are struck out with the reason as tooltip, the nodes holding them are marked, and
// edits and their undo move the marks.
class TestCheckMarks : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { prepareApplication(); }

    // A declaration's tooltip tells its Baseline status, from its weakest part; one of
    // limited availability is no drop: not struck out, no mark.
    void tooltipTellsSupport()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("sheet.css"));
        writeFile(path, ".a { gap: 1em; width: stretch }\n");
        const auto form = startMainWindow(path);
        QVERIFY(form);
        const QModelIndex gap = findNode(*form, QStringLiteral(".a"), QStringLiteral("gap: 1em"));
        const QModelIndex stretch = findNode(*form, QStringLiteral(".a"), QStringLiteral("width: stretch"));
        QCOMPARE(gap.data(Qt::ToolTipRole).toString(),
                 QStringLiteral("gap: 1em\nBaseline: widely available since 2020"));
        QVERIFY2(stretch.data(Qt::ToolTipRole)
                     .toString()
                     .startsWith(QStringLiteral("width: stretch\nLimited availability: not in Firefox")),
                 qPrintable(stretch.data(Qt::ToolTipRole).toString()));
        QVERIFY(stretch.data(Qt::ToolTipRole).toString().endsWith(QStringLiteral(" (stretch)")));
        QVERIFY(!struckOut(stretch));
        QVERIFY(!marked(stretch));
    }

    void readMarksDroppedDeclarations()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("sheet.css"));
        writeFile(path, Sheet);
        const auto form = startMainWindow(path);
        QVERIFY(form);

        const QModelIndex colr = findNode(*form, QStringLiteral("P"), QStringLiteral("colr: red"));
        const QModelIndex margin = findNode(*form, QStringLiteral("P"), QStringLiteral("margin: 12 px"));
        const QModelIndex green = findNode(*form, QStringLiteral("P"), QStringLiteral("color: green"));
        const QModelIndex blue = findNode(*form, QStringLiteral("P"), QStringLiteral("color: blue"));
        const QModelIndex flexx = findPath(*form, {QStringLiteral("@media print"), QStringLiteral(".note"),
                                                   QStringLiteral("display: flexx")});
        const QModelIndex red = findPath(
            *form, {QStringLiteral("@media print"), QStringLiteral(".note"), QStringLiteral("color: red")});
        for (const QModelIndex &index : {colr, margin, green, blue, flexx, red})
            QVERIFY(index.isValid());

        QCOMPARE(reasonOf(colr), QStringLiteral("unknown property colr (did you mean color?)"));
        QCOMPARE(reasonOf(green), QStringLiteral("overridden by line 1"));
        QVERIFY(!reasonOf(margin).isEmpty());
        QVERIFY(reasonOf(flexx).contains(QStringLiteral("flexx")));
        for (const QModelIndex &index : {colr, margin, green, flexx}) {
            QVERIFY2(struckOut(index), qPrintable(index.data().toString()));
            const QString tooltip = index.data(Qt::ToolTipRole).toString();
            QVERIFY2(tooltip.contains(reasonOf(index)), qPrintable(tooltip));
            QVERIFY(!index.data(Qt::DecorationRole).value<QIcon>().isNull());
        }
        for (const QModelIndex &index : {blue, red}) {
            QVERIFY(!struckOut(index));
            QVERIFY(!marked(index));
            // The label, then its browser support.
            QCOMPARE(index.data(Qt::ToolTipRole).toString(),
                     index.data().toString() + QStringLiteral("\nBaseline: widely available since 2018"));
        }
        // The rule, the block and the rule in it hold a dropped declaration.
        QVERIFY(marked(colr.parent()));
        QVERIFY(marked(flexx.parent()));
        QVERIFY(marked(flexx.parent().parent()));
        QVERIFY(!marked(findNode(*form, QStringLiteral("A"))));
    }

    void editsAndUndoMoveTheMarks()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("sheet.css"));
        writeFile(path, Sheet);
        const auto form = startMainWindow(path);
        QVERIFY(form);
        Document &document = form->document();
        const QStringList flexxPath = {QStringLiteral("@media print"), QStringLiteral(".note"),
                                       QStringLiteral("display: flexx")};
        const QStringList flexPath = {QStringLiteral("@media print"), QStringLiteral(".note"),
                                      QStringLiteral("display: flex")};

        // A valid value: the mark goes, from the declaration and the nodes above it.
        QVERIFY(DocumentEdits::writeValue(document, findPath(*form, flexxPath), QStringLiteral("flex")));
        const QModelIndex flex = findPath(*form, flexPath);
        QVERIFY(flex.isValid());
        QVERIFY(!struckOut(flex));
        QVERIFY(!marked(flex));
        QVERIFY(!marked(flex.parent()));
        QVERIFY(!marked(flex.parent().parent()));

        document.undoStack().undo();
        const QModelIndex flexx = findPath(*form, flexxPath);
        QVERIFY(flexx.isValid());
        QVERIFY(struckOut(flexx));
        QVERIFY(marked(flexx.parent().parent()));

        // Deleting the later colour leaves the earlier one in force; undo overrides it again.
        const QModelIndex blue = findNode(*form, QStringLiteral("P"), QStringLiteral("color: blue"));
        DocumentEdits::deleteProperty(document, blue);
        const QModelIndex green = findNode(*form, QStringLiteral("P"), QStringLiteral("color: green"));
        QVERIFY(!marked(green));
        QVERIFY(!struckOut(green));
        document.undoStack().undo();
        QCOMPARE(reasonOf(findNode(*form, QStringLiteral("P"), QStringLiteral("color: green"))),
                 QStringLiteral("overridden by line 1"));

        // The unknown property renamed to a known one: now the next colour overrides it.
        const QModelIndex colr = findNode(*form, QStringLiteral("P"), QStringLiteral("colr: red"));
        QVERIFY(form->document().elements().setData(colr, QStringLiteral("color: red")));
        QCOMPARE(reasonOf(findNode(*form, QStringLiteral("P"), QStringLiteral("color: red"))),
                 QStringLiteral("overridden by line 1"));
    }

    // A declaration that its @supports asks for is not struck out; once the block asks for
    // something else, it is.
    void supportsGuardsWhatItAsksFor()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("sheet.css"));
        writeFile(path, "@supports (text-wrap-style: avoid-orphans) {\n"
                        "  .x { text-wrap-style: avoid-orphans; display: flexx }\n"
                        "}\n");
        const auto form = startMainWindow(path);
        QVERIFY(form);
        const QString block = QStringLiteral("@supports (text-wrap-style: avoid-orphans)");
        const QString guarded = QStringLiteral("text-wrap-style: avoid-orphans");
        QVERIFY(findPath(*form, {block, QStringLiteral(".x"), guarded}).isValid());
        QVERIFY(!marked(findPath(*form, {block, QStringLiteral(".x"), guarded})));
        QVERIFY(struckOut(findPath(*form, {block, QStringLiteral(".x"), QStringLiteral("display: flexx")})));

        const QString other = QStringLiteral("@supports (display: grid)");
        QVERIFY(form->document().elements().setData(findNode(*form, block), other));
        const QModelIndex unguarded = findPath(*form, {other, QStringLiteral(".x"), guarded});
        QVERIFY(unguarded.isValid());
        QVERIFY(struckOut(unguarded));
        QVERIFY(reasonOf(unguarded).contains(QStringLiteral("avoid-orphans")));
    }
};

LW_TEST_CLASS(TestCheckMarks)
#include "TestCheckMarks.moc"
