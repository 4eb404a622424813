#pragma once

#include "RecoveryStore.h"
#include "StyleSheetReader.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <optional>

class Catalogue;
class Document;
class QFileSystemWatcher;

// The document's file, apart from any window: reading it (Open, and again after another
// program changed it), writing it (Save), and watching it on disk. It remembers what the
// file held when it was last read or written (its size, time and a hash of its bytes),
// so that a change by another program is told apart from the editor's own writes, and
// Save can ask before it replaces a file that changed since. The window and loomcss use
// it; the window keeps the questions.
class DocumentSession : public QObject
{
    Q_OBJECT
public:
    DocumentSession(Document &document, Catalogue &catalogue, QObject *parent = nullptr);
    ~DocumentSession() override;

    Document &document() { return m_document; }

    // Reads `path` into the document (nothing changes when the read fails) and watches it.
    bool open(const QString &path, const StyleSheetReader::ProcessEvents &processEvents = {},
              StyleSheetReader::ReadError *error = nullptr);
    // The same, the file loaded with `options` (size limit, progress, a chosen encoding).
    bool open(const QString &path, const TextFile::LoadOptions &options,
              const StyleSheetReader::ProcessEvents &processEvents = {},
              StyleSheetReader::ReadError *error = nullptr);
    // Reads the document's file again, as Open does.
    bool reload(const StyleSheetReader::ProcessEvents &processEvents = {},
                StyleSheetReader::ReadError *error = nullptr);
    // Records that `path` now holds what the editor wrote (or, for work taken over from a
    // recovery file, that the document stands for it as it is now), and watches it.
    void written(const QString &path);
    // A new document: no file is watched.
    void forget();
    // The document's file as it was when the document's work began (read or written
    // last), in the recovery files' terms; none for a document without a file.
    std::optional<RecoveryStore::DiskState> workBase() const;

    // What became of the document's file on disk since it was read or written.
    enum class DiskChange { None, Changed, Removed };
    DiskChange diskChange() const;

signals:
    // The file was changed, replaced or removed by another program.
    void changedOnDisk(DocumentSession::DiskChange change);

private:
    struct DiskState
    {
        bool exists = false;
        qint64 size = 0;
        qint64 modified = 0; // milliseconds since the epoch
        QByteArray hash;
        bool operator==(const DiskState &) const = default;
    };
    static DiskState stateOf(const QString &path);
    void watch(const QString &path);
    void watch(const QString &path, const DiskState &state, const RecoveryStore::DiskState &base);
    void fileNoticed();

    Document &m_document;
    Catalogue &m_catalogue;
    QFileSystemWatcher *m_watcher;
    QString m_path;                      // the file watched; empty for none
    DiskState m_state;                   // what it held when last read or written
    RecoveryStore::DiskState m_base;     // the same, as the recovery files record it
    std::optional<DiskState> m_lastTold; // the change last told, so that each is told once
};
