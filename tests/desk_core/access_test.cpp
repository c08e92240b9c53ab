// The access decision of a swipe on its own: direction, TIME CLOCK readers, the rights of the
// swiping port and of the lock port, and when anti-passback still has to be asked.

#include "desk/accessdecision.h"
#include "testsupport/paramname.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct AccessCase
{
    const char *name;
    int readerMode; // of the swiping reader, port 1
    int lockPort;
    bool lockApb;
    bool autoInOut;
    bool autoIn;
    bool known;
    std::vector<int> rights;
    // expected
    int direction;
    bool clockReader;
    bool rejectUnknown;
    bool signalClock;
    bool allowed;
    bool checkApb;
    bool rejectRefused;
};

class AccessDecision : public ::testing::TestWithParam<AccessCase>
{
};

TEST_P(AccessDecision, FollowsTheReadersAndTheRights)
{
    const AccessCase &c = GetParam();
    TAccessQuery q;
    q.Port = 1;
    q.ReaderMode = c.readerMode;
    q.LockPort = c.lockPort;
    q.LockApb = c.lockApb;
    q.Direction = DecideDirection(-1, c.readerMode, c.autoInOut, c.autoIn);
    q.Known = c.known;
    for (int p : c.rights)
        q.Rights[p] = true;

    EXPECT_EQ(q.Direction.Direction, c.direction);
    EXPECT_EQ(q.Direction.ClockReader, c.clockReader);
    const TAccessDecision d = DecideAccess(q);
    EXPECT_EQ(d.RejectUnknown, c.rejectUnknown);
    EXPECT_EQ(d.SignalClock, c.signalClock);
    EXPECT_EQ(d.Allowed, c.allowed);
    EXPECT_EQ(d.CheckApb, c.checkApb);
    EXPECT_EQ(d.RejectRefused, c.rejectRefused);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Swipe, AccessDecision,
    ::testing::Values(
        //         name                       mode lock apb   autoIO autoIn known  rights  dir clock  rejUnk sigClk allow  chkApb rejRef
        AccessCase{"KnownAtInReaderOwnLock",    1,  1, false, false, true,  true,  {1},     1, false, false, false, true,  false, true},
        AccessCase{"KnownAtOutReader",          2,  1, false, false, true,  true,  {1},     2, false, false, false, true,  false, true},
        AccessCase{"UnknownCard",               1,  1, false, false, true,  false, {},      1, false, true,  false, false, false, false},
        AccessCase{"UnknownCardAtClockReader",  0,  1, false, false, true,  false, {},      0, true,  true,  false, false, false, false},
        AccessCase{"NoRightOfTheSwipingPort",   1,  1, false, false, true,  true,  {2},     1, false, false, false, false, false, true},
        AccessCase{"LockReaderElsewhere",       1,  2, false, false, true,  true,  {1, 2},  1, false, false, false, true,  false, true},
        AccessCase{"NoRightOfTheLockPort",      1,  2, false, false, true,  true,  {1},     1, false, false, false, false, false, true},
        AccessCase{"RightOfTheLockPortOnly",    1,  2, false, false, true,  true,  {2},     1, false, false, false, false, false, true},
        AccessCase{"NoLock",                    1,  0, false, false, true,  true,  {1},     1, false, false, false, false, false, true},
        AccessCase{"LockOutOfRange",            1,  9, true,  false, true,  true,  {1},     1, false, false, false, false, false, true},
        AccessCase{"ClockReaderSignalsOnly",    0,  1, true,  false, true,  true,  {1},     0, true,  false, true,  false, false, false},
        AccessCase{"ClockReaderWithoutRights",  0,  1, false, false, true,  true,  {},      0, true,  false, true,  false, false, false},
        AccessCase{"ClockReaderAutoIn",         0,  1, true,  true,  true,  true,  {1},     1, true,  false, true,  false, false, false},
        AccessCase{"ClockReaderAutoOut",        0,  1, false, true,  false, true,  {1},     2, true,  false, true,  false, false, false},
        AccessCase{"AutoInOutLeavesInReader",   1,  1, false, true,  false, true,  {1},     1, false, false, false, true,  false, true},
        AccessCase{"AntiPassbackAsked",         1,  1, true,  false, true,  true,  {1},     1, false, false, false, true,  true,  true},
        AccessCase{"AntiPassbackNotAskedWhenRefused",
                                                1,  2, true,  false, true,  true,  {1},     1, false, false, false, false, false, true},
        AccessCase{"AntiPassbackOff",           2,  1, false, false, true,  true,  {1},     2, false, false, false, true,  false, true}),
    ParamName());
// clang-format on

TEST(SwipeDirection, AStoredSwipeKeepsItsOwnDirectionAndIsNoClockReader)
{
    for (int cmode : {0, 1, 2}) {
        const TSwipeDirection d = DecideDirection(cmode, 0, true, true);
        EXPECT_EQ(d.Direction, cmode);
        EXPECT_FALSE(d.ClockReader);
    }
}

} // namespace
