#include "StyleSheetReader.h"

#include "CatalogueFixture.h"
#include "StyleSheetWriter.h"
#include "TestRegistry.h"
#include "TreeDump.h"

#include <QAbstractItemModelTester>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

// What the case files cannot show: the document's values around a read, where the
// nodes stand, what a failed read leaves, and how often the reader lets events through.
class StyleSheetReaderTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(m_fixture.open()); }

    void failedReadChangesNothing_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("exists");
        QTest::newRow("missing file") << QByteArray() << false;
        QTest::newRow("brace that closes no block")
            << QByteArray("BODY {color=red}\r\n}\r\nH1 {x=y}") << true;
        QTest::newRow("colon form without value") << QByteArray("BODY {color=red}\r\nH1 {color:}") << true;
        QTest::newRow("colon form without name") << QByteArray("H1 {font-size=1; :red}") << true;
    }

    void failedReadChangesNothing()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, exists);
        Document document;
        m_fixture.start(document);
        QVERIFY(read(document, "BODY {color=red}\r\n.note {a=b}\r\nA:Hover {color=blue}", "earlier.css"));
        document.setEncoding(TextFile::Encoding::Latin1);
        document.setModified(true);
        const QString tree = TreeDump::tree(document);
        const int elements = document.elements().elementCount();
        const QString fileName = document.currentFileName();
        QSignalSpy resets(&document.elements(), &QAbstractItemModel::modelReset);

        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("broken.css"));
        if (exists)
            QVERIFY(writeFile(path, bytes));
        QVERIFY(!StyleSheetReader::readStyleSheet(document, m_fixture.catalogue, path));

        QCOMPARE(TreeDump::tree(document), tree);
        QCOMPARE(document.elements().elementCount(), elements);
        QCOMPARE(document.currentFileName(), fileName);
        QCOMPARE(document.encoding(), TextFile::Encoding::Latin1);
        QVERIFY(document.isModified());
        QCOMPARE(resets.count(), 0);
    }

    void successfulReadSetsFileAndEncoding_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<TextFile::Encoding>("encoding");
        QTest::addColumn<bool>("byteOrderMark");
        QTest::newRow("UTF-8") << QByteArray("BODY {content=\"\xc3\xa9\";}") << TextFile::Encoding::Utf8
                               << false;
        QTest::newRow("UTF-8 with BOM") << QByteArray("\xef\xbb\xbf"
                                                      "BODY {content=\"\xc3\xa9\";}")
                                        << TextFile::Encoding::Utf8 << true;
        QTest::newRow("windows-1252")
            << QByteArray("BODY {content=\"\xe9\";}") << TextFile::Encoding::Windows1252 << false;
    }

    void successfulReadSetsFileAndEncoding()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(TextFile::Encoding, encoding);
        QFETCH(bool, byteOrderMark);
        Document document;
        m_fixture.start(document);
        document.setEncoding(encoding == TextFile::Encoding::Utf8 ? TextFile::Encoding::Latin1
                                                                  : TextFile::Encoding::Utf8,
                             !byteOrderMark);
        QTemporaryDir dir;
        // The name is kept exactly as the caller gave it, relative or not.
        const QString path = dir.filePath(QStringLiteral("sub/../style sheet.css"));
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("sub")));
        QVERIFY(writeFile(path, bytes));

        QVERIFY(StyleSheetReader::readStyleSheet(document, m_fixture.catalogue, path));
        QCOMPARE(document.currentFileName(), path);
        QCOMPARE(document.encoding(), encoding);
        QCOMPARE(document.byteOrderMark(), byteOrderMark);
        QVERIFY(!document.isModified());
        QCOMPARE(document.elements().element(4).attributes.at(0).label(DocumentForm::Editor),
                 QStringLiteral("content=\"\u00e9\""));

        // Saving writes the bytes back in the same encoding.
        StyleSheetWriter::save(document, path);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), bytes);
    }

    // Declarations land on the node that the selector names; the user's element nodes
    // follow the fixed ones in the order the file gives them.
    void nodesStandWhereTheSelectorSays()
    {
        Document document;
        m_fixture.start(document);
        QAbstractItemModelTester tester(&document.elements(),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        QVERIFY(read(document,
                     ".first {a=1}\r\nTABLE {b=2}\r\nA:Visited {c=3}\r\nA {d=4}\r\n.second {e=5}\r\n"
                     "!-- {f=6}"));
        const int fixed = document.fixedElementCount();
        QCOMPARE(fixed, 8 + 3);
        QCOMPARE(document.elements().elementCount(), fixed + 3);
        const auto labelAt = [&](int position) {
            const ElementNode &node = document.elements().element(position);
            return node.label + QLatin1Char(' ') +
                   (node.attributes.empty() ? QString()
                                            : node.attributes.front().label(DocumentForm::Editor));
        };
        QCOMPARE(labelAt(0), QStringLiteral("A d=4"));
        QCOMPARE(labelAt(document.pseudoClassPosition() + 2), QStringLiteral("A:Visited c=3"));
        QCOMPARE(labelAt(document.positionOfRow(11)), QStringLiteral("TABLE b=2"));
        QCOMPARE(labelAt(fixed), QStringLiteral(".first a=1"));
        QCOMPARE(labelAt(fixed + 1), QStringLiteral(".second e=5"));
        QCOMPARE(labelAt(fixed + 2), QStringLiteral("!-- f=6"));

        // The next read drops the user's nodes and every declaration.
        QVERIFY(read(document, "P {g=7}"));
        QCOMPARE(document.elements().elementCount(), fixed);
        QCOMPARE(TreeDump::tree(document), QStringLiteral("13\tP\n\t0\tg=7\n"));
    }

    // A document built from a smaller catalogue than the one consulted: a row whose
    // node would lie beyond the catalogue's nodes is refused, not attached elsewhere.
    void rowBeyondTheNodesFails()
    {
        QTemporaryDir small;
        QVERIFY(TestCatalogue::write(small.path(),
                                     {QStringLiteral("!--"), QStringLiteral("!DOCTYPE"),
                                      QStringLiteral("#PCDATA"), QStringLiteral("A"), QStringLiteral("BODY")},
                                     {})
                    .isEmpty());
        Catalogue smallCatalogue;
        smallCatalogue.open(small.path());
        ImageList images;
        Document document;
        document.applyElementList(smallCatalogue.buildElementList(images));
        document.addPseudoClassNodes();

        QVERIFY(read(document, "BODY {color=red}"));
        QVERIFY(!read(document, "BODY {color=blue}\r\nTABLE {color=red}"));
        QCOMPARE(TreeDump::tree(document), QStringLiteral("10\tBODY\n\t1\tcolor=red\n"));
    }

    // Pending events are let through at least once per rule and at most once per rule
    // (and once at the end) and once per declaration, in each of the read's two passes:
    // the one that checks the text and the one that builds the tree.
    void letsEventsThroughDuringTheRead()
    {
        Document document;
        m_fixture.start(document);
        int calls = 0;
        QString text;
        for (int i = 0; i < 50; ++i)
            text += QStringLiteral(".r%1 {a=1; b=2}\r\n").arg(i);
        QVERIFY(StyleSheetReader::readText(document, m_fixture.catalogue, text, [&calls] { ++calls; }));
        QVERIFY2(calls >= 2 * 50 && calls <= 2 * 151, qPrintable(QString::number(calls)));
    }

    // Declarations read as written take name and value from the text they were read
    // from, in either form: the document keeps that text, so they stay whole after the
    // caller's copy is changed and gone, through a value edit (the new value made from
    // the old name) and after the read that follows.
    void declarationsOutliveTheCallersText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("edited");
        QTest::newRow("editor's form") << QStringLiteral(".a {color=red; margin=1px}\r\n.a {color=blue}")
                                       << QStringLiteral(".a {color=red; margin=2em;}\r\n.a {color=blue;}");
        QTest::newRow("standard") << QStringLiteral(".a { color: red; margin: 1px }\n.a { color: blue }\n")
                                  << QStringLiteral(".a { color: red; margin: 2em }\n.a { color: blue }\n");
    }
    void declarationsOutliveTheCallersText()
    {
        QFETCH(QString, text);
        QFETCH(QString, edited);
        Document document;
        m_fixture.start(document);
        {
            QString callers = text;
            QVERIFY(StyleSheetReader::readText(document, m_fixture.catalogue, callers));
            callers.fill(QLatin1Char('x')); // its own copy now; the one read from is the document's
        }
        StyleSheetModel &model = document.elements();
        const int fixed = document.fixedElementCount();
        QCOMPARE(model.elementCount(), fixed + 2);
        ElementNode &first = model.element(fixed);
        QCOMPARE(first.attributes.at(1).label(DocumentForm::Editor), QStringLiteral("margin=1px"));
        model.sheet().setAttributeValue(&first, 1, QStringLiteral("2em"));
        QCOMPARE(first.attributes.at(1).label(DocumentForm::Standard), QStringLiteral("margin: 2em"));
        QCOMPARE(StyleSheetWriter::styleSheetText(document), edited);
        // Equal selectors read as one text.
        QCOMPARE(model.element(fixed + 1).label, first.label);

        // A copy taken before the next read holds its own text.
        const AttributeNode kept = first.attributes.at(0).clone();
        QVERIFY(StyleSheetReader::readText(document, m_fixture.catalogue, QStringLiteral(".b {x=1}")));
        QCOMPARE(kept.label(DocumentForm::Editor), QStringLiteral("color=red"));
    }

    // The writer's text, with labels of every shape the tree may hold, reads back into
    // the same nodes in the same order.
    void writerTextReadsBack()
    {
        Document document;
        m_fixture.start(document);
        StyleSheetModel &model = document.elements();
        model.sheet().appendAttribute(0, QStringLiteral("color=#FF0000"), 1);
        model.sheet().appendAttribute(0, QStringLiteral("New Property"), 0);
        model.sheet().appendAttribute(document.pseudoClassPosition() + 1,
                              QStringLiteral("font-family=\"Tom's; Font\""), 5);
        model.sheet().appendAttribute(4, QStringLiteral("background-image=\"C:\\a b\\c.png\""), 3);
        model.sheet().appendAttribute(4, QStringLiteral("filter=alpha(opacity=50)"), 0);
        model.sheet().appendAttribute(4, QStringLiteral("color="), 1);
        const int note = model.sheet().appendElement(QStringLiteral(".note, H1:first-child"), 0);
        model.sheet().appendAttribute(note, QStringLiteral("content=\"{}\""), 0);
        model.sheet().appendAttribute(note, QStringLiteral("text-align=center"), 4);
        model.sheet().appendElement(QStringLiteral("unused"), 0);

        Document again;
        m_fixture.start(again);
        QVERIFY(StyleSheetReader::readText(again, m_fixture.catalogue,
                                           StyleSheetWriter::styleSheetText(document)));
        QCOMPARE(TreeDump::tree(again), TreeDump::tree(document));
        QCOMPARE(StyleSheetWriter::styleSheetText(again), StyleSheetWriter::styleSheetText(document));
    }

private:
    static bool writeFile(const QString &path, const QByteArray &bytes)
    {
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
    }

    bool read(Document &document, const char *text, const char *fileName = "style.css")
    {
        if (!m_dir.isValid())
            return false;
        const QString path = m_dir.filePath(QString::fromLatin1(fileName));
        return writeFile(path, QByteArray(text)) &&
               StyleSheetReader::readStyleSheet(document, m_fixture.catalogue, path);
    }

    CatalogueFixture m_fixture;
    QTemporaryDir m_dir;
};

LW_TEST_CLASS(StyleSheetReaderTest)
#include "StyleSheetReaderTest.moc"
