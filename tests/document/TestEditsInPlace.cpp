#include "CatalogueFixture.h"
#include "DocumentEdits.h"
#include "StyleSheetReader.h"
#include "StyleSheetWriter.h"
#include "TestRegistry.h"
#include "ValueText.h"

#include <QTest>

// A standard style sheet keeps its text: each edit changes only its own part of it, new
// text follows the file's style, and undoing every edit gives back the exact text.
class TestEditsInPlace : public QObject
{
    Q_OBJECT

    // The node at a path of rows (the first under the root, counted from the sheet's
    // own first node, after the catalogue's).
    ElementNode *nodeAt(Document &document, QList<int> path)
    {
        std::vector<int> rows(path.begin(), path.end());
        rows[0] += document.fixedElementCount();
        return document.sheet().nodeAt(rows);
    }

    // Applies an edit written as a small command: "value PATH ROW TEXT", "important PATH
    // ROW WORD", "add PATH NAME VALUE", "delete PATH ROW", "rule PATH|- SELECTOR NAME
    // VALUE", "label PATH ROW TEXT", "selector PATH TEXT"; PATH is rows joined by ".".
    void apply(Document &document, const QString &edit)
    {
        const QStringList parts = edit.split(QLatin1Char('|'));
        const QString &verb = parts[0];
        QList<int> path;
        if (parts[1] != QLatin1String("-"))
            for (const QString &row : parts[1].split(QLatin1Char('.')))
                path.append(row.toInt());
        StyleSheetModel &model = document.elements();
        ElementNode *node = path.isEmpty() ? nullptr : nodeAt(document, path);
        if (verb == QLatin1String("value")) {
            QVERIFY(
                DocumentEdits::writeValue(document, model.attributeIndex(node, parts[2].toInt()), parts[3]));
        } else if (verb == QLatin1String("important")) {
            const QModelIndex index = model.attributeIndex(node, parts[2].toInt());
            const QString value =
                ValueText::choiceValue(model.attributeOf(index)->value(), parts[3], DocumentForm::Standard);
            QVERIFY(DocumentEdits::writeValue(document, index, value));
        } else if (verb == QLatin1String("add")) {
            QVERIFY(DocumentEdits::dropOnElements(document, model.nodeIndex(node), parts[3], 0, parts[2])
                        .isValid());
        } else if (verb == QLatin1String("delete")) {
            DocumentEdits::deleteProperty(document, model.attributeIndex(node, parts[2].toInt()));
        } else if (verb == QLatin1String("rule")) {
            const QModelIndex made =
                DocumentEdits::newRule(document, node ? model.nodeIndex(node) : model.rootIndex(), parts[2]);
            QVERIFY(made.isValid());
            QVERIFY(DocumentEdits::dropOnElements(document, made, parts[4], 0, parts[3]).isValid());
        } else if (verb == QLatin1String("label")) {
            QVERIFY(
                DocumentEdits::editLabel(document, model.attributeIndex(node, parts[2].toInt()), parts[3]));
        } else if (verb == QLatin1String("selector")) {
            QVERIFY(DocumentEdits::editLabel(document, model.nodeIndex(node), parts[2]));
        } else {
            QFAIL(qPrintable(QStringLiteral("unknown edit ") + edit));
        }
    }

private slots:
    void initTestCase() { QVERIFY(m_fixture.open()); }

    void editChangesOnlyItsText_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QStringList>("edits");
        QTest::addColumn<QString>("expected");

        const QString sheet = QStringLiteral("/* theme */\n"
                                             "a:hover, H1 {\n"
                                             "  color :  red ; /* why */\n"
                                             "  margin: 0 auto !important;\n"
                                             "  padding: 1px\n"
                                             "}\n"
                                             "\n"
                                             "@media (max-width: 600px) {\n"
                                             "  .nav { display: none; }\n"
                                             "}\n");
        QTest::newRow("value") << sheet << QStringList{QStringLiteral("value|0|0|blue")}
                               << QString(sheet).replace(QLatin1String("color :  red ;"),
                                                         QLatin1String("color :  blue ;"));
        QTest::newRow("!important kept")
            << sheet << QStringList{QStringLiteral("important|0|1|1px")}
            << QString(sheet).replace(QLatin1String("0 auto !important"), QLatin1String("1px !important"));
        QTest::newRow("value without semicolon")
            << sheet << QStringList{QStringLiteral("value|0|2|2px 3px")}
            << QString(sheet).replace(QLatin1String("padding: 1px\n"), QLatin1String("padding: 2px 3px\n"));
        QTest::newRow("new declaration, multi-line rule")
            << sheet << QStringList{QStringLiteral("add|0|border-style|solid")}
            << QString(sheet).replace(QLatin1String("padding: 1px\n"),
                                      QLatin1String("padding: 1px;\n  border-style: solid;\n"));
        QTest::newRow("new declaration, one-line rule")
            << sheet << QStringList{QStringLiteral("add|1.0|color|red")}
            << QString(sheet).replace(QLatin1String("display: none; }"),
                                      QLatin1String("display: none; color: red; }"));
        QTest::newRow("new declaration, empty rule")
            << QStringLiteral("a {}\n.c { }\n")
            << QStringList{QStringLiteral("add|0|color|red"), QStringLiteral("add|1|color|blue")}
            << QStringLiteral("a { color: red; }\n.c { color: blue; }\n");
        QTest::newRow("delete first")
            << sheet << QStringList{QStringLiteral("delete|0|0")}
            << QString(sheet).replace(QLatin1String("\n  color :  red ; /* why */"), QString());
        QTest::newRow("delete middle")
            << sheet << QStringList{QStringLiteral("delete|0|1")}
            << QString(sheet).replace(QLatin1String("\n  margin: 0 auto !important;"), QString());
        QTest::newRow("delete last") << sheet << QStringList{QStringLiteral("delete|0|2")}
                                     << QString(sheet).replace(QLatin1String("\n  padding: 1px"), QString());
        QTest::newRow("delete the one declaration of a one-line rule")
            << sheet << QStringList{QStringLiteral("delete|1.0|0")}
            << QString(sheet).replace(QLatin1String(" display: none;"), QString());
        QTest::newRow("new rule at the end of a block")
            << sheet << QStringList{QStringLiteral("rule|1|.menu|color|red")}
            << QString(sheet).replace(QLatin1String("none; }\n"),
                                      QLatin1String("none; }\n  .menu {\n    color: red;\n  }\n"));
        QTest::newRow("new rule at the end of the sheet")
            << sheet << QStringList{QStringLiteral("rule|-|.card|padding|16px")}
            << sheet + QStringLiteral("\n.card {\n  padding: 16px;\n}\n");
        QTest::newRow("label of a declaration")
            << sheet << QStringList{QStringLiteral("label|0|0|background: blue")}
            << QString(sheet).replace(QLatin1String("color :  red ;"), QLatin1String("background: blue ;"));
        QTest::newRow("selector") << sheet << QStringList{QStringLiteral("selector|0|a:focus")}
                                  << QString(sheet).replace(QLatin1String("a:hover, H1 {"),
                                                            QLatin1String("a:focus {"));

        // A name=value declaration in a standard sheet keeps its own text when another
        // declaration of its rule is edited (it was written anew, " f=;").
        QTest::newRow("name=value declaration beside an edit")
            << QStringLiteral("a{b:c;d:e;f=}") << QStringList{QStringLiteral("value|0|0|7")}
            << QStringLiteral("a{b:7;d:e;f=}");
        QTest::newRow("name = value declaration beside an edit")
            << QStringLiteral("a { b: c; h: i; f = g }\n") << QStringList{QStringLiteral("value|0|0|7")}
            << QStringLiteral("a { b: 7; h: i; f = g }\n");

        const QString crlf = QStringLiteral("a {\r\n\tcolor: red;\r\n}\r\n");
        QTest::newRow("CR LF file, tab indentation")
            << crlf << QStringList{QStringLiteral("add|0|margin|0"), QStringLiteral("rule|-|b|color|blue")}
            << QStringLiteral(
                   "a {\r\n\tcolor: red;\r\n\tmargin: 0;\r\n}\r\n\r\nb {\r\n\tcolor: blue;\r\n}\r\n");
        QTest::newRow("no final line break")
            << QStringLiteral("a { color: red }")
            << QStringList{QStringLiteral("add|0|margin|0"), QStringLiteral("rule|-|b|color|blue")}
            << QStringLiteral("a { color: red; margin: 0; }\n\nb { color: blue; }");
        QTest::newRow("rules kept apart and in order")
            << QStringLiteral(
                   "h1, h2 { color: blue; }\nh1 { color: red; }\np {color:red} * p {color:green} p "
                   "{color:blue}\n.c { }\n")
            << QStringList{QStringLiteral("value|1|0|maroon")}
            << QStringLiteral(
                   "h1, h2 { color: blue; }\nh1 { color: maroon; }\np {color:red} * p {color:green} p "
                   "{color:blue}\n.c { }\n");
    }

    void editChangesOnlyItsText()
    {
        QFETCH(QString, input);
        QFETCH(QStringList, edits);
        QFETCH(QString, expected);
        Document document;
        m_fixture.start(document);
        StyleSheetReader::ReadError error;
        QVERIFY2(StyleSheetReader::readText(document, m_fixture.catalogue, input, {}, &error),
                 qPrintable(error.describe()));
        QCOMPARE(int(document.form()), int(DocumentForm::Standard));
        QCOMPARE(StyleSheetWriter::styleSheetText(document), input);
        for (const QString &edit : edits)
            apply(document, edit);
        const QString written = StyleSheetWriter::styleSheetText(document);
        QCOMPARE(written, expected);

        // What is written reads back, and is written again the same.
        Document again;
        m_fixture.start(again);
        QVERIFY2(StyleSheetReader::readText(again, m_fixture.catalogue, written, {}, &error),
                 qPrintable(error.describe()));
        QCOMPARE(StyleSheetWriter::styleSheetText(again), written);

        // Undo gives back the exact text; redo the edited one.
        while (document.undoStack().canUndo())
            document.undoStack().undo();
        QCOMPARE(StyleSheetWriter::styleSheetText(document), input);
        while (document.undoStack().canRedo())
            document.undoStack().redo();
        QCOMPARE(StyleSheetWriter::styleSheetText(document), expected);
    }

    // Typing into a value that ends where it began leaves the declaration's text as the
    // file has it, even where the tree shows it tidied up.
    void typingBackLeavesTheSource()
    {
        const QString input = QStringLiteral("a { margin :  1px   2px /* x */ ; }\n");
        Document document;
        m_fixture.start(document);
        QVERIFY(StyleSheetReader::readText(document, m_fixture.catalogue, input));
        const QModelIndex index = document.elements().attributeIndex(nodeAt(document, {0}), 0);
        const QString shown = document.elements().attributeOf(index)->value().toString();
        QVERIFY(DocumentEdits::writeValue(document, index, QStringLiteral("3px 2px"), 7));
        QVERIFY(DocumentEdits::writeValue(document, index, shown, 7));
        QCOMPARE(StyleSheetWriter::styleSheetText(document), input);
    }

private:
    CatalogueFixture m_fixture;
};

LW_TEST_CLASS(TestEditsInPlace)
#include "TestEditsInPlace.moc"
