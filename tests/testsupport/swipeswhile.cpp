#include "testsupport/swipeswhile.h"

#include "desk/deskcore.h"
#include "readerlink/reader.h"
#include "store/settings.h"
#include "testsupport/benchsupport.h"
#include "testsupport/readersim.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int IdleMs = 3000;

// What the main thread is doing while a swipe is sent.
enum class Phase
{
    Between, // neither: swipes sent now are not counted
    Idle,
    Busy,
};

} // namespace

bool ConnectSwipingReader(ReaderSim &sim, TDeskCore &core)
{
    if (!sim.Start()) {
        std::fprintf(stderr, "the simulated reader did not start\n");
        return false;
    }
    WriteRegString(QStringLiteral("COM1Device"), QString::fromStdString(sim.DevicePath()));
    core.SetupAllReaders();
    if (!core.Reader(1)->Connected()) {
        std::fprintf(stderr, "the desk's reader did not connect\n");
        return false;
    }
    return true;
}

SwipeFigures SwipesWhile(ReaderSim &sim, int cards, int rounds, const std::function<void()> &work)
{
    SwipeFigures f;
    std::atomic<Phase> phase{Phase::Between};
    std::atomic<int> turn{0}; // counts the phases
    std::atomic<bool> stop{false};
    std::atomic<bool> driverDone{false};
    std::thread driver([&] {
        std::size_t expected = sim.Received().size();
        int card = 0;
        unsigned jitter = 12345;
        while (!stop) {
            jitter = jitter * 1103515245u + 12345u;
            std::this_thread::sleep_for(std::chrono::microseconds(4000 + (jitter >> 8) % 3000));
            const Phase sentIn = phase;
            const int sentInTurn = turn;
            card = card % cards + 1;
            expected = sim.Received().size() + 1;
            const Clock::time_point sent = sim.SendCard(card);
            const bool answered = sim.WaitForFrames(expected, 5000);
            const double us =
                std::chrono::duration<double, std::micro>(Clock::now() - sent).count();
            if (!answered) {
                ++f.unanswered;
                expected = sim.Received().size();
            } else if (sentIn == Phase::Idle && turn == sentInTurn) {
                f.idleUs.push_back(us);
            } else if (sentIn == Phase::Busy) {
                f.busyUs.push_back(us);
            }
        }
        driverDone = true;
    });
    auto turnLoop = [](int ms) {
        QEventLoop loop;
        QTimer::singleShot(ms, &loop, &QEventLoop::quit);
        loop.exec();
    };
    for (int r = 0; r < rounds; ++r) {
        phase = Phase::Idle;
        ++turn;
        turnLoop(IdleMs);
        phase = Phase::Busy;
        ++turn;
        // A timer due every millisecond sees how long the work holds the event loop.
        QTimer tick;
        tick.setInterval(1);
        Clock::time_point last = Clock::now();
        QObject::connect(&tick, &QTimer::timeout, [&] {
            const Clock::time_point now = Clock::now();
            f.longestStallMs = std::max(
                f.longestStallMs, std::chrono::duration<double, std::milli>(now - last).count());
            last = now;
        });
        tick.start();
        f.busyMs += MsOf(work);
        // A hold at the very end of the work (no tick after it) counts too.
        f.longestStallMs =
            std::max(f.longestStallMs,
                     std::chrono::duration<double, std::milli>(Clock::now() - last).count());
        tick.stop();
        ++f.rounds;
        phase = Phase::Between;
        ++turn;
        turnLoop(200); // the swipe sent last is answered
    }
    stop = true;
    // The driver may still wait for its last answer, which needs the event loop.
    while (!driverDone)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    driver.join();
    return f;
}

bool PrintSwipeFigures(const char *what, const SwipeFigures &f, double limit, double worstMs)
{
    const double i50 = Percentile(f.idleUs, 0.5), i99 = Percentile(f.idleUs, 0.99);
    const double b50 = Percentile(f.busyUs, 0.5), b99 = Percentile(f.busyUs, 0.99);
    const double worst = f.busyUs.empty() ? 0 : *std::max_element(f.busyUs.begin(), f.busyUs.end());
    std::printf("\n== Swipe to door command while %s ==\n", what);
    std::printf("idle desk     (%5zu swipes)  p50 %8.1f us  p99 %8.1f us\n", f.idleUs.size(), i50,
                i99);
    std::printf("busy          (%5zu swipes)  p50 %8.1f us  p99 %8.1f us  worst %8.1f us\n",
                f.busyUs.size(), b50, b99, worst);
    std::printf("work          %.0f ms a run, the event loop held %.1f ms at the most; "
                "unanswered swipes %d\n",
                f.busyMs / std::max(1, f.rounds), f.longestStallMs, f.unanswered);
    const double ratio = i99 > 0 ? b99 / i99 : 0;
    bool ok = i99 > 0 && ratio <= limit && f.unanswered == 0;
    std::printf("ratio p99 busy / idle  %.2f x (limit %.1f) %s\n", ratio, limit,
                ok ? "WITHIN LIMIT" : "OVER LIMIT");
    if (worstMs > 0) {
        const bool inTime = !f.busyUs.empty() && worst <= worstMs * 1000;
        std::printf("longest swipe wait  %.1f ms (limit %.0f ms) %s\n", worst / 1000, worstMs,
                    inTime ? "WITHIN LIMIT" : "OVER LIMIT");
        ok = ok && inTime;
    }
    return ok;
}
