#pragma once
// The lines of the daily individual report (one person's CLOCK, IN and OUT lines of a day) and
// of the who-is-in-or-out report (every person under the mode of their latest record of the
// day). No widgets; any thread.

#include "reports/reportrecords.h"

#include <QDate>
#include <QString>
#include <QStringList>
#include <array>

// A person in scope, in the order of the persons query.
struct TReportPerson
{
    int Card = 0;
    QString Name;
};

class TDailyLines
{
public:
    TDailyLines(const QString &timeFormat, int recordsPerLine);

    // " [card] name (n record(s))".
    static QString Heading(int card, const QString &name, int recordCount);
    // The chosen day as "d/mmm/yyyy".
    static QString DayText(const QDate &day);
    // The CLOCK, IN and OUT lines of a person from the day's records ordered by mode, then
    // time: at least one line per category, continuation lines under the caption.
    QStringList Lines(const TReportRecords &byMode) const;
    // The same lines by category: CLOCK, IN, OUT.
    std::array<QStringList, 3> CategoryLines(const TReportRecords &byMode) const;

private:
    QString m_timeFormat;
    int m_recordsPerLine;
};

class TWhosLines
{
public:
    enum Category
    {
        Clock,
        In,
        Out,
        NoRecord,
        CategoryCount
    };
    struct TCategory
    {
        QString Heading;   // " Who's IN"
        QStringList Lines; // one per person
        QString HeadCount; // " 2 persons"
    };

    explicit TWhosLines(const QString &timeFormat);

    // Sorts the persons by their latest record of the day (the records by card, the latest
    // first within a card); a person whose latest mode is none of CLOCK, IN or OUT is left out.
    std::array<TCategory, CategoryCount> Build(const std::vector<TReportPerson> &persons,
                                               const TReportRecords &latestFirst) const;

    static QString Heading(int category);
    static QString HeadCount(int count);

private:
    QString personLine(const TReportPerson &person, int category, const TReportRecord *first,
                       const TReportRecord *end) const;
    QString m_timeFormat;
};
