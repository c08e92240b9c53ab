// Requests meant to make the desk's memory grow: each leaves the process's resident memory
// within 100 MB of its idle figure, and a real desk answers swipes throughout.

#include "../desk_core/deskfixture.h"
#include "loopback.h"
#include "desk/web/webreport.h"
#include "testsupport/residentmemory.h"

#include <httplib.h>

#include <gtest/gtest.h>

#include <QProcess>
#include <QStringList>

#include <dirent.h>
#include <sys/resource.h>
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
        AddStaff({.card = Card, .name = QStringLiteral("Ann"), .ports = {1}});
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
    const long long idle = ResidentBytes();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        PeakSampler sampler;
        swipeThroughout([&] { c.attack(m_web->Port()); });
        const long long peak = sampler.Stop();
        EXPECT_LT(peak - idle, Limit)
            << "peak " << peak / 1048576 << " MB, idle " << idle / 1048576 << " MB";
        EXPECT_LT(ResidentBytes() - idle, Limit);
    }
}

int openDescriptors()
{
    int count = 0;
    if (DIR *dir = ::opendir("/proc/self/fd")) {
        while (const dirent *entry = ::readdir(dir))
            count += entry->d_name[0] != '.' ? 1 : 0;
        ::closedir(dir);
    }
    return count - 1; // the listing's own
}

// A client in a process of its own (so its sockets are not the desk's): it opens 3,000
// connections, sends a whole request head on each, never reads an answer, holds them for two
// seconds and closes them all.
const char *const FloodClient = R"(
import resource, socket, sys, time
soft, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
resource.setrlimit(resource.RLIMIT_NOFILE, (hard, hard))
port = int(sys.argv[1])
head = b"GET /logs HTTP/1.1\r\nHost: desk\r\n\r\n"
socks = []
for i in range(3000):
    try:
        s = socket.create_connection(("127.0.0.1", port), timeout=2)
        s.setblocking(False)
        s.send(head)
        socks.append(s)
    except OSError:
        pass
time.sleep(2)
for s in socks:
    s.close()
)";

// A desk allowed the usual 1,024 descriptors: a flood of request heads never takes more than
// the server's share of them, the doors keep working, and a page is served right after.
TEST_F(WebMemoryTest, FloodOfRequestHeadsTakesOnlyTheServersShareOfDescriptors)
{
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
    rlimit desk = saved;
    desk.rlim_cur = std::min<rlim_t>(1024, saved.rlim_max);
    m_web->Stop();
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &desk), 0);
    QString error;
    const bool started = m_web->Start(0, &error);
    ::setrlimit(RLIMIT_NOFILE, &saved); // the client gets the machine's own limit
    ASSERT_TRUE(started) << error.toStdString();
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &desk), 0);
    const int before = openDescriptors();
    const int bound = int(desk.rlim_cur / 2);

    std::atomic<int> most{0};
    std::atomic<bool> stop{false};
    std::thread counter([&] {
        while (!stop) {
            most = std::max(most.load(), openDescriptors());
            std::this_thread::sleep_for(5ms);
        }
    });
    Clock::time_point clientGone;
    swipeThroughout([&] {
        QProcess client;
        client.start(QStringLiteral("/usr/bin/python3"),
                     {QStringLiteral("-c"), QString::fromLatin1(FloodClient),
                      QString::number(m_web->Port())});
        ASSERT_TRUE(client.waitForStarted(5000));
        ASSERT_TRUE(client.waitForFinished(60000));
        EXPECT_EQ(client.exitCode(), 0) << client.readAllStandardError().toStdString();
        clientGone = Clock::now();
    });
    stop = true;
    counter.join();
    EXPECT_LE(most.load(), before + bound) << "descriptors before the flood: " << before;

    httplib::Client page("127.0.0.1", m_web->Port());
    page.set_read_timeout(5, 0);
    auto res = page.Get("/logs");
    const auto served = Clock::now();
    ::setrlimit(RLIMIT_NOFILE, &saved);
    ASSERT_TRUE(res) << httplib::to_string(res.error());
    EXPECT_EQ(res->status, 200);
    EXPECT_LT(served - clientGone, 1s);
}

} // namespace
