// The wait that sleeps on events: ended by a report from another thread, serving the waiting
// thread's own events meanwhile, and ended by its deadline when no report comes.

#include "store/eventwait.h"

#include <QObject>
#include <QTimer>
#include <atomic>
#include <gtest/gtest.h>
#include <thread>

namespace {

// The reporter waits until the waiting thread has served one of its own events, so a wait
// that served none would run into its deadline instead.
TEST(EventWait, EndsOnAReportAndServesEventsMeanwhile)
{
    QObject receiver;
    std::atomic<bool> served{false};
    std::atomic<bool> reported{false};
    QTimer::singleShot(0, &receiver, [&] { served.store(true); });
    std::thread reporter([&] {
        while (!served.load())
            std::this_thread::yield();
        reported.store(true);
        WakeWaiter(&receiver);
    });
    const bool done = WaitOnEvents([&] { return reported.load(); }, QDeadlineTimer(10000));
    reporter.join();
    EXPECT_TRUE(done);
    EXPECT_TRUE(served.load());
}

TEST(EventWait, EndsAtTheDeadlineWithoutAReport)
{
    QObject receiver;
    int ticks = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, &receiver, [&] { ++ticks; });
    tick.start(1);
    const QDeadlineTimer deadline(50);
    EXPECT_FALSE(WaitOnEvents([] { return false; }, deadline));
    EXPECT_TRUE(deadline.hasExpired());
    EXPECT_GT(ticks, 0);
}

TEST(EventWait, AnswersAtOnceWhenAlreadyDone)
{
    EXPECT_TRUE(WaitOnEvents([] { return true; }, QDeadlineTimer(0)));
    EXPECT_TRUE(WaitOnEvents([] { return true; }));
}

} // namespace
