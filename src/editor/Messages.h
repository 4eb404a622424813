#pragma once

#include "RecoveryStore.h"

#include <QDateTime>
#include <QList>
#include <QMessageBox>
#include <QString>
#include <functional>

class QWidget;

// The editor's own message boxes, with their texts, captions, icons and buttons.
namespace Messages {

// "Loomwright CSS": the application title and the caption of the editor's questions.
extern const QString ApplicationTitle;
extern const QString SaveQuestion; // "Do you want to save the current style sheet?"

// The unsaved-changes question (question icon; Yes, No, Cancel). Closing the box
// answers Cancel.
QMessageBox::StandardButton askToSave(QWidget *parent);

// The step before a command discards edited text: asks the question above. Yes runs
// `save` (a failure is shown in the standard exception message box) and lets the
// command go on only when it saved, since going on would lose the edits; No goes on;
// Cancel stops the command.
bool mayDiscardEdits(QWidget *parent, const std::function<bool()> &save);

// A style sheet that could not be read: "Invalid or corrupt style sheet file",
// captioned "Error", error icon, OK; the informative text says why (where in the text
// and what was found there, or the system's reason for a file that cannot be read).
void styleSheetUnreadable(QWidget *parent, const QString &reason = {});
// The same for a text the reader refused at a place: the box also offers "Edit Code",
// to open the file's text in the code window at that place. True when chosen.
bool styleSheetRefused(QWidget *parent, const QString &reason);

// Before Save replaces a file that another program changed (or deleted or moved) since
// it was read: "… was changed by another program since it was read. Do you want to
// replace it with the style sheet?" (question icon; Yes, No; No the default). True for Yes.
bool mayReplaceChangedFile(QWidget *parent, const QString &path, bool removed);

// The document's file was changed by another program while the document holds edits:
// Reload (the edits are lost) or Keep Editing (the default; Save asks again). True for Reload.
bool mayReloadChangedFile(QWidget *parent, const QString &path);

// A label edited in place that cannot stand in the style sheet: the reason, captioned
// with the application title, warning icon, OK.
void labelRefused(QWidget *parent, const QString &reason);

// The catalogue tables are missing beside the program (error icon, OK).
void catalogueMissing(QWidget *parent);

// Before a save that the file's encoding cannot hold: "This style sheet holds
// characters that cannot be saved in ISO-8859-1, such as "→" (U+2192). Do you want to
// save it as UTF-8?" (question icon; "Save as UTF-8", Cancel). True for UTF-8; closing
// the box cancels.
bool askToSaveAsUtf8(QWidget *parent, const QString &encodingName, const QString &character);

enum class RecoveryAnswer { Recover, OpenAsNew, Discard, Later };
// The document's file on disk now, against the unsaved work: as it was when the work
// began (or not known), changed since (at `changed`), or deleted or moved since.
struct FileSinceWork
{
    enum Kind { Same, Changed, Removed } kind = Same;
    QDateTime changed;
};
// Unsaved work that a crash left behind: "Recover unsaved changes to site.css from
// 10:42?" (question icon; Recover, Discard, Later), the file's full path as the
// informative text. Closing the box answers Later. When the file changed on disk after
// the work began, the informative text says so and when, and the box also offers
// "Open as New" (the default): the work as a new unsaved style sheet, the file left as
// it is now; Recover would put the work in place of the other program's change.
RecoveryAnswer askToRecover(QWidget *parent, const QString &documentPath, const QDateTime &time,
                            const FileSinceWork &since = {});

// Recovery files found damaged at start, moved into `folder` (never deleted): "2 recovery
// files could not be read and were moved to FOLDER." (warning icon, OK), each file
// with its reason as the informative text.
void recoveryFilesDamaged(QWidget *parent, const QList<RecoveryStore::Damaged> &files, const QString &folder);

// A file above the size limit, before it is read: "FILE is 1.5 KB, larger than the
// 1.0 KB above which files are opened only when asked. Do you want to open it?"
// (question icon; Open, Cancel, the default). True for Open.
bool askToOpenLargeFile(QWidget *parent, const QString &path, qint64 size, qint64 limit);

// Before Save writes a file marked read-only: "FILE is read-only. Save anyway?"
// (warning icon; Yes, No, the default). The file keeps its mode. True for Yes.
bool mayWriteReadOnlyFile(QWidget *parent, const QString &path);

// Before the document's file is read again in another encoding while it holds unsaved
// changes: "Reading FILE again as windows-1252 discards your unsaved changes. Do you want
// to go on?" (question icon; Reopen, Cancel, the default). True for Reopen.
bool mayReopenLosingEdits(QWidget *parent, const QString &path, const QString &encodingName);

} // namespace Messages
