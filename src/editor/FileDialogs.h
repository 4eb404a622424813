#pragma once

#include <QFileDialog>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <functional>

class QWidget;

// A file dialog made when it is first used, from the maker it is given: a window then
// does not build at its start (and fill with a folder's files) dialogs the user may
// never open. It is used as the dialog itself (->, or where a QFileDialog * is wanted).
class LazyFileDialog
{
public:
    LazyFileDialog() = default;
    LazyFileDialog(const LazyFileDialog &) = delete;
    LazyFileDialog &operator=(const LazyFileDialog &) = delete;

    void setMaker(std::function<QFileDialog *()> make) { m_make = std::move(make); }
    QFileDialog *get()
    {
        if (!m_dialog && m_make)
            m_dialog = m_make();
        return m_dialog;
    }
    QFileDialog *operator->() { return get(); }
    operator QFileDialog *() { return get(); }

private:
    std::function<QFileDialog *()> m_make;
    QPointer<QFileDialog> m_dialog;
};

// The program's file dialogs: Qt's own (non-native) open and save dialogs, made from
// the program's filter texts "Description|pattern|Description|pattern|...".
namespace FileDialogs {

// Qt name filters for a filter text. "*.*" stands for every file, as Qt's "*" does;
// a description that names its pattern in parentheses names the Qt pattern.
QStringList nameFilters(const QString &filter);

// The folders the dialogs remember are stored with the program's other settings, under
// this key, one value per folder name ("Open", "Save", "Browse").
extern const QString FoldersKey;

// A dialog that opens an existing file. An empty title leaves Qt's own. `folderName`
// names the folder it remembers (see choose).
QFileDialog *openDialog(QWidget *parent, const QString &title, const QString &filter,
                        const QString &folderName);

// A dialog that names a file to save; it adds the default extension (without the dot)
// to a name that has none and asks before replacing an existing file (No leaves the
// dialog open for another name).
QFileDialog *saveDialog(QWidget *parent, const QString &title, const QString &filter,
                        const QString &defaultExtension, const QString &folderName);

// The folder a dialog starts in: `remembered` when it is an existing folder, else the
// user's home (never the program's folder or the working one).
QString startFolder(const QString &remembered);

// Shows the dialog modally in the folder remembered under its folder name (the user's
// home the first time, or when that folder is gone), proposing `fileName` (an empty
// text proposes no name, not the one chosen last time; a full path starts in its own
// folder). Gives the chosen file's full path, or the empty text when the user
// cancelled; the chosen file's folder is remembered for the next use. Settings that
// cannot be read or written leave the dialog starting at home and remembering nothing.
// Afterwards no window of the dialog stays on screen, and the widget that had the
// keyboard before has it again.
QString choose(QFileDialog *dialog, const QString &fileName = {});

// Hides the dialog's own popups (the name box's completion list).
void closePopups(QFileDialog *dialog);

} // namespace FileDialogs
