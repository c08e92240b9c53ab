#include "linesfixture.h"
#include "reports/loglines.h"

#include <QStringList>

namespace {

QStringList allLines(TLogLines &lines)
{
    QStringList result;
    while (lines.HasMoreLines() && result.size() < 100)
        result << lines.NextLine();
    return result;
}

TLogLineOptions logOptions(int perLine, bool blank = false)
{
    TLogLineOptions o;
    o.RecordsPerLine = perLine;
    o.BlankLines = blank;
    o.From = QDate(2026, 12, 7);
    return o;
}

const TReportRecords monday = {Rec("2026-12-07 08:00:00", 1), Rec("2026-12-07 12:00:00", 2),
                               Rec("2026-12-07 13:00:00", 1), Rec("2026-12-07 17:00:00", 2),
                               Rec("2026-12-07 18:00:00", 0)};

} // namespace

using LogLinesTest = EnglishLinesTest;

TEST_F(LogLinesTest, TitlesAndRange)
{
    EXPECT_EQ(TLogLines::Title(false, TRecordsOfInterest::All), QStringLiteral("Time Logs (All)"));
    EXPECT_EQ(TLogLines::Title(false, TRecordsOfInterest::Clock),
              QStringLiteral("Time Logs (Clock)"));
    EXPECT_EQ(TLogLines::Title(true, TRecordsOfInterest::InOut),
              QStringLiteral("Total Hours (IN/OUT)"));
    EXPECT_EQ(TLogLines::RangeText(QDate(2026, 12, 7), QDate(2026, 12, 13)),
              QStringLiteral("From: 7/Dec/2026 To: 13/Dec/2026"));
}

TEST_F(LogLinesTest, RecordsFollowTheDayHeadingWithABlankAfterEverySecondOne)
{
    struct Case
    {
        const char *name;
        int perLine;
        QStringList expected;
    } cases[] = {
        {"four per line: the fifth continues under the heading",
         4,
         {QStringLiteral("  Dec 07, 2026 Mon - 08:00:00[I] 12:00:00[O]  13:00:00[I] 17:00:00[O] "),
          QStringLiteral("  ") + Blanks(18) + QStringLiteral(" 18:00:00[C]")}},
        {"two per line: three lines",
         2,
         {QStringLiteral("  Dec 07, 2026 Mon - 08:00:00[I] 12:00:00[O] "),
          QStringLiteral("  ") + Blanks(18) + QStringLiteral(" 13:00:00[I] 17:00:00[O] "),
          QStringLiteral("  ") + Blanks(18) + QStringLiteral(" 18:00:00[C]")}},
        {"a stored 0 reads as four and ends", 0, {}},
        {"a stored 5 reads as four", 5, {}},
    };
    for (Case &c : cases) {
        if (c.expected.isEmpty())
            c.expected = cases[0].expected;
        TLogLines lines(logOptions(c.perLine));
        lines.StartPerson(monday);
        EXPECT_EQ(lines.Heading(12, QStringLiteral("Ann")),
                  QStringLiteral(" [12] Ann (5 record(s))"))
            << c.name;
        EXPECT_EQ(allLines(lines), c.expected) << c.name;
        EXPECT_EQ(lines.TotalLine(), QStringLiteral(" No of day(s) = 1 ")) << c.name;
    }
}

TEST_F(LogLinesTest, BlankLinesFillTheDaysBeforeARecordOnly)
{
    TLogLines lines(logOptions(4, true));
    lines.StartPerson({Rec("2026-12-09 08:00:00", 1), Rec("2026-12-10 09:30:00", 2)});
    EXPECT_EQ(allLines(lines), (QStringList{QStringLiteral("  Dec 07, 2026 Mon - No record"),
                                            QStringLiteral("  Dec 08, 2026 Tue - No record"),
                                            QStringLiteral("  Dec 09, 2026 Wed - 08:00:00[I]"),
                                            QStringLiteral("  Dec 10, 2026 Thu - 09:30:00[O]")}));
    EXPECT_EQ(lines.TotalLine(), QStringLiteral(" No of day(s) = 2 "));

    // The next person starts again at the period's first day, with fresh counts.
    lines.StartPerson({});
    EXPECT_EQ(lines.Heading(3, QStringLiteral("Bob")), QStringLiteral(" [3] Bob (0 record(s))"));
    EXPECT_TRUE(allLines(lines).isEmpty());
    EXPECT_EQ(lines.TotalLine(), QStringLiteral(" No of day(s) = 0 "));
    lines.StartPerson({Rec("2026-12-08 07:00:00", 0)});
    EXPECT_EQ(allLines(lines), (QStringList{QStringLiteral("  Dec 07, 2026 Mon - No record"),
                                            QStringLiteral("  Dec 08, 2026 Tue - 07:00:00[C]")}));
}

TEST_F(LogLinesTest, TotalHoursGiveOnePairPerDayAndAddTheSpans)
{
    TLogLineOptions o = logOptions(4, true);
    o.TotalsMode = true;
    o.Interest = TRecordsOfInterest::InOut;
    TLogLines lines(o);
    lines.StartPerson({Rec("2026-12-07 07:55:00", 2), Rec("2026-12-07 08:00:00", 1),
                       Rec("2026-12-07 08:05:00", 1), Rec("2026-12-07 12:00:00", 2),
                       Rec("2026-12-07 17:30:15", 2), Rec("2026-12-09 08:00:00", 1),
                       Rec("2026-12-10 18:00:00", 2), Rec("2026-12-11 22:00:00", 1),
                       Rec("2026-12-11 23:59:59", 2)});
    EXPECT_EQ(lines.Heading(7, QStringLiteral("Cy")), QStringLiteral(" [7] Cy"));
    EXPECT_EQ(
        allLines(lines),
        (QStringList{
            QStringLiteral("  Dec 07, 2026 Mon - 08:00:00[IN]    17:30:15[OUT]   (09:30:15)"),
            QStringLiteral("  Dec 08, 2026 Tue - No record"),
            QStringLiteral("  Dec 09, 2026 Wed - 08:00:00[IN]    No OUT") + Blanks(9),
            QStringLiteral("  Dec 10, 2026 Thu - No record matched"),
            QStringLiteral("  Dec 11, 2026 Fri - 22:00:00[IN]    23:59:59[OUT]   (01:59:59)")}));
    EXPECT_EQ(lines.TotalLine(), QStringLiteral(" No of day(s) = 4   Total Time=11:30:14 "));
    lines.StartPerson({});
    EXPECT_EQ(lines.TotalLine(), QStringLiteral(" No of day(s) = 0   Total Time=00:00:00 "));
}

TEST_F(LogLinesTest, TotalHoursOfClockRecordsTakeTheFirstAndTheLast)
{
    TLogLineOptions o = logOptions(4);
    o.TotalsMode = true;
    o.TimeFormat = QStringLiteral(" AM/PMhh:mm");
    TLogLines lines(o);
    lines.StartPerson({Rec("2026-12-07 08:00:00", 0), Rec("2026-12-07 12:00:00", 1),
                       Rec("2026-12-07 16:45:00", 0), Rec("2026-12-08 09:00:00", 0)});
    EXPECT_EQ(allLines(lines),
              (QStringList{
                  QStringLiteral("  Dec 07, 2026 Mon - AM08:00[CLOCK] PM04:45[CLOCK] (08:45:00)"),
                  QStringLiteral("  Dec 08, 2026 Tue - AM09:00[CLOCK] No OUT") + Blanks(8)}));
    EXPECT_EQ(lines.TotalLine(), QStringLiteral(" No of day(s) = 2   Total Time=08:45:00 "));
}

TEST_F(LogLinesTest, HundredHoursPrintWhole)
{
    TLogLineOptions o = logOptions(4);
    o.TotalsMode = true;
    TLogLines lines(o);
    TReportRecords records;
    for (int d = 0; d < 10; ++d) {
        const QDate day = QDate(2026, 12, 1).addDays(d);
        records.push_back({QDateTime(day, QTime(8, 0), Qt::UTC), 1, 0});
        records.push_back({QDateTime(day, QTime(18, 0), Qt::UTC), 1, 0});
    }
    lines.StartPerson(records);
    EXPECT_EQ(allLines(lines).size(), 10);
    EXPECT_EQ(lines.TotalLine(), QStringLiteral(" No of day(s) = 10   Total Time=100:00:00 "));
}
