// The reader as a serial component: its line set-up, and what its senders do on a closed port.

#include "readerfixture.h"
#include "testsupport/paramname.h"

namespace {

TEST(ReaderSetup, CreatesWithReaderDefaultsAndAppliesItsPort)
{
    TRfidReader r;
    EXPECT_EQ(r.FlowControl()->ControlRTS(), rtsDisable);
    EXPECT_EQ(r.LockTime(), 1);
    EXPECT_EQ(r.ID(), 0);
    EXPECT_FALSE(r.PktMode());
    EXPECT_FALSE(r.Connected());
    r.SetPortNo(7);
    r.ApplyPortNo();
    EXPECT_EQ(r.Port(), QStringLiteral("COM7"));
    EXPECT_EQ(r.BaudRate(), br19200);
}

TEST(ReaderSetup, MotionQueries)
{
    struct Row
    {
        int motion;
        bool used, timed;
    } rows[] = {{-1, false, false}, {0, true, false}, {5, true, true}};
    for (const Row &row : rows) {
        TRfidReader r;
        r.SetMotion(row.motion);
        EXPECT_EQ(r.IsMotionUsed(), row.used) << row.motion;
        EXPECT_EQ(r.IsMotionTimed(), row.timed) << row.motion;
    }
}

TEST(ReaderSetup, InputSizeIsLoweredToEven)
{
    TRfidReader r;
    r.Buffer()->SetInputSize(1025);
    EXPECT_EQ(r.Buffer()->InputSize(), 1024);
}

struct ClosedSender
{
    const char *name;
    std::function<void(TRfidReader &)> send;
};

class ClosedPortTest : public ::testing::TestWithParam<ClosedSender>
{
};

TEST_P(ClosedPortTest, SendsNothingAndChangesNothing)
{
    TRfidReader r;
    r.SetResponsed(true);
    ASSERT_NO_THROW(GetParam().send(r));
    EXPECT_FALSE(r.PktMode());
    EXPECT_FALSE(r.PktTimeout());
    EXPECT_TRUE(r.Responsed());
    SpinFor(ReaderReplyWait + 100); // no reply wait was started either
    EXPECT_FALSE(r.PktTimeout());
}

INSTANTIATE_TEST_SUITE_P(
    Senders, ClosedPortTest,
    ::testing::Values(
        ClosedSender{"SendPacket", [](TRfidReader &r) { r.SendPacket(LockPayload(0, true)); }},
        ClosedSender{"SendPacketTimeout",
                     [](TRfidReader &r) { r.SendPacketTimeout(LockPayload(0, true), 100); }},
        ClosedSender{"SendData", [](TRfidReader &r) { r.SendData(NewReaderPage()); }},
        ClosedSender{"SendLock", [](TRfidReader &r) { r.SendLock(true); }},
        ClosedSender{"SendClock", [](TRfidReader &r) { r.SendClock(); }},
        ClosedSender{"SendOpenLock", [](TRfidReader &r) { r.SendOpenLock(); }},
        ClosedSender{"SendLowerY", [](TRfidReader &r) { r.SendLowerY(); }},
        ClosedSender{"SendAccept", [](TRfidReader &r) { r.SendAccept(); }},
        ClosedSender{"SendReject", [](TRfidReader &r) { r.SendReject(); }},
        ClosedSender{"SendQueryModel", [](TRfidReader &r) { r.SendQueryModel(); }},
        ClosedSender{"SendClearCards", [](TRfidReader &r) { r.SendClearCards(); }},
        ClosedSender{"SendAddCard", [](TRfidReader &r) { r.SendAddCard(1); }}),
    ParamName());

using ReaderPortTest = ReaderLinkTest;

TEST_F(ReaderPortTest, ClosedAfterSendKeepsThePendingWait)
{
    sim.SetSilent(true);
    reader.SendPacket(LockPayload(0, true));
    ASSERT_TRUE(reader.PktMode());
    ASSERT_TRUE(sim.WaitForFrames(1, 2000)); // read before the close purges the line
    reader.SetConnected(false);
    reader.SendPacket(LockPayload(0, false));
    EXPECT_TRUE(reader.PktMode()); // keeps its value; the running wait still ends it
    ASSERT_TRUE(SpinUntil([&] { return !reader.PktMode(); }, 2000));
    EXPECT_TRUE(reader.PktTimeout());
    EXPECT_EQ(sim.Received().size(), 1u);
}

TEST_F(ReaderPortTest, SyncMethodCannotChangeWhileOpen)
{
    try {
        reader.SetSyncMethod(smNone);
        FAIL() << "no ESerialPort";
    } catch (const ESerialPort &e) {
        EXPECT_EQ(e.ErrorIndex(), 14);
        EXPECT_EQ(e.Message(), QStringLiteral("Cannot set property while connected"));
    }
    EXPECT_EQ(reader.SyncMethod(), smThreadSync);
    // and the reader still works after it
    sim.SendCard(12);
    ASSERT_TRUE(SpinUntil([&] { return !cards.empty(); }, 2000));
}

TEST_F(ReaderPortTest, ReopenResetsAHalfFrame)
{
    sim.SendRaw(Hex({0xF5, 0x06, 0x00, 0x00}));
    SpinFor(50);
    reader.SetConnected(false);
    reader.SetConnected(true);
    // the rest of the old frame and a fresh card: only the fresh card counts
    sim.SendRaw(Hex({0x00, 0x00, 0x01, 0xFF, 0xFA}));
    sim.SendCard(21);
    ASSERT_TRUE(SpinUntil([&] { return !cards.empty(); }, 2000));
    SpinFor(100);
    ASSERT_EQ(cards.size(), 1u);
    EXPECT_EQ(cards[0].code, 21);
}

} // namespace
