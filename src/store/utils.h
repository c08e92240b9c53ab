#pragma once
// The shared helpers every window uses: texts for stored codes, card-holder and work-group
// lookups, SQL fragments, times of day, padding and number conversions, date-time texts.
// User-interface thread only, except where a function says otherwise: GetStaffByCard (with
// the caller's own connection), GetModeName, GetPortName and the pure text and time helpers
// may be called from any thread.

#include <QDateTime>
#include <QString>
#include <QTime>

class QLocale;
class QVariant;
class TDatabase;
class TDataSet;
struct TReportScope;

// Result of a staff lookup by card.
struct TStaffRec
{
    QString Name;
    QString GroupName;
};

// ---- Card holders and work groups -------------------------------------------------------

// Looks the card up in staffs joined to its work group. Name starts as "[" + card + "]" and
// GroupName empty; a found row replaces both and gives true. A card whose group has no gid
// row counts as not registered. The first form uses dsrc's system connection (main thread);
// the second the given connection, on the thread that owns it.
bool GetStaffByCard(int card, TStaffRec &rec);
bool GetStaffByCard(TDatabase &db, int card, TStaffRec &rec);

// Card number of the first staff row (by name) whose name begins with the text, case-sensitive;
// 0 when none. dsrc's staff cursor is left on the found row.
int FindCardByName(const QString &name);

// Group name of the gid row with that id, or empty.
void GetGroupName(int id, QString &text);
// Id of the gid row with exactly that name, or 0.
int GetGroupId(const QString &name);

// Description of the reader port from dsrc's reader table, else GetPortName(port).
QString GetReaderDesc(int port);

// Rebuilds and opens the staff query from the scope's persons choice: all staff by name, the
// members of the named work group by name, or the picked members in the table's order. On a
// database error shows "Database Error." and gives false. `columns` are the staff columns to
// read (the group's name, descx, always comes too): a report that prints a few of them leaves
// the photos unread. The form-taking name is in store/scopeform.h.
bool BuildStaffScopeQuery(TDataSet &query, const TReportScope &scope,
                          const QString &columns = QStringLiteral("*"));

// ---- Texts ------------------------------------------------------------------------------

QString GetModeName(int mode);   // "CLOCK", "IN", "OUT", else "N/A"; any thread
QString FormatModeTag(int mode); // "[CLOCK]", "[IN]   ", "[OUT]  ", always seven characters
// "DENIED" for 0, the reader's description for 1..8, "ERROR" otherwise. Any thread (see
// readerdesc.h for what the description source must guarantee).
QString GetPortName(int port);
bool IsReaderPort(int number);
QString GetReaderModelName(int model); // "MV series" for 0, else "DL series"

// ---- SQL fragments ------------------------------------------------------------------------

// "YYYY-MM-DD".
QString FormatSqlDate(const QDate &date);
QString FormatSqlDate(const QDateTime &value);
// " between 'from' and 'to + 1 day' ": put after a date-time column; the upper bound is the
// midnight after the last day, so the whole last day is inside.
QString MakeDateRangeSql(const QDate &from, const QDate &to);
QString MakeDateRangeSql(const QDateTime &from, const QDateTime &to);

// ---- Times --------------------------------------------------------------------------------

QDateTime ClearMilliseconds(const QDateTime &value);

// Times of day only (the date part is ignored): from <= t < to. A window that does not end
// after it starts holds nothing; nothing wraps past midnight.
bool TimeInWindow(const QTime &from, const QTime &to, const QTime &t);
bool TimeInWindow(const QDateTime &from, const QDateTime &to, const QDateTime &t);
// Whether window 2 touches or overlaps window 1 (windows that only meet count as
// overlapping; two identical empty windows do not). Pass the stored window first.
bool TimeWindowsOverlap(const QTime &from1, const QTime &to1, const QTime &from2, const QTime &to2);
bool TimeWindowsOverlap(const QDateTime &from1, const QDateTime &to1, const QDateTime &from2,
                        const QDateTime &to2);

// "HH:MM:SS " of a span with whole days counted into the hours (36 hours: "36:00:00 ").
QString FormatHours(qint64 msecs);
// "(HH:mm:ss)" of the time of day of second minus that of first; a second time of day earlier
// than the first is taken as on the next day.
QString FormatTimeDiff(const QTime &first, const QTime &second);
QString FormatTimeDiff(const QDateTime &first, const QDateTime &second);

// Date-time text from a pattern: d dd ddd dddd (day, names), m mm mmm mmmm (month, names;
// minutes right after an hour), yy yyyy, h hh, n nn (minutes), s ss, AM/PM (prints AM or PM
// and makes every hour of the pattern 12-hour), "/" and ":" (the locale's date and time
// separators), text in single or double quotes as it stands. Letters are case-insensitive;
// other characters print as they are. Names and separators come from the default locale, or
// from the one given. Any thread.
QString FormatDateTime(const QString &pattern, const QDateTime &value);
QString FormatDateTime(const QString &pattern, const QDateTime &value, const QLocale &locale);
// A stored time of day (a QTime, or the time of a QDateTime) in such a pattern, as the grids
// show one; empty when the value holds no time. Any thread.
QString FormatTimeOfDay(const QString &pattern, const QVariant &value);

// ---- Padding and numbers --------------------------------------------------------------------

// Exactly n characters: cut, or filled with blanks (n below 0 counts as 0).
QString PadToWidth(const QString &text, int n);
// Filled with blanks up to width; longer text stays whole.
QString PadRight(const QString &text, int width);
void PadRightInPlace(int width, QString &text);
QString SpacesToUnderscores(const QString &text);

// A decimal integer (optional sign): n := it and true; else false with n untouched.
bool TryStrToIntVar(const QString &text, int &n);
// The decimal integer, or -1.
int SafeStrToInt(const QString &text);

// Packed BCD of 0..99 (tens in the high nibble) and back.
quint8 ByteToBcd(quint8 n);
quint8 BcdToByte(quint8 b);
