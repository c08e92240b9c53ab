#pragma once
// `TReportScope`: what a report scope dialog chose, as one value read once from the closed
// dialog and handed to the reports, the member reports, the workbooks and the store's date and
// staff rules; and the working hours of the two lateness dialogs (`TLateHours`,
// `TTwoSessionHours`). Plain values without widgets: any thread may copy one; the rules that
// take them run on the main thread.

#include <QDateTime>
#include <QString>
#include <QTime>

// "Persons of interest": all staff, one work group, or the members of the pick list.
enum class TPersonsChoice
{
    All,
    Group,
    List,
};

// "Dates of interest", in the order of the dialogs' radios; None when no date radio is
// checked (the dates a caller already holds then stay).
enum class TDateChoice
{
    None = -1,
    ThisWeek,
    LastWeek,
    ThisMonth,
    LastMonth,
    All,
    Range,
};

struct TReportScope
{
    TPersonsChoice Persons = TPersonsChoice::All;
    QString GroupName; // the work group chosen in the list, looked up when the persons are read
    TDateChoice Dates = TDateChoice::ThisWeek;
    QDateTime From; // the range's pickers as they stand (the day of a one-day dialog: From)
    QDateTime To;
    int RecordsOfInterest = 0; // the item chosen: 0 ALL, 1 CLOCK, 2 IN/OUT (-1 none)
    QString RecordFormat = QStringLiteral(" AM/PMhh:mm:ss"); // the item's text, leading blank
    int PairsPerLine = 0; // IN/OUT pairs a line, 1 to 4; 0 where the dialog has no choice
    bool BlankLines = false;
    bool NewPagePerPerson = false;
    bool Enhanced = false;
    bool Preview = false;
    // The report pairs first IN with last OUT (the total-hours form of the time-log report,
    // the pairs form of the total-hours detail): the command decides it, not the dialog.
    bool FirstInLastOut = false;
};

// The one-session lateness dialog's hours as its pickers stand (times of day only) and the
// overtime values in minutes.
struct TLateHours
{
    QTime StdStart{0, 0};
    QTime StdEnd{0, 0};
    bool SatEnabled = false;
    QTime SatStart{0, 0};
    QTime SatEnd{0, 0};
    int OvertimeMinimum = 0;
    int OvertimeMultiple = 0;
    int UnpaidOvertime = 0;
};

// The two-session dialog's sessions on weekdays and on Saturday, and the overtime values.
struct TTwoSessionHours
{
    QTime Start1{0, 0};
    QTime End1{0, 0};
    QTime Start2{0, 0};
    QTime End2{0, 0};
    bool Sat1Enabled = false;
    QTime SatStart1{0, 0};
    QTime SatEnd1{0, 0};
    bool Sat2Enabled = false;
    QTime SatStart2{0, 0};
    QTime SatEnd2{0, 0};
    int OvertimeMinimum = 0;
    int OvertimeMultiple = 0;
    int UnpaidOvertime = 0;
};
