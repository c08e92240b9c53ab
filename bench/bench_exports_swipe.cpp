// The desk answering swipes while "Export to Excel File" writes a log of 1,000,000 rows, as the
// main window runs it (the gauge stepped and the event loop turned between batches of rows),
// from the first row to the workbook written out and renamed into place: the busy p99 against
// the idle p99 of the same run, and no swipe waiting over 100 ms.
//
// Usage: bench_exports_swipe [--rounds=N] (default 2)

#include "desk/deskcore.h"
#include "desk/logexport.h"
#include "store/datasrc.h"
#include "store/pgbar.h"
#include "testsupport/benchsupport.h"
#include "testsupport/readersim.h"
#include "testsupport/swipeswhile.h"
#include "testsupport/tempdata.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <cstdio>

namespace {

constexpr int LogRows = 1000000;
constexpr int StaffRows = 10000;

} // namespace

int main(int argc, char **argv)
{
    const int rounds = RoundsArgument(argc, argv, 2);
    BenchApplication app(argc, argv);
    TempData data;
    if (!data.IsValid()) {
        std::fprintf(stderr, "no data folder\n");
        return 1;
    }
    std::printf("filling %d log rows, %d holders...\n", LogRows, StaffRows);
    FillDeskDatabases(LogRows, StaffRows);
    EnableDeskReaders(1);

    ReaderSim sim;
    TDeskCore core;
    if (!ConnectSwipingReader(sim, core))
        return 1;
    SwipeLatenciesUs(sim, 20, StaffRows);

    const QString path = QDir(data.Dir()).filePath(QStringLiteral("log.xlsx"));
    bool written = true;
    const auto exportLog = [&] {
        TLogExport exporter(dsrc->att, dsrc->src);
        Tpbar bar(nullptr, QStringLiteral("Export to EXCEL file"), exporter.RecordCount());
        exporter.SetStep([&bar](int rows) { bar.StepBy(rows); });
        exporter.SetBetweenBatches([] { QCoreApplication::processEvents(); });
        QCoreApplication::processEvents();
        written = exporter.ExportWorkbook(path) == TLogExport::Outcome::Completed &&
                  QFileInfo(path).size() > 0 && written;
    };
    const bool ok = PrintSwipeFigures("the Excel export of 1,000,000 rows runs, close included",
                                      SwipesWhile(sim, StaffRows, rounds, exportLog), 3, 100);
    if (!written)
        std::printf("the workbook was not written\n");
    core.DisconnectReader(1);
    sim.Stop();
    return ok && written ? 0 : 2;
}
