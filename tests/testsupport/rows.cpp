#include "testsupport/rows.h"

#include "store/dataset.h"
#include "store/datasrc.h"
#include "store/db/sqlitedb.h"
#include "store/logrow.h"

void AddStaff(const StaffRow &row)
{
    TDataSet &staff = dsrc->staff;
    staff.Append();
    staff.FieldByName(QStringLiteral("CARDNO")).SetAsInteger(row.card);
    staff.FieldByName(QStringLiteral("NAME")).SetAsString(row.name);
    staff.FieldByName(QStringLiteral("WORKGRP")).SetAsInteger(row.group);
    staff.FieldByName(QStringLiteral("OFFLINE")).SetAsBoolean(row.offline);
    for (int port : row.ports)
        staff.FieldByName(QStringLiteral("COM%1").arg(port)).SetAsBoolean(true);
    if (!row.memo.isNull())
        staff.FieldByName(QStringLiteral("MEMO")).SetAsString(row.memo);
    staff.Post();
}

void AddStaff(int card, const QString &name, int group, const QString &memo)
{
    AddStaff(StaffRow{.card = card, .name = name, .group = group, .memo = memo});
}

int AddGroup(const QString &name)
{
    TDataSet &groups = dsrc->gidtbl;
    groups.Append();
    groups.FieldByName(QStringLiteral("DESCX")).SetAsString(name);
    groups.Post();
    return groups.FieldByName(QStringLiteral("ID")).AsInteger();
}

void AddLog(const QDateTime &at, int card, int mode, int reader, int lock)
{
    AppendLogRow(dsrc->logs, {at, card, mode, reader, lock});
}

void AddLog(const char *stamp, int card, int mode)
{
    TStatement st = dsrc->att.Prepare(QStringLiteral(
        "insert into recorder (SYSTIME, CARDNO, MODE, READER, LOCK) values (?, ?, ?, 1, 0)"));
    st.Bind(1, QString::fromLatin1(stamp));
    st.Bind(2, card);
    st.Bind(3, mode);
    st.Step();
}
