// Start of the main window to its first paint, over an empty log and over a log of 1,000,000
// rows, measured side by side in one run; and what the window holds in memory (resident set)
// over each. Targets: the large log starts in at most 1 s, and holds at most 50 MB more than
// the empty one.

#include "desk/loggridmodel.h"
#include "desk/timerec.h"
#include "store/datasrc.h"
#include "store/messages.h"
#include "store/paths.h"
#include "testsupport/tempdata.h"
#include "testsupport/benchsupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <fstream>
#include <malloc.h>
#include <memory>
#include <unistd.h>

namespace {

constexpr int LogRows = 1000000;

// Any box at start-up would wait for a click: note it and answer at once.
class CountingMessages final : public MessageSink
{
public:
    MsgButton Show(MsgKind, const QString &text, MsgButtons, const QString &) override
    {
        std::fprintf(stderr, "message box: %s\n", qPrintable(text));
        ++shown;
        return MsgButton::Ok;
    }
    int shown = 0;
};

double residentMiB()
{
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return double(resident) * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

void fillLog(int rows)
{
    dsrc->att.Exec(
        QStringLiteral(
            "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
            "INSERT INTO recorder (SYSTIME, CARDNO, MODE, READER, LOCK) "
            "SELECT datetime('2020-01-01', '+' || (i * 60) || ' seconds'), i % 5000, "
            "1 + i % 2, 1 + i % 8, i % 9 FROM n")
            .arg(rows - 1));
    dsrc->logs.Close();
}

// One start: the window built (databases opened, readers set up, grid filled), shown and
// painted once. Answers the milliseconds taken.
double startOnce(std::unique_ptr<TTimeRec> &window)
{
    QElapsedTimer timer;
    timer.start();
    window = std::make_unique<TTimeRec>();
    window->show();
    const QImage painted = window->grab().toImage();
    benchmark::DoNotOptimize(painted.constBits());
    return double(timer.nsecsElapsed()) / 1e6;
}

struct Case
{
    std::unique_ptr<TempData> data;
    double startMs = 0;
    double heldMiB = 0;
    int rowsShown = 0;
};

Case g_empty, g_large;

void prepare(Case &c, int rows)
{
    c.data = std::make_unique<TempData>(TempData::Open::Connections);
    if (rows > 0)
        fillLog(rows);
    c.data->CloseDatabases();
}

// The case's data folder and data module become the program's.
void makeCurrent(Case &c)
{
    dsrc = &c.data->Dsrc();
    DataPath = c.data->Dir();
    PhotoPath = QDir(DataPath).filePath(QStringLiteral("photos"));
}

// Measures one start over the case's log and what the window holds.
void measure(Case &c)
{
    makeCurrent(c);
    malloc_trim(0);
    const double before = residentMiB();
    std::unique_ptr<TTimeRec> window;
    c.startMs = startOnce(window);
    c.heldMiB = residentMiB() - before;
    c.rowsShown = window->LogModel()->rowCount();
    window.reset();
    c.data->CloseDatabases();
}

void BM_StartPainted(benchmark::State &state, Case *c)
{
    makeCurrent(*c);
    for (auto _ : state) {
        std::unique_ptr<TTimeRec> window;
        state.SetIterationTime(startOnce(window) / 1000.0);
        window.reset();
        c->data->CloseDatabases();
    }
}

} // namespace

int main(int argc, char **argv)
{
    BenchApplication app(argc, argv);
    CountingMessages messages;
    SetMessageSink(&messages);

    prepare(g_empty, 0);
    prepare(g_large, LogRows);
    // The empty log first, so the large one cannot profit from memory it left behind.
    measure(g_empty);
    measure(g_large);

    benchmark::RegisterBenchmark("start_painted/empty_log", BM_StartPainted, &g_empty)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond)
        ->Iterations(5);
    benchmark::RegisterBenchmark("start_painted/1M_log", BM_StartPainted, &g_large)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond)
        ->Iterations(5);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    std::printf("\nFirst start to a painted window (cold):\n");
    std::printf("  empty log        %8.1f ms, resident +%6.1f MiB, grid rows %d\n", g_empty.startMs,
                g_empty.heldMiB, g_empty.rowsShown);
    std::printf("  1,000,000 rows   %8.1f ms, resident +%6.1f MiB, grid rows %d\n", g_large.startMs,
                g_large.heldMiB, g_large.rowsShown);
    std::printf("  ratio large/empty start: %.2f (target: large at most 1000 ms)\n",
                g_large.startMs / std::max(g_empty.startMs, 0.001));
    std::printf("  memory held over the large log: %+.1f MiB more than over the empty one "
                "(target: at most 50 MB)\n",
                g_large.heldMiB - g_empty.heldMiB);
    std::printf("  message boxes shown: %d\n", messages.shown);
    dsrc = nullptr;
    g_large.data.reset();
    g_empty.data.reset();
    return 0;
}
