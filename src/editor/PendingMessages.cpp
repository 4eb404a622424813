#include "PendingMessages.h"

#include <QCoreApplication>
#include <QElapsedTimer>

namespace {

constexpr qint64 IntervalMs = 20;

QElapsedTimer &lastRun()
{
    static QElapsedTimer timer;
    return timer;
}

} // namespace

void PendingMessages::process()
{
    if (lastRun().isValid() && lastRun().elapsed() < IntervalMs)
        return;
    processNow();
}

void PendingMessages::processNow()
{
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    lastRun().start();
}
