#include "linesfixture.h"
#include "reports/loglines.h"
#include "reports/reportrecords.h"
#include "reports/wholines.h"
#include "testsupport/rows.h"
#include "testsupport/tempdata.h"
#include "testsupport/zonescope.h"

#include <cstdlib>
#include <ctime>

class LoadersTest : public TempDataTest
{
protected:
    void SetUp() override
    {
        TempDataTest::SetUp();
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    }
    void TearDown() override
    {
        QLocale::setDefault(m_saved);
        TempDataTest::TearDown();
    }
    TDatabase &att() { return Data().Dsrc().att; }
    QLocale m_saved;
};

TEST_F(LoadersTest, AMidnightSwipeBelongsToTheNewDayOnly)
{
    AddLog("2026-12-07 23:59:59", 5, 1);
    AddLog("2026-12-08 00:00:00", 5, 2);
    AddLog("2026-12-08 08:00:00", 6, 1);
    AddLog("2026-12-08 09:00:00", -1, 0); // the exit button

    const QDate mon(2026, 12, 7), tue(2026, 12, 8);
    EXPECT_EQ(LoadPersonRecords(att(), 5, TRecordsOfInterest::All, mon, mon, false).size(), 1u);
    EXPECT_EQ(LoadPersonRecords(att(), 5, TRecordsOfInterest::All, tue, tue, false).size(), 1u);
    EXPECT_EQ(LoadPersonRecords(att(), 5, TRecordsOfInterest::All, mon, tue, false).size(), 2u);
    EXPECT_EQ(LoadPersonRecords(att(), 5, TRecordsOfInterest::All, {}, {}, true).size(), 2u);
    EXPECT_EQ(LoadPersonRecords(att(), 5, TRecordsOfInterest::Clock, mon, tue, false).size(), 0u);
    EXPECT_EQ(LoadDayRecordsByMode(att(), 5, mon).size(), 1u);
    EXPECT_EQ(LoadDayRecordsByMode(att(), 5, tue).size(), 1u);

    const TReportRecords tuesday = LoadDayRecordsLatestFirst(att(), tue);
    ASSERT_EQ(tuesday.size(), 3u);
    EXPECT_EQ(tuesday[0].Card, -1);
    EXPECT_EQ(tuesday[1].Card, 5);
    EXPECT_EQ(tuesday[1].Mode, 2);
    EXPECT_EQ(tuesday[1].Time.time(), QTime(0, 0));
    EXPECT_EQ(TWhosLines(QStringLiteral(" HH:mm:ss"))
                  .Build({{5, QStringLiteral("Ann")}}, tuesday)[TWhosLines::Out]
                  .Lines.size(),
              1);
}

TEST_F(LoadersTest, TotalsOnADaylightSavingDayAreTheSumOfThePrintedSpans)
{
    ZoneScope zone("Europe/London");
    // Clocks go forward at 01:00 on 29 March 2026 and back at 02:00 on 25 October.
    AddLog("2026-03-29 00:30:00", 5, 1);
    AddLog("2026-03-29 03:30:00", 5, 2);
    AddLog("2026-10-25 00:30:00", 6, 1);
    AddLog("2026-10-25 03:30:00", 6, 2);
    TLogLineOptions o;
    o.TotalsMode = true;
    o.Interest = TRecordsOfInterest::InOut;
    TLogLines lines(o);
    struct Case
    {
        int card;
        QString line;
    } cases[] = {
        {5, QStringLiteral("  Mar 29, 2026 Sun - 00:30:00[IN]    03:30:00[OUT]   (03:00:00)")},
        {6, QStringLiteral("  Oct 25, 2026 Sun - 00:30:00[IN]    03:30:00[OUT]   (03:00:00)")},
    };
    for (const Case &c : cases) {
        lines.StartPerson(
            LoadPersonRecords(att(), c.card, TRecordsOfInterest::InOut, {}, {}, true));
        EXPECT_EQ(lines.NextLine(), c.line);
        EXPECT_FALSE(lines.HasMoreLines());
        EXPECT_EQ(lines.TotalLine(), QStringLiteral(" No of day(s) = 1   Total Time=03:00:00 "))
            << c.card;
    }
}

// A swipe stored in the hour the clocks skip is read as stored, with its fraction dropped.
TEST_F(LoadersTest, RecordsReadTheStoredClockTimeEvenInTheSkippedHour)
{
    ZoneScope zone("Europe/London");
    AddLog("2026-03-29 01:30:00", 5, 1);
    AddLog("2026-03-29 02:15:20.750", 5, 2);
    const TReportRecords records =
        LoadPersonRecords(att(), 5, TRecordsOfInterest::All, {}, {}, true);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].Time, QDateTime(QDate(2026, 3, 29), QTime(1, 30), Qt::UTC));
    EXPECT_EQ(records[1].Time, QDateTime(QDate(2026, 3, 29), QTime(2, 15, 20), Qt::UTC));
    EXPECT_EQ(WallClockMsecs(records[0].Time, records[1].Time), (45 * 60 + 20) * 1000);
}

TEST(RecordsPerLine, OnlyTwoFourSixOrEightStand)
{
    for (int v : {2, 4, 6, 8})
        EXPECT_EQ(RecordsPerLineOrDefault(v), v);
    for (int v : {0, -2, 1, 3, 5, 10, 1000})
        EXPECT_EQ(RecordsPerLineOrDefault(v), 4) << v;
}
