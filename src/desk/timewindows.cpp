#include "desk/timewindows.h"

#include "store/dbschema.h"
#include "store/utils.h"

#include <QStringList>
#include <QVariant>
#include <exception>

const TTimeWindowTable &AttendanceWindows()
{
    static const TTimeWindowTable table{Schema::TimeTbl::Table, Schema::TimeTbl::TimeIn,
                                        Schema::TimeTbl::TimeOut, true};
    return table;
}

const TTimeWindowTable &AutoInOutWindows()
{
    static const TTimeWindowTable table{Schema::IoTime::Table, Schema::IoTime::From,
                                        Schema::IoTime::To, false};
    return table;
}

namespace {

QTime minutesOnly(const QTime &t)
{
    return t.isValid() ? QTime(t.hour(), t.minute()) : t;
}

} // namespace

TTimeWindows::TTimeWindows(TDatabase &db, const TTimeWindowTable &table)
    : m_table(table), m_list(db)
{
}

void TTimeWindows::Load(int groupId)
{
    m_list.Close();
    m_groupId = groupId;
    QStringList sql{QStringLiteral("select * from ") + m_table.Table};
    m_list.ClearBindings();
    if (m_table.PerGroup) {
        // The id is bound, never spliced into the text.
        sql << QStringLiteral("where gid = ?");
        m_list.Bind(1, groupId);
    }
    sql << QStringLiteral("order by ") + m_table.FromField;
    m_list.SetSQLLines(sql);
    m_list.Open();
}

TWindowAddResult TTimeWindows::Add(const QTime &fromTime, const QTime &toTime)
{
    const QTime from = minutesOnly(fromTime);
    const QTime to = minutesOnly(toTime);
    if (!from.isValid() || !to.isValid() || to <= from)
        return TWindowAddResult::WrongTime;
    const int rows = m_list.RecordCount();
    for (int row = 0; row < rows; ++row) {
        if (TimeWindowsOverlap(FromAt(row), ToAt(row), from, to))
            return TWindowAddResult::Overlapped;
    }
    try {
        TDataSetEdit row(m_list, TDataSetEdit::Kind::Append);
        m_list.FieldByName(m_table.FromField).SetAsVariant(from);
        m_list.FieldByName(m_table.ToField).SetAsVariant(to);
        if (m_table.PerGroup)
            m_list.FieldByName(Schema::TimeTbl::Gid).SetAsInteger(m_groupId);
        row.Post();
    } catch (const std::exception &) {
        return TWindowAddResult::UpdateFailed;
    }
    // Listed again, so the new row takes its place in the order.
    m_list.Close();
    m_list.Open();
    return TWindowAddResult::Added;
}

bool TTimeWindows::DeleteCurrent()
{
    try {
        m_list.Delete();
    } catch (const std::exception &) {
        return false;
    }
    return true;
}

QTime TTimeWindows::FromAt(int row) const
{
    return timeAt(row, m_table.FromField);
}

QTime TTimeWindows::ToAt(int row) const
{
    return timeAt(row, m_table.ToField);
}

QTime TTimeWindows::timeAt(int row, const QString &field) const
{
    if (!m_list.Active() || row < 0 || row >= m_list.RecordCount())
        return QTime();
    const QVariant v = m_list.FieldAt(row, field);
    if (v.metaType().id() == QMetaType::QDateTime)
        return v.toDateTime().time();
    return v.toTime();
}
