#include "store/messages.h"
#include "testsupport/fakemessages.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <functional>
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

namespace {

TEST(StandardMessages, InformationAndErrorTexts)
{
    struct Row
    {
        void (*show)();
        const char *text;
        MsgKind kind;
    } rows[] = {
        {ShowInvalidInput, "Invalid input.", MsgKind::Error},
        {ShowDatabaseError, "Database Error.", MsgKind::Error},
        {ShowDuplicateEntry, "The input does not allow deplicate entry. Please re-enter.",
         MsgKind::Error},
        {ShowSettingsSaved, "Settings are saved.", MsgKind::Information},
        {ShowCompleted, "Completed.", MsgKind::Information},
        {ShowWrongTimeEntry, "Wrong time entry.", MsgKind::Error},
        {ShowSettingsNotSaved, "Settings cannot be saved.", MsgKind::Error},
        {ShowUpdateFailed, "Fail to update the database record. Please retry.", MsgKind::Error},
        {ShowNoDataRecord, "No data record.", MsgKind::Error},
        {ShowTimeOverlapped, "Time overlapped.", MsgKind::Error},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.text);
        FakeMessages messages;
        r.show();
        ASSERT_EQ(messages.Count(), 1);
        const ShownMessage m = messages.Last();
        EXPECT_EQ(m.text, QString::fromLatin1(r.text));
        EXPECT_EQ(m.kind, r.kind) << ToString(m.kind);
        EXPECT_EQ(m.buttons, MsgButtons::Ok) << ToString(m.buttons);
        EXPECT_TRUE(m.caption.isEmpty());
    }
}

TEST(StandardMessages, ConfirmationsAreTrueOnlyOnOk)
{
    struct Row
    {
        bool (*ask)();
        const char *text;
    } rows[] = {
        {ConfirmDelete, "Are you sure to delete this record?"},
        {ConfirmDeleteAll, "Are you sure to delete all records?"},
        {ConfirmOverwrite, "Are you sure to overwrite this record?"},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.text);
        FakeMessages messages;
        messages.QueueAnswer(MsgButton::Ok);
        messages.QueueAnswer(MsgButton::Cancel);
        EXPECT_TRUE(r.ask());
        EXPECT_FALSE(r.ask());
        ASSERT_EQ(messages.Count(), 2);
        for (const ShownMessage &m : messages.Shown()) {
            EXPECT_EQ(m.text, QString::fromLatin1(r.text));
            EXPECT_EQ(m.kind, MsgKind::Confirmation);
            EXPECT_EQ(m.buttons, MsgButtons::OkCancel);
        }
    }
}

TEST(StandardMessages, GeneralHelpersPassKindButtonsAndAnswer)
{
    FakeMessages messages;
    ShowInfo(QStringLiteral("No record."));
    ShowWarning(QStringLiteral("w"));
    ShowError(QStringLiteral("e"));
    ShowPlain(QStringLiteral("p"));
    messages.QueueAnswer(MsgButton::No);
    EXPECT_FALSE(AskYesNo(MsgKind::Warning, QStringLiteral("Are you sure?")));
    messages.QueueAnswer(MsgButton::Yes);
    EXPECT_TRUE(AskYesNo(MsgKind::Information, QStringLiteral("Again?")));
    messages.QueueAnswer(MsgButton::Cancel);
    EXPECT_EQ(ShowMsg(MsgKind::Error, QStringLiteral("x"), MsgButtons::YesNoCancel,
                      QStringLiteral("DirectShow - Capture")),
              MsgButton::Cancel);

    const QList<ShownMessage> &shown = messages.Shown();
    ASSERT_EQ(shown.size(), 7);
    const MsgKind kinds[] = {MsgKind::Information, MsgKind::Warning, MsgKind::Error,
                             MsgKind::Plain,       MsgKind::Warning, MsgKind::Information,
                             MsgKind::Error};
    const MsgButtons buttons[] = {MsgButtons::Ok,         MsgButtons::Ok,    MsgButtons::Ok,
                                  MsgButtons::Ok,         MsgButtons::YesNo, MsgButtons::YesNo,
                                  MsgButtons::YesNoCancel};
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(shown[i].kind, kinds[i]) << i;
        EXPECT_EQ(shown[i].buttons, buttons[i]) << i;
    }
    EXPECT_EQ(shown[0].text, QStringLiteral("No record."));
    EXPECT_EQ(shown[6].caption, QStringLiteral("DirectShow - Capture"));
    EXPECT_EQ(messages.PendingAnswers(), 0);
}

TEST(FakeMessageSink, EmptyQueueAnswersTheStatedDefault)
{
    {
        FakeMessages messages; // OK unless told otherwise
        EXPECT_TRUE(ConfirmDelete());
        EXPECT_TRUE(AskYesNo(MsgKind::Warning, QStringLiteral("?"))); // OK stands for Yes
        EXPECT_EQ(ShowMsg(MsgKind::Plain, QStringLiteral("?")), MsgButton::Ok);
    }
    {
        FakeMessages messages(MsgButton::Cancel);
        EXPECT_FALSE(ConfirmDelete());
        EXPECT_FALSE(AskYesNo(MsgKind::Warning, QStringLiteral("?"))); // Cancel stands for No
        EXPECT_EQ(ShowMsg(MsgKind::Plain, QStringLiteral("?"), MsgButtons::YesNoCancel),
                  MsgButton::Cancel);
        messages.SetAnswerWhenEmpty(MsgButton::Ok);
        EXPECT_TRUE(ConfirmDelete());
    }
}

TEST(FakeMessageSink, AQueuedAnswerThatIsNoButtonOfTheBoxFailsTheTest)
{
    EXPECT_NONFATAL_FAILURE(
        {
            FakeMessages messages;
            messages.QueueAnswer(MsgButton::Yes);
            ShowInvalidInput();
        },
        "is not a button of Ok");
}

TEST(FakeMessageSink, NestsAndRestoresThePreviousSink)
{
    MessageSink *before = CurrentMessageSink();
    {
        FakeMessages outer;
        {
            FakeMessages inner;
            EXPECT_EQ(CurrentMessageSink(), &inner);
            ShowCompleted();
            EXPECT_EQ(inner.Count(), 1);
        }
        EXPECT_EQ(CurrentMessageSink(), &outer);
        EXPECT_EQ(outer.Count(), 0);
    }
    EXPECT_EQ(CurrentMessageSink(), before);
}

// Puts the real message box in place for one test; the run's own guard comes back after.
struct UseDefaultBox
{
    MessageSink *saved = SetMessageSink(nullptr);
    ~UseDefaultBox() { SetMessageSink(saved); }
};

// Presses a button of the next message box once it is up, and records what it showed.
struct BoxSeen
{
    QString title, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QList<QMessageBox::StandardButton> buttons;
    bool seen = false;
};

void pressWhenShown(QMessageBox::StandardButton press, BoxSeen *seen, bool reject = false)
{
    QTimer::singleShot(0, [=] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box) {
            pressWhenShown(press, seen, reject); // not up yet
            return;
        }
        seen->seen = true;
        seen->title = box->windowTitle();
        seen->text = box->text();
        seen->icon = box->icon();
        for (QAbstractButton *b : box->buttons())
            seen->buttons << box->standardButton(b);
        if (reject)
            box->reject();
        else
            box->button(press)->click();
    });
}

TEST(DefaultMessageBox, ShowsAModalBoxCaptionedWithTheApplicationName)
{
    const QString savedName = QGuiApplication::applicationDisplayName();
    QGuiApplication::setApplicationDisplayName(QStringLiteral("Tallyclock"));
    UseDefaultBox useDefault;
    ASSERT_EQ(SetMessageSink(nullptr), nullptr); // the default box is in place

    struct Row
    {
        MsgKind kind;
        MsgButtons buttons;
        QMessageBox::StandardButton press;
        MsgButton expect;
        QMessageBox::Icon icon;
        int buttonCount;
    } rows[] = {
        {MsgKind::Confirmation, MsgButtons::OkCancel, QMessageBox::Ok, MsgButton::Ok,
         QMessageBox::Question, 2},
        {MsgKind::Confirmation, MsgButtons::OkCancel, QMessageBox::Cancel, MsgButton::Cancel,
         QMessageBox::Question, 2},
        {MsgKind::Warning, MsgButtons::YesNo, QMessageBox::Yes, MsgButton::Yes,
         QMessageBox::Warning, 2},
        {MsgKind::Information, MsgButtons::YesNo, QMessageBox::No, MsgButton::No,
         QMessageBox::Information, 2},
        {MsgKind::Error, MsgButtons::Ok, QMessageBox::Ok, MsgButton::Ok, QMessageBox::Critical, 1},
        {MsgKind::Plain, MsgButtons::YesNoCancel, QMessageBox::Cancel, MsgButton::Cancel,
         QMessageBox::NoIcon, 3},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(int(r.press));
        BoxSeen seen;
        pressWhenShown(r.press, &seen);
        EXPECT_EQ(ShowMsg(r.kind, QStringLiteral("Shown text."), r.buttons), r.expect);
        ASSERT_TRUE(seen.seen);
        EXPECT_EQ(seen.title, QStringLiteral("Tallyclock"));
        EXPECT_EQ(seen.text, QStringLiteral("Shown text."));
        EXPECT_EQ(seen.icon, r.icon);
        EXPECT_EQ(seen.buttons.size(), r.buttonCount);
    }

    // A caller's caption replaces the name; closing without a button is the safe answer.
    BoxSeen seen;
    pressWhenShown(QMessageBox::NoButton, &seen, /*reject=*/true);
    EXPECT_EQ(ShowMsg(MsgKind::Error, QStringLiteral("Error 80004005"), MsgButtons::YesNo,
                      QStringLiteral("DirectShow - Capture")),
              MsgButton::No);
    EXPECT_EQ(seen.title, QStringLiteral("DirectShow - Capture"));
    BoxSeen closed;
    pressWhenShown(QMessageBox::NoButton, &closed, /*reject=*/true);
    EXPECT_FALSE(ConfirmDelete());
    EXPECT_TRUE(closed.seen);

    QGuiApplication::setApplicationDisplayName(savedName);
}

TEST(DefaultMessageBox, AWorkerThreadGetsTheSafeAnswerWithoutABox)
{
    UseDefaultBox useDefault;
    ASSERT_EQ(SetMessageSink(nullptr), nullptr); // the default box is in place
    bool confirmed = true;
    MsgButton yesNo = MsgButton::Yes;
    MsgButton ok = MsgButton::Cancel;
    QThread *worker = QThread::create([&] {
        confirmed = ConfirmDelete();
        yesNo = ShowMsg(MsgKind::Warning, QStringLiteral("w"), MsgButtons::YesNo);
        ok = ShowMsg(MsgKind::Plain, QStringLiteral("p"));
    });
    worker->start();
    ASSERT_TRUE(worker->wait(10000));
    delete worker;
    EXPECT_FALSE(confirmed);
    EXPECT_EQ(yesNo, MsgButton::No);
    EXPECT_EQ(ok, MsgButton::Ok);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

} // namespace
