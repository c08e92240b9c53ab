#include "store/scopeform.h"

#include "store/pairing.h"
#include "store/utils.h"

#include <QComboBox>
#include <QDateTimeEdit>
#include <QRadioButton>
#include <QWidget>

namespace {

bool checked(QWidget *form, const char *name)
{
    const auto *button =
        form ? form->findChild<QRadioButton *>(QString::fromLatin1(name)) : nullptr;
    return button && button->isChecked();
}

QDateTime picked(QWidget *form, const char *name)
{
    const auto *picker =
        form ? form->findChild<QDateTimeEdit *>(QString::fromLatin1(name)) : nullptr;
    return picker ? picker->dateTime() : QDateTime();
}

} // namespace

TReportScope ReadScopeForm(QWidget *scopeForm)
{
    TReportScope scope;
    if (checked(scopeForm, "rballstaff")) {
        scope.Persons = TPersonsChoice::All;
    } else if (checked(scopeForm, "rbgroup")) {
        scope.Persons = TPersonsChoice::Group;
        const auto *groups = scopeForm->findChild<QComboBox *>(QStringLiteral("cbgroup"));
        scope.GroupName = groups ? groups->currentText() : QString();
    } else {
        scope.Persons = TPersonsChoice::List;
    }
    const std::pair<const char *, TDateChoice> dates[] = {
        {"rball", TDateChoice::All},
        {"rbthisweek", TDateChoice::ThisWeek},
        {"rblastweek", TDateChoice::LastWeek},
        {"rbthismonth", TDateChoice::ThisMonth},
        {"rblastmonth", TDateChoice::LastMonth},
        {"rbrange", TDateChoice::Range},
    };
    scope.Dates = TDateChoice::None;
    for (const auto &[name, choice] : dates)
        if (checked(scopeForm, name)) {
            scope.Dates = choice;
            break;
        }
    scope.From = picked(scopeForm, "dpfrom");
    scope.To = picked(scopeForm, "dpto");
    return scope;
}

void GetScopeDateRange(QWidget *scopeForm, TDataSet &query, TReptParam &param)
{
    GetScopeDateRange(ReadScopeForm(scopeForm), query, param);
}

bool BuildStaffScopeQuery(TDataSet &query, QWidget *scopeForm, const QString &columns)
{
    return BuildStaffScopeQuery(query, ReadScopeForm(scopeForm), columns);
}
