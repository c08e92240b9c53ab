// Requests meant to make the desk's memory grow: each leaves the process's resident memory
// within 100 MB of its idle figure, and a real desk answers swipes throughout.

#include "../desk_core/deskfixture.h"
#include "loopback.h"
#include "desk/webreport.h"

#include <httplib.h>

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr int LogRows = 40000;
constexpr long long Limit = 100LL * 1024 * 1024;

long long residentBytes()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stoll(line.substr(6)) * 1024;
    return 0;
}

// The highest resident figure while it lives, read every few milliseconds.
class PeakSampler
{
public:
    PeakSampler()
        : m_thread([this] {
              while (!m_stop) {
                  m_peak = std::max(m_peak.load(), residentBytes());
                  std::this_thread::sleep_for(2ms);
              }
          })
    {
    }
    ~PeakSampler() { stop(); }
    long long stop()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
        return std::max(m_peak.load(), residentBytes());
    }

private:
    std::atomic<bool> m_stop{false};
    std::atomic<long long> m_peak{0};
    std::thread m_thread;
};

class WebMemoryTest : public DeskCoreTest
{
protected:
    void SetUp() override
    {
        DeskCoreTest::SetUp();
        // Every row a holder of its own, so a page of the whole log would be all the log.
        dsrc->att.Exec(
            QStringLiteral("WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE "
                           "x < %1) INSERT INTO recorder (SYSTIME, CARDNO, MODE, READER, LOCK) "
                           "SELECT strftime('%Y-%m-%d %H:%M:%S', '2026-01-01', '+' || (x * 60) "
                           "|| ' seconds'), x, 1, 1, 0 FROM c")
                .arg(LogRows));
        // As a desk that has run for a while: the log folded back into its file.
        dsrc->att.Exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
        dsrc->logs.Refresh();
        m_sim = &AttachSim(1);
        ConfigureReader(1, ReaderRow{});
        AddStaff(Card, QStringLiteral("Ann"), {1});
        StartCore();
        ASSERT_TRUE(core->Reader(1)->Connected());
        m_web = std::make_unique<TWebReporter>(Data().AttendPath(), Data().SysdatPath());
        QString error;
        ASSERT_TRUE(m_web->Start(0, &error)) << error.toStdString();
    }
    void TearDown() override
    {
        m_web.reset();
        DeskCoreTest::TearDown();
    }

    // Runs the attack on its own thread while the desk is swiped at, a swipe at a time:
    // each must open the door within two seconds.
    void swipeThroughout(const std::function<void()> &attack)
    {
        std::atomic<bool> done{false};
        std::thread t([&] {
            attack();
            done = true;
        });
        int swipes = 0;
        while (!done || swipes < 3) {
            const std::size_t before = Texts(*m_sim).size();
            m_sim->SendCard(Card);
            const bool opened = SpinUntil(
                [&] {
                    const auto texts = Texts(*m_sim);
                    return texts.size() > before && texts.back() == "~Y3";
                },
                2000);
            EXPECT_TRUE(opened) << "swipe " << swipes;
            ++swipes;
            if (!opened)
                break;
            SpinFor(100);
        }
        t.join();
    }

    static constexpr int Card = 4711;
    ReaderSim *m_sim = nullptr;
    std::unique_ptr<TWebReporter> m_web;
};

// One request whose Range asks for the page a hundred times over.
void hundredRanges(int port)
{
    std::string range = "bytes=0-";
    for (int i = 1; i < 100; ++i)
        range += "," + std::to_string(i) + "-";
    httplib::Client client("127.0.0.1", port);
    client.set_read_timeout(30, 0);
    auto res = client.Get("/logs?2000000000", httplib::Headers{{"Range", range}});
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200);
}

// One header line that never ends, sent until the server stops taking it (at most 300 MB).
void endlessHeader(int port)
{
    const int fd = ConnectLoopback(port);
    ASSERT_GE(fd, 0);
    timeval tv{5, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
    std::string chunk = "GET /logs HTTP/1.1\r\nX-Filler: ";
    chunk.resize(64 * 1024, 'a');
    const auto until = Clock::now() + 20s;
    for (long long sent = 0; sent < 300LL * 1024 * 1024 && Clock::now() < until;) {
        const ssize_t n = ::send(fd, chunk.data(), chunk.size(), MSG_NOSIGNAL);
        if (n <= 0)
            break;
        sent += n;
        chunk.assign(chunk.size(), 'a');
    }
    ::close(fd);
}

// Sixteen clients at once, each asking for two billion rows.
void sixteenWholeLogs(int port)
{
    std::vector<std::thread> clients;
    for (int i = 0; i < 16; ++i)
        clients.emplace_back([port] {
            httplib::Client client("127.0.0.1", port);
            client.set_read_timeout(60, 0);
            auto res = client.Get("/logs?2000000000");
            ASSERT_TRUE(res) << httplib::to_string(res.error());
            EXPECT_EQ(res->status, 200);
        });
    for (auto &c : clients)
        c.join();
}

TEST_F(WebMemoryTest, GreedyRequestsLeaveMemoryBoundedAndTheDoorsWorking)
{
    struct Case
    {
        const char *name;
        void (*attack)(int port);
    };
    const Case cases[] = {{"a hundred overlapping ranges", hundredRanges},
                          {"one endless header line", endlessHeader},
                          {"sixteen pages of the whole log", sixteenWholeLogs}};
    // The idle figure: the desk running, the server having answered a page.
    {
        httplib::Client client("127.0.0.1", m_web->Port());
        ASSERT_TRUE(client.Get("/logs"));
    }
    const long long idle = residentBytes();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        PeakSampler sampler;
        swipeThroughout([&] { c.attack(m_web->Port()); });
        const long long peak = sampler.stop();
        EXPECT_LT(peak - idle, Limit)
            << "peak " << peak / 1048576 << " MB, idle " << idle / 1048576 << " MB";
        EXPECT_LT(residentBytes() - idle, Limit);
    }
}

} // namespace
