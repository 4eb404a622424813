#include "Failure.h"
#include "RegistryStore.h"
#include "TestRegistry.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <memory>
#include <sys/resource.h>
#include <sys/stat.h>

namespace {

QByteArray readAll(const QString &name)
{
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeAll(const QString &name, const QByteArray &bytes)
{
    QFile file(name);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// The message of the Failure that action raises, or an empty text when it raises none.
template<class F> QString failureOf(F action)
{
    try {
        action();
    } catch (const Failure &failure) {
        return failure.message();
    }
    return QString();
}

} // namespace

class TestRegistryStore : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    QByteArray m_savedRegistry;
    QString m_file;
    QString m_programFolder;

private slots:
    void init()
    {
        m_savedRegistry = qgetenv("LOOMWRIGHT_REGISTRY");
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_file = m_dir->filePath(QStringLiteral("settings/registry.reg"));
        m_programFolder = m_dir->filePath(QStringLiteral("program"));
        QVERIFY(QDir().mkpath(m_programFolder));
        qputenv("LOOMWRIGHT_REGISTRY", m_file.toLocal8Bit());
    }

    void cleanup()
    {
        qputenv("LOOMWRIGHT_REGISTRY", m_savedRegistry);
        m_dir.reset();
    }

    // A write that fails half-way (here: the file-size limit, as on a full disk) is a
    // Failure and leaves the settings file as it was.
    void failedWriteKeepsTheFile()
    {
        RegistryStore store(m_programFolder);
        RegistryKey key = store.openKey(RegistryStore::Root::CurrentUser, QStringLiteral("Software\\Test"));
        key.writeString(QStringLiteral("Kept"), QStringLiteral("yes"));
        const QByteArray before = readAll(m_file);
        QVERIFY(before.size() > 64);

        rlimit saved{};
        getrlimit(RLIMIT_FSIZE, &saved);
        const auto previousHandler = signal(SIGXFSZ, SIG_IGN);
        rlimit small = saved;
        small.rlim_cur = 16;
        setrlimit(RLIMIT_FSIZE, &small);
        const QString message =
            failureOf([&] { key.writeString(QStringLiteral("New"), QString(400, u'x')); });
        setrlimit(RLIMIT_FSIZE, &saved);
        signal(SIGXFSZ, previousHandler);

        QVERIFY(!message.isEmpty());
        QCOMPARE(readAll(m_file), before);
        QCOMPARE(key.readString(QStringLiteral("Kept")), QStringLiteral("yes"));
    }

    void stringsRoundTrip_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("stored");
        QTest::newRow("plain") << QStringLiteral("Web Site File") << QByteArray("\"Web Site File\"");
        QTest::newRow("empty") << QString() << QByteArray("\"\"");
        QTest::newRow("backslash") << QStringLiteral("C:\\Program Files\\x.exe,3")
                                   << QByteArray("\"C:\\\\Program Files\\\\x.exe,3\"");
        QTest::newRow("quotes") << QStringLiteral("\"/opt/lw\" \"%1\"")
                                << QByteArray("\"\\\"/opt/lw\\\" \\\"%1\\\"\"");
        QTest::newRow("line breaks") << QStringLiteral("<html>\r\n<head>\n\r")
                                     << QByteArray("\"<html>\\r\\n<head>\\n\\r\"");
        QTest::newRow("escape-like text")
            << QStringLiteral("\\n is not a break") << QByteArray("\"\\\\n is not a break\"");
        QTest::newRow("non-ASCII") << QStringLiteral("Gr\u00fc\u00dfe \u263a")
                                   << QByteArray("\"Gr\xc3\xbc\xc3\x9f"
                                                 "e \xe2\x98\xba\"");
    }

    void stringsRoundTrip()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, stored);
        {
            RegistryStore store(m_programFolder);
            RegistryKey key = store.openKey(RegistryStore::Root::ClassesRoot, QStringLiteral("\\sitefile"));
            key.writeString(QString(), text);
            key.writeString(QStringLiteral("Named \"value\""), text);
        }
        const QByteArray file = readAll(m_file);
        QVERIFY2(file.contains("\n@=" + stored + "\n"), file.constData());
        QVERIFY2(file.contains("\n\"Named \\\"value\\\"\"=" + stored + "\n"), file.constData());

        RegistryStore again(m_programFolder);
        RegistryKey key = again.openKey(RegistryStore::Root::ClassesRoot, QStringLiteral("sitefile"));
        QCOMPARE(key.readString(QString()), text);
        QCOMPARE(key.readString(QStringLiteral("Named \"value\"")), text);
        QCOMPARE(key.value(QString()).typeId(), QMetaType::QString);
    }

    void fileLayoutAndTypes()
    {
        RegistryStore store(m_programFolder);
        RegistryKey position = store.openKey(RegistryStore::Root::CurrentUser,
                                             QStringLiteral("\\Software\\Loomwright 99\\Position"));
        position.writeDword(QStringLiteral("Width"), 1024);
        position.writeDword(QStringLiteral("Left"), 0);
        position.writeDword(QStringLiteral("Big"), 0xFFFFFFFFu);
        store.openKey(RegistryStore::Root::ClassesRoot, QStringLiteral("\\.sit"))
            .writeString(QStringLiteral("Content Type"), QStringLiteral("text/plain"));

        QCOMPARE(readAll(m_file), QByteArray("Windows Registry Editor Version 5.00\n"
                                             "\n"
                                             "[HKEY_CURRENT_USER\\Software\\Loomwright 99\\Position]\n"
                                             "\"Width\"=dword:00000400\n"
                                             "\"Left\"=dword:00000000\n"
                                             "\"Big\"=dword:ffffffff\n"
                                             "\n"
                                             "[HKEY_CLASSES_ROOT\\.sit]\n"
                                             "\"Content Type\"=\"text/plain\"\n"));

        const QVariant width = position.value(QStringLiteral("Width"));
        QCOMPARE(width.typeId(), QMetaType::UInt);
        QCOMPARE(width.value<quint32>(), 1024u);
        QCOMPARE(position.value(QStringLiteral("Big")).value<quint32>(), 0xFFFFFFFFu);
        QVERIFY(!position.value(QStringLiteral("Missing")).isValid());
        QCOMPARE(position.readString(QStringLiteral("Missing")), QString());

        // A number is not a string: reading it as one fails, naming the value and key.
        const QString message = failureOf([&] { position.readString(QStringLiteral("Width")); });
        QVERIFY2(message.contains(QStringLiteral("\"Width\"")) &&
                     message.contains(QStringLiteral("HKEY_CURRENT_USER\\Software\\Loomwright 99\\Position")),
                 qPrintable(message));

        // Writing a string over a number changes its type.
        position.writeString(QStringLiteral("Width"), QStringLiteral("wide"));
        QCOMPARE(position.readString(QStringLiteral("Width")), QStringLiteral("wide"));
    }

    void keysAndNamesIgnoreCase()
    {
        RegistryStore store(m_programFolder);
        store.openKey(RegistryStore::Root::CurrentUser, QStringLiteral("\\Software\\Loomwright 99\\Template"))
            .writeString(QStringLiteral("Template"), QStringLiteral("one"));
        RegistryKey other = store.openKey(RegistryStore::Root::CurrentUser,
                                          QStringLiteral("software\\LOOMWRIGHT 99\\template\\"));
        QCOMPARE(other.readString(QStringLiteral("TEMPLATE")), QStringLiteral("one"));
        other.writeString(QStringLiteral("template"), QStringLiteral("two"));

        const QByteArray file = readAll(m_file);
        QCOMPARE(file.count("[HKEY_CURRENT_USER"), 1);
        QVERIFY2(
            file.contains("[HKEY_CURRENT_USER\\Software\\Loomwright 99\\Template]\n\"Template\"=\"two\"\n"),
            file.constData());
        // The same path under the other root is another key.
        QCOMPARE(store
                     .openKey(RegistryStore::Root::ClassesRoot,
                              QStringLiteral("\\Software\\Loomwright 99\\Template"))
                     .readString(QStringLiteral("Template")),
                 QString());
    }

    void openingCreatesTheKey()
    {
        RegistryStore store(m_programFolder);
        QVERIFY(!QFile::exists(m_file));
        store.openKey(RegistryStore::Root::ClassesRoot,
                      QStringLiteral("\\htmlfile\\shell\\Edit_in_Loomwright_99"));
        QCOMPARE(readAll(m_file),
                 QByteArray("Windows Registry Editor Version 5.00\n\n"
                            "[HKEY_CLASSES_ROOT\\htmlfile\\shell\\Edit_in_Loomwright_99]\n"));
        QVERIFY(!failureOf([&] {
                     store.openKey(RegistryStore::Root::ClassesRoot, QStringLiteral("a\\\nb"));
                 }).isEmpty());
    }

    void seededFromDefaults()
    {
        const QByteArray defaults = "\xEF\xBB\xBFWindows Registry Editor Version 5.00\r\n"
                                    "\r\n"
                                    "; installed with the program: the first-start marker\r\n"
                                    "[HKEY_CURRENT_USER\\Software\\Loomwright 99\\Template]\r\n"
                                    "\"Template\"=\"CreateNewTemplate\"\r\n";
        writeAll(QDir(m_programFolder).filePath(QStringLiteral("registry-defaults.reg")), defaults);

        RegistryStore store(m_programFolder);
        RegistryKey template_ = store.openKey(RegistryStore::Root::CurrentUser,
                                              QStringLiteral("\\Software\\Loomwright 99\\Template"));
        QCOMPARE(template_.readString(QStringLiteral("Template")), QStringLiteral("CreateNewTemplate"));
        QVERIFY2(!QFile::exists(m_file), "reading alone must not create the settings file");

        store.openKey(RegistryStore::Root::ClassesRoot, QStringLiteral("\\.site"))
            .writeString(QString(), QStringLiteral("sitefile"));
        QCOMPARE(readAll(m_file), QByteArray("Windows Registry Editor Version 5.00\n"
                                             "\n"
                                             "[HKEY_CURRENT_USER\\Software\\Loomwright 99\\Template]\n"
                                             "\"Template\"=\"CreateNewTemplate\"\n"
                                             "\n"
                                             "[HKEY_CLASSES_ROOT\\.site]\n"
                                             "@=\"sitefile\"\n"));

        // Once the settings file exists, the defaults no longer count.
        template_.writeString(QStringLiteral("Template"), QStringLiteral("<html>"));
        QCOMPARE(RegistryStore(m_programFolder)
                     .openKey(RegistryStore::Root::CurrentUser,
                              QStringLiteral("\\Software\\Loomwright 99\\Template"))
                     .readString(QStringLiteral("Template")),
                 QStringLiteral("<html>"));
        QCOMPARE(readAll(QDir(m_programFolder).filePath(QStringLiteral("registry-defaults.reg"))), defaults);
    }

    void unparsableFile_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("line");
        const QByteArray head = "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\X]\n";
        QTest::newRow("empty file") << QByteArray() << 1;
        QTest::newRow("no header") << QByteArray("[HKEY_CURRENT_USER\\Software\\X]\n\"a\"=\"b\"\n") << 1;
        QTest::newRow("other header") << QByteArray("REGEDIT4\n") << 1;
        QTest::newRow("value before any key")
            << QByteArray("Windows Registry Editor Version 5.00\n\n\"a\"=\"b\"\n") << 3;
        QTest::newRow("unknown escape") << head + "\"a\"=\"b\\tc\"\n" << 4;
        QTest::newRow("unclosed string") << head + "\"a\"=\"b\n\"c\"=\"d\"\n" << 4;
        QTest::newRow("text after string") << head + "\"a\"=\"b\" x\n" << 4;
        QTest::newRow("unquoted name") << head + "\"a\"=\"b\"\na=\"b\"\n" << 5;
        QTest::newRow("missing equals") << head + "\"a\" \"b\"\n" << 4;
        QTest::newRow("binary value") << head + "\"a\"=hex:01,02\n" << 4;
        QTest::newRow("dword too long") << head + "\"a\"=dword:000000001\n" << 4;
        QTest::newRow("dword not hex") << head + "\"a\"=dword:0000000g\n" << 4;
        QTest::newRow("dword empty") << head + "\"a\"=dword:\n" << 4;
        QTest::newRow("unknown root") << head + "[HKEY_NOWHERE\\X]\n" << 4;
        QTest::newRow("key deletion") << head + "[-HKEY_CURRENT_USER\\Software\\X]\n" << 4;
        QTest::newRow("unclosed key") << head + "[HKEY_CURRENT_USER\\Software\\Y\n" << 4;
        QTest::newRow("invalid UTF-8") << head + "\"a\"=\"\xff\"\n" << 4;
        QTest::newRow("CR LF lines count once") << QByteArray("Windows Registry Editor Version 5.00\r\n\r\n"
                                                              "[HKEY_CLASSES_ROOT\\.sit]\r\n@=sitefile\r\n")
                                                << 4;
    }

    void unparsableFile()
    {
        QFETCH(QByteArray, content);
        QFETCH(int, line);
        QVERIFY(QDir().mkpath(QFileInfo(m_file).absolutePath()));
        writeAll(m_file, content);

        RegistryStore store(m_programFolder);
        const QString expected = QStringLiteral("%1 cannot be read at line %2:").arg(m_file).arg(line);
        const QString onOpen = failureOf(
            [&] { store.openKey(RegistryStore::Root::CurrentUser, QStringLiteral("\\Software\\New")); });
        QVERIFY2(onOpen.contains(expected), qPrintable(onOpen));
        QCOMPARE(readAll(m_file), content);
        QCOMPARE(QDir(QFileInfo(m_file).absolutePath()).entryList(QDir::Files),
                 QStringList{QStringLiteral("registry.reg")});
    }

    void unparsableDefaultsNameTheDefaults()
    {
        const QString defaults = QDir(m_programFolder).filePath(QStringLiteral("registry-defaults.reg"));
        writeAll(defaults, "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\X]\n\"a\"=\"b\n");
        RegistryStore store(m_programFolder);
        const QString message =
            failureOf([&] { store.openKey(RegistryStore::Root::CurrentUser, QStringLiteral("\\X")); });
        QVERIFY2(message.contains(QStringLiteral("%1 cannot be read at line 4:").arg(defaults)),
                 qPrintable(message));
        QVERIFY(!QFile::exists(m_file));
    }

    void writesReplaceTheFileWhole()
    {
        RegistryStore store(m_programFolder);
        RegistryKey key = store.openKey(RegistryStore::Root::CurrentUser, QStringLiteral("\\Software\\X"));
        key.writeString(QStringLiteral("a"), QStringLiteral("first"));
        struct stat before
        {
        };
        QCOMPARE(::stat(QFile::encodeName(m_file).constData(), &before), 0);

        key.writeString(QStringLiteral("a"), QStringLiteral("second"));
        struct stat after
        {
        };
        QCOMPARE(::stat(QFile::encodeName(m_file).constData(), &after), 0);
        // A new file renamed over the old one, never the old one rewritten in place: a
        // reader or a crash in between sees either the old or the new content.
        QVERIFY(before.st_ino != after.st_ino);
        QCOMPARE(QDir(QFileInfo(m_file).absolutePath()).entryList(QDir::Files),
                 QStringList{QStringLiteral("registry.reg")});
        QCOMPARE(key.readString(QStringLiteral("a")), QStringLiteral("second"));
    }

    void unwritableLocationFails()
    {
        // The settings folder would have to be made inside a plain file.
        const QString blocker = m_dir->filePath(QStringLiteral("blocker"));
        writeAll(blocker, "not a folder");
        const QString file = blocker + QStringLiteral("/sub/registry.reg");
        qputenv("LOOMWRIGHT_REGISTRY", file.toLocal8Bit());
        RegistryStore store(m_programFolder);
        const QString message =
            failureOf([&] { store.openKey(RegistryStore::Root::ClassesRoot, QStringLiteral("\\.sit")); });
        QVERIFY2(message.startsWith(QStringLiteral("Cannot write the settings file %1:").arg(file)),
                 qPrintable(message));
        QCOMPARE(readAll(blocker), QByteArray("not a folder"));
    }

    void locationFromEnvironment()
    {
        const QByteArray savedConfig = qgetenv("XDG_CONFIG_HOME");
        QCOMPARE(RegistryStore::filePath(), m_file);
        qputenv("LOOMWRIGHT_REGISTRY", QByteArray());
        qputenv("XDG_CONFIG_HOME", "/tmp/lw-config");
        QCOMPARE(RegistryStore::filePath(), QStringLiteral("/tmp/lw-config/Loomwright 99/registry.reg"));
        qunsetenv("XDG_CONFIG_HOME");
        QCOMPARE(RegistryStore::filePath(),
                 QDir::homePath() + QStringLiteral("/.config/Loomwright 99/registry.reg"));
        qputenv("XDG_CONFIG_HOME", savedConfig);
        QCOMPARE(RegistryStore(m_programFolder).defaultsFilePath(),
                 QDir(m_programFolder).filePath(QStringLiteral("registry-defaults.reg")));
    }
};

LW_TEST_CLASS(TestRegistryStore)
#include "TestRegistryStore.moc"
