#include "FileDialogs.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCompleter>
#include <QFileDialog>
#include <QLineEdit>
#include <QPointer>
#include <QTimer>

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

QFileDialog *makeDialog(QWidget *parent, const QString &title, const QString &filter)
{
    auto *dialog = new QFileDialog(parent);
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    if (!title.isEmpty())
        dialog->setWindowTitle(title);
    dialog->setNameFilters(FileDialogs::nameFilters(filter));
    return dialog;
}

} // namespace

QFileDialog *FileDialogs::openDialog(QWidget *parent, const QString &title, const QString &filter)
{
    QFileDialog *dialog = makeDialog(parent, title, filter);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setFileMode(QFileDialog::ExistingFile);
    return dialog;
}

QFileDialog *FileDialogs::saveDialog(QWidget *parent, const QString &title, const QString &filter,
                                     const QString &defaultExtension)
{
    QFileDialog *dialog = makeDialog(parent, title, filter);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    dialog->setDefaultSuffix(defaultExtension);
    return dialog;
}

QString FileDialogs::choose(QFileDialog *dialog, const QString &fileName)
{
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
    return dialog->selectedFiles().value(0);
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
