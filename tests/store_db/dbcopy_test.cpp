// Database copies through SQLite: a backup is a whole file or nothing, a restore all or
// nothing, and a file picked by the user is checked before it is used.

#include "store/dbcopy.h"
#include "store/dbfile.h"
#include "store/paths.h"
#include "testsupport/diewrite.h"
#include "testsupport/tempdata.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

QByteArray readFile(const QString &name)
{
    QFile f(name);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

int rows(const QString &file)
{
    TDatabase db;
    db.Open(file, DbKind::Attend, TDatabase::OpenMode::ReadOnly);
    TStatement st = db.Prepare(QStringLiteral("select count(*) from recorder"));
    st.Step();
    return int(st.ColumnInt64(0));
}

// Writes past the given size fail with EFBIG while it lives, as on a disk that is full.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        m_handler = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &m_old);
        rlimit limit = m_old;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_handler);
    }

private:
    rlimit m_old{};
    void (*m_handler)(int) = nullptr;
};

class DbCopyTest : public TempDataTest
{
protected:
    void fill(int n)
    {
        dsrc->att.Exec(QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 "
                                      "FROM n WHERE i < %1) INSERT INTO recorder (SYSTIME, CARDNO) "
                                      "SELECT datetime('2026-01-01', i || ' seconds'), i FROM n")
                           .arg(n - 1));
    }
    QString path(const QString &name) const { return QDir(m_data->Dir()).filePath(name); }
};

TEST_F(DbCopyTest, BackupOfAnOpenLogHoldsItsLastCommitsWithNoLogBeside)
{
    fill(5000);
    // The desk's connection stays open: its latest commits are still in the write-ahead log.
    const QString target = path(QStringLiteral("b.db"));
    int steps = 0;
    QString error;
    ASSERT_TRUE(BackupDatabaseFile(Data().AttendPath(), DbKind::Attend, target,
                                   [&](int done, int total) {
                                       EXPECT_LE(done, total);
                                       ++steps;
                                   },
                                   &error))
        << error.toStdString();
    EXPECT_GE(steps, 1);
    EXPECT_EQ(rows(target), 5000);
    EXPECT_FALSE(QFileInfo::exists(target + QStringLiteral("-wal")));
    EXPECT_FALSE(QFileInfo::exists(target + QStringLiteral("-shm")));
    // Rollback journal in the header (bytes 18 and 19 say 1), so it opens anywhere read-only.
    const QByteArray bytes = readFile(target);
    EXPECT_EQ(bytes.mid(18, 2), QByteArray("\x01\x01", 2));
    EXPECT_TRUE(DatabaseFileIntact(target, DbKind::Attend));
}

TEST_F(DbCopyTest, BackupThatRunsOutOfRoomLeavesTheOldBackupAndNoPartialFile)
{
    fill(60000);
    const QString target = path(QStringLiteral("old.db"));
    {
        QFile f(target);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("the backup of last week");
    }
    const int entries = int(QDir(m_data->Dir()).entryList(QDir::AllEntries | QDir::Hidden).size());
    QString error;
    bool copied = true;
    {
        FileSizeLimit full(256 * 1024);
        copied = BackupDatabaseFile(Data().AttendPath(), DbKind::Attend, target, {}, &error);
    }
    EXPECT_FALSE(copied);
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(readFile(target), QByteArray("the backup of last week"));
    EXPECT_EQ(QDir(m_data->Dir()).entryList(QDir::AllEntries | QDir::Hidden).size(), entries);
}

TEST_F(DbCopyTest, RestoreThatFailsHalfWayLeavesTheTargetAsItWas)
{
    fill(60000);
    const QString source = path(QStringLiteral("big.db"));
    ASSERT_TRUE(BackupDatabaseFile(Data().AttendPath(), DbKind::Attend, source));
    m_data->CloseDatabases();
    const QString target = path(QStringLiteral("small.db"));
    ASSERT_TRUE(QFile::copy(QDir(AppPath).filePath(AttendTemplateName()), target));
    bool copied = true;
    {
        FileSizeLimit full(256 * 1024);
        copied = RestoreDatabaseFile(source, DbKind::Attend, target);
    }
    EXPECT_FALSE(copied);
    EXPECT_EQ(rows(target), 0);
    EXPECT_TRUE(DatabaseFileIntact(target, DbKind::Attend));
    EXPECT_FALSE(QFileInfo::exists(target + QStringLiteral("-journal")));
    m_data->ReopenDatabases();
}

TEST_F(DbCopyTest, ProgramFilesAreRecognisedUnderAnyOfTheirNames)
{
    struct Case
    {
        const char *name;
        QString file;
        bool own;
    };
    QDir(m_data->Dir()).mkdir(QStringLiteral("sub"));
    const Case cases[] = {
        {"live log", Data().AttendPath(), true},
        {"live system file through another path",
         path(QStringLiteral("sub/../")) + SysdatFileName(), true},
        {"write-ahead log", Data().SysdatPath() + QStringLiteral("-wal"), true},
        {"shared index", Data().AttendPath() + QStringLiteral("-shm"), true},
        {"template", QDir(AppPath).filePath(SysdatTemplateName()), true},
        {"a backup beside them", path(QStringLiteral("backup_attend.db")), false},
        {"same name elsewhere", path(QStringLiteral("sub/attend.db")), false},
        {"the live log through ./", path(QStringLiteral("./sub/./../attend.db")), true},
        {"a link to the live log", path(QStringLiteral("sub/log.txt")), true},
        {"a link to a write-ahead log not made yet", path(QStringLiteral("sub/w.xlsx")), true},
        {"a link to a link to a template", path(QStringLiteral("sub/t2.db")), true},
        {"the live log through a linked folder", path(QStringLiteral("linked/attend.db")), true},
        {"a link to a backup", path(QStringLiteral("sub/b.db")), false},
    };
    QFile::remove(Data().AttendPath() + QStringLiteral("-journal"));
    ASSERT_TRUE(QFile::link(Data().AttendPath(), path(QStringLiteral("sub/log.txt"))));
    ASSERT_TRUE(
        QFile::link(path(QStringLiteral("attend.db-journal")), path(QStringLiteral("sub/w.xlsx"))));
    ASSERT_TRUE(QFile::link(QDir(AppPath).filePath(AttendTemplateName()),
                            path(QStringLiteral("sub/t1.db"))));
    ASSERT_TRUE(QFile::link(path(QStringLiteral("sub/t1.db")), path(QStringLiteral("sub/t2.db"))));
    ASSERT_TRUE(QFile::link(m_data->Dir(), path(QStringLiteral("linked"))));
    ASSERT_TRUE(
        QFile::link(path(QStringLiteral("backup_attend.db")), path(QStringLiteral("sub/b.db"))));
    for (const Case &c : cases)
        EXPECT_EQ(IsProgramDatabaseFile(c.file), c.own) << c.name;
}

// A copy of the template with the statements run on it (through a connection of its own).
QString alteredCopy(const QString &file, DbKind kind, const QString &sql)
{
    QFile::remove(file);
    EXPECT_TRUE(QFile::copy(QDir(AppPath).filePath(kind == DbKind::Sysdat ? SysdatTemplateName()
                                                                          : AttendTemplateName()),
                            file));
    QFile::setPermissions(file, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    if (!sql.isEmpty()) {
        TDatabase db;
        db.Open(file, kind, TDatabase::OpenMode::ReadWrite);
        db.Exec(sql);
        db.Exec(QStringLiteral("PRAGMA journal_mode=DELETE"));
    }
    return file;
}

TEST_F(DbCopyTest, OnlyTheTemplatesSchemaPassesTheSchemaCheck)
{
    struct Case
    {
        const char *name;
        DbKind kind;
        const char *sql;
        bool accepted;
    };
    const Case cases[] = {
        {"the template itself", DbKind::Attend, "", true},
        {"rows of its own", DbKind::Attend,
         "INSERT INTO recorder VALUES ('2026-01-01 08:00:00', 5, 1, 1, 0)", true},
        {"a system file with staff", DbKind::Sysdat,
         "INSERT INTO staffs (CARDNO, NAME) VALUES (4711, 'Alice')", true},
        {"a trigger that deletes every swipe", DbKind::Attend,
         "CREATE TRIGGER wipe AFTER INSERT ON recorder BEGIN DELETE FROM recorder; END", false},
        {"the log as a view", DbKind::Attend,
         "DROP TABLE recorder; CREATE VIEW recorder AS SELECT 1 AS SYSTIME, 2 AS CARDNO, 3 AS "
         "MODE, 4 AS READER, 5 AS LOCK",
         false},
        {"a view beside the tables", DbKind::Attend, "CREATE VIEW v AS SELECT * FROM recorder",
         false},
        {"a trigger that grants rights back", DbKind::Sysdat,
         "CREATE TRIGGER grant_back AFTER UPDATE ON staffs BEGIN UPDATE staffs SET COM1 = 1; "
         "END",
         false},
        {"a table of its own", DbKind::Sysdat, "CREATE TABLE extra (x)", false},
        {"a column of its own", DbKind::Attend, "ALTER TABLE recorder ADD COLUMN NOTE TEXT", false},
        {"an index missing", DbKind::Attend, "DROP INDEX recorder_systime", false},
        {"an index of its own", DbKind::Sysdat, "CREATE INDEX staffs_memo ON staffs (MEMO)", false},
        {"an index over other columns", DbKind::Attend,
         "DROP INDEX recorder_systime; CREATE INDEX recorder_systime ON recorder (CARDNO)", false},
        {"a unique index of the same name", DbKind::Attend,
         "DROP INDEX recorder_systime; CREATE UNIQUE INDEX recorder_systime ON recorder "
         "(SYSTIME)",
         false},
        {"a column of another type", DbKind::Attend,
         "DROP TABLE recorder; CREATE TABLE recorder (SYSTIME TEXT, CARDNO INTEGER NOT NULL "
         "DEFAULT 0, MODE INTEGER NOT NULL DEFAULT 0, READER INTEGER NOT NULL DEFAULT 0, LOCK "
         "INTEGER NOT NULL DEFAULT 0); CREATE INDEX recorder_systime ON recorder (SYSTIME); "
         "CREATE INDEX recorder_cardno_systime ON recorder (CARDNO, SYSTIME)",
         false},
        {"a key of its own", DbKind::Attend,
         "DROP TABLE recorder; CREATE TABLE recorder (SYSTIME DATETIME, CARDNO INTEGER NOT NULL "
         "DEFAULT 0, MODE INTEGER NOT NULL DEFAULT 0, READER INTEGER NOT NULL DEFAULT 0, LOCK "
         "INTEGER NOT NULL DEFAULT 0, UNIQUE (SYSTIME, CARDNO)); CREATE INDEX recorder_systime ON "
         "recorder (SYSTIME); CREATE INDEX recorder_cardno_systime ON recorder (CARDNO, SYSTIME)",
         false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString file =
            alteredCopy(path(QStringLiteral("f.db")), c.kind, QString::fromLatin1(c.sql));
        QString error;
        EXPECT_EQ(HasTemplateSchema(file, c.kind, &error), c.accepted) << error.toStdString();
        EXPECT_EQ(error.isEmpty(), c.accepted);
    }
    // The live files, made from the templates, pass as they are.
    EXPECT_TRUE(HasTemplateSchema(Data().AttendPath(), DbKind::Attend));
    EXPECT_TRUE(HasTemplateSchema(Data().SysdatPath(), DbKind::Sysdat));
}

TEST_F(DbCopyTest, RestoreKilledInItsCommitLeavesAFileThatOpensWithItsOldContent)
{
    fill(200000);
    const QString source = path(QStringLiteral("big.db"));
    ASSERT_TRUE(BackupDatabaseFile(Data().AttendPath(), DbKind::Attend, source));
    m_data->CloseDatabases();
    const QString target = path(QStringLiteral("small.db"));
    alteredCopy(target, DbKind::Attend,
                QStringLiteral("INSERT INTO recorder VALUES ('2026-01-01 08:00:00', 5, 1, 1, 0)"));
    const qint64 oldSize = QFileInfo(target).size();
    // A child dies once the new first page is written and before the last, as in a power
    // cut: the file's header counts pages the file does not hold, a journal holds the old.
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        DieAfterFirstPageWrite::Install("small.db");
        RestoreDatabaseFile(source, DbKind::Attend, target);
        _exit(1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << "the copy ended before it was stopped";
    ASSERT_TRUE(QFileInfo::exists(target + QStringLiteral("-journal")));
    const QByteArray header = readFile(target).left(100);
    const auto *h = reinterpret_cast<const unsigned char *>(header.constData());
    const qint64 pages = (qint64(h[28]) << 24) | (h[29] << 16) | (h[30] << 8) | h[31];
    ASSERT_GT(pages * 4096, QFileInfo(target).size()) << "the header counts the pages to come";

    TDatabase db;
    db.Open(target, DbKind::Attend, TDatabase::OpenMode::ReadWrite);
    EXPECT_EQ(rows(target), 1);
    db.Exec(QStringLiteral("INSERT INTO recorder VALUES ('2026-01-02 08:00:00', 6, 1, 1, 0)"));
    EXPECT_EQ(rows(target), 2);
    db.Close();
    EXPECT_FALSE(QFileInfo::exists(target + QStringLiteral("-journal")));
    EXPECT_LE(QFileInfo(target).size(), oldSize + 4096);
    EXPECT_TRUE(DatabaseFileIntact(target, DbKind::Attend));
    m_data->ReopenDatabases();
}

TEST_F(DbCopyTest, DeleteFilesByMaskDeletesOnlyMatchingFiles)
{
    const QDir dir(m_data->Dir());
    dir.mkdir(QStringLiteral("p"));
    const QDir p(dir.filePath(QStringLiteral("p")));
    for (const char *name : {"a.jpg", ".hidden.jpg", "b.jpeg", "c.txt"}) {
        QFile f(p.filePath(QLatin1String(name)));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    p.mkdir(QStringLiteral("d.jpg"));
    DeleteFilesByMask(p.path(), QStringLiteral("*.jpg"));
    EXPECT_EQ(p.entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              (QStringList{QStringLiteral("b.jpeg"), QStringLiteral("c.txt"),
                           QStringLiteral("d.jpg")}));
}

} // namespace
