#include "desk/loggridmodel.h"

#include "desk/deskcore.h"
#include "store/datasrc.h"
#include "store/db/sqlitedb.h"
#include "store/dbschema.h"
#include "store/settings.h"
#include "store/utils.h"

#include <QCoreApplication>
#include <QFile>
#include <QStringList>
#include <vector>

namespace {

const QString *const FieldNames[LogGridModel::ColumnCount] = {
    &Schema::Recorder::SysTime, &Schema::Recorder::CardNo, &Schema::Recorder::Mode,
    &Schema::Recorder::Reader, &Schema::Recorder::Lock};
const char *const Titles[LogGridModel::ColumnCount] = {"Date and Time", "Card Information", "Mode",
                                                       "Reader", "Lock"};

// Rows deleted per committed batch while erasing: one commit per row would take hours on a
// large log, one for all would hold every change until the end.
constexpr int EraseBatch = 2000;

} // namespace

namespace {

std::vector<TGridColumn> logColumns()
{
    std::vector<TGridColumn> columns;
    for (int c = 0; c < LogGridModel::ColumnCount; ++c) {
        TGridColumn column;
        column.field = LogGridModel::ColumnField(c);
        column.title = QString::fromLatin1(Titles[c]);
        column.titleAlignment = Qt::AlignCenter;
        switch (c) {
        case LogGridModel::ColSystime:
            column.kind = ColumnKind::DateTime;
            column.text = [](const QVariant &v) {
                return LogGridModel::SystimeText(v.toDateTime());
            };
            break;
        case LogGridModel::ColCardNo:
            column.text = [](const QVariant &v) { return LogGridModel::CardText(v.toInt()); };
            break;
        case LogGridModel::ColMode:
            column.text = [](const QVariant &v) { return GetModeName(v.toInt()); };
            break;
        default: // the reader and the lock
            column.text = [](const QVariant &v) { return GetPortName(v.toInt()); };
            break;
        }
        columns.push_back(std::move(column));
    }
    return columns;
}

} // namespace

LogGridModel::LogGridModel(TDataSet &logs, QObject *parent)
    : TDataSetModel(logs, logColumns(), parent)
{
}

QString LogGridModel::ColumnField(int column)
{
    return column >= 0 && column < ColumnCount ? *FieldNames[column] : QString();
}

int LogGridModel::CardAt(int row) const
{
    return ValueAt(row, ColCardNo).toInt();
}

QDateTime LogGridModel::TimeAt(int row) const
{
    return ValueAt(row, ColSystime).toDateTime();
}

QString LogGridModel::SystimeText(const QDateTime &value)
{
    return FormatDateTime(QStringLiteral("mmm d, yyyy ddd - AM/PM hh:mm:ss"), value);
}

QString LogGridModel::CardText(int card)
{
    if (dsrc && dsrc->staff.Active() && dsrc->staff.Locate(Schema::Staffs::CardNo, card)) {
        QString group;
        GetGroupName(dsrc->staff.FieldByName(Schema::Staffs::WorkGrp).AsInteger(), group);
        return dsrc->staff.FieldByName(Schema::Staffs::Name).AsString() + QStringLiteral(", ") +
               group;
    }
    return QLatin1Char('[') + QString::number(card) + QLatin1Char(']');
}

void RemoveSnapshotFile(int card, const QDateTime &time)
{
    QFile::remove(RowSnapshotFileName(card, time));
}

bool EraseLogRecords(TDataSet &logs, const std::optional<QDate> &before,
                     const std::function<void()> &step)
{
    logs.Close();
    logs.Open();
    // The erase works over the rows there are now, in the log's order. The event loop turns
    // between batches, so swipes go on being logged meanwhile: their rows are not in this list
    // and are never erased, whatever their time.
    const int count = logs.RecordCount();
    std::vector<qint64> rowids;
    rowids.reserve(static_cast<std::size_t>(count));
    for (int row = 0; row < count; ++row) {
        logs.MoveTo(row);
        rowids.push_back(logs.RowId());
    }
    TDatabase &db = logs.Database();
    // Rows go by their row id rather than through the cursor, which would shift its whole
    // keyset for every deleted first row; the cursor is reopened once at the end.
    TStatement read = db.Prepare(QStringLiteral("SELECT SYSTIME, CARDNO FROM ") + logs.TableName() +
                                 QStringLiteral(" WHERE rowid = ?"));
    TStatement remove = db.Prepare(QStringLiteral("DELETE FROM ") + logs.TableName() +
                                   QStringLiteral(" WHERE rowid = ?"));
    qint64 keptRowid = -1;
    std::size_t next = 0;
    while (next < rowids.size() && keptRowid < 0) {
        struct Gone
        {
            qint64 rowid;
            int card;
            QDateTime time;
        };
        std::vector<Gone> batch;
        for (; next < rowids.size() && int(batch.size()) < EraseBatch; ++next) {
            read.Reset();
            read.Bind(1, rowids[next]);
            if (!read.Step())
                continue;
            // A stored time is a wall-clock value: read as local time, one in the hour a
            // clock change skips would be invalid and erased whatever its day.
            const QDateTime t =
                read.ColumnIsNull(0)
                    ? QDateTime()
                    : ReadDbTime(read.ColumnTextView(0), DbTimeRead::Lenient).WallClock();
            if (before && t.isValid() && t.date() >= *before) {
                keptRowid = rowids[next];
                break;
            }
            batch.push_back({rowids[next], int(read.ColumnInt64(1)), t});
        }
        read.Reset();
        TTransaction transaction(db);
        for (const Gone &g : batch) {
            remove.Bind(1, g.rowid);
            remove.Step();
            remove.Reset();
            if (step)
                step();
        }
        transaction.Commit();
        // Only once the rows are gone for good do their snapshots go.
        for (const Gone &g : batch)
            RemoveSnapshotFile(g.card, g.time);
        // Between committed batches the desk answers swipes and repaints.
        if (next < rowids.size() && keptRowid < 0)
            QCoreApplication::processEvents();
    }
    logs.Close();
    logs.Open();
    if (keptRowid < 0)
        return false;
    for (int row = 0; row < logs.RecordCount(); ++row) {
        logs.MoveTo(row);
        if (logs.RowId() == keptRowid)
            return true;
    }
    logs.First();
    return true;
}

void EraseStaffRecords(TDataSet &staff, const std::function<void()> &step)
{
    staff.Close();
    staff.Open();
    while (!staff.IsEmpty()) {
        QCoreApplication::processEvents();
        staff.First();
        staff.Delete();
        if (step)
            step();
    }
}
