// Opening a database file of a kind: the right kind opens, everything else is refused with a
// clear error and the file is left exactly as it was.

#include "store/dbfile.h"
#include "testsupport/outsidereader.h"
#include "testsupport/tempdata.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <atomic>
#include <cstdio>
#include <thread>

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString templatePath(DbKind kind)
{
    return QDir(TempData::TemplateDir())
        .filePath(kind == DbKind::Attend ? AttendTemplateName() : SysdatTemplateName());
}

QByteArray digest(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray();
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Runs statements on a file with SQLite alone, outside the layer under test.
void rawExec(const QString &path, const char *sql)
{
    sqlite3 *db = nullptr;
    ASSERT_EQ(sqlite3_open(path.toUtf8().constData(), &db), SQLITE_OK);
    char *error = nullptr;
    const int rc = sqlite3_exec(db, sql, nullptr, nullptr, &error);
    EXPECT_EQ(rc, SQLITE_OK) << (error ? error : "");
    sqlite3_free(error);
    sqlite3_close(db);
}

// The names of the files in a folder, as one text that a failing test prints readably.
std::string filesIn(const QString &dir)
{
    return QDir(dir).entryList(QDir::Files | QDir::Hidden, QDir::Name).join(u' ').toStdString();
}

class DbFileTest : public ::testing::Test
{
protected:
    QString copyOf(DbKind kind, const QString &name)
    {
        const QString target = QDir(m_dir.path()).filePath(name);
        QFile::copy(templatePath(kind), target);
        QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner);
        return target;
    }
    QString path(const QString &name) const { return QDir(m_dir.path()).filePath(name); }

    QTemporaryDir m_dir;
};

} // namespace

TEST_F(DbFileTest, EachKindOpensOnlyAsItself)
{
    struct Case
    {
        DbKind fileKind;
        DbKind askedKind;
        bool opens;
        const char *reasonPart;
    };
    const Case cases[] = {
        {DbKind::Attend, DbKind::Attend, true, ""},
        {DbKind::Sysdat, DbKind::Sysdat, true, ""},
        {DbKind::Attend, DbKind::Sysdat, false, "is an attendance database, not a system"},
        {DbKind::Sysdat, DbKind::Attend, false, "is a system database, not an attendance"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(int(c.askedKind) * 10 + int(c.fileKind));
        const QString file = copyOf(c.fileKind, QStringLiteral("some file.db"));
        const QByteArray before = digest(file);
        QString error;
        EXPECT_EQ(CheckDatabaseFile(file, c.askedKind, &error), c.opens) << error.toStdString();
        if (!c.opens) {
            EXPECT_TRUE(error.contains(QString::fromLatin1(c.reasonPart))) << error.toStdString();
            TDatabase db;
            EXPECT_THROW(db.Open(file, c.askedKind, TDatabase::OpenMode::ReadWrite),
                         EDatabaseError);
            EXPECT_FALSE(db.IsOpen());
            EXPECT_EQ(digest(file), before); // refused before anything was written
        }
        QFile::remove(file);
    }
}

TEST_F(DbFileTest, RefusesWhatIsNotADatabaseOfThisProgram)
{
    const QByteArray sysdat = readFile(templatePath(DbKind::Sysdat));
    struct Case
    {
        const char *name;
        std::function<void(const QString &)> make;
        const char *reasonPart;
    };
    const Case cases[] = {
        {"missing", [](const QString &) {}, "does not exist"},
        {"empty", [](const QString &p) { writeFile(p, QByteArray()); }, "not a database file"},
        {"text",
         [](const QString &p) { writeFile(p, QByteArray("CARDNO;NAME\n1;ALICE\n").repeated(300)); },
         "not a database file"},
        {"truncated", [&](const QString &p) { writeFile(p, sysdat.left(sysdat.size() - 4096)); },
         "truncated"},
        {"cut mid-page", [&](const QString &p) { writeFile(p, sysdat.left(5000)); }, "truncated"},
        {"foreign SQLite",
         [](const QString &p) { rawExec(p, "CREATE TABLE recorder (SYSTIME, CARDNO)"); },
         "is not a Tallyclock system database"},
        {"newer schema",
         [&](const QString &p) {
             writeFile(p, sysdat);
             rawExec(p, "PRAGMA user_version = 2");
         },
         "schema version 2"},
        {"a folder", [](const QString &p) { QDir().mkpath(p); }, "not a database file"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString file = path(QStringLiteral("case.db"));
        c.make(file);
        const std::string filesBefore = filesIn(m_dir.path());
        const QByteArray before = digest(file);
        QString error;
        EXPECT_FALSE(CheckDatabaseFile(file, DbKind::Sysdat, &error));
        EXPECT_TRUE(error.contains(QString::fromLatin1(c.reasonPart))) << error.toStdString();
        try {
            TDatabase db;
            db.Open(file, DbKind::Sysdat, TDatabase::OpenMode::ReadWrite);
            ADD_FAILURE() << "opened";
        } catch (const EDatabaseError &e) {
            EXPECT_NE(e.Code(), 0);
            EXPECT_TRUE(e.Message().contains(QStringLiteral("case.db"))) << e.what();
        }
        // Nothing created beside it, nothing changed in it.
        EXPECT_EQ(filesIn(m_dir.path()), filesBefore);
        EXPECT_EQ(digest(file), before);
        QFile::remove(file);
        QDir(file).removeRecursively();
    }
}

TEST_F(DbFileTest, PathsWithBlanksSemicolonsQuotesAndNonAsciiAreOneValue)
{
    for (const char *name : {"a b;c=d.db", "it's \"x\".db", "Zürich Ωmega.db", "file:x.db"}) {
        SCOPED_TRACE(name);
        const QString file = copyOf(DbKind::Attend, QString::fromUtf8(name));
        auto db = OpenDatabaseFile(file, DbKind::Attend, TDatabase::OpenMode::ReadWrite);
        EXPECT_EQ(db->Kind(), DbKind::Attend);
        EXPECT_EQ(db->Path(), QFileInfo(file).absoluteFilePath());
        db->Exec(QStringLiteral("INSERT INTO recorder (SYSTIME, CARDNO) VALUES "
                                "('2026-01-01 08:00:00', 1)"));
        db->Close();
        EXPECT_TRUE(CheckDatabaseFile(file, DbKind::Attend));
    }
}

TEST_F(DbFileTest, ReadWriteConnectionIsDurable)
{
    const QString file = copyOf(DbKind::Attend, QStringLiteral("attend.db"));
    TDatabase db;
    db.Open(file, DbKind::Attend);
    TStatement journal = db.Prepare(QStringLiteral("PRAGMA journal_mode"));
    ASSERT_TRUE(journal.Step());
    EXPECT_EQ(journal.ColumnText(0), QStringLiteral("wal"));
    TStatement sync = db.Prepare(QStringLiteral("PRAGMA synchronous"));
    ASSERT_TRUE(sync.Step());
    EXPECT_EQ(sync.ColumnInt64(0), 2); // FULL
}

TEST_F(DbFileTest, ReadOnlyConnectionRefusesWrites)
{
    const QString file = copyOf(DbKind::Attend, QStringLiteral("attend.db"));
    auto db = OpenDatabaseFile(file, DbKind::Attend);
    EXPECT_TRUE(db->IsReadOnly());
    try {
        db->Exec(QStringLiteral("INSERT INTO recorder (CARDNO) VALUES (1)"));
        ADD_FAILURE() << "wrote";
    } catch (const EDatabaseError &e) {
        EXPECT_EQ(e.Code() & 0xff, SQLITE_READONLY);
    }
}

TEST_F(DbFileTest, FileLockedByAnotherWriterIsAClearErrorNotAHang)
{
    const QString file = copyOf(DbKind::Sysdat, QStringLiteral("sysdat.db"));
    sqlite3 *other = nullptr;
    ASSERT_EQ(sqlite3_open(file.toUtf8().constData(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    QElapsedTimer timer;
    timer.start();
    TDatabase db;
    try {
        db.Open(file, DbKind::Sysdat);
        ADD_FAILURE() << "opened a locked file";
    } catch (const EDatabaseError &e) {
        EXPECT_TRUE(e.Message().contains(QStringLiteral("locked"))) << e.what();
        EXPECT_EQ(e.Code() & 0xff, SQLITE_BUSY);
    }
    EXPECT_LT(timer.elapsed(), TDatabase::BusyTimeoutMs + 2000);
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    EXPECT_NO_THROW(db.Open(file, DbKind::Sysdat)); // fine once the other writer is done
}

TEST_F(DbFileTest, CheckingABackupOfALiveFileLeavesNothingBeside)
{
    // A live file runs with a write-ahead log; its backup is checked before a restore.
    const QString live = copyOf(DbKind::Attend, QStringLiteral("attend.db"));
    {
        TDatabase db;
        db.Open(live, DbKind::Attend);
        db.Exec(QStringLiteral("INSERT INTO recorder (SYSTIME, CARDNO) VALUES "
                               "('2026-01-01 08:00:00', 1)"));
    }
    const QString backup = path(QStringLiteral("backup_attend.db"));
    ASSERT_TRUE(QFile::copy(live, backup));
    const std::string before = filesIn(m_dir.path());
    const QByteArray bytes = digest(backup);
    EXPECT_TRUE(CheckDatabaseFile(backup, DbKind::Attend));
    EXPECT_FALSE(CheckDatabaseFile(backup, DbKind::Sysdat));
    EXPECT_EQ(filesIn(m_dir.path()), before);
    EXPECT_EQ(digest(backup), bytes);
}

// Opening and closing more connections on a file the desk holds must leave the desk's locks in
// place: without them another program reading the file takes itself for its last user, folds
// the write-ahead log back and deletes it, and the desk's later commits go into a deleted file.
TEST_F(DbFileTest, LooksAtALiveFileKeepItsConnectionsLocks)
{
    const QString live = copyOf(DbKind::Attend, QStringLiteral("attend.db"));
    const QString other = copyOf(DbKind::Sysdat, QStringLiteral("sysdat.db"));
    struct Case
    {
        const char *name;
        std::function<void()> look;
    };
    const Case cases[] = {
        {"read-only connection",
         [&] {
             auto db = OpenDatabaseFile(live, DbKind::Attend);
             db->Exec(QStringLiteral("SELECT COUNT(*) FROM recorder"));
         }},
        {"second read-write connection",
         [&] { OpenDatabaseFile(live, DbKind::Attend, TDatabase::OpenMode::ReadWrite); }},
        {"file check", [&] { EXPECT_TRUE(CheckDatabaseFile(live, DbKind::Attend)); }},
        {"refused as the other kind",
         [&] { EXPECT_FALSE(CheckDatabaseFile(live, DbKind::Sysdat)); }},
        {"another file opened and closed",
         [&] { EXPECT_TRUE(CheckDatabaseFile(other, DbKind::Sysdat)); }},
        // What any other code may do (a file dialog reading the start of a file for its type).
        {"file, log and index read through a descriptor of their own",
         [&] {
             for (const char *suffix : {"", "-wal", "-shm"}) {
                 QFile file(live + QLatin1String(suffix));
                 ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << suffix;
                 EXPECT_FALSE(file.read(16).isEmpty()) << suffix;
             }
         }},
    };
    TDatabase desk;
    desk.Open(live, DbKind::Attend);
    int rows = 0;
    auto addRow = [&] {
        desk.Exec(QStringLiteral("INSERT INTO recorder (SYSTIME, CARDNO) VALUES "
                                 "('2026-01-01 08:00:00', %1)")
                      .arg(++rows));
    };
    addRow();
    ASSERT_TRUE(ThisProcessLocks(live));
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        c.look();
        EXPECT_TRUE(ThisProcessLocks(live));
        EXPECT_TRUE(ThisProcessLocks(live + QStringLiteral("-shm")));
        // An outside reader in between changes nothing: the log stays, and the next commit is
        // in the file for everyone.
        EXPECT_EQ(OutsideQuery(live, QStringLiteral("SELECT COUNT(*) FROM recorder")).toStdString(),
                  std::to_string(rows));
        EXPECT_TRUE(QFile::exists(live + QStringLiteral("-wal")));
        addRow();
        EXPECT_EQ(OutsideQuery(live, QStringLiteral("SELECT COUNT(*) FROM recorder")).toStdString(),
                  std::to_string(rows));
    }
    // The descriptors kept open meanwhile serve the next looks: a desk serving pages for weeks
    // does not run out of them.
    auto openDescriptors = [] {
        return QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System).size();
    };
    const qsizetype before = openDescriptors();
    for (int i = 0; i < 200; ++i) {
        ASSERT_TRUE(CheckDatabaseFile(live, DbKind::Attend));
        OpenDatabaseFile(live, DbKind::Attend);
    }
    EXPECT_LE(openDescriptors(), before + 4);
}

namespace {

const char *const kReadOnlyChildEnv = "TALLYCLOCK_READONLY_FILE";

// The child of the test below: opens the file for writing as a user without the rights to,
// and prints why it was refused.
TEST(ReadOnlyChild, OpenForWriting)
{
    const QString file = qEnvironmentVariable(kReadOnlyChildEnv);
    if (file.isEmpty())
        GTEST_SKIP() << "runs only as the child of the read-only test";
    try {
        TDatabase db;
        db.Open(file, DbKind::Attend, TDatabase::OpenMode::ReadWrite);
        std::printf("opened\n");
    } catch (const EDatabaseError &e) {
        std::printf("refused: %s\n", e.what());
    }
}

} // namespace

// A desk that cannot write its file would start and then fail every swipe: such a file is
// refused for writing, with the reason. Run as another user, since the superuser may write
// anywhere.
TEST_F(DbFileTest, FileThatCannotBeWrittenIsRefusedWithTheReason)
{
    struct Case
    {
        const char *name;
        bool writeAheadLog; // the file has been a live file before
        bool folderReadOnly;
        const char *reasonPart;
    };
    const Case cases[] = {
        {"folder read-only, live file before", true, true, "its folder"},
        {"folder read-only, fresh copy", false, true, "its folder"},
        {"file read-only", true, false, "attend.db is read-only"},
    };
    const bool root = ::geteuid() == 0;
    constexpr uid_t nobody = 65534;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString file = QDir(dir.path()).filePath(QStringLiteral("attend.db"));
        ASSERT_TRUE(QFile::copy(templatePath(DbKind::Attend), file));
        QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner);
        if (c.writeAheadLog)
            rawExec(file, "PRAGMA journal_mode=WAL");
        if (root) {
            for (const QString &p : {dir.path(), file})
                ASSERT_EQ(::chown(p.toLocal8Bit().constData(), nobody, nobody), 0);
        }
        if (c.folderReadOnly) {
            ASSERT_TRUE(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner));
        } else {
            ASSERT_TRUE(QFile::setPermissions(file, QFile::ReadOwner));
        }

        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QString::fromLatin1(kReadOnlyChildEnv), file);
        env.insert(QStringLiteral("HOME"), QDir::tempPath());
        child.setProcessEnvironment(env);
        if (root)
            child.setChildProcessModifier([] {
                if (::setgroups(0, nullptr) != 0 || ::setgid(nobody) != 0 || ::setuid(nobody) != 0)
                    ::_exit(3);
            });
        child.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("--gtest_filter=ReadOnlyChild.*")});
        ASSERT_TRUE(child.waitForFinished(20000));
        const QString out = QString::fromUtf8(child.readAllStandardOutput());
        EXPECT_TRUE(out.contains(QStringLiteral("refused: ")) &&
                    out.contains(QString::fromLatin1(c.reasonPart)))
            << out.toStdString() << QString::fromUtf8(child.readAllStandardError()).toStdString();
        QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
}

// A checkpoint moves the log's pages into the file with the first page first, so for a moment
// the header counts pages the file does not hold yet. Looks at the file in that moment (a web
// page opening its connection) must not take it for a truncated file.
TEST_F(DbFileTest, FileGrowingUnderACheckpointIsNotTakenForTruncated)
{
    const QString live = copyOf(DbKind::Attend, QStringLiteral("attend.db"));
    TDatabase desk;
    desk.Open(live, DbKind::Attend);
    std::atomic<bool> stop{false};
    std::thread writer([&] {
        sqlite3 *db = nullptr;
        if (sqlite3_open(live.toUtf8().constData(), &db) != SQLITE_OK)
            return;
        sqlite3_busy_timeout(db, 1000);
        const std::string grow =
            "BEGIN; WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 2000) "
            "INSERT INTO recorder (SYSTIME, CARDNO) SELECT '2026-01-01 08:00:00', i FROM n; "
            "COMMIT; PRAGMA wal_checkpoint(PASSIVE);";
        while (!stop.load())
            sqlite3_exec(db, grow.c_str(), nullptr, nullptr, nullptr);
        sqlite3_close(db);
    });
    QElapsedTimer clock;
    clock.start();
    int looks = 0;
    QString firstError;
    while (clock.elapsed() < 3000 && firstError.isEmpty()) {
        QString error;
        if (!CheckDatabaseFile(live, DbKind::Attend, &error))
            firstError = error;
        ++looks;
    }
    stop = true;
    writer.join();
    EXPECT_TRUE(firstError.isEmpty()) << "after " << looks << " looks: " << firstError.toStdString();
}
