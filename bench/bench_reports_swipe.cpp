// The desk answering swipes while a year of a report composes in the desk's own thread and
// event loop, as at the desk: a simulated reader swipes from a thread of its own every few
// milliseconds, timed from the card frame's last byte to the door command it receives, while
// the main thread either turns its event loop with nothing else to do (idle) or composes the
// report (busy), in rounds taking turns. The figure is the busy p99 against the idle p99 of
// the same run. Reports, each over 500 staff and the last year of a 1,000,000-row log:
// first-in/last-out (one session, lateness and overtime) and the time logs, composed; and the
// first-in/last-out composed and drawn whole, to a PDF (as a printer draws it) and in the
// preview window, where no swipe may wait over 100 ms either.
//
// Usage: bench_reports_swipe [--rounds=N] (default 3) [--drawn-only] (the PDF and the preview)

#include "desk/deskcore.h"
#include "readerlink/reader.h"
#include "reports/qrlog.h"
#include "reports/repfilo.h"
#include "reports/scopeparts.h"
#include "reports/setscope.h"
#include "store/datasrc.h"
#include "store/settings.h"
#include "testsupport/benchsupport.h"
#include "testsupport/readersim.h"
#include "testsupport/swipeswhile.h"
#include "testsupport/tempdata.h"
#include "testsupport/testscope.h"

#include <QCoreApplication>
#include <QDateTimeEdit>
#include <QApplication>
#include <QEventLoop>
#include <QPrintPreviewDialog>
#include <QTemporaryDir>
#include <QRadioButton>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string_view>
#include <thread>
#include <vector>

namespace {

constexpr int Staff = 500;
constexpr int Days = 500; // 500 staff x 500 days x 4 swipes = 1,000,000 rows
const QDate FirstDay(2025, 1, 1);
const QDate LastDay = FirstDay.addDays(Days - 1);
// The first-in/last-out report of every person over the log's last year, set up and handed
// to `output` (which composes it, and draws it where it says).
void FiloYear(const std::function<void(Tqrfilo &)> &output)
{
    const TReportScope scope = TestScope(LastDay.addDays(-364), LastDay);
    Tqrfilo report;
    report.SetReportTitle(QStringLiteral("First In Last Out"));
    report.SetupFromLateScope(scope, NineToFive());
    output(report);
}

void ComposeFiloYear()
{
    FiloYear([](Tqrfilo &report) { report.Prepare(); });
}

void PrintFiloYear(const QString &file)
{
    FiloYear([&file](Tqrfilo &report) {
        if (!report.ExportPdf(file))
            std::fprintf(stderr, "the PDF was not written\n");
    });
}

// Drawn in the preview window, which is closed once it shows.
void PreviewFiloYear()
{
    FiloYear([](Tqrfilo &report) {
        QTimer close;
        close.setInterval(5);
        QObject::connect(&close, &QTimer::timeout, [] {
            if (auto *d = qobject_cast<QPrintPreviewDialog *>(QApplication::activeModalWidget()))
                d->reject();
        });
        close.start();
        report.Preview();
    });
}

// The time logs of every person over the log's last year (500 staff, 730,000 records),
// composed.
void ComposeTimeLogsYear()
{
    TSetScope scope;
    scope.dates->rbrange->setChecked(true);
    scope.dates->dpfrom->setDateTime(QDateTime(LastDay.addDays(-364), QTime(0, 0)));
    scope.dates->dpto->setDateTime(QDateTime(LastDay, QTime(0, 0)));
    Tqrlog report;
    report.SetupFromScope(scope.Scope());
    report.Prepare();
}

} // namespace

int main(int argc, char **argv)
{
    const int rounds = RoundsArgument(argc, argv, 3);
    bool drawnOnly = false;
    for (int i = 1; i < argc; ++i)
        drawnOnly = drawnOnly || std::string_view(argv[i]) == "--drawn-only";
    BenchApplication app(argc, argv);
    TempData data;
    if (!data.IsValid()) {
        std::fprintf(stderr, "no data folder\n");
        return 1;
    }
    std::printf("filling %d staff, %d log rows...\n", Staff, Staff * Days * 4);
    FillReportLog(Staff, Days, FirstDay);
    EnableDeskReaders(1);
    SettleDeskDatabases();

    ReaderSim sim;
    TDeskCore core;
    if (!ConnectSwipingReader(sim, core))
        return 1;
    // Warm: the desk's first swipes and the report's first run.
    SwipeLatenciesUs(sim, 20, Staff);

    bool ok = true;
    if (!drawnOnly) {
        ok = PrintSwipeFigures("first-in/last-out, 500 staff x 1 year, composes",
                               SwipesWhile(sim, Staff, rounds, ComposeFiloYear), 3) &&
             ok;
        ok = PrintSwipeFigures("time logs, 500 staff x 1 year, composes",
                               SwipesWhile(sim, Staff, rounds, ComposeTimeLogsYear), 3) &&
             ok;
    }
    QTemporaryDir out;
    const QString pdf = out.filePath(QStringLiteral("filo.pdf"));
    ok = PrintSwipeFigures("first-in/last-out, 500 staff x 1 year, composed and drawn to a PDF",
                           SwipesWhile(sim, Staff, rounds, [&] { PrintFiloYear(pdf); }), 3, 100) &&
         ok;
    ok = PrintSwipeFigures("first-in/last-out, 500 staff x 1 year, composed and previewed",
                           SwipesWhile(sim, Staff, rounds, PreviewFiloYear), 3, 100) &&
         ok;

    core.DisconnectReader(1);
    sim.Stop();
    return ok ? 0 : 2;
}
