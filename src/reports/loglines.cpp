#include "reports/loglines.h"

#include "store/utils.h"

namespace {

const QString DayHeadingFormat = QStringLiteral("MMM dd, yyyy ddd -");
constexpr int DayHeadingWidth = 18;

QString modeLetter(int mode)
{
    switch (mode) {
    case 0:
        return QStringLiteral("[C]");
    case 1:
        return QStringLiteral("[I]");
    case 2:
        return QStringLiteral("[O]");
    default:
        return {};
    }
}

} // namespace

TLogLines::TLogLines(const TLogLineOptions &options) : m_options(options)
{
    m_options.RecordsPerLine = RecordsPerLineOrDefault(options.RecordsPerLine);
    // Every record format prints the same width at any time of day.
    m_timeWidth =
        FormatDateTime(m_options.TimeFormat, QDateTime(QDate(2000, 1, 1), QTime(0, 0))).size();
}

QString TLogLines::Title(bool totalsMode, TRecordsOfInterest interest)
{
    const QString kind = interest == TRecordsOfInterest::Clock   ? QStringLiteral("Clock")
                         : interest == TRecordsOfInterest::InOut ? QStringLiteral("IN/OUT")
                                                                 : QStringLiteral("All");
    return (totalsMode ? QStringLiteral("Total Hours (") : QStringLiteral("Time Logs (")) + kind +
           QLatin1Char(')');
}

QString TLogLines::RangeText(const QDate &from, const QDate &to)
{
    const QString f = QStringLiteral("d/mmm/yyyy");
    return QStringLiteral("From: ") + FormatDateTime(f, QDateTime(from, QTime(0, 0))) +
           QStringLiteral(" To: ") + FormatDateTime(f, QDateTime(to, QTime(0, 0)));
}

void TLogLines::StartPerson(TReportRecords records)
{
    m_records = std::move(records);
    m_next = 0;
    m_lastDay = QDate();
    m_currentDay = m_options.From;
}

QString TLogLines::Heading(int card, const QString &name) const
{
    QString text = QStringLiteral(" [") + QString::number(card) + QStringLiteral("] ") + name;
    if (!m_options.TotalsMode)
        text += QStringLiteral(" (") + QString::number(m_records.size()) +
                QStringLiteral(" record(s))");
    return text;
}

// The day heading, or the heading's width of blanks under it; false when the line is a day
// without records (the waiting record opens the next line).
bool TLogLines::dayPrefix(QString &line)
{
    const QDate day = m_records[m_next].Time.date();
    if (!m_options.BlankLines || !m_currentDay.isValid())
        m_currentDay = day;
    if (m_currentDay < day) {
        line += FormatDateTime(DayHeadingFormat, QDateTime(m_currentDay, QTime(0, 0))) +
                QStringLiteral(" No record");
        m_currentDay = m_currentDay.addDays(1);
        return false;
    }
    if (day != m_lastDay) {
        m_lastDay = day;
        line += FormatDateTime(DayHeadingFormat, m_records[m_next].Time);
        m_currentDay = m_currentDay.addDays(1);
        ++m_dayCount;
    } else {
        line += QString(DayHeadingWidth, QLatin1Char(' '));
    }
    return true;
}

void TLogLines::logRecords(QString &line)
{
    for (int n = 0; m_next < m_records.size() && n < m_options.RecordsPerLine &&
                    m_records[m_next].Time.date() == m_lastDay;) {
        const TReportRecord &r = m_records[m_next];
        line += FormatDateTime(m_options.TimeFormat, r.Time) + modeLetter(r.Mode);
        ++m_next;
        if (++n % 2 == 0)
            line += QLatin1Char(' ');
    }
}

// The day's first and last record (first IN and last OUT for IN/OUT records) and their span;
// takes the whole day.
void TLogLines::dayPair(QString &line)
{
    const QDate day = m_lastDay;
    const bool inOut = m_options.Interest == TRecordsOfInterest::InOut;
    const TReportRecord *in = nullptr;
    const TReportRecord *out = nullptr;
    for (; m_next < m_records.size() && m_records[m_next].Time.date() == day; ++m_next) {
        const TReportRecord &r = m_records[m_next];
        if (!inOut) {
            if (!in)
                in = &r;
            else
                out = &r;
        } else if (r.Mode == 1) {
            if (!in)
                in = &r;
        } else if (r.Mode == 2 && in) {
            out = &r;
        }
    }
    if (!in && !out) {
        line += QStringLiteral(" No record matched");
        return;
    }
    const int width = m_timeWidth + 7;
    if (!in)
        line += PadRight(QStringLiteral(" No IN"), width);
    else
        line += FormatDateTime(m_options.TimeFormat, in->Time) + FormatModeTag(in->Mode);
    if (!out)
        line += PadRight(QStringLiteral(" No OUT"), width);
    else if (!in || out->Time > in->Time)
        line += FormatDateTime(m_options.TimeFormat, out->Time) + FormatModeTag(out->Mode);
    if (in && out) {
        if (out->Time > in->Time) {
            line += QLatin1Char(' ') + FormatTimeDiff(in->Time, out->Time);
            m_totalMsecs += WallClockMsecs(in->Time, out->Time);
        } else if (out->Time < in->Time) {
            line += QStringLiteral(" Incorrect");
        }
    }
}

QString TLogLines::NextLine()
{
    QString line = QStringLiteral("  ");
    if (!HasMoreLines() || !dayPrefix(line))
        return line;
    if (m_options.TotalsMode)
        dayPair(line);
    else
        logRecords(line);
    return line;
}

QString TLogLines::TotalLine()
{
    QString text =
        QStringLiteral(" No of day(s) = ") + QString::number(m_dayCount) + QLatin1Char(' ');
    if (m_options.TotalsMode)
        text += QStringLiteral("  Total Time=") + FormatHours(m_totalMsecs);
    m_dayCount = 0;
    m_totalMsecs = 0;
    return text;
}
