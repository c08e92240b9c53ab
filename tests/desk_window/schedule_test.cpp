// The main window's "Auto IN/OUT Time" and "Define Tallyclock Table": each opens its dialog,
// and the IN/OUT panel follows what the schedule dialog stored the moment it closes.

#include "windowfixture.h"

#include "desk/autoio.h"
#include "desk/timetbl.h"
#include "store/clock.h"
#include "store/settings.h"
#include "testsupport/commandlookup.h"

#include <QCheckBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>
#include <QTimeEdit>
#include <gtest/gtest.h>

namespace {

class ScheduleCommandTest : public WindowTest
{
protected:
    void TearDown() override
    {
        m_window.reset();
        PinClock(QDateTime());
        WindowTest::TearDown();
    }
};

TEST_F(ScheduleCommandTest, AutoInOutAtTenAddingNineToElevenShowsInAsSoonAsTheDialogCloses)
{
    dsrc->src.Exec(QStringLiteral("DELETE FROM iotime"));
    PinClock(QDateTime(QDate(2026, 3, 5), QTime(10, 0)));
    TTimeRec &w = OpenShown();
    EXPECT_FALSE(Panel(w)->isVisible()); // automatic IN/OUT is off
    QString title;
    w.SetDialogRunner([&](QDialog &dialog) {
        title = dialog.windowTitle();
        EXPECT_NE(dynamic_cast<TAutoIO *>(&dialog), nullptr);
        dialog.show();
        dialog.findChild<QCheckBox *>(QStringLiteral("cbenable"))->click();
        dialog.findChild<QTimeEdit *>(QStringLiteral("dtpFrom"))->setTime(QTime(9, 0));
        dialog.findChild<QTimeEdit *>(QStringLiteral("dtpTo"))->setTime(QTime(11, 0));
        dialog.findChild<QPushButton *>(QStringLiteral("Button1"))->click();
        dialog.findChild<QPushButton *>(QStringLiteral("xcancel"))->click();
        return dialog.result();
    });
    w.actLoginExecute();
    Messages().Clear();
    Command(w, "actautoio")->trigger();
    EXPECT_EQ(title, QStringLiteral("Auto IN/OUT Timer"));
    EXPECT_EQ(Messages().Count(), 0) << Messages().Texts().join(u'|').toStdString();
    EXPECT_TRUE(Panel(w)->isVisible());
    EXPECT_EQ(Panel(w)->text(), QStringLiteral("IN"));
    EXPECT_EQ(dsrc->Qiotime.RecordCount(), 1); // the shared schedule read anew

    // Turned off again: the panel goes, and the direction shown stays as it was.
    w.SetDialogRunner([&](QDialog &dialog) {
        dialog.show();
        dialog.findChild<QCheckBox *>(QStringLiteral("cbenable"))->click();
        return QDialog::Rejected; // closed without the Close button
    });
    PinClock(QDateTime(QDate(2026, 3, 5), QTime(11, 0)));
    w.actautoioExecute();
    EXPECT_FALSE(ReadRegBool(QStringLiteral("AutoInOut"), true));
    EXPECT_FALSE(Panel(w)->isVisible());
    EXPECT_EQ(Panel(w)->text(), QStringLiteral("IN"));
}

TEST_F(ScheduleCommandTest, DefineTallyclockTableOpensTheTimeTableFromTheCardManagerMenu)
{
    TTimeRec &w = OpenShown();
    QAction *command = Command(w, "acttimetbl");
    ASSERT_NE(command, nullptr);
    EXPECT_EQ(command->text(), QStringLiteral("Define Tallyclock Table"));
    auto *menu = w.findChild<QMenu *>(QStringLiteral("menuCardManager"));
    ASSERT_NE(menu, nullptr);
    EXPECT_TRUE(menu->actions().contains(command));
    EXPECT_TRUE(menu->menuAction()->isVisible()); // the menu has a command now
    EXPECT_TRUE(w.findChild<QMenu *>(QStringLiteral("menuSetup"))
                    ->actions()
                    .contains(Command(w, "actautoio")));
    EXPECT_EQ(Command(w, "actautoio")->text(), QStringLiteral("Auto IN/OUT Time"));

    int shown = 0;
    w.SetDialogRunner([&](QDialog &dialog) {
        ++shown;
        EXPECT_NE(dynamic_cast<TFmTimeTbl *>(&dialog), nullptr);
        EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Time Table"));
        return QDialog::Rejected;
    });
    EXPECT_FALSE(command->isEnabled()); // logged out
    w.actLoginExecute();
    EXPECT_TRUE(command->isEnabled());
    command->trigger();
    EXPECT_EQ(shown, 1);
}

} // namespace
