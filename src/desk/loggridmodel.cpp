#include "desk/loggridmodel.h"

#include "desk/deskcore.h"
#include "store/datasrc.h"
#include "store/db/sqlitedb.h"
#include "store/settings.h"
#include "store/utils.h"

#include <QCoreApplication>
#include <QFile>
#include <QStringList>
#include <vector>

namespace {

const char *const FieldNames[LogGridModel::ColumnCount] = {"SYSTIME", "CARDNO", "MODE", "READER",
                                                           "LOCK"};
const char *const Titles[LogGridModel::ColumnCount] = {"Date and Time", "Card Information", "Mode",
                                                       "Reader", "Lock"};

// Rows deleted per committed batch while erasing: one commit per row would take hours on a
// large log, one for all would hold every change until the end.
constexpr int EraseBatch = 2000;

} // namespace

LogGridModel::LogGridModel(TDataSet &logs, QObject *parent)
    : QAbstractTableModel(parent), m_logs(logs)
{
    m_logs.AddListener(this);
    findColumns();
}

LogGridModel::~LogGridModel()
{
    m_logs.RemoveListener(this);
}

QString LogGridModel::ColumnField(int column)
{
    return column >= 0 && column < ColumnCount ? QLatin1String(FieldNames[column]) : QString();
}

void LogGridModel::findColumns()
{
    for (int c = 0; c < ColumnCount; ++c) {
        const TField f = m_logs.Active() ? m_logs.FindField(ColumnField(c)) : TField();
        m_fieldIndex[c] = f.IsValid() ? f.Index() : -1;
    }
}

int LogGridModel::rowCount(const QModelIndex &parent) const
{
    if (parent.isValid() || m_suspended)
        return 0;
    return m_logs.RecordCount();
}

int LogGridModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant LogGridModel::value(int row, int column) const
{
    if (m_suspended || row < 0 || row >= m_logs.RecordCount() || m_fieldIndex[column] < 0)
        return QVariant();
    return m_logs.FieldAt(row, m_fieldIndex[column]);
}

int LogGridModel::CardAt(int row) const
{
    return value(row, ColCardNo).toInt();
}

QDateTime LogGridModel::TimeAt(int row) const
{
    return value(row, ColSystime).toDateTime();
}

QString LogGridModel::SystimeText(const QDateTime &value)
{
    return FormatDateTime(QStringLiteral("mmm d, yyyy ddd - AM/PM hh:mm:ss"), value);
}

QString LogGridModel::CardText(int card)
{
    if (dsrc && dsrc->staff.Active() && dsrc->staff.Locate(QStringLiteral("CARDNO"), card)) {
        QString group;
        GetGroupName(dsrc->staff.FieldByName(QStringLiteral("WORKGRP")).AsInteger(), group);
        return dsrc->staff.FieldByName(QStringLiteral("NAME")).AsString() + QStringLiteral(", ") +
               group;
    }
    return QLatin1Char('[') + QString::number(card) + QLatin1Char(']');
}

QVariant LogGridModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || role != Qt::DisplayRole)
        return QVariant();
    const QVariant v = value(index.row(), index.column());
    if (!v.isValid())
        return QVariant();
    try {
        switch (index.column()) {
        case ColSystime:
            return SystimeText(v.toDateTime());
        case ColCardNo:
            return CardText(v.toInt());
        case ColMode:
            return GetModeName(v.toInt());
        case ColReader:
        case ColLock:
            return GetPortName(v.toInt());
        default:
            break;
        }
    } catch (const std::exception &) {
        // A lookup that fails while painting leaves the cell blank; painting goes on.
    }
    return QVariant();
}

QVariant LogGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= ColumnCount)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (role) {
    case Qt::DisplayRole:
        return QString::fromLatin1(Titles[section]);
    case Qt::TextAlignmentRole:
        return int(Qt::AlignCenter);
    case ColumnKindRole:
        return int(section == ColSystime ? ColumnKind::DateTime : ColumnKind::Other);
    default:
        break;
    }
    return QVariant();
}

Qt::ItemFlags LogGridModel::flags(const QModelIndex &index) const
{
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

void LogGridModel::SetSuspended(bool suspended)
{
    if (suspended == m_suspended)
        return;
    beginResetModel();
    m_suspended = suspended;
    findColumns();
    endResetModel();
}

// The dataset announces each change before and after it, as the model must to its views.
void LogGridModel::DataSetAboutToReset(TDataSet &)
{
    if (!m_suspended)
        beginResetModel();
}

void LogGridModel::DataSetReset(TDataSet &)
{
    if (m_suspended)
        return;
    findColumns();
    endResetModel();
}

void LogGridModel::RowAboutToBeInserted(TDataSet &, int row)
{
    if (!m_suspended)
        beginInsertRows(QModelIndex(), row, row);
}

void LogGridModel::RowInserted(TDataSet &, int)
{
    if (!m_suspended)
        endInsertRows();
}

void LogGridModel::RowAboutToBeRemoved(TDataSet &, int row)
{
    if (!m_suspended)
        beginRemoveRows(QModelIndex(), row, row);
}

void LogGridModel::RowRemoved(TDataSet &, int)
{
    if (!m_suspended)
        endRemoveRows();
}

void LogGridModel::RowChanged(TDataSet &, int row)
{
    if (m_suspended)
        return;
    emit dataChanged(index(row, 0), index(row, ColumnCount - 1));
}

void RemoveSnapshotFile(int card, const QDateTime &time)
{
    QFile::remove(MakeSnapshotFileName(card, time));
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
            const QDateTime t =
                read.ColumnIsNull(0) ? QDateTime() : DbTextToDateTime(read.ColumnText(0));
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
