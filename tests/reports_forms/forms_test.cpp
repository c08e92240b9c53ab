#include "formsfixture.h"
#include "reports/dlgpersons.h"
#include "reports/dlgstaffs.h"
#include "reports/memlist.h"
#include "reports/qrlog.h"
#include "reports/qrwho.h"
#include "reports/scopeparts.h"
#include "reports/setscope.h"
#include "reports/whoscope.h"
#include "store/images.h"
#include "store/jpegcodec.h"
#include "store/radiogroup.h"
#include "store/settings.h"
#include "store/utils.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QProcess>
#include <QRadioButton>

namespace {

QString blanks(int n)
{
    return QString(n, QLatin1Char(' '));
}

// pdfimages -list: the width and height of every image in the file.
std::vector<QSize> pdfImages(const QString &pdf)
{
    QProcess process;
    process.start(QStringLiteral("pdfimages"), {QStringLiteral("-list"), pdf});
    EXPECT_TRUE(process.waitForFinished(60000));
    std::vector<QSize> sizes;
    const QStringList lines =
        QString::fromUtf8(process.readAllStandardOutput()).split(QLatin1Char('\n'));
    for (int i = 2; i < lines.size(); ++i) {
        const QStringList cols = lines[i].simplified().split(QLatin1Char(' '));
        if (cols.size() > 4)
            sizes.emplace_back(cols[3].toInt(), cols[4].toInt());
    }
    return sizes;
}

} // namespace

class ReportFormsTest : public FormsTest
{
protected:
    void SetUp() override
    {
        FormsTest::SetUp();
        AddFourPeople();
        // Ann: a full Monday and a Tuesday morning; Bob: a CLOCK swipe at the stroke of
        // Tuesday and one on Wednesday; Cy: Tuesday IN; Dee nothing. An unknown card, the exit
        // button and a swipe after the week's end never show.
        AddAnnsMonday();
        AddLog("2026-12-08 09:00:00", 11, 1);
        AddLog("2026-12-11 00:00:00", 11, 1);
        AddLog("2026-12-08 00:00:00", 12, 0);
        AddLog("2026-12-09 08:00:00", 12, 0);
        AddLog("2026-12-08 10:00:00", 13, 1);
        AddLog("2026-12-07 09:00:00", 77, 1);
        AddLog("2026-12-07 09:05:00", -1, 0);
    }
};

TEST_F(ReportFormsTest, TimeLogsOfTheWeekPersonByPerson)
{
    FakeReportOutput output;
    TSetScope scope;
    scope.rgformat->SetItemIndex(1);
    Tqrlog report;
    report.SetupFromScope(scope.Scope());
    RunReport(report, true);
    ASSERT_EQ(output.Runs().size(), 1u);
    EXPECT_EQ(output.Runs()[0].title, QStringLiteral("Time Logs (All)"));
    EXPECT_EQ(Printed(QStringLiteral("qrmaster")),
              (QStringList{QStringLiteral(" [11] Ann (6 record(s))"),
                           QStringLiteral(" [12] Bob (2 record(s))"),
                           QStringLiteral(" [13] Cy (1 record(s))"),
                           QStringLiteral(" [14] Dee (0 record(s))")}));
    EXPECT_EQ(
        Printed(QStringLiteral("qrdetails")),
        (QStringList{QStringLiteral(
                         "  Dec 07, 2026 Mon - 08:00:00[I] 12:00:00[O]  13:00:00[I] 17:00:00[O] "),
                     QStringLiteral("  ") + blanks(18) + QStringLiteral(" 17:30:00[C]"),
                     QStringLiteral("  Dec 08, 2026 Tue - 09:00:00[I]"),
                     QStringLiteral("  Dec 08, 2026 Tue - 00:00:00[C]"),
                     QStringLiteral("  Dec 09, 2026 Wed - 08:00:00[C]"),
                     QStringLiteral("  Dec 08, 2026 Tue - 10:00:00[I]")}));
    EXPECT_EQ(
        Printed(QStringLiteral("qrtotal")),
        (QStringList{QStringLiteral(" No of day(s) = 2 "), QStringLiteral(" No of day(s) = 2 "),
                     QStringLiteral(" No of day(s) = 1 "), QStringLiteral(" No of day(s) = 0 ")}));
    const QStringList pdf = Collapsed(output.Text(0));
    EXPECT_TRUE(pdf.contains(
        QStringLiteral("Dec 07, 2026 Mon - 08:00:00[I] 12:00:00[O] 13:00:00[I] 17:00:00[O]")))
        << qPrintable(pdf.join(QLatin1Char('\n')));
    EXPECT_TRUE(pdf.contains(QStringLiteral("[13] Cy (1 record(s))")));
    EXPECT_FALSE(output.Text(0).contains(QStringLiteral("77")));
    EXPECT_TRUE(output.Text(0).contains(QStringLiteral("From: 7/Dec/2026 To: 10/Dec/2026")));
}

TEST_F(ReportFormsTest, TotalHoursWithBlankLines)
{
    FakeReportOutput output;
    TSetScope scope;
    scope.rgformat->SetItemIndex(1);
    scope.rgscope->SetItemIndex(2);
    scope.cbblank->setChecked(true);
    TReportScope totals = scope.Scope();
    totals.FirstInLastOut = true;
    Tqrlog report;
    report.SetupFromScope(totals);
    RunReport(report, false);
    ASSERT_EQ(output.Runs().size(), 1u);
    EXPECT_EQ(output.Runs()[0].title, QStringLiteral("Total Hours (IN/OUT)"));
    EXPECT_EQ(Printed(QStringLiteral("qrmaster")),
              (QStringList{QStringLiteral(" [11] Ann"), QStringLiteral(" [12] Bob"),
                           QStringLiteral(" [13] Cy"), QStringLiteral(" [14] Dee")}));
    EXPECT_EQ(Printed(QStringLiteral("qrdetails")),
              (QStringList{
                  QStringLiteral("  Dec 07, 2026 Mon - 08:00:00[IN]    17:00:00[OUT]   (09:00:00)"),
                  QStringLiteral("  Dec 08, 2026 Tue - 09:00:00[IN]    No OUT") + blanks(9),
                  QStringLiteral("  Dec 07, 2026 Mon - No record"),
                  QStringLiteral("  Dec 08, 2026 Tue - 10:00:00[IN]    No OUT") + blanks(9)}));
    EXPECT_EQ(Printed(QStringLiteral("qrtotal")),
              (QStringList{QStringLiteral(" No of day(s) = 2   Total Time=09:00:00 "),
                           QStringLiteral(" No of day(s) = 0   Total Time=00:00:00 "),
                           QStringLiteral(" No of day(s) = 1   Total Time=00:00:00 "),
                           QStringLiteral(" No of day(s) = 0   Total Time=00:00:00 ")}));
}

TEST_F(ReportFormsTest, DailyIndividualGivesClockInAndOutLines)
{
    FakeReportOutput output;
    Twhoscope scope;
    scope.rgformat->SetItemIndex(1);
    struct Case
    {
        QDate day;
        QStringList headings;
        QStringList lines;
    } cases[] = {
        {QDate(2026, 12, 7),
         {QStringLiteral(" [11] Ann (5 record(s))"), QStringLiteral(" [12] Bob (0 record(s))")},
         {QStringLiteral("  CLOCK  -  17:30:00"), QStringLiteral("  IN     -  08:00:00  13:00:00"),
          QStringLiteral("  OUT    -  12:00:00  17:00:00"), QStringLiteral("  CLOCK  -"),
          QStringLiteral("  IN     -"), QStringLiteral("  OUT    -")}},
        {QDate(2026, 12, 8),
         {QStringLiteral(" [11] Ann (1 record(s))"), QStringLiteral(" [12] Bob (1 record(s))")},
         {QStringLiteral("  CLOCK  -"), QStringLiteral("  IN     -  09:00:00"),
          QStringLiteral("  OUT    -"), QStringLiteral("  CLOCK  -  00:00:00"),
          QStringLiteral("  IN     -"), QStringLiteral("  OUT    -")}},
    };
    scope.persons->rbgroup->click();
    scope.persons->cbgroup->setCurrentText(QStringLiteral("Office"));
    for (const Case &c : cases) {
        ClearPrinted();
        scope.dpfrom->setDate(c.day);
        Tqrwho report;
        report.SetupFromScope(scope.Scope());
        RunReport(report, true);
        EXPECT_EQ(Printed(QStringLiteral("qrmaster")), c.headings);
        // The three category bands in the order they printed.
        QStringList all;
        for (const auto &[name, text] : m_printed)
            if (name == QStringLiteral("qrclock") || name == QStringLiteral("qrin") ||
                name == QStringLiteral("qrout"))
                all << text;
        EXPECT_EQ(all, c.lines);
    }
    EXPECT_EQ(output.Runs().back().title, QStringLiteral("Daily Individual Report"));
}

TEST_F(ReportFormsTest, WhosInListsEveryCategoryWithItsCount)
{
    FakeReportOutput output;
    Twhoscope scope;
    scope.rgformat->SetItemIndex(1);
    scope.dpfrom->setDate(QDate(2026, 12, 8));
    Tqrwhos report;
    report.SetupFromScope(scope.Scope());
    RunReport(report, true);
    EXPECT_EQ(Printed(QStringLiteral("qrmaster")),
              (QStringList{QStringLiteral(" Who's CLOCK"), QStringLiteral(" Who's IN"),
                           QStringLiteral(" Who's OUT"), QStringLiteral(" No record")}));
    EXPECT_EQ(Printed(QStringLiteral("qrdetails")),
              (QStringList{QStringLiteral("  Bob") + blanks(15) + QStringLiteral(" 00:00:00"),
                           QStringLiteral("  Ann") + blanks(15) + QStringLiteral(" 09:00:00"),
                           QStringLiteral("  Cy") + blanks(16) + QStringLiteral(" 10:00:00"),
                           QStringLiteral("  Dee")}));
    EXPECT_EQ(Printed(QStringLiteral("qrtotal")),
              (QStringList{QStringLiteral(" 1 person"), QStringLiteral(" 2 persons"),
                           QStringLiteral(" No person"), QStringLiteral(" 1 person")}));
    EXPECT_EQ(output.Runs()[0].title, QStringLiteral("Who's IN / OUT"));
    EXPECT_TRUE(Collapsed(output.Text(0)).contains(QStringLiteral("Who's OUT")));
}

TEST_F(ReportFormsTest, WhosInPrintsNothingAfterTheFailedPersonsQuery)
{
    FakeMessages boxes;
    FakeReportOutput output;
    Twhoscope scope;
    Tqrwhos report;
    report.SetupFromScope(scope.Scope());
    Exec(dsrc->src, QStringLiteral("drop table staffs"));
    RunReport(report, true);
    EXPECT_EQ(boxes.Texts(), QStringList{QStringLiteral("Database Error.")});
    EXPECT_TRUE(Printed(QStringLiteral("qrmaster")).isEmpty());
    EXPECT_TRUE(Printed(QStringLiteral("qrtotal")).isEmpty());
}

TEST_F(ReportFormsTest, MemberListForAllAGroupAndAList)
{
    Exec(dsrc->src, QStringLiteral("update staffs set PICKED=1 where CARDNO=14"));
    FakeReportOutput output;
    TdlgStaffs dialog;
    struct Case
    {
        const char *name;
        std::function<void()> choose;
        QStringList cards;
    } cases[] = {
        {"all",
         [&] { dialog.persons->rballstaff->click(); },
         {QStringLiteral("11"), QStringLiteral("12"), QStringLiteral("13"), QStringLiteral("14")}},
        {"group",
         [&] {
             dialog.persons->rbgroup->click();
             dialog.persons->cbgroup->setCurrentText(QStringLiteral("Office"));
         },
         {QStringLiteral("11"), QStringLiteral("12")}},
        {"list", [&] { dialog.persons->rbstaff->click(); }, {QStringLiteral("14")}},
    };
    for (const Case &c : cases) {
        ClearPrinted();
        c.choose();
        TrptListMem report;
        ASSERT_TRUE(report.OpenStaff(dialog.Scope()));
        RunReport(report, true);
        EXPECT_EQ(Printed(QStringLiteral("cell0")), c.cards) << c.name;
    }
    const QStringList all = Collapsed(output.Text(0));
    EXPECT_TRUE(all.contains(QStringLiteral("Card No. Name Group Remark")))
        << qPrintable(all.join(QLatin1Char('\n')));
    EXPECT_TRUE(all.contains(QStringLiteral("11 Ann Office Desk 4 Floor 2")));
    EXPECT_TRUE(all.contains(QStringLiteral("13 Cy")));
    EXPECT_EQ(output.Runs()[0].title, QStringLiteral("Member List"));
}

TEST_F(ReportFormsTest, CardsPrintOnePhotoImageForEachPhotoAndTheRemarks)
{
    {
        TDataSet staff(dsrc->src, QStringLiteral("select * from staffs where CARDNO=11"));
        staff.Open();
        staff.Edit();
        QImage photo(PhotoWidth, PhotoHeight, QImage::Format_RGB888);
        photo.fill(Qt::darkGreen);
        ASSERT_TRUE(SaveGraphicToBlobAsJpeg(staff.FieldByName(QStringLiteral("PHOTO")), photo));
        staff.Post();
        // A damaged photo on Cy, who prints after Bob.
        Exec(dsrc->src, QStringLiteral("update staffs set PHOTO=X'FFD8FF00' where CARDNO=13"));
    }
    FakeReportOutput output;
    TDlgPersons dialog;
    for (bool horizontal : {true, false}) {
        ClearPrinted();
        std::unique_ptr<TCardReport> report;
        if (horizontal) {
            auto r = std::make_unique<TrptMemlist>();
            FillMemlistReport(dialog, *r);
            report = std::move(r);
        } else {
            auto r = std::make_unique<TrptMemlistv>();
            FillMemlistvReport(dialog, *r);
            report = std::move(r);
        }
        const RunReportRecord &run = output.Runs().back();
        EXPECT_TRUE(run.preview);
        int photos = 0;
        for (const QSize &s : pdfImages(run.pdf))
            photos += s == QSize(PhotoWidth, PhotoHeight);
        EXPECT_EQ(photos, 1) << horizontal;
        EXPECT_EQ(Printed(QStringLiteral("rem1")),
                  (QStringList{QStringLiteral("Desk 4"), QString(), QString(), QString()}));
        EXPECT_EQ(Printed(QStringLiteral("rem2")),
                  (QStringList{QStringLiteral("Floor 2"), QString(), QString(), QString()}));
        EXPECT_EQ(Printed(QStringLiteral("qrline1")).value(0), QStringLiteral("Remark:"));
        EXPECT_TRUE(Printed(QStringLiteral("qrLine2")).isEmpty()); // switched off
        EXPECT_EQ(Printed(QStringLiteral("qrTitle")).value(0), QStringLiteral("STAFF CARD"));
    }
}

TEST_F(ReportFormsTest, SeventeenCardsFillThreePagesAcrossOrTwoUpright)
{
    for (int i = 0; i < 13; ++i)
        AddStaff(100 + i, QStringLiteral("P%1").arg(i), 1);
    FakeReportOutput output;
    TDlgPersons dialog;
    TrptMemlist horizontal;
    FillMemlistReport(dialog, horizontal);
    TrptMemlistv vertical;
    FillMemlistvReport(dialog, vertical);
    ASSERT_EQ(output.Runs().size(), 2u);
    EXPECT_EQ(output.Runs()[0].pages, 3);
    EXPECT_EQ(output.Runs()[1].pages, 2);
    EXPECT_EQ(output.Runs()[0].title, QStringLiteral("Print Member Card"));
}

TEST_F(ReportFormsTest, RecordsPerLineFromTheSettingsOutsideTheChoicesReadsAsFour)
{
    // Ann's Monday holds five records.
    struct Case
    {
        const char *name;
        int stored;
        int perLine;
    } cases[] = {{"zero", 0, 4}, {"odd", 3, 4}, {"too many", 10, 4}, {"two", 2, 2}};
    FakeReportOutput output;
    TSetScope scope;
    scope.rgformat->SetItemIndex(1);
    scope.persons->rbgroup->click();
    scope.persons->cbgroup->setCurrentText(QStringLiteral("Office"));
    Twhoscope who;
    who.rgformat->SetItemIndex(1);
    who.dpfrom->setDate(QDate(2026, 12, 7));
    who.persons->rbgroup->click();
    who.persons->cbgroup->setCurrentText(QStringLiteral("Office"));
    for (const Case &c : cases) {
        WriteRegInteger(Setting::PrintRecordsPerLine, c.stored);
        ClearPrinted();
        Tqrlog log;
        log.SetupFromScope(scope.Scope());
        RunReport(log, true);
        const QStringList lines = Printed(QStringLiteral("qrdetails"));
        ASSERT_FALSE(lines.isEmpty()) << c.name;
        EXPECT_EQ(lines[0].count(QStringLiteral(":00[")), c.perLine) << c.name;
        // Monday's lines, then Tuesday's and Bob's two.
        EXPECT_EQ(lines.size(), (5 + c.perLine - 1) / c.perLine + 3) << c.name;

        ClearPrinted();
        AddLog("2026-12-07 14:00:00", 11, 1);
        AddLog("2026-12-07 15:00:00", 11, 1);
        AddLog("2026-12-07 16:00:00", 11, 1); // five IN records that day
        Tqrwho daily;
        daily.SetupFromScope(who.Scope());
        RunReport(daily, true);
        const QStringList in = Printed(QStringLiteral("qrin"));
        ASSERT_FALSE(in.isEmpty()) << c.name;
        EXPECT_EQ(in[0].count(QLatin1Char(':')) / 2, c.perLine) << c.name;
        Exec(dsrc->att, QStringLiteral("delete from recorder where SYSTIME in ('2026-12-07 "
                                       "14:00:00', '2026-12-07 15:00:00', '2026-12-07 16:00:00')"));
    }
}
