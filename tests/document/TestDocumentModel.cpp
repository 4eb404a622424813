#include "AttributeLabel.h"
#include "Document.h"
#include "TestRegistry.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTest>
#include <QTreeView>

namespace {

// An element list as a build gives it: rows "!--", "!DOCTYPE", "![CDATA[" are hidden,
// so the named rows start at row 4.
Catalogue::ElementList elementList(const QStringList &shownRows)
{
    Catalogue::ElementList list;
    list.rows = int(shownRows.size()) + 3;
    int picture = ImageList::BasePictures + 3;
    for (int i = 0; i < shownRows.size(); ++i) {
        list.nodes.push_back({shownRows[i], picture++});
        if (shownRows[i] == QLatin1String("A"))
            list.aPosition = i + 4;
    }
    return list;
}

QStringList labels(const StyleSheetModel &model)
{
    QStringList result;
    for (const auto &element : model.elements())
        result << element->label;
    return result;
}

// What a view shows: every row, depth-first, indented by level.
void collect(const QTreeView &view, const QModelIndex &index, int level, QStringList &out)
{
    out << QString(level, QLatin1Char(' ')) + index.data().toString();
    const QAbstractItemModel *model = view.model();
    for (int r = 0; r < model->rowCount(index); ++r)
        collect(view, model->index(r, 0, index), level + 1, out);
}

} // namespace

class TestDocumentModel : public QObject
{
    Q_OBJECT
private slots:
    // The pseudo-class nodes stand directly after "A" (picture 9), and every catalogue
    // row maps to the node that shows it.
    void pseudoClassNodesAndPositions()
    {
        Document document;
        QAbstractItemModelTester tester(&document.elements(),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        document.applyElementList(elementList({"A", "ABBR", "B", "BODY"}));
        QCOMPARE(document.aPosition(), 4);
        document.addPseudoClassNodes();
        QCOMPARE(labels(document.elements()),
                 (QStringList{"A", "A:Active", "A:Hover", "A:Visited", "ABBR", "B", "BODY"}));
        for (int i = 1; i <= 3; ++i)
            QCOMPARE(document.elements().element(i).picture, Document::PseudoClassPicture);
        QCOMPARE(document.pseudoClassPosition(), document.aPosition() - 3);
        // Row n <= aPosition stands at n - 4, a later row at n - 1.
        QCOMPARE(document.positionOfRow(4), 0);
        QCOMPARE(document.positionOfRow(5), 4);
        QCOMPARE(document.positionOfRow(7), 6);
        QCOMPARE(document.positionOfRow(2), -1);
        QCOMPARE(document.fixedElementCount(), 7);
        // Adding them twice changes nothing.
        document.addPseudoClassNodes();
        QCOMPARE(document.elements().elementCount(), 7);
    }

    void catalogueWithoutA_data()
    {
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("no row A") << QStringList{"B", "P"}
                                  << QStringList{"B", "P", "A:Active", "A:Hover", "A:Visited"};
        QTest::newRow("no rows at all") << QStringList{} << QStringList{"A:Active", "A:Hover", "A:Visited"};
    }
    // Without a shown "A" the pseudo-class nodes go after the catalogue nodes, and the
    // row mapping stays consistent with where they are.
    void catalogueWithoutA()
    {
        QFETCH(QStringList, rows);
        QFETCH(QStringList, expected);
        Document document;
        document.applyElementList(elementList(rows));
        QCOMPARE(document.aPosition(), 0);
        document.addPseudoClassNodes();
        QCOMPARE(labels(document.elements()), expected);
        for (int row = 4; row < 4 + rows.size(); ++row)
            QCOMPARE(document.elements().element(document.positionOfRow(row)).label, rows.at(row - 4));
    }

    // A build without a row "A" keeps the earlier row number of "A".
    void aPositionKeptWithoutA()
    {
        Document document;
        document.applyElementList(elementList({"A", "B"}));
        document.applyElementList(elementList({"B", "C"}));
        QCOMPARE(document.aPosition(), 4);
    }

    // The view shows exactly the document's structure, also after each named change.
    void viewShowsTheStructure()
    {
        Document document;
        StyleSheetModel &model = document.elements();
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        document.applyElementList(elementList({"A", "BODY"}));
        document.addPseudoClassNodes();
        QTreeView view;
        view.setModel(&model);
        view.expandAll();
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));

        const int body = 4;
        model.sheet().appendAttribute(body, QStringLiteral("color=red"), 1);
        model.sheet().appendAttribute(body, QStringLiteral("margin=5"), 2);
        const int note = model.sheet().appendElement(QStringLiteral(".note"), 0);
        model.sheet().appendAttribute(note, QStringLiteral("x=y"), 0);
        model.sheet().relabelAttribute(body, 1, QStringLiteral("margin=7"));
        model.sheet().insertElement(1, QStringLiteral("EM"), 12);
        model.sheet().deleteAttribute(note + 1, 0);
        model.sheet().appendAttribute(note + 1, QStringLiteral("a=b"), 0);

        QStringList shown;
        collect(view, model.index(0, 0), 0, shown);
        QCOMPARE(shown, (QStringList{"Elements", " A", " EM", " A:Active", " A:Hover", " A:Visited", " BODY",
                                     "  color=red", "  margin=7", " .note", "  a=b"}));
        const QModelIndex margin = model.attributeIndex(5, 1);
        QCOMPARE(margin.data(StyleSheetModel::PictureRole).toInt(), 2);
        QCOMPARE(model.parent(margin), model.elementIndex(5));
        QCOMPARE(StyleSheetModel::levelOf(margin), int(StyleSheetModel::AttributeLevel));
        QCOMPARE(StyleSheetModel::levelOf(model.rootIndex()), int(StyleSheetModel::RootLevel));
        QCOMPARE(model.elementOf(margin), 5);

        model.sheet().deleteAttributes(5);
        QCOMPARE(model.rowCount(model.elementIndex(5)), 0);
    }

    // A declaration's finding marks it and every node above it; the marks follow the
    // declaration through the primitives of the undo steps.
    void findingMarks()
    {
        StyleSheet sheet;
        StyleSheetModel model(sheet);
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        ElementNodes nodes;
        auto block = std::make_unique<ElementNode>();
        block->kind = NodeKind::Block;
        block->label = QStringLiteral("@media print");
        auto rule = std::make_unique<ElementNode>();
        rule->label = QStringLiteral(".note");
        rule->parent = block.get();
        rule->attributes.emplace_back(u"colr", u"red");
        rule->attributes.emplace_back(u"margin", u"0");
        ElementNode *note = rule.get();
        block->children.push_back(std::move(rule));
        nodes.push_back(std::move(block));
        nodes.push_back(std::make_unique<ElementNode>());
        model.sheet().replaceContent(std::move(nodes), {}, DocumentForm::Standard);
        const QModelIndex blockIndex = model.elementIndex(0);
        const QModelIndex noteIndex = model.nodeIndex(note);
        auto markedNodes = [&] {
            return QList<bool>{blockIndex.data(StyleSheetModel::FindingRole).toBool(),
                               noteIndex.data(StyleSheetModel::FindingRole).toBool(),
                               model.elementIndex(1).data(StyleSheetModel::FindingRole).toBool()};
        };
        model.setFindingMarkProvider([](int role, int) { return QVariant(role); });

        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
        model.sheet().setFinding(note, 0, QStringLiteral("unknown property colr"));
        QCOMPARE(markedNodes(), (QList<bool>{true, true, false}));
        QCOMPARE(changed.size(), 3); // the declaration, its rule, the block
        const QModelIndex colr = model.attributeIndex(note, 0);
        QCOMPARE(colr.data(StyleSheetModel::FindingRole).toString(), QStringLiteral("unknown property colr"));
        QCOMPARE(colr.data(Qt::ToolTipRole).toString(), QStringLiteral("colr: red\nunknown property colr"));
        QCOMPARE(colr.data(Qt::FontRole).toInt(), int(Qt::FontRole));
        QVERIFY(!model.attributeIndex(note, 1).data(Qt::FontRole).isValid());
        QVERIFY(!model.attributeIndex(note, 1).data(StyleSheetModel::FindingRole).isValid());

        model.sheet().relabelAttribute(note, 0, QStringLiteral("colr: blue"));
        QCOMPARE(model.findingCount(), 1);
        AttributeNode taken = model.sheet().takeAttribute(note, 0);
        QCOMPARE(markedNodes(), (QList<bool>{false, false, false}));
        QCOMPARE(model.findingCount(), 0);
        model.sheet().insertAttribute(note, 0, std::move(taken));
        QCOMPARE(markedNodes(), (QList<bool>{true, true, false}));
        // A copy carries no finding: it is checked anew.
        model.sheet().replaceAttribute(note, 0, model.attributeOf(colr)->clone());
        QCOMPARE(markedNodes(), (QList<bool>{false, false, false}));

        model.sheet().setFinding(note, 1, QStringLiteral("x"));
        model.sheet().replaceFindings({{note, 0, QStringLiteral("y")}});
        QVERIFY(!model.attributeIndex(note, 1).data(StyleSheetModel::FindingRole).isValid());
        QCOMPARE(model.findingCount(), 1);
        model.sheet().setFinding(note, 0, {});
        QCOMPARE(markedNodes(), (QList<bool>{false, false, false}));
        QCOMPARE(model.findingCount(), 0);
        model.sheet().setFinding(note, 1, QStringLiteral("x"));
        std::unique_ptr<ElementNode> out = model.sheet().takeElement(0);
        QCOMPARE(model.findingCount(), 0);
        model.sheet().insertElement(0, std::move(out));
        QCOMPARE(model.findingCount(), 1);
        model.sheet().deleteAttributes(note);
        QCOMPARE(markedNodes(), (QList<bool>{false, false, false}));
    }

    // Editing a label in place relabels the node and tells whether the text changed.
    void inPlaceEditing()
    {
        StyleSheet sheet;
        StyleSheetModel model(sheet);
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.sheet().appendElement(QStringLiteral("P"), 0);
        model.sheet().appendAttribute(0, QStringLiteral("color=red"), 1);
        QSignalSpy edited(&model, &StyleSheetModel::labelEdited);
        const QModelIndex attribute = model.attributeIndex(0, 0);
        QVERIFY(model.flags(attribute) & Qt::ItemIsEditable);
        QVERIFY(model.setData(attribute, QStringLiteral("color=red")));
        QVERIFY(model.setData(attribute, QStringLiteral("color=blue")));
        QVERIFY(model.setData(model.elementIndex(0), QStringLiteral("DIV")));
        QCOMPARE(edited.count(), 3);
        QCOMPARE(edited.at(0).at(1).toBool(), false);
        QCOMPARE(edited.at(1).at(1).toBool(), true);
        QCOMPARE(model.element(0).label, QStringLiteral("DIV"));
        QCOMPARE(model.element(0).attributes[0].label(DocumentForm::Editor), QStringLiteral("color=blue"));
    }

    void labelParts_data()
    {
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("prefix");
        QTest::newRow("plain") << "color=red"
                               << "color"
                               << "red"
                               << "color=";
        QTest::newRow("empty value") << "color="
                                     << "color"
                                     << ""
                                     << "color=";
        QTest::newRow("further equals") << "a=b=c"
                                        << "a"
                                        << "b=c"
                                        << "a=";
        QTest::newRow("no equals") << "New Property"
                                   << ""
                                   << "New Property"
                                   << "";
        QTest::newRow("quoted") << "font-family=\"Times New Roman\""
                                << "font-family"
                                << "\"Times New Roman\""
                                << "font-family=";
    }
    void labelParts()
    {
        QFETCH(QString, label);
        QFETCH(QString, name);
        QFETCH(QString, value);
        QFETCH(QString, prefix);
        QCOMPARE(AttributeLabel::name(label), name);
        QCOMPARE(AttributeLabel::value(label), value);
        QCOMPARE(AttributeLabel::prefix(label), prefix);
    }

    void unquote_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("expected");
        QTest::newRow("quoted") << "\"Arial\""
                                << "Arial";
        QTest::newRow("leading only") << "\"Arial"
                                      << "Arial";
        QTest::newRow("trailing only") << "Arial\""
                                       << "Arial";
        QTest::newRow("single quote alone") << "\""
                                            << "";
        QTest::newRow("empty") << ""
                               << "";
        QTest::newRow("inner and single quotes stay") << "\" a\"'b' \""
                                                      << " a\"'b' ";
    }
    void unquote()
    {
        QFETCH(QString, value);
        QFETCH(QString, expected);
        QCOMPARE(AttributeLabel::unquote(value), expected);
    }
};

LW_TEST_CLASS(TestDocumentModel)
#include "TestDocumentModel.moc"
