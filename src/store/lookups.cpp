// Lookups of card holders, work groups and readers in the shared datasets, and the staff query
// of a report scope. Every value from a caller is bound or compared, never spliced into SQL
// text.

#include "store/datasrc.h"
#include "store/dbschema.h"
#include "store/messages.h"
#include "store/reportscope.h"
#include "store/utils.h"

#include <QStringList>

namespace {

Tdsrc &data()
{
    if (!dsrc)
        throw EDatabaseError(QStringLiteral("The data module is not created"));
    return *dsrc;
}

} // namespace

bool GetStaffByCard(int card, TStaffRec &rec)
{
    if (!dsrc) {
        rec.Name = QLatin1Char('[') + QString::number(card) + QLatin1Char(']');
        rec.GroupName.clear();
        throw EDatabaseError(QStringLiteral("The data module is not created"));
    }
    return GetStaffByCard(dsrc->src, card, rec);
}

bool GetStaffByCard(TDatabase &db, int card, TStaffRec &rec)
{
    rec.Name = QLatin1Char('[') + QString::number(card) + QLatin1Char(']');
    rec.GroupName.clear();
    // Only the two columns the result needs: the full column list of both tables would
    // cost most of the lookup in preparing the statement.
    TStatement q = db.Prepare(QStringLiteral("select staffs.name, gid.descx from staffs, gid\n"
                                             "where staffs.cardno=\n"
                                             "?\n"
                                             "and staffs.workgrp=gid.id"));
    q.Bind(1, card);
    if (!q.Step())
        return false;
    rec.Name = q.ColumnText(0);
    rec.GroupName = q.ColumnText(1);
    return true;
}

int FindCardByName(const QString &name)
{
    TDataSet &staff = data().staff;
    if (!staff.Locate(Schema::Staffs::Name, name, LocateOption::PartialKey))
        return 0;
    return staff.FieldByName(Schema::Staffs::CardNo).AsInteger();
}

void GetGroupName(int id, QString &text)
{
    TDataSet &groups = data().gidtbl;
    text = groups.Locate(Schema::Gid::Id, id) ? groups.FieldByName(Schema::Gid::Descx).AsString()
                                              : QString();
}

int GetGroupId(const QString &name)
{
    TDataSet &groups = data().gidtbl;
    if (!groups.Locate(Schema::Gid::Descx, name))
        return 0;
    return groups.FieldByName(Schema::Gid::Id).AsInteger();
}

QString GetReaderDesc(int port)
{
    TDataSet &readers = data().reader;
    if (readers.Locate(Schema::Reader::PortNo, port))
        return readers.FieldByName(Schema::Reader::Desc).AsString();
    return GetPortName(port);
}

bool BuildStaffScopeQuery(TDataSet &query, const TReportScope &scope, const QString &columns)
{
    query.Close();
    query.ClearBindings();
    QStringList lines{QStringLiteral("select ") + columns + QStringLiteral(",descx from staffs"),
                      QStringLiteral("left join gid on staffs.workgrp=gid.id")};
    int groupId = 0;
    const bool oneGroup = scope.Persons == TPersonsChoice::Group;
    try {
        if (scope.Persons == TPersonsChoice::All) {
            lines << QStringLiteral("order by NAME");
        } else if (oneGroup) {
            groupId = GetGroupId(scope.GroupName);
            lines << QStringLiteral("where WORKGRP=") << QStringLiteral(":workgrp")
                  << QStringLiteral("order by NAME");
        } else {
            // The picked members, in the table's own order.
            lines << QStringLiteral("where picked=true");
        }
        query.SetSQLLines(lines);
        if (oneGroup)
            query.Bind(QStringLiteral(":workgrp"), groupId);
        query.Open();
    } catch (const std::exception &) {
        ShowDatabaseError();
        return false;
    }
    return true;
}
