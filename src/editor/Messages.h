#pragma once

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

// A label edited in place that cannot stand in the style sheet: the reason, captioned
// with the application title, warning icon, OK.
void labelRefused(QWidget *parent, const QString &reason);

// The catalogue tables are missing beside the program (error icon, OK).
void catalogueMissing(QWidget *parent);

} // namespace Messages
