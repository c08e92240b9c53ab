#pragma once
// The report scope the report tests and benchmarks start from, as a closed scope dialog would
// hand it over: all staff, the range Monday 2 to Sunday 8 March 2026, the IN/OUT records, the
// 24-hour format with seconds, no options; and the lateness hours of nine to five with
// overtime from 15 minutes in steps of 5. Any thread.

#include "store/reportscope.h"

#include <QDate>

inline TReportScope TestScope(const QDate &from = QDate(2026, 3, 2),
                              const QDate &to = QDate(2026, 3, 8))
{
    TReportScope scope;
    scope.Persons = TPersonsChoice::All;
    scope.Dates = TDateChoice::Range;
    scope.From = QDateTime(from, QTime(0, 0));
    scope.To = QDateTime(to, QTime(0, 0));
    scope.RecordsOfInterest = 2;
    scope.RecordFormat = QStringLiteral(" HH:mm:ss");
    return scope;
}

inline TLateHours NineToFive()
{
    TLateHours hours;
    hours.StdStart = QTime(9, 0);
    hours.StdEnd = QTime(17, 0);
    hours.OvertimeMinimum = 15;
    hours.OvertimeMultiple = 5;
    return hours;
}
