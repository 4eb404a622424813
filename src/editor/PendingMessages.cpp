#include "PendingMessages.h"

#include <QCoreApplication>
#include <QElapsedTimer>

namespace {

constexpr qint64 IntervalMs = 20;
// A read calls process() once per declaration, some hundred thousand times for a large
// style sheet; the clock is read on every 32nd call only, a few microseconds apart.
constexpr unsigned CallsPerLook = 32;
unsigned callsSinceLook = 0;

QElapsedTimer &lastRun()
{
    static QElapsedTimer timer;
    return timer;
}

} // namespace

void PendingMessages::process(bool userInput)
{
    if (++callsSinceLook < CallsPerLook)
        return;
    callsSinceLook = 0;
    if (lastRun().isValid() && lastRun().elapsed() < IntervalMs)
        return;
    processNow(userInput);
}

void PendingMessages::processNow(bool userInput)
{
    QCoreApplication::processEvents(userInput ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents);
    lastRun().start();
}
