#include "store/dbcopy.h"

#include "store/dbfile.h"
#include "store/paths.h"
#include "store/pgbar.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QTemporaryFile>

#include <sqlite3.h>

#include <filesystem>
#include <system_error>

namespace {

// About 4 MiB of 4 KiB pages between two looks at the event loop.
constexpr int PagesPerStep = 1024;

void setError(QString *error, const QString &text)
{
    if (error)
        *error = text;
}

QString sqliteText(sqlite3 *db, int rc)
{
    return db ? QString::fromUtf8(sqlite3_errmsg(db)) : QString::fromUtf8(sqlite3_errstr(rc));
}

// A raw connection closed on every way out.
struct RawDb
{
    sqlite3 *db = nullptr;
    ~RawDb() { sqlite3_close(db); }
    int open(const QString &path, int flags)
    {
        return sqlite3_open_v2(QFileInfo(path).absoluteFilePath().toUtf8().constData(), &db,
                               flags, nullptr);
    }
    bool exec(const char *sql, QString *error)
    {
        const int rc = sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
        if (rc != SQLITE_OK)
            setError(error, sqliteText(db, rc));
        return rc == SQLITE_OK;
    }
};

// Copies every page of from into to as one write transaction on to.
bool copyPages(sqlite3 *from, sqlite3 *to, const TCopyProgress &progress, QString *error)
{
    sqlite3_backup *backup = sqlite3_backup_init(to, "main", from, "main");
    if (!backup) {
        setError(error, sqliteText(to, SQLITE_ERROR));
        return false;
    }
    int rc = SQLITE_OK;
    do {
        rc = sqlite3_backup_step(backup, PagesPerStep);
        if ((rc == SQLITE_OK || rc == SQLITE_DONE) && progress) {
            const int total = sqlite3_backup_pagecount(backup);
            progress(total - sqlite3_backup_remaining(backup), total);
        }
    } while (rc == SQLITE_OK);
    const int finished = sqlite3_backup_finish(backup);
    if (rc != SQLITE_DONE || finished != SQLITE_OK) {
        setError(error, sqliteText(to, rc != SQLITE_DONE ? rc : finished));
        return false;
    }
    return true;
}

// The copy takes the source's header, which may say write-ahead log: the file is left in
// rollback-journal mode, so nothing has to sit beside it.
bool leaveRollbackJournal(RawDb &db, QString *error)
{
    return db.exec("PRAGMA journal_mode=DELETE", error);
}

void giveOwnerReadWrite(const QString &path)
{
    QFile::setPermissions(path, QFile::permissions(path) | QFileDevice::ReadOwner |
                                    QFileDevice::WriteOwner);
}

// The path compared, even for a file that does not exist yet: its folder resolved.
QString comparablePath(const QString &path)
{
    const QFileInfo info(path);
    const QString folder = QFileInfo(info.absolutePath()).canonicalFilePath();
    return QDir::cleanPath((folder.isEmpty() ? info.absolutePath() : folder) + QLatin1Char('/') +
                           info.fileName());
}

bool sameFile(const QString &a, const QString &b)
{
    std::error_code ec;
    if (std::filesystem::equivalent(std::filesystem::path(a.toStdString()),
                                    std::filesystem::path(b.toStdString()), ec))
        return true;
    return comparablePath(a) == comparablePath(b);
}

// Table name and column name, upper case, of every column of the open database.
QSet<QString> columnsOf(TDatabase &db)
{
    QSet<QString> columns;
    TStatement st = db.Prepare(QStringLiteral(
        "select m.name, p.name from sqlite_schema m join pragma_table_info(m.name) p "
        "where m.type in ('table', 'view') and m.name not like 'sqlite_%'"));
    while (st.Step())
        columns.insert(st.ColumnText(0).toUpper() + QLatin1Char('.') + st.ColumnText(1).toUpper());
    return columns;
}

} // namespace

QString LiveDatabasePath(DbKind kind)
{
    return QDir(DataPath).filePath(kind == DbKind::Sysdat ? SysdatFileName() : AttendFileName());
}

QString TemplateDatabasePath(DbKind kind)
{
    return QDir(AppPath).filePath(kind == DbKind::Sysdat ? SysdatTemplateName()
                                                         : AttendTemplateName());
}

bool IsProgramDatabaseFile(const QString &path)
{
    for (const DbKind kind : {DbKind::Attend, DbKind::Sysdat}) {
        if (sameFile(path, TemplateDatabasePath(kind)))
            return true;
        const QString live = LiveDatabasePath(kind);
        for (const char *suffix : {"", "-wal", "-shm", "-journal"})
            if (sameFile(path, live + QLatin1String(suffix)))
                return true;
    }
    return false;
}

bool BackupDatabaseFile(const QString &source, DbKind kind, const QString &target,
                        const TCopyProgress &progress, QString *error)
{
    const QFileInfo targetInfo(target);
    if (target.isEmpty() || targetInfo.isDir()) {
        setError(error, QStringLiteral("%1 is a folder").arg(QDir::toNativeSeparators(target)));
        return false;
    }
    try {
        TDatabase from;
        from.Open(source, kind, TDatabase::OpenMode::ReadOnly);

        QTemporaryFile partial(targetInfo.absolutePath() + QStringLiteral("/.") +
                               targetInfo.fileName() + QStringLiteral(".XXXXXX"));
        if (!partial.open()) {
            setError(error, QStringLiteral("Cannot write in %1: %2")
                                .arg(QDir::toNativeSeparators(targetInfo.absolutePath()),
                                     partial.errorString()));
            return false;
        }
        partial.close();
        {
            RawDb to;
            const int rc = to.open(partial.fileName(), SQLITE_OPEN_READWRITE);
            if (rc != SQLITE_OK) {
                setError(error, sqliteText(to.db, rc));
                return false;
            }
            // A new file nobody reads until it is renamed: no journal needed while it fills.
            if (!to.exec("PRAGMA journal_mode=OFF", error) ||
                !copyPages(from.Handle(), to.db, progress, error) ||
                !leaveRollbackJournal(to, error) || !to.exec("PRAGMA synchronous=FULL", error))
                return false;
        }
        // The copy is complete and on disk; only now does it take the target's name.
        std::error_code ec;
        std::filesystem::rename(std::filesystem::path(partial.fileName().toStdString()),
                                std::filesystem::path(targetInfo.absoluteFilePath().toStdString()),
                                ec);
        if (ec) {
            setError(error, QString::fromStdString(ec.message()));
            return false;
        }
        partial.setAutoRemove(false);
        return true;
    } catch (const EDatabaseError &e) {
        setError(error, e.Message());
        return false;
    }
}

bool RestoreDatabaseFile(const QString &source, DbKind kind, const QString &target,
                         const TCopyProgress &progress, QString *error)
{
    if (target.isEmpty() || QFileInfo(target).isDir()) {
        setError(error, QStringLiteral("%1 is a folder").arg(QDir::toNativeSeparators(target)));
        return false;
    }
    try {
        TDatabase from;
        from.Open(source, kind, TDatabase::OpenMode::ReadOnly);
        if (QFileInfo::exists(target))
            giveOwnerReadWrite(target);
        {
            RawDb to;
            const int rc = to.open(target, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
            if (rc != SQLITE_OK) {
                setError(error, sqliteText(to.db, rc));
                return false;
            }
            sqlite3_busy_timeout(to.db, TDatabase::BusyTimeoutMs);
            // Out of the write-ahead log first (whatever a crash left in it is settled here):
            // the new content then goes in through a rollback journal, all or nothing, and
            // no log is left to be played over it later.
            if (!leaveRollbackJournal(to, error) || !to.exec("PRAGMA synchronous=FULL", error) ||
                !copyPages(from.Handle(), to.db, progress, error) ||
                !leaveRollbackJournal(to, error)) {
                to.exec("ROLLBACK", nullptr);
                sqlite3_close(to.db);
                to.db = nullptr;
                // A copy stopped by a failed write leaves its journal behind: the next
                // connection plays it back, so the file holds its old content again now.
                RawDb again;
                if (again.open(target, SQLITE_OPEN_READWRITE) == SQLITE_OK)
                    again.exec("SELECT count(*) FROM sqlite_schema", nullptr);
                return false;
            }
        }
        giveOwnerReadWrite(target);
        return true;
    } catch (const EDatabaseError &e) {
        setError(error, e.Message());
        return false;
    }
}

bool DatabaseFileIntact(const QString &path, DbKind kind, QString *error)
{
    try {
        TDatabase db;
        db.Open(path, kind, TDatabase::OpenMode::ReadOnly);
        TStatement st = db.Prepare(QStringLiteral("PRAGMA quick_check"));
        while (st.Step()) {
            const QString line = st.ColumnText(0);
            if (line != QLatin1String("ok")) {
                setError(error, line);
                return false;
            }
        }
        return true;
    } catch (const EDatabaseError &e) {
        setError(error, e.Message());
        return false;
    }
}

bool HasTemplateColumns(const QString &path, DbKind kind, QString *error)
{
    try {
        TDatabase file;
        file.Open(path, kind, TDatabase::OpenMode::ReadOnly);
        TDatabase model;
        model.Open(TemplateDatabasePath(kind), kind, TDatabase::OpenMode::ReadOnly);
        const QSet<QString> present = columnsOf(file);
        QStringList missing;
        for (const QString &column : columnsOf(model))
            if (!present.contains(column))
                missing << column;
        if (missing.isEmpty())
            return true;
        missing.sort();
        setError(error, QStringLiteral("missing %1").arg(missing.join(QStringLiteral(", "))));
        return false;
    } catch (const EDatabaseError &e) {
        setError(error, e.Message());
        return false;
    }
}

void DeleteFilesByMask(const QString &folder, const QString &mask)
{
    const QDir dir(folder);
    const QStringList names =
        dir.entryList({mask}, QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString &name : names) {
        QFile::remove(dir.filePath(name));
        QCoreApplication::processEvents();
    }
}

TCopyProgress CopyProgressOnGauge(Tpbar &bar)
{
    return [&bar](int done, int total) {
        if (bar.Maximum() != total)
            bar.SetMaximum(total);
        if (bar.Position() < done)
            bar.StepBy(done - bar.Position());
        QCoreApplication::processEvents();
    };
}
