#include "CatalogueFixture.h"
#include "DocumentEdits.h"
#include "DocumentSession.h"
#include "TestRegistry.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>

namespace {

// Save's questions answered as a test says, each one asked recorded in order.
class AnsweredQuestions : public SaveQuestions
{
public:
    explicit AnsweredQuestions(bool yes) : m_yes(yes) {}

    bool mayReplaceChangedFile(const QString &, bool removed) override
    {
        asked << (removed ? QStringLiteral("removed") : QStringLiteral("changed"));
        return m_yes;
    }
    bool mayWriteReadOnlyFile(const QString &) override
    {
        asked << QStringLiteral("read-only");
        return m_yes;
    }
    std::optional<Encoding> encodingFor(const QString &, TextFile::Encoding encoding,
                                        bool byteOrderMark) override
    {
        return Encoding{encoding, byteOrderMark, false};
    }

    QStringList asked;

private:
    bool m_yes;
};

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

} // namespace

// The document session's Save, as the windows and loomcss use it: what it asks before it
// writes, what an answer No leaves, and what a save does to the document's state.
class TestDocumentSession : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(m_fixture.open()); }

    void saveAsksFirst_data()
    {
        QTest::addColumn<QString>("outside"); // what happens to the file after it was read
        QTest::addColumn<bool>("yes");
        QTest::addColumn<QString>("asked");
        for (const bool yes : {true, false}) {
            const char *answer = yes ? "Yes" : "No";
            QTest::addRow("unchanged, %s", answer) << QString() << yes << QString();
            QTest::addRow("changed, %s", answer)
                << QStringLiteral("changed") << yes << QStringLiteral("changed");
            QTest::addRow("removed, %s", answer)
                << QStringLiteral("removed") << yes << QStringLiteral("removed");
            QTest::addRow("read-only, %s", answer)
                << QStringLiteral("read-only") << yes << QStringLiteral("read-only");
        }
    }

    void saveAsksFirst()
    {
        QFETCH(QString, outside);
        QFETCH(bool, yes);
        QFETCH(QString, asked);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("site.css"));
        writeFile(path, "a {\n  color: red;\n}\n");
        DocumentSession session(m_fixture.catalogue);
        Document &document = session.document();
        m_fixture.start(document);
        QVERIFY(session.open(path));
        const ElementNode *rule = &document.elements().element(document.elements().elementCount() - 1);
        QVERIFY(DocumentEdits::writeValue(document, document.elements().attributeIndex(rule, 0),
                                          QStringLiteral("blue")));
        QVERIFY(document.isModified());

        QByteArray onDisk = readFile(path);
        if (outside == QLatin1String("changed")) {
            onDisk = "a {\n  color: green;\n}\n";
            writeFile(path, onDisk);
        } else if (outside == QLatin1String("removed")) {
            QVERIFY(QFile::remove(path));
            onDisk = "(unreadable)";
        } else if (outside == QLatin1String("read-only")) {
            QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner));
        }
        QSignalSpy workSafe(&session, &DocumentSession::workSafe);
        AnsweredQuestions questions(yes);
        const bool written = session.save(path, questions).has_value();

        QCOMPARE(questions.asked.join(u','), asked);
        const bool expectWritten = yes || asked.isEmpty();
        QCOMPARE(written, expectWritten);
        QCOMPARE(readFile(path), expectWritten ? QByteArray("a {\n  color: blue;\n}\n") : onDisk);
        QCOMPARE(document.isModified(), !expectWritten);
        QCOMPARE(workSafe.size(), expectWritten ? 1 : 0);
        if (outside == QLatin1String("read-only")) {
            struct stat st;
            QCOMPARE(::stat(QFile::encodeName(path).constData(), &st), 0);
            QCOMPARE(st.st_mode & 0777, 0400u);
        }
        // Once written, the file is the document's again: nothing more to ask.
        if (expectWritten)
            QCOMPARE(session.diskChange(), DocumentSession::DiskChange::None);
    }

private:
    CatalogueFixture m_fixture;
};

LW_TEST_CLASS(TestDocumentSession)
#include "TestDocumentSession.moc"
