#pragma once

#include "TextFile.h"

#include <QDateTime>
#include <QList>
#include <QString>

// Keeps the unsaved text of open documents, so that work survives a crash of the
// program or of the machine. Each running instance writes one recovery file per
// document into the folder; after a crash its files stay there and the next instance
// offers them (those whose writer no longer runs).
//
// A recovery file is a few `key: value` lines (the document's path, the time, the
// writer's process and boot, the document's encoding), a blank line, then the text,
// as UTF-8 when it is valid Unicode, else as UTF-16LE, so that any text comes back as
// it was. Files are written atomically (QSaveFile): a file is the old text or the new
// one, never a mixture.
class RecoveryStore
{
public:
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
    };

    // $XDG_STATE_HOME/Loomwright 99 (~/.local/state/Loomwright 99 when unset or empty).
    static QString defaultFolder();

    RecoveryStore() : RecoveryStore(defaultFolder()) {}
    explicit RecoveryStore(QString folder) : m_folder(std::move(folder)) {}
    const QString &folder() const { return m_folder; }

    // Writes the text of a document, replacing what this instance wrote for it before.
    // An empty path stands for a document that has no file yet. A failed write keeps the
    // earlier recovery file and is a Failure with the reason.
    void write(const QString &documentPath, const QString &text, TextFile::Encoding encoding = {},
               bool byteOrderMark = false) const;

    // Removes this instance's recovery file of a document (when saved, closed or
    // discarded); nothing when there is none.
    void remove(const QString &documentPath) const;
    // Removes a listed recovery file (once it was restored or declined).
    static void remove(const Entry &entry);

    // Every recovery file in the folder, newest first; files that are no recovery
    // files (or are damaged in their head) are left out.
    QList<Entry> list() const;

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
