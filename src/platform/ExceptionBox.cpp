#include "ExceptionBox.h"

#include "Failure.h"

#include <QGuiApplication>
#include <QMessageBox>

QString ExceptionBox::text(const QString &message)
{
    if (message.isEmpty())
        return message;
    const QString last(message.back());
    if (QString::localeAwareCompare(last, QStringLiteral(".")) > 0)
        return message + QLatin1Char('.');
    return message;
}

void ExceptionBox::show(QWidget *parent, const QString &message)
{
    QMessageBox box(QMessageBox::Critical, QGuiApplication::applicationDisplayName(), text(message),
                    QMessageBox::Ok, parent);
    box.exec();
}

bool ExceptionBox::guard(QWidget *parent, const std::function<void()> &handler)
{
    try {
        handler();
        return true;
    } catch (const Failure &failure) {
        show(parent, failure.message());
    } catch (const std::exception &e) {
        show(parent, QString::fromLocal8Bit(e.what()));
    }
    return false;
}
