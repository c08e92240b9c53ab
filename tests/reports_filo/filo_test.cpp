// The first-in/last-out report through the real engine: its lines and totals as printed
// (read exactly through the label hook), in each mode, against a week of records of one
// member; overtime arithmetic; the overnight form; a daylight-saving day; and the PDF.

#include "reports/repfilo.h"
#include "reports/reportoutput.h"
#include "store/clock.h"
#include "store/datasrc.h"
#include "testsupport/fakereportoutput.h"
#include "testsupport/tempdata.h"
#include "testsupport/testscope.h"

#include <ctime>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

constexpr int Card = 501;
constexpr int Clock = 0, In = 1, Out = 2;

struct LogRec
{
    const char *time;
    int mode;
};

// The texts of the report's lines as printed.
struct Printed
{
    std::vector<std::string> details;
    std::vector<std::string> totals;
    std::vector<std::string> headings;
    std::vector<std::string> header; // qrrange, QRLabel1..3 of the first page
};

class FiloTest : public TempDataTest
{
protected:
    void SetUp() override
    {
        TempDataTest::SetUp();
        ASSERT_TRUE(Data().IsValid());
        Data().Dsrc().src.Exec(QStringLiteral("insert into staffs (CARDNO, NAME, WORKGRP) values "
                                              "(501, 'Ann Lee', 1)"));
    }

    void AddLog(const std::vector<LogRec> &records, int card = Card)
    {
        TStatement s = Data().Dsrc().att.Prepare(
            QStringLiteral("insert into recorder (SYSTIME, CARDNO, MODE) values (?, ?, ?)"));
        for (const LogRec &r : records) {
            s.Bind(1, QString::fromLatin1(r.time));
            s.Bind(2, card);
            s.Bind(3, r.mode);
            s.Step();
            s.Reset();
        }
    }

    Printed Run(Tqrfilo &report)
    {
        Printed p;
        const TLabelTextHook previous =
            SetLabelTextHook([&](const TReportLabel &label, const QString &text) {
                const std::string t = text.toStdString();
                if (label.Name() == QStringLiteral("qrdetails"))
                    p.details.push_back(t);
                else if (label.Name() == QStringLiteral("qrtotal"))
                    p.totals.push_back(t);
                else if (label.Name() == QStringLiteral("qrmaster"))
                    p.headings.push_back(t);
                else if (report.PageCount() <= 1 && p.header.size() < 4)
                    p.header.push_back(t);
            });
        report.Prepare();
        SetLabelTextHook(previous);
        return p;
    }
};

std::string joined(const std::vector<std::string> &lines)
{
    std::string out;
    for (const std::string &l : lines)
        out += l + "\n";
    return out;
}

TEST_F(FiloTest, OneSessionMarksLateEarlyOvertimeAndErrorsAndTotalsThem)
{
    AddLog({
        {"2026-03-02 09:00:00", In},
        {"2026-03-02 17:00:00", Out}, // Monday, on time
        {"2026-03-03 09:10:00", In},
        {"2026-03-03 12:00:00", Out}, // Tuesday: late,
        {"2026-03-03 13:00:00", In},
        {"2026-03-03 17:47:30", Out}, //   overtime 45 min
        {"2026-03-04 17:30:00", In},
        {"2026-03-04 18:00:00", Out}, // Wednesday: in after end
        {"2026-03-05 09:15:00", In},
        {"2026-03-05 16:30:00", Out}, // Thursday: late, early
        {"2026-03-07 09:00:00", In},
        {"2026-03-07 17:10:00", Out}, // Saturday, no Sat hours
    });
    // Lateness scope: 09:00 to 17:00, overtime from 15 minutes in steps of 5.
    Tqrfilo report;
    report.SetReportTitle(QStringLiteral("First In Last Out"));
    report.SetupFromLateScope(TestScope(), NineToFive());
    EXPECT_EQ(report.ReportTitle(), QStringLiteral("First In Last Out (IN/OUT)"));
    const Printed p = Run(report);
    const std::vector<std::string> expected = {
        "  Mar 02, 2026 Mon - 09:00:00[IN]    17:00:00[OUT]  ",
        "  Mar 03, 2026 Tue - 09:10:00[IN]    17:47:30[OUT]   [L(00:10:00),OT(00:45:00)]",
        "  Mar 04, 2026 Wed - 17:30:00[IN]    18:00:00[OUT]   Error",
        "  Mar 05, 2026 Thu - 09:15:00[IN]    16:30:00[OUT]   [L(00:15:00),E(00:30:00)]",
        "  Mar 07, 2026 Sat - 09:00:00[IN]    17:10:00[OUT]  ",
    };
    EXPECT_EQ(joined(p.details), joined(expected));
    ASSERT_EQ(p.totals.size(), 1u);
    EXPECT_EQ(p.totals[0], " Clocked day=5, Error day=1, Late day=2(00:25:00 ), Early Leave "
                           "day=1(00:30:00 ), Overtime day=1(00:45:00 ) ");
    ASSERT_EQ(p.headings.size(), 1u);
    EXPECT_EQ(p.headings[0], " [501] Ann Lee");
    ASSERT_GE(p.header.size(), 3u);
}

TEST_F(FiloTest, OvertimeArithmetic)
{
    struct Case
    {
        const char *name;
        int minimum, multiple, unpaid;
        qint64 span; // msecs after the end
        qint64 paid;
        bool counted;
    };
    constexpr qint64 min = 60 * 1000;
    const Case cases[] = {
        {"rounded down to the multiple", 15, 5, 0, 47 * min + 30000, 45 * min, true},
        {"below the minimum", 15, 5, 0, 14 * min, 0, false},
        {"at the minimum", 15, 5, 0, 15 * min, 15 * min, true},
        {"less the unpaid minutes", 15, 5, 5, 47 * min + 30000, 40 * min, true},
        {"no multiple keeps the seconds", 15, 0, 0, 47 * min + 30000, 47 * min + 30000, true},
        {"nothing after the end", 0, 0, 0, 0, 0, false},
        {"nothing after the end with negative unpaid", 0, 0, -5, 0, 0, false},
        {"negative span", 0, 0, -5, -3 * min, 0, false},
    };
    for (const Case &c : cases) {
        TLateHours hours;
        hours.OvertimeMinimum = c.minimum;
        hours.OvertimeMultiple = c.multiple;
        hours.UnpaidOvertime = c.unpaid;
        Tqrfilo report;
        report.SetupFromLateScope(TestScope(), hours);
        const qint64 paid = report.CalcOvertime(c.span);
        EXPECT_EQ(paid, c.paid) << c.name;
    }
}

TEST_F(FiloTest, TwoSessionsMarkMissingAndExcessive)
{
    AddLog({
        {"2026-03-02 14:05:00", In},
        {"2026-03-02 17:30:00", Out}, // only session 2, late
        {"2026-03-03 09:00:00", In},
        {"2026-03-03 13:00:00", Out}, // only a morning
        {"2026-03-04 09:00:00", In},
        {"2026-03-04 13:00:00", Out}, // a whole day
        {"2026-03-04 14:00:00", In},
        {"2026-03-04 18:00:00", Out}, //   with 30 min over
        {"2026-03-04 18:30:00", In},
        {"2026-03-04 19:00:00", Out}, //   and a third pair
    });
    TTwoSessionHours hours;
    hours.Start1 = QTime(9, 0);
    hours.End1 = QTime(13, 0);
    hours.Start2 = QTime(14, 0);
    hours.End2 = QTime(17, 30);
    hours.OvertimeMinimum = 15;
    hours.OvertimeMultiple = 5;
    Tqrfilo report;
    report.SetReportTitle(QStringLiteral("2-Session"));
    report.SetupFromTwoSessionScope(TestScope(), hours);
    const Printed p = Run(report);
    const std::vector<std::string> expected = {
        "  Mar 02, 2026 Mon - 14:05:00[IN]    17:30:00[OUT]   [L(00:05:00)] Missing",
        "  Mar 03, 2026 Tue - 09:00:00[IN]    13:00:00[OUT]   Missing",
        "  Mar 04, 2026 Wed - 09:00:00[IN]    13:00:00[OUT]  ",
        "                     14:00:00[IN]    18:00:00[OUT]   [OT(00:30:00)]",
        "                     18:30:00[IN]    19:00:00[OUT]   Excessive",
    };
    EXPECT_EQ(joined(p.details), joined(expected));
    ASSERT_EQ(p.totals.size(), 1u);
    // The third pair makes Wednesday an error day too.
    EXPECT_EQ(p.totals[0], " Clocked day=3, Error Day=3, Late=1(00:05:00 ), Early "
                           "Leave=0(00:00:00 ), Overtime day=1(00:30:00 ) ");
}

TEST_F(FiloTest, TotalHoursDetailAndPairsWithBlankDaysAndMissingTimes)
{
    AddLog({
        {"2026-03-04 08:00:00", In},
        {"2026-03-04 12:00:00", Out},
        {"2026-03-04 13:00:00", In},
        {"2026-03-04 17:30:00", Out},
        {"2026-03-05 08:00:00", In}, // OUT missing
    });
    struct Case
    {
        const char *name;
        bool filo;
        std::vector<std::string> lines;
        std::string total;
    };
    const Case cases[] = {
        {"total hours detail",
         false,
         {"  Mar 02, 2026 Mon - No record", "  Mar 03, 2026 Tue - No record",
          "  Mar 04, 2026 Wed - 08:00:00 [IN]    12:00:00 [OUT]    (04:00:00)",
          "                     13:00:00 [IN]    17:30:00 [OUT]    (04:30:00)",
          "  Mar 05, 2026 Thu - 08:00:00 [IN]   "},
         " No of day(s) = 2   Total Time=08:30:00 "},
        {"IN/OUT pairs",
         true,
         {"  Mar 02, 2026 Mon - No record", "  Mar 03, 2026 Tue - No record",
          "  Mar 04, 2026 Wed - 08:00:00[IN]    12:00:00[OUT]   (04:00:00)",
          "                     13:00:00[IN]    17:30:00[OUT]   (04:30:00)",
          "  Mar 05, 2026 Thu - 08:00:00[IN]    No OUT          Incorrect"},
         " No of day(s) = 2   Total Time=08:30:00 "},
    };
    for (const Case &c : cases) {
        TReportScope scope = TestScope();
        scope.BlankLines = true;
        scope.FirstInLastOut = c.filo;
        Tqrfilo report;
        report.SetReportTitle(QStringLiteral("Total Hours Detail"));
        report.SetupFromScope(scope);
        const Printed p = Run(report);
        EXPECT_EQ(joined(p.details), joined(c.lines)) << c.name;
        ASSERT_EQ(p.totals.size(), 1u) << c.name;
        EXPECT_EQ(p.totals[0], c.total) << c.name;
    }
}

TEST_F(FiloTest, TwelveHourRecordFormat)
{
    AddLog({{"2026-03-03 09:10:00", In}, {"2026-03-03 17:47:30", Out}});
    TReportScope scope = TestScope();
    scope.RecordFormat = QStringLiteral(" AM/PMhh:mm:ss");
    Tqrfilo report;
    report.SetupFromLateScope(scope, NineToFive());
    const Printed p = Run(report);
    ASSERT_EQ(p.details.size(), 1u);
    EXPECT_EQ(
        p.details[0],
        "  Mar 03, 2026 Tue - AM09:10:00[IN]    PM05:47:30[OUT]   [L(00:10:00),OT(00:45:00)]");
}

// Overnight: the report day runs from noon to noon; times print as stored, and each report
// day prints its own date (two report days never share one).
TEST_F(FiloTest, OvernightFormPairsAcrossMidnightUnderTheReportDay)
{
    AddLog({
        {"2026-03-05 20:10:00", In}, // the report day of the 5th
        {"2026-03-06 05:32:30", Out},
        {"2026-03-07 03:00:00", In}, // of the 6th, begun after midnight
        {"2026-03-07 05:00:00", Out},
        {"2026-03-07 20:00:00", In}, // of the 7th
        {"2026-03-08 03:00:00", Out},
    });
    TLateHours hours = NineToFive();
    hours.StdStart = QTime(20, 0);
    hours.StdEnd = QTime(5, 0);
    Tqrfilo report;
    report.SetDayStartHour(12);
    report.SetReportTitle(QStringLiteral("First In Last Out (Overnight)"));
    report.SetupFromLateScope(TestScope(), hours);
    const Printed p = Run(report);
    const std::vector<std::string> expected = {
        "  Mar 05, 2026 Thu - 20:10:00[IN]    05:32:30[OUT]   [L(00:10:00),OT(00:30:00)]",
        "  Mar 06, 2026 Fri - 03:00:00[IN]    05:00:00[OUT]   [L(07:00:00)]",
        "  Mar 07, 2026 Sat - 20:00:00[IN]    03:00:00[OUT]   [E(02:00:00)]",
    };
    EXPECT_EQ(joined(p.details), joined(expected));
    ASSERT_GE(p.header.size(), 3u);
    EXPECT_EQ(p.header[1], "From: 2/Mar/2026 To: 8/Mar/2026");
    EXPECT_EQ(p.header[2], "Standard: 20:00 to 05:00");
}

// "All dates": the range printed runs from the first to the last stored day, and in the
// overnight form from the first to the last report day (a night ending on the 8th belongs to
// the 7th).
TEST_F(FiloTest, AllDatesRunFromTheFirstToTheLastReportDay)
{
    AddLog({
        {"2026-03-05 20:10:00", In},
        {"2026-03-06 05:32:30", Out},
        {"2026-03-07 20:00:00", In},
        {"2026-03-08 03:00:00", Out},
    });
    const struct
    {
        const char *name;
        int dayStartHour;
        const char *range;
        size_t lines;
    } cases[] = {
        {"plain", 0, "From: 5/Mar/2026 To: 8/Mar/2026", 4},
        {"overnight", 12, "From: 5/Mar/2026 To: 7/Mar/2026", 2},
    };
    for (const auto &c : cases) {
        TReportScope scope = TestScope();
        scope.Dates = TDateChoice::All;
        Tqrfilo report;
        report.SetDayStartHour(c.dayStartHour);
        report.SetReportTitle(QStringLiteral("First In Last Out"));
        report.SetupFromLateScope(scope, NineToFive());
        const Printed p = Run(report);
        ASSERT_GE(p.header.size(), 2u) << c.name;
        EXPECT_EQ(p.header[1], c.range) << c.name;
        EXPECT_EQ(p.details.size(), c.lines) << c.name << "\n" << joined(p.details);
    }
}

// On the day the clocks go forward a stored time in the skipped hour is still a record, and
// spans are clock differences.
TEST_F(FiloTest, DaylightSavingDayAddsUpOnTheClock)
{
    const QByteArray oldTz = qgetenv("TZ");
    qputenv("TZ", "Europe/London");
    tzset();
    AddLog({
        {"2026-03-29 00:30:00", In},
        {"2026-03-29 01:30:00", Out}, // 01:30 does not exist here
        {"2026-03-29 02:00:00", In},
        {"2026-03-29 05:00:00", Out},
    });
    Tqrfilo report;
    report.SetupFromScope(TestScope(QDate(2026, 3, 29), QDate(2026, 3, 29)));
    const Printed p = Run(report);
    if (oldTz.isEmpty())
        qunsetenv("TZ");
    else
        qputenv("TZ", oldTz);
    tzset();
    const std::vector<std::string> expected = {
        "  Mar 29, 2026 Sun - 00:30:00 [IN]    01:30:00 [OUT]    (01:00:00)",
        "                     02:00:00 [IN]    05:00:00 [OUT]    (03:00:00)",
    };
    EXPECT_EQ(joined(p.details), joined(expected));
    ASSERT_EQ(p.totals.size(), 1u);
    EXPECT_EQ(p.totals[0], " No of day(s) = 1   Total Time=04:00:00 ");
}

TEST_F(FiloTest, ReportGoesOutAsAPdfWithItsTitle)
{
    AddLog({{"2026-03-03 09:10:00", In}, {"2026-03-03 17:47:30", Out}});
    FakeReportOutput output;
    Tqrfilo report;
    report.SetReportTitle(QStringLiteral("First In Last Out"));
    report.SetupFromLateScope(TestScope(), NineToFive());
    RunReport(report, false);
    ASSERT_EQ(output.Runs().size(), 1u);
    EXPECT_EQ(PdfTitle(output.Runs()[0].pdf), QStringLiteral("First In Last Out (IN/OUT)"));
    const QString text = output.Text(0);
    EXPECT_TRUE(text.contains(QStringLiteral("[501] Ann Lee")));
    EXPECT_TRUE(text.contains(QStringLiteral("[L(00:10:00),OT(00:45:00)]")));
    EXPECT_TRUE(text.contains(QStringLiteral("Standard: 09:00 to 17:00")));
}

TEST_F(FiloTest, NoStaffInScopePrintsNothing)
{
    Data().Dsrc().src.Exec(QStringLiteral("delete from staffs"));
    AddLog({{"2026-03-03 09:10:00", In}});
    Tqrfilo report;
    report.SetupFromScope(TestScope());
    EXPECT_FALSE(report.Prepare());
}

} // namespace
