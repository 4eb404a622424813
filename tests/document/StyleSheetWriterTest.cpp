#include "StyleSheetWriter.h"

#include "CatalogueFixture.h"
#include "Failure.h"
#include "TestRegistry.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <sys/resource.h>

// The text the writer makes of a document and the bytes Save puts in the file.
class StyleSheetWriterTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(m_fixture.open()); }

    void linesInTreeOrder()
    {
        Document document;
        m_fixture.start(document);
        StyleSheetModel &model = document.elements();
        const int note = model.sheet().appendElement(QStringLiteral(".note"), 0);
        model.sheet().appendAttribute(note, QStringLiteral("New Property"), 0);
        model.sheet().appendAttribute(4, QStringLiteral("color=red"), 1);
        model.sheet().appendAttribute(4, QStringLiteral("font-size=12"), 2);
        model.sheet().appendAttribute(document.pseudoClassPosition() + 1, QStringLiteral("color=blue"), 1);
        model.sheet().appendElement(QStringLiteral("empty"), 0);

        QCOMPARE(StyleSheetWriter::buildStyleSheetText(document),
                 QStringList({QStringLiteral("A:Hover {color=blue;}"),
                              QStringLiteral("BODY {color=red; font-size=12;}"),
                              QStringLiteral(".note {New Property;}")}));

        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("out.css"));
        StyleSheetWriter::save(document, path);
        QCOMPARE(contents(path), QByteArray("A:Hover {color=blue;}\r\nBODY {color=red; font-size=12;}\r\n"
                                            ".note {New Property;}"));
    }

    void documentWithoutDeclarationsWritesEmptyFile()
    {
        Document document;
        m_fixture.start(document);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("out.css"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("old contents");
        file.close();
        StyleSheetWriter::save(document, path);
        QCOMPARE(contents(path), QByteArray());
    }

    // A Latin-1 document stays Latin-1. A character Latin-1 cannot carry is refused:
    // the file and the document's encoding stay as they were, and the same document
    // saves once it is set to UTF-8.
    void writesInTheDocumentsEncoding()
    {
        Document document;
        m_fixture.start(document);
        document.setEncoding(TextFile::Encoding::Latin1);
        document.sheet().appendAttribute(4, QStringLiteral("content=\"\u00e9\""), 0);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("out.css"));
        StyleSheetWriter::save(document, path);
        QCOMPARE(contents(path), QByteArray("BODY {content=\"\xe9\";}"));

        document.sheet().appendAttribute(4, QStringLiteral("quotes=\"\u201c\""), 0);
        QVERIFY_THROWS_EXCEPTION(Failure, StyleSheetWriter::save(document, path));
        QCOMPARE(contents(path), QByteArray("BODY {content=\"\xe9\";}"));
        QCOMPARE(document.encoding(), TextFile::Encoding::Latin1);

        document.setEncoding(TextFile::Encoding::Utf8);
        StyleSheetWriter::save(document, path);
        QCOMPARE(contents(path), QByteArray("BODY {content=\"\xc3\xa9\"; quotes=\"\xe2\x80\x9c\";}"));
    }

    void failedWriteReportsTheFile()
    {
        Document document;
        m_fixture.start(document);
        document.sheet().appendAttribute(4, QStringLiteral("color=red"), 1);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("missing folder/out.css"));
        try {
            StyleSheetWriter::save(document, path);
            QFAIL("the write succeeded");
        } catch (const Failure &failure) {
            QVERIFY2(failure.message().contains(path), qPrintable(failure.message()));
        }
        QVERIFY(!QFile::exists(path));
    }

    // A write cut short (here by a file-size limit, as a full disk would) leaves the
    // old file as it was and reports the failure.
    void writeCutShortKeepsTheOldFile()
    {
        Document document;
        m_fixture.start(document);
        for (int i = 0; i < 4000; ++i)
            document.sheet().appendAttribute(
                4, QStringLiteral("content=%1").arg(i, 20, 10, QLatin1Char('0')), 0);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("out.css"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("BODY {color=red;}");
        file.close();

        rlimit saved{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
        const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limited = saved;
        limited.rlim_cur = 16 * 1024;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &limited), 0);
        QString message;
        try {
            StyleSheetWriter::save(document, path);
        } catch (const Failure &failure) {
            message = failure.message();
        }
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, previousHandler);

        QVERIFY2(message.contains(path), qPrintable(message));
        QCOMPARE(contents(path), QByteArray("BODY {color=red;}"));
    }

private:
    static QByteArray contents(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(cannot read)");
    }

    CatalogueFixture m_fixture;
};

LW_TEST_CLASS(StyleSheetWriterTest)
#include "StyleSheetWriterTest.moc"
