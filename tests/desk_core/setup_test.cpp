// Readers set-up from the reader table: configuration, connection, a damaged table, a missing
// device, the door-button caption and reconnection by the tick.

#include "deskfixture.h"

#include "store/utils.h"
#include "testsupport/paramname.h"

namespace {

TEST_F(DeskCoreTest, CopiesTheRowIntoTheReaderAndConnectsIt)
{
    AttachSim(3);
    ReaderRow row;
    row.outport = 5;
    row.bpport = 6;
    row.mode = 2;
    row.desc = QStringLiteral("Loading bay");
    row.locktime = 7;
    row.apb = true;
    row.capture = true;
    row.motion = 4;
    ConfigureReader(3, row);
    StartCore();

    const TRfidReader &r = *Readers[3];
    EXPECT_TRUE(r.Enable());
    EXPECT_TRUE(r.Checked());
    EXPECT_TRUE(r.Connected());
    EXPECT_EQ(r.PortNo(), 3);
    EXPECT_EQ(r.Port(), QStringLiteral("COM3"));
    EXPECT_EQ(r.BaudRate(), br19200);
    EXPECT_EQ(r.Lock(), 5);
    EXPECT_EQ(r.Bypass(), 6);
    EXPECT_EQ(r.Mode(), 2);
    EXPECT_EQ(r.Desc(), QStringLiteral("Loading bay"));
    EXPECT_EQ(r.LockTime(), 7);
    EXPECT_TRUE(r.Apb());
    EXPECT_TRUE(r.Capture());
    EXPECT_EQ(r.Motion(), 4);
    // The shared lookups read the descriptions from the readers.
    EXPECT_EQ(GetPortName(3), QStringLiteral("Loading bay"));
    EXPECT_EQ(GetPortName(1), QStringLiteral("COM1"));
    // Disabled rows stay closed; the reader dataset is closed again.
    EXPECT_FALSE(Readers[1]->Connected());
    EXPECT_FALSE(Readers[1]->Checked());
    EXPECT_FALSE(dsrc->reader.Active());

    core->DisconnectReader(3);
    EXPECT_FALSE(r.Enable());
    EXPECT_TRUE(r.Checked());
    EXPECT_FALSE(r.Connected());
}

TEST_F(DeskCoreTest, EnabledRowOnAMissingDeviceIsSilentlyLeftClosed)
{
    AttachSim(1);
    ConfigureReader(1, ReaderRow{});
    ConfigureReader(4, ReaderRow{});
    WriteRegString(QStringLiteral("COM4Device"), QStringLiteral("/nonexistent/tty-for-test"));
    StartCore();
    EXPECT_FALSE(Readers[4]->Enable());
    EXPECT_TRUE(Readers[4]->Checked());
    EXPECT_FALSE(Readers[4]->Connected());
    EXPECT_TRUE(Readers[1]->Connected()); // the set-up went on
    EXPECT_EQ(messages.Count(), 0);
}

struct TableCase
{
    const char *name;
    const char *sql;
};

class DamagedReaderTable : public DeskCoreTest, public ::testing::WithParamInterface<TableCase>
{
};

TEST_P(DamagedReaderTable, ShowsTheReformatMessageAndConfiguresNothing)
{
    AttachSim(1);
    ConfigureReader(1, ReaderRow{});
    Exec(QString::fromLatin1(GetParam().sql));
    StartCore();
    EXPECT_EQ(messages.Texts(),
              QStringList{QStringLiteral("Database error. Please re-format the database.")});
    EXPECT_EQ(messages.Last().kind, MsgKind::Error);
    for (int n = 1; n <= ReaderPortCount; ++n) {
        EXPECT_FALSE(Readers[n]->Connected()) << n;
        EXPECT_FALSE(Readers[n]->Checked()) << n;
    }
    EXPECT_FALSE(dsrc->reader.Active());
    // Nothing to retry either.
    core->SetReconnectEnabled(true);
    core->Timer2Timer();
    EXPECT_FALSE(Readers[1]->Connected());
}

INSTANTIATE_TEST_SUITE_P(
    Setup, DamagedReaderTable,
    ::testing::Values(TableCase{"SevenRows", "DELETE FROM reader WHERE PORTNO=8"},
                      TableCase{"NineRows", "INSERT INTO reader (PORTNO, ENABLE) VALUES (9, 1)"},
                      TableCase{"Empty", "DELETE FROM reader"}),
    ParamName());

struct DoorCase
{
    const char *name;
    bool store;
    int stored;
    int expectPort;
};

class DoorCaption : public DeskCoreTest, public ::testing::WithParamInterface<DoorCase>
{
};

TEST_P(DoorCaption, NamesTheDoorButtonsReader)
{
    const DoorCase &c = GetParam();
    if (c.store)
        WriteRegInteger(QStringLiteral("DoorOpenPortNo"), c.stored);
    for (int n = 1; n <= ReaderPortCount; ++n) {
        ReaderRow row;
        row.enable = false;
        row.desc = QStringLiteral("Gate %1").arg(n);
        ConfigureReader(n, row);
    }
    StartCore();
    const QString desc = QStringLiteral("Gate %1").arg(c.expectPort);
    EXPECT_EQ(view.captions, QStringList{desc + QStringLiteral("->OPEN")});
    EXPECT_EQ(TDeskCore::DoorOpenPortNo(), c.expectPort);
    EXPECT_EQ(core->DoorButtonCaption(true), desc + QStringLiteral(" -> OPEN"));
}

INSTANTIATE_TEST_SUITE_P(Setup, DoorCaption,
                         ::testing::Values(DoorCase{"Default", false, 0, 1},
                                           DoorCase{"Port6", true, 6, 6},
                                           DoorCase{"Port8", true, 8, 8},
                                           DoorCase{"ZeroFallsBackToPort1", true, 0, 1},
                                           DoorCase{"NegativeFallsBackToPort1", true, -3, 1},
                                           DoorCase{"NineFallsBackToPort1", true, 9, 1}),
                         ParamName());

class ReconnectTest : public DeskCoreTest
{
protected:
    // With the reader table open the tick connects the reader on port again, which then
    // serves swipes.
    void ExpectTheOpenTableReconnects(int port, ReaderSim &sim)
    {
        dsrc->reader.Open();
        core->Timer2Timer();
        EXPECT_TRUE(Readers[port]->Connected());
        EXPECT_TRUE(Readers[port]->Enable());
        dsrc->reader.Close();

        sim.SendCard(77);
        EXPECT_TRUE(WaitForLogRows(1));
        EXPECT_EQ(LastLog("READER").toInt(), port);
        EXPECT_EQ(TextsSettled(sim, 1), std::vector<std::string>{"~N"});
    }
};

TEST_F(ReconnectTest, TickRetriesAFailedPortOnlyWhileTheReaderTableIsOpen)
{
    ConfigureReader(2, ReaderRow{});
    WriteRegString(QStringLiteral("COM2Device"), QStringLiteral("/nonexistent/busy-port"));
    StartCore();
    core->SetReconnectEnabled(true);
    ASSERT_FALSE(Readers[2]->Enable());

    // The device comes back, but the table is closed: nothing is retried.
    ReaderSim &sim = AttachSim(2);
    core->Timer2Timer();
    EXPECT_FALSE(Readers[2]->Connected());

    // A reader dialog opens the table; with reconnection suspended still nothing happens.
    dsrc->reader.Open();
    core->SetReconnectEnabled(false);
    core->Timer2Timer();
    EXPECT_FALSE(Readers[2]->Connected());
    dsrc->reader.Close();

    core->SetReconnectEnabled(true);
    ExpectTheOpenTableReconnects(2, sim);
}

TEST_F(ReconnectTest, AReaderWhoseDeviceHangsUpIsClosedAndRetriedLikeAFailedOne)
{
    ReaderSim &unplugged = AttachSim(2);
    AttachSim(3);
    ConfigureReader(2, ReaderRow{});
    ConfigureReader(3, ReaderRow{});
    StartCore();
    core->SetReconnectEnabled(true);
    ASSERT_TRUE(Readers[2]->Connected());

    // The adapter is pulled: the far end of the line goes away.
    unplugged.Stop();
    EXPECT_TRUE(SpinUntil([] { return !Readers[2]->Connected(); }, 3000));
    EXPECT_FALSE(Readers[2]->Enable());
    EXPECT_TRUE(Readers[2]->Checked());
    EXPECT_TRUE(Readers[3]->Connected()); // the other reader is untouched
    EXPECT_EQ(messages.Count(), 0);

    // Plugged in again: retried as a port that failed to open, once the reader table is open.
    ReaderSim &back = AttachSim(2);
    core->Timer2Timer();
    EXPECT_FALSE(Readers[2]->Connected());
    ExpectTheOpenTableReconnects(2, back);
}

TEST_F(DeskCoreTest, ReadersArrayFollowsTheCoresLife)
{
    EXPECT_EQ(Readers[1], nullptr);
    core = std::make_unique<TDeskCore>();
    for (int n = 1; n <= ReaderPortCount; ++n) {
        ASSERT_NE(Readers[n], nullptr);
        EXPECT_EQ(Readers[n], core->Reader(n));
    }
    EXPECT_EQ(Readers[0], nullptr);
    EXPECT_EQ(core->Reader(0), nullptr);
    EXPECT_EQ(core->Reader(9), nullptr);
    core.reset();
    for (int n = 0; n <= ReaderPortCount; ++n)
        EXPECT_EQ(Readers[n], nullptr);
    EXPECT_EQ(CurrentReaderDescriptions(), nullptr);
}

} // namespace
