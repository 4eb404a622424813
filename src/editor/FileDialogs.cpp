#include "FileDialogs.h"

#include "Failure.h"
#include "RegistryStore.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCompleter>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QPointer>
#include <QTimer>

const QString FileDialogs::FoldersKey = QStringLiteral("\\Software\\Loomwright 99\\Folders");

QStringList FileDialogs::nameFilters(const QString &filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList result;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString &description = parts.at(i);
        const QString &pattern = parts.at(i + 1);
        QStringList patterns = pattern.split(QLatin1Char(';'), Qt::SkipEmptyParts);
        for (QString &p : patterns)
            if (p == QLatin1String("*.*"))
                p = QStringLiteral("*");
        const QString qtPatterns = patterns.join(QLatin1Char(' '));
        const QString named = QLatin1Char('(') + pattern + QLatin1Char(')');
        if (description.endsWith(named))
            result << description.chopped(named.size()) + QLatin1Char('(') + qtPatterns + QLatin1Char(')');
        else
            result << description + QLatin1String(" (") + qtPatterns + QLatin1Char(')');
    }
    return result;
}

namespace {

// The dialog property that holds the name of the folder it remembers.
const char *const FolderNameProperty = "lwFolderName";

QString rememberedFolder(const QString &name)
{
    try {
        RegistryStore registry;
        return registry.openKey(RegistryStore::Root::CurrentUser, FileDialogs::FoldersKey).readString(name);
    } catch (const Failure &) {
        return {};
    }
}

void rememberFolder(const QString &name, const QString &folder)
{
    try {
        RegistryStore registry;
        registry.openKey(RegistryStore::Root::CurrentUser, FileDialogs::FoldersKey).writeString(name, folder);
    } catch (const Failure &) {
        // The dialog still gave its file; only the folder goes unremembered.
    }
}

QFileDialog *makeDialog(QWidget *parent, const QString &title, const QString &filter,
                        const QString &folderName)
{
    auto *dialog = new QFileDialog(parent);
    dialog->setProperty(FolderNameProperty, folderName);
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    if (!title.isEmpty())
        dialog->setWindowTitle(title);
    dialog->setNameFilters(FileDialogs::nameFilters(filter));
    return dialog;
}

} // namespace

QFileDialog *FileDialogs::openDialog(QWidget *parent, const QString &title, const QString &filter,
                                     const QString &folderName)
{
    QFileDialog *dialog = makeDialog(parent, title, filter, folderName);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setFileMode(QFileDialog::ExistingFile);
    return dialog;
}

QFileDialog *FileDialogs::saveDialog(QWidget *parent, const QString &title, const QString &filter,
                                     const QString &defaultExtension, const QString &folderName)
{
    QFileDialog *dialog = makeDialog(parent, title, filter, folderName);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    dialog->setDefaultSuffix(defaultExtension);
    return dialog;
}

QString FileDialogs::startFolder(const QString &remembered)
{
    if (!remembered.isEmpty() && QDir::isAbsolutePath(remembered) && QFileInfo(remembered).isDir())
        return remembered;
    return QDir::homePath();
}

QString FileDialogs::choose(QFileDialog *dialog, const QString &fileName)
{
    const QString folderName = dialog->property(FolderNameProperty).toString();
    dialog->setDirectory(startFolder(folderName.isEmpty() ? QString() : rememberedFolder(folderName)));
    if (!fileName.isEmpty()) {
        dialog->selectFile(fileName);
    } else if (auto *nameBox = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))) {
        // The dialog keeps its name box between uses; a name from an earlier use
        // must not be offered for a different document.
        nameBox->clear();
    }
    const QPointer<QWidget> focus = QApplication::focusWidget();
    const int result = dialog->exec();
    closePopups(dialog);
    // The window system may hand the activation on after the dialog has gone (or, with
    // no window manager, to no window at all): the widget takes it back now and once
    // the events of the closing have been handled.
    const auto giveBack = [focus] {
        if (focus && focus->isVisible() && focus->isEnabled() && !QApplication::activeModalWidget()) {
            focus->activateWindow();
            focus->setFocus(Qt::OtherFocusReason);
        }
    };
    giveBack();
    if (focus)
        QTimer::singleShot(0, focus, giveBack);
    if (result != QDialog::Accepted)
        return {};
    const QString chosen = dialog->selectedFiles().value(0);
    if (!chosen.isEmpty() && !folderName.isEmpty())
        rememberFolder(folderName, QFileInfo(chosen).absolutePath());
    return chosen;
}

void FileDialogs::closePopups(QFileDialog *dialog)
{
    // The name box's completion list is a window of its own: the dialog closing while
    // it shows leaves it on screen, holding the arrow keys, unless it is closed too.
    const QList<QCompleter *> completers = dialog->findChildren<QCompleter *>();
    for (QCompleter *completer : completers)
        if (QAbstractItemView *popup = completer->popup(); popup && popup->isVisible())
            popup->hide();
}
