// The offline reader commands of the main window: the manager and the master PIN over a
// simulated reader, with the log grid out of the way meanwhile.

#include "windowfixture.h"

#include "readerlink/offline.h"
#include "testsupport/commandlookup.h"
#include "testsupport/readersim.h"
#include "testsupport/spin.h"

#include <QAbstractItemView>
#include <QAction>
#include <QMenu>
#include <QSpinBox>
#include <QTimer>

namespace {
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

TEST_F(OfflineCommandTest, CommandsSitInTheOfflineReaderMenuAndAreProtected)
{
    TTimeRec &w = OpenWindow();
    const QMenu *menu = w.findChild<QMenu *>(QStringLiteral("menuOfflineReader"));
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->title(), QStringLiteral("Offline Reader"));
    ASSERT_EQ(menu->actions().size(), 2);
    EXPECT_EQ(menu->actions()[0]->text(), QStringLiteral("Offline Reader Manager"));
    EXPECT_EQ(menu->actions()[1]->text(), QStringLiteral("Set Master PIN"));
    QAction *table = Command(w, "actoffline");
    ASSERT_NE(table, nullptr);
    EXPECT_TRUE(table->associatedObjects().isEmpty()) << "on no menu";

    w.SetLoggedIn(false);
    EXPECT_FALSE(Command(w, "actofflinemgr")->isEnabled());
    EXPECT_FALSE(Command(w, "actmasterpin")->isEnabled());
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
        Command(w, name)->trigger();
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

    Command(w, "actofflinemgr")->trigger();

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

    Command(w, "actmasterpin")->trigger();

    EXPECT_EQ(title, QStringLiteral("Master PIN"));
    EXPECT_EQ(pin, 42);
    EXPECT_TRUE(Messages().Texts().isEmpty());
    EXPECT_TRUE(Grid(w)->isVisible());
}

// A download writes into the log between its waits: while it runs, Exit waits for its end and
// the commands that close or replace the databases are refused, as for the other long work.
TEST_F(OfflineCommandTest, DownloadHoldsTheLongWorkSoExitAndTheDatabaseCommandsWait)
{
    EnableReader();
    for (int n = 0; n < 5; ++n)
        m_sim.AddLog(0x00, 100 + n, ReaderSim::PackTime({2026, 1, 6, 8, n, 0}));
    m_sim.SetCommandDelay(CmdFetchRecord, 60);
    TTimeRec &w = OpenShown();
    w.SetLoggedIn(true);
    const char *const names[] = {"actdelete",    "actRstLogs",   "actRstSys",
                                 "actImportLog", "actImportSys", "xdelete"};
    bool seen = false;
    bool refused = true;
    bool openDuring = true;
    QTimer watcher;
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        if (!w.LongWorkRunning())
            return;
        openDuring = openDuring && dsrc->att.IsOpen() && dsrc->logs.Active();
        if (seen)
            return;
        seen = true;
        for (const char *name : names)
            refused = refused && !Command(w, name)->isEnabled();
        // Called all the same: no dialog, no box (either would show in the messages).
        w.actdeleteExecute();
        w.actRstLogsExecute();
        w.actRstSysExecute();
        w.actImportLogExecute();
        w.actImportSysExecute();
        w.xexitClick();
    });
    int rowsAfter = -1;
    bool openAfter = false;
    w.SetDialogRunner([&](QDialog &d) {
        auto &dialog = static_cast<TDlgOffline &>(d);
        Messages().Clear();
        watcher.start(5);
        dialog.bdownloadClick();
        watcher.stop();
        openAfter = dsrc->att.IsOpen();
        if (openAfter)
            rowsAfter = Count(dsrc->att, QStringLiteral("recorder"));
        return int(QDialog::Rejected);
    });

    Command(w, "actofflinemgr")->trigger();

    ASSERT_TRUE(seen) << "the download was not held as long work";
    EXPECT_TRUE(refused);
    EXPECT_TRUE(openDuring);
    EXPECT_TRUE(openAfter);
    EXPECT_EQ(rowsAfter, 2 + 5);
    EXPECT_EQ(Messages().Texts(),
              QStringList{QStringLiteral("Added = 5, Duplicated = 0, Invalid = 0")});
    EXPECT_TRUE(m_sim.Logs().empty());
    // The Exit asked for meanwhile happens once the download is over.
    EXPECT_TRUE(SpinUntil([] { return !dsrc->att.IsOpen(); }, 3000));
}
