#include "RecoveryGuard.h"

#include "Document.h"
#include "ExceptionBox.h"
#include "Failure.h"
#include "Messages.h"
#include "PendingMessages.h"
#include "StyleSheetReader.h"
#include "StyleSheetWriter.h"

#include <QDir>
#include <QFileInfo>
#include <QTimer>
#include <QUndoStack>

int RecoveryGuard::defaultInterval()
{
    bool ok = false;
    const int interval = qEnvironmentVariableIntValue("LOOMWRIGHT_RECOVERY_INTERVAL_MS", &ok);
    return ok && interval > 0 ? interval : 10000;
}

RecoveryGuard::RecoveryGuard(Document &document, QWidget *window, RecoveryStore store, QObject *parent)
    : QObject(parent), m_document(document), m_window(window), m_store(std::move(store)),
      m_timer(new QTimer(this))
{
    m_timer->setSingleShot(true);
    m_timer->setInterval(defaultInterval());
    connect(m_timer, &QTimer::timeout, this, &RecoveryGuard::writeNow);
    const StyleSheetModel *elements = &m_document.elements();
    connect(elements, &QAbstractItemModel::dataChanged, this, &RecoveryGuard::changed);
    for (const auto rows : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        connect(elements, rows, this, &RecoveryGuard::changed);
    connect(elements, &QAbstractItemModel::rowsMoved, this, &RecoveryGuard::changed);
    connect(elements, &QAbstractItemModel::modelReset, this, &RecoveryGuard::changed);
    connect(elements, &QAbstractItemModel::layoutChanged, this, &RecoveryGuard::changed);
    // A change of form or a merged value edit shows in the history as well.
    connect(&m_document.undoStack(), &QUndoStack::indexChanged, this, &RecoveryGuard::changed);
}

RecoveryGuard::~RecoveryGuard() = default;

int RecoveryGuard::interval() const
{
    return m_timer->interval();
}

void RecoveryGuard::setInterval(int milliseconds)
{
    m_timer->setInterval(milliseconds);
}

QString RecoveryGuard::documentKey() const
{
    return m_document.hasFile() ? m_document.currentFileName() : QString();
}

void RecoveryGuard::changed()
{
    // The first change after a write starts the wait; later ones ride along with it.
    if (!m_timer->isActive())
        m_timer->start();
}

void RecoveryGuard::writeNow()
{
    m_timer->stop();
    if (!m_document.isModified()) {
        // Undone back to what is on disk: nothing to recover.
        discard();
        return;
    }
    const QString key = documentKey();
    std::optional<RecoveryStore::DiskState> base = m_recoveredBase;
    if (!base && m_workBase && !key.isEmpty())
        base = m_workBase();
    try {
        m_store.write(key, StyleSheetWriter::styleSheetText(m_document), m_document.encoding(),
                      m_document.byteOrderMark(), base);
    } catch (const Failure &failure) {
        // Said once, not at every interval; the next write that works lets it be said again.
        if (!m_failureShown) {
            m_failureShown = true;
            ExceptionBox::show(m_window, failure.message());
        }
        return;
    }
    m_failureShown = false;
    if (m_writtenFor && *m_writtenFor != key)
        m_store.remove(*m_writtenFor);
    m_writtenFor = key;
}

void RecoveryGuard::discard()
{
    m_timer->stop();
    if (m_writtenFor)
        m_store.remove(*m_writtenFor);
    m_store.remove(documentKey());
    m_writtenFor.reset();
    m_recoveredBase.reset();
}

namespace {

// How the entry's file stands now against the state recorded when its work began.
Messages::FileSinceWork fileSinceWork(const RecoveryStore::Entry &entry)
{
    if (entry.documentPath.isEmpty() || !RecoveryStore::changedOnDisk(entry))
        return {};
    const RecoveryStore::DiskState now = RecoveryStore::DiskState::of(entry.documentPath);
    if (!now.exists)
        return {Messages::FileSinceWork::Removed, {}};
    return {Messages::FileSinceWork::Changed, now.modified()};
}

// "site (recovered).css" beside "site.css".
QString besideName(const QString &path)
{
    const QFileInfo file(path);
    const QString suffix = file.suffix();
    const QString base = suffix.isEmpty() ? file.fileName() : file.completeBaseName();
    return file.dir().filePath(base + QStringLiteral(" (recovered)") +
                               (suffix.isEmpty() ? QString() : QLatin1Char('.') + suffix));
}

} // namespace

bool RecoveryGuard::offerRecovery(Catalogue &catalogue)
{
    QList<RecoveryStore::Damaged> damaged;
    const QList<RecoveryStore::Entry> entries = m_store.list(&damaged);
    if (!damaged.isEmpty())
        Messages::recoveryFilesDamaged(m_window, damaged, m_store.damagedFolder());
    for (const RecoveryStore::Entry &entry : entries) {
        if (RecoveryStore::ownedByRunningInstance(entry))
            continue;
        const Messages::RecoveryAnswer answer =
            Messages::askToRecover(m_window, entry.documentPath, entry.time, fileSinceWork(entry));
        switch (answer) {
        case Messages::RecoveryAnswer::Later:
            continue;
        case Messages::RecoveryAnswer::Discard:
            RecoveryStore::remove(entry);
            continue;
        case Messages::RecoveryAnswer::Recover:
        case Messages::RecoveryAnswer::OpenAsNew:
            break;
        }
        const QString text = RecoveryStore::read(entry);
        StyleSheetReader::ReadError error;
        if (!StyleSheetReader::readText(
                m_document, catalogue, text, [] { PendingMessages::process(); }, &error)) {
            // The recovery file stays: nothing of it is lost by a text the reader refuses.
            if (error.catalogue)
                ExceptionBox::show(m_window, error.reason);
            else
                Messages::styleSheetUnreadable(m_window, error.describe());
            return false;
        }
        // Opened as new, the work has no file: Save asks for a name, proposing one beside
        // the file, which stays as the other program left it.
        const bool asNew = answer == Messages::RecoveryAnswer::OpenAsNew;
        const QString documentPath = asNew ? QString() : entry.documentPath;
        m_document.setCurrentFileName(documentPath.isEmpty() ? Document::NotSaved : documentPath);
        m_recoveredSaveName = asNew ? besideName(entry.documentPath) : entry.documentPath;
        m_document.setEncoding(entry.encoding, entry.byteOrderMark);
        m_document.resetHistory(true);
        // Recovered in place, the work keeps the base it began from: when this instance
        // ends without a save too, the next start still sees the other program's change.
        m_recoveredBase.reset();
        if (!asNew)
            m_recoveredBase = entry.disk;
        // This instance takes the work over: its own recovery file first, then the old
        // one goes, so that no moment passes in which the work is kept nowhere.
        writeNow();
        if (m_writtenFor && entry.recoveryFile != m_store.recoveryFileFor(*m_writtenFor))
            RecoveryStore::remove(entry);
        return true;
    }
    return false;
}
