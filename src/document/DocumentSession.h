#pragma once

#include "Document.h"
#include "RecoveryStore.h"
#include "SaveQuestions.h"
#include "StyleSheetReader.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <optional>

class Catalogue;
class QFileSystemWatcher;

// The document being edited, with its history of edits (Document), and its file, apart
// from any window: starting a new document, reading it (Open,
// again after another program changed it, back from the code window), writing it (Save,
// Save As), and watching it on disk. It remembers what the file held when it was last
// read or written (its size, time and a hash of its bytes), so that a change by another
// program is told apart from the editor's own writes, and Save can ask before it
// replaces a file that changed since. The main window, the code window and loomcss all
// write through it; the questions come from the caller (SaveQuestions), so that the
// windows ask in message boxes and loomcss answers by its options.
class DocumentSession : public QObject
{
    Q_OBJECT
public:
    // An empty document; the catalogue reads its files.
    explicit DocumentSession(Catalogue &catalogue, QObject *parent = nullptr);
    ~DocumentSession() override;

    Document &document() { return m_document; }

    // How a read stands to the document's history: a fresh start (Open, a read again
    // after another program's change: the history starts anew, unmodified, and nothing
    // is left to recover), or a read-back of a text the user wrote in the code window
    // (the history starts anew and the modified flag stays as it was).
    enum class Start { Fresh, KeepModified };

    // Reads `path` into the document as a fresh start (nothing changes when the read
    // fails) and watches it.
    bool open(const QString &path, const StyleSheetReader::ProcessEvents &processEvents = {},
              StyleSheetReader::ReadError *error = nullptr);
    // The same, the file loaded with `options` (size limit, progress, a chosen encoding).
    bool open(const QString &path, const TextFile::LoadOptions &options,
              const StyleSheetReader::ProcessEvents &processEvents = {},
              StyleSheetReader::ReadError *error = nullptr, Start start = Start::Fresh);
    // Reads the document's file again, as Open does.
    bool reload(const StyleSheetReader::ProcessEvents &processEvents = {},
                StyleSheetReader::ReadError *error = nullptr);
    // A new document took the place of the old one (the caller built its tree): it has
    // no file, no history, and nothing to recover.
    void startNew();
    // The user gave up the document's edits (Open after the prompt, when the file then
    // chosen could not be read): the document stays as it is, unmodified, with a fresh
    // history and nothing to recover.
    void giveUpEdits();

    // Writes the document to `path` (its own file, or another for Save As) in the
    // encoding its file was read in. Asks before it replaces its own file that another
    // program changed or removed since it was read or written, then as writeText does.
    // Once written, the document's file is `path`, it is no longer modified (the
    // history's clean state moves here), nothing is left to recover, and the file is
    // watched. Gives the encoding written; none when a question was answered no (nothing
    // is written). A failed write throws Failure and leaves the document as it was.
    std::optional<SaveQuestions::Encoding> save(const QString &path, SaveQuestions &questions);
    // Writes `text` to `path` as Save does: a read-only file only when the user agrees
    // (it keeps its mode), in `encoding` or the one the questions choose when it cannot
    // hold the text. Gives the encoding written; none when nothing was written.
    static std::optional<SaveQuestions::Encoding> writeText(const QString &path, const QString &text,
                                                            TextFile::Encoding encoding, bool byteOrderMark,
                                                            SaveQuestions &questions);

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
    // The document's work is on disk or was given up (Save, New, a fresh Open): there is
    // nothing left to recover.
    void workSafe();
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

    Document m_document;
    Catalogue &m_catalogue;
    QFileSystemWatcher *m_watcher;
    QString m_path;                      // the file watched; empty for none
    DiskState m_state;                   // what it held when last read or written
    RecoveryStore::DiskState m_base;     // the same, as the recovery files record it
    std::optional<DiskState> m_lastTold; // the change last told, so that each is told once
};
