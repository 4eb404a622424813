#pragma once

#include "RecoveryStore.h"

#include <QObject>
#include <QString>
#include <functional>
#include <optional>

class Catalogue;
class Document;
class QTimer;
class QWidget;

// Keeps the user's unsaved work safe from a crash. While the document is modified its
// text is written to a recovery file (RecoveryStore) at most once per interval and only
// after a change: a change starts a single-shot timer, and the text is written when it
// runs out, never on the typing path. Saving, starting or opening a document and a
// normal end remove the file. At start, the files that a crashed instance left behind
// are offered back to the user.
class RecoveryGuard : public QObject
{
    Q_OBJECT
public:
    // The interval between writes: $LOOMWRIGHT_RECOVERY_INTERVAL_MS when it is a
    // positive number (tests), else 10 seconds.
    static int defaultInterval();

    // Follows every change of the document's tree and history; messages go to `window`.
    RecoveryGuard(Document &document, QWidget *window, RecoveryStore store = RecoveryStore(),
                  QObject *parent = nullptr);
    ~RecoveryGuard() override;

    const RecoveryStore &store() const { return m_store; }

    // Where the state of the document's file when its work began (read or saved last)
    // comes from; it goes into every recovery file, so that a later start can tell
    // whether another program changed the file after the work began, also when it did
    // so before the first write. Without one, the file's state at the first write is
    // taken.
    using WorkBase = std::function<std::optional<RecoveryStore::DiskState>()>;
    void setWorkBase(WorkBase workBase) { m_workBase = std::move(workBase); }
    int interval() const;
    void setInterval(int milliseconds);

    // The document changed: the text is written when the interval runs out.
    void changed();
    // Writes the text now while the document is modified, else removes the file.
    void writeNow();
    // The work is safe or given up (saved, replaced by New or Open, the program ends
    // normally): the recovery file goes and no write is pending.
    void discard();

    // Offers the recovery files of instances that no longer run, newest first:
    // Recover reads the text into the document as a modified document under its
    // file's name (the file itself is not touched), Discard removes the recovery file,
    // Later keeps it for the next start. When the file changed on disk after the work
    // began, the question says so, and Open as New reads the text as a new unsaved
    // document instead, leaving the file as it is now. True when a text was recovered;
    // the remaining files stay for a later start. Damaged recovery files found on the
    // way are moved aside by the store and reported once, before any question.
    bool offerRecovery(Catalogue &catalogue);

    // The name Save proposes for the text offerRecovery() took: its file's, or for work
    // opened as new beside a changed file, "NAME (recovered).EXT" in the file's folder;
    // empty for work that had no file.
    const QString &recoveredSaveName() const { return m_recoveredSaveName; }

private:
    QString documentKey() const;

    Document &m_document;
    QWidget *m_window;
    RecoveryStore m_store;
    QTimer *m_timer;
    // The document the recovery file was last written for (its path, empty for none),
    // so that a renamed document does not leave its old file behind.
    std::optional<QString> m_writtenFor;
    WorkBase m_workBase;
    // The base recorded in the recovery file whose work was taken over, kept for the
    // later writes of that work until it is saved or given up.
    std::optional<RecoveryStore::DiskState> m_recoveredBase;
    bool m_failureShown = false;
    QString m_recoveredSaveName;
};
