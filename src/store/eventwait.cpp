#include "store/eventwait.h"

#include <QEventLoop>
#include <QObject>
#include <QTimer>
#include <chrono>

bool WaitOnEvents(const std::function<bool()> &done, QDeadlineTimer deadline)
{
    QEventLoop loop; // gives a thread that has none its event dispatcher
    // Wakes the sleep at the deadline; precise, so that the wait does not overrun it.
    QTimer wake;
    wake.setSingleShot(true);
    wake.setTimerType(Qt::PreciseTimer);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        if (!deadline.isForever() && !wake.isActive())
            wake.start(std::chrono::milliseconds(deadline.remainingTime()));
        loop.processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

void WakeWaiter(QObject *receiver)
{
    QMetaObject::invokeMethod(
        receiver, [] {}, Qt::QueuedConnection);
}
