#pragma once
// The lines of the time-log and total-hours report, person by person: the person's heading,
// the day lines (times with a mode tag, or one first/last pair and its span per day), blank
// days, the day count and the total. No widgets; any thread, one builder per report run.

#include "reports/reportrecords.h"

#include <QDate>
#include <QString>

struct TLogLineOptions
{
    QString TimeFormat = QStringLiteral(" HH:mm:ss"); // one of the record formats
    int RecordsPerLine = 4;                           // 2, 4, 6 or 8; others read as 4
    bool BlankLines = false;                          // also print the days without records
    bool TotalsMode = false;                          // one first/last pair per day
    TRecordsOfInterest Interest = TRecordsOfInterest::All;
    QDate From; // first day of the period (blank lines start there)
};

class TLogLines
{
public:
    explicit TLogLines(const TLogLineOptions &options);

    // "Time Logs (All)", "Total Hours (IN/OUT)" and so on.
    static QString Title(bool totalsMode, TRecordsOfInterest interest);
    // "From: 1/Dec/2026 To: 7/Dec/2026".
    static QString RangeText(const QDate &from, const QDate &to);

    // Starts a person with that person's records in time order.
    void StartPerson(TReportRecords records);
    // " [card] name", with the record count in log mode.
    QString Heading(int card, const QString &name) const;
    bool HasMoreLines() const { return m_next < m_records.size(); }
    QString NextLine();
    // " No of day(s) = n ", with the total time in totals mode; starts the counts again.
    QString TotalLine();

    int DayCount() const { return m_dayCount; }

private:
    bool dayPrefix(QString &line);
    void logRecords(QString &line);
    void dayPair(QString &line);

    TLogLineOptions m_options;
    int m_timeWidth = 0;
    TReportRecords m_records;
    size_t m_next = 0;
    QDate m_lastDay;
    QDate m_currentDay;
    int m_dayCount = 0;
    qint64 m_totalMsecs = 0;
};
