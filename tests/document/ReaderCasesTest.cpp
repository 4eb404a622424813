#include "CatalogueFixture.h"
#include "StyleSheetReader.h"
#include "StyleSheetWriter.h"
#include "TestRegistry.h"
#include "TreeDump.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

// Runs the reader's case files in tests/data/reader: each holds the bytes of a style
// sheet, then a line "=== expected" (the line break before it is not part of the
// style sheet), then the tree the reader must make of it against
// the test catalogue (the `loomcss tree` form), or the single line "failed" when the
// read must fail and leave the document as it was.
class ReaderCasesTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(m_fixture.open()); }

    void readCase_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QString>("expected");
        const QDir dir(QStringLiteral(LW_TEST_DATA_DIR "/reader"));
        const QStringList files = dir.entryList({QStringLiteral("*.case")}, QDir::Files, QDir::Name);
        QVERIFY2(!files.isEmpty(), "no case files found");
        for (const QString &name : files) {
            QFile file(dir.filePath(name));
            QVERIFY(file.open(QIODevice::ReadOnly));
            const QByteArray bytes = file.readAll();
            // The separator is a line of its own; the input is what stands before it,
            // without the line break that ends the input's last line.
            const QByteArray marker = "=== expected";
            qsizetype at = 0;
            QByteArray input;
            if (!bytes.startsWith(marker)) {
                at = bytes.indexOf("\n" + marker);
                QVERIFY2(at >= 0, qPrintable(name + QStringLiteral(": no separator line")));
                input = bytes.left(at);
                if (input.endsWith('\r'))
                    input.chop(1);
                ++at;
            }
            QByteArray expected = bytes.mid(at + marker.size());
            expected.replace("\r\n", "\n");
            QVERIFY2(expected.isEmpty() || expected.startsWith('\n'),
                     qPrintable(name + QStringLiteral(": text after the separator")));
            expected = expected.mid(1);
            if (!expected.isEmpty() && !expected.endsWith('\n'))
                expected += '\n';
            QTest::newRow(qPrintable(name.chopped(5))) << input << QString::fromUtf8(expected);
        }
    }

    void readCase()
    {
        QFETCH(QByteArray, input);
        QFETCH(QString, expected);
        Document document;
        m_fixture.start(document);
        // A declaration from an earlier file, which every read must replace.
        document.elements().appendAttribute(0, QStringLiteral("earlier=1"), 0);
        const QString before = TreeDump::tree(document);

        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("input.css"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(input);
        file.close();

        const bool read = StyleSheetReader::readStyleSheet(document, m_fixture.catalogue, path);
        if (expected == QLatin1String("failed\n")) {
            QVERIFY2(!read, "the read succeeded");
            QCOMPARE(TreeDump::tree(document), before);
            QCOMPARE(document.currentFileName(), Document::NotSaved);
        } else {
            QVERIFY2(read, "the read failed");
            QCOMPARE(TreeDump::tree(document), expected);
            QCOMPARE(document.currentFileName(), path);

            // What the writer makes of it reads back into the same tree.
            Document again;
            m_fixture.start(again);
            QVERIFY(StyleSheetReader::readText(again, m_fixture.catalogue,
                                               StyleSheetWriter::styleSheetText(document)));
            QCOMPARE(TreeDump::tree(again), expected);
        }
    }

private:
    CatalogueFixture m_fixture;
};

LW_TEST_CLASS(ReaderCasesTest)
#include "ReaderCasesTest.moc"
