// "Erase Log Database" over a log of 1,000,000 rows (half of them before the chosen day), the
// walk that also deletes each row's snapshot file, against one bare SQL DELETE of the same rows
// on a copy of the same file, measured side by side in one run.

#include "desk/loggridmodel.h"
#include "store/datasrc.h"
#include "store/dbfile.h"
#include "store/paths.h"
#include "testsupport/tempdata.h"
#include "testsupport/benchsupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <cstdio>

namespace {

constexpr int LogRows = 1000000;
const QDate Cutoff(2020, 1, 1);

void fillLog(TDatabase &db)
{
    // One row a minute, centred on the cut-off day.
    db.Exec(QStringLiteral(
                "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
                "INSERT INTO recorder (SYSTIME, CARDNO, MODE, READER, LOCK) "
                "SELECT datetime('2020-01-01', ((i - %2) * 60) || ' seconds'), i %% 5000, "
                "1, 1, 0 FROM n")
                .arg(LogRows - 1)
                .arg(LogRows / 2)
                .replace(QStringLiteral("%%"), QStringLiteral("%")));
}

int rows(TDatabase &db)
{
    TStatement st = db.Prepare(QStringLiteral("select count(*) from recorder"));
    st.Step();
    return int(st.ColumnInt64(0));
}

} // namespace

int main(int argc, char **argv)
{
    BenchApplication app(argc, argv);

    TempData data(TempData::Open::Connections);
    if (!data.IsValid()) {
        std::fprintf(stderr, "no database templates\n");
        return 1;
    }
    fillLog(dsrc->att);
    data.CloseDatabases();
    const QString copy = QDir(data.Dir()).filePath(QStringLiteral("copy.db"));
    QFile::copy(data.AttendPath(), copy);
    data.ReopenDatabases();

    int bareLeft = -1;
    QElapsedTimer timer;
    timer.start();
    {
        TDatabase bare;
        bare.Open(copy, DbKind::Attend);
        TStatement del = bare.Prepare(QStringLiteral("DELETE FROM recorder WHERE SYSTIME < ?"));
        del.Bind(1, Cutoff);
        del.Step();
        bareLeft = rows(bare);
    }
    const double bareMs = double(timer.nsecsElapsed()) / 1e6;

    int steps = 0;
    timer.restart();
    const bool kept = EraseLogRecords(dsrc->logs, Cutoff, [&steps] { ++steps; });
    const double eraseMs = double(timer.nsecsElapsed()) / 1e6;

    std::printf("Erase before a date over %d rows (%d deleted, kept row: %s, left %d):\n", LogRows,
                steps, kept ? "yes" : "no", rows(dsrc->att));
    std::printf("  bare SQL DELETE      %9.1f ms (left %d)\n", bareMs, bareLeft);
    std::printf("  erase walk           %9.1f ms   ratio %.1f x the bare delete\n", eraseMs,
                eraseMs / std::max(bareMs, 0.001));
    return 0;
}
