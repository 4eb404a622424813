#include "Failure.h"
#include "TestRegistry.h"
#include "TextFile.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <functional>
#include <grp.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

using TextFile::Encoding;

namespace TextFile {
// Shows an encoding by its name when a comparison fails.
char *toString(const Encoding &encoding)
{
    return QTest::toString(encoding.name());
}
} // namespace TextFile

namespace {

QByteArray utf16le(const QString &text)
{
    return QByteArray(reinterpret_cast<const char *>(text.utf16()), text.size() * 2);
}

QByteArray utf16be(const QString &text)
{
    QByteArray bytes = utf16le(text);
    for (qsizetype i = 0; i + 1 < bytes.size(); i += 2)
        std::swap(bytes[i], bytes[i + 1]);
    return bytes;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QByteArray contents(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(unreadable)");
}

// A text read as UTF-8 keeps each byte that is not UTF-8 as U+DC00 + byte.
QString kept(const QByteArray &bytes)
{
    QString text;
    for (const char byte : bytes)
        text += QChar(0xDC00 + uchar(byte));
    return text;
}

// Every byte that a single-byte set can hold, line breaks aside.
QByteArray everyByte()
{
    QByteArray all;
    for (int i = 0; i < 256; ++i)
        if (i != '\r' && i != '\n')
            all.append(char(i));
    return all;
}

// everyByte() read as windows-1252 (its table as browsers use it: the five bytes it
// leaves free are the C1 controls of their code).
QString everyByteInWindows1252()
{
    const QString high =
        QStringLiteral("\u20ac\u0081\u201a\u0192\u201e\u2026\u2020\u2021\u02c6\u2030\u0160\u2039"
                       "\u0152\u008d\u017d\u008f\u0090\u2018\u2019\u201c\u201d\u2022\u2013\u2014"
                       "\u02dc\u2122\u0161\u203a\u0153\u009d\u017e\u0178");
    QString text;
    for (const char byte : everyByte()) {
        const uchar b = uchar(byte);
        text += b >= 0x80 && b < 0xA0 ? high[b - 0x80] : QChar(b);
    }
    return text;
}

// A user and a group no one on the machine has.
constexpr int OtherUser = 54321;
constexpr int OtherGroup = 54322;

// Runs `work` in a child process as the user, with the group as its only one; the
// child's exit status (0 when the work threw nothing).
int runAs(int user, int group, const std::function<void()> &work)
{
    const pid_t child = fork();
    if (child == 0) {
        const gid_t groups[] = {gid_t(group)};
        if (setgroups(1, groups) != 0 || setresgid(gid_t(group), gid_t(group), gid_t(group)) != 0 ||
            setresuid(uid_t(user), uid_t(user), uid_t(user)) != 0)
            _exit(2);
        try {
            work();
        } catch (const Failure &failure) {
            std::fprintf(stderr, "%s\n", failure.what());
            _exit(1);
        }
        _exit(0);
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// An access control list as the system keeps it in the file's attribute
// system.posix_acl_access: a version, then entries of tag, permissions and id.
struct AccessEntry
{
    quint16 tag;
    quint16 permissions;
    quint32 id;
};
QByteArray accessList(std::initializer_list<AccessEntry> entries)
{
    QByteArray bytes;
    const auto append = [&](auto value) {
        const auto little = qToLittleEndian(value);
        bytes.append(reinterpret_cast<const char *>(&little), sizeof little);
    };
    append(quint32(2));
    for (const AccessEntry &entry : entries) {
        append(entry.tag);
        append(entry.permissions);
        append(entry.id);
    }
    return bytes;
}

QByteArray attribute(const QByteArray &path, const char *name)
{
    QByteArray value(4096, Qt::Uninitialized);
    const ssize_t size = getxattr(path.constData(), name, value.data(), size_t(value.size()));
    return size < 0 ? QByteArray("(none)") : value.left(size);
}

} // namespace

class TestTextFile : public QObject
{
    Q_OBJECT
private slots:
    // The encoding decision, row by row; every row's bytes come back unchanged from
    // decode() then encode() with the encoding and mark decided.
    void decision_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("encoding");
        QTest::addColumn<bool>("byteOrderMark");
        const QString euro = QStringLiteral("\u20ac");

        QTest::newRow("ASCII") << QByteArray("A {x=y;}\r\n") << "A {x=y;}\r\n"
                               << "UTF-8" << false;
        QTest::newRow("empty") << QByteArray() << QString() << "UTF-8" << false;
        QTest::newRow("UTF-8") << QByteArray("P {content=\"\xc3\xa9\";}")
                               << QStringLiteral("P {content=\"\u00e9\";}") << "UTF-8" << false;
        QTest::newRow("NUL byte") << QByteArray("a\0b", 3) << QString::fromLatin1("a\0b", 3) << "UTF-8"
                                  << false;

        // Byte-order marks.
        QTest::newRow("UTF-8 mark") << QByteArray("\xEF\xBB\xBF"
                                                  "a\r\n\xe2\x82\xac")
                                    << "a\r\n" + euro << "UTF-8" << true;
        QTest::newRow("UTF-8 mark only") << QByteArray("\xEF\xBB\xBF") << QString() << "UTF-8" << true;
        QTest::newRow("UTF-8 mark twice: the second is text")
            << QByteArray("\xEF\xBB\xBF\xEF\xBB\xBF") << QStringLiteral("\ufeff") << "UTF-8" << true;
        QTest::newRow("UTF-16LE mark") << "\xFF\xFE" + utf16le(QStringLiteral("a {}\r\n\u20ac"))
                                       << "a {}\r\n" + euro << "UTF-16LE" << true;
        QTest::newRow("UTF-16BE mark") << "\xFE\xFF" + utf16be(QStringLiteral("a {}\r\n\u20ac"))
                                       << "a {}\r\n" + euro << "UTF-16BE" << true;
        QTest::newRow("UTF-16LE mark only") << QByteArray("\xFF\xFE") << QString() << "UTF-16LE" << true;
        QTest::newRow("UTF-16LE character of two units")
            << "\xFF\xFE" + utf16le(QStringLiteral("\U0001F600")) << QStringLiteral("\U0001F600")
            << "UTF-16LE" << true;
        QTest::newRow("UTF-16LE lone half of a pair is kept")
            << QByteArray("\xFF\xFE\x00\xD8x\x00", 6) << QString(QChar(0xD800)) + QLatin1Char('x')
            << "UTF-16LE" << true;
        QTest::newRow("UTF-16LE mark, odd length: windows-1252") << QByteArray("\xFF\xFE"
                                                                               "a")
                                                                 << QStringLiteral("\u00ff\u00fe"
                                                                                   "a")
                                                                 << "windows-1252" << false;
        QTest::newRow("UTF-8 mark, a byte that is not UTF-8 after it is kept")
            << QByteArray("\xEF\xBB\xBF\xE9") << kept("\xE9") << "UTF-8" << true;
        QTest::newRow("mark wins over @charset")
            << QByteArray("\xEF\xBB\xBF@charset \"windows-1250\";\xc3\xa9")
            << QStringLiteral("@charset \"windows-1250\";\u00e9") << "UTF-8" << true;
        QTest::newRow("UTF-16LE mark wins over @charset")
            << "\xFF\xFE" + utf16le(QStringLiteral("@charset \"ISO-8859-2\";\u0104"))
            << QStringLiteral("@charset \"ISO-8859-2\";\u0104") << "UTF-16LE" << true;

        // @charset at the very start.
        QTest::newRow("@charset windows-1250")
            << QByteArray("@charset \"windows-1250\";\r\nA {content=\"\x8a\";}")
            << QStringLiteral("@charset \"windows-1250\";\r\nA {content=\"\u0160\";}") << "windows-1250"
            << false;
        QTest::newRow("@charset name in capitals")
            << QByteArray("@charset \"WINDOWS-1250\";\x8a")
            << QStringLiteral("@charset \"WINDOWS-1250\";\u0160") << "windows-1250" << false;
        QTest::newRow("@charset name with blanks around")
            << QByteArray("@charset \" windows-1250\t\";\x8a")
            << QStringLiteral("@charset \" windows-1250\t\";\u0160") << "windows-1250" << false;
        QTest::newRow("@charset ISO-8859-2")
            << QByteArray("@charset \"ISO-8859-2\";\xa1") << QStringLiteral("@charset \"ISO-8859-2\";\u0104")
            << "ISO-8859-2" << false;
        QTest::newRow("@charset latin2")
            << QByteArray("@charset \"latin2\";\xa1") << QStringLiteral("@charset \"latin2\";\u0104")
            << "ISO-8859-2" << false;
        QTest::newRow("@charset ISO-8859-15") << QByteArray("@charset \"iso-8859-15\";\xa4")
                                              << "@charset \"iso-8859-15\";" + euro << "ISO-8859-15" << false;
        QTest::newRow("@charset windows-1251")
            << QByteArray("@charset \"cp1251\";\xc0") << QStringLiteral("@charset \"cp1251\";\u0410")
            << "windows-1251" << false;
        QTest::newRow("@charset windows-1252")
            << QByteArray("@charset \"windows-1252\";\x80\x81\x9f")
            << "@charset \"windows-1252\";" + euro + QStringLiteral("\u0081\u0178") << "windows-1252"
            << false;
        QTest::newRow("@charset ISO-8859-1 is windows-1252, as in browsers")
            << QByteArray("@charset \"ISO-8859-1\";\x80\xe9")
            << "@charset \"ISO-8859-1\";" + euro + QStringLiteral("\u00e9") << "windows-1252" << false;
        QTest::newRow("@charset ISO-8859-9 is windows-1254, as in browsers")
            << QByteArray("@charset \"iso-8859-9\";\xd0") << QStringLiteral("@charset \"iso-8859-9\";\u011e")
            << "windows-1254" << false;
        QTest::newRow("@charset UTF-8") << QByteArray("@charset \"utf-8\";\xc3\xa9")
                                        << QStringLiteral("@charset \"utf-8\";\u00e9") << "UTF-8" << false;
        QTest::newRow("@charset UTF-16 in an ASCII file is UTF-8")
            << QByteArray("@charset \"UTF-16\";\xc3\xa9") << QStringLiteral("@charset \"UTF-16\";\u00e9")
            << "UTF-8" << false;
        QTest::newRow("@charset UTF-16BE in an ASCII file, a byte that is not UTF-8 is kept")
            << QByteArray("@charset \"utf-16be\";\xe9")
            << QStringLiteral("@charset \"utf-16be\";") + kept("\xe9") << "UTF-8" << false;
        QTest::newRow("@charset UTF-8, a byte that is not UTF-8 is kept")
            << QByteArray("@charset \"utf-8\";\xe9") << QStringLiteral("@charset \"utf-8\";") + kept("\xe9")
            << "UTF-8" << false;
        QTest::newRow("@charset unknown name, UTF-8")
            << QByteArray("@charset \"no-such-set\";\xc3\xa9")
            << QStringLiteral("@charset \"no-such-set\";\u00e9") << "UTF-8" << false;
        QTest::newRow("@charset unknown name, windows-1252")
            << QByteArray("@charset \"no-such-set\";\x8a")
            << QStringLiteral("@charset \"no-such-set\";\u0160") << "windows-1252" << false;
        QTest::newRow("@charset empty name")
            << QByteArray("@charset \"\";\x8a") << QStringLiteral("@charset \"\";\u0160") << "windows-1252"
            << false;
        QTest::newRow("@charset after a blank is not read")
            << QByteArray(" @charset \"windows-1250\";\x8a")
            << QStringLiteral(" @charset \"windows-1250\";\u0160") << "windows-1252" << false;
        QTest::newRow("@charset after a line is not read")
            << QByteArray("A {}\r\n@charset \"windows-1250\";\x8a")
            << QStringLiteral("A {}\r\n@charset \"windows-1250\";\u0160") << "windows-1252" << false;
        QTest::newRow("@charset in single quotes is not read")
            << QByteArray("@charset 'windows-1250';\x8a") << QStringLiteral("@charset 'windows-1250';\u0160")
            << "windows-1252" << false;
        QTest::newRow("@charset in capitals is not read")
            << QByteArray("@CHARSET \"windows-1250\";\x8a")
            << QStringLiteral("@CHARSET \"windows-1250\";\u0160") << "windows-1252" << false;
        QTest::newRow("@charset without a blank is not read")
            << QByteArray("@charset\"windows-1250\";\x8a")
            << QStringLiteral("@charset\"windows-1250\";\u0160") << "windows-1252" << false;
        QTest::newRow("@charset with a blank before ; is not read")
            << QByteArray("@charset \"windows-1250\" ;\x8a")
            << QStringLiteral("@charset \"windows-1250\" ;\u0160") << "windows-1252" << false;
        QTest::newRow("@charset without ; is not read")
            << QByteArray("@charset \"windows-1250\"\x8a")
            << QStringLiteral("@charset \"windows-1250\"\u0160") << "windows-1252" << false;
        QTest::newRow("@charset without closing quote is not read")
            << QByteArray("@charset \"windows-1250;\x8a") << QStringLiteral("@charset \"windows-1250;\u0160")
            << "windows-1252" << false;
        QTest::newRow("@charset closing past the first 1024 bytes is not read")
            << "@charset \"" + QByteArray(1020, 'x') + "\";\x8a"
            << "@charset \"" + QString(1020, QLatin1Char('x')) + QStringLiteral("\";\u0160") << "windows-1252"
            << false;
        // A set that leaves a byte undefined cannot hold the file: the decision goes on,
        // and every byte survives in windows-1252.
        QTest::newRow("@charset ISO-8859-3, a byte it leaves undefined")
            << QByteArray("@charset \"ISO-8859-3\";\xa1\xa5")
            << QStringLiteral("@charset \"ISO-8859-3\";\u00a1\u00a5") << "windows-1252" << false;
        QTest::newRow("@charset ISO-8859-3, defined bytes")
            << QByteArray("@charset \"ISO-8859-3\";\xa1") << QStringLiteral("@charset \"ISO-8859-3\";\u0126")
            << "ISO-8859-3" << false;

        // Neither mark nor @charset: UTF-8 when more of the bytes from 0x80 up are valid
        // UTF-8 than not, the others kept as they are; else windows-1252.
        QTest::newRow("a stray byte in a UTF-8 file is kept")
            << QByteArray("P {content: \"h\xc3\xa9llo \xe2\x80\x94 \xe6\x97\xa5\xe6\x9c\xac\"} /* \xff */")
            << QStringLiteral("P {content: \"h\u00e9llo \u2014 \u65e5\u672c\"} /* ") + kept("\xff") +
                   QStringLiteral(" */")
            << "UTF-8" << false;
        QTest::newRow("UTF-8 then a stray byte")
            << QByteArray("\xc3\xa9\r\n\xe9") << QStringLiteral("\u00e9\r\n") + kept("\xe9") << "UTF-8"
            << false;
        QTest::newRow("UTF-8 of a lone surrogate among UTF-8 is kept byte by byte")
            << QByteArray("\xe2\x82\xac\xc3\xa9\xed\xa0\x80")
            << QStringLiteral("\u20ac\u00e9") + kept("\xed\xa0\x80") << "UTF-8" << false;
        QTest::newRow("a character of private use is not a kept byte")
            << QByteArray("\xef\x9e\xa2\xa2\xee\x80\x80")
            << QStringLiteral("\uf7a2") + kept("\xa2") + QStringLiteral("\ue000") << "UTF-8" << false;
        QTest::newRow("as many stray bytes as UTF-8: windows-1252")
            << QByteArray("\xc3\xa9\xe9\xe9") << QStringLiteral("\u00c3\u00a9\u00e9\u00e9") << "windows-1252"
            << false;
        QTest::newRow("single-byte: windows-1252")
            << QByteArray("P {content=\"\xe9\";}") << QStringLiteral("P {content=\"\u00e9\";}")
            << "windows-1252" << false;
        QTest::newRow("windows-1252 quotes and euro")
            << QByteArray("P {content: \x93hi\x94 \x80;}")
            << QStringLiteral("P {content: \u201chi\u201d \u20ac;}") << "windows-1252" << false;
        QTest::newRow("windows-1252, the five bytes it leaves free")
            << QByteArray("\x81\x8d\x8f\x90\x9d") << QStringLiteral("\u0081\u008d\u008f\u0090\u009d")
            << "windows-1252" << false;
        QTest::newRow("UTF-8 of a lone surrogate alone: windows-1252")
            << QByteArray("\xed\xa0\x80") << QStringLiteral("\u00ed\u00a0\u20ac") << "windows-1252" << false;
        QTest::newRow("overlong UTF-8: windows-1252")
            << QByteArray("\xc0\xaf") << QStringLiteral("\u00c0\u00af") << "windows-1252" << false;
        QTest::newRow("UTF-8 cut short: windows-1252")
            << QByteArray("a\xe2\x82") << QStringLiteral("a\u00e2\u201a") << "windows-1252" << false;
        QTest::newRow("every byte: windows-1252")
            << everyByte() << everyByteInWindows1252() << "windows-1252" << false;

        // UTF-16 without a mark, told by its NUL bytes, and written back without one.
        QTest::newRow("UTF-16LE without a mark")
            << utf16le(QStringLiteral("P {content: \"\u65e5\u672c\"}\r\n"))
            << QStringLiteral("P {content: \"\u65e5\u672c\"}\r\n") << "UTF-16LE" << false;
        QTest::newRow("UTF-16BE without a mark")
            << utf16be(QStringLiteral("A {x=y;}\r\n\U0001F600")) << QStringLiteral("A {x=y;}\r\n\U0001F600")
            << "UTF-16BE" << false;
        QTest::newRow("UTF-16LE without a mark, a lone half of a pair is kept")
            << utf16le(QStringLiteral("a {}") + QChar(0xDC80)) << QStringLiteral("a {}") + QChar(0xDC80)
            << "UTF-16LE" << false;
        QTest::newRow("a few NUL bytes in a short file are no UTF-16")
            << QByteArray("{\0:\0;=", 6) << QString::fromLatin1("{\0:\0;=", 6) << "UTF-8" << false;
        QTest::newRow("UTF-16LE without a mark, a character beyond Latin-1 among ASCII")
            << utf16le(QStringLiteral("a{b:\u0416}")) << QStringLiteral("a{b:\u0416}") << "UTF-16LE" << false;
        QTest::newRow("NUL pattern of an odd number of bytes: UTF-8, every byte kept")
            << QByteArray("a\0b\0c", 5) << QString::fromLatin1("a\0b\0c", 5) << "UTF-8" << false;
    }
    void decision()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QFETCH(QString, encoding);
        QFETCH(bool, byteOrderMark);
        if (!Encoding::fromName(encoding))
            QSKIP("The Qt on this machine converts no such set");
        const TextFile::Loaded loaded = TextFile::decode(bytes);
        QCOMPARE(loaded.text, text);
        QCOMPARE(loaded.encoding.name(), encoding);
        QCOMPARE(loaded.byteOrderMark, byteOrderMark);
        QVERIFY(TextFile::canEncode(loaded.text, loaded.encoding));
        QCOMPARE(TextFile::encode(loaded.text, loaded.encoding, loaded.byteOrderMark), bytes);
    }

    void lineBreaks_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("lone LF") << QByteArray("a\nb") << "a\r\nb";
        QTest::newRow("lone CR") << QByteArray("a\rb\r") << "a\r\nb\r\n";
        QTest::newRow("CR LF kept") << QByteArray("a\r\nb") << "a\r\nb";
        QTest::newRow("LF CR") << QByteArray("a\n\rb") << "a\r\n\r\nb";
        QTest::newRow("UTF-16 LF") << "\xFF\xFE" + utf16le(QStringLiteral("a\nb")) << "a\r\nb";
        QTest::newRow("windows-1250 CR") << QByteArray("@charset \"windows-1250\";\r\x8a")
                                         << QStringLiteral("@charset \"windows-1250\";\r\n\u0160");
        // UTF-8 is decoded eight ASCII bytes at a time and in runs of other bytes.
        QTest::newRow("UTF-8, breaks among long runs")
            << QByteArray("abcdefghij\nklmnopqrstuvw\r\xc3\xa9\xe2\x82\xac\nxyz0123456789\r\n")
            << QStringLiteral("abcdefghij\r\nklmnopqrstuvw\r\n\u00e9\u20ac\r\nxyz0123456789\r\n");
        QTest::newRow("UTF-8 cut by a line break: Latin-1")
            << QByteArray("abcdefgh\xc3\n\xa9") << QStringLiteral("abcdefgh\u00c3\r\n\u00a9");
    }
    void lineBreaks()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QCOMPARE(TextFile::decode(bytes).text, text);
    }

    // Each set this program knows keeps every byte through a load and a save, whether
    // it defines the byte (read in the set) or not (the file is read as windows-1252).
    void everySetKeepsEveryByte_data()
    {
        QTest::addColumn<QString>("name");
        for (const char *name :
             {"windows-874",  "windows-1250", "windows-1251", "windows-1252", "windows-1253", "windows-1254",
              "windows-1255", "windows-1256", "windows-1257", "windows-1258", "ISO-8859-2",   "ISO-8859-3",
              "ISO-8859-4",   "ISO-8859-5",   "ISO-8859-6",   "ISO-8859-7",   "ISO-8859-8",   "ISO-8859-10",
              "ISO-8859-13",  "ISO-8859-14",  "ISO-8859-15",  "ISO-8859-16"})
            QTest::newRow(name) << QString::fromLatin1(name);
    }
    void everySetKeepsEveryByte()
    {
        QFETCH(QString, name);
        const std::optional<Encoding> encoding = Encoding::fromName(name);
        if (!encoding)
            QSKIP("The Qt on this machine does not convert this set");
        QCOMPARE(encoding->name(), name);
        QCOMPARE(Encoding::fromLabel(name.toLatin1()), encoding);
        const QByteArray bytes = "@charset \"" + name.toLatin1() + "\";" + everyByte();
        const TextFile::Loaded loaded = TextFile::decode(bytes);
        QVERIFY(loaded.encoding == *encoding || loaded.encoding == Encoding::Windows1252);
        QCOMPARE(TextFile::encode(loaded.text, loaded.encoding), bytes);
        // Without the bytes it leaves undefined, the file is read in the set itself.
        QByteArray defined = "@charset \"" + name.toLatin1() + "\";";
        for (const char byte : everyByte()) {
            if (TextFile::decode(defined + byte).encoding == *encoding)
                defined += byte;
        }
        QVERIFY2(defined.size() > 10 + name.size() + 128, "the set defines fewer than 128 bytes");
        QCOMPARE(TextFile::decode(defined).encoding, *encoding);
        QCOMPARE(TextFile::encode(TextFile::decode(defined).text, *encoding), defined);
    }

    // Bytes of a UTF-8 file that are not UTF-8 are kept as U+DC00 + byte: counted,
    // found by keptByte(), written back as themselves, and refused by name in a
    // single-byte set. Half of a real pair (U+1F480 is D83D DC80) is no kept byte.
    void keptBytesAreMarkedAndWrittenBack()
    {
        const QByteArray bytes("a\xff\xc3\xa9\xfe\r\n\xf0\x9f\x92\x80\x80");
        const TextFile::Loaded loaded = TextFile::decode(bytes);
        QCOMPARE(loaded.encoding, Encoding::Utf8);
        QCOMPARE(loaded.keptBytes, qsizetype(3));
        QCOMPARE(loaded.text, QStringLiteral("a") + kept("\xff") + QStringLiteral("\u00e9") + kept("\xfe") +
                                  QStringLiteral("\r\n\U0001F480") + kept("\x80"));
        QList<int> found;
        for (qsizetype i = 0; i < loaded.text.size(); ++i)
            if (const std::optional<uchar> byte = TextFile::keptByte(loaded.text, i))
                found << int(i) << int(*byte);
        QCOMPARE(found, (QList<int>{1, 0xff, 3, 0xfe, 8, 0x80}));
        QCOMPARE(TextFile::firstUnencodable(loaded.text, Encoding::Utf8), -1);
        QCOMPARE(TextFile::encode(loaded.text, Encoding::Utf8), bytes);
        QByteArray pieces;
        TextFile::encodeInPieces(loaded.text, Encoding::Utf8, false, [&](QByteArrayView b) { pieces += b; });
        QCOMPARE(pieces, bytes);
        try {
            TextFile::encode(loaded.text, Encoding::Windows1252);
            QFAIL("a kept byte was written in windows-1252");
        } catch (const Failure &failure) {
            QCOMPARE(failure.message(),
                     QStringLiteral(
                         "The byte 0xFF in line 1, which is not UTF-8, cannot be saved in windows-1252"));
        }
    }

    // With line breaks kept, decoding then encoding gives the same bytes whatever the
    // breaks are; the text is the usual one but for its breaks.
    void keepingLineBreaksGivesTheSameBytes_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("encoding");
        QTest::addColumn<bool>("byteOrderMark");
        QTest::newRow("UTF-8, LF") << QByteArray("a {}\nb {}\n") << "UTF-8" << false;
        QTest::newRow("UTF-8, every kind") << QByteArray("a\r\nb\nc\rd\r\r\n\n\re") << "UTF-8" << false;
        QTest::newRow("UTF-8, LF within runs of eight ASCII bytes")
            << QByteArray(37, 'x') + "\n" + QByteArray(16, 'y') + "\r" + QByteArray(7, 'z') << "UTF-8"
            << false;
        QTest::newRow("UTF-8 with mark and a kept byte")
            << QByteArray("\xef\xbb\xbf\xc3\xa9\r\xff\n") << "UTF-8" << true;
        QTest::newRow("windows-1252, CR and LF") << QByteArray("\x93\n\x94\r") << "windows-1252" << false;
        QTest::newRow("@charset windows-1250, LF")
            << QByteArray("@charset \"windows-1250\";\n\x8a\n") << "windows-1250" << false;
        QTest::newRow("UTF-16LE with mark, LF and CR")
            << "\xFF\xFE" + utf16le(QStringLiteral("a\nb\r")) << "UTF-16LE" << true;
        QTest::newRow("UTF-16BE without mark, CR")
            << utf16be(QStringLiteral("a {}\rb {}\r")) << "UTF-16BE" << false;
    }
    void keepingLineBreaksGivesTheSameBytes()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, encoding);
        QFETCH(bool, byteOrderMark);
        const TextFile::Loaded kept = TextFile::decode(bytes, TextFile::LineBreaks::Keep);
        QCOMPARE(kept.encoding.name(), encoding);
        QCOMPARE(kept.byteOrderMark, byteOrderMark);
        QCOMPARE(TextFile::encode(kept.text, kept.encoding, kept.byteOrderMark), bytes);
        const TextFile::Loaded usual = TextFile::decode(bytes);
        QCOMPARE(usual.encoding, kept.encoding);
        QCOMPARE(TextFile::normaliseLineBreaks(kept.text), usual.text);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("a.css"));
        QVERIFY(writeFile(path, bytes));
        QCOMPARE(TextFile::load(path, TextFile::LineBreaks::Keep).text, kept.text);
    }

    // Reading again in the encoding the user chose: its mark is left out, bytes it
    // does not define are refused by name.
    void decodeInAChosenEncoding_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("encoding");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("byteOrderMark");
        QTest::addColumn<QString>("failure");
        QTest::newRow("windows-1250 instead of the guess")
            << QByteArray("\x9c\n") << "windows-1250" << QStringLiteral("\u015b\r\n") << false << QString();
        QTest::newRow("ISO-8859-1 reads every byte")
            << QByteArray("\x80\xe9") << "ISO-8859-1" << QStringLiteral("\u0080\u00e9") << false << QString();
        QTest::newRow("UTF-8 keeps what is not UTF-8")
            << QByteArray("\xe9") << "UTF-8" << kept("\xe9") << false << QString();
        QTest::newRow("UTF-8 with its mark") << QByteArray("\xef\xbb\xbf"
                                                           "a")
                                             << "UTF-8"
                                             << "a" << true << QString();
        QTest::newRow("UTF-16LE with its mark") << QByteArray("\xff\xfe"
                                                              "a\0",
                                                              4)
                                                << "UTF-16LE"
                                                << "a" << true << QString();
        QTest::newRow("UTF-16BE without a mark") << QByteArray("\0a\0\r", 4) << "UTF-16BE"
                                                 << "a\r\n"
                                                 << false << QString();
        QTest::newRow("UTF-16LE, odd number of bytes")
            << QByteArray("a\0b", 3) << "UTF-16LE" << QString() << false
            << "The file cannot be read as UTF-16LE: it has an odd number of bytes";
        QTest::newRow("a byte ISO-8859-3 leaves undefined")
            << QByteArray("ab\xa5") << "ISO-8859-3" << QString() << false
            << "The file cannot be read as ISO-8859-3: it has no character for the byte 0xA5 at offset 2";
    }
    void decodeInAChosenEncoding()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, encoding);
        QFETCH(QString, text);
        QFETCH(bool, byteOrderMark);
        QFETCH(QString, failure);
        const std::optional<Encoding> chosen = Encoding::fromName(encoding);
        if (!chosen)
            QSKIP("The Qt on this machine does not convert this set");
        try {
            const TextFile::Loaded loaded = TextFile::decodeIn(bytes, *chosen);
            QVERIFY2(failure.isEmpty(), "read what the encoding cannot read");
            QCOMPARE(loaded.text, text);
            QCOMPARE(loaded.encoding, *chosen);
            QCOMPARE(loaded.byteOrderMark, byteOrderMark);
            QCOMPARE(TextFile::encode(TextFile::decodeIn(bytes, *chosen, TextFile::LineBreaks::Keep).text,
                                      *chosen, byteOrderMark),
                     bytes);
        } catch (const Failure &refused) {
            QCOMPARE(refused.message(), failure);
        }
    }

    // A file read again in the encoding the user chose: load() decodes it as decodeIn()
    // does, mark and refusal alike; every encoding offered can be named and chosen.
    void loadInAChosenEncoding()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("a.css"));
        QVERIFY(writeFile(path, QByteArray("\xef\xbb\xbfP{content:\"\x9c\xa5\"}\n")));
        TextFile::LoadOptions options;
        options.lineBreaks = TextFile::LineBreaks::Keep;
        QByteArray bytesRead;
        options.bytesRead = &bytesRead;
        QCOMPARE(TextFile::load(path, options).encoding, Encoding::Utf8);         // by its mark
        QCOMPARE(bytesRead, QByteArray("\xef\xbb\xbfP{content:\"\x9c\xa5\"}\n")); // as read, mark and all
        options.bytesRead = nullptr;

        options.encoding = Encoding::Windows1252;
        TextFile::Loaded loaded = TextFile::load(path, options);
        QCOMPARE(loaded.encoding, Encoding::Windows1252);
        QVERIFY(!loaded.byteOrderMark); // a UTF-8 mark is three characters of windows-1252
        QCOMPARE(loaded.text, QStringLiteral("\u00ef\u00bb\u00bfP{content:\"\u0153\u00a5\"}\n"));

        if (const std::optional<Encoding> latin3 = Encoding::fromName(QStringLiteral("ISO-8859-3"))) {
            options.encoding = latin3;
            QVERIFY(writeFile(path, QByteArray("a{content:\"\xa5\"}")));
            QString refusal;
            try {
                TextFile::load(path, options);
            } catch (const Failure &failure) {
                refusal = failure.message();
            }
            QCOMPARE(refusal, QStringLiteral("The file cannot be read as ISO-8859-3: it has no character "
                                             "for the byte 0xA5 at offset 11"));
        }

        const QList<Encoding> offered = Encoding::available();
        QCOMPARE(offered.mid(0, 5), (QList<Encoding>{Encoding::Utf8, Encoding::Utf16LE, Encoding::Utf16BE,
                                                     Encoding::Latin1, Encoding::Windows1252}));
        for (const Encoding encoding : offered)
            QCOMPARE(Encoding::fromName(encoding.name()), encoding);
    }

    // Whatever the bytes, decoding with line breaks kept then encoding in the encoding
    // and mark decided gives them back: random mixtures (fixed seed) of ASCII, line
    // breaks, NULs, UTF-8 sequences whole and cut, marks, @charset heads and stray bytes.
    void anyBytesComeBack()
    {
        QRandomGenerator random(24);
        const QByteArray pieces[] = {"a",
                                     " {x: y}",
                                     "\r",
                                     "\n",
                                     "\r\n",
                                     QByteArray(1, '\0'),
                                     "\xc3\xa9",
                                     "\xe2\x82\xac",
                                     "\xf0\x9f\x92\x80",
                                     "\xe2\x82",
                                     "\xf0\x9f",
                                     "\xed\xa0\x80",
                                     "\xef\xbb\xbf",
                                     "\xff\xfe",
                                     "\xfe\xff",
                                     "\x80",
                                     "\xff",
                                     "\x93",
                                     "\xc0\xaf",
                                     "@charset \"utf-8\";",
                                     "@charset \"windows-1250\";",
                                     "@charset \"iso-8859-3\";",
                                     "a\0b\0",
                                     "\0a\0b"};
        for (int round = 0; round < 3000; ++round) {
            QByteArray bytes;
            const int count = random.bounded(12);
            for (int k = 0; k < count; ++k) {
                if (random.bounded(4) == 0)
                    bytes += char(random.bounded(256));
                else
                    bytes += pieces[random.bounded(int(std::size(pieces)))];
            }
            const TextFile::Loaded loaded = TextFile::decode(bytes, TextFile::LineBreaks::Keep);
            QVERIFY2(TextFile::canEncode(loaded.text, loaded.encoding), bytes.toHex(' ').constData());
            QVERIFY2(TextFile::encode(loaded.text, loaded.encoding, loaded.byteOrderMark) == bytes,
                     qPrintable(bytes.toHex(' ') + " read as " + loaded.encoding.name()));
        }
    }

    void canEncode_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("encoding");
        QTest::addColumn<int>("firstUnencodable");
        const QString ascii = QStringLiteral("A {x=y;}\r\n");
        QTest::newRow("ASCII in UTF-8") << ascii << "UTF-8" << -1;
        QTest::newRow("ASCII in ISO-8859-1") << ascii << "ISO-8859-1" << -1;
        QTest::newRow("ASCII in windows-1250") << ascii << "windows-1250" << -1;
        QTest::newRow("euro in ISO-8859-1") << ascii + QStringLiteral("\u00e9\u20ac") << "ISO-8859-1" << 11;
        QTest::newRow("euro in windows-1252")
            << ascii + QStringLiteral("\u00e9\u20ac") << "windows-1252" << -1;
        QTest::newRow("C1 control 0x80 in windows-1252") << QStringLiteral("\u0080") << "windows-1252" << 0;
        QTest::newRow("C1 control 0x81 in windows-1252") << QStringLiteral("\u0081") << "windows-1252" << -1;
        QTest::newRow("Polish in ISO-8859-2") << QStringLiteral("\u0105\u0142") << "ISO-8859-2" << -1;
        QTest::newRow("euro in ISO-8859-2") << QStringLiteral("\u0105\u20ac") << "ISO-8859-2" << 1;
        QTest::newRow("Cyrillic in windows-1250") << QStringLiteral("a\u0416") << "windows-1250" << 1;
        QTest::newRow("character of two units in windows-1250")
            << QStringLiteral("a\U0001F600") << "windows-1250" << 1;
        QTest::newRow("character of two units in UTF-8") << QStringLiteral("a\U0001F600") << "UTF-8" << -1;
        QTest::newRow("lone high half in UTF-8") << QString(QChar(0xD800)) + QLatin1Char('a') << "UTF-8" << 0;
        QTest::newRow("lone low half in UTF-8") << QLatin1String("ab") + QChar(0xDC00) << "UTF-8" << 2;
        QTest::newRow("lone half in UTF-16LE") << QString(QChar(0xD800)) << "UTF-16LE" << -1;
        QTest::newRow("anything in UTF-16BE") << QStringLiteral("\u0416\U0001F600") << "UTF-16BE" << -1;
        // Long texts are scanned in blocks of characters.
        const QString block = QString(63, QLatin1Char('a'));
        QTest::newRow("pair across blocks in UTF-8")
            << block + QStringLiteral("\U0001F600") + block << "UTF-8" << -1;
        QTest::newRow("lone half after a pair across blocks in UTF-8")
            << block + QStringLiteral("\U0001F600") + block + QChar(0xDC00) << "UTF-8" << 128;
        QTest::newRow("euro in a later block in ISO-8859-1")
            << block + block + QStringLiteral("\u20ac") << "ISO-8859-1" << 126;
        QTest::newRow("Cyrillic in a later block in windows-1250")
            << block + block + QStringLiteral("\u0416") << "windows-1250" << 126;
    }
    void canEncode()
    {
        QFETCH(QString, text);
        QFETCH(QString, encoding);
        QFETCH(int, firstUnencodable);
        const std::optional<Encoding> set = Encoding::fromName(encoding);
        if (!set)
            QSKIP("The Qt on this machine does not convert this set");
        QCOMPARE(TextFile::firstUnencodable(text, *set), firstUnencodable);
        QCOMPARE(TextFile::canEncode(text, *set), firstUnencodable < 0);
        if (firstUnencodable >= 0) {
            QVERIFY_THROWS_EXCEPTION(Failure, TextFile::encode(text, *set));
            return;
        }
        // What fits is read back as it was (a single-byte set once its @charset names it).
        const bool named = *set != Encoding::Utf8 && !set->isUtf16() && *set != Encoding::Latin1;
        const QString head = named ? "@charset \"" + encoding + "\";" : QString();
        QCOMPARE(TextFile::decode(TextFile::encode(head + text, *set, true)).text, head + text);
    }

    // A text the document's encoding cannot hold is refused whole: the old file stays,
    // the message names the character and the encoding, and the same text saves as UTF-8.
    void saveRefusesATextTheEncodingCannotHold()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("a.css"));
        QVERIFY(writeFile(path, "@charset \"ISO-8859-2\";\r\nold"));
        const QString text =
            QStringLiteral("@charset \"ISO-8859-2\";\r\nP {content=\"\u0105\";}\r\nQ {a=\"\u20ac\";}");
        QString message;
        try {
            TextFile::save(path, text, *Encoding::fromName(QStringLiteral("ISO-8859-2")));
        } catch (const Failure &failure) {
            message = failure.message();
        }
        QCOMPARE(message, QStringLiteral(
                              "Cannot write file \"%1\". The character \"\u20ac\" (U+20AC) in line 3 cannot "
                              "be saved in ISO-8859-2")
                              .arg(path));
        QCOMPARE(contents(path), QByteArray("@charset \"ISO-8859-2\";\r\nold"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("a.css")});

        QCOMPARE(TextFile::save(path, text, Encoding::Utf8), Encoding::Utf8);
        QCOMPARE(contents(path), text.toUtf8());
    }

    void refusalNamesTheCharacter_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("encoding");
        QTest::addColumn<QString>("message");
        QTest::newRow("printable")
            << QStringLiteral("x\u0416") << "ISO-8859-1"
            << QStringLiteral("The character \"\u0416\" (U+0416) in line 1 cannot be saved in ISO-8859-1");
        QTest::newRow("two units")
            << QStringLiteral("\r\n\r\n\U0001F600") << "windows-1252"
            << QStringLiteral("The character \"\U0001F600\" (U+1F600) in line 3 cannot be saved in "
                              "windows-1252");
        QTest::newRow("control") << QStringLiteral("\u0080") << "windows-1252"
                                 << QStringLiteral(
                                        "The character U+0080 in line 1 cannot be saved in windows-1252");
        QTest::newRow("lone half") << QString(QChar(0xDBFF)) << "UTF-8"
                                   << QStringLiteral(
                                          "The character U+DBFF in line 1 cannot be saved in UTF-8");
    }
    void refusalNamesTheCharacter()
    {
        QFETCH(QString, text);
        QFETCH(QString, encoding);
        QFETCH(QString, message);
        try {
            TextFile::encode(text, *Encoding::fromName(encoding));
            QFAIL("encoded a text the encoding cannot hold");
        } catch (const Failure &failure) {
            QCOMPARE(failure.message(), message);
        }
    }

    void names()
    {
        QCOMPARE(Encoding().name(), QStringLiteral("UTF-8"));
        QCOMPARE(Encoding::Utf16LE.name(), QStringLiteral("UTF-16LE"));
        QCOMPARE(Encoding::Utf16BE.name(), QStringLiteral("UTF-16BE"));
        QCOMPARE(Encoding::Latin1.name(), QStringLiteral("ISO-8859-1"));
        QCOMPARE(Encoding::Windows1252.name(), QStringLiteral("windows-1252"));
        for (const Encoding e : {Encoding::Utf8, Encoding::Utf16LE, Encoding::Utf16BE, Encoding::Latin1})
            QCOMPARE(Encoding::fromName(e.name().toLower()), e);
        QCOMPARE(Encoding::fromName(QStringLiteral("no-such-set")), std::nullopt);
        QCOMPARE(Encoding::fromLabel("utf-16"), Encoding::Utf16LE);
        QCOMPARE(Encoding::fromLabel("US-ASCII"), Encoding::Windows1252);
        QCOMPARE(Encoding::fromLabel(""), std::nullopt);
        QCOMPARE(Encoding::fromLabel("utf"), std::nullopt);
    }

    // The mark is written when asked: UTF-16 read without one is written back without.
    void markIsWrittenWhenAsked()
    {
        QCOMPARE(TextFile::encode(QStringLiteral("a"), Encoding::Utf16LE, true), QByteArray("\xFF\xFE"
                                                                                            "a\0",
                                                                                            4));
        QCOMPARE(TextFile::encode(QStringLiteral("a"), Encoding::Utf16BE, true),
                 QByteArray("\xFE\xFF\0a", 4));
        QCOMPARE(TextFile::encode(QStringLiteral("a"), Encoding::Utf16LE, false), QByteArray("a\0", 2));
        QCOMPARE(TextFile::encode(QStringLiteral("a"), Encoding::Latin1, true), QByteArray("a"));
        QCOMPARE(TextFile::encode(QStringLiteral("a"), Encoding::Utf8, true), QByteArray("\xEF\xBB\xBF"
                                                                                         "a"));
    }

    // Every byte survives a load and a save in the encoding it was read with, also when
    // the text is written in several pieces.
    void bytesSurviveARoundTrip_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("every Latin-1 byte") << everyByte();
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
        QTest::newRow("UTF-16BE over several pieces")
            << "\xFE\xFF" + utf16be(QString::fromUtf8(pairs) + QChar(0xDC00));
        QTest::newRow("windows-1250 over several pieces") << "@charset \"windows-1250\";" +
                                                                 QByteArray(100000, '\x8a') + "\r\n" +
                                                                 QByteArray(100000, '\xb9');
    }
    void bytesSurviveARoundTrip()
    {
        QFETCH(QByteArray, bytes);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("a.css"));
        QVERIFY(writeFile(path, bytes));
        const TextFile::Loaded loaded = TextFile::load(path);
        TextFile::save(path, loaded.text, loaded.encoding, loaded.byteOrderMark);
        QCOMPARE(contents(path), bytes);
    }

    // Only a regular file is read: anything else is refused at once with what it is,
    // before a read that could block or go on without end; a file that cannot be read
    // says the system's reason. Nothing is written over what is no regular file.
    void onlyRegularFilesAreRead_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("reason");
        QTest::newRow("missing") << "missing"
                                 << "No such file or directory";
        QTest::newRow("folder") << "folder"
                                << "It is a folder, not a regular file";
        QTest::newRow("named pipe") << "pipe"
                                    << "It is a named pipe, not a regular file";
        QTest::newRow("link to a named pipe") << "link to pipe"
                                              << "It is a named pipe, not a regular file";
        QTest::newRow("socket") << "socket"
                                << "It is a socket, not a regular file";
        QTest::newRow("device without end") << "/dev/zero"
                                            << "It is a device, not a regular file";
        QTest::newRow("no permission") << "locked"
                                       << "Permission denied";
    }
    void onlyRegularFilesAreRead()
    {
        QFETCH(QString, kind);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        QString path = dir.filePath(kind);
        if (kind == QLatin1String("folder")) {
            QVERIFY(QDir(dir.path()).mkdir(kind));
        } else if (kind.endsWith(QLatin1String("pipe"))) {
            QCOMPARE(mkfifo(QFile::encodeName(dir.filePath(QStringLiteral("pipe"))).constData(), 0600), 0);
            if (kind != QLatin1String("pipe"))
                QVERIFY(QFile::link(QStringLiteral("pipe"), path));
        } else if (kind == QLatin1String("socket")) {
            const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
            sockaddr_un address{};
            address.sun_family = AF_UNIX;
            const QByteArray name = QFile::encodeName(path);
            QVERIFY(name.size() < qsizetype(sizeof address.sun_path));
            std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
            QCOMPARE(bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
            close(fd);
        } else if (kind.startsWith(QLatin1Char('/'))) {
            path = kind;
        } else if (kind == QLatin1String("locked")) {
            if (geteuid() == 0)
                QSKIP("The superuser reads a file whatever its permissions");
            QVERIFY(writeFile(path, "A {}"));
            QVERIFY(QFile::setPermissions(path, QFileDevice::WriteOwner));
        }
        QElapsedTimer timer;
        timer.start();
        QString message;
        try {
            TextFile::load(path);
        } catch (const Failure &failure) {
            message = failure.message();
        }
        QCOMPARE(message, QStringLiteral("Cannot open file \"%1\". %2").arg(path, reason));
        QVERIFY(timer.elapsed() < 5000);
        if (kind != QLatin1String("locked"))
            QVERIFY_THROWS_EXCEPTION(Failure, TextFile::regularFileSize(path));
        // Saving over it is refused and leaves it as it was.
        if (reason.endsWith(QLatin1String("not a regular file")) && path.startsWith(dir.path())) {
            struct stat before;
            QCOMPARE(lstat(QFile::encodeName(path).constData(), &before), 0);
            QVERIFY_THROWS_EXCEPTION(Failure, TextFile::save(path, QStringLiteral("x"), Encoding::Utf8));
            struct stat after;
            QCOMPARE(lstat(QFile::encodeName(path).constData(), &after), 0);
            QCOMPARE(after.st_ino, before.st_ino);
            QCOMPARE(after.st_mode, before.st_mode);
        }
    }

    // A file above the limit is refused before it is read, as its own kind of failure
    // that says its size, so that the window can ask and read it without the limit.
    void sizeLimit_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<qint64>("limit");
        QTest::addColumn<bool>("tooLarge");
        QTest::newRow("at the limit") << 1000 << qint64(1000) << false;
        QTest::newRow("a byte above") << 1001 << qint64(1000) << true;
        QTest::newRow("empty file, limit 0") << 0 << qint64(0) << false;
        QTest::newRow("no limit") << 5000 << qint64(-1) << false;
        QTest::newRow("the default") << 5000 << TextFile::DefaultSizeLimit << false;
    }
    void sizeLimit()
    {
        QFETCH(int, size);
        QFETCH(qint64, limit);
        QFETCH(bool, tooLarge);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("a.css"));
        QVERIFY(writeFile(path, QByteArray(size, 'a')));
        QCOMPARE(TextFile::regularFileSize(path), qint64(size));
        TextFile::LoadOptions options;
        options.sizeLimit = limit;
        try {
            QCOMPARE(TextFile::load(path, options).text.size(), qsizetype(size));
            QVERIFY(!tooLarge);
        } catch (const TextFile::TooLarge &refused) {
            QVERIFY(tooLarge);
            QCOMPARE(refused.size(), qint64(size));
            QCOMPARE(refused.limit(), limit);
            QVERIFY2(
                refused.message().startsWith(QStringLiteral("Cannot open file \"%1\". It is ").arg(path)),
                qPrintable(refused.message()));
        }
        QCOMPARE(TextFile::DefaultSizeLimit, qint64(512) * 1024 * 1024);
    }

    // A large file is read in pieces of a megabyte, each reported; the reading can be
    // cancelled between pieces.
    void progressAndCancel()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("a.css"));
        constexpr qint64 MB = 1 << 20;
        QVERIFY(writeFile(path, QByteArray(3 * MB + 5, 'a')));
        QList<qint64> reads;
        TextFile::LoadOptions options;
        options.progress = [&](qint64 read, qint64 total) {
            reads << read;
            return total == 3 * MB + 5;
        };
        QCOMPARE(TextFile::load(path, options).text.size(), 3 * MB + 5);
        QCOMPARE(reads, (QList<qint64>{MB, 2 * MB, 3 * MB, 3 * MB + 5}));

        reads.clear();
        options.progress = [&](qint64 read, qint64) {
            reads << read;
            return false;
        };
        QString message;
        try {
            TextFile::load(path, options);
        } catch (const TextFile::Cancelled &cancelled) {
            message = cancelled.message();
        }
        QCOMPARE(message, QStringLiteral("Reading file \"%1\" was cancelled").arg(path));
        QCOMPARE(reads, QList<qint64>{MB});
    }

    // The file stays the same file: owner, group and mode stay; a file with two names,
    // or one of another owner, is written in place (both names see the text); a link
    // stays a link. `saver` runs the save as another user (a child process).
    void fileStaysTheSameFile_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("owner"); // -1: the one saving
        QTest::addColumn<int>("group"); // -1: the one saving's
        QTest::addColumn<QString>("link");
        QTest::addColumn<int>("saver"); // -1: this process
        QTest::addColumn<bool>("inPlace");
        QTest::newRow("own file, mode 0640") << 0640 << -1 << -1 << QString() << -1 << false;
        QTest::newRow("read-only own file keeps its mode") << 0444 << -1 << -1 << QString() << -1 << false;
        QTest::newRow("own file of another group") << 0664 << -1 << OtherGroup << QString() << -1 << false;
        QTest::newRow("own file, set-group bit") << 02664 << -1 << OtherGroup << QString() << -1 << false;
        QTest::newRow("file of another user") << 0644 << OtherUser << OtherGroup << QString() << -1 << true;
        QTest::newRow("two hard links") << 0644 << -1 << -1 << "hard" << -1 << true;
        QTest::newRow("symbolic link") << 0600 << -1 << -1 << "symbolic" << -1 << false;
        QTest::newRow("symbolic link to a file of another user")
            << 0644 << OtherUser << OtherGroup << "symbolic" << -1 << true;
        QTest::newRow("group-writable file of the superuser saved by another user")
            << 0664 << 0 << OtherGroup << QString() << OtherUser << true;
    }
    void fileStaysTheSameFile()
    {
        QFETCH(int, mode);
        QFETCH(int, owner);
        QFETCH(int, group);
        QFETCH(QString, link);
        QFETCH(int, saver);
        QFETCH(bool, inPlace);
        if ((owner >= 0 || group >= 0 || saver >= 0) && geteuid() != 0)
            QSKIP("Giving a file to another user needs the superuser");
        QTemporaryDir dir;
        // The folder is open to the other user, as a shared folder would be.
        QCOMPARE(chmod(QFile::encodeName(dir.path()).constData(), 0777), 0);
        const QString path = dir.filePath(QStringLiteral("a.css"));
        const QByteArray native = QFile::encodeName(path);
        QVERIFY(writeFile(path, "old"));
        QCOMPARE(chown(native.constData(), uid_t(owner), gid_t(group)), 0);
        QCOMPARE(chmod(native.constData(), mode_t(mode)), 0);
        QString savedPath = path;
        if (link == QLatin1String("hard")) {
            QCOMPARE(::link(native.constData(),
                            QFile::encodeName(dir.filePath(QStringLiteral("b.css"))).constData()),
                     0);
        } else if (link == QLatin1String("symbolic")) {
            savedPath = dir.filePath(QStringLiteral("link.css"));
            QVERIFY(QFile::link(QStringLiteral("a.css"), savedPath));
        }
        const QStringList names = QDir(dir.path()).entryList(QDir::Files | QDir::System | QDir::Hidden);
        struct stat before;
        QCOMPARE(stat(native.constData(), &before), 0);

        const QString text = QStringLiteral("new \u00e9");
        if (saver < 0) {
            TextFile::save(savedPath, text, Encoding::Utf8);
        } else {
            QCOMPARE(runAs(saver, OtherGroup, [&] { TextFile::save(savedPath, text, Encoding::Utf8); }), 0);
        }

        struct stat after;
        QCOMPARE(stat(native.constData(), &after), 0);
        QCOMPARE(contents(path), text.toUtf8());
        QCOMPARE(after.st_uid, before.st_uid);
        QCOMPARE(after.st_gid, before.st_gid);
        QCOMPARE(after.st_mode, before.st_mode);
        QCOMPARE(after.st_nlink, before.st_nlink);
        if (inPlace)
            QCOMPARE(after.st_ino, before.st_ino);
        if (link == QLatin1String("hard"))
            QCOMPARE(contents(dir.filePath(QStringLiteral("b.css"))), text.toUtf8());
        if (link == QLatin1String("symbolic"))
            QCOMPARE(QFileInfo(savedPath).symLinkTarget(), path);
        // Nothing is left beside it.
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::System | QDir::Hidden), names);
    }

    // Extended attributes and access control lists stay, whether the file is replaced
    // or written in place.
    void attributesStay_data()
    {
        QTest::addColumn<bool>("hardLink");
        QTest::newRow("replaced") << false;
        QTest::newRow("written in place") << true;
    }
    void attributesStay()
    {
        QFETCH(bool, hardLink);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("a.css"));
        const QByteArray native = QFile::encodeName(path);
        QVERIFY(writeFile(path, "old"));
        if (hardLink)
            QCOMPARE(link(native.constData(),
                          QFile::encodeName(dir.filePath(QStringLiteral("b.css"))).constData()),
                     0);
        const QByteArray note("kept");
        if (setxattr(native.constData(), "user.loomwright.note", note.constData(), size_t(note.size()), 0) !=
            0)
            QSKIP("This file system keeps no extended attributes");
        // user::rw-, user:OtherUser:rw-, group::r--, mask::rw-, other::---
        const QByteArray acl = accessList(
            {{0x01, 6, ~0u}, {0x02, 6, uint(OtherUser)}, {0x04, 4, ~0u}, {0x10, 6, ~0u}, {0x20, 0, ~0u}});
        const bool withAcl = setxattr(native.constData(), "system.posix_acl_access", acl.constData(),
                                      size_t(acl.size()), 0) == 0;
        struct stat before;
        QCOMPARE(stat(native.constData(), &before), 0);

        TextFile::save(path, QStringLiteral("new"), Encoding::Utf8);

        QCOMPARE(contents(path), QByteArray("new"));
        QCOMPARE(attribute(native, "user.loomwright.note"), note);
        if (withAcl)
            QCOMPARE(attribute(native, "system.posix_acl_access"), acl);
        struct stat after;
        QCOMPARE(stat(native.constData(), &after), 0);
        QCOMPARE(after.st_mode, before.st_mode);
        if (hardLink)
            QCOMPARE(after.st_ino, before.st_ino);
        if (!withAcl)
            QSKIP("Extended attributes stay; this file system keeps no access control lists");
    }

    // A read-only file is one whose owner may not write it, even when the superuser
    // could; a link answers for its file.
    void readOnly_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("readOnly");
        QTest::newRow("0444") << 0444 << true;
        QTest::newRow("0644") << 0644 << false;
        QTest::newRow("0200") << 0200 << false;
        QTest::newRow("0466: others may write, not the owner") << 0466 << true;
        QTest::newRow("missing") << -1 << false;
    }
    void readOnly()
    {
        QFETCH(int, mode);
        QFETCH(bool, readOnly);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("a.css"));
        if (mode >= 0) {
            QVERIFY(writeFile(path, "x"));
            QCOMPARE(chmod(QFile::encodeName(path).constData(), mode_t(mode)), 0);
        }
        QCOMPARE(TextFile::isReadOnly(path), readOnly);
        const QString link = dir.filePath(QStringLiteral("link.css"));
        QVERIFY(QFile::link(path, link));
        QCOMPARE(TextFile::isReadOnly(link), readOnly);
    }

    // A write that fails half-way (here: the file-size limit) leaves the old file whole
    // and says why, whether the file is replaced or written in place; nothing is left
    // beside it.
    void failedSaveLeavesTheOldFile_data()
    {
        QTest::addColumn<bool>("hardLink");
        QTest::newRow("replaced") << false;
        QTest::newRow("written in place") << true;
    }
    void failedSaveLeavesTheOldFile()
    {
        QFETCH(bool, hardLink);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("a.css"));
        TextFile::save(path, QStringLiteral("old"), Encoding::Utf8);
        if (hardLink)
            QCOMPARE(::link(QFile::encodeName(path).constData(),
                            QFile::encodeName(dir.filePath(QStringLiteral("b.css"))).constData()),
                     0);
        const QStringList names = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System);
        struct stat before;
        QCOMPARE(stat(QFile::encodeName(path).constData(), &before), 0);
        rlimit saved{};
        getrlimit(RLIMIT_FSIZE, &saved);
        const auto previousHandler = signal(SIGXFSZ, SIG_IGN);
        rlimit small = saved;
        small.rlim_cur = 16;
        setrlimit(RLIMIT_FSIZE, &small);
        QString message;
        try {
            TextFile::save(path, QString(1000, QLatin1Char('n')), Encoding::Utf8);
        } catch (const Failure &failure) {
            message = failure.message();
        }
        setrlimit(RLIMIT_FSIZE, &saved);
        signal(SIGXFSZ, previousHandler);
        QVERIFY2(message.startsWith(QStringLiteral("Cannot write file \"%1\". ").arg(path)),
                 qPrintable(message));
        QCOMPARE(contents(path), QByteArray("old"));
        struct stat after;
        QCOMPARE(stat(QFile::encodeName(path).constData(), &after), 0);
        QCOMPARE(after.st_ino, before.st_ino);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System), names);
    }

    void saveIntoMissingFolderFails()
    {
        QTemporaryDir dir;
        QVERIFY_THROWS_EXCEPTION(Failure, TextFile::save(dir.filePath(QStringLiteral("no/such/a.css")),
                                                         QStringLiteral("x"), Encoding::Utf8));
    }
};

LW_TEST_CLASS(TestTextFile)
#include "TestTextFile.moc"
