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

// Reads the head of a recovery file, leaving the file at the first byte of the text.
std::optional<Head> readHead(QFile &file)
{
    if (file.readLine(FirstLine.size() + 2) != FirstLine + '\n')
        return std::nullopt;
    Head head;
    head.entry.recoveryFile = file.fileName();
    bool hasPath = false;
    while (true) {
        QByteArray line = file.readLine(64 * 1024);
        if (!line.endsWith('\n'))
            return std::nullopt; // no end of the head: not a whole recovery file
        line.chop(1);
        if (line.isEmpty())
            break;
        const qsizetype colon = line.indexOf(": ");
        if (colon < 0)
            return std::nullopt;
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
                return std::nullopt;
            head.utf16 = value == "UTF-16LE";
        }
        // Other keys are left for later versions of the program.
    }
    if (!hasPath || !head.entry.time.isValid() || head.entry.pid <= 0 || head.textBytes < 0)
        return std::nullopt;
    return head;
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
                          bool byteOrderMark) const
{
    const QString path = recoveryFileFor(documentPath);
    const auto fail = [&](const QString &reason) {
        throw Failure(QStringLiteral("Cannot write file \"%1\". %2").arg(path, reason));
    };
    if (!QFileInfo::exists(m_folder)) {
        if (!QDir().mkpath(m_folder))
            fail(QStringLiteral("The folder \"%1\" cannot be made").arg(m_folder));
        // Unsaved work is the user's alone.
        QFile::setPermissions(m_folder,
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }

    // A text that is not valid Unicode (half of a surrogate pair) has no UTF-8 form.
    const bool utf16 = !TextFile::canEncode(text, TextFile::Encoding::Utf8);
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
    head += QByteArray("text-encoding: ") + (utf16 ? "UTF-16LE" : "UTF-8") + "\n\n";

    // Unbuffered, so that a write cut short is seen here and the earlier file kept.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        fail(file.errorString());
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

QList<RecoveryStore::Entry> RecoveryStore::list() const
{
    QList<Entry> entries;
    const QDir dir(m_folder);
    for (const QString &name : dir.entryList({QLatin1Char('*') + Suffix}, QDir::Files, QDir::Name)) {
        QFile file(dir.filePath(name));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        if (std::optional<Head> head = readHead(file))
            entries.append(std::move(head->entry));
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
