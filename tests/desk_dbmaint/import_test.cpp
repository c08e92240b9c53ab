// "Import Log Records" and "Import Staff Records" from the main window: source files made by
// the sqlite3 shell, the rows read back from the live files.

#include "dbmaintfixture.h"

#include "desk/dbimport.h"
#include "store/settings.h"

#include <functional>

namespace {

const QString AttendHead = QStringLiteral("PRAGMA application_id=1413693780; PRAGMA user_version=1;");

class ImportTest : public DbMaintTest
{
public:
    using DbMaintTest::Path;
    // A source of the given kind: the template's copy with the statements run on it.
    QString Source(const QString &name, const char *templ, const QString &sql)
    {
        const QString file = Path(name);
        QFile::remove(file);
        EXPECT_TRUE(QFile::copy(QDir(AppPath).filePath(QLatin1String(templ)), file));
        QFile::setPermissions(file, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        EXPECT_EQ(QProcess::execute(QStringLiteral("sqlite3"), {file, sql}), 0);
        return file;
    }
};

TEST_F(ImportTest, LogImportAddsNewRowsCountsDuplicatesAndJunk)
{
    AddLog(QDateTime(QDate(2026, 3, 1), QTime(8, 0)), 10, 1, 1, 0);
    AddLog(QDateTime(QDate(2026, 3, 2), QTime(0, 0)), 11, 1, 1, 0);
    const QString source = Source(
        QStringLiteral("other desk.db"), "attend-b.db",
        QStringLiteral(
            "INSERT INTO recorder (SYSTIME, CARDNO, MODE, READER, LOCK) VALUES "
            // the same second and card as a row there, other mode and doors: a duplicate
            "('2026-03-01 08:00:00', 10, 2, 5, 5),"
            // milliseconds fall away: a duplicate of the midnight row
            "('2026-03-02 00:00:00.250', 11, 1, 1, 0),"
            // new, a midnight row among them; twice in the source: once added
            "('2026-03-03 00:00:00', 12, 1, 3, 3),"
            "('2026-03-03 00:00:00', 12, 2, 3, 0),"
            "('2026-03-03T09:15:00', 13, 2, 4, 0),"
            "('2026-03-03 09:15:00', -1, 0, 4, 4),"
            // junk SQLite takes all the same
            "('yesterday', 14, 1, 1, 0),"
            "('2026-02-30 10:00:00', 15, 1, 1, 0),"
            "('2026-03-03 10:00:00', 'abc', 1, 1, 0),"
            "('2026-03-03 10:00:00', 1.5, 1, 1, 0),"
            "(NULL, 16, 1, 1, 0);"));
    TTimeRec &w = OpenLoggedIn();
    m_dialogs.QueueName(source);
    w.actImportLogExecute();
    EXPECT_EQ(m_dialogs.Last().title, QStringLiteral("Import Transaction Logs"));
    EXPECT_EQ(m_dialogs.Last().proposedName, Path(QStringLiteral("backup_attend.db")));
    ASSERT_EQ(Messages().Count(), 1);
    EXPECT_EQ(Messages().Last().kind, MsgKind::Plain);
    EXPECT_EQ(Messages().Last().text, QStringLiteral("Added = 3 records\nDuplicated = 3 "
                                                     "records\nError = 5 records\n"));
    EXPECT_EQ(ReadRegString(QStringLiteral("LogDbLastIn"), QString()), source);
    EXPECT_EQ(w.LogModel()->rowCount(), 5);
    EXPECT_EQ(LogRows(Data().AttendPath()), QStringLiteral("2026-03-01 08:00:00|10|1|1|0\n"
                                                           "2026-03-02 00:00:00|11|1|1|0\n"
                                                           "2026-03-03 00:00:00|12|1|3|3\n"
                                                           "2026-03-03 09:15:00|-1|0|4|4\n"
                                                           "2026-03-03 09:15:00|13|2|4|0"));

    // The same file again adds nothing; the summary leaves out the zero counts.
    Messages().Clear();
    m_dialogs.QueueName(source);
    w.actImportLogExecute();
    EXPECT_EQ(m_dialogs.Last().proposedName, source);
    EXPECT_EQ(Messages().Last().text,
              QStringLiteral("Added = 0 records\nDuplicated = 6 records\nError = 5 records\n"));
}

TEST_F(ImportTest, BadSourcesAreRefusedAndImportNothing)
{
    struct Case
    {
        const char *name;
        std::function<QString(ImportTest &)> make;
        QString message;
    };
    const QString invalid = QStringLiteral("Invalid Database");
    const Case cases[] = {
        {"not a database",
         [](ImportTest &t) {
             const QString f = t.Path(QStringLiteral("a.txt"));
             WriteBytes(f, "SYSTIME;CARDNO\n");
             return f;
         },
         invalid},
        {"the other kind",
         [](ImportTest &t) {
             return t.Source(QStringLiteral("s.db"), "sysdat-b.db", QStringLiteral("VACUUM;"));
         },
         invalid},
        {"unknown schema version",
         [](ImportTest &t) {
             return t.Source(QStringLiteral("v.db"), "attend-b.db",
                             QStringLiteral("PRAGMA user_version=2;"));
         },
         invalid},
        {"truncated",
         [](ImportTest &t) {
             const QString f = t.Source(
                 QStringLiteral("t.db"), "attend-b.db",
                 QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n "
                                "WHERE i < 4000) INSERT INTO recorder SELECT datetime('2026-01-01',"
                                " i || ' minutes'), i, 1, 1, 0 FROM n;"));
             QFile(f).resize(QFileInfo(f).size() / 2);
             return f;
         },
         invalid},
        {"a missing column",
         [](ImportTest &t) {
             const QString f = t.Path(QStringLiteral("m.db"));
             QFile::remove(f);
             QProcess::execute(QStringLiteral("sqlite3"),
                               {f, AttendHead + QStringLiteral(
                                                    "CREATE TABLE recorder (SYSTIME, CARDNO, MODE, "
                                                    "READER); INSERT INTO recorder VALUES "
                                                    "('2026-01-01 08:00:00', 5, 1, 1);")});
             return f;
         },
         invalid},
        // Objects of its own would act on the desk's rows once imported from, or mislead it.
        {"a trigger of its own",
         [](ImportTest &t) {
             return t.Source(QStringLiteral("g.db"), "attend-b.db",
                             QStringLiteral("CREATE TRIGGER wipe AFTER INSERT ON recorder BEGIN "
                                            "DELETE FROM recorder; END; INSERT INTO recorder "
                                            "VALUES ('2026-01-01 08:00:00', 5, 1, 1, 0);"));
         },
         invalid},
        {"the log as a view",
         [](ImportTest &t) {
             return t.Source(QStringLiteral("w.db"), "attend-b.db",
                             QStringLiteral("DROP TABLE recorder; CREATE VIEW recorder AS SELECT "
                                            "'2026-01-01 08:00:00' AS SYSTIME, 5 AS CARDNO, 1 AS "
                                            "MODE, 1 AS READER, 0 AS LOCK;"));
         },
         invalid},
    };
    TTimeRec &w = OpenLoggedIn();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString file = c.make(*this);
        Messages().Clear();
        m_dialogs.QueueName(file);
        w.actImportLogExecute();
        ASSERT_EQ(Messages().Count(), 1);
        const QString expected = c.message == invalid ? invalid : c.message + file;
        EXPECT_EQ(Messages().Last().text, expected);
        EXPECT_EQ(Count(dsrc->att, QStringLiteral("recorder")), 0);
        EXPECT_TRUE(w.LogModel()->rowCount() == 0);
    }
}

TEST_F(ImportTest, StaffImportMatchesGroupsByNameAndMakesMissingOnes)
{
    const int office = AddGroup(QStringLiteral("Office"));
    AddStaff(100, QStringLiteral("Anna"), office);
    const QString source = Source(
        QStringLiteral("sys.db"), "sysdat-b.db",
        QStringLiteral(
            "INSERT INTO gid (ID, DESCX, WD_FROM_1, WD_TO_1, OT_MIN, OT_MULTI) VALUES "
            "(5, 'Office', '07:00:00', '15:00:00', 0, 1),"
            "(6, 'Night', '22:00:00', '23:59:00', 30, 15),"
            "(7, 'Night', '21:00:00', '23:00:00', 0, 1);"
            "INSERT INTO staffs (CARDNO, NAME, WORKGRP, COM2, MEMO) VALUES "
            "(100, 'Anna Other', 6, 1, 'x'),"  // card there: left alone
            "(200, 'Bert', 5, 1, 'desk'),"     // into the target's Office
            "(300, 'Cleo', 6, 0, NULL),"       // Night made from the source's group 6
            "(301, 'Dan', 7, 1, NULL),"        // the same Night, not a second one
            "(400, 'Eve', 99, 0, NULL),"       // no group in the source: group 1
            "('x1', 'Junk', 5, 0, NULL);"))    // no card number
    ;
    TTimeRec &w = OpenLoggedIn();
    m_dialogs.QueueName(source);
    w.actImportSysExecute();
    EXPECT_EQ(m_dialogs.Last().title, QStringLiteral("Import Staff Records"));
    EXPECT_EQ(m_dialogs.Last().proposedName, Path(QStringLiteral("sys.db")));
    ASSERT_EQ(Messages().Count(), 1);
    EXPECT_EQ(Messages().Last().text,
              QStringLiteral("Group Added = 1 records\nStaff Added = 4 records\nDuplicated = "
                             "1 records\nError = 1 records\n"));
    EXPECT_EQ(ReadRegString(QStringLiteral("SysDbLastIn"), QString()), source);
    EXPECT_EQ(Shell(Data().SysdatPath(),
                    QStringLiteral("select s.CARDNO, s.NAME, g.DESCX, s.COM2, ifnull(s.MEMO, '-') "
                                   "from staffs s join gid g on g.ID = s.WORKGRP order by 1")),
              QStringLiteral("100|Anna|Office|0|-\n"
                             "200|Bert|Office|1|desk\n"
                             "300|Cleo|Night|0|-\n"
                             "301|Dan|Night|1|-\n"
                             "400|Eve|") +
                  Shell(Data().SysdatPath(), QStringLiteral("select DESCX from gid where ID = 1")) +
                  QStringLiteral("|0|-"));
    EXPECT_EQ(Shell(Data().SysdatPath(),
                    QStringLiteral("select WD_FROM_1, WD_TO_1, OT_MIN, OT_MULTI from gid where "
                                   "DESCX = 'Night'")),
              QStringLiteral("22:00:00|23:59:00|30|15"));
    // The shared staff dataset reads the new members at once.
    EXPECT_TRUE(dsrc->staff.Locate(QStringLiteral("CARDNO"), 300));
}

// An import works with a larger cache and fewer checkpoints on the desk's own connections:
// afterwards each connection has its settings back, its rows all committed, and none of the
// import's pages left waiting in the write-ahead log for the next swipe to copy back.
TEST_F(ImportTest, ImportsLeaveTheDesksConnectionsAsTheyWere)
{
    const auto setting = [](TDatabase &db, const char *name) {
        TStatement st = db.Prepare(QStringLiteral("PRAGMA ") + QLatin1String(name));
        st.Step();
        return st.ColumnInt64(0);
    };
    const QString logSource = Source(
        QStringLiteral("logs.db"), "attend-b.db",
        QStringLiteral("WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < "
                       "12000) INSERT INTO recorder (SYSTIME, CARDNO, MODE, READER, LOCK) "
                       "SELECT datetime('2026-03-01', '+' || x || ' minutes'), x % 97, 1, 1, 0 "
                       "FROM c;"));
    const QString staffSource =
        Source(QStringLiteral("staff.db"), "sysdat-b.db",
               QStringLiteral("INSERT INTO staffs (CARDNO, NAME, WORKGRP) VALUES (7, 'Gus', 1);"));
    struct Case
    {
        const char *name;
        TDatabase *db;
        std::function<void()> run;
        QString file;
        const char *count; // the imported rows, read from the file alone
        const char *expected;
    };
    const Case cases[] = {
        {"log import", &dsrc->att,
         [&] { EXPECT_EQ(ImportLogRecords(dsrc->att, logSource).Added, 12000); },
         Data().AttendPath(), "select count(*) from recorder", "12000"},
        {"staff import", &dsrc->src,
         [&] { EXPECT_EQ(ImportStaffRecords(dsrc->src, staffSource).StaffAdded, 1); },
         Data().SysdatPath(), "select count(*) from staffs where CARDNO = 7", "1"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const qint64 cache = setting(*c.db, "cache_size");
        const qint64 checkpoint = setting(*c.db, "wal_autocheckpoint");
        c.run();
        EXPECT_FALSE(c.db->InTransaction());
        EXPECT_EQ(setting(*c.db, "cache_size"), cache);
        EXPECT_EQ(setting(*c.db, "wal_autocheckpoint"), checkpoint);
        // Read as an unchanging file, the write-ahead log is not looked at: the rows are there.
        EXPECT_EQ(Shell(QStringLiteral("file:") + c.file + QStringLiteral("?immutable=1"),
                        QLatin1String(c.count)),
                  QLatin1String(c.expected));
    }
}

} // namespace
