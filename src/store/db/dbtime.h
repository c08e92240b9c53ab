#pragma once
// The text form of date-time values in the databases, written and read. Stored times are
// wall-clock values: the reader gives the date and the time of day as written, without a time
// zone, so a time in an hour the local clocks skip or repeat reads as it stands. Pure
// functions, any thread.

#include <QByteArrayView>
#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringView>
#include <QTime>

// Length of the usual form "YYYY-MM-DD HH:MM:SS".
inline constexpr qsizetype DbTimeLength = 19;

// What a reading of a stored time takes. Every field is ASCII digits of its full width (four
// for the year, two for the others), the date must exist and the time lie in 00:00:00..23:59:59.
enum class DbTimeRead
{
    // The usual form, or with a "T" between date and time, or either followed by a fraction
    // of a second (".5", ".123"), which is dropped: what an import stores.
    Whole,
    // The usual form (or with a "T") at the start of the text; what follows is not looked at:
    // the log walkers' reading, one per row.
    Leading,
    // Also "YYYY-MM-DD" (midnight), "YYYY-MM-DD HH:MM", a fraction of any text after a ".",
    // and a time of day alone ("HH:MM:SS", "HH:MM", on 1899-12-30, whose date part nobody
    // looks at), with spaces around the whole allowed: what other programs may have left in a
    // file.
    Lenient,
};

// A stored time as its clock reads; both parts invalid when the text was not one.
struct TDbTime
{
    QDate Date;
    QTime Time;

    bool IsValid() const { return Date.isValid() && Time.isValid(); }
    // The value as a wall-clock date-time (Qt::UTC carries it); invalid when this is.
    QDateTime WallClock() const { return IsValid() ? QDateTime(Date, Time, Qt::UTC) : QDateTime(); }
};

TDbTime ReadDbTime(QStringView text, DbTimeRead read);
// The same on a column's UTF-8 bytes, without making a string of them.
TDbTime ReadDbTime(QByteArrayView utf8, DbTimeRead read);

// The text form of date-time values in the databases (local time, whole seconds; a wall-clock
// value carried as Qt::UTC is written as its clock reads).
QString DateTimeToDbText(const QDateTime &value);
QString DateToDbText(const QDate &value);
QString TimeToDbText(const QTime &value);
// A stored time read leniently as the local time it stands for: invalid for anything else, and
// for a time the local clocks skip.
QDateTime DbTextToDateTime(const QString &text);
