// The offline reader manager against its baselines, measured side by side in one run:
// - a download of 2,000 stored records (10% invalid, 10% already in the log) from a simulated
//   reader that answers at once, into a log of 1,000,000 rows against the same download into
//   an empty log, and the host's time a record against one exchange's line time;
// - the card pages for 10,000 staff (photos stored) against a bare select of the columns the
//   pages carry;
// - the processor time the desk takes while a session waits on a silent reader.

#include "readerlink/offlinesession.h"
#include "readerlink/reader.h"
#include "store/datasrc.h"
#include "store/settings.h"
#include "testsupport/benchsupport.h"
#include "testsupport/readersim.h"
#include "testsupport/simreader.h"
#include "testsupport/tempdata.h"

#include <QElapsedTimer>

#include <cstdio>
#include <sys/resource.h>

namespace {

constexpr int Port = 3;
constexpr int Records = 2000;
constexpr int BigLog = 1000000;
constexpr int Staff = 10000;
// One exchange on the line: a 7-byte fetch and a 15-byte reply with their envelopes, at
// 1,920 bytes a second.
constexpr double LineMsPerRecord = (7 + 3 + 15) * 1000.0 / 1920.0;

double CpuMs()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1e3 +
           (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e3;
}

// The stored records: every tenth without a time, every tenth (offset by five) one that the
// log already holds.
void LoadReader(ReaderSim &sim)
{
    for (int i = 0; i < Records; ++i) {
        const ReaderSim::Time t{2026, 6, 1 + i / 1440, (i / 60) % 24, i % 60, 0};
        sim.AddLog(0x00, 500000 + i, i % 10 == 0 ? 0 : ReaderSim::PackTime(t));
    }
}

void AddDuplicates()
{
    TTransaction tx(dsrc->att);
    for (int i = 5; i < Records; i += 10) {
        TStatement st = dsrc->att.Prepare(QStringLiteral(
            "insert into recorder (SYSTIME, CARDNO, MODE, READER, LOCK) values (?1, ?2, 1, 1, 0)"));
        st.Bind(1, QStringLiteral("2026-06-%1 %2:%3:00")
                       .arg(1 + i / 1440, 2, 10, QLatin1Char('0'))
                       .arg((i / 60) % 24, 2, 10, QLatin1Char('0'))
                       .arg(i % 60, 2, 10, QLatin1Char('0')));
        st.Bind(2, 500000 + i);
        st.Step();
    }
    tx.Commit();
}

void FillLog(int rows)
{
    TTransaction tx(dsrc->att);
    dsrc->att.Exec(
        QStringLiteral("WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < "
                       "%1) INSERT INTO recorder (SYSTIME, CARDNO, MODE, READER, LOCK) SELECT "
                       "strftime('%Y-%m-%d %H:%M:%S', '2020-01-01', '+' || (x * 60) || ' "
                       "seconds'), x % 5000 + 1, 1, 1, 0 FROM c")
            .arg(rows));
    tx.Commit();
    dsrc->att.Exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
}

struct Desk
{
    explicit Desk(ReaderSim &sim)
    {
        ConnectToSim(reader, sim, Port);
        session.SetReader(&reader);
    }
    ~Desk() { reader.SetConnected(false); }
    TRfidReader reader;
    TOfflineSession session;
};

// One download into the log as it stands; the added rows are taken out again afterwards.
double DownloadMs(ReaderSim &sim, Desk &desk, TDownloadCounts &counts)
{
    LoadReader(sim);
    QElapsedTimer timer;
    timer.start();
    desk.session.Download(true, &counts);
    const double ms = double(timer.nsecsElapsed()) / 1e6;
    dsrc->att.Exec(QStringLiteral("delete from recorder where READER = %1").arg(Port));
    dsrc->logs.Refresh();
    return ms;
}

std::vector<double> Downloads(ReaderSim &sim, Desk &desk, int runs, TDownloadCounts &counts)
{
    std::vector<double> ms;
    for (int r = 0; r < runs; ++r)
        ms.push_back(DownloadMs(sim, desk, counts));
    return ms;
}

void BenchDownload(ReaderSim &sim)
{
    constexpr int Runs = 3;
    TDownloadCounts counts;
    std::vector<double> emptyMs, bigMs;
    {
        TempData data;
        AddDuplicates();
        dsrc->logs.Refresh();
        Desk desk(sim);
        emptyMs = Downloads(sim, desk, Runs, counts);
    }
    {
        TempData data;
        FillLog(BigLog);
        AddDuplicates();
        dsrc->logs.Refresh();
        dsrc->logs.Last();
        Desk desk(sim);
        bigMs = Downloads(sim, desk, Runs, counts);
    }
    std::printf("Download of %d records (added %d, duplicated %d, invalid %d):\n", Records,
                counts.Added, counts.Duplicated, counts.Invalid);
    PrintRatio("into a 1,000,000-row log", "into an empty log", bigMs, emptyMs, 1.5);
    const double perRecord = Percentile(bigMs, 0.5) / Records;
    std::printf("  host time a record   %6.2f ms against %.1f ms of line time (limit 15 ms)\n",
                perRecord, LineMsPerRecord);
}

void BenchCardPages()
{
    TempData data;
    {
        TTransaction tx(dsrc->src);
        dsrc->src.Exec(
            QStringLiteral(
                "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < %1) "
                "INSERT INTO staffs (CARDNO, NAME, PHOTO, COM1, COM3) SELECT x, 'Staff ' || "
                "((x * 7919) % %1), randomblob(20000), x % 2, 1 FROM c")
                .arg(Staff));
        tx.Commit();
        dsrc->src.Exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
    }
    std::vector<double> pagesMs, bareMs;
    std::size_t pages = 0;
    for (int r = 0; r < 5; ++r) {
        bareMs.push_back(MsOf([] {
            TStatement st = dsrc->src.Prepare(
                QStringLiteral("select CARDNO, NAME, COM1, COM2, COM3, COM4, COM5, COM6, COM7, "
                               "COM8 from staffs order by NAME"));
            long long sum = 0;
            while (st.Step())
                sum += st.ColumnInt64(0) + st.ColumnText(1).size() + st.ColumnInt64(4);
            if (sum == 42)
                std::printf(" ");
        }));
        pagesMs.push_back(MsOf([&] {
            pages = TOfflineSession::LayCardPages(TOfflineSession::ReadCardRows(Port)).size();
        }));
    }
    std::printf("Card pages for %d staff with photos (%zu pages):\n", Staff, pages);
    PrintRatio("all card pages", "bare select", pagesMs, bareMs, 2.0);
}

void BenchSilentWait(ReaderSim &sim)
{
    TempData data;
    Desk desk(sim);
    sim.SetSilent(true);
    const double cpu0 = CpuMs();
    QElapsedTimer timer;
    timer.start();
    desk.session.SetClock(); // three unanswered lock tries
    const double wallMs = double(timer.nsecsElapsed()) / 1e6;
    const double cpuMs = CpuMs() - cpu0;
    sim.SetSilent(false);
    std::printf("Waiting on a silent reader: %.0f ms of processor time in %.0f ms, %.1f%% of one "
                "core (limit 10%%)\n",
                cpuMs, wallMs, 100.0 * cpuMs / wallMs);
}

} // namespace

int main(int argc, char **argv)
{
    BenchApplication app(argc, argv);
    ReaderSim sim;
    if (!sim.Start()) {
        std::fprintf(stderr, "%s\n", sim.ErrorText().c_str());
        return 1;
    }
    BenchSilentWait(sim);
    BenchCardPages();
    BenchDownload(sim);
    return 0;
}
