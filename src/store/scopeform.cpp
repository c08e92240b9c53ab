// The scope form's controls read by name: the report dates and the staff the reports cover.

#include "store/clock.h"
#include "store/dataset.h"
#include "store/messages.h"
#include "store/pairing.h"
#include "store/utils.h"

#include <QComboBox>
#include <QDateTimeEdit>
#include <QRadioButton>
#include <QStringList>
#include <QWidget>

// ---- Scope dates --------------------------------------------------------------------------

namespace {

bool radioChecked(QWidget *form, const char *name)
{
    const auto *button =
        form ? form->findChild<QRadioButton *>(QString::fromLatin1(name)) : nullptr;
    return button && button->isChecked();
}

QDateTime pickerValue(QWidget *form, const char *name)
{
    const auto *picker =
        form ? form->findChild<QDateTimeEdit *>(QString::fromLatin1(name)) : nullptr;
    return picker ? WallClock(picker->dateTime()) : QDateTime();
}

QDateTime midnight(const QDate &date)
{
    return QDateTime(date, QTime(0, 0), Qt::UTC);
}

QDate weekStart(const QDate &date)
{
    return date.addDays(1 - date.dayOfWeek()); // Monday is day 1
}

QDate monthStart(const QDate &date)
{
    return QDate(date.year(), date.month(), 1);
}

} // namespace

void GetScopeDateRange(QWidget *scopeForm, TDataSet &query, TReptParam &param)
{
    param.AllDates = radioChecked(scopeForm, "rball");
    const QDate today = Now().date();
    if (param.AllDates) {
        // The two ends through the time index, never by reading the whole log: each end in a
        // query of its own, as min and max side by side would scan the whole index.
        query.Close();
        query.ClearBindings();
        query.SetSQL(QStringLiteral("select (select min(SYSTIME) from recorder) as FIRSTTIME, "
                                    "(select max(SYSTIME) from recorder) as LASTTIME"));
        query.Open();
        param.FromDate =
            WallClockFromDbText(query.FieldByName(QStringLiteral("FIRSTTIME")).AsString());
        param.ToDate =
            WallClockFromDbText(query.FieldByName(QStringLiteral("LASTTIME")).AsString());
        query.Close();
    } else if (radioChecked(scopeForm, "rbthisweek")) {
        param.ToDate = midnight(today);
        param.FromDate = midnight(weekStart(today));
    } else if (radioChecked(scopeForm, "rblastweek")) {
        const QDate lastSunday = weekStart(today).addDays(-1);
        param.ToDate = midnight(lastSunday);
        param.FromDate = midnight(weekStart(lastSunday));
    } else if (radioChecked(scopeForm, "rbthismonth")) {
        param.ToDate = midnight(today);
        param.FromDate = midnight(monthStart(today));
    } else if (radioChecked(scopeForm, "rblastmonth")) {
        const QDate lastDay = monthStart(today).addDays(-1);
        param.ToDate = midnight(lastDay);
        param.FromDate = midnight(monthStart(lastDay));
    } else if (radioChecked(scopeForm, "rbrange")) {
        param.FromDate = pickerValue(scopeForm, "dpfrom");
        param.ToDate = pickerValue(scopeForm, "dpto");
    }
}

// ---- Staff ---------------------------------------------------------------------------------

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
