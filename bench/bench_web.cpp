// The web report under load, on loopback, over a log of 1,000,000 rows: "/logs" with 20 rows
// from 8 client threads (requests a second and latency), and the desk's swipe-to-door latency
// measured idle and again while that load runs, in the same run (the ratio is the figure).
//
// Usage: bench_web [--seconds=N] (load phase length, default 5; at most 60)

#include "testsupport/isolatedsettings.h"
#include "desk/deskcore.h"
#include "desk/webreport.h"
#include "readerlink/reader.h"
#include "store/datasrc.h"
#include "store/dbfile.h"
#include "store/messages.h"
#include "store/settings.h"
#include "testsupport/benchsupport.h"
#include "testsupport/readersim.h"
#include "testsupport/tempdata.h"

#include <httplib.h>

#include <QApplication>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int LogRows = 1000000;
constexpr int StaffRows = 10000;
constexpr int ClientThreads = 8;
constexpr int Swipes = 1000;
// Bounds: per client thread, and for the whole load phase.
constexpr int MaxRequestsPerThread = 100000;

void FillDatabases()
{
    FillDeskDatabases(LogRows, StaffRows);
}

// Swipes at reader 1, each timed from its last byte to the door command.
std::vector<double> SwipeLatencies(ReaderSim &sim, int count)
{
    std::vector<double> us;
    for (int k = 0; k < count; ++k) {
        const std::size_t n = sim.Received().size() + 1;
        const Clock::time_point sent = sim.SendCard(1 + k % StaffRows);
        const auto deadline = Clock::now() + std::chrono::seconds(5);
        while (!sim.WaitForFrames(n, 0) && Clock::now() < deadline)
            QCoreApplication::processEvents(QEventLoop::AllEvents);
        us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - sent).count());
        std::this_thread::sleep_for(std::chrono::microseconds(300));
    }
    return us;
}

struct Load
{
    std::atomic<bool> stop{false};
    std::atomic<int> failures{0};
    std::vector<std::vector<double>> latencyUs = std::vector<std::vector<double>>(ClientThreads);
    std::vector<std::thread> threads;

    void start(int port, const Clock::time_point &until)
    {
        for (int t = 0; t < ClientThreads; ++t) {
            threads.emplace_back([this, port, until, t] {
                // The clients stand in for browsers on other machines: they give way to the
                // desk as the server's threads do.
                ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), 10);
                httplib::Client client("127.0.0.1", port);
                client.set_keep_alive(true);
                client.set_read_timeout(5, 0);
                auto &lat = latencyUs[std::size_t(t)];
                for (int k = 0; k < MaxRequestsPerThread && !stop && Clock::now() < until; ++k) {
                    const auto sent = Clock::now();
                    auto res = client.Get("/logs?20");
                    if (!res || res->status != 200 ||
                        res->body.find("</body>") == std::string::npos) {
                        ++failures;
                        continue;
                    }
                    lat.push_back(
                        std::chrono::duration<double, std::micro>(Clock::now() - sent).count());
                }
            });
        }
    }
    void join()
    {
        stop = true;
        for (auto &t : threads)
            t.join();
        threads.clear();
    }
    std::vector<double> all() const
    {
        std::vector<double> v;
        for (const auto &l : latencyUs)
            v.insert(v.end(), l.begin(), l.end());
        return v;
    }
};

} // namespace

int main(int argc, char **argv)
{
    int seconds = 5;
    for (int i = 1; i < argc; ++i)
        if (std::strncmp(argv[i], "--seconds=", 10) == 0)
            seconds = std::clamp(std::atoi(argv[i] + 10), 1, 60);

    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir settingsDir;
    IsolateSettings(settingsDir);
    QApplication app(argc, argv);
    PrintedMessages messages;
    SetMessageSink(&messages);

    auto data = std::make_unique<TempData>();
    if (!data->IsValid()) {
        std::printf("FAILED: no data folder\n");
        return 1;
    }
    FillDatabases();
    ReaderSim sim;
    if (!sim.Start()) {
        std::printf("FAILED: reader simulator\n");
        return 1;
    }
    WriteRegString(QStringLiteral("COM1Device"), QString::fromStdString(sim.DevicePath()));
    for (int n = 2; n <= 8; ++n)
        WriteRegString(QStringLiteral("COM%1Device").arg(n), QStringLiteral("/nonexistent"));
    auto core = std::make_unique<TDeskCore>();
    core->SetupAllReaders();
    if (!core->Reader(1)->Connected()) {
        std::printf("FAILED: reader 1 not connected\n");
        return 1;
    }
    TWebReporter web(data->AttendPath(), data->SysdatPath());
    QString error;
    if (!web.Start(0, &error)) {
        std::printf("FAILED: %s\n", qPrintable(error));
        return 1;
    }

    // Baselines: the page built straight on two connections, and one client alone.
    std::vector<double> direct;
    {
        auto att = OpenDatabaseFile(data->AttendPath(), DbKind::Attend);
        auto sys = OpenDatabaseFile(data->SysdatPath(), DbKind::Sysdat);
        att->Exec(QStringLiteral("PRAGMA mmap_size=1073741824"));
        TWebReportPage page(*att, *sys);
        for (int k = 0; k < 200; ++k) {
            const auto s = Clock::now();
            page.Build(QStringLiteral("/logs"), {QStringLiteral("20")}, QStringLiteral("T"),
                       QDateTime::currentDateTime());
            direct.push_back(std::chrono::duration<double, std::micro>(Clock::now() - s).count());
        }
    }
    std::vector<double> single;
    {
        httplib::Client client("127.0.0.1", web.Port());
        for (int k = 0; k < 200; ++k) {
            const auto s = Clock::now();
            auto res = client.Get("/logs?20");
            if (res && res->status == 200)
                single.push_back(
                    std::chrono::duration<double, std::micro>(Clock::now() - s).count());
        }
    }
    std::printf("page built directly   p50 %8.1f us  p99 %8.1f us\n", Percentile(direct, 0.5),
                Percentile(direct, 0.99));
    std::printf("one client, loopback  p50 %8.1f us  p99 %8.1f us\n", Percentile(single, 0.5),
                Percentile(single, 0.99));

    SwipeLatencies(sim, 100); // warm-up
    const std::vector<double> idle = SwipeLatencies(sim, Swipes);

    // Web load alone.
    Load load;
    const auto t0 = Clock::now();
    load.start(web.Port(), t0 + std::chrono::seconds(seconds));
    for (auto &t : load.threads)
        t.join();
    load.threads.clear();
    const double elapsed = std::chrono::duration<double>(Clock::now() - t0).count();
    const std::vector<double> web1 = load.all();

    // Swipes while the same load runs.
    Load load2;
    load2.start(web.Port(), Clock::now() + std::chrono::seconds(120));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const std::vector<double> busy = SwipeLatencies(sim, Swipes);
    load2.join();
    const std::vector<double> web2 = load2.all();

    const double rps = double(web1.size()) / elapsed;
    const double p99 = Percentile(web1, 0.99) / 1000.0;
    const double i99 = Percentile(idle, 0.99), b99 = Percentile(busy, 0.99);
    std::printf("\n== /logs?20 over %d log rows, %d client threads, %d s ==\n", LogRows,
                ClientThreads, seconds);
    std::printf("requests          %zu (%d failed)\n", web1.size(), load.failures.load());
    std::printf("throughput        %.0f requests/s (need >= 1000)\n", rps);
    std::printf("latency           p50 %.2f ms  p99 %.2f ms  worst %.2f ms (need p99 <= 20)\n",
                Percentile(web1, 0.5) / 1000.0, p99,
                web1.empty() ? 0.0 : *std::max_element(web1.begin(), web1.end()) / 1000.0);
    std::printf("\n== Swipe to door command, %d swipes each ==\n", Swipes);
    std::printf("idle              p50 %8.1f us  p99 %8.1f us\n", Percentile(idle, 0.5), i99);
    std::printf(
        "under web load    p50 %8.1f us  p99 %8.1f us  (%zu requests meanwhile, %d failed)\n",
        Percentile(busy, 0.5), b99, web2.size(), load2.failures.load());
    std::printf("ratio loaded/idle p99 %.2f x (need <= 1.5)\n", i99 > 0 ? b99 / i99 : 0.0);

    const bool ok = rps >= 1000 && p99 <= 20 && i99 > 0 && b99 / i99 <= 1.5 && load.failures == 0 &&
                    load2.failures == 0;
    web.Stop();
    core.reset();
    sim.Stop();
    data.reset();
    SetMessageSink(nullptr);
    return ok ? 0 : 2;
}
