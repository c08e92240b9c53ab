#include "reports/filolines.h"

#include "store/dataset.h"
#include "store/dbschema.h"
#include "store/pairing.h"
#include "store/utils.h"

namespace {

constexpr qint64 MsecsPerDay = 24LL * 3600 * 1000;
constexpr qint64 MsecsPerMinute = 60LL * 1000;

const QString DayFormat = QStringLiteral("MMM dd, yyyy ddd -");

int timeOfDay(const QDateTime &t)
{
    return t.isValid() ? t.time().msecsSinceStartOfDay() : 0;
}

int timeOfDay(const QTime &t)
{
    return t.isValid() ? t.msecsSinceStartOfDay() : 0;
}

bool later(const QDateTime &t, const QTime &x)
{
    return CompareTime(t.isValid() ? t.time() : QTime(0, 0), x) > 0;
}

bool isSaturday(const QDateTime &t)
{
    return t.isValid() && t.date().dayOfWeek() == Qt::Saturday;
}

// "(HH:mm:ss)" of a span shorter than a day.
QString spanText(qint64 msecs)
{
    return FormatTimeDiff(QTime(0, 0), QTime::fromMSecsSinceStartOfDay(int(msecs % MsecsPerDay)));
}

QDateTime recordTime(TDataSet &details)
{
    return ClearMilliseconds(
        WallClockFromDbText(details.FieldByName(Schema::Recorder::SysTime).AsString()));
}

} // namespace

int CompareTime(const QTime &a, const QTime &b)
{
    const int diff = timeOfDay(a) - timeOfDay(b);
    return diff > 1 ? 1 : diff < -1 ? -1 : 0;
}

QString TFiloLines::FormatRecordTime(const QString &format, const QDateTime &t) const
{
    const QDateTime shown = m_s.DayStartHour > 0 ? t.addSecs(qint64(m_s.DayStartHour) * 3600) : t;
    return FormatDateTime(format, shown);
}

QString TFiloLines::FormatRecordTime(const QString &format, const QTime &t) const
{
    return FormatRecordTime(format, QDateTime(QDate(2000, 1, 3), t, Qt::UTC));
}

void TFiloLines::ResetCounters()
{
    m_clockedDays = 0;
    m_totalTime = 0;
    m_lateSum = m_earlySum = m_overtimeSum = 0;
    m_lateCount = m_earlyCount = m_overtimeCount = 0;
    m_validSessionLines = 0;
    m_completeDays = 0;
    m_sessionIndex = 0;
    m_currentDay = m_s.FromDate;
}

void TFiloLines::StartPerson()
{
    m_lastPrintedDay = QDate();
    m_currentDay = m_s.FromDate;
}

bool TFiloLines::heading(TDataSet &details, QDateTime &t, QString &line, bool late)
{
    t = recordTime(details);
    line = QStringLiteral("  ");
    if (!m_s.BlankLines)
        m_currentDay = t;
    // Day headings show the report day itself: with a day-start hour the log is read moved
    // back by it, and the report day is the date of the moved time.
    if (m_currentDay.date() < t.date()) {
        line += FormatDateTime(DayFormat, m_currentDay) + QStringLiteral(" No record");
        m_currentDay = m_currentDay.addDays(1);
        return false;
    }
    if (m_lastPrintedDay != t.date()) {
        m_lastPrintedDay = t.date();
        line += FormatDateTime(DayFormat, t);
        // The next day follows the record's own day, whatever time the range began at.
        m_currentDay = QDateTime(t.date().addDays(1), QTime(0, 0), Qt::UTC);
        ++m_clockedDays;
        if (late)
            m_sessionIndex = 0;
    } else {
        line += QString(18, QChar(u' '));
        if (late)
            ++m_sessionIndex;
    }
    return true;
}

QString TFiloLines::BuildFiloLine(TDataSet &details)
{
    QDateTime t;
    QString line;
    if (!heading(details, t, line, false))
        return line;
    TInOutPair pair;
    NextInOutPair(details, t, pair, false);
    line += FormatRecordTime(m_s.RecordFormat, pair.InTime) + QStringLiteral(" ") +
            FormatModeTag(pair.InMode);
    if (pair.OutTime.isValid()) {
        const qint64 span = pair.InTime.msecsTo(pair.OutTime);
        line += FormatRecordTime(m_s.RecordFormat, pair.OutTime) + QStringLiteral(" ") +
                FormatModeTag(pair.OutMode) + QStringLiteral("  (") +
                QTime::fromMSecsSinceStartOfDay(int(span % MsecsPerDay))
                    .toString(QStringLiteral("HH:mm:ss")) +
                QStringLiteral(")");
        m_totalTime += span;
    }
    return line;
}

QString TFiloLines::BuildLateLine(TDataSet &details)
{
    QDateTime day;
    QString line;
    if (!heading(details, day, line, true))
        return line;
    const int mode = m_s.Mode;
    qint64 lateSpan = 0, earlySpan = 0, afterEnd = 0;
    bool valid = true;
    bool missing = false;

    // a. Pairing.
    TInOutPair pair;
    if (m_s.RecordsOfInterest == 2) {
        if (m_s.Source == 1)
            FirstInLastOut(details, day, pair, true);
        else
            NextInOutPair(details, day, pair, true);
    } else if (mode == 2) {
        FirstInLastOut(details, day, pair, false);
    } else {
        NextInOutPair(details, day, pair, false);
    }
    const QDateTime &in = pair.InTime;
    const QDateTime &out = pair.OutTime;

    // b, c. The two times, a missing one taking the room of a present one.
    if (!in.isValid() && !out.isValid())
        return line + QStringLiteral(" No record matched");
    if (!in.isValid())
        line += PadRight(QStringLiteral(" No IN"), m_s.RecordWidth + 7);
    else
        line += FormatRecordTime(m_s.RecordFormat, in) + FormatModeTag(pair.InMode);
    if (!out.isValid())
        line += PadRight(QStringLiteral(" No OUT"), m_s.RecordWidth + 7);
    else
        line += FormatRecordTime(m_s.RecordFormat, out) + FormatModeTag(pair.OutMode);

    // d, e. Which session this is, and whether it can be one.
    const bool saturday = isSaturday(in);
    if (mode == 2) {
        const QTime end = m_s.SatEnabled && saturday ? m_s.SatEnd : m_s.StdEnd;
        if (later(in, end))
            valid = false;
    } else if (mode == 3 && m_sessionIndex == 0) {
        if (saturday && (m_s.Sat1Enabled || m_s.Sat2Enabled)) {
            if (later(in, m_s.SatEnd1) && m_s.Sat2Enabled) {
                if (later(in, m_s.SatEnd2)) {
                    valid = false;
                } else {
                    m_sessionIndex = 1;
                    missing = true;
                }
            }
        } else if (later(in, m_s.End1)) {
            if (later(in, m_s.End2)) {
                valid = false;
            } else {
                m_sessionIndex = 1;
                missing = true;
            }
        }
    } else if (mode == 3 && m_sessionIndex == 1) {
        valid = later(in, m_s.End1) && !later(in, m_s.End2);
    }

    // f. Nothing to measure.
    if (!in.isValid() || !out.isValid() || out < in)
        return line + QStringLiteral(" Incorrect");

    // g. Plain pairs.
    if (mode == 1) {
        m_totalTime += in.msecsTo(out);
        return line + QStringLiteral(" ") + FormatTimeDiff(in, out);
    }

    const int index = m_sessionIndex;
    // h. Valid session lines.
    if (valid) {
        if (!saturday) {
            if (index < 2)
                ++m_validSessionLines;
        } else if (mode == 2) {
            if (index == 0)
                ++m_validSessionLines;
        } else {
            if (index == 0 && m_s.Sat1Enabled)
                ++m_validSessionLines;
            if (index == 1 && m_s.Sat2Enabled)
                ++m_validSessionLines;
        }
    }

    // i. Late, early leave and the time after the end.
    auto judge = [&](const QTime &start, const QTime &end, bool takeOvertime) {
        if (later(in, start)) {
            lateSpan = timeOfDay(in) - timeOfDay(start);
            ++m_lateCount;
        }
        if (CompareTime(out.time(), end) < 0) {
            earlySpan = timeOfDay(end) - timeOfDay(out);
            ++m_earlyCount;
        } else if (takeOvertime) {
            afterEnd = timeOfDay(out) - timeOfDay(end);
        }
    };
    if (valid) {
        if (mode == 2) {
            if (m_s.SatEnabled && saturday)
                judge(m_s.SatStart, m_s.SatEnd, true);
            else
                judge(m_s.StdStart, m_s.StdEnd, true);
        } else if (m_s.Sat1Enabled && saturday) {
            if (index == 0)
                judge(m_s.SatStart1, m_s.SatEnd1, true);
            else if (index == 1 && m_s.Sat2Enabled)
                judge(m_s.SatStart2, m_s.SatEnd2, true);
        } else {
            if (index == 0)
                judge(m_s.Start1, m_s.End1, false);
            else if (index == 1)
                judge(m_s.Start2, m_s.End2, true);
        }
    }

    // j. A day that ended after its first session misses the second.
    const bool dayLast = details.Eof() || day.date() != out.date();
    if (mode == 3 && (!saturday || m_s.Sat2Enabled))
        missing = missing || (index == 0 && dayLast);

    // k. Sums.
    if (index < 2) {
        m_lateSum += lateSpan;
        m_earlySum += earlySpan;
    }

    // l. Marks.
    const bool countable = saturday ? (index == 0 || (index == 1 && m_s.Sat2Enabled)) : index < 2;
    if (!countable) {
        line += QStringLiteral(" Excessive");
    } else {
        QString flags;
        if (lateSpan > 0)
            flags += QStringLiteral("L") + spanText(lateSpan);
        if (earlySpan > 0) {
            if (lateSpan > 0)
                flags += QStringLiteral(",");
            flags += QStringLiteral("E") + spanText(earlySpan);
        }
        const bool lastSession =
            saturday ? ((index == 1 && m_s.Sat2Enabled) || (index == 0 && !m_s.Sat2Enabled))
                     : index == 1;
        if (mode == 2 || lastSession) {
            const qint64 overtime = CalcOvertime(afterEnd);
            if (overtime > 0) {
                m_overtimeSum += overtime;
                if (lateSpan > 0 || earlySpan > 0)
                    flags += QStringLiteral(",");
                flags += QStringLiteral("OT") + spanText(overtime);
            }
        }
        if (!flags.isEmpty())
            line += QStringLiteral(" [") + flags + QStringLiteral("]");
        if (missing)
            line += QStringLiteral(" Missing");
    }

    // m. Complete days.
    if (mode == 3 && valid && !missing && dayLast) {
        bool reached;
        if (!m_s.Sat1Enabled)
            reached = index == 1;
        else if (m_lastPrintedDay.dayOfWeek() == Qt::Saturday)
            reached = m_s.Sat2Enabled ? index == 1 : index == 0;
        else
            reached = index == 1;
        if (reached)
            ++m_completeDays;
    }

    // n.
    if (!valid)
        line += QStringLiteral(" Error");
    return line;
}

qint64 TFiloLines::CalcOvertime(qint64 span)
{
    // Nothing worked after the end pays nothing, whatever the unpaid minutes say.
    if (span <= 0)
        return 0;
    const qint64 minutes = (span % MsecsPerDay) / MsecsPerMinute;
    if (minutes < m_s.OvertimeMinimum)
        return 0;
    qint64 x = minutes - m_s.OvertimeMinimum;
    if (m_s.OvertimeMultiple > 0)
        x = (x / m_s.OvertimeMultiple) * m_s.OvertimeMultiple + m_s.OvertimeMinimum;
    if (x < m_s.UnpaidOvertime)
        return 0;
    const qint64 result = m_s.OvertimeMultiple > 0
                              ? (x - m_s.UnpaidOvertime) * MsecsPerMinute
                              : span - qint64(m_s.UnpaidOvertime) * MsecsPerMinute;
    if (result <= 0)
        return 0;
    ++m_overtimeCount;
    return result;
}

QString TFiloLines::TotalLine()
{
    QString line;
    const QString n = QStringLiteral("%1");
    if (m_s.Mode == 2 || m_s.Mode == 3) {
        const bool two = m_s.Mode == 3;
        const int errors = m_clockedDays - (two ? m_completeDays : m_validSessionLines);
        line = QStringLiteral(" Clocked day=") + n.arg(m_clockedDays) + QStringLiteral(", ") +
               (two ? QStringLiteral("Error Day=") : QStringLiteral("Error day=")) + n.arg(errors) +
               QStringLiteral(", ") +
               (two ? QStringLiteral("Late=") : QStringLiteral("Late day=")) + n.arg(m_lateCount) +
               QStringLiteral("(") + FormatHours(m_lateSum) + QStringLiteral(")") +
               QStringLiteral(", ") +
               (two ? QStringLiteral("Early Leave=") : QStringLiteral("Early Leave day=")) +
               n.arg(m_earlyCount) + QStringLiteral("(") + FormatHours(m_earlySum) +
               QStringLiteral(")") + QStringLiteral(", ") + QStringLiteral("Overtime day=") +
               n.arg(m_overtimeCount) + QStringLiteral("(") + FormatHours(m_overtimeSum) +
               QStringLiteral(")") + QStringLiteral(" ");
    } else {
        line = QStringLiteral(" No of day(s) = ") + n.arg(m_clockedDays) + QStringLiteral(" ") +
               QStringLiteral("  ") + QStringLiteral("Total Time=") + FormatHours(m_totalTime);
    }
    const QDateTime currentDay = m_currentDay;
    ResetCounters();
    m_currentDay = currentDay;
    return line;
}

QString TFiloLines::RangeText() const
{
    // The range as chosen: the stored days, never moved by the day-start hour.
    return QStringLiteral("From: ") + FormatDateTime(QStringLiteral("d/mmm/yyyy"), m_s.FromDate) +
           QStringLiteral(" To: ") + FormatDateTime(QStringLiteral("d/mmm/yyyy"), m_s.ToDate);
}

QString TFiloLines::StandardText() const
{
    const QString hm = QStringLiteral("HH:mm");
    if (m_s.Source == 1)
        return QStringLiteral("Standard: ") + FormatRecordTime(hm, m_s.StdStart) +
               QStringLiteral(" to ") + FormatRecordTime(hm, m_s.StdEnd);
    if (m_s.Source == 2)
        return QStringLiteral("Standard: ") + FormatRecordTime(hm, m_s.Start1) +
               QStringLiteral("-") + FormatRecordTime(hm, m_s.End1) + QStringLiteral(" ") +
               FormatRecordTime(hm, m_s.Start2) + QStringLiteral("-") +
               FormatRecordTime(hm, m_s.End2);
    return QString();
}

QString TFiloLines::SaturdayText() const
{
    const QString hm = QStringLiteral("HH:mm");
    QString text;
    if (m_s.Source == 1 && m_s.SatEnabled)
        text = QStringLiteral("Saturday: ") + FormatRecordTime(hm, m_s.SatStart) +
               QStringLiteral(" to ") + FormatRecordTime(hm, m_s.SatEnd);
    if (m_s.Source == 2) {
        if (m_s.Sat1Enabled)
            text = QStringLiteral("Saturday: ") + FormatRecordTime(hm, m_s.SatStart1) +
                   QStringLiteral("-") + FormatRecordTime(hm, m_s.SatEnd1);
        if (m_s.Sat2Enabled)
            text += QStringLiteral(" ") + FormatRecordTime(hm, m_s.SatStart2) +
                    QStringLiteral("-") + FormatRecordTime(hm, m_s.SatEnd2);
    }
    return text;
}

QString TFiloLines::CompanyText(const QString &caption) const
{
    if (m_s.UnpaidOvertime > 0)
        return caption + QStringLiteral(" (No pay O.T.=") + QString::number(m_s.UnpaidOvertime) +
               QStringLiteral("minutes)");
    return caption;
}
