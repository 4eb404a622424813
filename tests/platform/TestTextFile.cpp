#include "Failure.h"
#include "TestRegistry.h"
#include "TextFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <sys/resource.h>

Q_DECLARE_METATYPE(TextFile::Encoding)

class TestTextFile : public QObject
{
    Q_OBJECT
private slots:
    void decode_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::addColumn<TextFile::Encoding>("encoding");
        QTest::newRow("ASCII") << QByteArray("A {x=y;}") << "A {x=y;}" << TextFile::Encoding::Utf8;
        QTest::newRow("UTF-8") << QByteArray("P {content=\"\xc3\xa9\";}")
                               << QStringLiteral("P {content=\"\u00e9\";}") << TextFile::Encoding::Utf8;
        QTest::newRow("Latin-1 byte")
            << QByteArray("P {content=\"\xe9\";}") << QStringLiteral("P {content=\"\u00e9\";}")
            << TextFile::Encoding::Latin1;
        QTest::newRow("lone LF") << QByteArray("a\nb") << "a\r\nb" << TextFile::Encoding::Utf8;
        QTest::newRow("lone CR") << QByteArray("a\rb\r") << "a\r\nb\r\n" << TextFile::Encoding::Utf8;
        QTest::newRow("CR LF kept") << QByteArray("a\r\nb") << "a\r\nb" << TextFile::Encoding::Utf8;
        QTest::newRow("LF CR") << QByteArray("a\n\rb") << "a\r\n\r\nb" << TextFile::Encoding::Utf8;
        QTest::newRow("NUL byte kept")
            << QByteArray("a\0b", 3) << QString::fromLatin1("a\0b", 3) << TextFile::Encoding::Utf8;
    }
    void decode()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QFETCH(TextFile::Encoding, encoding);
        const TextFile::Loaded loaded = TextFile::decode(bytes);
        QCOMPARE(loaded.text, text);
        QCOMPARE(loaded.encoding, encoding);
    }

    // Every byte survives a load and a save in the encoding it was read with.
    void bytesSurviveARoundTrip_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QByteArray all;
        for (int i = 0; i < 256; ++i)
            if (i != '\r' && i != '\n')
                all.append(char(i));
        QTest::newRow("every Latin-1 byte") << all;
        QTest::newRow("UTF-8 with mark") << QByteArray("\xEF\xBB\xBF"
                                                       "A {x=\xe2\x82\xac;}");
        QTest::newRow("empty") << QByteArray();
        // Large texts are written in pieces; a character of two UTF-16 units stands
        // across the end of each piece here.
        QByteArray pairs;
        for (int i = 0; i < 3; ++i)
            pairs += QByteArray(i == 0 ? 65535 : 65534, 'a') + "\xF0\x9F\x98\x80";
        QTest::newRow("UTF-8 over several pieces") << pairs;
        QTest::newRow("Latin-1 over several pieces")
            << QByteArray(100000, 'x') + "\xe9" + QByteArray(100000, '\xa0');
    }
    void bytesSurviveARoundTrip()
    {
        QFETCH(QByteArray, bytes);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("a.css"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        f.close();
        const TextFile::Loaded loaded = TextFile::load(path);
        TextFile::save(path, loaded.text, loaded.encoding, loaded.byteOrderMark);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), bytes);
    }

    // A character outside Latin-1 typed into a Latin-1 document is not lost.
    void latin1DocumentKeepsNewCharacters()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("a.css"));
        const QString text = QStringLiteral("P {content=\"\u20ac\";}");
        QCOMPARE(TextFile::save(path, text, TextFile::Encoding::Latin1), TextFile::Encoding::Utf8);
        QCOMPARE(TextFile::load(path).text, text);
    }

    void missingFileFails()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("none.css"));
        QVERIFY_THROWS_EXCEPTION(Failure, TextFile::load(path));
        try {
            TextFile::load(path);
        } catch (const Failure &failure) {
            QVERIFY(failure.message().contains(path));
        }
    }

    // A write that fails half-way (here: the file-size limit) leaves the old file whole
    // and says why.
    void failedSaveLeavesTheOldFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("a.css"));
        TextFile::save(path, QStringLiteral("old"), TextFile::Encoding::Utf8);
        rlimit saved{};
        getrlimit(RLIMIT_FSIZE, &saved);
        const auto previousHandler = signal(SIGXFSZ, SIG_IGN);
        rlimit small = saved;
        small.rlim_cur = 16;
        setrlimit(RLIMIT_FSIZE, &small);
        QString message;
        try {
            TextFile::save(path, QString(1000, QLatin1Char('n')), TextFile::Encoding::Utf8);
        } catch (const Failure &failure) {
            message = failure.message();
        }
        setrlimit(RLIMIT_FSIZE, &saved);
        signal(SIGXFSZ, previousHandler);
        QVERIFY(message.contains(path));
        QCOMPARE(TextFile::load(path).text, QStringLiteral("old"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("a.css")});
    }

    void saveIntoMissingFolderFails()
    {
        QTemporaryDir dir;
        QVERIFY_THROWS_EXCEPTION(Failure, TextFile::save(dir.filePath(QStringLiteral("no/such/a.css")),
                                                         QStringLiteral("x"), TextFile::Encoding::Utf8));
    }
};

LW_TEST_CLASS(TestTextFile)
#include "TestTextFile.moc"
