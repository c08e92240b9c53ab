// Staff lookup by card over a staff table of 10,000 rows: GetStaffByCard against a bare
// prepared SQLite select of the same row, measured in the same run. A swipe and every line of
// the web report look a card up, so the lookup must stay far below a frame of the grid.

#include "store/db/sqlitedb.h"
#include "store/utils.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include "medianreporter.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <map>
#include <random>
#include <sqlite3.h>
#include <string>

namespace {

constexpr int StaffRows = 10000;
constexpr int Groups = 8;
constexpr double LimitMicroseconds = 20.0;

TDatabase *g_db = nullptr;

// Cards 100001.. in a shuffled order, so the lookups do not walk the index in sequence.
std::vector<int> g_cards;

int cardAt(size_t i)
{
    return g_cards[i % g_cards.size()];
}

QString findTemplate(const char *argv0)
{
    QStringList dirs;
    if (!qEnvironmentVariableIsEmpty("TALLYCLOCK_APP_DIR"))
        dirs << qEnvironmentVariable("TALLYCLOCK_APP_DIR");
    const QString self = QFileInfo(QString::fromLocal8Bit(argv0)).absolutePath();
    dirs << self + QStringLiteral("/../bin") << self;
    for (const QString &dir : dirs) {
        const QString path = QDir(dir).filePath(QStringLiteral("sysdat-b.db"));
        if (QFile::exists(path))
            return path;
    }
    return QString();
}

void fill(TDatabase &db)
{
    TTransaction tx(db);
    db.Exec(QStringLiteral("delete from staffs; delete from gid;"));
    TStatement group = db.Prepare(QStringLiteral("insert into gid (ID, DESCX) values (?, ?)"));
    for (int g = 1; g <= Groups; ++g) {
        group.Bind(1, g);
        group.Bind(2, QStringLiteral("Group %1").arg(g));
        group.Step();
        group.Reset();
    }
    TStatement staff = db.Prepare(
        QStringLiteral("insert into staffs (CARDNO, NAME, WORKGRP, COM1) values (?, ?, ?, 1)"));
    for (int i = 0; i < StaffRows; ++i) {
        staff.Bind(1, 100001 + i);
        staff.Bind(2, QStringLiteral("Staff %1").arg(i, 5, 10, QLatin1Char('0')));
        staff.Bind(3, 1 + i % Groups);
        staff.Step();
        staff.Reset();
    }
    tx.Commit();
    for (int i = 0; i < StaffRows; ++i)
        g_cards.push_back(100001 + i);
    std::shuffle(g_cards.begin(), g_cards.end(), std::mt19937(12345));
}

void BM_GetStaffByCard(benchmark::State &state)
{
    TStaffRec rec;
    size_t i = 0;
    for (auto _ : state) {
        const bool found = GetStaffByCard(*g_db, cardAt(i++), rec);
        benchmark::DoNotOptimize(found);
        benchmark::DoNotOptimize(rec.Name.constData());
    }
}

// The baseline: one statement prepared once, the row read as raw UTF-8.
void BM_BarePreparedSelect(benchmark::State &state)
{
    sqlite3_stmt *stmt = nullptr;
    sqlite3_prepare_v2(g_db->Handle(),
                       "select name, descx from staffs, gid where staffs.cardno=? and "
                       "staffs.workgrp=gid.id",
                       -1, &stmt, nullptr);
    size_t i = 0;
    for (auto _ : state) {
        sqlite3_bind_int(stmt, 1, cardAt(i++));
        const bool found = sqlite3_step(stmt) == SQLITE_ROW;
        benchmark::DoNotOptimize(found);
        benchmark::DoNotOptimize(sqlite3_column_text(stmt, 0));
        benchmark::DoNotOptimize(sqlite3_column_text(stmt, 1));
        sqlite3_reset(stmt);
    }
    sqlite3_finalize(stmt);
}

BENCHMARK(BM_GetStaffByCard)->Repetitions(15)->ReportAggregatesOnly(true);
BENCHMARK(BM_BarePreparedSelect)->Repetitions(15)->ReportAggregatesOnly(true);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);

    const QString templ = findTemplate(argv[0]);
    if (templ.isEmpty()) {
        std::fprintf(stderr, "sysdat-b.db not found (set TALLYCLOCK_APP_DIR)\n");
        return 2;
    }
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("sysdat.db"));
    QFile::copy(templ, path);
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    TDatabase db;
    db.Open(path, DbKind::Sysdat);
    fill(db);
    g_db = &db;

    TStaffRec check;
    if (!GetStaffByCard(db, 100001, check) || check.Name != QStringLiteral("Staff 00000")) {
        std::fprintf(stderr, "lookup does not find the first staff row\n");
        return 2;
    }

    MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    const double lookup = reporter.medianNs["BM_GetStaffByCard"];
    const double bare = reporter.medianNs["BM_BarePreparedSelect"];
    if (lookup <= 0 || bare <= 0)
        return 0; // filtered out
    const double lookupUs = lookup / 1000.0;
    std::printf("\nGetStaffByCard over %d staff rows: median %.2f us a lookup (limit %.0f us)\n",
                StaffRows, lookupUs, LimitMicroseconds);
    std::printf("bare prepared select of the same row: median %.2f us\n", bare / 1000.0);
    std::printf("ratio GetStaffByCard / bare select: %.2f\n", lookup / bare);
    std::printf("%s\n", lookupUs <= LimitMicroseconds ? "WITHIN LIMIT" : "OVER LIMIT");
    return lookupUs <= LimitMicroseconds ? 0 : 1;
}
