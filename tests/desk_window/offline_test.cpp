// The offline reader commands of the main window: the manager and the master PIN over a
// simulated reader, with the log grid out of the way meanwhile.

#include "windowfixture.h"

#include "readerlink/offline.h"
#include "testsupport/readersim.h"

#include <QAbstractItemView>
#include <QAction>
#include <QMenu>
#include <QSpinBox>

namespace {
QAction *Named(TTimeRec &w, const char *name)
{
    return w.findChild<QAction *>(QString::fromLatin1(name));
}
} // namespace

class OfflineCommandTest : public WindowTest
{
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        ASSERT_TRUE(m_sim.Start()) << m_sim.ErrorText();
        WriteRegString(QStringLiteral("COM2Device"), QString::fromStdString(m_sim.DevicePath()));
        AddLog(QDateTime(QDate(2026, 1, 5), QTime(8, 0)), 11);
        AddLog(QDateTime(QDate(2026, 1, 5), QTime(9, 0)), 12);
    }
    void TearDown() override
    {
        CloseWindow();
        m_sim.Stop();
        WindowTest::TearDown();
    }
    void EnableReader()
    {
        dsrc->src.Exec(QStringLiteral(
            "UPDATE reader SET ENABLE=1, MODE=1, DESC='Gate', LOCKTIME=3 WHERE PORTNO=2"));
    }
    QAbstractItemView *Grid(TTimeRec &w)
    {
        return w.findChild<QAbstractItemView *>(QStringLiteral("info"));
    }

    ReaderSim m_sim;
};

TEST_F(OfflineCommandTest, CommandsSitInTheOfflineReaderMenuAndAreProtectedInOrder)
{
    TTimeRec &w = OpenWindow();
    const QMenu *menu = w.findChild<QMenu *>(QStringLiteral("menuOfflineReader"));
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->title(), QStringLiteral("Offline Reader"));
    ASSERT_EQ(menu->actions().size(), 2);
    EXPECT_EQ(menu->actions()[0]->text(), QStringLiteral("Offline Reader Manager"));
    EXPECT_EQ(menu->actions()[1]->text(), QStringLiteral("Set Master PIN"));
    QAction *table = Named(w, "actoffline");
    ASSERT_NE(table, nullptr);
    EXPECT_TRUE(table->associatedObjects().isEmpty()) << "on no menu";

    const QList<QAction *> order = w.ProtectedCommands();
    const auto at = [&](const char *name) { return order.indexOf(Named(w, name)); };
    EXPECT_LT(at("actxerasestaffs"), at("actoffline"));
    EXPECT_LT(at("actoffline"), at("actcardinfo"));
    EXPECT_LT(at("acttimetbl"), at("actofflinemgr"));
    EXPECT_LT(at("actofflinemgr"), at("actspeech"));
    EXPECT_LT(at("actspeech"), at("actmasterpin"));
    EXPECT_LT(at("actmasterpin"), at("actWebReporter"));
    w.SetLoggedIn(false);
    EXPECT_FALSE(Named(w, "actofflinemgr")->isEnabled());
    EXPECT_FALSE(Named(w, "actmasterpin")->isEnabled());
}

TEST_F(OfflineCommandTest, NoEnabledReaderShowsTheErrorInsteadOfTheWindow)
{
    TTimeRec &w = OpenShown();
    w.SetLoggedIn(true);
    bool ran = false;
    w.SetDialogRunner([&](QDialog &) {
        ran = true;
        return int(QDialog::Rejected);
    });
    for (const char *name : {"actofflinemgr", "actmasterpin"}) {
        Messages().Clear();
        Named(w, name)->trigger();
        EXPECT_EQ(Messages().Texts(),
                  QStringList{QStringLiteral("No communication port enabled.")});
    }
    EXPECT_FALSE(ran);
    EXPECT_TRUE(Grid(w)->isVisible());
}

TEST_F(OfflineCommandTest, ManagerReadsTheReaderWithTheGridHiddenAndReopensItAtItsLastRow)
{
    EnableReader();
    TTimeRec &w = OpenShown();
    w.SetLoggedIn(true);
    bool gridHidden = false;
    int frames = 0;
    w.SetDialogRunner([&](QDialog &d) {
        gridHidden = !Grid(w)->isVisible();
        frames = int(m_sim.Received().size());
        EXPECT_EQ(d.windowTitle(), QStringLiteral("Offline Reader Manager"));
        return int(QDialog::Rejected);
    });
    AddLog(QDateTime(QDate(2026, 1, 5), QTime(10, 0)), 13);

    Named(w, "actofflinemgr")->trigger();

    EXPECT_TRUE(gridHidden);
    EXPECT_EQ(frames, 9); // lock, seven reads, unlock
    EXPECT_EQ(Messages().Texts(), QStringList{QStringLiteral("Settings are loaded successfully.")});
    EXPECT_TRUE(Grid(w)->isVisible());
    EXPECT_EQ(dsrc->logs.RecNo(), 2);
    EXPECT_EQ(Grid(w)->currentIndex().row(), 2);
}

TEST_F(OfflineCommandTest, SetMasterPinOpensTheReducedWindowWithThePinRead)
{
    EnableReader();
    m_sim.SetSetting(SettingMasterPin, {0x2A, 0x00});
    TTimeRec &w = OpenShown();
    w.SetLoggedIn(true);
    int pin = -1;
    QString title;
    w.SetDialogRunner([&](QDialog &d) {
        title = d.windowTitle();
        pin = d.findChild<QSpinBox *>(QStringLiteral("semasterpin"))->value();
        return int(QDialog::Rejected);
    });

    Named(w, "actmasterpin")->trigger();

    EXPECT_EQ(title, QStringLiteral("Master PIN"));
    EXPECT_EQ(pin, 42);
    EXPECT_TRUE(Messages().Texts().isEmpty());
    EXPECT_TRUE(Grid(w)->isVisible());
}
