// The pieces every report run starts with, each against bare SQLite on the same connection in
// the same run:
//  - one person's 100,000 log rows walked as IN/OUT pairs (`OpenStaffLogQuery` and
//    `NextInOutPair` to the end) against a bare sqlite3_step loop over the same rows reading
//    their time and mode;
//  - the "All dates" choice on a 1,000,000-row log (`GetScopeDateRange`) against
//    "select min(SYSTIME), max(SYSTIME) from recorder";
//  - "Remove All" of the pick list with 10,000 members against one UPDATE and one reload of
//    the list.
//
// Usage: bench_store_scope [--rounds=N] (default 7)

#include "store/dataset.h"
#include "store/datasrc.h"
#include "store/pairing.h"
#include "store/picklist.h"
#include "store/reportscope.h"
#include "testsupport/benchsupport.h"
#include "testsupport/tempdata.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <sqlite3.h>
#include <vector>

namespace {

constexpr int PersonRows = 100000;
constexpr int LogRows = 1000000;
constexpr int Members = 10000;

// Card 1 swipes eight times a day (IN/OUT in turn, a CLOCK row among them), the other cards
// fill the log up to LogRows rows around it.
void fillLog(TDatabase &att)
{
    TTransaction t(att);
    att.Exec(QStringLiteral(
                 "WITH RECURSIVE c(x) AS (SELECT 0 UNION ALL SELECT x + 1 FROM c WHERE x < %1) "
                 "INSERT INTO recorder (SYSTIME, CARDNO, MODE, READER, LOCK) "
                 "SELECT strftime('%Y-%m-%d %H:%M:%S', '1990-01-01', "
                 "'+' || (x / 8) || ' days', '+' || (7 + x % 8) || ' hours', "
                 "'+' || (x % 7) || ' minutes'), 1, CASE WHEN x % 8 = 5 THEN 0 ELSE 1 + x % 2 END, "
                 "1, 1 FROM c")
                 .arg(PersonRows - 1));
    att.Exec(QStringLiteral(
                 "WITH RECURSIVE c(x) AS (SELECT 0 UNION ALL SELECT x + 1 FROM c WHERE x < %1) "
                 "INSERT INTO recorder (SYSTIME, CARDNO, MODE, READER, LOCK) "
                 "SELECT strftime('%Y-%m-%d %H:%M:%S', '1990-01-01', '+' || (x * 37) || "
                 "' seconds'), 2 + x % 999, 1 + x % 2, 1 + x % 8, 1 + x % 8 FROM c")
                 .arg(LogRows - PersonRows - 1));
    t.Commit();
    att.Exec(QStringLiteral("ANALYZE"));
}

void fillStaff(TDatabase &src)
{
    TTransaction t(src);
    src.Exec(QStringLiteral(
                 "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < %1) "
                 "INSERT INTO staffs (CARDNO, NAME, WORKGRP, PICKED) "
                 "SELECT x, 'Staff ' || x, 1, 1 FROM c")
                 .arg(Members));
    t.Commit();
}

// ---- Walking one person's rows ------------------------------------------------------------

double walkMs(Tdsrc &data, int *pairs)
{
    return MsOf([&] {
        TDataSet staff(data.src, QStringLiteral("select * from staffs where CARDNO=1"));
        staff.Open();
        TDataSet log(data.att);
        TReptParam param;
        param.AllDates = true;
        OpenStaffLogQuery(staff, log, param);
        int n = 0;
        TInOutPair pair;
        while (!log.Eof()) {
            QDateTime day =
                WallClockFromDbText(log.FieldByName(QStringLiteral("SYSTIME")).AsString());
            while (day.isValid()) {
                const QDate date = day.date();
                if (NextInOutPair(log, day, pair, true))
                    ++n;
                if (!day.isValid() || day.date() != date)
                    break;
            }
        }
        *pairs = n;
    });
}

double bareWalkMs(sqlite3 *db, int *rows)
{
    return MsOf([&] {
        sqlite3_stmt *st = nullptr;
        sqlite3_prepare_v2(db, "select * from recorder where CARDNO=1 order by SYSTIME", -1, &st,
                           nullptr);
        int n = 0;
        long long modes = 0;
        while (sqlite3_step(st) == SQLITE_ROW) {
            if (sqlite3_column_text(st, 0))
                ++n;
            modes += sqlite3_column_int(st, 2);
        }
        sqlite3_finalize(st);
        benchmark::DoNotOptimize(modes);
        *rows = n;
    });
}

// ---- "All dates" --------------------------------------------------------------------------

double allDatesMs(Tdsrc &data, QString *range)
{
    TReportScope scope;
    scope.Dates = TDateChoice::All;
    TDataSet query(data.att);
    TReptParam param;
    const double ms = MsOf([&] { GetScopeDateRange(scope, query, param); });
    *range = param.FromDate.toString(Qt::ISODate) + QStringLiteral(" .. ") +
             param.ToDate.toString(Qt::ISODate);
    return ms;
}

double bareMinMaxMs(sqlite3 *db, QString *range)
{
    return MsOf([&] {
        sqlite3_stmt *st = nullptr;
        sqlite3_prepare_v2(db, "select min(SYSTIME), max(SYSTIME) from recorder", -1, &st, nullptr);
        if (sqlite3_step(st) == SQLITE_ROW)
            *range = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, 0))) +
                     QStringLiteral(" .. ") +
                     QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, 1)));
        sqlite3_finalize(st);
    });
}

// ---- "Remove All" -------------------------------------------------------------------------

void markAll(TDatabase &src)
{
    src.Exec(QStringLiteral("update staffs set PICKED=1"));
}

double removeAllMs(Tdsrc &data, TPickList &list, int *left)
{
    markAll(data.src);
    list.RefreshLists();
    const double ms = MsOf([&] { list.bremoveallClick(); });
    *left = list.Members().RecordCount();
    return ms;
}

// One UPDATE, then the list of the non-members read once, all four columns of every row.
double bareRemoveAllMs(sqlite3 *db, TDatabase &src, int *rows)
{
    markAll(src);
    return MsOf([&] {
        sqlite3_exec(db, "update staffs set PICKED=0 where PICKED<>0", nullptr, nullptr, nullptr);
        sqlite3_stmt *st = nullptr;
        sqlite3_prepare_v2(db,
                           "select SEQ,CARDNO,NAME,descx as WORKGROUP from staffs left join gid "
                           "on staffs.workgrp=gid.id where picked=0 order by NAME,NAME",
                           -1, &st, nullptr);
        int n = 0;
        while (sqlite3_step(st) == SQLITE_ROW) {
            for (int c = 0; c < 4; ++c)
                sqlite3_column_text(st, c);
            ++n;
        }
        sqlite3_finalize(st);
        *rows = n;
    });
}

} // namespace

int main(int argc, char **argv)
{
    const int rounds = RoundsArgument(argc, argv, 7);
    BenchApplication app(argc, argv);
    TempData data;
    if (!data.IsValid()) {
        std::fprintf(stderr, "no data folder\n");
        return 1;
    }
    Tdsrc &d = data.Dsrc();
    std::printf("filling %d log rows (%d of one person) and %d staff...\n", LogRows, PersonRows,
                Members);
    fillLog(d.att);
    fillStaff(d.src);
    SettleDeskDatabases();
    sqlite3 *att = d.att.Handle();
    sqlite3 *src = d.src.Handle();

    {
        std::vector<double> ours, bare;
        int pairs = 0, rows = 0;
        walkMs(d, &pairs);
        bareWalkMs(att, &rows);
        for (int r = 0; r < rounds; ++r) {
            ours.push_back(walkMs(d, &pairs));
            bare.push_back(bareWalkMs(att, &rows));
        }
        std::printf("one person: %d rows, %d IN/OUT pairs\n", rows, pairs);
        PrintRatio("NextInOutPair over one person's 100,000 rows",
                   "bare sqlite3_step loop over the same rows", ours, bare, 4);
    }
    {
        std::vector<double> ours, bare;
        QString mine, theirs;
        allDatesMs(d, &mine);
        bareMinMaxMs(att, &theirs);
        for (int r = 0; r < rounds; ++r) {
            ours.push_back(allDatesMs(d, &mine));
            bare.push_back(bareMinMaxMs(att, &theirs));
        }
        std::printf("\"All dates\": %s; the bare query: %s\n", qPrintable(mine),
                    qPrintable(theirs));
        PrintRatio("\"All dates\" on a 1,000,000-row log",
                   "select min(SYSTIME), max(SYSTIME) from recorder", ours, bare, 2);
    }
    {
        TPickList list;
        std::vector<double> ours, bare;
        int left = -1, rows = 0;
        removeAllMs(d, list, &left);
        bareRemoveAllMs(src, d.src, &rows);
        for (int r = 0; r < rounds; ++r) {
            ours.push_back(removeAllMs(d, list, &left));
            bare.push_back(bareRemoveAllMs(src, d.src, &rows));
        }
        std::printf("\"Remove All\": %d members left, %d non-members; the bare reload: %d rows\n",
                    left, list.Nonmembers().RecordCount(), rows);
        PrintRatio("\"Remove All\" with 10,000 members", "one UPDATE and one reload of the list",
                   ours, bare, 3);
    }
    return 0;
}
