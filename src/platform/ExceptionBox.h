#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace ExceptionBox {

// The text the standard exception message box shows for a failure's message: a full
// stop is appended when the last character sorts after "." in the locale-aware
// comparison (a message ending in a letter or digit gains one, one ending in "." not).
QString text(const QString &message);

// Shows the standard exception message box: the text above, captioned with the
// application's title (QGuiApplication::applicationDisplayName), error icon, OK.
void show(QWidget *parent, const QString &message);

// Runs one handler; a Failure (or any std::exception) that escapes it is shown in the
// standard exception message box, after which the program carries on. Returns false
// when the handler failed.
bool guard(QWidget *parent, const std::function<void()> &handler);

} // namespace ExceptionBox
