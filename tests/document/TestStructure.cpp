#include "CatalogueFixture.h"
#include "DocumentCheck.h"
#include "DocumentEdits.h"
#include "StyleSheetReader.h"
#include "StyleSheetWriter.h"
#include "TestEnvironment.h"
#include "TestRegistry.h"

#include <QTest>

// Building a sheet's structure in the tree: where New Rule and New At-rule put their
// node, which nodes take declarations, and which labels a node takes. The sheets are
// read as Open reads them; what is made is judged by the text Save writes.
class TestStructure : public QObject
{
    Q_OBJECT

    CatalogueFixture m_fixture;
    DocumentCheck m_check;

    bool read(Document &document, const QString &text)
    {
        m_fixture.start(document);
        StyleSheetReader::ReadError error;
        const bool read = StyleSheetReader::readText(document, m_fixture.catalogue, text, {}, &error);
        if (!read)
            qWarning("unreadable: %s", qPrintable(error.describe()));
        return read;
    }

    // The node at rows joined by "." (the first row counted from the sheet's own first
    // node, after the catalogue's); the root for "-".
    QModelIndex indexAt(Document &document, const QString &path)
    {
        StyleSheetModel &model = document.elements();
        if (path == QLatin1String("-"))
            return model.rootIndex();
        std::vector<int> rows;
        for (const QString &row : path.split(QLatin1Char('.')))
            rows.push_back(row.toInt());
        rows[0] += document.fixedElementCount();
        return model.nodeIndex(model.sheet().nodeAt(rows));
    }

    // The same, or with "PATH/ROW" the declaration ROW of the node at PATH.
    QModelIndex itemAt(Document &document, const QString &path)
    {
        const QStringList parts = path.split(QLatin1Char('/'));
        const QModelIndex node = indexAt(document, parts[0]);
        if (parts.size() == 1)
            return node;
        return document.elements().attributeIndex(document.elements().nodeOf(node), parts[1].toInt());
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_fixture.open());
        m_check.open(TestEnvironment::programFolder());
    }

    // A new node lands in the selected node when CSS lets it stand there, else in the
    // nearest node around it that can hold it, else at the end of the sheet; the sheet
    // written reads back the same, and undo gives back the exact text.
    void newNodeGoesWhereItMayStand_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("selected");
        QTest::addColumn<QString>("label"); // empty: a rule with the label New Rule gives
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("expected");

        const int rule = int(NodeKind::Rule);
        const int block = int(NodeKind::Block);
        const int atRule = int(NodeKind::AtRule);
        const QString sheet =
            QStringLiteral(".a {\n  color: red;\n}\n\n@media print {\n  .b { top: 0; }\n}\n");
        QTest::newRow("rule, nothing selected")
            << sheet << "-" << QString() << rule << sheet + QStringLiteral("\n.new-rule {}\n");
        // The blank line that parts the rules stands before the comment that opens the last.
        const QString commented = QStringLiteral(".a {\n  color: red;\n}\n\n/* b */\n.b {\n  top: 0;\n}\n");
        QTest::newRow("rule after a rule with a comment before it")
            << commented << "-" << QString() << rule << commented + QStringLiteral("\n.new-rule {}\n");
        QTest::newRow("rule in a block")
            << sheet << "1" << QString() << rule
            << QString(sheet).replace(QLatin1String("top: 0; }\n"),
                                      QLatin1String("top: 0; }\n  .new-rule {}\n"));
        QTest::newRow("nested rule in a rule")
            << sheet << "0" << QString() << rule
            << QString(sheet).replace(QLatin1String("red;\n"), QLatin1String("red;\n  & .new-rule {}\n"));
        QTest::newRow("@media in a rule (nesting)")
            << sheet << "0" << QStringLiteral("@media (max-width: 600px)") << block
            << QString(sheet).replace(QLatin1String("red;\n"),
                                      QLatin1String("red;\n  @media (max-width: 600px) {}\n"));
        QTest::newRow("@font-face from a nested rule goes to its @media")
            << sheet << "1.0" << QStringLiteral("@font-face") << atRule
            << QString(sheet).replace(QLatin1String("top: 0; }\n"),
                                      QLatin1String("top: 0; }\n  @font-face {}\n"));
        QTest::newRow("@font-face from a rule goes to the top level")
            << sheet << "0" << QStringLiteral("@font-face") << atRule
            << sheet + QStringLiteral("\n@font-face {}\n");
        QTest::newRow("@keyframes in @media")
            << sheet << "1" << QStringLiteral("@keyframes fade") << block
            << QString(sheet).replace(QLatin1String("top: 0; }\n"),
                                      QLatin1String("top: 0; }\n  @keyframes fade {}\n"));
        QTest::newRow("keyframe in @keyframes")
            << QStringLiteral("@keyframes k {\n  from { top: 0 }\n}\n") << "0" << QString() << rule
            << QStringLiteral("@keyframes k {\n  from { top: 0 }\n  50% {}\n}\n");
        QTest::newRow("@media from a keyframe goes to the top level")
            << QStringLiteral("@keyframes k {\n  from { top: 0 }\n}\n") << "0.0"
            << QStringLiteral("@media print") << block
            << QStringLiteral("@keyframes k {\n  from { top: 0 }\n}\n\n@media print {}\n");
        QTest::newRow("rule from @font-face goes to the top level")
            << QStringLiteral("@font-face {\n  font-family: x;\n}\n") << "0" << QString() << rule
            << QStringLiteral("@font-face {\n  font-family: x;\n}\n\n.new-rule {}\n");
    }

    void newNodeGoesWhereItMayStand()
    {
        QFETCH(QString, input);
        QFETCH(QString, selected);
        QFETCH(QString, label);
        QFETCH(int, kind);
        QFETCH(QString, expected);
        Document document;
        QVERIFY(read(document, input));
        const QModelIndex made =
            DocumentEdits::newRule(document, indexAt(document, selected), label, 0, NodeKind(kind));
        QVERIFY(made.isValid());
        const QString written = StyleSheetWriter::styleSheetText(document);
        QCOMPARE(written, expected);

        Document again;
        QVERIFY(read(again, written));
        QCOMPARE(StyleSheetWriter::styleSheetText(again), written);
        document.undoStack().undo();
        QCOMPARE(StyleSheetWriter::styleSheetText(document), input);
    }

    // Declarations go into rules, at-rules of declarations and grouping blocks nested in
    // a rule; a block of rules, @keyframes and a statement refuse them with the reason,
    // and a drop or New Property there adds nothing.
    void declarationsOnlyWhereCssTakesThem_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("selected");
        QTest::addColumn<QString>("refusal"); // a part of the reason; empty: taken

        QTest::newRow("rule") << QStringLiteral("a { top: 0 }") << "0" << QString();
        QTest::newRow("@font-face") << QStringLiteral("@font-face { font-family: x }") << "0" << QString();
        QTest::newRow("@media at the top level")
            << QStringLiteral("@media print { a { top: 0 } }") << "0" << QStringLiteral("@media holds rules");
        QTest::newRow("@media in a rule")
            << QStringLiteral("a { @media print { top: 0 } }") << "0.0" << QString();
        QTest::newRow("@media in @media in a rule")
            << QStringLiteral("a { @media print { @supports (top: 0) { top: 0 } } }") << "0.0.0" << QString();
        QTest::newRow("@keyframes") << QStringLiteral("@keyframes k { from { top: 0 } }") << "0"
                                    << QStringLiteral("@keyframes holds keyframes");
        QTest::newRow("statement") << QStringLiteral("@import url(a.css);") << "0"
                                   << QStringLiteral("@import is a statement");
    }

    void declarationsOnlyWhereCssTakesThem()
    {
        QFETCH(QString, input);
        QFETCH(QString, selected);
        QFETCH(QString, refusal);
        Document document;
        QVERIFY(read(document, input));
        const QModelIndex node = indexAt(document, selected);
        const QString reason = DocumentEdits::declarationsRefusal(document, node);
        if (refusal.isEmpty()) {
            QCOMPARE(reason, QString());
            QVERIFY(DocumentEdits::dropOnElements(document, node, QStringLiteral("color"), 0).isValid());
            QVERIFY(DocumentEdits::newProperty(document, node).isValid());
            return;
        }
        QVERIFY2(reason.contains(refusal), qPrintable(reason));
        const QString before = StyleSheetWriter::styleSheetText(document);
        QVERIFY(!DocumentEdits::dropOnElements(document, node, QStringLiteral("color"), 0).isValid());
        QVERIFY(!DocumentEdits::newProperty(document, node).isValid());
        QCOMPARE(StyleSheetWriter::styleSheetText(document), before);
    }

    // A label is taken only when it reads back as what its node is, where it stands: a
    // selector a browser keeps for a rule, that at-rule's prelude for an at-rule, and no
    // change of a node's kind.
    // A declaration or a node dragged elsewhere is written anew where it lands, in the
    // file's style, and gone from where it stood; undo gives back the exact text. Drops
    // that CSS does not allow are refused with the reason.
    void movesInTheTree_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("target");
        QTest::addColumn<int>("place");
        QTest::addColumn<QString>("expected"); // the sheet written, or "refused: " and a part of the reason

        const int before = int(DocumentEdits::DropPlace::Before);
        const int after = int(DocumentEdits::DropPlace::After);
        const int into = int(DocumentEdits::DropPlace::Into);
        QTest::newRow("declaration into another rule")
            << "0/1"
            << "2" << into
            << ".a {\n  color: red;\n}\n\n@media print {\n  .b { top: 0; }\n}\n\n.c {\n"
               "  margin: 0; /* c */\n  padding: 1px;\n}\n";
        QTest::newRow("declaration before another") << "0/1"
                                                    << "0/0" << before
                                                    << ".a {\n  padding: 1px;\n  color: red;\n}\n\n@media "
                                                       "print {\n  .b { top: 0; }\n}\n\n.c {\n  margin: "
                                                       "0; /* c */\n}\n";
        QTest::newRow("declaration into a nested rule")
            << "2/0"
            << "1.0" << into
            << ".a {\n  color: red;\n  padding: 1px;\n}\n\n@media print {\n  .b { top: 0; margin: 0; "
               "}\n}\n\n.c "
               "{\n}\n";
        QTest::newRow("declaration into a block of rules") << "0/0"
                                                           << "1" << into << "refused: @media holds rules";
        QTest::newRow("rule into a block") << "2"
                                           << "1" << into
                                           << ".a {\n  color: red;\n  padding: 1px;\n}\n\n@media print {\n  "
                                              ".b { top: 0; }\n  .c {\n    margin: "
                                              "0;\n    /* c */\n  }\n}\n";
        QTest::newRow("rule before another") << "2"
                                             << "0" << before
                                             << ".c {\n  margin: 0;\n  /* c */\n}\n\n.a {\n  color: red;\n  "
                                                "padding: 1px;\n}\n\n@media print {\n  .b "
                                                "{ top: 0; }\n}\n";
        QTest::newRow("nested rule out to the top level")
            << "1.0"
            << "2" << after
            << ".a {\n  color: red;\n  padding: 1px;\n}\n\n@media print {\n}\n\n.c {\n  margin: 0; /* c "
               "*/\n}\n\n.b "
               "{\n  top: 0;\n}\n";
        QTest::newRow("block into itself") << "1"
                                           << "1.0" << into << "refused: inside itself";
        QTest::newRow("block into a rule's place for @font-face")
            << "3"
            << "0" << into << "refused: A rule cannot hold @font-face";
    }

    void movesInTheTree()
    {
        QFETCH(QString, source);
        QFETCH(QString, target);
        QFETCH(int, place);
        QFETCH(QString, expected);
        const QString input =
            QStringLiteral(".a {\n  color: red;\n  padding: 1px;\n}\n\n@media print {\n  .b { top: "
                           "0; }\n}\n\n.c {\n  margin: 0; /* c */\n}\n");
        const QString withFontFace = input + QStringLiteral("@font-face { font-family: x }\n");
        Document document;
        QVERIFY(read(document, source == QLatin1String("3") ? withFontFace : input));
        const QString original = StyleSheetWriter::styleSheetText(document);
        QString refusal;
        const QModelIndex moved =
            DocumentEdits::move(document, itemAt(document, source), itemAt(document, target),
                                DocumentEdits::DropPlace(place), refusal);
        if (expected.startsWith(QLatin1String("refused: "))) {
            QVERIFY(!moved.isValid());
            QVERIFY2(refusal.contains(expected.mid(9)), qPrintable(refusal));
            QCOMPARE(StyleSheetWriter::styleSheetText(document), original);
            return;
        }
        QVERIFY2(moved.isValid(), qPrintable(refusal));
        const QString written = StyleSheetWriter::styleSheetText(document);
        QCOMPARE(written, expected);
        Document again;
        QVERIFY(read(again, written));
        document.undoStack().undo();
        QCOMPARE(StyleSheetWriter::styleSheetText(document), original);
        document.undoStack().redo();
        QCOMPARE(StyleSheetWriter::styleSheetText(document), expected);
    }

    void labelsCheckedAsWhatTheyName_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("selected");
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("refusal"); // a part of the reason; empty: taken

        const QString sheet = QStringLiteral(
            "SECTION { top: 0 }\n@media print { a { top: 0 } }\n@font-face { font-family: x }\n"
            ".n { > b { top: 0 } }\n@keyframes k { from { top: 0 } }\n@import url(a.css);\n");
        QTest::newRow("selector") << sheet << "0" << QStringLiteral("section > p:hover, .card") << QString();
        QTest::newRow("a declaration typed as a selector")
            << sheet << "0" << QStringLiteral("margin-bottom: 3px")
            << QStringLiteral("drops this whole rule");
        QTest::newRow("unknown pseudo-class")
            << sheet << "0" << QStringLiteral("a:hovr") << QStringLiteral("did you mean :hover?");
        QTest::newRow("vendor pseudo-element taken")
            << sheet << "0" << QStringLiteral("input::-webkit-inner-spin-button") << QString();
        QTest::newRow("an at-rule typed into a rule")
            << sheet << "0" << QStringLiteral("@media (max-width: 600px)")
            << QStringLiteral("cannot start with \"@\"");
        QTest::newRow("a brace") << sheet << "0" << QStringLiteral("a { b") << QStringLiteral("\"{\"");
        QTest::newRow("relative selector nested") << sheet << "3.0" << QStringLiteral("+ i") << QString();
        QTest::newRow("prelude") << sheet << "1" << QStringLiteral("@media (max-width: 600px)") << QString();
        QTest::newRow("prelude with a typo")
            << sheet << "1" << QStringLiteral("@media (min-widht: 600px)") << QStringLiteral("min-widht");
        QTest::newRow("block becomes a rule")
            << sheet << "1" << QStringLiteral("print") << QStringLiteral("starts with \"@\"");
        QTest::newRow("block of rules becomes @font-face")
            << sheet << "1" << QStringLiteral("@font-face") << QStringLiteral("holds declarations");
        QTest::newRow("@font-face becomes @media")
            << sheet << "2" << QStringLiteral("@media print") << QStringLiteral("holds rules");
        QTest::newRow("unknown at-rule")
            << sheet << "1" << QStringLiteral("@medai print") << QStringLiteral("@medai");
        QTest::newRow("keyframe") << sheet << "4.0" << QStringLiteral("to, 50%") << QString();
        QTest::newRow("keyframe out of range")
            << sheet << "4.0" << QStringLiteral("150%") << QStringLiteral("150%");
        QTest::newRow("statement becomes a block")
            << sheet << "5" << QStringLiteral("@media print") << QStringLiteral("needs a block");
        QTest::newRow("declaration label ending in an escape")
            << sheet << "0/0" << QStringLiteral("color: red\\") << QStringLiteral("\\");
        QTest::newRow("declaration") << sheet << "0/0" << QStringLiteral("padding: 16px") << QString();
        QTest::newRow("declaration without its colon")
            << sheet << "0/0" << QStringLiteral("padding 16px") << QStringLiteral("name: value");
        QTest::newRow("the new declaration's own label")
            << sheet << "0/0" << QStringLiteral("New Property") << QString();
    }

    void labelsCheckedAsWhatTheyName()
    {
        QFETCH(QString, input);
        QFETCH(QString, selected);
        QFETCH(QString, label);
        QFETCH(QString, refusal);
        Document document;
        QVERIFY(read(document, input));
        const QModelIndex index = itemAt(document, selected);
        const QString reason = DocumentEdits::labelRefusal(document, index, label, &m_check);
        if (refusal.isEmpty())
            QCOMPARE(reason, QString());
        else
            QVERIFY2(reason.contains(refusal), qPrintable(reason));
    }
};

LW_TEST_CLASS(TestStructure)
#include "TestStructure.moc"
