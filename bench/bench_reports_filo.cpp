// The first-in/last-out report of 500 staff over one month of a 1,000,000-row log, written as
// a PDF through the engine (queries, lines, composition and drawing), against drawing the very
// same lines with QPainter::drawText into a QPdfWriter (measured in the same run). Then the
// memory a one-year run of the same staff takes (resident set growth).
//
// Usage: bench_reports_filo [--rounds=N] (default 3)

#include "reportlines.h"
#include "reports/repfilo.h"
#include "store/datasrc.h"
#include "testsupport/benchsupport.h"
#include "testsupport/tempdata.h"
#include "testsupport/testscope.h"

#include <QFile>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QTemporaryDir>

#include <cstdio>
#include <optional>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int Staff = 500;
constexpr int Days = 500; // 500 staff x 500 days x 4 swipes = 1,000,000 rows
const QDate FirstDay(2025, 1, 1);

double reportMs(const QDate &from, const QDate &to, const QString &file, PrintedLines *lines)
{
    const TReportScope scope = TestScope(from, to);
    std::optional<PrintedLinesRecorder> recorder;
    if (lines)
        recorder.emplace(*lines);
    const double ms = MsOf([&] {
        Tqrfilo report;
        report.SetReportTitle(QStringLiteral("First In Last Out"));
        report.SetupFromLateScope(scope, NineToFive());
        report.ExportPdf(file);
    });
    return ms;
}

long statusKb(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(int(std::strlen(field))).trimmed().split(' ').front().toLong();
    }
    return -1;
}

} // namespace

int main(int argc, char **argv)
{
    int rounds = 3;
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--rounds=", 9) == 0)
            rounds = std::atoi(argv[i] + 9);
    }
    BenchApplication app(argc, argv);
    TempData data;
    if (!data.IsValid()) {
        std::fprintf(stderr, "no data folder\n");
        return 1;
    }
    std::printf("filling %d staff, %d log rows...\n", Staff, Staff * Days * 4);
    FillReportLog(Staff, Days, FirstDay);
    QTemporaryDir dir;
    const QDate last = FirstDay.addDays(Days - 1);
    const QDate monthStart = last.addDays(-30);

    PrintedLines lines;
    reportMs(monthStart, last, dir.filePath(QStringLiteral("warm.pdf")), &lines);
    std::printf("one month: %zu printed lines\n", lines.texts.size());
    std::vector<double> ours, bare;
    for (int r = 0; r < rounds; ++r) {
        ours.push_back(
            reportMs(monthStart, last, dir.filePath(QStringLiteral("ours.pdf")), nullptr));
        bare.push_back(DrawLinesMs(lines, dir.filePath(QStringLiteral("bare.pdf")),
                                {11, 188, 36, 279, 4, 7}));
    }
    PrintRatio("ExportPdf first-in/last-out, 500 staff x 1 month",
               "drawText of the same lines into QPdfWriter", ours, bare, 2.5);

    // Peak resident size counted from here on.
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
    clear.close();
    const long before = statusKb("VmRSS:");
    const double yearMs =
        reportMs(last.addDays(-364), last, dir.filePath(QStringLiteral("year.pdf")), nullptr);
    const long peak = statusKb("VmHWM:");
    std::printf("one year: %.0f ms; resident %ld MB before, peak %ld MB: growth %ld MB "
                "(limit 300 MB)\n",
                yearMs, before / 1024, peak / 1024, (peak - before) / 1024);
    return 0;
}
