#include "Messages.h"

#include "Catalogue.h"
#include "ExceptionBox.h"
#include "StyleSheetReader.h"

#include <QFileInfo>
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

Messages::RecoveryAnswer Messages::askToRecover(QWidget *parent, const QString &documentPath,
                                                const QDateTime &time)
{
    const QString name =
        documentPath.isEmpty() ? QStringLiteral("a new style sheet") : QFileInfo(documentPath).fileName();
    const QDateTime local = time.toLocalTime();
    // The hour alone for today's work, the day as well for older work.
    const QString when = local.date() == QDate::currentDate()
                             ? local.toString(QStringLiteral("HH:mm"))
                             : local.toString(QStringLiteral("yyyy-MM-dd HH:mm"));
    QMessageBox box(QMessageBox::Question, ApplicationTitle,
                    QStringLiteral("Recover unsaved changes to %1 from %2?").arg(name, when),
                    QMessageBox::NoButton, parent);
    box.setInformativeText(documentPath.isEmpty() ? QStringLiteral("The style sheet had not been saved yet.")
                                                  : documentPath);
    QPushButton *recover = box.addButton(QStringLiteral("Recover"), QMessageBox::AcceptRole);
    QPushButton *discard = box.addButton(QStringLiteral("Discard"), QMessageBox::DestructiveRole);
    QPushButton *later = box.addButton(QStringLiteral("Later"), QMessageBox::RejectRole);
    box.setDefaultButton(recover);
    box.setEscapeButton(later);
    box.exec();
    if (box.clickedButton() == recover)
        return RecoveryAnswer::Recover;
    if (box.clickedButton() == discard)
        return RecoveryAnswer::Discard;
    return RecoveryAnswer::Later;
}
