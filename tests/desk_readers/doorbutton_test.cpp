// The main window's reader commands: the door button and the tray's "Open Door", the "Door Open
// Button" set-up and its dialog, and "Readers" with the readers it sets up again.

#include "desk_window/windowfixture.h"
#include "readerlink/dlgdoor.h"
#include "readerlink/editcomm.h"
#include "readerlink/reader.h"
#include "readerlink/setup.h"
#include "store/settings.h"
#include "testsupport/commandlookup.h"
#include "testsupport/paramname.h"
#include "testsupport/readersim.h"
#include "testsupport/simports.h"
#include "testsupport/spin.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSettings>

#include <map>
#include <string>
#include <vector>

namespace {

using Texts_t = std::vector<std::string>;

class ReaderCommandTest : public WindowTest
{
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        ASSERT_TRUE(Data().IsValid());
        PointPortsNowhere();
    }
    void TearDown() override
    {
        CloseWindow();
        for (auto &[port, sim] : sims)
            sim->Stop();
        sims.clear();
        WindowTest::TearDown();
    }

    // A simulated reader on the port, enabled in the table as an IN door that is its own lock.
    ReaderSim &AttachReader(int port, int lockTime, int lock = -1)
    {
        ReaderSim &sim = AttachSimToPort(sims, port);
        dsrc->src.Exec(QStringLiteral("UPDATE reader SET ENABLE=1, MODE=1, OUTPORT=%1, "
                                      "LOCKTIME=%2, DESC='Door %3' WHERE PORTNO=%3")
                           .arg(lock < 0 ? port : lock)
                           .arg(lockTime)
                           .arg(port));
        return sim;
    }

    static Texts_t Texts(const ReaderSim &sim) { return SimTexts(sim); }
    static Texts_t TextsSettled(const ReaderSim &sim, std::size_t n)
    {
        SpinUntil([&] { return Texts(sim).size() >= n; }, 3000);
        SpinFor(150);
        return Texts(sim);
    }

    static QPushButton *DoorButton(TTimeRec &w)
    {
        return w.findChild<QPushButton *>(QStringLiteral("bDoorOpen"));
    }

    SimsByPort sims;
};

struct DoorCase
{
    const char *name;
    int storedPort;
    int expectPort;
};

void PrintTo(const DoorCase &c, std::ostream *os)
{
    *os << c.name;
}

class DoorButtonPress : public ReaderCommandTest, public ::testing::WithParamInterface<DoorCase>
{
};

TEST_P(DoorButtonPress, ReleasesTheChosenRelayAndWritesNoRow)
{
    const DoorCase &c = GetParam();
    ReaderSim &one = AttachReader(1, 3);
    // Its own card action names reader 1: the button still opens this reader's relay.
    ReaderSim &three = AttachReader(3, 5, 1);
    WriteRegBool(Setting::DoorOpenEnable, true);
    WriteRegInteger(Setting::DoorOpenPortNo, c.storedPort);
    TTimeRec &w = OpenWindow();
    ASSERT_FALSE(w.IsLoggedIn()); // works logged out
    const int rows = dsrc->logs.RecordCount();
    const std::string expect = c.expectPort == 3 ? "~Y5" : "~Y3";
    ReaderSim &chosen = c.expectPort == 3 ? three : one;
    ReaderSim &other = c.expectPort == 3 ? one : three;

    DoorButton(w)->click();
    EXPECT_EQ(TextsSettled(chosen, 1), Texts_t{expect});
    QAction *openDoor = Command(w, "popOpenDoor");
    ASSERT_TRUE(openDoor->isEnabled());
    openDoor->trigger();
    EXPECT_EQ(TextsSettled(chosen, 2), (Texts_t{expect, expect}));
    EXPECT_TRUE(Texts(other).empty());
    EXPECT_EQ(dsrc->logs.RecordCount(), rows);
    EXPECT_EQ(Messages().Count(), 0);
}

INSTANTIATE_TEST_SUITE_P(Door, DoorButtonPress,
                         ::testing::Values(DoorCase{"ChosenPort", 3, 3},
                                           DoorCase{"DamagedSettingCountsAsPortOne", 12, 1}),
                         ParamName());

TEST_F(ReaderCommandTest, DoorButtonOnAClosedPortSendsNothing)
{
    ReaderSim &one = AttachReader(1, 3);
    WriteRegBool(Setting::DoorOpenEnable, true);
    WriteRegInteger(Setting::DoorOpenPortNo, 2); // enabled in no row: its port stays closed
    TTimeRec &w = OpenWindow();
    DoorButton(w)->click();
    SpinFor(200);
    EXPECT_TRUE(Texts(one).empty());
    EXPECT_EQ(Messages().Count(), 0);
}

TEST_F(ReaderCommandTest, TrayOpenDoorFollowsTheButtonAlsoWhenStartedHidden)
{
    AttachReader(2, 4);
    struct Case
    {
        const char *name;
        bool enable, hidden;
    };
    for (const Case c : {Case{"Off", false, false}, Case{"OnShown", true, false},
                         Case{"OnStartedInTheTray", true, true}}) {
        SCOPED_TRACE(c.name);
        WriteRegBool(Setting::DoorOpenEnable, c.enable);
        WriteRegInteger(Setting::DoorOpenPortNo, 2);
        WriteRegBool(Setting::HideOnStartup, c.hidden);
        TTimeRec &w = OpenWindow();
        EXPECT_EQ(w.StartupShowMainForm(), !c.hidden);
        EXPECT_EQ(Command(w, "popOpenDoor")->isEnabled(), c.enable);
        EXPECT_EQ(DoorButton(w)->text(), QStringLiteral("Door 2 -> OPEN"));
        QStringList tray;
        for (QAction *a : w.TrayMenu()->actions())
            tray << (a->isSeparator() ? QStringLiteral("-") : a->text());
        EXPECT_EQ(tray, (QStringList{QStringLiteral("About Tallyclock"), QStringLiteral("-"),
                                     QStringLiteral("Login"), QStringLiteral("-"),
                                     QStringLiteral("Open Door"), QStringLiteral("-"),
                                     QStringLiteral("Show Tallyclock"), QStringLiteral("-"),
                                     QStringLiteral("Exit")}));
        CloseWindow();
    }
}

TEST_F(ReaderCommandTest, DoorOpenButtonCommandShowsAndCaptionsTheButton)
{
    AttachReader(2, 4);
    AttachReader(5, 2);
    TTimeRec &w = OpenWindow();
    w.actLoginExecute();
    Messages().Clear();
    int shown = 0;
    const auto answer = [&shown](bool enable, int entry, bool ok) {
        return [&shown, enable, entry, ok](QDialog &dialog) {
            auto *door = qobject_cast<TdlgDoorOpen *>(&dialog);
            EXPECT_NE(door, nullptr);
            if (!door)
                return int(QDialog::Rejected);
            ++shown;
            EXPECT_EQ(door->windowTitle(), QStringLiteral("Setup Door Open Button"));
            EXPECT_EQ(door->Ports(), (QList<int>{2, 5}));
            auto *list = door->findChild<QComboBox *>(QStringLiteral("cbPortList"));
            EXPECT_EQ(list->itemText(1), QStringLiteral("Door 5"));
            door->findChild<QCheckBox *>(QStringLiteral("cbEnable"))->setChecked(enable);
            list->setCurrentIndex(entry);
            if (!ok)
                return int(QDialog::Rejected);
            door->OKBtnClick();
            return door->result();
        };
    };

    w.SetDialogRunner(answer(true, 1, true));
    Command(w, "actDoorOpen")->trigger();
    EXPECT_EQ(shown, 1);
    EXPECT_TRUE(ReadRegBool(Setting::DoorOpenEnable));
    EXPECT_EQ(ReadRegInteger(Setting::DoorOpenPortNo), 5);
    EXPECT_FALSE(DoorButton(w)->isHidden());
    EXPECT_EQ(DoorButton(w)->text(), QStringLiteral("Door 5->OPEN"));
    EXPECT_TRUE(Command(w, "popOpenDoor")->isEnabled());

    // Cancel changes nothing.
    w.SetDialogRunner(answer(false, 0, false));
    Command(w, "actDoorOpen")->trigger();
    EXPECT_EQ(ReadRegInteger(Setting::DoorOpenPortNo), 5);
    EXPECT_FALSE(DoorButton(w)->isHidden());

    w.SetDialogRunner(answer(false, 0, true));
    Command(w, "actDoorOpen")->trigger();
    EXPECT_FALSE(ReadRegBool(Setting::DoorOpenEnable));
    EXPECT_EQ(ReadRegInteger(Setting::DoorOpenPortNo), 2);
    EXPECT_TRUE(DoorButton(w)->isHidden());
    EXPECT_EQ(DoorButton(w)->text(), QStringLiteral("Door 2->OPEN"));
    EXPECT_FALSE(Command(w, "popOpenDoor")->isEnabled());
    EXPECT_EQ(shown, 3);
    EXPECT_EQ(Messages().Count(), 0);
}

TEST_F(ReaderCommandTest, DoorDialogListsOnlyReadersInUse)
{
    struct Case
    {
        const char *name;
        std::vector<int> readers; // ports with a reader that opens
        int stored;               // -1: nothing stored
        QList<int> ports;
        int selected;
        int storedAfterOk; // -1: still nothing stored
    };
    for (const Case &c : {Case{"NoReaderInUseStoresOnlyTheSwitch", {}, -1, {}, -1, -1},
                          Case{"StoredPortIsSelected", {3, 6}, 6, {3, 6}, 1, 6},
                          Case{"StoredPortNotInUseGivesTheFirstEntry", {3, 6}, 4, {3, 6}, 0, 3},
                          Case{"NothingStoredGivesTheFirstEntry", {6}, -1, {6}, 0, 6}}) {
        SCOPED_TRACE(c.name);
        for (auto &[port, sim] : sims)
            sim->Stop();
        sims.clear();
        dsrc->src.Exec(QStringLiteral("UPDATE reader SET ENABLE=0"));
        for (int port : c.readers)
            AttachReader(port, 1);
        {
            QSettings settings(QStringLiteral("ZUVI"), QStringLiteral("Tallyclock"));
            settings.remove(QString::fromLatin1(Setting::DoorOpenPortNo.Key));
        }
        if (c.stored >= 0)
            WriteRegInteger(Setting::DoorOpenPortNo, c.stored);
        WriteRegBool(Setting::DoorOpenEnable, false);
        TTimeRec &w = OpenWindow();
        {
            TdlgDoorOpen door(&w);
            EXPECT_EQ(door.Ports(), c.ports);
            auto *list = door.findChild<QComboBox *>(QStringLiteral("cbPortList"));
            EXPECT_EQ(list->currentIndex(), c.selected);
            door.findChild<QCheckBox *>(QStringLiteral("cbEnable"))->setChecked(true);
            door.OKBtnClick();
            EXPECT_EQ(door.result(), QDialog::Accepted);
        }
        EXPECT_TRUE(ReadRegBool(Setting::DoorOpenEnable));
        EXPECT_EQ(ReadRegInteger(Setting::DoorOpenPortNo.WithDefault(-1)), c.storedAfterOk);
        CloseWindow();
    }
}

TEST_F(ReaderCommandTest, ReadersCommandSuspendsReconnectionAndSetsUpWhatChanged)
{
    ReaderSim &two = AttachReader(2, 4);
    dsrc->src.Exec(QStringLiteral("UPDATE reader SET ENABLE=0 WHERE PORTNO=2"));
    TTimeRec &w = OpenWindow();
    w.actLoginExecute();
    Messages().Clear();
    ASSERT_TRUE(w.Core()->ReconnectEnabled());
    ASSERT_FALSE(Readers[2]->Connected());

    // "Confirm" after enabling port 2 in its editor: only that reader is set up again.
    bool suspended = false;
    w.SetDialogRunner([&suspended](QDialog &dialog) {
        auto *setup = qobject_cast<TSetReader *>(&dialog);
        EXPECT_NE(setup, nullptr);
        if (!setup)
            return int(QDialog::Rejected);
        suspended = !TimeRec->Core()->ReconnectEnabled();
        setup->SetDialogRunner([](QDialog &editor) {
            editor.findChild<QCheckBox *>(QStringLiteral("cbenable"))->setChecked(true);
            editor.findChild<QLineEdit *>(QStringLiteral("xtext"))
                ->setText(QStringLiteral("Staff door"));
            return int(QDialog::Accepted);
        });
        setup->Model()->SetCurrentRow(1); // port 2: the table keeps port order here
        setup->Button2Click();
        setup->Button1Click();
        return setup->result();
    });
    Command(w, "actreaders")->trigger();
    EXPECT_TRUE(suspended);
    EXPECT_TRUE(w.Core()->ReconnectEnabled());
    EXPECT_TRUE(Readers[2]->Enable());
    EXPECT_TRUE(Readers[2]->Connected());
    EXPECT_EQ(Readers[2]->Desc(), QStringLiteral("Staff door"));
    EXPECT_FALSE(dsrc->reader.Active());

    // "Enable All": every reader is set up again from the table.
    w.SetDialogRunner([](QDialog &dialog) {
        auto *setup = qobject_cast<TSetReader *>(&dialog);
        setup->bEnableAllClick();
        return setup->result();
    });
    ReaderSim &seven = AttachReader(7, 1);
    dsrc->src.Exec(QStringLiteral("UPDATE reader SET ENABLE=0 WHERE PORTNO=7"));
    Command(w, "actreaders")->trigger();
    EXPECT_TRUE(w.Core()->ReconnectEnabled());
    for (int port = 1; port <= ReaderPortCount; ++port) {
        SCOPED_TRACE(port);
        EXPECT_EQ(Readers[port]->Enable(), port == 2 || port == 7);
    }
    (void)two;
    (void)seven;
    EXPECT_EQ(Messages().Count(), 0);
}

} // namespace
