// The exit button: the bypass door, the exit-button row with its snapshot, and the motion
// repeat with what stops it.

#include "deskfixture.h"
#include "testsupport/paramname.h"

namespace {

using Texts_t = std::vector<std::string>;

struct ButtonCase
{
    const char *name;
    int motion;
    int expectRows;
    bool expectRepeat;
};

class ExitButton : public DeskCoreTest, public ::testing::WithParamInterface<ButtonCase>
{
};

TEST_P(ExitButton, OpensTheBypassDoorAndLogsByMotion)
{
    const ButtonCase &c = GetParam();
    const QDateTime t(QDate(2026, 6, 1), QTime(9, 30, 15));
    PinClock(t);
    ReaderSim &sim = AttachSim(1);
    ReaderRow row;
    row.mode = 2;
    row.locktime = 4;
    row.motion = c.motion;
    ConfigureReader(1, row);
    StartCore();

    sim.SendExitButton();
    EXPECT_EQ(TextsSettled(sim, 1), Texts_t{"~Y4"});
    EXPECT_EQ(LogCount(), c.expectRows);
    // The record count is shown anew for each row, as after a swipe.
    EXPECT_EQ(view.recordCounts, c.expectRows);
    EXPECT_EQ(core->ButtonPort(), 1);
    EXPECT_EQ(core->MotionActive(), c.expectRepeat);
    if (c.expectRepeat) {
        EXPECT_EQ(core->MotionIntervalMs(), c.motion * 1000);
    }
    if (c.expectRows == 0) {
        EXPECT_TRUE(camera.names.isEmpty());
        return;
    }
    EXPECT_EQ(LastLog("CARDNO").toInt(), -1);
    EXPECT_EQ(LastLog("MODE").toInt(), 2);
    EXPECT_EQ(LastLog("READER").toInt(), 1);
    EXPECT_EQ(LastLog("LOCK").toInt(), 0);
    EXPECT_EQ(LastLog("SYSTIME").toDateTime(), t);
    // Named with card 0 while the row holds -1; taken whatever the reader's capture flag.
    EXPECT_EQ(camera.names, QStringList{PhotoPath + QStringLiteral("/260601-093015-0.jpg")});
    EXPECT_EQ(camera.qualities, std::vector<int>{100});
    EXPECT_EQ(view.photos, std::vector<int>{0});
    ASSERT_EQ(view.captured.size(), 1u);
    EXPECT_EQ(view.captured[0].first, 0);

    // The release stops the repeat.
    sim.SendExitReleased();
    EXPECT_TRUE(SpinUntil([this] { return !core->MotionActive(); }, 2000));
    EXPECT_EQ(LogCount(), c.expectRows);
}

INSTANTIATE_TEST_SUITE_P(Button, ExitButton,
                         ::testing::Values(ButtonCase{"MotionOff", -1, 0, false},
                                           ButtonCase{"MotionOnce", 0, 1, false},
                                           ButtonCase{"MotionEveryFiveSeconds", 5, 1, true}),
                         ParamName());

TEST_F(DeskCoreTest, BypassOnAnotherReaderSignalsHereAndOpensThere)
{
    ReaderSim &inside = AttachSim(1);
    ReaderSim &door = AttachSim(2);
    ReaderRow row;
    row.bpport = 2;
    ConfigureReader(1, row);
    ReaderRow doorRow;
    doorRow.locktime = 6;
    ConfigureReader(2, doorRow);
    StartCore();
    inside.SendExitButton();
    EXPECT_EQ(TextsSettled(inside, 1), Texts_t{"~y"});
    EXPECT_EQ(TextsSettled(door, 1), Texts_t{"~Y6"});
}

TEST_F(DeskCoreTest, BypassToAClosedReaderOpensNothingButStillLogs)
{
    ReaderSim &inside = AttachSim(1);
    ReaderRow row;
    row.bpport = 2; // port 2 is not enabled
    row.motion = 0;
    ConfigureReader(1, row);
    StartCore();
    inside.SendExitButton();
    EXPECT_TRUE(WaitForLogRows(1));
    EXPECT_EQ(TextsSettled(inside, 0), Texts_t{});
}

// The repeat itself, on a short interval: rows keep coming until a power-up or a release.
TEST_F(DeskCoreTest, MotionRepeatsUntilStopped)
{
    ReaderSim &sim = AttachSim(1);
    ReaderRow row;
    row.motion = 1;
    ConfigureReader(1, row);
    StartCore();

    sim.SendExitButton();
    EXPECT_TRUE(WaitForLogRows(3, 4000)); // the press and two repeats
    sim.SendPowerUp();
    EXPECT_TRUE(SpinUntil([this] { return !core->MotionActive(); }, 2000));
    const int rows = LogCount();
    SpinFor(1500);
    EXPECT_EQ(LogCount(), rows);
    for (int i = 0; i < rows; ++i)
        EXPECT_EQ(dsrc->logs.FieldAt(i, QStringLiteral("CARDNO")).toInt(), -1);
}

TEST_F(DeskCoreTest, APressOnAnotherReaderTakesTheRepeatOver)
{
    ReaderSim &one = AttachSim(1);
    ReaderSim &two = AttachSim(2);
    ReaderRow a;
    a.motion = 5;
    ConfigureReader(1, a);
    ReaderRow b;
    b.motion = 0;
    ConfigureReader(2, b);
    StartCore();
    one.SendExitButton();
    ASSERT_TRUE(WaitForLogRows(1));
    EXPECT_TRUE(core->MotionActive());
    two.SendExitButton();
    ASSERT_TRUE(WaitForLogRows(2));
    EXPECT_EQ(core->ButtonPort(), 2);
    EXPECT_FALSE(core->MotionActive()); // reader 2 asks for one capture only
}

// A release that arrives while the snapshot of the press is awaited wins over the press.
TEST_F(DeskCoreTest, ReleaseDuringTheSnapshotWaitStopsTheRepeat)
{
    ReaderSim &sim = AttachSim(1);
    ReaderRow row;
    row.motion = 5;
    row.capture = true;
    ConfigureReader(1, row);
    StartCore();
    camera.capturing = true; // never reports: the wait lasts its full second
    sim.SendExitButton();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    sim.SendExitReleased();
    ASSERT_TRUE(WaitForLogRows(1));
    SpinUntil([this] { return !view.captured.empty(); }, 3000);
    SpinFor(100);
    EXPECT_FALSE(core->MotionActive());
}

} // namespace
