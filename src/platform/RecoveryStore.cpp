#include "RecoveryStore.h"

#include "Failure.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QtEndian>
#include <algorithm>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QByteArray FirstLine = QByteArrayLiteral("Loomwright recovery 1");
const QString Suffix = QStringLiteral(".recovery");

// A process as /proc shows it: its start in clock ticks after boot (field 22 of its
// stat line, counted after the command name, which may hold blanks and parentheses).
std::optional<quint64> processStart(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray line = stat.readAll();
    const qsizetype close = line.lastIndexOf(')');
    if (close < 0)
        return std::nullopt;
    const QList<QByteArray> fields = line.mid(close + 1).simplified().split(' ');
    constexpr int StartField = 22 - 3; // fields[0] is field 3, the state
    if (fields.size() <= StartField)
        return std::nullopt;
    bool ok = false;
    const quint64 start = fields[StartField].toULongLong(&ok);
    return ok ? std::optional<quint64>(start) : std::nullopt;
}

QString currentBootId()
{
    QFile file(QStringLiteral("/proc/sys/kernel/random/boot_id"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLatin1(file.readAll().trimmed());
}

// This running instance, as recovery files name their writer.
struct Instance
{
    qint64 pid = QCoreApplication::applicationPid();
    quint64 start = processStart(QCoreApplication::applicationPid()).value_or(0);
    QString bootId = currentBootId();
    // A short key in the file names, so that two instances (or an instance and the
    // files a crashed one left) never write over each other's files.
    QString key = QString::fromLatin1(
        QCryptographicHash::hash(QStringLiteral("%1 %2 %3").arg(bootId).arg(pid).arg(start).toUtf8(),
                                 QCryptographicHash::Sha1)
            .toHex()
            .left(8));
};

const Instance &self()
{
    static const Instance instance;
    return instance;
}

QByteArray pathValue(const QString &path)
{
    return path.toUtf8().toPercentEncoding("/ ");
}

// The byte count of a text in UTF-8, known before it is written piece by piece.
qsizetype utf8Length(QStringView text)
{
    qsizetype length = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c < 0x80)
            length += 1;
        else if (c < 0x800)
            length += 2;
        else if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            length += 4;
            ++i;
        } else
            length += 3;
    }
    return length;
}

struct Head
{
    RecoveryStore::Entry entry;
    qsizetype textBytes = -1;
    bool utf16 = false;
};

// Why a file of the store cannot be read; `otherVersion` when it is a recovery file of
// another version of the format (not damaged, only not ours to read).
struct Unreadable
{
    QString reason;
    bool otherVersion = false;
};

// Reads the head of a recovery file, leaving the file at the first byte of the text.
std::optional<Head> readHead(QFile &file, Unreadable *why = nullptr)
{
    const auto refuse = [&](const QString &reason, bool otherVersion = false) {
        if (why)
            *why = {reason, otherVersion};
        return std::nullopt;
    };
    const QByteArray first = file.readLine(FirstLine.size() + 2);
    if (first != FirstLine + '\n') {
        // "Loomwright recovery N" of another N is another version's file.
        const QByteArray prefix = FirstLine.left(FirstLine.lastIndexOf(' ') + 1);
        bool number = false;
        if (first.startsWith(prefix) && first.endsWith('\n'))
            first.mid(prefix.size()).trimmed().toUInt(&number);
        return number ? refuse(QStringLiteral("It was written by another version"), true)
                      : refuse(QStringLiteral("It is no recovery file"));
    }
    Head head;
    head.entry.recoveryFile = file.fileName();
    bool hasPath = false;
    std::optional<qint64> diskSize;
    std::optional<qint64> diskModified;
    bool diskMissing = false;
    while (true) {
        QByteArray line = file.readLine(64 * 1024);
        if (!line.endsWith('\n'))
            return refuse(QStringLiteral("Its head is cut short")); // not a whole recovery file
        line.chop(1);
        if (line.isEmpty())
            break;
        const qsizetype colon = line.indexOf(": ");
        if (colon < 0)
            return refuse(QStringLiteral("Its head is damaged"));
        const QByteArray key = line.left(colon);
        const QByteArray value = line.mid(colon + 2);
        if (key == "path") {
            head.entry.documentPath = QString::fromUtf8(QByteArray::fromPercentEncoding(value));
            hasPath = true;
        } else if (key == "time") {
            head.entry.time = QDateTime::fromString(QString::fromLatin1(value), Qt::ISODateWithMs);
        } else if (key == "pid") {
            head.entry.pid = value.toLongLong();
        } else if (key == "process-start") {
            head.entry.processStart = value.toULongLong();
        } else if (key == "boot") {
            head.entry.bootId = QString::fromLatin1(value);
        } else if (key == "encoding") {
            head.entry.encoding =
                TextFile::Encoding::fromName(QString::fromLatin1(value)).value_or(TextFile::Encoding());
        } else if (key == "byte-order-mark") {
            head.entry.byteOrderMark = value == "yes";
        } else if (key == "text-bytes") {
            bool ok = false;
            head.textBytes = value.toLongLong(&ok);
            if (!ok)
                head.textBytes = -1;
        } else if (key == "text-encoding") {
            if (value != "UTF-8" && value != "UTF-16LE")
                return refuse(QStringLiteral("Its text is in an unknown encoding"));
            head.utf16 = value == "UTF-16LE";
        } else if (key == "disk-file") {
            diskMissing = value == "none";
        } else if (key == "disk-size" || key == "disk-modified-ns") {
            bool ok = false;
            const qint64 number = value.toLongLong(&ok);
            if (ok)
                (key == "disk-size" ? diskSize : diskModified) = number;
        }
        // Other keys are left for later versions of the program.
    }
    if (!hasPath || !head.entry.time.isValid() || head.entry.pid <= 0 || head.textBytes < 0)
        return refuse(QStringLiteral("Its head is damaged"));
    if (diskMissing)
        head.entry.disk = RecoveryStore::DiskState{};
    else if (diskSize && diskModified)
        head.entry.disk = RecoveryStore::DiskState{true, *diskSize, *diskModified};
    return head;
}

// Whether the whole text the head announces follows it.
bool textIsWhole(const QFile &file, const Head &head)
{
    const qint64 left = file.size() - file.pos();
    return left == head.textBytes && !(head.utf16 && left % 2 != 0);
}

constexpr QFileDevice::Permissions OwnerOnly =
    QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;
constexpr QFileDevice::Permissions OwnerReadWrite = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

// A text that holds half of a surrogate pair (a kept byte, or one read from UTF-16) has
// no UTF-8 form that gives it back.
bool isValidUnicode(QStringView text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (!text[i].isSurrogate())
            continue;
        if (!text[i].isHighSurrogate() || i + 1 >= text.size() || !text[i + 1].isLowSurrogate())
            return false;
        ++i;
    }
    return true;
}

} // namespace

QString RecoveryStore::defaultFolder()
{
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (state.isEmpty())
        state = QDir::home().filePath(QStringLiteral(".local/state"));
    return QDir(state).filePath(QStringLiteral("Loomwright 99"));
}

QString RecoveryStore::recoveryFileFor(const QString &documentPath) const
{
    // The document's file name, kept short, then a hash of its whole path (two
    // documents of one name in different folders), then this instance.
    QString name = documentPath.isEmpty() ? QStringLiteral("Not Saved") : QFileInfo(documentPath).fileName();
    constexpr qsizetype MaxName = 64;
    if (name.size() > MaxName)
        name.truncate(name[MaxName - 1].isHighSurrogate() ? MaxName - 1 : MaxName);
    const QByteArray pathHash =
        QCryptographicHash::hash(documentPath.toUtf8(), QCryptographicHash::Sha1).toHex().left(8);
    return QDir(m_folder).filePath(
        QStringLiteral("%1-%2-%3%4").arg(name, QString::fromLatin1(pathHash), self().key, Suffix));
}

void RecoveryStore::write(const QString &documentPath, const QString &text, TextFile::Encoding encoding,
                          bool byteOrderMark, std::optional<DiskState> disk) const
{
    const QString path = recoveryFileFor(documentPath);
    const auto fail = [&](const QString &reason) {
        throw Failure(QStringLiteral("Cannot write file \"%1\". %2").arg(path, reason));
    };
    if (!QFileInfo::exists(m_folder) && !QDir().mkpath(m_folder))
        fail(QStringLiteral("The folder \"%1\" cannot be made").arg(m_folder));
    // Unsaved work is the user's alone, also in a folder that was made open to others.
    // (Should that fail, the file itself is still the owner's alone.)
    QFile::setPermissions(m_folder, OwnerOnly);

    if (!disk && !documentPath.isEmpty()) {
        // The state recorded when the work began stays until the work is saved or dropped.
        QFile earlier(path);
        if (earlier.open(QIODevice::ReadOnly))
            if (const std::optional<Head> head = readHead(earlier))
                disk = head->entry.disk;
        if (!disk)
            disk = DiskState::of(documentPath);
    }

    const bool utf16 = !isValidUnicode(text);
    const Instance &writer = self();
    QByteArray head = FirstLine + '\n';
    head += "path: " + pathValue(documentPath) + '\n';
    head += "time: " + QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs).toLatin1() + '\n';
    head += "pid: " + QByteArray::number(writer.pid) + '\n';
    head += "process-start: " + QByteArray::number(writer.start) + '\n';
    head += "boot: " + writer.bootId.toLatin1() + '\n';
    head += "encoding: " + encoding.name().toLatin1() + '\n';
    head += QByteArray("byte-order-mark: ") + (byteOrderMark ? "yes" : "no") + '\n';
    head += "text-bytes: " + QByteArray::number(utf16 ? text.size() * 2 : utf8Length(text)) + '\n';
    if (disk && !disk->exists) {
        head += "disk-file: none\n";
    } else if (disk) {
        head += "disk-size: " + QByteArray::number(disk->size) + '\n';
        head += "disk-modified-ns: " + QByteArray::number(disk->modifiedNs) + '\n';
    }
    head += QByteArray("text-encoding: ") + (utf16 ? "UTF-16LE" : "UTF-8") + "\n\n";

    // Unbuffered, so that a write cut short is seen here and the earlier file kept.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        fail(file.errorString());
    if (!file.setPermissions(OwnerReadWrite)) {
        const QString reason = file.errorString();
        file.cancelWriting();
        fail(reason);
    }
    const auto writeAll = [&](const QByteArray &bytes) {
        if (file.write(bytes) == bytes.size())
            return;
        const QString reason = file.errorString();
        file.cancelWriting();
        fail(reason);
    };
    writeAll(head);
    // In pieces: a large text is never held a second time whole as bytes. A surrogate
    // pair stays in one piece.
    constexpr qsizetype PieceLength = qsizetype(1) << 16;
    const QStringView all(text);
    for (qsizetype from = 0; from < all.size();) {
        qsizetype length = std::min(PieceLength, all.size() - from);
        if (from + length < all.size() && all[from + length - 1].isHighSurrogate())
            ++length;
        const QStringView piece = all.sliced(from, length);
        if (utf16) {
            QByteArray bytes(piece.size() * 2, Qt::Uninitialized);
            qToLittleEndian<quint16>(piece.data(), piece.size(), bytes.data());
            writeAll(bytes);
        } else {
            writeAll(piece.toUtf8());
        }
        from += length;
    }
    if (!file.commit())
        fail(file.errorString());
}

void RecoveryStore::remove(const QString &documentPath) const
{
    QFile::remove(recoveryFileFor(documentPath));
}

void RecoveryStore::remove(const Entry &entry)
{
    QFile::remove(entry.recoveryFile);
}

QString RecoveryStore::damagedFolder() const
{
    return QDir(m_folder).filePath(QStringLiteral("damaged"));
}

QList<RecoveryStore::Entry> RecoveryStore::list(QList<Damaged> *damaged) const
{
    QList<Entry> entries;
    const QDir dir(m_folder);
    if (!dir.exists())
        return entries;
    QFile::setPermissions(m_folder, OwnerOnly);
    for (const QString &name :
         dir.entryList({QLatin1Char('*') + Suffix}, QDir::Files | QDir::Hidden, QDir::Name)) {
        QFile file(dir.filePath(name));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        // Written 0644 by earlier versions: the owner's alone from now on. (The "user"
        // permissions Qt adds say what this process may do, not the mode.)
        const QFileDevice::Permissions mode =
            file.permissions() & ~(QFileDevice::ReadUser | QFileDevice::WriteUser | QFileDevice::ExeUser);
        if (mode != OwnerReadWrite && QFileInfo(file).ownerId() == ::geteuid())
            file.setPermissions(OwnerReadWrite);
        Unreadable why;
        std::optional<Head> head = readHead(file, &why);
        if (head && !textIsWhole(file, *head)) {
            head.reset();
            why = {QStringLiteral("Its text is cut short")};
        }
        file.close();
        if (head) {
            entries.append(std::move(head->entry));
            continue;
        }
        if (why.otherVersion)
            continue;
        // Moved aside, never over another file of the same name. Another instance that
        // moved it first has reported it.
        QDir().mkpath(damagedFolder());
        QFile::setPermissions(damagedFolder(), OwnerOnly);
        QString movedTo;
        for (int n = 1; n < 1000 && movedTo.isEmpty(); ++n) {
            const QString target =
                QDir(damagedFolder()).filePath(n == 1 ? name : QStringLiteral("%1-%2").arg(name).arg(n));
            if (QFileInfo::exists(target))
                continue;
            if (QFile::rename(file.fileName(), target))
                movedTo = target;
            else if (!file.exists())
                break;
        }
        if (!file.exists() && movedTo.isEmpty())
            continue;
        if (damaged)
            damaged->append({file.fileName(), movedTo, why.reason});
    }
    std::stable_sort(entries.begin(), entries.end(),
                     [](const Entry &a, const Entry &b) { return a.time > b.time; });
    return entries;
}

QString RecoveryStore::read(const Entry &entry)
{
    QFile file(entry.recoveryFile);
    if (!file.open(QIODevice::ReadOnly))
        throw Failure(
            QStringLiteral("Cannot open file \"%1\". %2").arg(entry.recoveryFile, file.errorString()));
    const std::optional<Head> head = readHead(file);
    const QByteArray bytes = head ? file.readAll() : QByteArray();
    if (file.error() != QFileDevice::NoError)
        throw Failure(
            QStringLiteral("Cannot read file \"%1\". %2").arg(entry.recoveryFile, file.errorString()));
    if (!head || bytes.size() != head->textBytes || (head->utf16 && bytes.size() % 2 != 0))
        throw Failure(QStringLiteral("The recovery file \"%1\" is damaged").arg(entry.recoveryFile));
    if (head->utf16) {
        QString text(bytes.size() / 2, Qt::Uninitialized);
        qFromLittleEndian<quint16>(bytes.constData(), text.size(), text.data());
        return text;
    }
    return QString::fromUtf8(bytes);
}

bool RecoveryStore::ownedByRunningInstance(const Entry &entry)
{
    // Written before the last boot: whatever runs now under that id is another process.
    const Instance &now = self();
    if (!entry.bootId.isEmpty() && !now.bootId.isEmpty() && entry.bootId != now.bootId)
        return false;
    const std::optional<quint64> start = processStart(entry.pid);
    if (!start)
        return false;
    // The same id with another start: the id was given to a new process.
    return entry.processStart == 0 || *start == entry.processStart;
}

RecoveryStore::DiskState RecoveryStore::DiskState::of(const QString &path)
{
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return {};
    return {true, qint64(st.st_size), qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

bool RecoveryStore::changedOnDisk(const Entry &entry)
{
    return entry.disk && !entry.documentPath.isEmpty() && DiskState::of(entry.documentPath) != *entry.disk;
}
