#include "store/db/dbtime.h"

#include <QChar>

namespace {

// The fields read by hand: the log walkers and the exports read one time per row, a million
// rows at a time.
template <typename Char> class TimeText
{
public:
    TimeText(const Char *text, qsizetype size) : m_text(text), m_size(size) {}

    // The usual form (with " " or "T") at the start.
    TDbTime Leading() const
    {
        if (m_size < DbTimeLength || !(at(10, ' ') || at(10, 'T')))
            return {};
        return dateAndTime(0, 11, DbTimeLength);
    }

    TDbTime Whole() const
    {
        const TDbTime time = Leading();
        if (m_size == DbTimeLength)
            return time;
        const qsizetype fraction = m_size - DbTimeLength - 1;
        return at(DbTimeLength, '.') && fraction > 0 && digits(DbTimeLength + 1, fraction) >= 0
                   ? time
                   : TDbTime{};
    }

    TDbTime Lenient() const
    {
        qsizetype begin = 0, end = m_size;
        while (begin < end && QChar::isSpace(char32_t(m_text[begin])))
            ++begin;
        while (end > begin && QChar::isSpace(char32_t(m_text[end - 1])))
            --end;
        if (end - begin >= 10 && at(begin + 4, '-')) {
            if (end - begin == 10) {
                const QDate date = dateAt(begin);
                return date.isValid() ? TDbTime{date, QTime(0, 0)} : TDbTime{};
            }
            if (!at(begin + 10, ' ') && !at(begin + 10, 'T'))
                return {};
            qsizetype timeEnd = begin + 11;
            while (timeEnd < end && !at(timeEnd, '.'))
                ++timeEnd; // stored times are whole seconds; a fraction is dropped
            return dateAndTime(begin, begin + 11, timeEnd);
        }
        // Times of day sit on the day the date-time values of the old files count from.
        const QTime time = timeAt(begin, end);
        return time.isValid() ? TDbTime{QDate(1899, 12, 30), time} : TDbTime{};
    }

private:
    bool at(qsizetype pos, char c) const { return pos < m_size && m_text[pos] == Char(c); }

    // The n digits at pos as a number, -1 when any is not a digit.
    int digits(qsizetype pos, qsizetype n) const
    {
        int v = 0;
        for (qsizetype i = pos; i < pos + n; ++i) {
            const auto c = char32_t(m_text[i]);
            if (c < u'0' || c > u'9')
                return -1;
            v = v * 10 + int(c - u'0');
        }
        return v;
    }

    // "YYYY-MM-DD" at pos; the caller has checked that ten characters are there.
    QDate dateAt(qsizetype pos) const
    {
        if (!at(pos + 4, '-') || !at(pos + 7, '-'))
            return QDate();
        const int year = digits(pos, 4), month = digits(pos + 5, 2), day = digits(pos + 8, 2);
        // A date that does not exist is made invalid by QDate itself.
        return year < 0 || month < 0 || day < 0 ? QDate() : QDate(year, month, day);
    }

    // "HH:MM:SS" or "HH:MM" filling [pos, end).
    QTime timeAt(qsizetype pos, qsizetype end) const
    {
        const qsizetype n = end - pos;
        if ((n != 8 && n != 5) || !at(pos + 2, ':') || (n == 8 && !at(pos + 5, ':')))
            return QTime();
        const int hour = digits(pos, 2), minute = digits(pos + 3, 2);
        const int second = n == 8 ? digits(pos + 6, 2) : 0;
        return hour < 0 || minute < 0 || second < 0 ? QTime() : QTime(hour, minute, second);
    }

    TDbTime dateAndTime(qsizetype datePos, qsizetype timePos, qsizetype timeEnd) const
    {
        const QDate date = dateAt(datePos);
        const QTime time = date.isValid() ? timeAt(timePos, timeEnd) : QTime();
        return time.isValid() ? TDbTime{date, time} : TDbTime{};
    }

    const Char *m_text;
    qsizetype m_size;
};

template <typename Char> TDbTime readText(const TimeText<Char> &text, DbTimeRead read)
{
    switch (read) {
    case DbTimeRead::Whole:
        return text.Whole();
    case DbTimeRead::Leading:
        return text.Leading();
    case DbTimeRead::Lenient:
        return text.Lenient();
    }
    return {};
}

} // namespace

TDbTime ReadDbTime(QStringView text, DbTimeRead read)
{
    return readText(TimeText<char16_t>(text.utf16(), text.size()), read);
}

TDbTime ReadDbTime(QByteArrayView utf8, DbTimeRead read)
{
    // The spaces a lenient reading skips are Unicode's, some of them several bytes long.
    if (read == DbTimeRead::Lenient)
        return ReadDbTime(QString::fromUtf8(utf8), read);
    return readText(
        TimeText<unsigned char>(reinterpret_cast<const unsigned char *>(utf8.data()), utf8.size()),
        read);
}

QString DateTimeToDbText(const QDateTime &value)
{
    if (!value.isValid())
        return QString();
    // A wall-clock time (Qt::UTC as its carrier) is stored as its clock reads, also in an hour
    // the local clocks skip or repeat; any other value as the local time it stands for.
    const QDateTime clock = value.timeSpec() == Qt::UTC ? value : value.toLocalTime();
    return clock.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QString DateToDbText(const QDate &value)
{
    return value.isValid() ? value.toString(QStringLiteral("yyyy-MM-dd")) : QString();
}

QString TimeToDbText(const QTime &value)
{
    return value.isValid() ? value.toString(QStringLiteral("HH:mm:ss")) : QString();
}

QDateTime DbTextToDateTime(const QString &text)
{
    const TDbTime time = ReadDbTime(text, DbTimeRead::Lenient);
    return time.IsValid() ? QDateTime(time.Date, time.Time) : QDateTime();
}
