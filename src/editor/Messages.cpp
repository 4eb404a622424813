#include "Messages.h"

#include "Catalogue.h"
#include "ExceptionBox.h"
#include "StyleSheetReader.h"

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
