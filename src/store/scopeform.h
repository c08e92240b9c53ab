#pragma once
// The scope rules under the names that take a scope form: each reads the form's controls by
// their object names into a `TReportScope` and calls the rule that takes the value. For callers
// holding a form rather than a value. Main thread only.

#include "store/reportscope.h"

#include <QString>

class QWidget;
class TDataSet;
struct TReptParam;

// The persons and dates of the form: "rballstaff" checked is all staff, else "rbgroup" one work
// group (the text of combo "cbgroup"), else the pick list; the first checked of "rball",
// "rbthisweek", "rblastweek", "rbthismonth", "rblastmonth", "rbrange" (none: no choice), with
// the pickers "dpfrom" and "dpto" as they stand. A missing control counts as unchecked or
// empty; so does every control of a null form.
TReportScope ReadScopeForm(QWidget *scopeForm);

// GetScopeDateRange and BuildStaffScopeQuery (store/pairing.h, store/utils.h) on the form's
// choice.
void GetScopeDateRange(QWidget *scopeForm, TDataSet &query, TReptParam &param);
bool BuildStaffScopeQuery(TDataSet &query, QWidget *scopeForm,
                          const QString &columns = QStringLiteral("*"));
