#include "Messages.h"

#include "Catalogue.h"
#include "ExceptionBox.h"
#include "StyleSheetReader.h"

#include <QFileInfo>
#include <QLocale>
#include <QPushButton>

const QString Messages::ApplicationTitle = QStringLiteral("Loomwright CSS");
const QString Messages::SaveQuestion = QStringLiteral("Do you want to save the current style sheet?");

QMessageBox::StandardButton Messages::askToSave(QWidget *parent)
{
    QMessageBox box(QMessageBox::Question, ApplicationTitle, SaveQuestion,
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, parent);
    box.setEscapeButton(QMessageBox::Cancel);
    const int answer = box.exec();
    return answer == QMessageBox::Yes || answer == QMessageBox::No ? QMessageBox::StandardButton(answer)
                                                                   : QMessageBox::Cancel;
}

bool Messages::mayDiscardEdits(QWidget *parent, const std::function<bool()> &save)
{
    switch (askToSave(parent)) {
    case QMessageBox::Yes: {
        bool saved = false;
        ExceptionBox::guard(parent, [&] { saved = save(); });
        return saved;
    }
    case QMessageBox::No:
        return true;
    default:
        return false;
    }
}

void Messages::styleSheetUnreadable(QWidget *parent, const QString &reason)
{
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Error"), StyleSheetReader::FailureMessage,
                    QMessageBox::Ok, parent);
    box.setInformativeText(reason);
    box.exec();
}

bool Messages::mayReplaceChangedFile(QWidget *parent, const QString &path, bool removed)
{
    const QString text =
        removed
            ? QStringLiteral("%1 was deleted or moved by another program since it was read. Do you want to "
                             "save the style sheet there again?")
                  .arg(path)
            : QStringLiteral("%1 was changed by another program since it was read. Do you want to replace it "
                             "with the style sheet?")
                  .arg(path);
    QMessageBox box(QMessageBox::Question, ApplicationTitle, text, QMessageBox::Yes | QMessageBox::No,
                    parent);
    box.setDefaultButton(QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

bool Messages::mayReloadChangedFile(QWidget *parent, const QString &path)
{
    QMessageBox box(QMessageBox::Question, ApplicationTitle,
                    QStringLiteral("%1 was changed by another program. Do you want to read it again and lose "
                                   "your edits?")
                        .arg(path),
                    QMessageBox::NoButton, parent);
    QPushButton *reload = box.addButton(QStringLiteral("&Reload"), QMessageBox::DestructiveRole);
    QPushButton *keep = box.addButton(QStringLiteral("&Keep Editing"), QMessageBox::RejectRole);
    box.setDefaultButton(keep);
    box.setEscapeButton(keep);
    box.exec();
    return box.clickedButton() == reload;
}

bool Messages::styleSheetRefused(QWidget *parent, const QString &reason)
{
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Error"), StyleSheetReader::FailureMessage,
                    QMessageBox::Ok, parent);
    box.setInformativeText(reason);
    QPushButton *code = box.addButton(QStringLiteral("&Edit Code"), QMessageBox::ActionRole);
    box.setDefaultButton(QMessageBox::Ok);
    box.setEscapeButton(QMessageBox::Ok);
    box.exec();
    return box.clickedButton() == code;
}

void Messages::labelRefused(QWidget *parent, const QString &reason)
{
    QMessageBox box(QMessageBox::Warning, ApplicationTitle, reason, QMessageBox::Ok, parent);
    box.exec();
}

void Messages::catalogueMissing(QWidget *parent)
{
    QMessageBox box(QMessageBox::Critical, ApplicationTitle, Catalogue::MissingTablesMessage, QMessageBox::Ok,
                    parent);
    box.exec();
}

bool Messages::askToSaveAsUtf8(QWidget *parent, const QString &encodingName, const QString &character)
{
    const uint codePoint = character.isEmpty() ? 0u : character.toUcs4().value(0);
    const QString code = QStringLiteral("U+%1").arg(codePoint, 4, 16, QLatin1Char('0')).toUpper();
    QMessageBox box(QMessageBox::Question, ApplicationTitle,
                    QStringLiteral("This style sheet holds characters that cannot be saved in %1, such as "
                                   "\"%2\" (%3). Do you want to save it as UTF-8?")
                        .arg(encodingName, character, code),
                    QMessageBox::Cancel, parent);
    box.setInformativeText(
        QStringLiteral("The whole file is then written in UTF-8; nothing is written in a mix of encodings."));
    QPushButton *utf8 = box.addButton(QStringLiteral("Save as UTF-8"), QMessageBox::AcceptRole);
    box.setDefaultButton(utf8);
    box.setEscapeButton(QMessageBox::Cancel);
    box.exec();
    return box.clickedButton() == utf8;
}

namespace {

// A moment as the recovery question gives it: the hour alone today, the day as well
// before.
QString momentText(const QDateTime &time)
{
    const QDateTime local = time.toLocalTime();
    return local.date() == QDate::currentDate() ? local.toString(QStringLiteral("HH:mm"))
                                                : local.toString(QStringLiteral("yyyy-MM-dd HH:mm"));
}

// A size as the file reader's messages give it ("1.5 KB", "512.0 MB").
QString sizeText(qint64 bytes)
{
    return QLocale::c().formattedDataSize(bytes, 1, QLocale::DataSizeTraditionalFormat);
}

} // namespace

Messages::RecoveryAnswer Messages::askToRecover(QWidget *parent, const QString &documentPath,
                                                const QDateTime &time, const FileSinceWork &since)
{
    const QString name =
        documentPath.isEmpty() ? QStringLiteral("a new style sheet") : QFileInfo(documentPath).fileName();
    QMessageBox box(QMessageBox::Question, ApplicationTitle,
                    QStringLiteral("Recover unsaved changes to %1 from %2?").arg(name, momentText(time)),
                    QMessageBox::NoButton, parent);
    QString informative =
        documentPath.isEmpty() ? QStringLiteral("The style sheet had not been saved yet.") : documentPath;
    if (since.kind == FileSinceWork::Changed)
        informative += QStringLiteral("\n\nThe file was changed on disk at %1, after this work began. "
                                      "Recover puts this work in its place when you save it; Open as New "
                                      "keeps the file as it is now and opens this work as a new style "
                                      "sheet.")
                           .arg(momentText(since.changed));
    else if (since.kind == FileSinceWork::Removed)
        informative += QStringLiteral("\n\nThe file was deleted or moved after this work began. Recover "
                                      "saves this work under its name again; Open as New opens it as a "
                                      "new style sheet.");
    box.setInformativeText(informative);
    QPushButton *recover = box.addButton(QStringLiteral("Recover"), QMessageBox::AcceptRole);
    QPushButton *asNew = since.kind == FileSinceWork::Same
                             ? nullptr
                             : box.addButton(QStringLiteral("Open as New"), QMessageBox::ActionRole);
    QPushButton *discard = box.addButton(QStringLiteral("Discard"), QMessageBox::DestructiveRole);
    QPushButton *later = box.addButton(QStringLiteral("Later"), QMessageBox::RejectRole);
    // Neither the work nor the other program's change is lost by the default answer.
    box.setDefaultButton(asNew ? asNew : recover);
    box.setEscapeButton(later);
    box.exec();
    if (box.clickedButton() == recover)
        return RecoveryAnswer::Recover;
    if (asNew && box.clickedButton() == asNew)
        return RecoveryAnswer::OpenAsNew;
    if (box.clickedButton() == discard)
        return RecoveryAnswer::Discard;
    return RecoveryAnswer::Later;
}

void Messages::recoveryFilesDamaged(QWidget *parent, const QList<RecoveryStore::Damaged> &files,
                                    const QString &folder)
{
    const QString text =
        files.size() == 1
            ? QStringLiteral("1 recovery file could not be read and was moved to %1.").arg(folder)
            : QStringLiteral("%1 recovery files could not be read and were moved to %2.")
                  .arg(files.size())
                  .arg(folder);
    QStringList lines;
    for (const RecoveryStore::Damaged &file : files) {
        lines << (file.movedTo.isEmpty() ? QStringLiteral("%1: %2 (it could not be moved and stays there)")
                                               .arg(file.file, file.reason)
                                         : QStringLiteral("%1: %2").arg(file.movedTo, file.reason));
    }
    QMessageBox box(QMessageBox::Warning, ApplicationTitle, text, QMessageBox::Ok, parent);
    box.setInformativeText(lines.join(QLatin1Char('\n')));
    box.exec();
}

bool Messages::askToOpenLargeFile(QWidget *parent, const QString &path, qint64 size, qint64 limit)
{
    QMessageBox box(QMessageBox::Question, ApplicationTitle,
                    QStringLiteral("%1 is %2, larger than the %3 above which files are opened only when "
                                   "asked. Do you want to open it?")
                        .arg(path, sizeText(size), sizeText(limit)),
                    QMessageBox::Cancel, parent);
    box.setInformativeText(QStringLiteral("A large file takes long to read and much memory to edit."));
    QPushButton *open = box.addButton(QStringLiteral("Open"), QMessageBox::AcceptRole);
    box.setDefaultButton(QMessageBox::Cancel);
    box.setEscapeButton(QMessageBox::Cancel);
    box.exec();
    return box.clickedButton() == open;
}

bool Messages::mayWriteReadOnlyFile(QWidget *parent, const QString &path)
{
    QMessageBox box(QMessageBox::Warning, ApplicationTitle,
                    QStringLiteral("%1 is read-only. Save anyway?").arg(path),
                    QMessageBox::Yes | QMessageBox::No, parent);
    box.setInformativeText(QStringLiteral("The file stays read-only after the save."));
    box.setDefaultButton(QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

bool Messages::mayReopenLosingEdits(QWidget *parent, const QString &path, const QString &encodingName)
{
    QMessageBox box(
        QMessageBox::Question, ApplicationTitle,
        QStringLiteral("Reading %1 again as %2 discards your unsaved changes. Do you want to go on?")
            .arg(path, encodingName),
        QMessageBox::Cancel, parent);
    QPushButton *reopen = box.addButton(QStringLiteral("Reopen"), QMessageBox::DestructiveRole);
    box.setDefaultButton(QMessageBox::Cancel);
    box.setEscapeButton(QMessageBox::Cancel);
    box.exec();
    return box.clickedButton() == reopen;
}
