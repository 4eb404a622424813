#include "DocumentSession.h"

#include "StyleSheetWriter.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>

DocumentSession::DocumentSession(Catalogue &catalogue, QObject *parent)
    : QObject(parent), m_catalogue(catalogue), m_watcher(new QFileSystemWatcher(this))
{
    connect(m_watcher, &QFileSystemWatcher::fileChanged, this, &DocumentSession::fileNoticed);
    // A file replaced by renaming another over it leaves the watch on the old one: the
    // folder's notice finds the new one.
    connect(m_watcher, &QFileSystemWatcher::directoryChanged, this, &DocumentSession::fileNoticed);
}

DocumentSession::~DocumentSession() = default;

DocumentSession::DiskState DocumentSession::stateOf(const QString &path)
{
    DiskState state;
    const QFileInfo info(path);
    if (!info.isFile())
        return state;
    state.exists = true;
    state.size = info.size();
    state.modified = info.lastModified().toMSecsSinceEpoch();
    QFile file(path);
    if (file.open(QIODevice::ReadOnly)) {
        QCryptographicHash hash(QCryptographicHash::Sha1);
        hash.addData(&file);
        state.hash = hash.result();
    }
    return state;
}

void DocumentSession::watch(const QString &path)
{
    watch(path, stateOf(path), RecoveryStore::DiskState::of(path));
}

void DocumentSession::watch(const QString &path, const DiskState &state, const RecoveryStore::DiskState &base)
{
    if (!m_path.isEmpty()) {
        m_watcher->removePath(m_path);
        m_watcher->removePath(QFileInfo(m_path).absolutePath());
    }
    m_path = path;
    m_state = state;
    m_base = base;
    m_lastTold.reset();
    if (path.isEmpty())
        return;
    m_watcher->addPath(path);
    m_watcher->addPath(QFileInfo(path).absolutePath());
}

bool DocumentSession::open(const QString &path, const StyleSheetReader::ProcessEvents &processEvents,
                           StyleSheetReader::ReadError *error)
{
    return open(path, TextFile::LoadOptions(), processEvents, error);
}

bool DocumentSession::open(const QString &path, const TextFile::LoadOptions &options,
                           const StyleSheetReader::ProcessEvents &processEvents,
                           StyleSheetReader::ReadError *error, Start start)
{
    // Looked at before the read: a change between the look and the read counts as one
    // made after the read.
    const DiskState before = stateOf(path);
    const RecoveryStore::DiskState base = RecoveryStore::DiskState::of(path);
    if (!StyleSheetReader::readStyleSheet(m_document, m_catalogue, path, options, processEvents, error))
        return false;
    watch(path, before, base);
    // The steps of the history were made on the tree the read replaced.
    m_document.resetHistory(start == Start::Fresh ? false : m_document.isModified());
    if (start == Start::Fresh)
        emit workSafe();
    return true;
}

void DocumentSession::startNew()
{
    m_document.setCurrentFileName(Document::NotSaved);
    forget();
    m_document.resetHistory(false);
    emit workSafe();
}

void DocumentSession::giveUpEdits()
{
    m_document.resetHistory(false);
    emit workSafe();
}

std::optional<SaveQuestions::Encoding> DocumentSession::save(const QString &path, SaveQuestions &questions)
{
    // Another program's change to the file is never written over without a question.
    if (!m_path.isEmpty() && path == m_path) {
        const DiskChange change = diskChange();
        if (change != DiskChange::None &&
            !questions.mayReplaceChangedFile(path, change == DiskChange::Removed))
            return std::nullopt;
    }
    const std::optional<SaveQuestions::Encoding> written =
        writeText(path, StyleSheetWriter::styleSheetText(m_document), m_document.encoding(),
                  m_document.byteOrderMark(), questions);
    if (!written)
        return std::nullopt;
    m_document.setEncoding(written->encoding, written->byteOrderMark);
    m_document.setCurrentFileName(path);
    watch(path);
    // What is on disk now is the work: an undo past this point marks it modified again.
    m_document.markSaved();
    emit workSafe();
    return written;
}

std::optional<SaveQuestions::Encoding> DocumentSession::writeText(const QString &path, const QString &text,
                                                                  TextFile::Encoding encoding,
                                                                  bool byteOrderMark,
                                                                  SaveQuestions &questions)
{
    // A file marked read-only is written only when the user says so (also when the one
    // saving could write it anyway).
    if (TextFile::isReadOnly(path) && !questions.mayWriteReadOnlyFile(path))
        return std::nullopt;
    std::optional<SaveQuestions::Encoding> chosen = questions.encodingFor(text, encoding, byteOrderMark);
    if (!chosen)
        return std::nullopt;
    chosen->encoding = TextFile::save(path, text, chosen->encoding, chosen->byteOrderMark);
    return chosen;
}

bool DocumentSession::reload(const StyleSheetReader::ProcessEvents &processEvents,
                             StyleSheetReader::ReadError *error)
{
    return open(m_document.currentFileName(), TextFile::LoadOptions(), processEvents, error);
}

void DocumentSession::written(const QString &path)
{
    watch(path);
}

void DocumentSession::forget()
{
    watch(QString());
}

std::optional<RecoveryStore::DiskState> DocumentSession::workBase() const
{
    if (m_path.isEmpty())
        return std::nullopt;
    return m_base;
}

DocumentSession::DiskChange DocumentSession::diskChange() const
{
    if (m_path.isEmpty())
        return DiskChange::None;
    const DiskState now = stateOf(m_path);
    if (!now.exists)
        return m_state.exists ? DiskChange::Removed : DiskChange::None;
    return now == m_state ? DiskChange::None : DiskChange::Changed;
}

void DocumentSession::fileNoticed()
{
    if (m_path.isEmpty())
        return;
    // The watch goes with a file that was replaced or removed; a file made anew under
    // the name is watched again.
    if (!m_watcher->files().contains(m_path) && QFileInfo(m_path).isFile())
        m_watcher->addPath(m_path);
    const DiskChange change = diskChange();
    if (change == DiskChange::None)
        return;
    // Told once per change: the state seen now is the one later notices compare with.
    const DiskState seen = stateOf(m_path);
    if (m_lastTold && seen == *m_lastTold)
        return;
    m_lastTold = seen;
    emit changedOnDisk(change);
}
