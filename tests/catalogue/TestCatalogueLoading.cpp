#include "Catalogue.h"
#include "Document.h"
#include "Failure.h"
#include "TestCatalogue.h"
#include "TestEnvironment.h"
#include "TestRegistry.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

QStringList nodeLabels(const Catalogue::ElementList &list)
{
    QStringList labels;
    for (const auto &node : list.nodes)
        labels << node.label;
    return labels;
}

} // namespace

class TestCatalogueLoading : public QObject
{
    Q_OBJECT
private slots:
    // The real catalogue beside the program: "A" and the pseudo-class nodes stand where
    // the row numbers say, and the look-ups answer by name.
    void realCatalogue()
    {
        Catalogue catalogue;
        QVERIFY(Catalogue::tablesPresent(TestEnvironment::programFolder()));
        catalogue.open(TestEnvironment::programFolder());
        ImageList images;
        Document document;
        document.applyElementList(catalogue.buildElementList(images));
        document.addPseudoClassNodes();
        const int a = document.aPosition();
        QCOMPARE(a, 4);
        const StyleSheetModel &model = document.elements();
        QCOMPARE(model.element(a - 4).label, QStringLiteral("A"));
        QCOMPARE(model.element(a - 4).picture, ImageList::BasePictures - 1 + a);
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(model.element(a - 3 + i).label, Document::PseudoClassLabels.at(i));
            QCOMPARE(model.element(a - 3 + i).picture, 9);
        }
        // Every row maps to the node that shows it: n - 4 up to "A", n - 1 after it.
        const Catalogue::ElementMatch body = catalogue.findElementRow(QStringLiteral("body"));
        QCOMPARE(body.count, 1);
        QVERIFY(body.row > a);
        QCOMPARE(model.element(body.row - 1).label, QStringLiteral("BODY"));
        QCOMPARE(document.positionOfRow(body.row), body.row - 1);
        const Catalogue::ElementMatch link = catalogue.findElementRow(QStringLiteral("a"));
        QCOMPARE(link.count, 1);
        QCOMPARE(link.row, a);
        QVERIFY(!catalogue.tagTable().filtered());

        QCOMPARE(catalogue.findAttributeKind(QStringLiteral("color")), KindColor);
        QCOMPARE(catalogue.findAttributeKind(QStringLiteral("Color")), KindNone);
        QVERIFY(catalogue.findAttributeRow(QStringLiteral("Color")).isEmpty());
        QVERIFY(!catalogue.cssTable().filtered());
        for (const char *name :
             {"A", "ABBR", "B", "BODY", "DIV", "H1", "H2", "LI", "P", "SPAN", "TABLE", "UL"})
            QCOMPARE(catalogue.findElementRow(QString::fromLatin1(name)).count, 1);
    }

    // The progress steps come in order, each before its step, and the lists are handed
    // over as they are built.
    void startUpSteps()
    {
        Catalogue catalogue;
        ImageList images;
        QStringList log;
        Catalogue::StartUp steps;
        steps.progress = [&](const QString &text, int position) {
            log << QStringLiteral("%1 %2").arg(text).arg(position);
        };
        steps.elementsBuilt = [&](Catalogue::ElementList list) {
            log << QStringLiteral("elements %1").arg(list.rows);
        };
        steps.attributesBuilt = [&](std::vector<Catalogue::AttributeEntry> list) {
            log << QStringLiteral("attributes %1").arg(list.size());
        };
        catalogue.loadAtStartUp(TestEnvironment::programFolder(), images, steps);
        QCOMPARE(log.size(), 6);
        QCOMPARE(log.at(0), QStringLiteral("Opening databases 10"));
        QCOMPARE(log.at(1), QStringLiteral("Reading tag database 15"));
        QVERIFY(log.at(2).startsWith(QStringLiteral("elements ")));
        QCOMPARE(log.at(3), QStringLiteral("Reading attribute database 35"));
        QVERIFY(log.at(4).startsWith(QStringLiteral("attributes ")));
        QCOMPARE(log.at(5), QStringLiteral("Finishing... 50"));
        QCOMPARE(images.count(), ImageList::BasePictures + log.at(2).mid(9).toInt());
    }

    void elementLists_data()
    {
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<QStringList>("nodes");
        QTest::addColumn<int>("aPosition"); // 0: none found
        QTest::newRow("three rows leave the root empty")
            << QStringList{"!--", "!DOCTYPE", "#X"} << QStringList{} << 0;
        QTest::newRow("fewer than three rows") << QStringList{"!--"} << QStringList{} << 0;
        QTest::newRow("no row A") << QStringList{"!--", "!DOCTYPE", "#X", "B", "P"} << QStringList{"B", "P"}
                                  << 0;
        QTest::newRow("A in index order")
            << QStringList{"P", "!--", "a", "!DOCTYPE", "#X", "A"} << QStringList{"a", "A", "P"} << 5;
        QTest::newRow("A among the hidden rows") << QStringList{"A", "B", "C", "D"} << QStringList{"D"} << 1;
    }
    // Rows come in the index's order; the first three have no node; "A" is compared
    // exactly; pictures are numbered 5 + row.
    void elementLists()
    {
        QFETCH(QStringList, rows);
        QFETCH(QStringList, nodes);
        QFETCH(int, aPosition);
        QTemporaryDir dir;
        QCOMPARE(TestCatalogue::write(dir.path(), rows, {}), QString());
        Catalogue catalogue;
        catalogue.open(dir.path());
        ImageList images;
        const Catalogue::ElementList list = catalogue.buildElementList(images);
        QCOMPARE(nodeLabels(list), nodes);
        QCOMPARE(list.aPosition.value_or(0), aPosition);
        QCOMPARE(images.count(), ImageList::BasePictures + rows.size());
        for (size_t i = 0; i < list.nodes.size(); ++i)
            QCOMPARE(list.nodes[i].picture, ImageList::BasePictures + 3 + int(i));

        Document document;
        document.applyElementList(list);
        QCOMPARE(document.elements().elementCount(), nodes.size());
    }

    void attributeKinds_data()
    {
        QTest::addColumn<QString>("values");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QStringList>("choices");
        QTest::newRow("colour") << "<Color>" << int(KindColor) << QStringList{};
        QTest::newRow("number") << "<Number>" << int(KindNumber) << QStringList{};
        QTest::newRow("font") << "<Font>" << int(KindFont) << QStringList{};
        QTest::newRow("URL") << "<URL>" << int(KindUrl) << QStringList{};
        QTest::newRow("misspelt marker") << "<Colour>" << int(KindNone) << QStringList{};
        QTest::newRow("marker in other case") << "<color>" << int(KindNone) << QStringList{};
        QTest::newRow("no values") << "" << int(KindNone) << QStringList{};
        QTest::newRow("two words in order")
            << "left\nright" << int(KindChoice) << QStringList{"left", "right"};
        QTest::newRow("one word") << "auto" << int(KindChoice) << QStringList{"auto"};
        QTest::newRow("first line empty") << "\nleft" << int(KindNone) << QStringList{};
    }
    void attributeKinds()
    {
        QFETCH(QString, values);
        QFETCH(int, kind);
        QFETCH(QStringList, choices);
        QTemporaryDir dir;
        QCOMPARE(TestCatalogue::write(dir.path(), {"!--", "!DOCTYPE", "#X", "A"},
                                      {{QStringLiteral("before"), QStringLiteral("<Color>")},
                                       {QStringLiteral("it's"), values}}),
                 QString());
        Catalogue catalogue;
        catalogue.open(dir.path());
        const std::vector<Catalogue::AttributeEntry> list = catalogue.buildAttributeList();
        QCOMPARE(list.size(), size_t(2));
        QCOMPARE(list[1].label, QStringLiteral("it's"));
        QCOMPARE(int(list[1].kind), kind);
        QCOMPARE(list[1].choices, choices);
        // A quote in the name needs no escaping in the look-up.
        QCOMPARE(int(catalogue.findAttributeKind(QStringLiteral("it's"))), kind);
    }

    // Both tables must be there; a damaged one is a failure naming the file.
    void presenceAndDamage()
    {
        QTemporaryDir dir;
        QVERIFY(!Catalogue::tablesPresent(dir.path()));
        QCOMPARE(TestCatalogue::write(dir.path(), {"!--", "!DOCTYPE", "#X", "A"}, {}), QString());
        QVERIFY(Catalogue::tablesPresent(dir.path()));
        QVERIFY(QFile::remove(QDir(dir.path()).filePath(QStringLiteral("tags.db"))));
        QVERIFY(!Catalogue::tablesPresent(dir.path()));
        QFile damaged(QDir(dir.path()).filePath(QStringLiteral("tags.db")));
        QVERIFY(damaged.open(QIODevice::WriteOnly));
        damaged.write("not a table");
        damaged.close();
        Catalogue catalogue;
        QVERIFY_THROWS_EXCEPTION(Failure, catalogue.open(dir.path()));
    }
};

LW_TEST_CLASS(TestCatalogueLoading)
#include "TestCatalogueLoading.moc"
