// "Backup ..." and "Restore ..." of either database, and "Format Database", from the main
// window, with the files read back by the sqlite3 shell.

#include "dbmaintfixture.h"

#include "desk/web/webreport.h"
#include "store/settings.h"
#include "testsupport/spin.h"

#include <QFileInfo>
#include <QTimer>
#include <httplib.h>

#include <atomic>
#include <thread>

namespace {

TEST_F(DbMaintTest, BackupThenRestoreGivesBackTheRowsWhileWebRequestsRun)
{
    FillLog(3000);
    WriteRegInteger(QStringLiteral("WebPort"), 0);
    WriteRegBool(QStringLiteral("WebEnabled"), true);
    TTimeRec &w = OpenLoggedIn();
    ASSERT_NE(w.WebReporter(), nullptr);
    const int port = w.WebReporter()->Port();
    // Another reader keeps the log from being folded into the file when the desk closes it:
    // commits still in the write-ahead log belong in the backup all the same.
    TDatabase outside;
    outside.Open(Data().AttendPath(), DbKind::Attend, TDatabase::OpenMode::ReadOnly);
    AddLog(QDateTime(QDate(2026, 4, 1), QTime(0, 0)), 77, 2, 3, 1);
    const QString before = LogRows(Data().AttendPath());
    ASSERT_EQ(before.count(QLatin1Char('\n')), 3000);

    std::atomic<bool> stop{false};
    std::atomic<int> answered{0};
    std::thread browser([&] {
        httplib::Client client("127.0.0.1", port);
        while (!stop) {
            if (auto res = client.Get("/logs"); res && (res->status == 200 || res->status == 503))
                ++answered;
        }
    });

    const QString backup = Path(QStringLiteral("week 12.db"));
    EXPECT_EQ(m_dialogs.PendingAnswers(), 0);
    m_dialogs.QueueName(backup);
    w.actBupLogsExecute();
    EXPECT_EQ(Messages().Texts(), QStringList{QStringLiteral("Completed.")});
    EXPECT_EQ(m_dialogs.Last().title, QStringLiteral("Backup Log Database"));
    EXPECT_EQ(m_dialogs.Last().proposedName, Path(QStringLiteral("backup_attend.db")));
    EXPECT_EQ(LogRows(backup), before);
    EXPECT_EQ(Shell(backup, QStringLiteral("PRAGMA journal_mode")), QStringLiteral("delete"));
    EXPECT_EQ(Shell(backup, QStringLiteral("PRAGMA quick_check")), QStringLiteral("ok"));
    EXPECT_FALSE(QFileInfo::exists(backup + QStringLiteral("-wal")));
    EXPECT_EQ(QDir(m_data->Dir()).entryList({QStringLiteral(".week*")}, QDir::Hidden | QDir::Files),
              QStringList());
    outside.Close();

    // Rows come and go after the backup; the restore brings back the backup's rows alone.
    dsrc->att.Exec(QStringLiteral("delete from recorder where CARDNO = 1001"));
    AddLog(QDateTime(QDate(2026, 5, 1), QTime(9, 0)), 88);
    Messages().Clear();
    m_dialogs.QueueName(backup);
    w.actRstLogsExecute();
    EXPECT_EQ(Messages().Texts(), QStringList{QStringLiteral("Completed.")});
    EXPECT_EQ(m_dialogs.Last().title, QStringLiteral("Restore Log Database"));
    EXPECT_EQ(m_dialogs.Last().proposedName, backup); // the last file used
    EXPECT_EQ(ReadRegString(QStringLiteral("LogDbLast"), QString()), backup);
    stop = true;
    browser.join();
    EXPECT_GT(answered.load(), 0);

    // The desk reads the restored log, a swipe lands in it, and the shell sees the same.
    EXPECT_TRUE(dsrc->logs.Active());
    EXPECT_EQ(w.LogModel()->rowCount(), 3001);
    AddLog(QDateTime(QDate(2026, 5, 2), QTime(9, 0)), 99);
    w.close();
    EXPECT_EQ(LogRows(Data().AttendPath()),
              before + QStringLiteral("\n2026-05-02 09:00:00|99|1|1|0"));
    EXPECT_FALSE(QFileInfo::exists(Data().AttendPath() + QStringLiteral("-wal")));
}

TEST_F(DbMaintTest, BackupOfTheSystemDatabaseKeepsItsOwnLastName)
{
    AddStaff(4711, QStringLiteral("Alice"), 1);
    TTimeRec &w = OpenLoggedIn();
    const QString backup = Path(QStringLiteral("sys-copy.db"));
    m_dialogs.QueueName(backup);
    w.actBupSysExecute();
    EXPECT_EQ(Messages().Texts(), QStringList{QStringLiteral("Completed.")});
    EXPECT_EQ(m_dialogs.Last().proposedName, Path(QStringLiteral("backup_sysdat.db")));
    EXPECT_EQ(Shell(backup, QStringLiteral("select NAME from staffs where CARDNO = 4711")),
              QStringLiteral("Alice"));
    EXPECT_EQ(Shell(backup, QStringLiteral("select count(*) from reader")), QStringLiteral("8"));
    EXPECT_EQ(ReadRegString(QStringLiteral("SysDbLast"), QString()), backup);
    EXPECT_EQ(ReadRegString(QStringLiteral("LogDbLast"), QString()), QString());
}

TEST_F(DbMaintTest, BackupTargetsThatCannotBeWrittenFailAndLeaveTheOldBackup)
{
    FillLog(50);
    const QString old = Path(QStringLiteral("old.db"));
    WriteBytes(old, "last week's backup");
    QDir(m_data->Dir()).mkdir(QStringLiteral("afolder.db"));
    struct Case
    {
        const char *name;
        QString target;
    };
    const Case cases[] = {
        {"the live log", Data().AttendPath()},
        {"the live log's write-ahead log", Data().AttendPath() + QStringLiteral("-wal")},
        {"the live system database's index", Data().SysdatPath() + QStringLiteral("-shm")},
        {"a template", QDir(AppPath).filePath(QStringLiteral("attend-b.db"))},
        {"a folder", Path(QStringLiteral("afolder.db"))},
        {"in a folder that does not exist", Path(QStringLiteral("nowhere/b.db"))},
    };
    TTimeRec &w = OpenLoggedIn();
    const QByteArray liveTemplate = ReadBytes(QDir(AppPath).filePath(QStringLiteral("attend-b.db")));
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Messages().Clear();
        m_dialogs.QueueName(c.target);
        w.actBupLogsExecute();
        EXPECT_EQ(Messages().Texts(), QStringList{QStringLiteral("Operation failed. Please retry!")});
        EXPECT_EQ(ReadRegString(QStringLiteral("LogDbLast"), QString()), QString());
        EXPECT_EQ(dsrc->logs.RecordCount(), 50);
        EXPECT_TRUE(dsrc->logs.Active());
    }
    EXPECT_EQ(ReadBytes(QDir(AppPath).filePath(QStringLiteral("attend-b.db"))), liveTemplate);
    EXPECT_FALSE(QFileInfo::exists(Path(QStringLiteral("nowhere"))));
    EXPECT_TRUE(QDir(Path(QStringLiteral("afolder.db"))).isEmpty());
    EXPECT_EQ(ReadBytes(old), QByteArray("last week's backup"));
}

// The bad files a user may pick to restore from, made beside the data folder.
struct BadFile
{
    const char *name;
    std::function<void(DbMaintTest &, const QString &file)> make;
};

TEST_F(DbMaintTest, RestoringABadFileIsRefusedAndLeavesTheLiveFileByteForByte)
{
    FillLog(2000);
    const QString good = Path(QStringLiteral("good.db"));
    ASSERT_EQ(Shell(Data().AttendPath(), QStringLiteral("VACUUM INTO '%1'").arg(good)), QString());
    const QByteArray goodBytes = ReadBytes(good);
    ASSERT_GT(goodBytes.size(), 3 * 4096);
    const auto shellMake = [](const QString &sql) {
        return [sql](DbMaintTest &, const QString &file) {
            QFile::remove(file);
            ASSERT_TRUE(QProcess::execute(QStringLiteral("sqlite3"), {file, sql}) == 0);
        };
    };
    const auto fromGood = [&](std::function<void(QByteArray &)> change) {
        return [&, change](DbMaintTest &, const QString &file) {
            QByteArray bytes = goodBytes;
            change(bytes);
            WriteBytes(file, bytes);
        };
    };
    const BadFile cases[] = {
        {"not a database", fromGood([](QByteArray &b) { b = "SYSTIME,CARDNO\n2026-01-01,1\n"; })},
        {"the other kind",
         [](DbMaintTest &, const QString &file) {
             QFile::remove(file);
             ASSERT_TRUE(QFile::copy(QDir(AppPath).filePath(QStringLiteral("sysdat-b.db")), file));
         }},
        {"truncated", fromGood([](QByteArray &b) { b.truncate(b.size() / 2); })},
        {"unknown schema version",
         [&](DbMaintTest &, const QString &file) {
             WriteBytes(file, goodBytes);
             ASSERT_TRUE(QProcess::execute(QStringLiteral("sqlite3"),
                                           {file, QStringLiteral("PRAGMA user_version=7")}) == 0);
         }},
        {"corrupt", fromGood([](QByteArray &b) { b.replace(2 * 4096, 4096, QByteArray(4096, 'U')); })},
        {"a missing column",
         shellMake(QStringLiteral("PRAGMA application_id=1413693780; PRAGMA user_version=1; "
                                  "CREATE TABLE recorder (SYSTIME DATETIME, CARDNO INTEGER, MODE "
                                  "INTEGER, READER INTEGER); INSERT INTO recorder VALUES "
                                  "('2026-01-01 08:00:00', 5, 1, 1);"))},
    };
    m_data->CloseDatabases();
    const QByteArray live = ReadBytes(Data().AttendPath());
    m_data->ReopenDatabases();
    TTimeRec &w = OpenLoggedIn();
    for (const BadFile &c : cases) {
        SCOPED_TRACE(c.name);
        const QString file = Path(QStringLiteral("bad.db"));
        c.make(*this, file);
        Messages().Clear();
        m_dialogs.QueueName(file);
        w.actRstLogsExecute();
        EXPECT_EQ(Messages().Texts(), QStringList{QStringLiteral("Invalid Database")});
        EXPECT_EQ(dsrc->logs.RecordCount(), 2000);
        EXPECT_EQ(ReadRegString(QStringLiteral("LogDbLast"), QString()), QString());
    }
    // One of the program's own files is refused before anything is closed.
    for (const QString &own : {Data().AttendPath(), Data().AttendPath() + QStringLiteral("-wal")}) {
        Messages().Clear();
        m_dialogs.QueueName(own);
        w.actRstLogsExecute();
        EXPECT_EQ(Messages().Texts(), QStringList{QStringLiteral("Operation failed. Please retry!")});
    }
    CloseWindow();
    m_data->CloseDatabases();
    EXPECT_TRUE(ReadBytes(Data().AttendPath()) == live);
    m_data->ReopenDatabases();
}

TEST_F(DbMaintTest, RestoredFileIsWritableByItsOwnerEvenFromAReadOnlyBackup)
{
    FillLog(10);
    const QString backup = Path(QStringLiteral("ro.db"));
    ASSERT_EQ(Shell(Data().AttendPath(), QStringLiteral("VACUUM INTO '%1'").arg(backup)), QString());
    QFile::setPermissions(backup, QFileDevice::ReadOwner);
    QFile::setPermissions(Data().AttendPath(), QFileDevice::ReadOwner);
    TTimeRec &w = OpenLoggedIn();
    m_dialogs.QueueName(backup);
    w.actRstLogsExecute();
    EXPECT_EQ(Messages().Texts(), QStringList{QStringLiteral("Completed.")});
    EXPECT_TRUE(QFile::permissions(Data().AttendPath()) & QFileDevice::WriteOwner);
    EXPECT_TRUE(dsrc->att.IsOpen());
    AddLog(QDateTime(QDate(2026, 6, 1), QTime(7, 0)), 5);
    EXPECT_EQ(dsrc->logs.RecordCount(), 11);
}

TEST_F(DbMaintTest, FormatEmptiesBothFilesAndDeletesTheSnapshots)
{
    struct Case
    {
        const char *name;
        bool attendTemplate;
        QStringList messages;
        int logRows;
        int staffRows;
    };
    const QString formatted = QStringLiteral("Database formatted.");
    const Case cases[] = {
        {"both templates", true, {formatted}, 0, 0},
        {"no log template",
         false,
         {QStringLiteral("Attendance database locked. It cannot be formatted."), formatted},
         20,
         0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        CloseWindow();
        dsrc->att.Exec(QStringLiteral("delete from recorder"));
        FillLog(20);
        AddStaff(4711, QStringLiteral("Alice"), 1);
        QDir().mkpath(PhotoPath);
        WriteBytes(QDir(PhotoPath).filePath(QStringLiteral("20260302080000_1000.jpg")), "jpeg");
        WriteBytes(QDir(PhotoPath).filePath(QStringLiteral("notes.txt")), "kept");
        // Templates of our own, read-only as shipped files may be.
        QTemporaryDir app;
        for (const char *name : {"attend-b.db", "sysdat-b.db"}) {
            if (!c.attendTemplate && QByteArray(name) == "attend-b.db")
                continue;
            const QString copy = QDir(app.path()).filePath(QLatin1String(name));
            ASSERT_TRUE(QFile::copy(QDir(AppPath).filePath(QLatin1String(name)), copy));
            QFile::setPermissions(copy, QFileDevice::ReadOwner);
        }
        const QString appPath = AppPath;
        AppPath = app.path();
        TTimeRec &w = OpenLoggedIn();
        Messages().Clear();
        Messages().QueueAnswer(MsgButton::Yes);
        w.actdeleteExecute();
        AppPath = appPath;
        ASSERT_GE(Messages().Count(), 1);
        EXPECT_EQ(Messages().Shown().first().kind, MsgKind::Warning);
        EXPECT_EQ(Messages().Texts().mid(1), c.messages);
        EXPECT_EQ(Count(dsrc->att, QStringLiteral("recorder")), c.logRows);
        EXPECT_EQ(Count(dsrc->src, QStringLiteral("staffs")), c.staffRows);
        EXPECT_EQ(Count(dsrc->src, QStringLiteral("reader")), 8);
        EXPECT_EQ(QDir(PhotoPath).entryList(QDir::Files), QStringList{QStringLiteral("notes.txt")});
        EXPECT_TRUE(QFile::permissions(Data().SysdatPath()) & QFileDevice::WriteOwner);
        w.close();
        EXPECT_FALSE(QFileInfo::exists(Data().SysdatPath() + QStringLiteral("-wal")));
        EXPECT_EQ(Shell(Data().SysdatPath(), QStringLiteral("select count(*) from staffs")),
                  QStringLiteral("0"));
        CloseWindow();
        m_data->ReopenDatabases();
    }
}

TEST_F(DbMaintTest, FormatAnsweredNoChangesNothing)
{
    FillLog(5);
    TTimeRec &w = OpenLoggedIn();
    Messages().QueueAnswer(MsgButton::No);
    w.actdeleteExecute();
    EXPECT_EQ(Messages().Count(), 1);
    EXPECT_EQ(Count(dsrc->att, QStringLiteral("recorder")), 5);
}

TEST_F(DbMaintTest, DatabaseCommandsAndCloseAreRefusedWhileABackupRuns)
{
    FillLog(200000);
    TTimeRec &w = OpenLoggedIn();
    const char *names[] = {"xdelete",  "actxerasestaffs", "actdelete", "actBupLogs",
                           "actBupSys", "actRstLogs",     "actRstSys", "actDelRec"};
    bool seen = false;
    bool refused = true;
    bool othersAllowed = false;
    QTimer watcher;
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        if (!w.LongWorkRunning() || seen)
            return;
        seen = true;
        for (const char *name : names)
            refused = refused && !Command(w, name)->isEnabled();
        othersAllowed = Command(w, "actemail")->isEnabled();
        // Called all the same: no dialog, no box (either would fail the test).
        w.actdeleteExecute();
        w.actBupSysExecute();
        w.actRstLogsExecute();
        w.actRstSysExecute();
        w.xdeleteClick();
        w.close();
    });
    watcher.start(1);
    m_dialogs.QueueName(Path(QStringLiteral("big.db")));
    w.actBupLogsExecute();
    watcher.stop();
    ASSERT_TRUE(seen) << "the backup never let the event loop turn";
    EXPECT_TRUE(refused);
    EXPECT_TRUE(othersAllowed);
    EXPECT_EQ(Messages().Texts(), QStringList{QStringLiteral("Completed.")});
    for (const char *name : names)
        EXPECT_TRUE(Command(w, name)->isEnabled()) << name;
    EXPECT_EQ(Shell(Path(QStringLiteral("big.db")), QStringLiteral("select count(*) from recorder")),
              QStringLiteral("200000"));
    // The close asked for meanwhile happens once the backup is over.
    EXPECT_TRUE(SpinUntil([] { return !dsrc->att.IsOpen(); }, 3000));
}

} // namespace
