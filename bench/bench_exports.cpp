// Exports of a log of 1,000,000 rows with 10,000 holders, each against a bare baseline measured
// side by side in the same run: the text export against one bare SQLite join writing the same
// lines; the workbook export against the bare query plus bare libxlsxwriter (constant memory)
// writing the same cells; and the cost of the progress gauge and the event loop in each.

#include "desk/logexport.h"
#include "store/datasrc.h"
#include "store/pgbar.h"
#include "testsupport/benchsupport.h"
#include "testsupport/tempdata.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <cstdio>
#include <fstream>
#include <sqlite3.h>
#include <string>
#include <xlsxwriter.h>

namespace {

constexpr int LogRows = 1000000;
constexpr int StaffRows = 10000;
constexpr int Runs = 3;

const char *const JoinSql =
    "SELECT r.SYSTIME, r.CARDNO, s.NAME, g.DESCX, r.MODE, r.READER, r.LOCK FROM recorder r "
    "LEFT JOIN sys.staffs s ON s.CARDNO = r.CARDNO LEFT JOIN sys.gid g ON g.ID = s.WORKGRP "
    "ORDER BY r.SYSTIME";

const char *modeText(int mode)
{
    return mode == 0 ? "CLOCK" : mode == 1 ? "IN" : mode == 2 ? "OUT" : "N/A";
}

// Walks the join on a connection of its own with the system file attached.
template <typename Row> void bareJoin(const QString &attend, const QString &sysdat, Row row)
{
    sqlite3 *db = nullptr;
    sqlite3_open_v2(QFile::encodeName(attend).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    const std::string attach =
        "ATTACH '" + std::string(QFile::encodeName(sysdat).constData()) + "' AS sys";
    sqlite3_exec(db, attach.c_str(), nullptr, nullptr, nullptr);
    sqlite3_stmt *st = nullptr;
    sqlite3_prepare_v2(db, JoinSql, -1, &st, nullptr);
    while (sqlite3_step(st) == SQLITE_ROW)
        row(st);
    sqlite3_finalize(st);
    sqlite3_close(db);
}

const char *text(sqlite3_stmt *st, int col)
{
    const auto *p = sqlite3_column_text(st, col);
    return p ? reinterpret_cast<const char *>(p) : "";
}

void bareText(const QString &attend, const QString &sysdat, const QString &out)
{
    FILE *f = std::fopen(QFile::encodeName(out).constData(), "wb");
    bareJoin(attend, sysdat, [f](sqlite3_stmt *st) {
        const bool known = sqlite3_column_type(st, 2) != SQLITE_NULL;
        std::fprintf(f, "%s %.9d \"%s\" \"%s\" {%s}\r\n", text(st, 0), sqlite3_column_int(st, 1),
                     known ? text(st, 2) : "[NO NAME]", known ? text(st, 3) : "[NO GROUP]",
                     modeText(sqlite3_column_int(st, 4)));
    });
    std::fclose(f);
}

void bareWorkbook(const QString &attend, const QString &sysdat, const QString &out)
{
    lxw_workbook_options options{};
    options.constant_memory = 1;
    lxw_workbook *book = workbook_new_opt(QFile::encodeName(out).constData(), &options);
    lxw_worksheet *sheet = workbook_add_worksheet(book, "RECORDS");
    lxw_format *date = workbook_add_format(book);
    format_set_num_format(date, "dd/mmm/yyyy");
    lxw_format *time = workbook_add_format(book);
    format_set_num_format(time, "hh:mm:ss");
    const char *headers[] = {"DATE", "TIME", "CARDNO", "NAME", "GROUP", "MODE", "READER", "LOCK"};
    for (int c = 0; c < 8; ++c)
        worksheet_write_string(sheet, 0, lxw_col_t(c), headers[c], nullptr);
    lxw_row_t row = 1;
    char port[16];
    bareJoin(attend, sysdat, [&](sqlite3_stmt *st) {
        int y, mo, d, h, mi, s;
        std::sscanf(text(st, 0), "%d-%d-%d %d:%d:%d", &y, &mo, &d, &h, &mi, &s);
        lxw_datetime day{y, mo, d, 0, 0, 0};
        worksheet_write_datetime(sheet, row, 0, &day, date);
        worksheet_write_number(sheet, row, 1, (h * 3600 + mi * 60 + s) / 86400.0, time);
        worksheet_write_number(sheet, row, 2, sqlite3_column_int(st, 1), nullptr);
        const bool known = sqlite3_column_type(st, 2) != SQLITE_NULL;
        worksheet_write_string(sheet, row, 3, known ? text(st, 2) : "[NO NAME]", nullptr);
        worksheet_write_string(sheet, row, 4, known ? text(st, 3) : "[NO GROUP]", nullptr);
        worksheet_write_string(sheet, row, 5, modeText(sqlite3_column_int(st, 4)), nullptr);
        std::snprintf(port, sizeof port, "COM%d", sqlite3_column_int(st, 5));
        worksheet_write_string(sheet, row, 6, port, nullptr);
        std::snprintf(port, sizeof port, "COM%d", sqlite3_column_int(st, 6));
        worksheet_write_string(sheet, row, 7, port, nullptr);
        ++row;
    });
    workbook_close(book);
}

// Resident memory now, in megabytes.
double currentMemoryMb()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stod(line.substr(6)) / 1024.0;
    return -1;
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
    FillDeskDatabases(LogRows, StaffRows);
    const QDir dir(data.Dir());
    const QString attend = data.AttendPath(), sysdat = data.SysdatPath();
    std::printf("Log of %d rows, %d holders\n\n", LogRows, StaffRows);

    std::vector<double> ours, bare, gauged, plain;
    double peakMb = 0, baseMb = 0;
    for (int run = 0; run < Runs; ++run) {
        bare.push_back(MsOf([&] { bareText(attend, sysdat, dir.filePath(QStringLiteral("bare.txt"))); }));
        baseMb = currentMemoryMb();
        ours.push_back(MsOf([&] {
            TLogExport exporter(dsrc->att, dsrc->src);
            // Resident memory sampled between batches.
            exporter.SetBetweenBatches(
                [&] { peakMb = std::max(peakMb, currentMemoryMb() - baseMb); });
            exporter.ExportText(dir.filePath(QStringLiteral("ours.txt")));
        }));
    }
    PrintRatio("Text export", "bare join writing the same lines", ours, bare, 3.0);
    std::printf("text export: resident memory grew by at most %.1f MB during the export (limit 100 MB)\n\n", peakMb);

    ours.clear();
    bare.clear();
    for (int run = 0; run < Runs; ++run) {
        bare.push_back(MsOf([&] { bareWorkbook(attend, sysdat, dir.filePath(QStringLiteral("bare.xlsx"))); }));
        ours.push_back(MsOf([&] {
            TLogExport exporter(dsrc->att, dsrc->src);
            exporter.ExportWorkbook(dir.filePath(QStringLiteral("ours.xlsx")));
        }));
    }
    PrintRatio("Workbook export", "bare query + bare libxlsxwriter (constant memory)", ours, bare,
               2.0);

    for (int run = 0; run < Runs; ++run) {
        plain.push_back(MsOf([&] {
            TLogExport exporter(dsrc->att, dsrc->src);
            exporter.ExportText(dir.filePath(QStringLiteral("plain.txt")));
        }));
        gauged.push_back(MsOf([&] {
            TLogExport exporter(dsrc->att, dsrc->src);
            Tpbar bar(nullptr, QStringLiteral("Export to text file"), LogRows);
            exporter.SetStep([&bar](int rows) { bar.StepBy(rows); });
            exporter.SetBetweenBatches([] { QCoreApplication::processEvents(); });
            exporter.ExportText(dir.filePath(QStringLiteral("gauged.txt")));
        }));
    }
    PrintRatio("Text export with the gauge and the event loop", "text export without them",
               gauged, plain, 1.05);

    plain.clear();
    gauged.clear();
    for (int run = 0; run < Runs; ++run) {
        plain.push_back(MsOf([&] {
            TLogExport exporter(dsrc->att, dsrc->src);
            exporter.ExportWorkbook(dir.filePath(QStringLiteral("plain.xlsx")));
        }));
        gauged.push_back(MsOf([&] {
            TLogExport exporter(dsrc->att, dsrc->src);
            Tpbar bar(nullptr, QStringLiteral("Export to Excel file"), LogRows);
            exporter.SetStep([&bar](int rows) { bar.StepBy(rows); });
            exporter.SetBetweenBatches([] { QCoreApplication::processEvents(); });
            exporter.ExportWorkbook(dir.filePath(QStringLiteral("gauged.xlsx")));
        }));
    }
    PrintRatio("Workbook export with the gauge and the event loop",
               "workbook export without them", gauged, plain, 1.05);
    return 0;
}
