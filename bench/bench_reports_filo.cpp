// The first-in/last-out report of 500 staff over one month of a 1,000,000-row log, written as
// a PDF through the engine (queries, lines, composition and drawing), against drawing the very
// same lines with QPainter::drawText into a QPdfWriter (measured in the same run). Then the
// memory a one-year run of the same staff takes (resident set growth).
//
// Usage: bench_reports_filo [--rounds=N] (default 3)

#include "reports/repfilo.h"
#include "store/datasrc.h"
#include "testsupport/benchsupport.h"
#include "testsupport/scopestandin.h"
#include "testsupport/tempdata.h"

#include <QFile>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QTemporaryDir>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int Staff = 500;
constexpr int Days = 500; // 500 staff x 500 days x 4 swipes = 1,000,000 rows
const QDate FirstDay(2025, 1, 1);

struct Lines
{
    std::vector<QString> texts;
    std::vector<int> kinds; // 0 heading, 1 line, 2 total
};

double reportMs(const QDate &from, const QDate &to, const QString &file, Lines *lines)
{
    ScopeStandIn d;
    SetUpLateScope(d, from, to);
    TLabelTextHook previous;
    if (lines) {
        previous = SetLabelTextHook([lines](const TReportLabel &label, const QString &text) {
            const QString name = label.Name();
            const int kind = name == QStringLiteral("qrmaster")    ? 0
                             : name == QStringLiteral("qrdetails") ? 1
                             : name == QStringLiteral("qrtotal")   ? 2
                                                                   : -1;
            if (kind >= 0) {
                lines->texts.push_back(text);
                lines->kinds.push_back(kind);
            }
        });
    }
    const double ms = MsOf([&] {
        Tqrfilo report;
        report.SetReportTitle(QStringLiteral("First In Last Out"));
        report.SetupFromLateScope(&d);
        report.ExportPdf(file);
    });
    if (lines)
        SetLabelTextHook(previous);
    return ms;
}

// The bare drawing: the same lines, one drawText each, in the same fonts and steps.
double drawMs(const Lines &lines, const QString &file)
{
    return MsOf([&] {
        QFile out(file);
        out.open(QIODevice::WriteOnly);
        QPdfWriter writer(&out);
        writer.setResolution(600);
        writer.setPageLayout(
            QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(0, 0, 0, 0)));
        QPainter painter(&writer);
        const double mm = 600 / 25.4;
        const QFont heading = ReportFont(QStringLiteral("Arial"), 11);
        const QFont detail = ReportFont(QStringLiteral("Courier New"), 9);
        const QFont total = ReportFont(QStringLiteral("Arial"), 10);
        double y = 36;
        for (size_t i = 0; i < lines.texts.size(); ++i) {
            const int kind = lines.kinds[i];
            const double h = kind == 1 ? 4 : 7;
            if (y + h > 279) {
                writer.newPage();
                y = 36;
            }
            painter.setFont(kind == 0 ? heading : kind == 1 ? detail : total);
            painter.drawText(QRectF(11 * mm, y * mm, 188 * mm, h * mm),
                             Qt::AlignLeft | Qt::AlignTop, lines.texts[i]);
            y += h;
        }
    });
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
    const int rounds = RoundsArgument(argc, argv, 3);
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

    Lines lines;
    reportMs(monthStart, last, dir.filePath(QStringLiteral("warm.pdf")), &lines);
    std::printf("one month: %zu printed lines\n", lines.texts.size());
    std::vector<double> ours, bare;
    for (int r = 0; r < rounds; ++r) {
        ours.push_back(
            reportMs(monthStart, last, dir.filePath(QStringLiteral("ours.pdf")), nullptr));
        bare.push_back(drawMs(lines, dir.filePath(QStringLiteral("bare.pdf"))));
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
