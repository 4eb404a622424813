#include "Failure.h"
#include "RecoveryStore.h"
#include "TestRegistry.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>

namespace {

QByteArray contents(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// Sets one `key: value` line of a recovery file's head, as another writer would have.
bool setHeadValue(const QString &path, const QByteArray &key, const QByteArray &value)
{
    QByteArray bytes = contents(path);
    const qsizetype at = bytes.indexOf("\n" + key + ": ");
    if (at < 0)
        return false;
    const qsizetype end = bytes.indexOf('\n', at + 1);
    bytes.replace(at + 1, end - at - 1, key + ": " + value);
    return writeFile(path, bytes);
}

int modeOf(const QString &path)
{
    struct stat st;
    return stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 07777) : -1;
}

// A process's start in clock ticks after boot, read from /proc as `ps` reads it.
QByteArray startOf(qint64 pid)
{
    const QByteArray stat = contents(QStringLiteral("/proc/%1/stat").arg(pid));
    return stat.mid(stat.lastIndexOf(')') + 2).split(' ').value(19);
}

} // namespace

class TestRecoveryStore : public QObject
{
    Q_OBJECT
private slots:
    void folderFollowsXdgStateHome_data()
    {
        QTest::addColumn<QByteArray>("stateHome");
        QTest::addColumn<QString>("folder");
        QTest::newRow("set") << QByteArray("/tmp/state") << "/tmp/state/Loomwright 99";
        QTest::newRow("unset") << QByteArray() << QDir::homePath() + "/.local/state/Loomwright 99";
    }
    void folderFollowsXdgStateHome()
    {
        QFETCH(QByteArray, stateHome);
        QFETCH(QString, folder);
        const QByteArray saved = qgetenv("XDG_STATE_HOME");
        if (stateHome.isEmpty())
            qunsetenv("XDG_STATE_HOME");
        else
            qputenv("XDG_STATE_HOME", stateHome);
        const QString found = RecoveryStore::defaultFolder();
        qputenv("XDG_STATE_HOME", saved);
        QCOMPARE(found, folder);
    }

    // Whatever the text holds comes back as it was, with the document's path, encoding
    // and the time it was written; a removed entry is gone.
    void writeListReadRemove_data()
    {
        QTest::addColumn<QString>("documentPath");
        QTest::addColumn<QString>("text");
        QTest::addColumn<TextFile::Encoding>("encoding");
        QTest::addColumn<bool>("byteOrderMark");
        QTest::newRow("plain") << "/home/u/site.css"
                               << "A {x=y;}\r\n"
                               << TextFile::Encoding::Utf8 << false;
        QTest::newRow("empty text") << "/home/u/site.css" << QString() << TextFile::Encoding::Utf8 << true;
        QTest::newRow("NUL, lone CR and LF, blank lines")
            << "/home/u/a.css" << QString::fromLatin1("a\0b\rc\nd\r\n\n\ne", 12) << TextFile::Encoding::Latin1
            << false;
        QTest::newRow("a head inside the text")
            << "/a.css"
            << "\n\nLoomwright recovery 1\npath: /etc/passwd\ntext-bytes: 0\n\n"
            << TextFile::Encoding::Utf8 << false;
        QTest::newRow("characters beyond Latin-1")
            << "/home/u/\u0441\u0430\u0439\u0442.css" << QStringLiteral("\u0416 \u20ac \U0001F600 \ufeff")
            << TextFile::Encoding::Utf16BE << true;
        QTest::newRow("bytes of a file that are not UTF-8, kept")
            << "/a.css" << QStringLiteral("a") + QChar(0xDCFF) + QStringLiteral("\u00e9") + QChar(0xDC80)
            << TextFile::Encoding::Utf8 << false;
        QTest::newRow("half of a surrogate pair")
            << "/a.css" << QString(QChar(0xD800)) + QStringLiteral("x\U0001F600") + QChar(0xDC00)
            << TextFile::Encoding::Utf16LE << true;
        QTest::newRow("path with line break, colon and percent")
            << "/home/u/odd\nname: 100%.css"
            << "x" << TextFile::Encoding::Windows1252 << false;
        QTest::newRow("document without a file") << QString() << "A {}" << TextFile::Encoding::Utf8 << false;
    }
    void writeListReadRemove()
    {
        QFETCH(QString, documentPath);
        QFETCH(QString, text);
        QFETCH(TextFile::Encoding, encoding);
        QFETCH(bool, byteOrderMark);
        QTemporaryDir dir;
        const RecoveryStore store(dir.filePath(QStringLiteral("state/Loomwright 99")));
        const QDateTime before = QDateTime::currentDateTimeUtc();
        store.write(documentPath, text, encoding, byteOrderMark);
        const QDateTime after = QDateTime::currentDateTimeUtc();

        const QList<RecoveryStore::Entry> entries = store.list();
        QCOMPARE(entries.size(), 1);
        const RecoveryStore::Entry &entry = entries[0];
        QCOMPARE(entry.documentPath, documentPath);
        QCOMPARE(entry.encoding, encoding);
        QCOMPARE(entry.byteOrderMark, byteOrderMark);
        QVERIFY(entry.time >= before && entry.time <= after);
        QCOMPARE(entry.recoveryFile, store.recoveryFileFor(documentPath));
        QCOMPARE(QFileInfo(entry.recoveryFile).absolutePath(), QDir(store.folder()).absolutePath());
        QCOMPARE(RecoveryStore::read(entry), text);

        store.remove(documentPath);
        QVERIFY(store.list().isEmpty());
        QCOMPARE(QDir(store.folder()).entryList(QDir::Files), QStringList());
    }

    // One file per document and instance: named after the document, apart for two
    // documents of one name, and one of its own for a document without a file.
    void oneFilePerDocument()
    {
        QTemporaryDir dir;
        const RecoveryStore store(dir.path());
        store.write(QStringLiteral("/one/site.css"), QStringLiteral("1"));
        store.write(QStringLiteral("/two/site.css"), QStringLiteral("2"));
        store.write(QString(), QStringLiteral("3"));
        store.write(QStringLiteral("/one/site.css"), QStringLiteral("4"));
        const QStringList files = QDir(dir.path()).entryList(QDir::Files, QDir::Name);
        QCOMPARE(files.size(), 3);
        QVERIFY(files[0].startsWith(QLatin1String("Not Saved-")));
        QVERIFY(files[1].startsWith(QLatin1String("site.css-")));
        QVERIFY(files[2].startsWith(QLatin1String("site.css-")));
        // The second write replaced the first (entries written within one moment may
        // list in any order).
        const auto entries = store.list();
        const auto one = std::find_if(entries.begin(), entries.end(), [](const RecoveryStore::Entry &entry) {
            return entry.documentPath == QLatin1String("/one/site.css");
        });
        QVERIFY(one != entries.end());
        QCOMPARE(RecoveryStore::read(*one), QStringLiteral("4"));
        QCOMPARE(contents(store.recoveryFileFor(QStringLiteral("/two/site.css"))).right(2),
                 QByteArray("\n2"));
        // A long name is cut short, not the hashes that keep files apart.
        const QString longName = dir.filePath(QString(300, QLatin1Char('n')) + QStringLiteral(".css"));
        store.write(longName, QStringLiteral("5"));
        QVERIFY(QFileInfo::exists(store.recoveryFileFor(longName)));
        QVERIFY(QFileInfo(store.recoveryFileFor(longName)).fileName().size() < 100);
    }

    void listIsNewestFirstAndSkipsOtherFiles()
    {
        QTemporaryDir dir;
        const RecoveryStore store(dir.path());
        for (const char *name : {"/b.css", "/a.css", "/c.css"}) {
            store.write(QString::fromLatin1(name), QString::fromLatin1(name));
            QTest::qWait(5);
        }
        store.write(QStringLiteral("/b.css"), QStringLiteral("again"));
        QVERIFY(writeFile(dir.filePath(QStringLiteral("notes.txt")), "x"));
        QVERIFY(writeFile(dir.filePath(QStringLiteral("empty.recovery")), ""));
        QVERIFY(writeFile(dir.filePath(QStringLiteral("other.recovery")),
                          "Loomwright recovery 1\npath: /x.css\n"));
        QVERIFY(writeFile(dir.filePath(QStringLiteral("old.recovery")), "Loomwright recovery 2\n\ntext"));
        QStringList paths;
        for (const RecoveryStore::Entry &entry : store.list())
            paths << entry.documentPath;
        QCOMPARE(paths,
                 (QStringList{QStringLiteral("/b.css"), QStringLiteral("/c.css"), QStringLiteral("/a.css")}));
    }

    // A new text replaces the old one whole; a write that fails half-way (here: the
    // file-size limit) leaves the old one and says why.
    void writeReplacesAtomically()
    {
        QTemporaryDir dir;
        const RecoveryStore store(dir.path());
        const QString doc = QStringLiteral("/a.css");
        store.write(doc, QStringLiteral("old"));
        const QString file = store.recoveryFileFor(doc);

        rlimit saved{};
        getrlimit(RLIMIT_FSIZE, &saved);
        const auto previousHandler = signal(SIGXFSZ, SIG_IGN);
        rlimit small = saved;
        small.rlim_cur = 400;
        setrlimit(RLIMIT_FSIZE, &small);
        QString message;
        try {
            store.write(doc, QString(100000, QLatin1Char('n')));
        } catch (const Failure &failure) {
            message = failure.message();
        }
        setrlimit(RLIMIT_FSIZE, &saved);
        signal(SIGXFSZ, previousHandler);
        QVERIFY2(message.startsWith(QStringLiteral("Cannot write file \"%1\".").arg(file)),
                 qPrintable(message));
        QCOMPARE(RecoveryStore::read(store.list().value(0)), QStringLiteral("old"));

        store.write(doc, QString(100000, QLatin1Char('n')));
        QCOMPARE(RecoveryStore::read(store.list().value(0)), QString(100000, QLatin1Char('n')));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 1);
    }

    void damagedFileIsAFailure_data()
    {
        QTest::addColumn<int>("cut");
        QTest::newRow("text cut short") << 1;
        QTest::newRow("head cut short") << 40;
    }
    void damagedFileIsAFailure()
    {
        QFETCH(int, cut);
        QTemporaryDir dir;
        const RecoveryStore store(dir.path());
        store.write(QStringLiteral("/a.css"), QStringLiteral("0123456789"));
        const RecoveryStore::Entry entry = store.list().value(0);
        QByteArray bytes = contents(entry.recoveryFile);
        QVERIFY(writeFile(entry.recoveryFile, bytes.left(cut == 1 ? bytes.size() - 1 : cut)));
        QVERIFY_THROWS_EXCEPTION(Failure, RecoveryStore::read(entry));
    }

    // Unsaved work is the owner's alone: the file is written 0600 and the folder set to
    // 0700 each time it is used, also one made open before and files written 0644 by
    // an earlier version.
    void workIsTheOwnersAlone_data()
    {
        QTest::addColumn<int>("folderMode"); // -1: no folder yet
        QTest::addColumn<bool>("oldFile");
        QTest::newRow("new folder") << -1 << false;
        QTest::newRow("folder made 0755 before") << 0755 << false;
        QTest::newRow("folder 0777 with a file written 0644 before") << 0777 << true;
    }
    void workIsTheOwnersAlone()
    {
        QFETCH(int, folderMode);
        QFETCH(bool, oldFile);
        QTemporaryDir dir;
        const QString folder = dir.filePath(QStringLiteral("state/Loomwright 99"));
        const RecoveryStore store(folder);
        const RecoveryStore other(folder);
        QString old;
        if (folderMode >= 0) {
            QVERIFY(QDir().mkpath(folder));
            QCOMPARE(chmod(QFile::encodeName(folder).constData(), mode_t(folderMode)), 0);
        }
        if (oldFile) {
            store.write(QStringLiteral("/old.css"), QStringLiteral("old"));
            old = store.recoveryFileFor(QStringLiteral("/old.css"));
            QCOMPARE(chmod(QFile::encodeName(old).constData(), 0644), 0);
            QCOMPARE(chmod(QFile::encodeName(folder).constData(), mode_t(folderMode)), 0);
            QCOMPARE(modeOf(folder), folderMode);
        }
        store.write(QStringLiteral("/a.css"), QStringLiteral("unsaved"));
        QCOMPARE(modeOf(folder), 0700);
        QCOMPARE(modeOf(store.recoveryFileFor(QStringLiteral("/a.css"))), 0600);
        // Written again over a file of the same name.
        store.write(QStringLiteral("/a.css"), QStringLiteral("unsaved again"));
        QCOMPARE(modeOf(store.recoveryFileFor(QStringLiteral("/a.css"))), 0600);
        // Listing closes the folder again and the files of earlier versions.
        QCOMPARE(chmod(QFile::encodeName(folder).constData(), 0755), 0);
        QCOMPARE(other.list().size(), oldFile ? 2 : 1);
        QCOMPARE(modeOf(folder), 0700);
        if (oldFile)
            QCOMPARE(modeOf(old), 0600);
    }

    // A file of the store it cannot read is moved into the "damaged" folder with its
    // bytes as they were, reported once with the reason, and never deleted; a file of
    // another version of the format stays where it is, unreported.
    void damagedFilesAreMovedAsideOnce_data()
    {
        QTest::addColumn<QByteArray>("bytes"); // empty: the written file cut short by `cut` bytes
        QTest::addColumn<int>("cut");
        QTest::addColumn<QString>("reason");
        QTest::newRow("empty") << QByteArray("") << 0 << "It is no recovery file";
        QTest::newRow("no recovery file") << QByteArray("A {color: red}") << 0 << "It is no recovery file";
        QTest::newRow("head cut short") << QByteArray() << 200 << "Its head is cut short";
        QTest::newRow("text cut short") << QByteArray() << 1 << "Its text is cut short";
        QTest::newRow("head without a path")
            << QByteArray("Loomwright recovery 1\ntime: 2024-01-01T00:00:00.000Z\npid: 5\ntext-bytes: 1\n\nx")
            << 0 << "Its head is damaged";
        QTest::newRow("text in an unknown encoding")
            << QByteArray("Loomwright recovery 1\npath: /a.css\ntext-encoding: EBCDIC\n\nx") << 0
            << "Its text is in an unknown encoding";
        QTest::newRow("another version")
            << QByteArray("Loomwright recovery 2\nwhatever\n\ntext") << 0 << QString();
    }
    void damagedFilesAreMovedAsideOnce()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, cut);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        const RecoveryStore store(dir.path());
        store.write(QStringLiteral("/good.css"), QStringLiteral("good"));
        const QString file = dir.filePath(QStringLiteral("bad.css-0-0.recovery"));
        if (cut > 0) {
            store.write(QStringLiteral("/bad.css"), QStringLiteral("0123456789"));
            const QByteArray whole = contents(store.recoveryFileFor(QStringLiteral("/bad.css")));
            QVERIFY(QFile::remove(store.recoveryFileFor(QStringLiteral("/bad.css"))));
            bytes = whole.left(cut == 1 ? whole.size() - 1 : whole.indexOf("\n\n"));
        }
        QVERIFY(writeFile(file, bytes));
        // A file of that name moved aside before is not written over.
        QVERIFY(QDir().mkpath(store.damagedFolder()));
        QVERIFY(writeFile(QDir(store.damagedFolder()).filePath(QStringLiteral("bad.css-0-0.recovery")),
                          "earlier"));

        QList<RecoveryStore::Damaged> damaged;
        const QList<RecoveryStore::Entry> entries = store.list(&damaged);
        QCOMPARE(entries.size(), 1);
        QCOMPARE(entries[0].documentPath, QStringLiteral("/good.css"));
        if (reason.isEmpty()) {
            QVERIFY(damaged.isEmpty());
            QCOMPARE(contents(file), bytes);
            return;
        }
        QCOMPARE(damaged.size(), 1);
        QCOMPARE(damaged[0].file, file);
        QCOMPARE(damaged[0].reason, reason);
        QCOMPARE(damaged[0].movedTo,
                 QDir(store.damagedFolder()).filePath(QStringLiteral("bad.css-0-0.recovery-2")));
        QCOMPARE(contents(damaged[0].movedTo), bytes);
        QCOMPARE(contents(QDir(store.damagedFolder()).filePath(QStringLiteral("bad.css-0-0.recovery"))),
                 QByteArray("earlier"));
        QVERIFY(!QFileInfo::exists(file));
        QCOMPARE(modeOf(store.damagedFolder()), 0700);
        // Reported once.
        damaged.clear();
        QCOMPARE(store.list(&damaged).size(), 1);
        QVERIFY(damaged.isEmpty());
    }

    // The store records the document's file as it was when the unsaved work began, so
    // that recovery can say the file changed on disk since.
    void changedOnDisk_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<bool>("changed");
        QTest::newRow("unchanged") << "none" << false;
        QTest::newRow("unchanged, written twice") << "write again" << false;
        QTest::newRow("written by another program") << "other content" << true;
        QTest::newRow("same size, later time") << "touch" << true;
        QTest::newRow("removed") << "remove" << true;
        QTest::newRow("changed between two writes of the work") << "change between writes" << true;
        QTest::newRow("state given by the caller") << "given" << true;
        QTest::newRow("made after work on a missing file began") << "made" << true;
        QTest::newRow("written by an earlier version") << "no record" << false;
    }
    void changedOnDisk()
    {
        QFETCH(QString, change);
        QFETCH(bool, changed);
        QTemporaryDir dir;
        const RecoveryStore store(dir.filePath(QStringLiteral("store")));
        const QString document = dir.filePath(QStringLiteral("site.css"));
        if (change != QLatin1String("made"))
            QVERIFY(writeFile(document, "A {}"));
        const RecoveryStore::DiskState read = RecoveryStore::DiskState::of(document);
        QCOMPARE(read.exists, change != QLatin1String("made"));
        if (change == QLatin1String("given")) {
            // Read before another program changed it; the work's first write comes later.
            QVERIFY(writeFile(document, "B {}"));
            store.write(document, QStringLiteral("unsaved"), {}, false, read);
        } else {
            store.write(document, QStringLiteral("unsaved"));
        }
        if (change == QLatin1String("change between writes")) {
            QVERIFY(writeFile(document, "A {x: y}"));
            store.write(document, QStringLiteral("unsaved, more"));
        } else if (change == QLatin1String("write again")) {
            store.write(document, QStringLiteral("unsaved, more"));
        } else if (change == QLatin1String("other content")) {
            QVERIFY(writeFile(document, "A {color: red}"));
        } else if (change == QLatin1String("touch")) {
            const timespec times[2] = {{0, UTIME_OMIT}, {read.modifiedNs / 1000000000 + 5, 0}};
            QCOMPARE(utimensat(AT_FDCWD, QFile::encodeName(document).constData(), times, 0), 0);
        } else if (change == QLatin1String("remove")) {
            QVERIFY(QFile::remove(document));
        } else if (change == QLatin1String("made")) {
            QVERIFY(writeFile(document, "A {}"));
        } else if (change == QLatin1String("no record")) {
            const QString file = store.recoveryFileFor(document);
            QByteArray bytes = contents(file);
            for (const char *key : {"disk-size", "disk-modified-ns", "disk-file"}) {
                const qsizetype at = bytes.indexOf("\n" + QByteArray(key) + ": ");
                if (at >= 0)
                    bytes.remove(at + 1, bytes.indexOf('\n', at + 1) - at);
            }
            QVERIFY(writeFile(file, bytes));
            QVERIFY(writeFile(document, "A {color: red}"));
        }
        const QList<RecoveryStore::Entry> entries = store.list();
        QCOMPARE(entries.size(), 1);
        QCOMPARE(RecoveryStore::changedOnDisk(entries[0]), changed);
        if (change == QLatin1String("no record"))
            QCOMPARE(entries[0].disk, std::nullopt);
        else
            QCOMPARE(entries[0].disk, std::optional<RecoveryStore::DiskState>(read));
    }

    // An entry of this running instance is its own work; one whose writer has ended,
    // or whose process id now belongs to another process, or that was written before
    // the last boot, is offered for recovery.
    void ownerStillRunning_data()
    {
        QTest::addColumn<QByteArray>("key");
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<bool>("owned");
        QTest::newRow("this instance") << QByteArray() << QByteArray() << true;
        QTest::newRow("process id given to another process")
            << QByteArray("process-start") << QByteArray("1") << false;
        QTest::newRow("written before the last boot")
            << QByteArray("boot") << QByteArray("00000000-0000-0000-0000-000000000000") << false;
        QTest::newRow("no such process") << QByteArray("pid") << QByteArray("2147483647") << false;
    }
    void ownerStillRunning()
    {
        QFETCH(QByteArray, key);
        QFETCH(QByteArray, value);
        QFETCH(bool, owned);
        QTemporaryDir dir;
        const RecoveryStore store(dir.path());
        store.write(QStringLiteral("/a.css"), QStringLiteral("text"));
        if (!key.isEmpty())
            QVERIFY(setHeadValue(store.recoveryFileFor(QStringLiteral("/a.css")), key, value));
        const QList<RecoveryStore::Entry> entries = store.list();
        QCOMPARE(entries.size(), 1);
        QCOMPARE(RecoveryStore::ownedByRunningInstance(entries[0]), owned);
    }

    // The writer is another process: owned while it runs, offered once it has ended.
    void ownerIsAnotherProcess()
    {
        QTemporaryDir dir;
        const RecoveryStore store(dir.path());
        store.write(QStringLiteral("/a.css"), QStringLiteral("text"));
        const QString file = store.recoveryFileFor(QStringLiteral("/a.css"));
        QProcess other;
        other.start(QStringLiteral("sleep"), {QStringLiteral("30")});
        QVERIFY(other.waitForStarted());
        const qint64 pid = other.processId();
        QVERIFY(setHeadValue(file, "pid", QByteArray::number(pid)));
        QVERIFY(setHeadValue(file, "process-start", startOf(pid)));
        QVERIFY(RecoveryStore::ownedByRunningInstance(store.list().value(0)));

        other.kill();
        QVERIFY(other.waitForFinished());
        QVERIFY(!RecoveryStore::ownedByRunningInstance(store.list().value(0)));
        QCOMPARE(RecoveryStore::read(store.list().value(0)), QStringLiteral("text"));
    }

    // The store the program uses writes where the tests pointed XDG_STATE_HOME.
    void defaultStoreStaysInTheTestFolder()
    {
        QVERIFY(!qEnvironmentVariableIsEmpty("XDG_STATE_HOME"));
        const RecoveryStore store;
        QVERIFY(store.folder().startsWith(qEnvironmentVariable("XDG_STATE_HOME")));
        store.write(QStringLiteral("/a.css"), QStringLiteral("x"));
        QVERIFY(QFileInfo::exists(store.recoveryFileFor(QStringLiteral("/a.css"))));
        store.remove(QStringLiteral("/a.css"));
        QVERIFY(!QFileInfo::exists(store.recoveryFileFor(QStringLiteral("/a.css"))));
    }
};

LW_TEST_CLASS(TestRecoveryStore)
#include "TestRecoveryStore.moc"
