// Latency of one received byte: from the far end of a pseudo-terminal writing it to the serial
// component's received-characters notification running on the main thread, against the bare
// kernel path (the same write woken up by a poll() on the device in the same run). A swipe
// must reach the desk well under a millisecond after its last byte.

#include "readerlink/serialport.h"
#include "testsupport/pty.h"

#include <QCoreApplication>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <map>
#include <poll.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr double LimitMicroseconds = 1000.0;
using Clock = std::chrono::steady_clock;

class TimedPort : public TCustomSerialPort
{
public:
    bool arrived = false;

protected:
    void DoRxChar(int count) override
    {
        QByteArray bytes;
        ReadStr(bytes, count);
        arrived = true;
    }
};

void percentiles(benchmark::State &state, std::vector<double> &us)
{
    if (us.empty())
        return;
    std::sort(us.begin(), us.end());
    state.counters["p50_us"] = us[us.size() / 2];
    state.counters["p99_us"] = us[us.size() * 99 / 100];
    state.counters["max_us"] = us.back();
}

// The kernel alone: write on the master, wake from poll() on the device side, read.
void BM_BarePtyWake(benchmark::State &state)
{
    PtyPair pty;
    const int fd = ::open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    TCustomSerialPort raw; // only to put the line in raw mode as the component would
    raw.SetPort(QString::fromStdString(pty.SlavePath()));
    raw.SetEvents({});
    raw.Open();
    std::vector<double> us;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        pty.WriteMaster("x");
        pollfd p{fd, POLLIN, 0};
        ::poll(&p, 1, 1000);
        char c;
        benchmark::DoNotOptimize(::read(fd, &c, 1));
        us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
    }
    percentiles(state, us);
    ::close(fd);
}

// The component: event thread, hand-over to the main thread, notification, read.
void BM_ComponentRxChar(benchmark::State &state)
{
    PtyPair pty;
    TimedPort port;
    port.SetPort(QString::fromStdString(pty.SlavePath()));
    port.SetBaudRate(br19200);
    port.Open();
    std::vector<double> us;
    for (auto _ : state) {
        port.arrived = false;
        const auto t0 = Clock::now();
        pty.WriteMaster("x");
        while (!port.arrived)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
    }
    percentiles(state, us);
}

BENCHMARK(BM_BarePtyWake)->UseRealTime()->Unit(benchmark::kMicrosecond)->Iterations(5000);
BENCHMARK(BM_ComponentRxChar)->UseRealTime()->Unit(benchmark::kMicrosecond)->Iterations(5000);

class KeepingReporter : public benchmark::ConsoleReporter
{
public:
    std::map<std::string, double> realNs;
    std::map<std::string, double> p99Us;
    void ReportRuns(const std::vector<Run> &runs) override
    {
        for (const Run &r : runs) {
            realNs[r.benchmark_name()] = r.GetAdjustedRealTime() * 1000.0; // unit is us
            const auto it = r.counters.find("p99_us");
            if (it != r.counters.end())
                p99Us[r.benchmark_name()] = it->second;
        }
        ConsoleReporter::ReportRuns(runs);
    }
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    KeepingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    double bare = 0, component = 0, componentP99 = 0;
    for (const auto &[name, ns] : reporter.realNs) {
        if (name.rfind("BM_BarePtyWake", 0) == 0)
            bare = ns;
        if (name.rfind("BM_ComponentRxChar", 0) == 0) {
            component = ns;
            componentP99 = reporter.p99Us[name];
        }
    }
    if (bare <= 0 || component <= 0)
        return 0; // filtered run
    std::printf("\nbyte written -> notification on the main thread: mean %.1f us, p99 %.1f us "
                "(limit %.0f us)\n",
                component / 1000.0, componentP99, LimitMicroseconds);
    std::printf("bare kernel wake of the same write: mean %.1f us\n", bare / 1000.0);
    std::printf("ratio component / bare wake: %.2f\n", component / bare);
    std::printf("%s\n", componentP99 <= LimitMicroseconds ? "WITHIN LIMIT" : "OVER LIMIT");
    return 0;
}
