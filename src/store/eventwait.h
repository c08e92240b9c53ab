#pragma once
// A wait for something that happens elsewhere (another thread, a peer) on a thread that must
// keep serving its events meanwhile: swipes, timers and paints go on, and between events the
// thread sleeps instead of polling. Whatever ends the wait must post an event to the waiting
// thread when it happens (WakeWaiter does), or the sleep lasts until the deadline. Any
// thread with an event dispatcher; the main thread in practice.

#include <QDeadlineTimer>
#include <QEventLoop>
#include <functional>

class QObject;

// Turns the event loop until done() holds or the deadline (a monotonic one) has passed;
// answers done().
bool WaitOnEvents(const std::function<bool()> &done,
                  QDeadlineTimer deadline = QDeadlineTimer(QDeadlineTimer::Forever),
                  QEventLoop::ProcessEventsFlags flags = QEventLoop::AllEvents);

// Runs the work on a thread of its own while this thread's event loop turns, sleeping between
// events, until the work is done; an exception the work throws is thrown here. The flags say
// which events are served meanwhile (ExcludeUserInputEvents keeps the user's clicks and keys
// for after). Without an application the work simply runs on this thread.
void RunOffThread(const std::function<void()> &work,
                  QEventLoop::ProcessEventsFlags flags = QEventLoop::AllEvents);

// Posts an event to the thread of the receiver, so that a wait sleeping there wakes and looks
// again at what it waits for. Any thread; the receiver must outlive the call.
void WakeWaiter(QObject *receiver);
