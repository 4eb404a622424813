#pragma once

#include <QByteArray>
#include <QString>
#include <exception>

// A failure of an operation, carrying the message shown to the user. Every handler
// runs inside one guard that catches it and shows the standard exception message box.
class Failure : public std::exception
{
public:
    explicit Failure(QString message) : m_message(std::move(message)), m_utf8(m_message.toUtf8()) {}

    const QString &message() const noexcept { return m_message; }
    const char *what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_message;
    QByteArray m_utf8;
};
