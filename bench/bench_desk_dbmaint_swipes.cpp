// Swipe answer times at the main window while "Backup Log Database" and "Restore Log Database"
// run on a log of 1,000,000 rows, side by side with the idle desk in the same run: a simulated
// reader swipes from its own thread, waits for the answer (at most 3 s, else the swipe counts
// as lost), pauses 50 ms and swipes again, while the window's main thread runs the command as
// an operator starts it. Idle, backup and restore take turns for the rounds asked.
//
// Usage: bench_desk_dbmaint_swipes [--rounds=N] (default 3)

#include "desk/deskcore.h"
#include "desk/timerec.h"
#include "readerlink/reader.h"
#include "store/datasrc.h"
#include "store/settings.h"
#include "testsupport/benchsupport.h"
#include "testsupport/fakefiledialogs.h"
#include "testsupport/readersim.h"
#include "testsupport/simports.h"
#include "testsupport/spin.h"
#include "testsupport/tempdata.h"

#include <QDir>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int LogRows = 1000000;
constexpr int StaffRows = 1000;
constexpr int LostAfterMs = 3000;
constexpr int PauseMs = 50;

// The answers the reader got so far.
std::size_t answers(const ReaderSim &sim)
{
    std::size_t n = 0;
    for (const ReaderSim::Frame &f : sim.Received())
        if (f.kind == ReaderSim::Frame::Text && f.payload.size() >= 2 && f.payload[0] == '~' &&
            (f.payload[1] == 'Y' || f.payload[1] == 'N'))
            ++n;
    return n;
}

// Swipes one card after another from its own thread while it lives.
class Swiper
{
public:
    explicit Swiper(ReaderSim &sim) : m_sim(sim)
    {
        m_thread = std::thread([this] {
            int card = 900000;
            while (!m_stop) {
                const std::size_t before = answers(m_sim);
                const Clock::time_point sent = m_sim.SendCard(card++);
                double ms = -1;
                while (Clock::now() - sent < std::chrono::milliseconds(LostAfterMs)) {
                    if (answers(m_sim) > before) {
                        ms = std::chrono::duration<double, std::milli>(Clock::now() - sent).count();
                        break;
                    }
                    std::this_thread::sleep_for(std::chrono::microseconds(500));
                }
                {
                    std::lock_guard<std::mutex> lock(m_mutex);
                    (ms < 0 ? m_lost : m_ms).push_back(ms);
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(PauseMs));
            }
        });
    }
    ~Swiper()
    {
        m_stop = true;
        m_thread.join();
    }
    // What was measured since the last call.
    void Take(std::vector<double> &ms, int &lost)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        ms.insert(ms.end(), m_ms.begin(), m_ms.end());
        lost += int(m_lost.size());
        m_ms.clear();
        m_lost.clear();
    }

private:
    ReaderSim &m_sim;
    std::atomic<bool> m_stop{false};
    std::mutex m_mutex;
    std::vector<double> m_ms;
    std::vector<double> m_lost;
    std::thread m_thread;
};

struct Phase
{
    const char *name;
    std::vector<double> ms;
    int lost = 0;
};

void print(const Phase &p, const Phase &idle)
{
    const double p99 = p.ms.empty() ? 0 : Percentile(p.ms, 0.99);
    const double idle99 = idle.ms.empty() ? 0 : Percentile(idle.ms, 0.99);
    std::printf("  %-8s %5zu answered %4d lost  p50 %8.1f ms  p99 %8.1f ms  max %8.1f ms  "
                "p99 / idle p99 %.1f\n",
                p.name, p.ms.size(), p.lost, p.ms.empty() ? 0 : Percentile(p.ms, 0.5), p99,
                p.ms.empty() ? 0 : *std::max_element(p.ms.begin(), p.ms.end()),
                p99 / std::max(idle99, 0.001));
}

} // namespace

int main(int argc, char **argv)
{
    BenchApplication app(argc, argv);
    const int rounds = RoundsArgument(argc, argv, 3);
    TempData data(TempData::Open::StartupDataSets);
    if (!data.IsValid()) {
        std::fprintf(stderr, "no database templates\n");
        return 1;
    }
    PointPortsNowhere();
    SimsByPort sims;
    ReaderSim &sim = AttachSimToPort(sims, 1);
    FillDeskDatabases(LogRows, StaffRows);
    EnableDeskReaders(1);
    SettleDeskDatabases();
    const QString backup = QDir(data.Dir()).filePath(QStringLiteral("backup.db"));

    FakeFileDialogs dialogs;
    Phase idle{"idle"}, backupPhase{"backup"}, restorePhase{"restore"};
    {
        TTimeRec window;
        window.SetLoggedIn(true);
        SpinFor(500);
        Swiper swiper(sim);
        for (int round = 0; round < rounds; ++round) {
            SpinFor(3000);
            swiper.Take(idle.ms, idle.lost);

            dialogs.QueueName(backup);
            window.actBupLogsExecute();
            SpinFor(300);
            swiper.Take(backupPhase.ms, backupPhase.lost);

            dialogs.QueueName(backup);
            window.actRstLogsExecute();
            SpinFor(300);
            swiper.Take(restorePhase.ms, restorePhase.lost);
        }
        SpinFor(LostAfterMs + 200);
        swiper.Take(restorePhase.ms, restorePhase.lost);
    }
    std::printf("Swipe to answer at a %d-row log, %d rounds (a swipe unanswered after %d ms is "
                "lost):\n",
                LogRows, rounds, LostAfterMs);
    print(idle, idle);
    print(backupPhase, idle);
    print(restorePhase, idle);
    for (auto &[port, s] : sims)
        s->Stop();
    return 0;
}
