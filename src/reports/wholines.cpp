#include "reports/wholines.h"

#include "store/utils.h"

#include <QHash>

TDailyLines::TDailyLines(const QString &timeFormat, int recordsPerLine)
    : m_timeFormat(timeFormat), m_recordsPerLine(RecordsPerLineOrDefault(recordsPerLine))
{
}

QString TDailyLines::Heading(int card, const QString &name, int recordCount)
{
    return QStringLiteral(" [") + QString::number(card) + QStringLiteral("] ") + name +
           QStringLiteral(" (") + QString::number(recordCount) + QStringLiteral(" record(s))");
}

QString TDailyLines::DayText(const QDate &day)
{
    return FormatDateTime(QStringLiteral("d/mmm/yyyy"), QDateTime(day, QTime(0, 0)));
}

QStringList TDailyLines::Lines(const TReportRecords &byMode) const
{
    const std::array<QStringList, 3> categories = CategoryLines(byMode);
    return categories[0] + categories[1] + categories[2];
}

std::array<QStringList, 3> TDailyLines::CategoryLines(const TReportRecords &byMode) const
{
    static const QString captions[] = {QStringLiteral("  CLOCK  -"), QStringLiteral("  IN     -"),
                                       QStringLiteral("  OUT    -")};
    const QString continuation = QStringLiteral("         -");
    std::array<QStringList, 3> lines;
    size_t next = 0;
    for (int category = 0; category < 3; ++category) {
        // A mode below the three categories has no line: pass over it.
        while (next < byMode.size() && byMode[next].Mode < category)
            ++next;
        bool captionShown = false;
        do {
            QString line = captionShown ? continuation : captions[category];
            captionShown = true;
            for (int n = 0;
                 next < byMode.size() && byMode[next].Mode == category && n < m_recordsPerLine;
                 ++n, ++next)
                line += QLatin1Char(' ') + FormatDateTime(m_timeFormat, byMode[next].Time);
            lines[category] << line;
        } while (next < byMode.size() && byMode[next].Mode == category);
    }
    return lines;
}

TWhosLines::TWhosLines(const QString &timeFormat) : m_timeFormat(timeFormat) {}

QString TWhosLines::Heading(int category)
{
    static const QString headings[] = {QStringLiteral(" Who's CLOCK"), QStringLiteral(" Who's IN"),
                                       QStringLiteral(" Who's OUT"), QStringLiteral(" No record")};
    return headings[category];
}

QString TWhosLines::HeadCount(int count)
{
    if (count == 0)
        return QStringLiteral(" No person");
    return QLatin1Char(' ') + QString::number(count) +
           (count == 1 ? QStringLiteral(" person") : QStringLiteral(" persons"));
}

// Names are padded to 20 with the leading blanks, never cut; then the latest time and the
// most recent earlier record in another mode with the time between them.
QString TWhosLines::personLine(const TReportPerson &person, int category,
                               const TReportRecord *first, const TReportRecord *end) const
{
    QString line = QStringLiteral("  ") + person.Name;
    if (category == NoRecord)
        return line;
    PadRightInPlace(20, line);
    line += FormatDateTime(m_timeFormat, first->Time);
    for (const TReportRecord *r = first + 1; r != end; ++r) {
        if (r->Mode == category)
            continue;
        line += QStringLiteral(" -") + FormatDateTime(m_timeFormat, r->Time) + QLatin1Char(' ') +
                FormatModeTag(r->Mode) + FormatTimeDiff(r->Time, first->Time);
        break;
    }
    return line;
}

std::array<TWhosLines::TCategory, TWhosLines::CategoryCount>
TWhosLines::Build(const std::vector<TReportPerson> &persons,
                  const TReportRecords &latestFirst) const
{
    // Where each card's records start and end in the day's records.
    QHash<int, std::pair<size_t, size_t>> spans;
    spans.reserve(int(persons.size()));
    for (size_t i = 0; i < latestFirst.size();) {
        size_t j = i + 1;
        while (j < latestFirst.size() && latestFirst[j].Card == latestFirst[i].Card)
            ++j;
        spans.insert(latestFirst[i].Card, {i, j});
        i = j;
    }
    std::array<TCategory, CategoryCount> result;
    for (int c = 0; c < CategoryCount; ++c)
        result[c].Heading = Heading(c);
    for (const TReportPerson &person : persons) {
        const auto it = spans.constFind(person.Card);
        if (it == spans.cend()) {
            result[NoRecord].Lines << personLine(person, NoRecord, nullptr, nullptr);
            continue;
        }
        const TReportRecord *first = latestFirst.data() + it->first;
        const TReportRecord *end = latestFirst.data() + it->second;
        if (first->Mode < Clock || first->Mode > Out)
            continue;
        result[first->Mode].Lines << personLine(person, first->Mode, first, end);
    }
    for (TCategory &c : result)
        c.HeadCount = HeadCount(int(c.Lines.size()));
    return result;
}
