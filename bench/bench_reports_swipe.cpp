// The desk answering swipes while a year of a report composes in the desk's own thread and
// event loop, as at the desk: a simulated reader swipes from a thread of its own every few
// milliseconds, timed from the card frame's last byte to the door command it receives, while
// the main thread either turns its event loop with nothing else to do (idle) or composes the
// report (busy), in rounds taking turns. The figure is the busy p99 against the idle p99 of
// the same run. Reports, each over 500 staff and the last year of a 1,000,000-row log:
// first-in/last-out (one session, lateness and overtime) and the time logs, composed; and the
// first-in/last-out composed and drawn whole, to a PDF (as a printer draws it) and in the
// preview window, where no swipe may wait over 100 ms either.
//
// Usage: bench_reports_swipe [--rounds=N] (default 3) [--drawn-only] (the PDF and the preview)

#include "desk/deskcore.h"
#include "readerlink/reader.h"
#include "reports/qrlog.h"
#include "reports/repfilo.h"
#include "reports/scopeparts.h"
#include "reports/setscope.h"
#include "store/datasrc.h"
#include "store/settings.h"
#include "testsupport/benchsupport.h"
#include "testsupport/readersim.h"
#include "testsupport/scopestandin.h"
#include "testsupport/tempdata.h"

#include <QCoreApplication>
#include <QDateTimeEdit>
#include <QApplication>
#include <QEventLoop>
#include <QPrintPreviewDialog>
#include <QTemporaryDir>
#include <QRadioButton>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string_view>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int Staff = 500;
constexpr int Days = 500; // 500 staff x 500 days x 4 swipes = 1,000,000 rows
const QDate FirstDay(2025, 1, 1);
const QDate LastDay = FirstDay.addDays(Days - 1);
constexpr int IdleMs = 3000;

// What the main thread is doing while a swipe is sent.
enum class Phase
{
    Between, // neither: swipes sent now are not counted
    Idle,
    Busy,
};

struct SwipeFigures
{
    std::vector<double> idleUs, busyUs;
    int unanswered = 0;
    double busyMs = 0;         // the work's time, all rounds
    double longestStallMs = 0; // the longest the work held the event loop
    int rounds = 0;
};

// Swipes at the reader from a thread of its own (cards 1..cards in turn, 4 to 7 ms apart, so
// they fall anywhere in the work) while the main thread turns its event loop idle for IdleMs,
// then runs `work`, `rounds` times. A swipe sent during the work counts for it whenever its
// answer comes; an idle one only when answered before the work began.
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

// limit: busy p99 against idle p99; worstLimitMs (when set): the longest any swipe waited.
bool PrintSwipeFigures(const char *what, const SwipeFigures &f, double limit,
                       double worstLimitMs = 0)
{
    const double i50 = Percentile(f.idleUs, 0.5), i99 = Percentile(f.idleUs, 0.99);
    const double b50 = Percentile(f.busyUs, 0.5), b99 = Percentile(f.busyUs, 0.99);
    const double worst = f.busyUs.empty() ? 0 : *std::max_element(f.busyUs.begin(), f.busyUs.end());
    std::printf("\n== Swipe to door command while %s ==\n", what);
    std::printf("idle desk     (%5zu swipes)  p50 %8.1f us  p99 %8.1f us\n", f.idleUs.size(), i50,
                i99);
    std::printf("busy          (%5zu swipes)  p50 %8.1f us  p99 %8.1f us  worst %8.1f us\n",
                f.busyUs.size(), b50, b99, worst);
    std::printf("the work      %.0f ms a run, the event loop held %.1f ms at the most; "
                "unanswered swipes %d\n",
                f.busyMs / std::max(1, f.rounds), f.longestStallMs, f.unanswered);
    const double ratio = i99 > 0 ? b99 / i99 : 0;
    const bool ok = i99 > 0 && ratio <= limit && f.unanswered == 0;
    std::printf("ratio p99 busy / idle  %.2f x (limit %.1f) %s\n", ratio, limit,
                ok ? "WITHIN LIMIT" : "OVER LIMIT");
    if (worstLimitMs <= 0)
        return ok;
    const bool worstOk = worst <= worstLimitMs * 1000;
    std::printf("longest swipe wait  %.1f ms (limit %.0f ms) %s\n", worst / 1000, worstLimitMs,
                worstOk ? "WITHIN LIMIT" : "OVER LIMIT");
    return ok && worstOk;
}

// The first-in/last-out report of every person over the log's last year, set up and handed
// to `output` (which composes it, and draws it where it says).
void FiloYear(const std::function<void(Tqrfilo &)> &output)
{
    ScopeStandIn d;
    SetUpLateScope(d, LastDay.addDays(-364), LastDay);
    Tqrfilo report;
    report.SetReportTitle(QStringLiteral("First In Last Out"));
    report.SetupFromLateScope(&d);
    output(report);
}

void ComposeFiloYear()
{
    FiloYear([](Tqrfilo &report) { report.Prepare(); });
}

void PrintFiloYear(const QString &file)
{
    FiloYear([&file](Tqrfilo &report) {
        if (!report.ExportPdf(file))
            std::fprintf(stderr, "the PDF was not written\n");
    });
}

// Drawn in the preview window, which is closed once it shows.
void PreviewFiloYear()
{
    FiloYear([](Tqrfilo &report) {
        QTimer close;
        close.setInterval(5);
        QObject::connect(&close, &QTimer::timeout, [] {
            if (auto *d = qobject_cast<QPrintPreviewDialog *>(QApplication::activeModalWidget()))
                d->reject();
        });
        close.start();
        report.Preview();
    });
}

// The time logs of every person over the log's last year (500 staff, 730,000 records),
// composed.
void ComposeTimeLogsYear()
{
    TSetScope scope;
    scope.dates->rbrange->setChecked(true);
    scope.dates->dpfrom->setDateTime(QDateTime(LastDay.addDays(-364), QTime(0, 0)));
    scope.dates->dpto->setDateTime(QDateTime(LastDay, QTime(0, 0)));
    Tqrlog report;
    report.SetupFromScope(scope);
    report.Prepare();
}

} // namespace

int main(int argc, char **argv)
{
    const int rounds = RoundsArgument(argc, argv, 3);
    bool drawnOnly = false;
    for (int i = 1; i < argc; ++i)
        drawnOnly = drawnOnly || std::string_view(argv[i]) == "--drawn-only";
    BenchApplication app(argc, argv);
    TempData data;
    if (!data.IsValid()) {
        std::fprintf(stderr, "no data folder\n");
        return 1;
    }
    std::printf("filling %d staff, %d log rows...\n", Staff, Staff * Days * 4);
    FillReportLog(Staff, Days, FirstDay);
    EnableDeskReaders(1);
    SettleDeskDatabases();

    ReaderSim sim;
    if (!sim.Start()) {
        std::fprintf(stderr, "the simulated reader did not start\n");
        return 1;
    }
    WriteRegString(QStringLiteral("COM1Device"), QString::fromStdString(sim.DevicePath()));
    TDeskCore core;
    core.SetupAllReaders();
    if (!core.Reader(1)->Connected()) {
        std::fprintf(stderr, "the desk's reader did not connect\n");
        return 1;
    }
    // Warm: the desk's first swipes and the report's first run.
    SwipeLatenciesUs(sim, 20, Staff);

    bool ok = true;
    if (!drawnOnly) {
        ok = PrintSwipeFigures("first-in/last-out, 500 staff x 1 year, composes",
                               SwipesWhile(sim, Staff, rounds, ComposeFiloYear), 3) &&
             ok;
        ok = PrintSwipeFigures("time logs, 500 staff x 1 year, composes",
                               SwipesWhile(sim, Staff, rounds, ComposeTimeLogsYear), 3) &&
             ok;
    }
    QTemporaryDir out;
    const QString pdf = out.filePath(QStringLiteral("filo.pdf"));
    ok = PrintSwipeFigures("first-in/last-out, 500 staff x 1 year, composed and drawn to a PDF",
                           SwipesWhile(sim, Staff, rounds, [&] { PrintFiloYear(pdf); }), 3, 100) &&
         ok;
    ok = PrintSwipeFigures("first-in/last-out, 500 staff x 1 year, composed and previewed",
                           SwipesWhile(sim, Staff, rounds, PreviewFiloYear), 3, 100) &&
         ok;

    core.DisconnectReader(1);
    sim.Stop();
    return ok ? 0 : 2;
}
