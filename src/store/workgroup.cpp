#include "store/workgroup.h"
#include "store/dbschema.h"

#include "store/datasrc.h"
#include "store/messages.h"
#include "store/utils.h"

namespace {

TDataSet &groups()
{
    if (!dsrc)
        throw EDatabaseError(QStringLiteral("The data module is not created"));
    return dsrc->gidtbl;
}

// Columns of one session: from, to.
const QString *const WeekdayFields[2][2] = {{&Schema::Gid::WdFrom1, &Schema::Gid::WdTo1},
                                            {&Schema::Gid::WdFrom2, &Schema::Gid::WdTo2}};
const QString *const SaturdayFields[2][2] = {{&Schema::Gid::SatFrom1, &Schema::Gid::SatTo1},
                                             {&Schema::Gid::SatFrom2, &Schema::Gid::SatTo2}};
const QString *const SaturdayOnFields[2] = {&Schema::Gid::SatEnable1, &Schema::Gid::SatEnable2};

TField field(TDataSet &ds, const QString &name)
{
    return ds.FieldByName(name);
}

// A stored time of day; a missing one reads as midnight.
QTime timeOf(TDataSet &ds, const QString &name)
{
    const QVariant v = field(ds, name).AsVariant();
    const QTime t = v.metaType().id() == QMetaType::QDateTime ? v.toDateTime().time() : v.toTime();
    return t.isValid() ? t : QTime(0, 0);
}

// Only the time of day is kept, to the minute the editor shows.
QVariant storedTime(const QTime &t)
{
    return QVariant(QTime(t.hour(), t.minute()));
}

bool endsAfterStart(const TGroupSession &s)
{
    return s.to > s.from;
}

} // namespace

TWorkGroup TWorkGroup::NewGroup()
{
    TWorkGroup g;
    const TGroupSession morning{QTime(9, 0), QTime(13, 0)};
    const TGroupSession afternoon{QTime(14, 0), QTime(17, 0)};
    g.weekday = {morning, afternoon};
    g.saturday = {morning, afternoon};
    return g;
}

TGroupFault CheckGroupTimes(const TWorkGroup &g)
{
    if (!endsAfterStart(g.weekday[0]))
        return TGroupFault::Weekday1;
    // The second session may start inside the first, not before it.
    if (!endsAfterStart(g.weekday[1]) || g.weekday[1].from < g.weekday[0].from)
        return TGroupFault::Weekday2;
    if (g.saturdayOn[0] && !endsAfterStart(g.saturday[0]))
        return TGroupFault::Saturday1;
    if (g.saturdayOn[1]) {
        if (!g.saturdayOn[0])
            return TGroupFault::Saturday1On;
        if (!endsAfterStart(g.saturday[1]) || !(g.saturday[1].from > g.saturday[0].to))
            return TGroupFault::Saturday2;
    }
    return TGroupFault::None;
}

TWorkGroup LoadGroup()
{
    TDataSet &ds = groups();
    TWorkGroup g;
    g.name = field(ds, Schema::Gid::Descx).AsString();
    for (int i = 0; i < 2; ++i) {
        g.weekday[i] = {timeOf(ds, *WeekdayFields[i][0]), timeOf(ds, *WeekdayFields[i][1])};
        g.saturday[i] = {timeOf(ds, *SaturdayFields[i][0]), timeOf(ds, *SaturdayFields[i][1])};
        g.saturdayOn[i] = field(ds, *SaturdayOnFields[i]).AsBoolean();
    }
    g.otMin = field(ds, Schema::Gid::OtMin).AsInteger();
    g.otMulti = field(ds, Schema::Gid::OtMulti).AsInteger();
    return g;
}

int SaveGroup(const TWorkGroup &g)
{
    TDataSet &ds = groups();
    try {
        // Groups go by name: a renamed group is a new one, and the old stays as it was.
        const int id = GetGroupId(g.name);
        const bool found = id > 0 && ds.Locate(Schema::Gid::Id, id);
        TDataSetEdit edit(ds, found ? TDataSetEdit::Kind::Edit : TDataSetEdit::Kind::Append);
        field(ds, Schema::Gid::Descx).SetAsString(g.name);
        for (std::size_t i = 0; i < 2; ++i) {
            field(ds, *WeekdayFields[i][0]).SetAsVariant(storedTime(g.weekday[i].from));
            field(ds, *WeekdayFields[i][1]).SetAsVariant(storedTime(g.weekday[i].to));
            field(ds, *SaturdayFields[i][0]).SetAsVariant(storedTime(g.saturday[i].from));
            field(ds, *SaturdayFields[i][1]).SetAsVariant(storedTime(g.saturday[i].to));
            field(ds, *SaturdayOnFields[i]).SetAsBoolean(g.saturdayOn[i]);
        }
        field(ds, Schema::Gid::OtMin).SetAsInteger(g.otMin);
        field(ds, Schema::Gid::OtMulti).SetAsInteger(g.otMulti);
        edit.Post();
        return field(ds, Schema::Gid::Id).AsInteger();
    } catch (const std::exception &) {
        // The edit has been cancelled on the way out.
        ShowUpdateFailed();
        return 0;
    }
}

void DeleteGroup()
{
    TDataSet &ds = groups();
    if (ds.IsEmpty()) {
        ShowNoDataRecord();
        return;
    }
    if (field(ds, Schema::Gid::Id).AsInteger() == DefaultGroupId) {
        ShowPlain(QStringLiteral("Cannot delete default group."));
        return;
    }
    if (!ConfirmDelete())
        return;
    try {
        ds.Delete();
    } catch (const std::exception &) {
        ds.Cancel();
        ShowUpdateFailed();
    }
}
