// Database maintenance over a log of 1,000,000 rows and 10,000 staff, each against its bare
// SQLite baseline measured in the same run:
// - the log import of 1,000,000 rows, half of them already there, against ATTACH plus one
//   INSERT ... SELECT ... WHERE NOT EXISTS on a copy of the same log;
// - the backup of the log against VACUUM INTO of the same file, and "Backup Log Database"
//   as a whole, the databases closed and reopened;
// - the gauge and the event loop between batches against the same import and backup without
//   them.

#include "desk/dbimport.h"
#include "desk/timerec.h"
#include "store/datasrc.h"
#include "store/dbcopy.h"
#include "store/dbfile.h"
#include "store/paths.h"
#include "store/pgbar.h"
#include "testsupport/benchsupport.h"
#include "testsupport/fakefiledialogs.h"
#include "testsupport/tempdata.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <cstdio>
#include <vector>

namespace {

constexpr int LogRows = 1000000;
constexpr int StaffRows = 10000;

// A copy of the live log, for a run that changes it.
QString copyOfLog(const TempData &data, const QString &name)
{
    const QString file = QDir(data.Dir()).filePath(name);
    QFile::remove(file);
    dsrc->att.Exec(QStringLiteral("VACUUM INTO '%1'").arg(file));
    return file;
}

double mean(const std::vector<double> &v)
{
    double sum = 0;
    for (const double x : v)
        sum += x;
    return v.empty() ? 0 : sum / double(v.size());
}

double median(const std::vector<double> &v)
{
    return Percentile(v, 0.5);
}

void printRatio(const char *what, double ms, const char *baseline, double baseMs, double limit)
{
    const double ratio = ms / std::max(baseMs, 0.001);
    std::printf("  %-36s %9.1f ms  %-30s %9.1f ms  ratio %.2f (limit %.2f) %s\n", what, ms,
                baseline, baseMs, ratio, limit, ratio <= limit ? "ok" : "OVER");
}

} // namespace

int main(int argc, char **argv)
{
    BenchApplication app(argc, argv);
    TempData data(TempData::Open::StartupDataSets);
    if (!data.IsValid()) {
        std::fprintf(stderr, "no database templates\n");
        return 1;
    }
    FillDeskDatabases(LogRows, StaffRows);

    // The source: every second row of the log (duplicates) and as many rows a second later.
    const QString source = QDir(data.Dir()).filePath(QStringLiteral("source.db"));
    QFile::copy(QDir(AppPath).filePath(AttendTemplateName()), source);
    QFile::setPermissions(source, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    {
        TDatabase src;
        src.Open(source, DbKind::Attend);
        src.Exec(QStringLiteral("ATTACH '%1' AS live").arg(data.AttendPath()));
        src.Exec(QStringLiteral(
            "INSERT INTO recorder SELECT SYSTIME, CARDNO, MODE, READER, LOCK FROM live.recorder "
            "WHERE rowid % 2 = 0 UNION ALL SELECT datetime(SYSTIME, '+1 seconds'), CARDNO, MODE, "
            "READER, LOCK FROM live.recorder WHERE rowid % 2 = 1"));
        src.Exec(QStringLiteral("DETACH live"));
    }

    std::printf("Log import of %d rows (half duplicates) into a %d-row log:\n", LogRows, LogRows);
    const auto bareImport = [&] {
        TDatabase bare;
        bare.Open(copyOfLog(data, QStringLiteral("bare.db")), DbKind::Attend);
        return MsOf([&] {
            bare.Exec(QStringLiteral("ATTACH '%1' AS src").arg(source));
            bare.Exec(QStringLiteral(
                "INSERT INTO recorder (SYSTIME, CARDNO, MODE, READER, LOCK) SELECT s.SYSTIME, "
                "s.CARDNO, s.MODE, s.READER, s.LOCK FROM src.recorder s WHERE NOT EXISTS "
                "(SELECT 1 FROM recorder r WHERE r.CARDNO = s.CARDNO AND r.SYSTIME = s.SYSTIME)"));
            bare.Exec(QStringLiteral("DETACH src"));
        });
    };
    TLogImportCounts counts;
    // With the gauge and the event loop between batches as the window runs it, or without.
    const auto import = [&](bool gauged) {
        TDatabase target;
        target.Open(copyOfLog(data, QStringLiteral("target.db")), DbKind::Attend);
        return MsOf([&] {
            if (!gauged) {
                counts = ImportLogRecords(target, source);
                return;
            }
            Tpbar bar(nullptr, QStringLiteral("Importing Log Records"), 0);
            counts = ImportLogRecords(target, source,
                                      {[&bar](int, int batches) { bar.SetMaximum(batches); },
                                       [&bar] {
                                           bar.StepIt();
                                           QCoreApplication::processEvents();
                                       }});
        });
    };
    // Each measured twice, in the order A B B A, so that neither gains from running later.
    std::vector<double> bareMs, plainMs, gaugedMs;
    bareMs.push_back(bareImport());
    plainMs.push_back(import(false));
    gaugedMs.push_back(import(true));
    gaugedMs.push_back(import(true));
    plainMs.push_back(import(false));
    bareMs.push_back(bareImport());
    std::printf("  added %d, duplicated %d, errors %d\n", counts.Added, counts.Duplicated,
                counts.Error);
    printRatio("import", mean(plainMs), "ATTACH + INSERT..NOT EXISTS", mean(bareMs), 3.0);
    printRatio("import with gauge and event loop", mean(gaugedMs), "ATTACH + INSERT..NOT EXISTS",
               mean(bareMs), 3.0);
    printRatio("import with gauge and event loop", mean(gaugedMs), "import without them",
               mean(plainMs), 1.05);

    std::printf("Backup of the %d-row log:\n", LogRows);
    const QString vacuumed = QDir(data.Dir()).filePath(QStringLiteral("vacuum.db"));
    const auto vacuum = [&] {
        QFile::remove(vacuumed);
        return MsOf([&] {
            TDatabase live;
            live.Open(data.AttendPath(), DbKind::Attend, TDatabase::OpenMode::ReadOnly);
            live.Exec(QStringLiteral("VACUUM INTO '%1'").arg(vacuumed));
        });
    };
    const QString backup = QDir(data.Dir()).filePath(QStringLiteral("backup.db"));
    const auto backupOnce = [&](bool gauged) {
        return MsOf([&] {
            if (!gauged) {
                BackupDatabaseFile(data.AttendPath(), DbKind::Attend, backup);
                return;
            }
            // The pages copied on the gauge, the event loop turning between batches, as the
            // window shows a backup.
            Tpbar bar(nullptr, QStringLiteral("Backup Log Database"), 0);
            BackupDatabaseFile(data.AttendPath(), DbKind::Attend, backup,
                               CopyProgressOnGauge(bar));
        });
    };
    std::vector<double> vacuumMs, backupMs, gaugedBackupMs;
    for (int run = 0; run < 3; ++run) {
        vacuumMs.push_back(vacuum());
        backupMs.push_back(backupOnce(false));
        gaugedBackupMs.push_back(backupOnce(true));
        backupMs.push_back(backupOnce(false));
    }
    printRatio("backup", median(backupMs), "VACUUM INTO", median(vacuumMs), 3.0);
    printRatio("backup with gauge and event loop", median(gaugedBackupMs), "backup without them",
               median(backupMs), 1.05);

    // The whole command from the main window, closing and reopening the databases.
    data.CloseDatabases();
    data.ReopenDatabases();
    {
        FakeFileDialogs dialogs;
        TTimeRec window;
        window.SetLoggedIn(true);
        const QString commandFile = QDir(data.Dir()).filePath(QStringLiteral("command.db"));
        dialogs.QueueName(commandFile);
        const double commandMs = MsOf([&] { window.actBupLogsExecute(); });
        std::printf("  %-36s %9.1f ms  (limit 3000 ms) %s, log open again: %s\n",
                    "\"Backup Log Database\" command", commandMs,
                    commandMs <= 3000 ? "ok" : "OVER", dsrc->logs.Active() ? "yes" : "no");
    }
    return 0;
}
