// Appending one swipe to a log of 1,000,000 rows through the shared log dataset `logs`
// (Append, five fields, Post: one durable commit), against a bare SQLite INSERT and COMMIT of
// the same row on the same file with the same settings, measured side by side in one run.
// Targets: median at most 1 ms, and at most 1.5 x the bare insert.

#include "store/datasrc.h"
#include "store/logrow.h"
#include "store/dbfile.h"
#include "testsupport/tempdata.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdio>
#include <malloc.h>
#include <sqlite3.h>
#include <vector>

namespace {

// Bytes taken from the heap, large blocks (which malloc maps separately) included.
size_t heapInUse()
{
    const struct mallinfo2 m = mallinfo2();
    return m.uordblks + m.hblkhd;
}

constexpr int LogRows = 1000000;

struct Bench
{
    QTemporaryDir dir;
    std::unique_ptr<Tdsrc> data;
    sqlite3 *bare = nullptr;
    sqlite3_stmt *insert = nullptr;
    qint64 seconds = 0;
    double openMs = 0;
    double openHeapMiB = 0;
    bool ready = false;

    Bench()
    {
        const QString attend = QDir(dir.path()).filePath(AttendFileName());
        if (!QFile::copy(QDir(TempData::TemplateDir()).filePath(AttendTemplateName()), attend)) {
            std::fprintf(stderr, "no template in %s\n", qPrintable(TempData::TemplateDir()));
            return;
        }
        QFile::setPermissions(attend, QFile::ReadOwner | QFile::WriteOwner);
        data = std::make_unique<Tdsrc>();
        data->OpenAttend(attend);
        data->att.Exec(
            QStringLiteral(
                "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
                "INSERT INTO recorder (SYSTIME, CARDNO, MODE, READER, LOCK) "
                "SELECT datetime('2020-01-01', '+' || (i * 60) || ' seconds'), i % 5000, 1 + i % "
                "2, "
                "1 + i % 8, 0 FROM n")
                .arg(LogRows - 1));
        const size_t heapBefore = heapInUse();
        const auto start = std::chrono::steady_clock::now();
        data->logs.Open();
        openMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                     .count();
        openHeapMiB = double(heapInUse() - heapBefore) / (1 << 20);
        data->logs.Last();

        // The baseline: SQLite alone, WAL journal and synchronous FULL like the program.
        sqlite3_open_v2(attend.toUtf8().constData(), &bare, SQLITE_OPEN_READWRITE, nullptr);
        sqlite3_busy_timeout(bare, TDatabase::BusyTimeoutMs);
        sqlite3_exec(bare, "PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL", nullptr, nullptr,
                     nullptr);
        sqlite3_prepare_v2(bare,
                           "INSERT INTO recorder (SYSTIME, CARDNO, MODE, READER, LOCK) "
                           "VALUES (?, ?, ?, ?, ?)",
                           -1, &insert, nullptr);
        seconds = QDateTime(QDate(2030, 1, 1), QTime(0, 0)).toSecsSinceEpoch();
        ready = data->logs.RecordCount() == LogRows && insert;
    }
    ~Bench()
    {
        sqlite3_finalize(insert);
        sqlite3_close(bare);
    }

    QDateTime nextMoment() { return QDateTime::fromSecsSinceEpoch(++seconds); }

    void appendThroughLogs()
    {
        AppendLogRow(data->logs, {nextMoment(), 123456, 1, 3, 0});
    }

    void bareInsertCommit()
    {
        const QByteArray when = DateTimeToDbText(nextMoment()).toUtf8();
        sqlite3_exec(bare, "BEGIN", nullptr, nullptr, nullptr);
        sqlite3_bind_text(insert, 1, when.constData(), static_cast<int>(when.size()),
                          SQLITE_TRANSIENT);
        sqlite3_bind_int64(insert, 2, 123456);
        sqlite3_bind_int64(insert, 3, 1);
        sqlite3_bind_int64(insert, 4, 3);
        sqlite3_bind_int64(insert, 5, 0);
        sqlite3_step(insert);
        sqlite3_reset(insert);
        sqlite3_exec(bare, "COMMIT", nullptr, nullptr, nullptr);
    }
};

Bench *bench = nullptr;

void BM_BareInsertCommit(benchmark::State &state)
{
    for (auto _ : state)
        bench->bareInsertCommit();
}

void BM_LogsAppendPost(benchmark::State &state)
{
    for (auto _ : state)
        bench->appendThroughLogs();
}

BENCHMARK(BM_BareInsertCommit)->Unit(benchmark::kMicrosecond)->Iterations(500);
BENCHMARK(BM_LogsAppendPost)->Unit(benchmark::kMicrosecond)->Iterations(500);

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

template <typename F> double timeOnce(F &&f)
{
    const auto start = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start)
        .count();
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    Bench b;
    if (!b.ready) {
        std::fprintf(stderr, "could not prepare the 1,000,000-row log\n");
        return 1;
    }
    bench = &b;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();

    // Side by side, alternating, so that both see the same disk and cache.
    constexpr int Samples = 2000;
    std::vector<double> bare, logs;
    for (int i = 0; i < Samples; ++i) {
        bare.push_back(timeOnce([&] { b.bareInsertCommit(); }));
        logs.push_back(timeOnce([&] { b.appendThroughLogs(); }));
    }
    const double bareMedian = median(bare);
    const double logsMedian = median(logs);
    const double ratio = logsMedian / bareMedian;
    std::printf("\nAppend of one row to a %d-row attend.db, committed durably (%d samples each):\n",
                LogRows, Samples);
    std::printf("  bare SQLite INSERT + COMMIT  median %8.1f us\n", bareMedian);
    std::printf("  logs Append + Post           median %8.1f us   (target <= 1000 us: %s)\n",
                logsMedian, logsMedian <= 1000.0 ? "met" : "MISSED");
    std::printf("  ratio logs / bare            %8.2f      (target <= 1.50: %s)\n", ratio,
                ratio <= 1.5 ? "met" : "MISSED");
    std::printf("  rows in logs now            %d\n", b.data->logs.RecordCount());
    std::printf("  opening logs over %d rows: %.0f ms, %.1f MiB of heap\n", LogRows, b.openMs,
                b.openHeapMiB);
    benchmark::Shutdown();
    return 0;
}
