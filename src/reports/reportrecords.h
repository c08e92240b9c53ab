#pragma once
// The log records the printed reports walk, read once per person or per day into plain values,
// and the small rules every report line builder shares. Main thread only for the loaders (they
// use the given connection); the rest is pure and may be called from any thread.

#include <QDateTime>
#include <QString>
#include <vector>

class TDatabase;

// One log record as the reports print it: its time with the milliseconds cleared, read as a
// wall-clock value (no time zone, so spans across a daylight-saving change add up), its card
// and its mode.
struct TReportRecord
{
    QDateTime Time;
    int Card = 0;
    int Mode = 0;
};
using TReportRecords = std::vector<TReportRecord>;

// Which records a report wants: every record, only CLOCK (MODE 0), or only IN/OUT (MODE > 0).
enum class TRecordsOfInterest
{
    All = 0,
    Clock = 1,
    InOut = 2,
};

// A stored "records per line" of 2, 4, 6 or 8 as it stands; anything else reads as 4.
int RecordsPerLineOrDefault(int stored);

// The wall-clock length of a span in milliseconds, whatever day-saving change lies inside.
qint64 WallClockMsecs(const QDateTime &from, const QDateTime &to);

// One card's records in time order, of the chosen kind, on the days from..to (each day from its
// 00:00:00 up to the next day's, so a record at midnight belongs to the new day only); every
// date when allDates is set.
TReportRecords LoadPersonRecords(TDatabase &att, int card, TRecordsOfInterest interest,
                                 const QDate &from, const QDate &to, bool allDates);
// Every record of the day, by card, the latest first within a card.
TReportRecords LoadDayRecordsLatestFirst(TDatabase &att, const QDate &day);
// One card's records of the day, by mode, then in time order.
TReportRecords LoadDayRecordsByMode(TDatabase &att, int card, const QDate &day);
