// Lookups of card holders, work groups and readers in the shared datasets, and the queries
// built from a scope form. Every value from a caller is bound or compared, never spliced into
// SQL text.

#include "store/datasrc.h"
#include "store/messages.h"
#include "store/utils.h"

#include <QComboBox>
#include <QRadioButton>
#include <QStringList>
#include <QWidget>

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
    if (!staff.Locate(QStringLiteral("NAME"), name, LocateOption::PartialKey))
        return 0;
    return staff.FieldByName(QStringLiteral("cardno")).AsInteger();
}

void GetGroupName(int id, QString &text)
{
    TDataSet &groups = data().gidtbl;
    text = groups.Locate(QStringLiteral("ID"), id)
               ? groups.FieldByName(QStringLiteral("DESCX")).AsString()
               : QString();
}

int GetGroupId(const QString &name)
{
    TDataSet &groups = data().gidtbl;
    if (!groups.Locate(QStringLiteral("DESCX"), name))
        return 0;
    return groups.FieldByName(QStringLiteral("ID")).AsInteger();
}

void FillComboFromQuery(QComboBox *combo, const QString &displayField, int key,
                        const QString &keyField, const QString &sql)
{
    combo->clear();
    TStatement q = data().src.Prepare(sql);
    const int display = q.ColumnIndex(displayField);
    const int keyColumn = q.ColumnIndex(keyField);
    if (display < 0)
        throw EDatabaseError(QStringLiteral("Field '%1' not found").arg(displayField));
    if (key > 0 && keyColumn < 0)
        throw EDatabaseError(QStringLiteral("Field '%1' not found").arg(keyField));
    int selected = -1;
    while (q.Step()) {
        combo->addItem(q.ColumnText(display));
        if (key > 0 && q.ColumnInt64(keyColumn) == key)
            selected = combo->count() - 1;
    }
    if (key == 0 && combo->count() > 0)
        selected = 0;
    // A combo selects its first item by itself; an unmatched key must leave none selected.
    combo->setCurrentIndex(selected);
}

void FillGroupCombo(QComboBox *combo, int id)
{
    FillComboFromQuery(combo, QStringLiteral("DESCX"), id, QStringLiteral("ID"),
                       QStringLiteral("select * from gid order by DESCX"));
}

QString GetReaderDesc(int port)
{
    TDataSet &readers = data().reader;
    if (readers.Locate(QStringLiteral("PORTNO"), port))
        return readers.FieldByName(QStringLiteral("DESC")).AsString();
    return GetPortName(port);
}

bool BuildStaffScopeQuery(TDataSet &query, QWidget *scopeForm, const QString &columns)
{
    auto checked = [scopeForm](const char *name) {
        const auto *button =
            scopeForm ? scopeForm->findChild<QRadioButton *>(QString::fromLatin1(name)) : nullptr;
        return button && button->isChecked();
    };

    query.Close();
    query.ClearBindings();
    QStringList lines{QStringLiteral("select ") + columns + QStringLiteral(",descx from staffs"),
                      QStringLiteral("left join gid on staffs.workgrp=gid.id")};
    int groupId = 0;
    const bool allStaff = checked("rballstaff");
    const bool oneGroup = !allStaff && checked("rbgroup");
    try {
        if (allStaff) {
            lines << QStringLiteral("order by NAME");
        } else if (oneGroup) {
            const auto *groups = scopeForm->findChild<QComboBox *>(QStringLiteral("cbgroup"));
            groupId = GetGroupId(groups ? groups->currentText() : QString());
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
