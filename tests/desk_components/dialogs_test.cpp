// The speech options dialog (setting SpeechEnable) and the erase-records dialog's answers.

#include "desk/delrecs.h"
#include "desk/speech.h"
#include "store/clock.h"
#include "store/settings.h"
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

template <typename T> T *child(QWidget &dialog, const char *name)
{
    T *found = dialog.findChild<T *>(QString::fromLatin1(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
}

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
    EXPECT_EQ(child<QGroupBox>(dialog, "GroupBox1")->title(), QStringLiteral("Speech Options"));
    EXPECT_EQ(child<QCheckBox>(dialog, "cbenable")->text(),
              QStringLiteral("Enable Speech Feedback"));
    EXPECT_TRUE(child<QPushButton>(dialog, "OKBtn")->isDefault());
    EXPECT_EQ(child<QPushButton>(dialog, "CancelBtn")->text(), QStringLiteral("Cancel"));
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
        EXPECT_EQ(child<QCheckBox>(dialog, "cbenable")->isChecked(), checked)
            << (stored ? stored : "(missing)");
    }
}

TEST_F(DlgSpeechTest, OkStoresTheCheckBoxAndCancelChangesNothing)
{
    for (const bool on : {true, false}) {
        WriteRegBool(QStringLiteral("SpeechEnable"), !on);
        TDlgSpeech dialog;
        child<QCheckBox>(dialog, "cbenable")->setChecked(on);
        child<QPushButton>(dialog, "OKBtn")->click();
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
        EXPECT_EQ(storedSpeechEnable(), on ? QStringLiteral("1") : QStringLiteral("0"));
    }

    WriteRegBool(QStringLiteral("SpeechEnable"), true);
    TDlgSpeech dialog;
    child<QCheckBox>(dialog, "cbenable")->setChecked(false);
    child<QPushButton>(dialog, "CancelBtn")->click();
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
    EXPECT_EQ(child<QGroupBox>(dialog, "GroupBox1")->title(), QStringLiteral("Scope"));
    auto *all = child<QRadioButton>(dialog, "rball");
    auto *before = child<QRadioButton>(dialog, "rbdate");
    auto *picker = child<QDateEdit>(dialog, "dpfrom");
    EXPECT_EQ(all->text(), QStringLiteral("All Attendance Records"));
    EXPECT_EQ(all->toolTip(), QStringLiteral("Erase all attendance records."));
    EXPECT_EQ(before->text(), QStringLiteral("Before the date"));
    EXPECT_EQ(before->toolTip(), QStringLiteral("Erase the attendance records before the date."));
    EXPECT_EQ(picker->displayFormat(), QStringLiteral("MMMM d, yyyy dddd"));
    EXPECT_EQ(child<QPushButton>(dialog, "Button1")->text(), QStringLiteral("Confirm"));
    EXPECT_EQ(child<QPushButton>(dialog, "Button2")->text(), QStringLiteral("Cancel"));

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
    auto *picker = child<QDateEdit>(dialog, "dpfrom");
    picker->setDate(QDate(2026, 4, 1));
    EXPECT_TRUE(dialog.EraseBeforeDate());
    EXPECT_FALSE(dialog.EraseAll());

    child<QRadioButton>(dialog, "rball")->click();
    child<QPushButton>(dialog, "Button1")->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_TRUE(dialog.EraseAll());
    EXPECT_FALSE(dialog.EraseBeforeDate());
    EXPECT_EQ(dialog.Date(), QDate(2026, 4, 1));
}

TEST_F(RecDelTest, ClickingThePickerChoosesBeforeTheDate)
{
    TRecDel dialog;
    auto *picker = child<QDateEdit>(dialog, "dpfrom");
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
    child<QPushButton>(dialog, "Button2")->click();
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
