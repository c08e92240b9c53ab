#include "store/eventwait.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QObject>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <exception>
#include <thread>

bool WaitOnEvents(const std::function<bool()> &done, QDeadlineTimer deadline,
                  QEventLoop::ProcessEventsFlags flags)
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
        loop.processEvents(flags | QEventLoop::WaitForMoreEvents);
    }
    return true;
}

void RunOffThread(const std::function<void()> &work, QEventLoop::ProcessEventsFlags flags)
{
    if (!QCoreApplication::instance()) {
        work();
        return;
    }
    std::atomic<bool> done{false};
    std::exception_ptr failure;
    QObject waker; // on the caller's thread; outlives the worker, which is joined first
    std::thread worker([&work, &done, &failure, &waker] {
        try {
            work();
        } catch (...) {
            failure = std::current_exception();
        }
        done.store(true);
        WakeWaiter(&waker);
    });
    WaitOnEvents([&done] { return done.load(); }, QDeadlineTimer(QDeadlineTimer::Forever), flags);
    worker.join();
    if (failure)
        std::rethrow_exception(failure);
}

void WakeWaiter(QObject *receiver)
{
    QMetaObject::invokeMethod(
        receiver, [] {}, Qt::QueuedConnection);
}
