// The one-second tick: status clock, automatic IN/OUT by schedule, the panel's override.

#include "deskfixture.h"
#include "testsupport/paramname.h"

namespace {

QDateTime At(int h, int m, int s = 0)
{
    return QDateTime(QDate(2026, 3, 5), QTime(h, m, s));
}

class AutoInOutTest : public DeskCoreTest
{
protected:
    void SetUp() override
    {
        DeskCoreTest::SetUp();
        core = std::make_unique<TDeskCore>(&view, &camera);
    }
    static void Schedule(std::initializer_list<std::pair<const char *, const char *>> windows)
    {
        Exec(QStringLiteral("DELETE FROM iotime"));
        for (const auto &[from, to] : windows)
            Exec(QStringLiteral("INSERT INTO iotime (tfrom, tto) VALUES ('%1', '%2')")
                     .arg(QString::fromLatin1(from), QString::fromLatin1(to)));
        dsrc->Qiotime.Refresh();
    }
    void TickAt(const QDateTime &t)
    {
        PinClock(t);
        core->Timer2Timer();
    }
};

struct ScheduleCase
{
    const char *name;
    bool twoWindows;
    QTime at;
    bool expectIn;
};

class ScheduleDecides : public AutoInOutTest, public ::testing::WithParamInterface<ScheduleCase>
{
};

TEST_P(ScheduleDecides, InsideAWindowIsIn)
{
    const ScheduleCase &c = GetParam();
    WriteRegBool(QStringLiteral("AutoInOut"), true);
    if (c.twoWindows)
        Schedule({{"13:00:00", "17:00:00"}, {"08:00:00", "12:00:00"}});
    else
        Schedule({});
    // Start from the opposite so the tick has to change it.
    core->SetInOutPanel(!c.expectIn);
    TickAt(QDateTime(QDate(2026, 3, 5), c.at));
    EXPECT_EQ(core->AutoIn(), c.expectIn);
    EXPECT_EQ(view.panels.back(), c.expectIn);
}

INSTANTIATE_TEST_SUITE_P(
    Tick, ScheduleDecides,
    ::testing::Values(ScheduleCase{"BeforeFirst", true, QTime(7, 59, 59), false},
                      ScheduleCase{"FirstStart", true, QTime(8, 0), true},
                      ScheduleCase{"Lunch", true, QTime(12, 30), false},
                      ScheduleCase{"FirstEndExcluded", true, QTime(12, 0), false},
                      ScheduleCase{"SecondStart", true, QTime(13, 0), true},
                      ScheduleCase{"SecondEndExcluded", true, QTime(17, 0), false},
                      ScheduleCase{"Evening", true, QTime(23, 59), false},
                      ScheduleCase{"EmptyMorning", false, QTime(9, 0), false},
                      ScheduleCase{"EmptyNoon", false, QTime(12, 0), false}),
    ParamName());

TEST_F(AutoInOutTest, ThePanelChangesAtTheFirstTickOfTheNewMinute)
{
    WriteRegBool(QStringLiteral("AutoInOut"), true);
    Schedule({{"08:00:00", "12:00:00"}, {"13:00:00", "17:00:00"}});
    TickAt(At(12, 59, 58));
    EXPECT_FALSE(core->AutoIn());
    // Within the same minute the schedule is not asked again.
    core->SetInOutPanel(true);
    TickAt(At(12, 59, 59));
    EXPECT_TRUE(core->AutoIn());
    core->SetInOutPanel(false);
    TickAt(At(13, 0, 0));
    EXPECT_TRUE(core->AutoIn());
    TickAt(At(16, 59, 59));
    EXPECT_TRUE(core->AutoIn());
    TickAt(At(17, 0, 0));
    EXPECT_FALSE(core->AutoIn());
}

TEST_F(AutoInOutTest, OverrideHoldsForFiveTicksThenTheScheduleDecides)
{
    WriteRegBool(QStringLiteral("AutoInOut"), true);
    WriteRegBool(QStringLiteral("AutoOverride"), true);
    Schedule({{"08:00:00", "12:00:00"}});
    TickAt(At(12, 30, 0));
    ASSERT_FALSE(core->AutoIn());

    core->IopanelClick();
    EXPECT_TRUE(core->AutoIn());
    EXPECT_EQ(core->OverrideCountdown(), TDeskCore::OverrideTicks);
    // Four ticks, one of them in a new minute: the flipped direction holds.
    for (int s = 1; s <= 4; ++s) {
        TickAt(At(12, 30 + s / 4, s));
        EXPECT_TRUE(core->AutoIn()) << "tick " << s;
    }
    TickAt(At(12, 31, 5));
    EXPECT_FALSE(core->AutoIn());
    EXPECT_EQ(core->OverrideCountdown(), 0);
}

TEST_F(AutoInOutTest, WithoutAutoOverrideAClickDoesNothing)
{
    WriteRegBool(QStringLiteral("AutoInOut"), true);
    Schedule({});
    TickAt(At(10, 0));
    const auto shown = view.panels.size();
    core->IopanelClick();
    EXPECT_FALSE(core->AutoIn());
    EXPECT_EQ(core->OverrideCountdown(), 0);
    EXPECT_EQ(view.panels.size(), shown);
}

TEST_F(AutoInOutTest, WithAutoInOutOffNothingIsRecomputed)
{
    Schedule({{"08:00:00", "12:00:00"}});
    core->SetInOutPanel(false);
    view.panels.clear();
    TickAt(At(9, 0));
    TickAt(At(9, 1));
    core->UpdateAutoInOut(At(9, 2));
    EXPECT_FALSE(core->AutoIn());
    EXPECT_TRUE(view.panels.empty());
}

TEST_F(AutoInOutTest, StatusClockShowsDateAndTime)
{
    TickAt(At(14, 7, 9));
    TickAt(At(0, 0, 0));
    EXPECT_EQ(view.clocks, (QStringList{QStringLiteral("05/Mar/2026 Thu  PM 02:07:09"),
                                        QStringLiteral("05/Mar/2026 Thu  AM 12:00:00")}));
}

// The timer itself: running from StartTimers, one tick a second, stopped by StopTimers.
TEST_F(AutoInOutTest, TimerTicksEverySecond)
{
    core->StartTimers();
    EXPECT_TRUE(SpinUntil([this] { return view.clocks.size() >= 2; }, 3500));
    core->StopTimers();
    const auto n = view.clocks.size();
    SpinFor(1200);
    EXPECT_EQ(view.clocks.size(), n);
}

} // namespace
