// The main window's settings and dialog commands as an administrator reaches them: each found by
// its caption on its menu, run through its dialog with the answer a user would give, and checked
// for what it left changed.

#include "testsupport/commandlookup.h"
#include "windowfixture.h"

#include "desk/emailqueue.h"
#include "store/clock.h"
#include "store/settings.h"
#include "testsupport/childlookup.h"
#include "testsupport/paramname.h"

#include <QAbstractItemView>
#include <QAction>
#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTimeEdit>
#include <QTimer>

#include <functional>
#include <ostream>
#include <string>

namespace {

// ---- The settings and dialog commands: OK and Cancel roads -----------------------------------

struct CommandCase
{
    const char *name;
    const char *menu; // "" for a command on no menu
    const char *caption;
    const char *dialogTitle; // null: the command shows no dialog
    // Answers the dialog (also checks what must hold while it is up) and gives its result.
    std::function<int(TTimeRec &, QDialog &)> answer;
    // What must have changed (or stayed) once the command is over.
    std::function<void(TTimeRec &)> check;
};

void PrintTo(const CommandCase &c, std::ostream *os)
{
    *os << c.name;
}

QLabel *IoPanel(TTimeRec &w)
{
    return w.findChild<QLabel *>(QStringLiteral("iopanel"));
}

bool GridShown(TTimeRec &w)
{
    return w.findChild<QAbstractItemView *>(QStringLiteral("info"))->isVisible();
}

int SpeechAnswer(QDialog &d, bool ok)
{
    Child<QCheckBox>(d, "cbenable")->setChecked(true);
    if (ok)
        Child<QPushButton>(d, "OKBtn")->click();
    else
        Child<QPushButton>(d, "CancelBtn")->click();
    return d.result();
}

int EmailAnswer(QDialog &d, bool ok)
{
    Child<QCheckBox>(d, "cbenable")->setChecked(true);
    Child<QRadioButton>(d, "cbeach")->click();
    Child<QLineEdit>(d, "esmtp")->setText(QStringLiteral("mail"));
    Child<QLineEdit>(d, "erecipant")->setText(QStringLiteral("a@x"));
    Child<QLineEdit>(d, "esender")->setText(QStringLiteral("b@x"));
    if (!ok)
        return int(QDialog::Rejected);
    Child<QPushButton>(d, "Button1")->click();
    return d.result();
}

// Turns automatic IN/OUT on with a window holding 10:00, then closes the dialog as given.
int ScheduleAnswer(QDialog &d, bool closeButton)
{
    d.show();
    Child<QCheckBox>(d, "cbenable")->click();
    Child<QTimeEdit>(d, "dtpFrom")->setTime(QTime(9, 0));
    Child<QTimeEdit>(d, "dtpTo")->setTime(QTime(11, 0));
    Child<QPushButton>(d, "Button1")->click();
    if (closeButton)
        Child<QPushButton>(d, "xcancel")->click();
    return closeButton ? d.result() : int(QDialog::Rejected);
}

const CommandCase CommandCases[] = {
    {"SpeechOkStoresTheSwitch", "Setup", "Enable Speech Feedback", "Speech Options",
     [](TTimeRec &, QDialog &d) { return SpeechAnswer(d, true); },
     [](TTimeRec &) { EXPECT_TRUE(ReadRegBool(Setting::SpeechEnable)); }},
    {"SpeechCancelStoresNothing", "Setup", "Enable Speech Feedback", "Speech Options",
     [](TTimeRec &, QDialog &d) { return SpeechAnswer(d, false); },
     [](TTimeRec &) { EXPECT_FALSE(ReadRegBool(Setting::SpeechEnable)); }},
    {"EmailOkArmsTheTimer", "Setup", "Email", "Email Settings",
     [](TTimeRec &, QDialog &d) { return EmailAnswer(d, true); },
     [](TTimeRec &w) {
         EXPECT_TRUE(ReadRegBool(Setting::EmailEnabled));
         EXPECT_TRUE(w.EmailQueue()->emailtimer()->isActive());
     }},
    {"EmailCancelLeavesTheTimer", "Setup", "Email", "Email Settings",
     [](TTimeRec &, QDialog &d) { return EmailAnswer(d, false); },
     [](TTimeRec &w) {
         EXPECT_FALSE(ReadRegBool(Setting::EmailEnabled));
         EXPECT_FALSE(w.EmailQueue()->emailtimer()->isActive());
     }},
    {"HideOnStartupIsStoredAtOnce",
     "Actions",
     "Hide On Startup",
     nullptr,
     {},
     [](TTimeRec &w) {
         EXPECT_TRUE(ReadRegBool(Setting::HideOnStartup));
         EXPECT_TRUE(CommandAt(w, QStringLiteral("Actions"), QStringLiteral("Hide On Startup"))
                         ->isChecked());
         EXPECT_TRUE(w.isVisible()); // only the next start is hidden
     }},
    {"HideToSystrayHidesTheWindow",
     "Actions",
     "Hide to Systray",
     nullptr,
     {},
     [](TTimeRec &w) {
         EXPECT_FALSE(w.isVisible());
         EXPECT_TRUE(w.IsLoggedIn()); // hiding does not log out
     }},
    {"OfflineAccessTableOpensFromNoMenu", "", "Offline Access Table", "Offline Access Table",
     [](TTimeRec &w, QDialog &) {
         EXPECT_TRUE(GridShown(w));
         return int(QDialog::Rejected);
     },
     [](TTimeRec &w) { EXPECT_TRUE(GridShown(w)); }},
    {"EditCardInformationCancelShowsTheGridAgain", "Card Manager", "Edit Card Information",
     "Card Information List",
     [](TTimeRec &w, QDialog &) {
         EXPECT_FALSE(GridShown(w));
         EXPECT_TRUE(w.findChild<QWidget *>(QStringLiteral("xphoto"))->isHidden());
         EXPECT_TRUE(w.findChild<QWidget *>(QStringLiteral("gbcapture"))->isHidden());
         return int(QDialog::Rejected);
     },
     [](TTimeRec &w) {
         EXPECT_TRUE(GridShown(w));
         EXPECT_TRUE(dsrc->staff.Active());
     }},
    // Whatever the schedule dialog answers, the panel follows what it stored.
    {"AutoInOutClosedShowsTheDirection", "Setup", "Auto IN/OUT Time", "Auto IN/OUT Timer",
     [](TTimeRec &, QDialog &d) { return ScheduleAnswer(d, true); },
     [](TTimeRec &w) {
         EXPECT_TRUE(IoPanel(w)->isVisible());
         EXPECT_EQ(IoPanel(w)->text(), QStringLiteral("IN"));
     }},
    {"AutoInOutCancelledShowsTheDirectionToo", "Setup", "Auto IN/OUT Time", "Auto IN/OUT Timer",
     [](TTimeRec &, QDialog &d) { return ScheduleAnswer(d, false); },
     [](TTimeRec &w) {
         EXPECT_TRUE(IoPanel(w)->isVisible());
         EXPECT_EQ(IoPanel(w)->text(), QStringLiteral("IN"));
     }},
};

class WindowCommand : public WindowTest, public ::testing::WithParamInterface<CommandCase>
{
protected:
    void TearDown() override
    {
        CloseWindow();
        PinClock(QDateTime());
        WindowTest::TearDown();
    }
};

TEST_P(WindowCommand, OpensItsDialogAndAppliesTheAnswer)
{
    const CommandCase &c = GetParam();
    dsrc->src.Exec(QStringLiteral("DELETE FROM iotime"));
    PinClock(QDateTime(QDate(2026, 3, 5), QTime(10, 0)));
    TTimeRec &w = OpenShown();
    w.SetLoggedIn(true);
    QAction *command = CommandAt(w, QString::fromLatin1(c.menu), QString::fromLatin1(c.caption));
    ASSERT_NE(command, nullptr) << c.caption << " on " << c.menu;
    ASSERT_TRUE(command->isVisible() && command->isEnabled());
    QStringList titles;
    w.SetDialogRunner([&](QDialog &d) {
        titles << d.windowTitle();
        return c.answer ? c.answer(w, d) : int(QDialog::Rejected);
    });

    command->trigger();

    EXPECT_EQ(titles.join(u'|').toStdString(), c.dialogTitle ? c.dialogTitle : "");
    EXPECT_EQ(Messages().Count(), 0) << Messages().Texts().join(u'|').toStdString();
    c.check(w);
}

INSTANTIATE_TEST_SUITE_P(Settings, WindowCommand, ::testing::ValuesIn(CommandCases), ParamName());

} // namespace
