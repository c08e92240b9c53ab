// The "Email Settings" dialog and the main window's "Email" command.

#include "desk/emailqueue.h"
#include "desk/emailset.h"
#include "desk_window/windowfixture.h"
#include "store/settings.h"
#include "testsupport/childlookup.h"
#include "testsupport/fakemessages.h"
#include "testsupport/tempsettings.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QSpinBox>
#include <QTimer>

namespace {

bool Stored(const char *name)
{
    return QSettings(QStringLiteral("ZUVI"), QStringLiteral("Tallyclock"))
        .contains(QString::fromLatin1(name));
}

class SetEmailTest : public TempSettingsTest
{
protected:
    static void Fill(TSetEmail &d, const QString &server, const QString &rcpt,
                     const QString &sender)
    {
        Child<QLineEdit>(d, "esmtp")->setText(server);
        Child<QLineEdit>(d, "erecipant")->setText(rcpt);
        Child<QLineEdit>(d, "esender")->setText(sender);
    }
    FakeMessages messages;
};

TEST_F(SetEmailTest, OpensOnTheDefaults)
{
    TSetEmail d;
    EXPECT_EQ(d.windowTitle(), QStringLiteral("Email Settings"));
    EXPECT_FALSE(Child<QCheckBox>(d, "cbenable")->isChecked());
    EXPECT_TRUE(Child<QCheckBox>(d, "cbstaffonly")->isChecked());
    EXPECT_FALSE(Child<QCheckBox>(d, "cbsendcapture")->isChecked());
    EXPECT_TRUE(Child<QLineEdit>(d, "esmtp")->text().isEmpty());
    EXPECT_TRUE(Child<QRadioButton>(d, "cbregular")->isChecked());
    EXPECT_FALSE(Child<QRadioButton>(d, "cbeach")->isChecked());
    QSpinBox *spin = Child<QSpinBox>(d, "seintervals");
    EXPECT_EQ(spin->value(), 30);
    EXPECT_TRUE(spin->isEnabled());
    EXPECT_EQ(spin->minimum(), 5);
    EXPECT_EQ(spin->maximum(), 240);
    EXPECT_EQ(spin->singleStep(), 5);
}

TEST_F(SetEmailTest, ConfirmIsRefusedWhileAnyTextIsBlank)
{
    struct Case
    {
        const char *name;
        const char *server, *rcpt, *sender;
        const char *message;
        const char *focus;
    };
    const Case cases[] = {
        {"server of blanks", "   ", "a@x.example", "desk@x.example",
         "The SMTP server entry is invalid. Please re-enter.", "esmtp"},
        {"no recipient", " mail.x.example ", "", "desk@x.example",
         "The recipant email entry is invalid. Please re-enter.", "erecipant"},
        {"sender of blanks", "mail.x.example", "a@x.example", " \t ",
         "The sender email entry is invalid. Please re-enter.", "esender"},
        {"all empty: the first is reported", "", "", "",
         "The SMTP server entry is invalid. Please re-enter.", "esmtp"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        messages.Clear();
        TSetEmail d;
        // Sending switched off changes nothing: the texts are still required.
        Child<QCheckBox>(d, "cbenable")->setChecked(false);
        Fill(d, QString::fromLatin1(c.server), QString::fromLatin1(c.rcpt),
             QString::fromLatin1(c.sender));
        d.Button1Click();
        ASSERT_EQ(messages.Count(), 1);
        EXPECT_EQ(messages.Last().text, QString::fromLatin1(c.message));
        EXPECT_EQ(messages.Last().kind, MsgKind::Error);
        EXPECT_EQ(messages.Last().buttons, MsgButtons::Ok);
        EXPECT_EQ(d.result(), int(QDialog::Rejected));
        EXPECT_EQ(d.focusWidget(), Child<QLineEdit>(d, c.focus));
        // The refused entry shows trimmed, i.e. empty.
        EXPECT_TRUE(Child<QLineEdit>(d, c.focus)->text().isEmpty());
        for (const char *name : {"EmailEnabled", "EmailSmtpServer", "EmailRecipant", "EmailSender",
                                 "EmailIntervals", "EmailStaffOnly"})
            EXPECT_FALSE(Stored(name)) << name;
    }
}

TEST_F(SetEmailTest, ConfirmWritesEverySettingTrimmed)
{
    TSetEmail d;
    Child<QCheckBox>(d, "cbenable")->setChecked(true);
    Child<QCheckBox>(d, "cbstaffonly")->setChecked(false);
    Child<QCheckBox>(d, "cbsendcapture")->setChecked(true);
    Fill(d, QStringLiteral("  mail.x.example "), QStringLiteral(" a@x.example;b@x.example "),
         QStringLiteral("desk@x.example  "));
    Child<QSpinBox>(d, "seintervals")->setValue(45);
    d.Button1Click();
    EXPECT_EQ(messages.Count(), 0);
    EXPECT_EQ(d.result(), int(QDialog::Accepted));
    EXPECT_TRUE(ReadRegBool(QStringLiteral("EmailEnabled"), false));
    EXPECT_FALSE(ReadRegBool(QStringLiteral("EmailStaffOnly"), true));
    EXPECT_TRUE(ReadRegBool(QStringLiteral("EmailSendCapture"), false));
    EXPECT_EQ(ReadRegString(QStringLiteral("EmailSmtpServer"), {}),
              QStringLiteral("mail.x.example"));
    EXPECT_EQ(ReadRegString(QStringLiteral("EmailRecipant"), {}),
              QStringLiteral("a@x.example;b@x.example"));
    EXPECT_EQ(ReadRegString(QStringLiteral("EmailSender"), {}), QStringLiteral("desk@x.example"));
    EXPECT_EQ(ReadRegInteger(QStringLiteral("EmailIntervals"), -1), 45);
}

TEST_F(SetEmailTest, EachRecordStoresZeroAndReopensWithTheSpinBoxOff)
{
    {
        TSetEmail d;
        Fill(d, QStringLiteral("mail"), QStringLiteral("a@x"), QStringLiteral("b@x"));
        Child<QRadioButton>(d, "cbeach")->click();
        EXPECT_FALSE(Child<QSpinBox>(d, "seintervals")->isEnabled());
        Child<QPushButton>(d, "Button1")->click();
        EXPECT_EQ(d.result(), int(QDialog::Accepted));
    }
    EXPECT_EQ(ReadRegInteger(QStringLiteral("EmailIntervals"), -1), 0);
    TSetEmail again;
    EXPECT_TRUE(Child<QRadioButton>(again, "cbeach")->isChecked());
    EXPECT_FALSE(Child<QSpinBox>(again, "seintervals")->isEnabled());
    Child<QRadioButton>(again, "cbregular")->click();
    EXPECT_TRUE(Child<QSpinBox>(again, "seintervals")->isEnabled());
}

TEST_F(SetEmailTest, OpensOnTheStoredSettings)
{
    WriteRegBool(QStringLiteral("EmailEnabled"), true);
    WriteRegBool(QStringLiteral("EmailStaffOnly"), false);
    WriteRegString(QStringLiteral("EmailSmtpServer"), QStringLiteral("mail.x.example"));
    WriteRegString(QStringLiteral("EmailRecipant"), QStringLiteral("a@x;b@x"));
    WriteRegString(QStringLiteral("EmailSender"), QStringLiteral("desk@x"));
    WriteRegInteger(QStringLiteral("EmailIntervals"), 120);
    WriteRegBool(QStringLiteral("EmailSendCapture"), true);
    TSetEmail d;
    EXPECT_TRUE(Child<QCheckBox>(d, "cbenable")->isChecked());
    EXPECT_FALSE(Child<QCheckBox>(d, "cbstaffonly")->isChecked());
    EXPECT_TRUE(Child<QCheckBox>(d, "cbsendcapture")->isChecked());
    EXPECT_EQ(Child<QLineEdit>(d, "esmtp")->text(), QStringLiteral("mail.x.example"));
    EXPECT_EQ(Child<QLineEdit>(d, "erecipant")->text(), QStringLiteral("a@x;b@x"));
    EXPECT_EQ(Child<QLineEdit>(d, "esender")->text(), QStringLiteral("desk@x"));
    EXPECT_TRUE(Child<QRadioButton>(d, "cbregular")->isChecked());
    EXPECT_EQ(Child<QSpinBox>(d, "seintervals")->value(), 120);
}

TEST_F(SetEmailTest, CancelWritesNothing)
{
    TSetEmail d;
    Fill(d, QStringLiteral("mail"), QStringLiteral("a@x"), QStringLiteral("b@x"));
    Child<QCheckBox>(d, "cbenable")->setChecked(true);
    Child<QPushButton>(d, "Button2")->click();
    EXPECT_EQ(d.result(), int(QDialog::Rejected));
    EXPECT_FALSE(Stored("EmailSmtpServer"));
    EXPECT_FALSE(Stored("EmailEnabled"));
}

TEST_F(SetEmailTest, HintsAreShown)
{
    TSetEmail d;
    const std::pair<const char *, const char *> hints[] = {
        {"cbenable", "Enable the attendance email system."},
        {"esmtp", "SMTP mail server."},
        {"erecipant", "The attendance email recipants (separated by semicolon)."},
        {"esender", "Your email address."},
        {"cbeach", "Send email immediately."},
        {"cbregular", "Send email on a regular intervals."},
        {"cbstaffonly", "Send email only when the card is registered."},
        {"Button1", "Confirm the settings and exit."},
        {"Button2", "Cancel operation and quit."},
    };
    for (const auto &[name, hint] : hints)
        EXPECT_EQ(Child<QWidget>(d, name)->toolTip(), QString::fromLatin1(hint)) << name;
}

// ---- The "Email" command of the main window ------------------------------------------------

class EmailCommandTest : public WindowTest
{
protected:
    // The next "Email Settings" dialog is filled in with sending on or off ("Each record"
    // chosen when asked) and confirmed or cancelled; shown counts the dialogs.
    static void AnswerEmail(TTimeRec &w, bool enable, bool eachRecord, bool confirm,
                            bool *shown = nullptr)
    {
        w.SetDialogRunner([=](QDialog &dialog) {
            auto *d = dynamic_cast<TSetEmail *>(&dialog);
            EXPECT_NE(d, nullptr);
            if (shown)
                *shown = d != nullptr;
            if (!d)
                return int(QDialog::Rejected);
            Child<QCheckBox>(*d, "cbenable")->setChecked(enable);
            if (eachRecord)
                Child<QRadioButton>(*d, "cbeach")->click();
            Child<QLineEdit>(*d, "esmtp")->setText(QStringLiteral("mail"));
            Child<QLineEdit>(*d, "erecipant")->setText(QStringLiteral("a@x"));
            Child<QLineEdit>(*d, "esender")->setText(QStringLiteral("b@x"));
            if (confirm)
                d->Button1Click();
            else
                d->reject();
            return d->result();
        });
    }
};

TEST_F(EmailCommandTest, IsOnTheSetupMenuAndProtected)
{
    TTimeRec &w = OpenWindow();
    QAction *email = w.findChild<QAction *>(QStringLiteral("actemail"));
    ASSERT_NE(email, nullptr);
    EXPECT_EQ(email->text(), QStringLiteral("Email"));
    QMenu *setup = w.findChild<QMenu *>(QStringLiteral("menuSetup"));
    ASSERT_NE(setup, nullptr);
    EXPECT_TRUE(setup->actions().contains(email));
    EXPECT_FALSE(email->isEnabled());
    w.SetLoggedIn(true);
    EXPECT_TRUE(email->isEnabled());
    w.SetLoggedIn(false);
    EXPECT_FALSE(email->isEnabled());
}

TEST_F(EmailCommandTest, StartUpArmsTheTimerFromTheSettings)
{
    WriteRegBool(QStringLiteral("EmailEnabled"), true);
    WriteRegInteger(QStringLiteral("EmailIntervals"), 10);
    TTimeRec &w = OpenWindow();
    ASSERT_NE(w.EmailQueue(), nullptr);
    EXPECT_TRUE(w.EmailQueue()->emailtimer()->isActive());
    EXPECT_EQ(w.EmailQueue()->emailtimer()->interval(), 600000);
}

TEST_F(EmailCommandTest, OkArmsTheTimerAndCancelLeavesIt)
{
    TTimeRec &w = OpenWindow();
    ASSERT_FALSE(w.EmailQueue()->emailtimer()->isActive());
    struct Case
    {
        const char *name;
        bool confirm;
        bool active;
    };
    for (const Case &c : {Case{"cancel", false, false}, Case{"confirm", true, true}}) {
        SCOPED_TRACE(c.name);
        bool shown = false;
        AnswerEmail(w, true, true, c.confirm, &shown);
        w.actemailExecute();
        EXPECT_TRUE(shown);
        EXPECT_EQ(w.EmailQueue()->emailtimer()->isActive(), c.active);
    }
    EXPECT_EQ(w.EmailQueue()->emailtimer()->interval(), 1000);
    EXPECT_EQ(w.StatusPanel(1)->text(), QString());
}

TEST_F(EmailCommandTest, SwitchingMailOffClearsTheLastRoundsError)
{
    struct Case
    {
        const char *name;
        bool enable;
        bool confirm;
        QString status;
    };
    const Case cases[] = {
        {"switched off", false, true, QString()},
        {"left on", true, true, QStringLiteral("Email sent error.")},
        {"switched off but cancelled", false, false, QStringLiteral("Email sent error.")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        // A round against a server that is not there leaves its error in the status bar.
        WriteRegBool(QStringLiteral("EmailEnabled"), true);
        WriteRegInteger(QStringLiteral("EmailIntervals"), 30);
        TTimeRec &w = OpenWindow();
        TDataSet &e = dsrc->emails;
        e.Append();
        e.FieldByName(QStringLiteral("TITLE")).SetAsString(QStringLiteral("notice"));
        e.FieldByName(QStringLiteral("MSG")).SetAsString(QStringLiteral("x\r\n"));
        e.Post();
        w.EmailQueue()->emailtimerTimer();
        ASSERT_EQ(w.StatusPanel(1)->text(), QStringLiteral("Email sent error."));

        AnswerEmail(w, c.enable, false, c.confirm);
        w.actemailExecute();
        EXPECT_EQ(w.StatusPanel(1)->text(), c.status);
        CloseWindow();
    }
}

} // namespace
