#include "store/utils.h"

#include "store/readerdesc.h"

#include <QLocale>
#include <QVariant>
#include <algorithm>

// ---- Texts ------------------------------------------------------------------------------

QString GetModeName(int mode)
{
    switch (mode) {
    case 0:
        return QStringLiteral("CLOCK");
    case 1:
        return QStringLiteral("IN");
    case 2:
        return QStringLiteral("OUT");
    default:
        return QStringLiteral("N/A");
    }
}

QString FormatModeTag(int mode)
{
    // Report columns line up on the tag, so it is always seven characters, whatever the mode.
    return PadRight(QLatin1Char('[') + GetModeName(mode) + QLatin1Char(']'), 7);
}

QString GetPortName(int port)
{
    if (port == 0)
        return QStringLiteral("DENIED");
    if (!IsReaderPort(port))
        return QStringLiteral("ERROR");
    if (const IReaderDescriptions *source = CurrentReaderDescriptions())
        return source->Desc(port);
    return QStringLiteral("COM") + QString::number(port);
}

bool IsReaderPort(int number)
{
    return number >= 1 && number <= 8;
}

QString GetReaderModelName(int model)
{
    return model == 0 ? QStringLiteral("MV series") : QStringLiteral("DL series");
}

// ---- SQL fragments ------------------------------------------------------------------------

QString FormatSqlDate(const QDate &date)
{
    return QStringLiteral("%1-%2-%3")
        .arg(date.year(), 4, 10, QLatin1Char('0'))
        .arg(date.month(), 2, 10, QLatin1Char('0'))
        .arg(date.day(), 2, 10, QLatin1Char('0'));
}

QString FormatSqlDate(const QDateTime &value)
{
    return FormatSqlDate(value.date());
}

QString MakeDateRangeSql(const QDate &from, const QDate &to)
{
    return QStringLiteral(" between '") + FormatSqlDate(from) + QStringLiteral("' and '") +
           FormatSqlDate(to.addDays(1)) + QStringLiteral("' ");
}

QString MakeDateRangeSql(const QDateTime &from, const QDateTime &to)
{
    return MakeDateRangeSql(from.date(), to.date());
}

// ---- Times --------------------------------------------------------------------------------

namespace {

// The time of day of a date-time; a value with no time (invalid) counts as midnight.
QTime timeOfDay(const QDateTime &value)
{
    const QTime t = value.time();
    return t.isValid() ? t : QTime(0, 0);
}

QTime validOrMidnight(const QTime &t)
{
    return t.isValid() ? t : QTime(0, 0);
}

} // namespace

QDateTime ClearMilliseconds(const QDateTime &value)
{
    if (!value.isValid())
        return value;
    return value.addMSecs(-value.time().msec());
}

bool TimeInWindow(const QTime &from, const QTime &to, const QTime &t)
{
    const QTime f = validOrMidnight(from);
    const QTime e = validOrMidnight(to);
    const QTime x = validOrMidnight(t);
    return f <= x && x < e;
}

bool TimeInWindow(const QDateTime &from, const QDateTime &to, const QDateTime &t)
{
    return TimeInWindow(timeOfDay(from), timeOfDay(to), timeOfDay(t));
}

bool TimeWindowsOverlap(const QTime &from1, const QTime &to1, const QTime &from2, const QTime &to2)
{
    return TimeInWindow(from1, to1, from2) || TimeInWindow(from1, to1, to2) ||
           TimeInWindow(from2, to2, from1) || TimeInWindow(from2, to2, to1);
}

bool TimeWindowsOverlap(const QDateTime &from1, const QDateTime &to1, const QDateTime &from2,
                        const QDateTime &to2)
{
    return TimeWindowsOverlap(timeOfDay(from1), timeOfDay(to1), timeOfDay(from2), timeOfDay(to2));
}

QString FormatHours(qint64 msecs)
{
    const bool negative = msecs < 0;
    // Whole seconds, as a clock shows them: the part of a second is dropped.
    const qint64 total = (negative ? -msecs : msecs) / 1000;
    const qint64 hours = total / 3600;
    const qint64 minutes = (total / 60) % 60;
    const qint64 seconds = total % 60;
    return QStringLiteral("%1%2:%3:%4 ")
        .arg(negative ? QStringLiteral("-") : QString())
        .arg(hours, 2, 10, QLatin1Char('0'))
        .arg(minutes, 2, 10, QLatin1Char('0'))
        .arg(seconds, 2, 10, QLatin1Char('0'));
}

QString FormatTimeDiff(const QTime &first, const QTime &second)
{
    constexpr int msecsPerDay = 24 * 3600 * 1000;
    int diff = validOrMidnight(second).msecsSinceStartOfDay() -
               validOrMidnight(first).msecsSinceStartOfDay();
    // A span past midnight (an overnight shift) is the time up to the next day's time.
    if (diff < 0)
        diff += msecsPerDay;
    return FormatDateTime(QStringLiteral("(HH:mm:ss)"),
                          QDateTime(QDate(1899, 12, 30), QTime::fromMSecsSinceStartOfDay(diff)));
}

QString FormatTimeDiff(const QDateTime &first, const QDateTime &second)
{
    return FormatTimeDiff(timeOfDay(first), timeOfDay(second));
}

// ---- Date-time texts ----------------------------------------------------------------------

namespace {

bool isAsciiLetter(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z');
}

char16_t upperAscii(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= u'a' && u <= u'z') ? char16_t(u - 32) : u;
}

// The first separator character of a locale's format, or the fallback.
QString separatorOf(const QString &format, QChar fallback)
{
    bool quoted = false;
    for (QChar c : format) {
        if (c == QLatin1Char('\'')) {
            quoted = !quoted;
            continue;
        }
        if (!quoted && !isAsciiLetter(c) && !c.isSpace())
            return QString(c);
    }
    return QString(fallback);
}

bool isAmPmAt(const QString &pattern, qsizetype i)
{
    return pattern.mid(i, 5).compare(QLatin1String("AM/PM"), Qt::CaseInsensitive) == 0;
}

// AM/PM anywhere outside quotes makes every hour of the pattern 12-hour.
bool usesTwelveHourClock(const QString &pattern)
{
    QChar quote;
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        const QChar c = pattern.at(i);
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
        } else if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            quote = c;
        } else if (isAmPmAt(pattern, i)) {
            return true;
        }
    }
    return false;
}

QString twoDigits(int n)
{
    return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0'));
}

} // namespace

QString FormatDateTime(const QString &pattern, const QDateTime &value)
{
    return FormatDateTime(pattern, value, QLocale());
}

QString FormatTimeOfDay(const QString &pattern, const QVariant &value)
{
    const QTime t =
        value.metaType().id() == QMetaType::QDateTime ? value.toDateTime().time() : value.toTime();
    // Any date: the patterns of times of day print none.
    return t.isValid() ? FormatDateTime(pattern, QDateTime(QDate(1899, 12, 30), t)) : QString();
}

QString FormatDateTime(const QString &pattern, const QDateTime &value, const QLocale &locale)
{
    const QDate date = value.date().isValid() ? value.date() : QDate(1899, 12, 30);
    const QTime time = timeOfDay(value);
    const bool twelveHour = usesTwelveHourClock(pattern);
    const QString dateSep = separatorOf(locale.dateFormat(QLocale::ShortFormat), u'/');
    const QString timeSep = separatorOf(locale.timeFormat(QLocale::ShortFormat), u':');

    QString out;
    char16_t lastToken = 0;
    qsizetype i = 0;
    const qsizetype n = pattern.size();
    while (i < n) {
        const QChar c = pattern.at(i);
        if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            qsizetype end = pattern.indexOf(c, i + 1);
            if (end < 0)
                end = n;
            out += pattern.mid(i + 1, end - i - 1);
            i = end + 1;
            continue;
        }
        if (c == QLatin1Char('/')) {
            out += dateSep;
            ++i;
            continue;
        }
        if (c == QLatin1Char(':')) {
            out += timeSep;
            ++i;
            continue;
        }
        if (!isAsciiLetter(c)) {
            out += c;
            ++i;
            continue;
        }
        if (isAmPmAt(pattern, i)) {
            const bool lower = c.isLower();
            const bool am = time.hour() < 12;
            out += lower ? (am ? QStringLiteral("am") : QStringLiteral("pm"))
                         : (am ? QStringLiteral("AM") : QStringLiteral("PM"));
            i += 5;
            continue;
        }

        char16_t token = upperAscii(c);
        qsizetype count = 1;
        while (i + count < n && upperAscii(pattern.at(i + count)) == token)
            ++count;
        i += count;
        // "m" right after an hour means minutes ("hh:mm", "hhmmss").
        if (token == u'M' && lastToken == u'H')
            token = u'N';
        lastToken = token;

        switch (token) {
        case u'Y':
            out += count <= 2 ? twoDigits(date.year() % 100)
                              : QStringLiteral("%1").arg(date.year(), 4, 10, QLatin1Char('0'));
            break;
        case u'M':
            if (count == 1)
                out += QString::number(date.month());
            else if (count == 2)
                out += twoDigits(date.month());
            else
                out += locale.monthName(date.month(),
                                        count == 3 ? QLocale::ShortFormat : QLocale::LongFormat);
            break;
        case u'D':
            if (count == 1)
                out += QString::number(date.day());
            else if (count == 2)
                out += twoDigits(date.day());
            else
                out += locale.dayName(date.dayOfWeek(),
                                      count == 3 ? QLocale::ShortFormat : QLocale::LongFormat);
            break;
        case u'H': {
            int hour = time.hour();
            if (twelveHour) {
                hour %= 12;
                if (hour == 0)
                    hour = 12;
            }
            out += count == 1 ? QString::number(hour) : twoDigits(hour);
            break;
        }
        case u'N':
            out += count == 1 ? QString::number(time.minute()) : twoDigits(time.minute());
            break;
        case u'S':
            out += count == 1 ? QString::number(time.second()) : twoDigits(time.second());
            break;
        default:
            // Letters that are no pattern print as they stand.
            out += pattern.mid(i - count, count);
            break;
        }
    }
    return out;
}

// ---- Padding and numbers --------------------------------------------------------------------

QString PadToWidth(const QString &text, int n)
{
    const int width = std::max(n, 0);
    return text.left(width).leftJustified(width, QLatin1Char(' '));
}

QString PadRight(const QString &text, int width)
{
    return text.leftJustified(std::max(width, 0), QLatin1Char(' '));
}

void PadRightInPlace(int width, QString &text)
{
    text = PadRight(text, width);
}

QString SpacesToUnderscores(const QString &text)
{
    QString out = text;
    out.replace(QLatin1Char(' '), QLatin1Char('_'));
    return out;
}

bool TryStrToIntVar(const QString &text, int &n)
{
    // Only an optional sign and decimal digits (blanks round them are forgiven): no
    // hexadecimal, no group marks, nothing that would overflow.
    const QString t = text.trimmed();
    qsizetype i = 0;
    if (i < t.size() && (t.at(i) == QLatin1Char('+') || t.at(i) == QLatin1Char('-')))
        ++i;
    if (i == t.size())
        return false;
    for (qsizetype k = i; k < t.size(); ++k) {
        if (t.at(k) < QLatin1Char('0') || t.at(k) > QLatin1Char('9'))
            return false;
    }
    bool ok = false;
    const int value = t.toInt(&ok, 10);
    if (!ok)
        return false;
    n = value;
    return true;
}

int SafeStrToInt(const QString &text)
{
    int n = -1;
    return TryStrToIntVar(text, n) ? n : -1;
}

quint8 ByteToBcd(quint8 n)
{
    return quint8((n / 10) * 16 + n % 10);
}

quint8 BcdToByte(quint8 b)
{
    return quint8((b >> 4) * 10 + (b & 15));
}
