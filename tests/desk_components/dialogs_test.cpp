// The speech options dialog (setting SpeechEnable) and the erase-records dialog's answers.

#include "desk/delrecs.h"
#include "desk/speech.h"
#include "store/clock.h"
#include "store/settings.h"
#include "testsupport/childlookup.h"
#include "testsupport/tempsettings.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSettings>
#include <gtest/gtest.h>

namespace {

QString storedSpeechEnable()
{
    QSettings s(QStringLiteral("ZUVI"), QStringLiteral("Tallyclock"));
    return s.value(QStringLiteral("SpeechEnable")).toString();
}

class DlgSpeechTest : public TempSettingsTest
{
};

TEST_F(DlgSpeechTest, ShowsItsTexts)
{
    TDlgSpeech dialog;
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Speech Options"));
    EXPECT_EQ(Child<QGroupBox>(dialog, "GroupBox1")->title(), QStringLiteral("Speech Options"));
    EXPECT_EQ(Child<QCheckBox>(dialog, "cbenable")->text(),
              QStringLiteral("Enable Speech Feedback"));
    EXPECT_TRUE(Child<QPushButton>(dialog, "OKBtn")->isDefault());
    EXPECT_EQ(Child<QPushButton>(dialog, "CancelBtn")->text(), QStringLiteral("Cancel"));
}

TEST_F(DlgSpeechTest, OpensWithTheStoredSwitchOffByDefault)
{
    const std::pair<const char *, bool> cases[] = {
        {nullptr, false}, {"1", true}, {"0", false}, {"5", true}, {"", false}};
    for (const auto &[stored, checked] : cases) {
        ClearSettings();
        if (stored)
            WriteRegString(QStringLiteral("SpeechEnable"), QString::fromLatin1(stored));
        TDlgSpeech dialog;
        EXPECT_EQ(Child<QCheckBox>(dialog, "cbenable")->isChecked(), checked)
            << (stored ? stored : "(missing)");
    }
}

TEST_F(DlgSpeechTest, OkStoresTheCheckBoxAndCancelChangesNothing)
{
    for (const bool on : {true, false}) {
        WriteRegBool(QStringLiteral("SpeechEnable"), !on);
        TDlgSpeech dialog;
        Child<QCheckBox>(dialog, "cbenable")->setChecked(on);
        Child<QPushButton>(dialog, "OKBtn")->click();
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
        EXPECT_EQ(storedSpeechEnable(), on ? QStringLiteral("1") : QStringLiteral("0"));
    }

    WriteRegBool(QStringLiteral("SpeechEnable"), true);
    TDlgSpeech dialog;
    Child<QCheckBox>(dialog, "cbenable")->setChecked(false);
    Child<QPushButton>(dialog, "CancelBtn")->click();
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_EQ(storedSpeechEnable(), QStringLiteral("1"));
}

class RecDelTest : public ::testing::Test
{
protected:
    void SetUp() override { PinClock(QDateTime(QDate(2026, 5, 20), QTime(9, 15))); }
    void TearDown() override { PinClock(QDateTime()); }
};

TEST_F(RecDelTest, OpensOnAllRecordsWithTodaysDate)
{
    TRecDel dialog;
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Erase Attendance Records"));
    EXPECT_EQ(Child<QGroupBox>(dialog, "GroupBox1")->title(), QStringLiteral("Scope"));
    auto *all = Child<QRadioButton>(dialog, "rball");
    auto *before = Child<QRadioButton>(dialog, "rbdate");
    auto *picker = Child<QDateEdit>(dialog, "dpfrom");
    EXPECT_EQ(all->text(), QStringLiteral("All Attendance Records"));
    EXPECT_EQ(all->toolTip(), QStringLiteral("Erase all attendance records."));
    EXPECT_EQ(before->text(), QStringLiteral("Before the date"));
    EXPECT_EQ(before->toolTip(), QStringLiteral("Erase the attendance records before the date."));
    EXPECT_EQ(picker->displayFormat(), QStringLiteral("MMMM d, yyyy dddd"));
    EXPECT_EQ(Child<QPushButton>(dialog, "Button1")->text(), QStringLiteral("Confirm"));
    EXPECT_EQ(Child<QPushButton>(dialog, "Button2")->text(), QStringLiteral("Cancel"));

    EXPECT_TRUE(dialog.EraseAll());
    EXPECT_FALSE(dialog.EraseBeforeDate());
    EXPECT_EQ(dialog.Date(), QDate(2026, 5, 20));
}

TEST_F(RecDelTest, PresettingTheDateKeepsAllRecords)
{
    TRecDel dialog;
    dialog.SetDate(QDate(2026, 1, 2));
    EXPECT_EQ(dialog.Date(), QDate(2026, 1, 2));
    EXPECT_TRUE(dialog.EraseAll());
}

TEST_F(RecDelTest, PickingADateChoosesBeforeTheDateUntilAllIsChosenAgain)
{
    TRecDel dialog;
    auto *picker = Child<QDateEdit>(dialog, "dpfrom");
    picker->setDate(QDate(2026, 4, 1));
    EXPECT_TRUE(dialog.EraseBeforeDate());
    EXPECT_FALSE(dialog.EraseAll());

    Child<QRadioButton>(dialog, "rball")->click();
    Child<QPushButton>(dialog, "Button1")->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_TRUE(dialog.EraseAll());
    EXPECT_FALSE(dialog.EraseBeforeDate());
    EXPECT_EQ(dialog.Date(), QDate(2026, 4, 1));
}

TEST_F(RecDelTest, ClickingThePickerChoosesBeforeTheDate)
{
    TRecDel dialog;
    auto *picker = Child<QDateEdit>(dialog, "dpfrom");
    QWidget *target = picker->findChild<QLineEdit *>();
    ASSERT_NE(target, nullptr);
    const QPointF at(5, 5);
    QMouseEvent press(QEvent::MouseButtonPress, at, target->mapToGlobal(at), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &press);
    EXPECT_TRUE(dialog.EraseBeforeDate());
    EXPECT_EQ(dialog.Date(), QDate(2026, 5, 20)) << "the date itself is unchanged";
}

TEST_F(RecDelTest, CancelClosesWithCancel)
{
    TRecDel dialog;
    Child<QPushButton>(dialog, "Button2")->click();
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
}

TEST_F(RecDelTest, ShowsCentredOnTheScreen)
{
    QWidget owner;
    owner.setGeometry(0, 0, 200, 150);
    TRecDel dialog(&owner);
    dialog.show();
    const QPoint screenCentre = dialog.screen()->availableGeometry().center();
    EXPECT_LE((dialog.frameGeometry().center() - screenCentre).manhattanLength(), 1);
    dialog.hide();
}

} // namespace
