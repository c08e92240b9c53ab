// Every printed word lies on the paper where its band is: the longest lines of the time logs,
// the daily individual report, a year of first-in/last-out totals and the member cards, read
// back from the PDF word by word (pdftotext -bbox), so that a text cut at the edge of its box
// shows although pdftotext would return it whole.

#include "formsfixture.h"
#include "reports/dlgpersons.h"
#include "reports/memlist.h"
#include "reports/qrlog.h"
#include "reports/qrwho.h"
#include "reports/repfilo.h"
#include "reports/setscope.h"
#include "reports/whoscope.h"
#include "store/radiogroup.h"
#include "store/settings.h"
#include "testsupport/testscope.h"

#include <QCheckBox>
#include <QDateTimeEdit>
#include <functional>
#include <memory>
#include <string>

namespace {

constexpr int AmPmSeconds = 0, Seconds = 1, Minutes = 3; // record format items
constexpr int Eve = 21;                                  // eight IN records on Monday

class PrintedFitTest : public FormsTest
{
protected:
    void SetUp() override
    {
        FormsTest::SetUp();
        AddFourPeople();
        // Ann: five records on Monday 7 December, the heading's line of five.
        AddAnnsMonday();
        AddStaff(Eve, QStringLiteral("Eve"), m_office,
                 QStringLiteral("Keys to the north gate and the store room too\r\nFloor 3"));
        for (const char *t : {"07:01:00", "08:02:00", "09:03:00", "10:04:00", "13:05:00",
                              "14:06:00", "15:07:00", "16:08:00"})
            AddLog(("2026-12-07 " + std::string(t)).c_str(), Eve, 1);
        m_setScope = std::make_unique<TSetScope>();
        m_whoScope = std::make_unique<Twhoscope>();
        m_cardDialog = std::make_unique<TDlgPersons>();
    }

    std::unique_ptr<TReportForm> TimeLogs(int format, int perLine)
    {
        WriteRegInteger(Setting::PrintRecordsPerLine, perLine);
        m_setScope->rgformat->SetItemIndex(format);
        auto report = std::make_unique<Tqrlog>();
        report->SetupFromScope(m_setScope->Scope());
        return report;
    }

    std::unique_ptr<TReportForm> DailyIndividual(int format, int perLine)
    {
        WriteRegInteger(Setting::PrintRecordsPerLine, perLine);
        m_whoScope->rgformat->SetItemIndex(format);
        m_whoScope->dpfrom->setDate(QDate(2026, 12, 7));
        auto report = std::make_unique<Tqrwho>();
        report->SetupFromScope(m_whoScope->Scope());
        return report;
    }

    // Eve over 2026: late with overtime Monday to Wednesday, late and leaving early on
    // Thursdays, in after the end on Fridays: two- and three-figure counts and hours.
    std::unique_ptr<TReportForm> FirstInLastOutYear()
    {
        Exec(dsrc->att,
             QStringLiteral("with recursive d(x) as (select '2026-01-01' union all "
                            "select date(x, '+1 day') from d where x < '2026-12-31'), "
                            "t(w, at, m) as (values ('1', ' 09:10:00', 1), ('1', ' 18:20:00', 2), "
                            "('2', ' 09:10:00', 1), ('2', ' 18:20:00', 2), ('3', ' 09:10:00', 1), "
                            "('3', ' 18:20:00', 2), ('4', ' 09:25:00', 1), ('4', ' 16:05:00', 2), "
                            "('5', ' 17:30:00', 1), ('5', ' 18:00:00', 2)) "
                            "insert into recorder (SYSTIME, CARDNO, MODE, READER, LOCK) "
                            "select x || at, %1, m, 1, 0 from d join t on strftime('%w', x) = w")
                 .arg(Eve));
        auto report = std::make_unique<Tqrfilo>();
        report->SetReportTitle(QStringLiteral("First In Last Out"));
        report->SetupFromLateScope(TestScope(QDate(2026, 1, 1), QDate(2026, 12, 31)), NineToFive());
        return report;
    }

    std::unique_ptr<TReportForm> Cards(bool horizontal)
    {
        std::unique_ptr<TCardReport> report;
        if (horizontal)
            report = std::make_unique<TrptMemlist>();
        else
            report = std::make_unique<TrptMemlistv>();
        EXPECT_TRUE(report->FillFrom(m_cardDialog->Choices(), m_cardDialog->Scope()));
        return report;
    }

    // Made once the data folder is there: the dialogs read it.
    std::unique_ptr<TSetScope> m_setScope;
    std::unique_ptr<Twhoscope> m_whoScope;
    std::unique_ptr<TDlgPersons> m_cardDialog;
};

TEST_F(PrintedFitTest, EveryWordOfTheLongestLinesLiesInsideThePageAndItsBand)
{
    struct Case
    {
        const char *name;
        std::function<std::unique_ptr<TReportForm>()> make;
        const char *label; // one label whose whole text must be on the paper
        QString whole;     // a piece of that label's text
    } cases[] = {
        {"time logs, 8 a line, AM/PM seconds", [this] { return TimeLogs(AmPmSeconds, 8); },
         "qrdetails", QStringLiteral("PM04:08:00[I]")},
        {"time logs, 6 a line, AM/PM seconds", [this] { return TimeLogs(AmPmSeconds, 6); },
         "qrdetails", QStringLiteral("PM02:06:00[I]")},
        {"time logs, a line of 5, AM/PM seconds", [this] { return TimeLogs(AmPmSeconds, 6); },
         "qrdetails", QStringLiteral("PM05:30:00[C]")},
        {"time logs, 6 a line, HH:mm:ss", [this] { return TimeLogs(Seconds, 6); }, "qrdetails",
         QStringLiteral("14:06:00[I]")},
        {"time logs, 8 a line, HH:mm", [this] { return TimeLogs(Minutes, 8); }, "qrdetails",
         QStringLiteral("16:08[I]")},
        {"daily individual, 8 a line, AM/PM seconds",
         [this] { return DailyIndividual(AmPmSeconds, 8); }, "qrin", QStringLiteral("PM04:08:00")},
        {"first-in/last-out, a year, one session", [this] { return FirstInLastOutYear(); },
         "qrtotal", QStringLiteral("Overtime day=156(")},
        {"member cards across", [this] { return Cards(true); }, "rem1",
         QStringLiteral("Keys to the north gate and the store r")},
        {"member cards upright", [this] { return Cards(false); }, "rem1",
         QStringLiteral("Keys to the north gate and the store r")},
    };
    for (const Case &c : cases) {
        ClearPrinted();
        const std::unique_ptr<TReportForm> report = c.make();
        const QString pdf = Data().Dir() + QStringLiteral("/fit.pdf");
        ASSERT_TRUE(report->ExportPdf(pdf)) << c.name;
        const QStringList texts = Printed(QString::fromLatin1(c.label));
        ASSERT_TRUE(texts.join(QLatin1Char('\n')).contains(c.whole))
            << c.name << "\n"
            << qPrintable(texts.join(QLatin1Char('\n')));
        const QStringList outside = WordsOutsideTheirBands(*report, pdf);
        EXPECT_TRUE(outside.isEmpty()) << c.name << "\n"
                                       << qPrintable(outside.join(QLatin1Char('\n')));
        // The words read back in order hold the whole of that text.
        QString read;
        for (const PdfWord &w : PdfWords(pdf))
            read += w.text + QLatin1Char(' ');
        EXPECT_TRUE(read.contains(c.whole.simplified())) << c.name;
    }
}

} // namespace
