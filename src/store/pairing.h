#pragma once
// What every attendance report and workbook export shares: the scope of one run
// (`TReptParam`), the date range of a scope dialog's choice, one member's log records in time
// order, and the two walkers that read those records a day at a time as IN/OUT pairs.
// Main thread only, like the datasets they read.
//
// Log times are wall-clock times: they carry the stored date and time with Qt::UTC as their
// spec, so spans and day steps are plain clock arithmetic on any day of a daylight-saving
// change, and a time in a skipped hour stays the time it was stored as.

#include <QDateTime>
#include <QString>

class TDataSet;
struct TReportScope;

// One report run's choices.
struct TReptParam
{
    int PairsPerLine = 0; // IN/OUT pairs per output line
    bool NewPagePerPerson = false;
    bool BlankLines = false; // days without records too
    QString TimeFormat;
    QDateTime FromDate; // first day of the scope
    QDateTime ToDate;   // last day of the scope, the whole day included
    int ModeFilter = 0; // 0 all records, 1 CLOCK only (MODE 0), 2 IN/OUT only (MODE above 0)
    QString FirstLabel;
    QString SecondLabel;
    QString LateLabel;
    QString EarlyLabel;
    bool AllDates = false; // no date condition
    int CardNo = 0;
    int WorkGroup = 0;
    QString Name;
    QString GroupName;
};

// An IN and an OUT of one day. A null time means no such record was found.
struct TInOutPair
{
    QDateTime InTime;
    int InMode = 0;
    QDateTime OutTime;
    int OutMode = 0;
};

// The value's date and time of day as a wall-clock time (see above); null stays null.
QDateTime WallClock(const QDateTime &value);
// A stored "YYYY-MM-DD HH:MM:SS" text (a fraction of a second is dropped) as a wall-clock
// time; null for anything else.
QDateTime WallClockFromDbText(QStringView text);

// Sets the scope's dates from its date choice: "All" (the log's first and last SYSTIME, read
// through the query with min and max), this week, last week, this month, last month, "Range"
// (the pickers as they stand, as wall-clock times). With no choice the dates stay. AllDates
// follows "All". Weeks start on Monday; "now" is the program's clock. The form-taking name is
// in store/scopeform.h.
void GetScopeDateRange(const TReportScope &scope, TDataSet &query, TReptParam &param);

// Takes the member of the staff dataset's current row into the scope (card, name, work group
// and its name) and opens the query on that member's log records in time order, of the
// scope's records of interest and (unless AllDates) the scope's days. Database errors pass to
// the caller. Always true.
bool OpenStaffLogQuery(TDataSet &staff, TDataSet &query, TReptParam &param);

// The next pair of the day of `day` from the log dataset's current position; records of
// another day are never consumed. Afterwards `day` holds the time of the first record not yet
// consumed (null when the call read nothing), so a caller sees the day is over when its date
// changes. inOutMode pairs IN with OUT records (earliest IN, last OUT before the next IN) and
// skips CLOCK rows; otherwise the next two records of the day, whatever their modes. True when
// both times were found.
bool NextInOutPair(TDataSet &log, QDateTime &day, TInOutPair &pair, bool inOutMode);

// The first IN and last OUT after it of the whole day (inOutMode), or the day's first and last
// records; consumes the day. `day` becomes the time of the next day's first record; at the end
// of the data it is left alone. True when both times were found.
bool FirstInLastOut(TDataSet &log, QDateTime &day, TInOutPair &pair, bool inOutMode);
