// The desk beeps through the beep hook for every swipe it answers live, and not for a swipe a
// reader stored while nobody was watching.

#include "deskfixture.h"

#include "store/beep.h"

namespace {

int g_beeps = 0;

void countBeep()
{
    ++g_beeps;
}

class DeskBeepTest : public DeskCoreTest
{
protected:
    void SetUp() override
    {
        DeskCoreTest::SetUp();
        g_beeps = 0;
        m_previous = SetBeepHook(&countBeep);
    }

    void TearDown() override
    {
        SetBeepHook(m_previous);
        DeskCoreTest::TearDown();
    }

    TBeepHook m_previous = nullptr;
};

TEST_F(DeskBeepTest, ALiveSwipeBeepsOnceAStoredOneNever)
{
    constexpr int Known = 4711, Unknown = 99;
    const struct Case
    {
        const char *name;
        int card;
        bool stored;
        int beeps;
    } cases[] = {
        {"a card with the right to pass", Known, false, 1},
        {"a card nobody holds", Unknown, false, 1},
        {"a stored swipe", Known, true, 0},
    };
    ReaderSim &sim = AttachSim(1);
    ConfigureReader(1, Row(1, 1));
    AddStaff({.card = Known, .name = QStringLiteral("Alice"), .ports = {1}});
    StartCore();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        g_beeps = 0;
        sim.ClearReceived();
        const int before = LogCount();
        if (c.stored)
            sim.SendStoredCard(c.card, true, 1, ReaderSim::Time{2025, 11, 30, 7, 45, 12});
        else
            sim.SendCard(c.card);
        ASSERT_TRUE(WaitForLogRows(before + 1));
        TextsSettled(sim, 1);
        EXPECT_EQ(g_beeps, c.beeps);
    }
}

} // namespace
