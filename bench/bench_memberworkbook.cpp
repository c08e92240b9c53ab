// The "IN/OUT Pairs" workbook for 500 members over one year (four swipes a working day),
// against one bare ordered pass over the same records writing the same rows (a date cell and
// the times as text) with bare libxlsxwriter, measured side by side in one run; and the same
// workbook with the progress gauge against it without.

#include "desk/memberworkbook.h"
#include "store/datasrc.h"
#include "store/pgbar.h"
#include "testsupport/benchsupport.h"
#include "testsupport/tempdata.h"

#include <QDir>
#include <QFile>
#include <cstdio>
#include <cstring>
#include <memory>
#include <sqlite3.h>
#include <xlsxwriter.h>

namespace {

constexpr int Members = 500;
constexpr int Runs = 3;
const QDate First(2025, 1, 1), Last(2025, 12, 31);

void fill()
{
    TTransaction logTx(dsrc->att);
    dsrc->att.Exec(QStringLiteral(
        "WITH RECURSIVE d(n) AS (SELECT 0 UNION ALL SELECT n + 1 FROM d WHERE n < 364), "
        "m(c) AS (SELECT 1 UNION ALL SELECT c + 1 FROM m WHERE c < %1), "
        "t(s, mode) AS (VALUES ('08:00:00', 1), ('12:00:00', 2), ('13:00:00', 1), "
        "('17:00:00', 2)) "
        "INSERT INTO recorder (SYSTIME, CARDNO, MODE, READER, LOCK) "
        "SELECT date('2025-01-01', '+' || n || ' days') || ' ' || s, c, mode, 1, 1 "
        "FROM d, m, t").arg(Members));
    logTx.Commit();
    TTransaction staffTx(dsrc->src);
    dsrc->src.Exec(QStringLiteral(
        "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < %1) "
        "INSERT INTO staffs (CARDNO, NAME, WORKGRP) SELECT x, 'Member ' || x, 1 FROM c")
                       .arg(Members));
    staffTx.Commit();
    dsrc->att.Exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
    dsrc->src.Exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
}

// All staff over the year's range, the IN/OUT records, two pairs a line.
TReportScope yearScope()
{
    TReportScope scope;
    scope.Persons = TPersonsChoice::All;
    scope.Dates = TDateChoice::Range;
    scope.From = QDateTime(First, QTime(0, 0));
    scope.To = QDateTime(Last, QTime(0, 0));
    scope.RecordsOfInterest = 2;
    scope.PairsPerLine = 2;
    return scope;
}

const char *text(sqlite3_stmt *st, int col)
{
    const auto *p = sqlite3_column_text(st, col);
    return p ? reinterpret_cast<const char *>(p) : "";
}

void bare(const QString &attend, const QString &out)
{
    lxw_workbook_options options{};
    options.constant_memory = 1;
    lxw_workbook *book = workbook_new_opt(QFile::encodeName(out).constData(), &options);
    lxw_worksheet *sheet = workbook_add_worksheet(book, "all_records");
    lxw_format *date = workbook_add_format(book);
    format_set_num_format(date, "dd/mmm/yyyy");
    sqlite3 *db = nullptr;
    sqlite3_open_v2(QFile::encodeName(attend).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt *st = nullptr;
    sqlite3_prepare_v2(db,
                       "SELECT CARDNO, SYSTIME FROM recorder WHERE MODE > 0 "
                       "ORDER BY CARDNO, SYSTIME",
                       -1, &st, nullptr);
    lxw_row_t row = 0;
    int lastCard = -1;
    char lastDay[11] = "";
    int col = 0;
    while (sqlite3_step(st) == SQLITE_ROW) {
        const int card = sqlite3_column_int(st, 0);
        const char *t = text(st, 1);
        if (card != lastCard || std::strncmp(t, lastDay, 10) != 0) {
            ++row;
            lastCard = card;
            std::memcpy(lastDay, t, 10);
            int y, m, d;
            std::sscanf(t, "%d-%d-%d", &y, &m, &d);
            lxw_datetime day{y, m, d, 0, 0, 0};
            worksheet_write_datetime(sheet, row, 2, &day, date);
            col = 3;
        }
        worksheet_write_string(sheet, row, lxw_col_t(col++), t + 11, nullptr);
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    workbook_close(book);
}

} // namespace

int main(int argc, char **argv)
{
    BenchApplication app(argc, argv);
    TempData data;
    if (!data.IsValid()) {
        std::fprintf(stderr, "no database templates\n");
        return 1;
    }
    fill();
    const QDir dir(data.Dir());
    const TReportScope scope = yearScope();
    std::printf("IN/OUT Pairs workbook, %d members over one year\n\n", Members);
    std::vector<double> ours, gauged, baseline;
    for (int run = 0; run < Runs; ++run) {
        baseline.push_back(
            MsOf([&] { bare(data.AttendPath(), dir.filePath(QStringLiteral("bare.xlsx"))); }));
        ours.push_back(MsOf([&] {
            TMemberWorkbookExport exporter(TWorkbookKind::InOutPairs, scope);
            exporter.Run(dir.filePath(QStringLiteral("ours.xlsx")));
        }));
        // The gauge as the window shows it: made once the members are counted, a step and the
        // member's name in its title for each member.
        gauged.push_back(MsOf([&] {
            TMemberWorkbookExport exporter(TWorkbookKind::InOutPairs, scope);
            std::unique_ptr<Tpbar> bar;
            exporter.SetOnStart([&bar](int members) {
                bar = std::make_unique<Tpbar>(nullptr,
                                              QStringLiteral("Exporting (") +
                                                  QString::number(members) +
                                                  QStringLiteral(" members)"),
                                              members);
            });
            exporter.SetOnMember([&bar](const QString &name) {
                bar->StepIt();
                bar->setWindowTitle(QStringLiteral("Exporting: ") + name);
            });
            exporter.Run(dir.filePath(QStringLiteral("gauged.xlsx")));
        }));
    }
    PrintRatio("Per-member IN/OUT Pairs workbook", "one bare ordered pass + bare libxlsxwriter",
               ours, baseline, 3.0);
    PrintRatio("Per-member workbook with the gauge", "the same without it", gauged, ours, 1.05);
    return 0;
}
