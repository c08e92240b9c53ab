#include "desk/dbimport.h"

#include "store/dbfile.h"
#include "store/pragmascope.h"

#include <sqlite3.h>

#include <cstring>
#include <limits>

namespace {

// A stored time of the source, "YYYY-MM-DD HH:MM:SS" (or with a "T", or with fractions of a
// second), as the target stores it: to the second. False for anything else, a date that does
// not exist included.
bool wholeSecondTime(sqlite3_stmt *st, int column, char out[20])
{
    if (sqlite3_column_type(st, column) != SQLITE_TEXT)
        return false;
    const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(st, column));
    const int n = sqlite3_column_bytes(st, column);
    if (!ReadDbTime(QByteArrayView(text, n), DbTimeRead::Whole).IsValid())
        return false;
    std::memcpy(out, text, DbTimeLength);
    out[10] = ' ';
    out[DbTimeLength] = '\0';
    return true;
}

// An integer column that holds an integer of the int range.
bool intColumn(sqlite3_stmt *st, int column, sqlite3_int64 &value)
{
    if (sqlite3_column_type(st, column) != SQLITE_INTEGER)
        return false;
    value = sqlite3_column_int64(st, column);
    return value >= std::numeric_limits<int>::min() && value <= std::numeric_limits<int>::max();
}

// Runs a statement that changes rows; false when the row was refused. Ready to run again.
bool runChange(sqlite3_stmt *st)
{
    const int rc = sqlite3_step(st);
    sqlite3_reset(st);
    return rc == SQLITE_DONE;
}

// Whether the look-up finds a row; the first column in *id when given.
bool found(sqlite3_stmt *st, sqlite3_int64 *id = nullptr)
{
    const int rc = sqlite3_step(st);
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
        const QString message = QString::fromUtf8(sqlite3_errmsg(sqlite3_db_handle(st)));
        sqlite3_reset(st);
        throw EDatabaseError(message, rc);
    }
    if (rc == SQLITE_ROW && id)
        *id = sqlite3_column_int64(st, 0);
    sqlite3_reset(st);
    return rc == SQLITE_ROW;
}

// The next source row; raises when the source cannot be read further.
bool nextRow(sqlite3_stmt *st)
{
    const int rc = sqlite3_step(st);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    throw EDatabaseError(QString::fromUtf8(sqlite3_errmsg(sqlite3_db_handle(st))), rc);
}

int rowCount(TDatabase &db, const QString &table)
{
    TStatement st = db.Prepare(QStringLiteral("select count(*) from ") + table);
    st.Step();
    return int(st.ColumnInt64(0));
}

// A batch dirties index pages all over the log (its rows are of every card): with the usual
// small cache they spill before the commit, and with the usual checkpoint after each commit
// the same pages are copied back into the file batch after batch. For the import the cache
// holds a batch and the write-ahead log a few of them.
constexpr qint64 ImportCacheKiB = 32768;
constexpr qint64 ImportCheckpointPages = 20000;

// Runs the source rows in committed batches of the target, calling row for each one.
template <typename Row>
void inBatches(TDatabase &target, sqlite3_stmt *source, int rows, const TImportProgress &progress,
               Row row)
{
    const TPragmaScope cache(target, "cache_size", -ImportCacheKiB);
    const TPragmaScope checkpoints(target, "wal_autocheckpoint", ImportCheckpointPages);
    if (progress.Started)
        progress.Started(rows, (rows + ImportBatchRows - 1) / ImportBatchRows);
    bool more = true;
    while (more) {
        TTransaction batch(target);
        for (int i = 0; i < ImportBatchRows && (more = nextRow(source)); ++i)
            row();
        batch.Commit();
        if (progress.BatchDone)
            progress.BatchDone();
    }
    // The pages still in the write-ahead log go back into the file now, not in the commit of
    // the next swipe.
    target.Exec(QStringLiteral("PRAGMA wal_checkpoint(PASSIVE)"));
}

void addLine(QString &text, const char *label, int n)
{
    text += QLatin1String(label) + QString::number(n) + QStringLiteral(" records\n");
}

} // namespace

TLogImportCounts ImportLogRecords(TDatabase &target, const QString &sourcePath,
                                  const TImportProgress &progress)
{
    TDatabase source;
    source.Open(sourcePath, DbKind::Attend, TDatabase::OpenMode::ReadOnly);
    const int rows = rowCount(source, QStringLiteral("recorder"));
    TStatement read = source.Prepare(QStringLiteral(
        "select SYSTIME, CARDNO, MODE, READER, LOCK from recorder order by SYSTIME"));
    TStatement seen = target.Prepare(
        QStringLiteral("select 1 from recorder where CARDNO = ?1 and SYSTIME = ?2 limit 1"));
    TStatement insert = target.Prepare(QStringLiteral(
        "insert into recorder (SYSTIME, CARDNO, MODE, READER, LOCK) values (?1, ?2, ?3, ?4, ?5)"));
    sqlite3_stmt *const src = read.Handle();
    sqlite3_stmt *const look = seen.Handle();
    sqlite3_stmt *const add = insert.Handle();

    TLogImportCounts counts;
    inBatches(target, src, rows, progress, [&] {
        char time[20];
        sqlite3_int64 card = 0, mode = 0, reader = 0, lock = 0;
        // SQLite takes any value in any column: what is no time or no number is no record.
        if (!wholeSecondTime(src, 0, time) || !intColumn(src, 1, card) ||
            !intColumn(src, 2, mode) || !intColumn(src, 3, reader) || !intColumn(src, 4, lock)) {
            ++counts.Error;
            return;
        }
        sqlite3_bind_int64(look, 1, card);
        sqlite3_bind_text(look, 2, time, 19, SQLITE_TRANSIENT);
        if (found(look)) {
            ++counts.Duplicated;
            return;
        }
        sqlite3_bind_text(add, 1, time, 19, SQLITE_TRANSIENT);
        sqlite3_bind_int64(add, 2, card);
        sqlite3_bind_int64(add, 3, mode);
        sqlite3_bind_int64(add, 4, reader);
        sqlite3_bind_int64(add, 5, lock);
        if (runChange(add))
            ++counts.Added;
        else
            ++counts.Error;
    });
    return counts;
}

TStaffImportCounts ImportStaffRecords(TDatabase &target, const QString &sourcePath,
                                      const TImportProgress &progress)
{
    TDatabase source;
    source.Open(sourcePath, DbKind::Sysdat, TDatabase::OpenMode::ReadOnly);
    const int rows = rowCount(source, QStringLiteral("staffs"));
    // Columns 0..16 the member's, 17..29 the group's (null when the source lacks the group).
    TStatement read = source.Prepare(QStringLiteral(
        "select s.CARDNO, s.NAME, s.TIMEGRP, s.ACCESSGRP, s.PHOTO, s.OFFLINE, s.PICKED, s.COM1, "
        "s.COM2, s.COM3, s.COM4, s.COM5, s.COM6, s.COM7, s.COM8, s.MEMO, s.WORKGRP, g.DESCX, "
        "g.WD_FROM_1, g.WD_TO_1, g.WD_FROM_2, g.WD_TO_2, g.SAT_ENABLE_1, g.SAT_FROM_1, "
        "g.SAT_TO_1, g.SAT_ENABLE_2, g.SAT_FROM_2, g.SAT_TO_2, g.OT_MIN, g.OT_MULTI "
        "from staffs s left join gid g on s.WORKGRP = g.ID order by s.CARDNO"));
    TStatement seen =
        target.Prepare(QStringLiteral("select 1 from staffs where CARDNO = ?1 limit 1"));
    TStatement group = target.Prepare(
        QStringLiteral("select ID from gid where DESCX = ?1 order by ID limit 1"));
    TStatement addGroup = target.Prepare(QStringLiteral(
        "insert into gid (DESCX, WD_FROM_1, WD_TO_1, WD_FROM_2, WD_TO_2, SAT_ENABLE_1, "
        "SAT_FROM_1, SAT_TO_1, SAT_ENABLE_2, SAT_FROM_2, SAT_TO_2, OT_MIN, OT_MULTI) values "
        "(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13)"));
    TStatement addStaff = target.Prepare(QStringLiteral(
        "insert into staffs (CARDNO, NAME, WORKGRP, TIMEGRP, ACCESSGRP, PHOTO, OFFLINE, PICKED, "
        "COM1, COM2, COM3, COM4, COM5, COM6, COM7, COM8, MEMO) values (?1, ?2, ?17, ?3, ?4, ?5, "
        "?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14, ?15, ?16)"));
    sqlite3_stmt *const src = read.Handle();

    TStaffImportCounts counts;
    inBatches(target, src, rows, progress, [&] {
        sqlite3_int64 card = 0;
        if (!intColumn(src, 0, card)) {
            ++counts.Error;
            return;
        }
        sqlite3_bind_int64(seen.Handle(), 1, card);
        if (found(seen.Handle())) {
            ++counts.Duplicated;
            return;
        }
        // The group by its description: a member without a group in the source has "".
        const auto *descx = reinterpret_cast<const char *>(sqlite3_column_text(src, 17));
        sqlite3_bind_text(group.Handle(), 1, descx ? descx : "", -1, SQLITE_TRANSIENT);
        sqlite3_int64 gid = 1;
        if (!found(group.Handle(), &gid)) {
            sqlite3_stmt *g = addGroup.Handle();
            sqlite3_bind_text(g, 1, descx ? descx : "", -1, SQLITE_TRANSIENT);
            for (int i = 2; i <= 13; ++i)
                sqlite3_bind_value(g, i, sqlite3_column_value(src, 16 + i));
            if (runChange(g)) {
                gid = sqlite3_last_insert_rowid(target.Handle());
                ++counts.GroupAdded;
            } else {
                gid = 1;
            }
        }
        sqlite3_stmt *s = addStaff.Handle();
        sqlite3_bind_int64(s, 1, card);
        for (int i = 2; i <= 16; ++i)
            sqlite3_bind_value(s, i, sqlite3_column_value(src, i - 1));
        sqlite3_bind_int64(s, 17, gid);
        if (runChange(s))
            ++counts.StaffAdded;
        else
            ++counts.Error;
    });
    return counts;
}

QString ImportSummary(const TLogImportCounts &counts)
{
    QString text;
    addLine(text, "Added = ", counts.Added);
    if (counts.Duplicated > 0)
        addLine(text, "Duplicated = ", counts.Duplicated);
    if (counts.Error > 0)
        addLine(text, "Error = ", counts.Error);
    return text;
}

QString ImportSummary(const TStaffImportCounts &counts)
{
    QString text;
    if (counts.GroupAdded > 0)
        addLine(text, "Group Added = ", counts.GroupAdded);
    addLine(text, "Staff Added = ", counts.StaffAdded);
    if (counts.Duplicated > 0)
        addLine(text, "Duplicated = ", counts.Duplicated);
    if (counts.Error > 0)
        addLine(text, "Error = ", counts.Error);
    return text;
}
