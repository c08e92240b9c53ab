// The main window's first-in/last-out commands ("Total Hours Detail", "First In / Last Out",
// its overnight form and "2-session"): each opens its scope dialog captioned as the command,
// makes one report per Confirm until Cancel, titled and set up for the command, previewed or
// printed as the dialog says; an empty log opens nothing; all four follow login.

#include "testsupport/commandlookup.h"
#include "windowfixture.h"

#include "reports/latescope.h"
#include "reports/repfilo.h"
#include "reports/reportform.h"
#include "reports/reportoutput.h"
#include "reports/setscope.h"
#include "store/radiogroup.h"
#include "testsupport/fakereportoutput.h"

#include <QCheckBox>
#include <QDateTimeEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <algorithm>
#include <gtest/gtest.h>
#include <string>
#include <utility>
#include <vector>

namespace {

// What a report was like when it went out, beyond its PDF.
struct SeenReport
{
    int mode = -1;
    int dayStartHour = -1;
    bool showProgress = false;
};

// Looks at each report as the command hands it out, then lets the PDF-writing stand-in have it.
class ReportSpy final : public ReportOutput
{
public:
    explicit ReportSpy(FakeReportOutput &pdfs) : m_pdfs(pdfs), m_previous(SetReportOutput(this)) {}
    ~ReportSpy() override { SetReportOutput(m_previous); }

    void Run(TReportForm &report, bool preview, QWidget *parent) override
    {
        SeenReport seen;
        seen.showProgress = report.ShowProgress();
        if (const auto *filo = dynamic_cast<Tqrfilo *>(&report)) {
            seen.mode = filo->Settings().Mode;
            seen.dayStartHour = filo->Settings().DayStartHour;
        }
        m_seen.push_back(seen);
        m_pdfs.Run(report, preview, parent);
    }
    const std::vector<SeenReport> &Seen() const { return m_seen; }

private:
    FakeReportOutput &m_pdfs;
    ReportOutput *m_previous;
    std::vector<SeenReport> m_seen;
};

// One Confirm: the records of interest chosen and whether to preview.
struct ScopeRun
{
    int scope; // 0 all, 1 clock, 2 IN/OUT
    bool preview;
    const char *title;
    int mode;
};

struct CommandCase
{
    const char *name;
    const char *menu; // "" for a command on no menu
    const char *caption;
    const char *dialogClass;
    int dayStartHour;
    ScopeRun runs[2];
};

const CommandCase Commands[] = {
    {"TotalHoursDetail",
     "Reports/Printouts",
     "Total Hours Detail",
     "TSetScope",
     0,
     // Pairs only for the IN/OUT records, and not again once another choice is made.
     {{2, true, "Total Hours Detail (IN/OUT)", 1}, {0, false, "Total Hours Detail (All)", 0}}},
    {"FirstInLastOut",
     "Reports/Attendance",
     "First In / Last Out",
     "TSetLateScope",
     0,
     {{2, false, "First In Last Out (IN/OUT)", 2}, {0, true, "First In Last Out (All)", 2}}},
    {"FirstInLastOutOvernight",
     "",
     "First In / Last Out (Overnight)",
     "TSetLateScope",
     12,
     {{2, true, "First In Last Out (Overnight) (IN/OUT)", 2},
      {1, false, "First In Last Out (Overnight) (Clock)", 2}}},
    {"TwoSession",
     "Reports/Attendance",
     "2-session",
     "TSetnLateScope",
     0,
     {{0, false, "2-Session (All)", 3}, {2, true, "2-Session (IN/OUT)", 3}}},
};

class FiloCommandTest : public WindowTest
{
protected:
    TTimeRec &LoggedIn()
    {
        TTimeRec &w = OpenShown();
        w.actLoginExecute(); // no password registered: free
        Messages().Clear();
        return w;
    }
    // The command by its caption on its menu, as a user finds it.
    static QAction *Command(TTimeRec &w, const CommandCase &c)
    {
        QAction *action = CommandAt(w, QString::fromLatin1(c.menu), QString::fromLatin1(c.caption));
        EXPECT_NE(action, nullptr) << c.caption;
        return action;
    }
    // Hours every lateness dialog accepts, on whichever pickers it has.
    static void SetValidHours(QDialog &dialog)
    {
        const struct
        {
            const char *name;
            int hour;
        } hours[] = {{"dtpSTDstart", 9}, {"dtpSTDend", 17},    {"dtpSTDstart1", 8},
                     {"dtpSTDend1", 12}, {"dtpSTDstart2", 13}, {"dtpSTDend2", 17}};
        for (const auto &h : hours)
            if (auto *edit = dialog.findChild<QDateTimeEdit *>(QString::fromLatin1(h.name)))
                edit->setTime(QTime(h.hour, 0));
    }
};

TEST_F(FiloCommandTest, EachConfirmMakesOneReportUntilCancel)
{
    const int group = AddGroup(QStringLiteral("Day shift"));
    AddStaff(501, QStringLiteral("Ann Lee"), group);
    AddLog(QDateTime(QDate(2026, 3, 5), QTime(20, 10)), 501, 1);
    AddLog(QDateTime(QDate(2026, 3, 6), QTime(5, 32, 30)), 501, 2);

    for (const CommandCase &c : Commands) {
        SCOPED_TRACE(c.name);
        TTimeRec &w = LoggedIn();
        FakeReportOutput pdfs;
        ReportSpy spy(pdfs);
        int shown = 0;
        std::vector<bool> filoAtConfirm;
        w.SetDialogRunner([&](QDialog &dialog) {
            EXPECT_EQ(dialog.metaObject()->className(), std::string(c.dialogClass));
            EXPECT_EQ(dialog.windowTitle(), QString::fromLatin1(c.caption));
            auto *scope = dynamic_cast<TScopeDialog *>(&dialog);
            EXPECT_NE(scope, nullptr);
            if (!scope || shown == 2) {
                ++shown;
                return int(TScopeDialog::ResultCancel);
            }
            if (auto *total = dynamic_cast<TSetScope *>(&dialog)) // records a line mean nothing
                EXPECT_TRUE(total->rgrecord->isHidden());
            if (auto *late = dynamic_cast<TSetLateScope *>(&dialog))
                EXPECT_EQ(late->Overnight(), c.dayStartHour == 12);
            const ScopeRun &run = c.runs[shown++];
            dialog.show();
            scope->dates->rball->click();
            scope->rgscope->SetItemIndex(run.scope);
            scope->rgformat->SetItemIndex(1); // HH:mm:ss
            scope->cbpreview->setChecked(run.preview);
            SetValidHours(dialog);
            scope->Button1->click();
            return dialog.result();
        });

        Command(w, c)->trigger();

        EXPECT_EQ(shown, 3);
        EXPECT_EQ(Messages().Texts(), QStringList());
        ASSERT_EQ(pdfs.Runs().size(), 2u);
        for (int i = 0; i < 2; ++i) {
            SCOPED_TRACE(i);
            const ScopeRun &run = c.runs[i];
            const RunReportRecord &out = pdfs.Runs()[size_t(i)];
            EXPECT_EQ(out.title, QString::fromLatin1(run.title));
            EXPECT_EQ(PdfTitle(out.pdf), QString::fromLatin1(run.title));
            EXPECT_EQ(out.preview, run.preview);
            EXPECT_EQ(spy.Seen()[size_t(i)].mode, run.mode);
            EXPECT_EQ(spy.Seen()[size_t(i)].dayStartHour, c.dayStartHour);
            EXPECT_TRUE(spy.Seen()[size_t(i)].showProgress);
            EXPECT_TRUE(pdfs.Text(i).contains(QStringLiteral("[501] Ann Lee")));
        }
        CloseWindow();
    }
}

// The overnight form reads a shift across midnight as one day's; the plain form cannot pair it.
TEST_F(FiloCommandTest, OvernightPairsTheNightShiftUnderItsDay)
{
    AddStaff(501, QStringLiteral("Ann Lee"), AddGroup(QStringLiteral("Nights")));
    AddLog(QDateTime(QDate(2026, 3, 5), QTime(20, 10)), 501, 1);
    AddLog(QDateTime(QDate(2026, 3, 6), QTime(5, 32, 30)), 501, 2);
    const QString nightLine = QStringLiteral("  Mar 05, 2026 Thu - 20:10:00[IN]    05:32:30[OUT]");
    QStringList details;
    const TLabelTextHook previous =
        SetLabelTextHook([&details](const TReportLabel &label, const QString &text) {
            if (label.Name() == QStringLiteral("qrdetails"))
                details << text;
        });
    const struct
    {
        const CommandCase &command;
        bool paired;
    } cases[] = {{Commands[2], true}, {Commands[1], false}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.command.name);
        TTimeRec &w = LoggedIn();
        FakeReportOutput pdfs;
        details.clear();
        bool confirmed = false;
        w.SetDialogRunner([&](QDialog &dialog) {
            auto &scope = dynamic_cast<TScopeDialog &>(dialog);
            if (std::exchange(confirmed, true))
                return int(TScopeDialog::ResultCancel);
            scope.dates->rball->click();
            scope.rgscope->SetItemIndex(2);
            scope.rgformat->SetItemIndex(1);
            SetValidHours(dialog);
            dialog.findChild<QDateTimeEdit *>(QStringLiteral("dtpSTDstart"))->setTime(QTime(20, 0));
            dialog.findChild<QDateTimeEdit *>(QStringLiteral("dtpSTDend"))->setTime(QTime(23, 0));
            scope.Button1->click();
            return dialog.result();
        });
        Command(w, c.command)->trigger();
        ASSERT_EQ(pdfs.Runs().size(), 1u);
        const bool paired = std::any_of(details.begin(), details.end(),
                                        [&](const QString &l) { return l.startsWith(nightLine); });
        EXPECT_EQ(paired, c.paired) << details.join(u'\n').toStdString();
        CloseWindow();
    }
    SetLabelTextHook(previous);
}

TEST_F(FiloCommandTest, EmptyLogSaysNoRecordAndOpensNothing)
{
    TTimeRec &w = LoggedIn();
    FakeReportOutput pdfs;
    int shown = 0;
    w.SetDialogRunner([&](QDialog &) {
        ++shown;
        return int(TScopeDialog::ResultCancel);
    });
    for (const CommandCase &c : Commands) {
        SCOPED_TRACE(c.name);
        Messages().Clear();
        Command(w, c)->trigger();
        EXPECT_EQ(Messages().Texts(), QStringList{QStringLiteral("No record.")});
    }
    EXPECT_EQ(shown, 0);
    EXPECT_TRUE(pdfs.Runs().empty());
}

TEST_F(FiloCommandTest, CommandsFollowLoginOnTheAttendanceAndPrintoutsMenus)
{
    TTimeRec &w = OpenShown();
    const auto enabled = [&w] {
        QStringList on;
        for (const CommandCase &c : Commands)
            if (QAction *a = Command(w, c); a && a->isEnabled())
                on << QString::fromLatin1(c.name);
        return on;
    };
    EXPECT_EQ(enabled(), QStringList());
    w.actLoginExecute();
    EXPECT_EQ(
        enabled(),
        (QStringList{QStringLiteral("TotalHoursDetail"), QStringLiteral("FirstInLastOut"),
                     QStringLiteral("FirstInLastOutOvernight"), QStringLiteral("TwoSession")}));
    w.actLogoutExecute();
    EXPECT_EQ(enabled(), QStringList());

    // Found on their menus above; those menus show now, and the overnight form is on none.
    for (const char *path : {"Reports", "Reports/Attendance", "Reports/Printouts"}) {
        QMenu *menu = MenuAt(w, QString::fromLatin1(path));
        ASSERT_NE(menu, nullptr) << path;
        EXPECT_TRUE(menu->menuAction()->isVisible()) << path;
    }
    for (const CommandCase &c : Commands)
        EXPECT_EQ(OnAnyMenu(Command(w, c)), *c.menu != '\0') << c.name;
}

} // namespace
