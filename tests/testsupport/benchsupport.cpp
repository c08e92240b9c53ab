#include "testsupport/benchsupport.h"

#include "store/datasrc.h"
#include "store/widgetdefaults.h"
#include "testsupport/isolatedsettings.h"
#include "testsupport/readersim.h"

#include <QApplication>
#include <QDate>

#include <httplib.h>

#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

double Percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const auto i = static_cast<std::size_t>(p * double(v.size() - 1) + 0.5);
    return v[std::min(i, v.size() - 1)];
}

int RoundsArgument(int argc, char **argv, int fallback)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--rounds=", 9) == 0)
            return std::max(1, std::atoi(argv[i] + 9));
    }
    return fallback;
}

double MsOf(const std::function<void()> &work)
{
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

void PrintRatio(const char *what, const char *baseline, const std::vector<double> &oursMs,
                const std::vector<double> &baselineMs, double limit)
{
    const double o = Percentile(oursMs, 0.5), b = Percentile(baselineMs, 0.5);
    std::printf("%s: median %.2f ms\n%s: median %.2f ms\nratio %.2f (limit %.1f) %s\n\n", what, o,
                baseline, b, o / b, limit, o / b <= limit ? "WITHIN LIMIT" : "OVER LIMIT");
}

BenchApplication::BenchApplication(int &argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    IsolateSettings(m_settings);
    m_app = std::make_unique<QApplication>(argc, argv);
    InstallWidgetDefaults();
    SetMessageSink(&m_messages);
}

BenchApplication::~BenchApplication()
{
    SetMessageSink(nullptr);
}

double SwipeToAnswerUs(ReaderSim &sim, int card)
{
    using Clock = std::chrono::steady_clock;
    const std::size_t n = sim.Received().size() + 1;
    const Clock::time_point sent = sim.SendCard(card);
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    while (!sim.WaitForFrames(n, 0) && Clock::now() < deadline)
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    return std::chrono::duration<double, std::micro>(Clock::now() - sent).count();
}

std::vector<double> SwipeLatenciesUs(ReaderSim &sim, int count, int cards)
{
    std::vector<double> us;
    for (int k = 0; k < count; ++k) {
        us.push_back(SwipeToAnswerUs(sim, 1 + k % cards));
        std::this_thread::sleep_for(std::chrono::microseconds(300));
    }
    return us;
}

MsgButton PrintedMessages::Show(MsgKind, const QString &text, MsgButtons, const QString &)
{
    std::fprintf(stderr, "message: %s\n", qPrintable(text));
    return MsgButton::Ok;
}

void FillDeskDatabases(int logRows, int staffRows)
{
    TTransaction logTx(dsrc->att);
    dsrc->att.Exec(
        QStringLiteral(
            "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < %1) "
            "INSERT INTO recorder (SYSTIME, CARDNO, MODE, READER, LOCK) "
            "SELECT strftime('%Y-%m-%d %H:%M:%S', '2020-01-01', '+' || (x * 60) || ' seconds'), "
            "x % %2 + 1, 1 + x % 2, 1 + x % 8, 1 + x % 8 FROM c")
            .arg(logRows)
            .arg(staffRows));
    logTx.Commit();
    TTransaction staffTx(dsrc->src);
    dsrc->src.Exec(
        QStringLiteral(
            "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < %1) "
            "INSERT INTO staffs (CARDNO, NAME, WORKGRP, COM1, COM2, COM3, COM4, COM5, COM6, COM7, "
            "COM8) SELECT x, 'Staff ' || x, 1, 1, 1, 1, 1, 1, 1, 1, 1 FROM c")
            .arg(staffRows));
    staffTx.Commit();
    EnableDeskReaders(8);
    SettleDeskDatabases();
}

void SettleDeskDatabases()
{
    // A desk that has run for a while has its write-ahead logs folded back into the files,
    // not a hundred megabytes of freshly filled pages in them.
    dsrc->att.Exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
    dsrc->src.Exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
    dsrc->logs.Refresh();
    dsrc->logs.Last();
    dsrc->staff.Refresh();
}

void EnableDeskReaders(int readers)
{
    dsrc->src.Exec(QStringLiteral("UPDATE reader SET ENABLE=(PORTNO<=%1), OUTPORT=PORTNO, MODE=1, "
                                  "LOCKTIME=3, APB=0, CAPTURE=0, MOTION=-1")
                       .arg(readers));
}

void FillReportLog(int staff, int days, const QDate &firstDay)
{
    {
        TTransaction t(dsrc->src);
        TStatement s = dsrc->src.Prepare(
            QStringLiteral("insert into staffs (CARDNO, NAME, WORKGRP, COM1, COM2, COM3, COM4, "
                           "COM5, COM6, COM7, COM8) values (?, ?, 1, 1, 1, 1, 1, 1, 1, 1, 1)"));
        for (int i = 1; i <= staff; ++i) {
            s.Bind(1, i);
            s.Bind(2, QStringLiteral("Staff %1").arg(i, 4, 10, QChar(u'0')));
            s.Step();
            s.Reset();
        }
        t.Commit();
    }
    TTransaction t(dsrc->att);
    TStatement s = dsrc->att.Prepare(
        QStringLiteral("insert into recorder (SYSTIME, CARDNO, MODE, READER) values (?, ?, ?, 1)"));
    for (int d = 0; d < days; ++d) {
        const QString day = firstDay.addDays(d).toString(Qt::ISODate);
        for (int i = 1; i <= staff; ++i) {
            const QString late = QStringLiteral(" 09:0%1:00").arg((i + d) % 10);
            const QString over = QStringLiteral(" 17:%1:30").arg((i + d) % 50, 2, 10, QChar(u'0'));
            const QString times[] = {late, QStringLiteral(" 12:00:00"), QStringLiteral(" 13:00:00"),
                                     over};
            for (int k = 0; k < 4; ++k) {
                s.Bind(1, day + times[k]);
                s.Bind(2, i);
                s.Bind(3, k % 2 == 0 ? 1 : 2);
                s.Step();
                s.Reset();
            }
        }
    }
    t.Commit();
}

PageLoad::PageLoad(int clientThreads)
    : m_clients(clientThreads), m_latencyUs(std::size_t(clientThreads))
{
}

PageLoad::~PageLoad()
{
    Join();
}

void PageLoad::Start(int port, std::chrono::steady_clock::time_point until, int perSecond)
{
    using Clock = std::chrono::steady_clock;
    // A bound per client, whatever the deadline.
    constexpr int MaxRequestsPerThread = 100000;
    m_stop = false;
    for (int t = 0; t < m_clients; ++t) {
        m_threads.emplace_back([this, port, until, t, perSecond] {
            const sched_param none{};
            if (::sched_setscheduler(0, SCHED_IDLE, &none) != 0)
                ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), 19);
            httplib::Client client("127.0.0.1", port);
            client.set_keep_alive(true);
            client.set_read_timeout(5, 0);
            auto &lat = m_latencyUs[std::size_t(t)];
            const auto interval = perSecond > 0
                                      ? std::chrono::microseconds(1000000LL * m_clients / perSecond)
                                      : std::chrono::microseconds(0);
            // The clients' turns are staggered across one interval.
            auto next = Clock::now() + interval * t / m_clients;
            for (int k = 0; k < MaxRequestsPerThread && !m_stop && Clock::now() < until; ++k) {
                if (perSecond > 0) {
                    std::this_thread::sleep_until(next);
                    next += interval;
                }
                const auto sent = Clock::now();
                auto res = client.Get("/logs?20");
                if (!res || res->status != 200 || res->body.find("</body>") == std::string::npos) {
                    ++m_failures;
                    continue;
                }
                lat.push_back(
                    std::chrono::duration<double, std::micro>(Clock::now() - sent).count());
            }
        });
    }
}

void PageLoad::Wait()
{
    for (auto &t : m_threads)
        t.join();
    m_threads.clear();
}

void PageLoad::Join()
{
    m_stop = true;
    Wait();
}

std::vector<double> PageLoad::LatenciesUs() const
{
    std::vector<double> v;
    for (const auto &l : m_latencyUs)
        v.insert(v.end(), l.begin(), l.end());
    return v;
}
