// Database copies through SQLite: a backup is a whole file or nothing, a restore all or
// nothing, and a file picked by the user is checked before it is used.

#include "store/dbcopy.h"
#include "store/dbfile.h"
#include "store/paths.h"
#include "testsupport/tempdata.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>

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
    };
    for (const Case &c : cases)
        EXPECT_EQ(IsProgramDatabaseFile(c.file), c.own) << c.name;
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
