#include "desk/dbimport.h"

#include "store/dbfile.h"
#include "store/dbschema.h"
#include "store/pragmascope.h"

#include <cstring>
#include <limits>
#include <optional>

namespace {

// A stored time of the source, "YYYY-MM-DD HH:MM:SS" (or with a "T", or with fractions of a
// second), as the target stores it: to the second. False for anything else, a date that does
// not exist included.
bool wholeSecondTime(const TStatement &st, int column, char out[DbTimeLength])
{
    if (st.ColumnType(column) != TStatement::ValueType::Text)
        return false;
    const QByteArrayView text = st.ColumnTextView(column);
    if (!ReadDbTime(text, DbTimeRead::Whole).IsValid())
        return false;
    std::memcpy(out, text.data(), DbTimeLength);
    out[10] = ' ';
    return true;
}

// An integer column that holds an integer of the int range.
bool intColumn(const TStatement &st, int column, qint64 &value)
{
    const std::optional<qint64> stored = st.ColumnInteger(column);
    if (!stored)
        return false;
    value = *stored;
    return value >= std::numeric_limits<int>::min() && value <= std::numeric_limits<int>::max();
}

// A text as far as its first NUL: the look-up and the group made have always read the
// description as a C string.
QByteArrayView textUpToNul(QByteArrayView text)
{
    const qsizetype nul = text.indexOf('\0');
    return nul < 0 ? text : text.first(nul);
}

// Whether the look-up finds a row; the first column in *id when given. Ready to run again.
bool found(TStatement &st, qint64 *id = nullptr)
{
    const bool row = st.Step();
    if (row && id)
        *id = st.ColumnInt64(0);
    st.Reset();
    return row;
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
void inBatches(TDatabase &target, TStatement &source, int rows, const TImportProgress &progress,
               Row row)
{
    const TPragmaScope cache(target, "cache_size", -ImportCacheKiB);
    const TPragmaScope checkpoints(target, "wal_autocheckpoint", ImportCheckpointPages);
    if (progress.Started)
        progress.Started(rows, (rows + ImportBatchRows - 1) / ImportBatchRows);
    bool more = true;
    while (more) {
        TTransaction batch(target);
        for (int i = 0; i < ImportBatchRows && (more = source.Step()); ++i)
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
    const int rows = rowCount(source, Schema::Recorder::Table);
    TStatement read = source.Prepare(QStringLiteral(
        "select SYSTIME, CARDNO, MODE, READER, LOCK from recorder order by SYSTIME"));
    TStatement seen = target.Prepare(
        QStringLiteral("select 1 from recorder where CARDNO = ?1 and SYSTIME = ?2 limit 1"));
    TStatement insert = target.Prepare(QStringLiteral(
        "insert into recorder (SYSTIME, CARDNO, MODE, READER, LOCK) values (?1, ?2, ?3, ?4, ?5)"));

    TLogImportCounts counts;
    inBatches(target, read, rows, progress, [&] {
        char time[DbTimeLength];
        qint64 card = 0, mode = 0, reader = 0, lock = 0;
        // SQLite takes any value in any column: what is no time or no number is no record.
        if (!wholeSecondTime(read, 0, time) || !intColumn(read, 1, card) ||
            !intColumn(read, 2, mode) || !intColumn(read, 3, reader) || !intColumn(read, 4, lock)) {
            ++counts.Error;
            return;
        }
        const QByteArrayView timeText(time, DbTimeLength);
        seen.BindInt64(1, card);
        seen.BindText(2, timeText);
        if (found(seen)) {
            ++counts.Duplicated;
            return;
        }
        insert.BindText(1, timeText);
        insert.BindInt64(2, card);
        insert.BindInt64(3, mode);
        insert.BindInt64(4, reader);
        insert.BindInt64(5, lock);
        if (insert.TryRun())
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
    const int rows = rowCount(source, Schema::Staffs::Table);
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

    TStaffImportCounts counts;
    inBatches(target, read, rows, progress, [&] {
        qint64 card = 0;
        if (!intColumn(read, 0, card)) {
            ++counts.Error;
            return;
        }
        seen.BindInt64(1, card);
        if (found(seen)) {
            ++counts.Duplicated;
            return;
        }
        // The group by its description: a member without a group in the source has "".
        const QByteArrayView descx = textUpToNul(read.ColumnTextView(17));
        group.BindText(1, descx);
        qint64 gid = 1;
        if (!found(group, &gid)) {
            addGroup.BindText(1, descx);
            for (int i = 2; i <= 13; ++i)
                addGroup.BindColumn(i, read, 16 + i);
            if (addGroup.TryRun()) {
                gid = target.LastInsertRowId();
                ++counts.GroupAdded;
            } else {
                gid = 1;
            }
        }
        addStaff.BindInt64(1, card);
        for (int i = 2; i <= 16; ++i)
            addStaff.BindColumn(i, read, i - 1);
        addStaff.BindInt64(17, gid);
        if (addStaff.TryRun())
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
