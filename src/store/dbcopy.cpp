#include "store/dbcopy.h"

#include "store/db/pagecopy.h"
#include "store/dbfile.h"
#include "store/messages.h"
#include "store/paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QTemporaryFile>

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

// The copy takes the source's header, which may say write-ahead log: the file is left in
// rollback-journal mode, so nothing has to sit beside it.
bool leaveRollbackJournal(TPageCopyTarget &db, QString *error)
{
    return db.Exec("PRAGMA journal_mode=DELETE", error);
}

void giveOwnerReadWrite(const QString &path)
{
    QFile::setPermissions(path, QFile::permissions(path) | QFileDevice::ReadOwner |
                                    QFileDevice::WriteOwner);
}

// The path with every link followed, also a link whose target does not exist yet (a -wal made
// later) and links in its folders, and "." and ".." resolved.
std::filesystem::path resolvedPath(const QString &path)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path p = fs::absolute(fs::path(QFile::encodeName(path).toStdString()), ec);
    // A chain of links ends somewhere; a loop is cut short.
    for (int hops = 0; hops < 40 && fs::is_symlink(p, ec); ++hops) {
        const fs::path target = fs::read_symlink(p, ec);
        if (ec)
            break;
        p = target.is_absolute() ? target : p.parent_path() / target;
    }
    const fs::path canonical = fs::weakly_canonical(p, ec);
    return ec ? p.lexically_normal() : canonical;
}

bool sameFile(const QString &a, const QString &b)
{
    std::error_code ec;
    // Hard links too, where both exist.
    if (std::filesystem::equivalent(resolvedPath(a), resolvedPath(b), ec))
        return true;
    return resolvedPath(a) == resolvedPath(b);
}

// One line per schema object that matters to the program, names upper case: every table with
// its columns (declared type, NOT NULL, default, key) and its indexes (also those SQLite makes
// for a UNIQUE or PRIMARY KEY, with their columns), every index, trigger and view with its
// statement. Two files with the same lines hold the same schema.
QSet<QString> schemaOf(TDatabase &db)
{
    QSet<QString> lines;
    QStringList tables;
    TStatement objects = db.Prepare(
        QStringLiteral("select type, name, tbl_name, coalesce(sql, '') from sqlite_schema "
                       "where name not like 'sqlite\\_%' escape '\\'"));
    while (objects.Step()) {
        const QString type = objects.ColumnText(0);
        const QString name = objects.ColumnText(1).toUpper();
        if (type == QLatin1String("table"))
            tables << objects.ColumnText(1);
        else
            lines.insert(type + QLatin1Char(' ') + name + QStringLiteral(" on ") +
                         objects.ColumnText(2).toUpper() + QStringLiteral(": ") +
                         objects.ColumnText(3).simplified());
    }
    for (const QString &table : tables) {
        const QString t = table.toUpper();
        lines.insert(QStringLiteral("table ") + t);
        TStatement columns = db.Prepare(QStringLiteral(
            "select cid, name, upper(type), \"notnull\", coalesce(dflt_value, ''), pk, hidden "
            "from pragma_table_xinfo(?)"));
        columns.Bind(1, table);
        while (columns.Step())
            lines.insert(QStringLiteral("column %1.%2 #%3 %4 notnull=%5 default=%6 pk=%7 hidden=%8")
                             .arg(t, columns.ColumnText(1).toUpper(), columns.ColumnText(0),
                                  columns.ColumnText(2), columns.ColumnText(3),
                                  columns.ColumnText(4), columns.ColumnText(5),
                                  columns.ColumnText(6)));
        TStatement indexes = db.Prepare(QStringLiteral(
            "select l.name, l.\"unique\", l.origin, l.partial, "
            "(select group_concat(coalesce(upper(x.name), '<expr>') || ' ' || x.\"desc\" || ' ' "
            "|| x.coll, ', ') from pragma_index_xinfo(l.name) x where x.key) "
            "from pragma_index_list(?) l"));
        indexes.Bind(1, table);
        while (indexes.Step()) {
            // SQLite names the indexes it makes after their order in the table: compare what
            // they hold rather than the name.
            const bool automatic = indexes.ColumnText(2) != QLatin1String("c");
            lines.insert(QStringLiteral("table index %1 %2 unique=%3 origin=%4 partial=%5 (%6)")
                             .arg(t, automatic ? QString() : indexes.ColumnText(0).toUpper(),
                                  indexes.ColumnText(1), indexes.ColumnText(2),
                                  indexes.ColumnText(3), indexes.ColumnText(4)));
        }
    }
    return lines;
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

bool NotAProgramFile(const QString &path)
{
    if (!IsProgramDatabaseFile(path))
        return true;
    ShowError(QStringLiteral("Operation failed. Please retry!"));
    return false;
}

bool BackupDatabaseFile(const QString &source, DbKind kind, const QString &target,
                        const TCopyProgress &progress, QString *error)
{
    try {
        TDatabase from;
        from.Open(source, kind, TDatabase::OpenMode::ReadOnly);
        return BackupDatabaseFile(from, target, progress, error);
    } catch (const EDatabaseError &e) {
        setError(error, e.Message());
        return false;
    }
}

bool BackupDatabaseFile(TDatabase &source, const QString &target, const TCopyProgress &progress,
                        QString *error)
{
    const QFileInfo targetInfo(target);
    if (target.isEmpty() || targetInfo.isDir()) {
        setError(error, QStringLiteral("%1 is a folder").arg(QDir::toNativeSeparators(target)));
        return false;
    }
    if (!source.IsOpen()) {
        setError(error, QStringLiteral("No database open to copy"));
        return false;
    }
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
        TPageCopyTarget to;
        if (!to.Open(partial.fileName(), false, error))
            return false;
        // A new file nobody reads until it is renamed: no journal needed while it fills.
        // Rows the source's own connection writes between batches go into the copy as well.
        if (!to.Exec("PRAGMA journal_mode=OFF", error) ||
            !to.CopyPagesFrom(source, PagesPerStep, progress, error) ||
            !leaveRollbackJournal(to, error) || !to.Exec("PRAGMA synchronous=FULL", error))
            return false;
    }
    // The copy is complete and on disk; only now does it take the target's name.
    std::error_code ec;
    std::filesystem::rename(std::filesystem::path(partial.fileName().toStdString()),
                            std::filesystem::path(targetInfo.absoluteFilePath().toStdString()), ec);
    if (ec) {
        setError(error, QString::fromStdString(ec.message()));
        return false;
    }
    partial.setAutoRemove(false);
    return true;
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
            TPageCopyTarget to;
            if (!to.Open(target, true, error))
                return false;
            to.SetBusyTimeout(TDatabase::BusyTimeoutMs);
            // Out of the write-ahead log first (whatever a crash left in it is settled here):
            // the new content then goes in through a rollback journal, all or nothing, and
            // no log is left to be played over it later.
            if (!leaveRollbackJournal(to, error) || !to.Exec("PRAGMA synchronous=FULL", error) ||
                !to.CopyPagesFrom(from, PagesPerStep, progress, error) ||
                !leaveRollbackJournal(to, error)) {
                to.Exec("ROLLBACK", nullptr);
                to.Close();
                // A copy stopped by a failed write leaves its journal behind: the next
                // connection plays it back, so the file holds its old content again now.
                TPageCopyTarget again;
                if (again.Open(target, false, nullptr))
                    again.Exec("SELECT count(*) FROM sqlite_schema", nullptr);
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

bool HasTemplateSchema(const QString &path, DbKind kind, QString *error)
{
    try {
        TDatabase file;
        file.Open(path, kind, TDatabase::OpenMode::ReadOnly);
        TDatabase model;
        model.Open(TemplateDatabasePath(kind), kind, TDatabase::OpenMode::ReadOnly);
        const QSet<QString> found = schemaOf(file);
        const QSet<QString> expected = schemaOf(model);
        if (found == expected)
            return true;
        QStringList missing = QSet<QString>(expected).subtract(found).values();
        QStringList extra = QSet<QString>(found).subtract(expected).values();
        missing.sort();
        extra.sort();
        QStringList parts;
        if (!missing.isEmpty())
            parts << QStringLiteral("missing: ") + missing.join(QStringLiteral("; "));
        if (!extra.isEmpty())
            parts << QStringLiteral("not in the template: ") + extra.join(QStringLiteral("; "));
        setError(error, parts.join(QStringLiteral(" / ")));
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
