#pragma once
// `TFiloLines`: the text lines of the first-in/last-out report for one person after another,
// without widgets: day headings, the per-pair or per-day lines with lateness, early leave and
// overtime, and the totals line. It walks the person's log dataset (as opened by the report)
// and keeps the counters of the person being printed. Log times are wall-clock times (see
// store/pairing.h). Main thread only, like the dataset it reads.

#include <QDateTime>
#include <QString>
#include <QTime>

class TDataSet;

// What the report was set up with; the report copies its scope dialog into it.
struct TFiloSettings
{
    int Mode = 0;   // 0 total hours detail, 1 IN/OUT pairs, 2 one session, 3 two sessions
    int Source = 0; // 0 report scope, 1 lateness scope, 2 two-session scope
    int RecordsOfInterest = 0; // 0 ALL, 1 CLOCK, 2 IN/OUT
    bool BlankLines = false;
    QString RecordFormat = QStringLiteral(" HH:mm:ss");
    int RecordWidth = 9;
    int DayStartHour = 0; // 0: no shift; else the log is read h hours earlier
    QDateTime FromDate;
    QDateTime ToDate;
    bool AllDates = false;

    // One session (moved h hours earlier when a day-start hour is set).
    QTime StdStart, StdEnd, SatStart, SatEnd;
    bool SatEnabled = false;
    // Two sessions.
    QTime Start1, End1, SatStart1, SatEnd1;
    bool Sat1Enabled = false;
    QTime Start2, End2, SatStart2, SatEnd2;
    bool Sat2Enabled = false;

    int OvertimeMinimum = 0;  // minutes
    int OvertimeMultiple = 0; // minutes
    int UnpaidOvertime = 0;   // minutes
};

class TFiloLines
{
public:
    explicit TFiloLines(const TFiloSettings &settings) : m_s(settings) {}

    // `FormatDateTime` of t, with the day-start hour added back when one is set, so record
    // times print as they were stored.
    QString FormatRecordTime(const QString &format, const QDateTime &t) const;
    QString FormatRecordTime(const QString &format, const QTime &t) const;

    // Counters to zero (report start).
    void ResetCounters();
    // A new person: current day back to the range start, no day printed yet.
    void StartPerson();

    // The next line of the person from the log dataset's current record (the dataset must
    // not be at its end): mode 0, and modes 1 to 3.
    QString BuildFiloLine(TDataSet &details);
    QString BuildLateLine(TDataSet &details);
    // Minutes after the session end turned into paid overtime (msecs); counts it when paid.
    // A span of zero or less pays nothing.
    qint64 CalcOvertime(qint64 span);
    // The person's totals line; the counters start again for the next person.
    QString TotalLine();

    // Page header texts.
    QString RangeText() const;
    QString StandardText() const;
    QString SaturdayText() const;
    QString CompanyText(const QString &caption) const;

    int ClockedDays() const { return m_clockedDays; }
    int OvertimeCount() const { return m_overtimeCount; }

private:
    bool heading(TDataSet &details, QDateTime &t, QString &line, bool late);

    const TFiloSettings &m_s;
    QDateTime m_currentDay;
    QDate m_lastPrintedDay;
    int m_sessionIndex = 0;
    int m_clockedDays = 0;
    qint64 m_totalTime = 0;
    qint64 m_lateSum = 0, m_earlySum = 0, m_overtimeSum = 0;
    int m_lateCount = 0, m_earlyCount = 0, m_overtimeCount = 0;
    int m_validSessionLines = 0;
    int m_completeDays = 0;
};

// Time-of-day comparison as the report makes it: equal within a millisecond is equal.
int CompareTime(const QTime &a, const QTime &b);
