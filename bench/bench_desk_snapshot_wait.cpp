// What a one-second snapshot wait costs the machine: the process's CPU time over the wait's
// wall time, for the desk's wait (the camera runs but never reports, so the wait lasts its
// whole second) and, side by side in the same run, for a wait that polls the event loop the
// way the desk used to. Target: the desk's wait takes at most 10% of one core.

#include "desk/deskcore.h"
#include "testsupport/benchsupport.h"
#include "testsupport/tempdata.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <ctime>
#include <map>
#include <memory>
#include <string>

namespace {

class SilentCamera final : public ICaptureControl
{
public:
    bool IsCapturing() const override { return true; }
};

double processCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

// Share of one core (percent) per wait, by benchmark.
std::map<std::string, double> g_share;

template <typename Wait> void measure(benchmark::State &state, const char *name, Wait wait)
{
    double cpu = 0, wall = 0;
    for (auto _ : state) {
        QElapsedTimer clock;
        const double cpu0 = processCpuSeconds();
        clock.start();
        wait();
        const double elapsed = double(clock.nsecsElapsed()) / 1e9;
        cpu += processCpuSeconds() - cpu0;
        wall += elapsed;
        state.SetIterationTime(elapsed);
    }
    const double share = wall > 0 ? 100.0 * cpu / wall : 0;
    state.counters["core_pct"] = share;
    g_share[name] = share;
}

struct Rig
{
    Rig() : data(std::make_unique<TempData>()), core(nullptr, &camera) {}
    SilentCamera camera;
    std::unique_ptr<TempData> data;
    TDeskCore core;
};

void BM_DeskSnapshotWait(benchmark::State &state)
{
    Rig rig;
    measure(state, "desk", [&] { rig.core.WaitForSnapshot(); });
}

// Reference: the same second spent polling the event loop for 10 ms slices.
void BM_PollingWait(benchmark::State &state)
{
    Rig rig;
    measure(state, "polling", [&] {
        QElapsedTimer waited;
        waited.start();
        while (!rig.core.SnapshotDone() && waited.elapsed() < 1000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    });
}

BENCHMARK(BM_DeskSnapshotWait)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_PollingWait)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace

int main(int argc, char **argv)
{
    BenchApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    const double desk = g_share["desk"];
    const double polling = g_share["polling"];
    std::printf("\nCPU during a one-second snapshot wait, share of one core:\n");
    std::printf("  desk's wait %6.2f %%  %s 10 %%\n", desk, desk <= 10 ? "<=" : "> (FAILS)");
    std::printf("  polling     %6.2f %%\n", polling);
    if (polling > 0)
        std::printf("  desk / polling = %.3f\n", desk / polling);
    return 0;
}
