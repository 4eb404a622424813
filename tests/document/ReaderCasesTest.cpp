#include "CatalogueFixture.h"
#include "StyleSheetReader.h"
#include "StyleSheetWriter.h"
#include "TestRegistry.h"
#include "TextFile.h"
#include "TreeDump.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QTemporaryDir>
#include <QTest>

// Runs the reader's case files in tests/data/reader: each holds the bytes of a style
// sheet, then a line "=== expected" (the line break before it is not part of the
// style sheet), then the tree the reader must make of it against the test catalogue
// (the `loomcss tree` form), or "failed: " and the reason (with line and column) when
// the read must fail and leave the document as it was. A style sheet read as standard
// CSS is written back as the same bytes; for one in the editor's own form an optional
// last section "=== written" holds the text Save writes for it (line breaks as CR LF).
class ReaderCasesTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(m_fixture.open()); }

    void readCase_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QString>("written");
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
            QByteArray written;
            if (const qsizetype w = expected.indexOf("\n=== written"); w >= 0) {
                written = expected.mid(w + 13);
                expected = expected.left(w + 1);
                written.replace("\r\n", "\n");
                if (written.startsWith('\n'))
                    written = written.mid(1);
                if (written.endsWith('\n'))
                    written.chop(1);
                written.replace("\n", "\r\n");
            }
            expected.replace("\r\n", "\n");
            QVERIFY2(expected.isEmpty() || expected.startsWith('\n'),
                     qPrintable(name + QStringLiteral(": text after the separator")));
            expected = expected.mid(1);
            if (!expected.isEmpty() && !expected.endsWith('\n'))
                expected += '\n';
            QTest::newRow(qPrintable(name.chopped(5)))
                << input << QString::fromUtf8(expected) << QString::fromUtf8(written);
            m_files.insert(name.chopped(5), dir.filePath(name));
        }
    }

    void readCase()
    {
        QFETCH(QByteArray, input);
        QFETCH(QString, expected);
        QFETCH(QString, written);
        Document document;
        m_fixture.start(document);
        // A declaration from an earlier file, which every read must replace.
        document.sheet().appendAttribute(0, QStringLiteral("earlier=1"), 0);
        const QString before = TreeDump::tree(document);

        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("input.css"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(input);
        file.close();

        StyleSheetReader::ReadError error;
        const bool read = StyleSheetReader::readStyleSheet(document, m_fixture.catalogue, path, {}, &error);
        // The code window's check of the same text (its line breaks LF, as it gives them)
        // reaches the same verdict at the same place.
        StyleSheetReader::ReadError checkError;
        const QString lines =
            TextFile::decode(input).text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
        QCOMPARE(StyleSheetReader::checkText(lines, &checkError), read);
        if (!read)
            QCOMPARE(checkError.describe(), error.describe());
        if (expected.startsWith(QLatin1String("failed"))) {
            QVERIFY2(!read, "the read succeeded");
            update(QStringLiteral("failed: ") + error.describe() + QLatin1Char('\n'), {});
            QCOMPARE(QStringLiteral("failed: ") + error.describe() + QLatin1Char('\n'), expected);
            QCOMPARE(TreeDump::tree(document), before);
            QCOMPARE(document.currentFileName(), Document::NotSaved);
            return;
        }
        QVERIFY2(read, qPrintable(QStringLiteral("the read failed: ") + error.describe()));
        const QString text = StyleSheetWriter::styleSheetText(document);
        const bool standard = document.form() == DocumentForm::Standard;
        update(TreeDump::tree(document), written.isEmpty() || standard ? QString() : text);
        QCOMPARE(TreeDump::tree(document), expected);
        QCOMPARE(document.currentFileName(), path);
        if (standard) {
            QVERIFY2(written.isEmpty(), "a standard style sheet is written as it was read");
            QCOMPARE(TextFile::encode(text, document.encoding(), document.byteOrderMark()), input);
        } else if (!written.isEmpty()) {
            QCOMPARE(text, written);
        }

        // What the writer makes of it reads back into the same tree, in the same form.
        Document again;
        m_fixture.start(again);
        QVERIFY(StyleSheetReader::readText(again, m_fixture.catalogue, text));
        QCOMPARE(TreeDump::tree(again), expected);
        QCOMPARE(int(again.form()), int(document.form()));
    }

    // Inputs that once read back differently after a save (found by the fuzzer): what
    // the writer writes reads back into the same tree and form, and is then written
    // again unchanged. Those named refused-* are refused, by the reader and the code
    // window's check alike (every line break an LF there), at the same place for the
    // same reason.
    void readsBackAfterSave_data()
    {
        QTest::addColumn<QByteArray>("input");
        const QDir dir(QStringLiteral(LW_TEST_DATA_DIR "/round-trip"));
        const QStringList files = dir.entryList({QStringLiteral("*.css")}, QDir::Files, QDir::Name);
        QVERIFY2(!files.isEmpty(), "no round-trip files found");
        for (const QString &name : files) {
            QFile file(dir.filePath(name));
            QVERIFY(file.open(QIODevice::ReadOnly));
            QTest::newRow(qPrintable(name)) << file.readAll();
        }
    }

    void readsBackAfterSave()
    {
        QFETCH(QByteArray, input);
        Document document;
        m_fixture.start(document);
        const QString read = TextFile::decode(input, TextFile::LineBreaks::Keep).text;
        if (QByteArray(QTest::currentDataTag()).startsWith("refused-")) {
            const QString before = TreeDump::tree(document);
            StyleSheetReader::ReadError error;
            QVERIFY(!StyleSheetReader::readText(document, m_fixture.catalogue, read, {}, &error));
            StyleSheetReader::ReadError checkError;
            QVERIFY(!StyleSheetReader::checkText(QString(read)
                                                     .replace(QLatin1String("\r\n"), QLatin1String("\n"))
                                                     .replace(QLatin1Char('\r'), QLatin1Char('\n')),
                                                 &checkError));
            QCOMPARE(checkError.describe(), error.describe());
            QCOMPARE(TreeDump::tree(document), before);
            return;
        }
        QVERIFY(StyleSheetReader::readText(document, m_fixture.catalogue, read));
        const QString written = StyleSheetWriter::styleSheetText(document);
        if (document.form() == DocumentForm::Standard)
            QCOMPARE(written, read);
        Document again;
        m_fixture.start(again);
        QVERIFY(StyleSheetReader::readText(again, m_fixture.catalogue, written));
        QCOMPARE(TreeDump::tree(again), TreeDump::tree(document));
        QCOMPARE(int(again.form()), int(document.form()));
        QCOMPARE(StyleSheetWriter::styleSheetText(again), written);
    }

private:
    // With LW_UPDATE_CASES=1 in the environment, each case gets what the reader and
    // writer make of it written as its expectation, for review with the version
    // control's diff before it is committed.
    void update(const QString &tree, const QString &written)
    {
        if (qEnvironmentVariableIntValue("LW_UPDATE_CASES") != 1)
            return;
        QFile file(m_files.value(QString::fromLatin1(QTest::currentDataTag())));
        QVERIFY(file.open(QIODevice::ReadWrite));
        QByteArray bytes = file.readAll();
        const qsizetype at = bytes.indexOf("=== expected");
        QVERIFY(at >= 0);
        bytes = bytes.left(at) + "=== expected\n" + tree.toUtf8();
        if (!written.isEmpty())
            bytes += "=== written\n" +
                     QString(written).replace(QLatin1String("\r\n"), QLatin1String("\n")).toUtf8() + '\n';
        QVERIFY(file.resize(0));
        file.write(bytes);
    }

    CatalogueFixture m_fixture;
    QHash<QString, QString> m_files;
};

LW_TEST_CLASS(ReaderCasesTest)
#include "ReaderCasesTest.moc"
