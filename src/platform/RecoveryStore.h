#pragma once

#include "TextFile.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <optional>

// Keeps the unsaved text of open documents, so that work survives a crash of the
// program or of the machine. Each running instance writes one recovery file per
// document into the folder; after a crash its files stay there and the next instance
// offers them (those whose writer no longer runs).
//
// A recovery file is a few `key: value` lines (the document's path, the time, the
// writer's process and boot, the document's encoding, the state of the document's file
// when the unsaved work began), a blank line, then the text, as UTF-8 when it is valid
// Unicode, else as UTF-16LE, so that any text comes back as it was. Files are written
// atomically (QSaveFile): a file is the old text or the new one, never a mixture.
//
// Unsaved work is the user's alone: recovery files are written 0600 and the folder is
// set to 0700 each time it is used, also when it was made otherwise.
class RecoveryStore
{
public:
    // The document's file on disk as it was (links followed): whether it was there, its
    // size and its time of modification, to the nanosecond.
    struct DiskState
    {
        bool exists = false;
        qint64 size = 0;
        qint64 modifiedNs = 0; // nanoseconds since 1970 (UTC)

        static DiskState of(const QString &path);
        QDateTime modified() const { return QDateTime::fromMSecsSinceEpoch(modifiedNs / 1000000, Qt::UTC); }
        friend bool operator==(const DiskState &, const DiskState &) = default;
    };

    struct Entry
    {
        QString documentPath; // empty for a document that had no file yet
        QDateTime time;       // when the text was written (UTC)
        QString recoveryFile;
        TextFile::Encoding encoding;
        bool byteOrderMark = false;
        // The writer: its process id, the process's start (clock ticks after boot, 0
        // when unknown) and the boot it ran in. Together they name one process, also
        // once its id is given to another.
        qint64 pid = 0;
        quint64 processStart = 0;
        QString bootId;
        // The document's file when its unsaved work began; empty when not known (a
        // document without a file, or a file written by an earlier version).
        std::optional<DiskState> disk;
    };

    // A recovery file the store could not read, moved into the "damaged" folder inside
    // the store's folder (never deleted), so that it is reported once.
    struct Damaged
    {
        QString file;    // where it was
        QString movedTo; // where it is now; empty when it could not be moved
        QString reason;
    };

    // $XDG_STATE_HOME/Loomwright 99 (~/.local/state/Loomwright 99 when unset or empty).
    static QString defaultFolder();

    RecoveryStore() : RecoveryStore(defaultFolder()) {}
    explicit RecoveryStore(QString folder) : m_folder(std::move(folder)) {}
    const QString &folder() const { return m_folder; }

    // Writes the text of a document, replacing what this instance wrote for it before.
    // An empty path stands for a document that has no file yet. `disk` is the state of
    // the document's file when its unsaved work began (as it was read or last saved);
    // when not given, the state recorded by this instance's earlier recovery file of the
    // document is kept, or else the file's state now is taken. A failed write keeps the
    // earlier recovery file and is a Failure with the reason.
    void write(const QString &documentPath, const QString &text, TextFile::Encoding encoding = {},
               bool byteOrderMark = false, std::optional<DiskState> disk = std::nullopt) const;

    // Removes this instance's recovery file of a document (when saved, closed or
    // discarded); nothing when there is none.
    void remove(const QString &documentPath) const;
    // Removes a listed recovery file (once it was restored or declined).
    static void remove(const Entry &entry);

    // Every recovery file in the folder, newest first. Files of the store that it cannot
    // read (cut short, or no recovery file at all) are moved aside into the "damaged"
    // folder and given in `damaged`, once; those of another version of the format are
    // left where they are.
    QList<Entry> list(QList<Damaged> *damaged = nullptr) const;

    // The folder damaged recovery files are moved into.
    QString damagedFolder() const;

    // Whether the document's file changed on disk after its unsaved work began: made,
    // removed, or of another size or time of modification. False when not known.
    static bool changedOnDisk(const Entry &entry);

    // The text of a recovery file; a Failure when it cannot be read or is damaged.
    static QString read(const Entry &entry);

    // Whether the instance that wrote the entry is still running (then it is its own
    // unsaved work, not something to recover). Linux: read from /proc.
    static bool ownedByRunningInstance(const Entry &entry);

    // The recovery file this instance writes for a document.
    QString recoveryFileFor(const QString &documentPath) const;

private:
    QString m_folder;
};
