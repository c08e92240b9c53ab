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
const char *const WeekdayFields[2][2] = {{"WD_FROM_1", "WD_TO_1"}, {"WD_FROM_2", "WD_TO_2"}};
const char *const SaturdayFields[2][2] = {{"SAT_FROM_1", "SAT_TO_1"}, {"SAT_FROM_2", "SAT_TO_2"}};
const char *const SaturdayOnFields[2] = {"SAT_ENABLE_1", "SAT_ENABLE_2"};

TField field(TDataSet &ds, const char *name)
{
    return ds.FieldByName(QString::fromLatin1(name));
}

// A stored time of day; a missing one reads as midnight.
QTime timeOf(TDataSet &ds, const char *name)
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
    g.name = field(ds, "DESCX").AsString();
    for (int i = 0; i < 2; ++i) {
        g.weekday[i] = {timeOf(ds, WeekdayFields[i][0]), timeOf(ds, WeekdayFields[i][1])};
        g.saturday[i] = {timeOf(ds, SaturdayFields[i][0]), timeOf(ds, SaturdayFields[i][1])};
        g.saturdayOn[i] = field(ds, SaturdayOnFields[i]).AsBoolean();
    }
    g.otMin = field(ds, "OT_MIN").AsInteger();
    g.otMulti = field(ds, "OT_MULTI").AsInteger();
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
        field(ds, "DESCX").SetAsString(g.name);
        for (std::size_t i = 0; i < 2; ++i) {
            field(ds, WeekdayFields[i][0]).SetAsVariant(storedTime(g.weekday[i].from));
            field(ds, WeekdayFields[i][1]).SetAsVariant(storedTime(g.weekday[i].to));
            field(ds, SaturdayFields[i][0]).SetAsVariant(storedTime(g.saturday[i].from));
            field(ds, SaturdayFields[i][1]).SetAsVariant(storedTime(g.saturday[i].to));
            field(ds, SaturdayOnFields[i]).SetAsBoolean(g.saturdayOn[i]);
        }
        field(ds, "OT_MIN").SetAsInteger(g.otMin);
        field(ds, "OT_MULTI").SetAsInteger(g.otMulti);
        edit.Post();
        return field(ds, "ID").AsInteger();
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
    if (field(ds, "ID").AsInteger() == DefaultGroupId) {
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
