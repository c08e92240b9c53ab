#include "store/lighttimer.h"
#include "testsupport/spin.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <gtest/gtest.h>

namespace {

TEST(LightTimer, CreateDefaults)
{
    TLightTimer t;
    EXPECT_FALSE(t.Active());
    EXPECT_EQ(t.Interval(), 1000);
    EXPECT_FALSE(static_cast<bool>(t.OnTimer()));
    EXPECT_EQ(t.Id(), reinterpret_cast<quintptr>(&t));
}

TEST(LightTimer, TicksRepeatedlyWithItselfAsSender)
{
    int ticks = 0;
    TLightTimer *seen = nullptr;
    TLightTimer t(10, [&](TLightTimer *s) {
        ++ticks;
        seen = s;
    });
    ASSERT_TRUE(t.Start());
    SpinFor(120);
    t.Stop(true);
    EXPECT_GE(ticks, 3);
    EXPECT_EQ(seen, &t);
    const int after = ticks;
    SpinFor(50);
    EXPECT_EQ(ticks, after);
}

TEST(LightTimer, StartWithZeroIntervalChangesNothing)
{
    TLightTimer t(0, [](TLightTimer *) {});
    EXPECT_FALSE(t.Start());
    EXPECT_FALSE(t.Active());
}

TEST(LightTimer, ZeroIntervalSuspendsAndNonZeroResumes)
{
    int ticks = 0;
    TLightTimer t(10, [&](TLightTimer *) { ++ticks; });
    ASSERT_TRUE(t.Start());
    t.SetInterval(0);
    EXPECT_TRUE(t.Active());
    EXPECT_FALSE(t.Running());
    SpinFor(5); // let a tick already queued go by
    ticks = 0;
    SpinFor(60);
    EXPECT_EQ(ticks, 0);
    t.SetInterval(10);
    EXPECT_TRUE(t.Running());
    SpinFor(80);
    EXPECT_GE(ticks, 2);
}

TEST(LightTimer, ClearingTheHandlerSuspends)
{
    TLightTimer t(10, [](TLightTimer *) {});
    ASSERT_TRUE(t.Start());
    t.SetOnTimer({});
    EXPECT_TRUE(t.Active());
    EXPECT_FALSE(t.Running());
}

TEST(LightTimer, SingleShotByStoppingInTheHandler)
{
    int ticks = 0;
    TLightTimer t(5, {});
    t.SetOnTimer([&](TLightTimer *s) {
        ++ticks;
        s->Stop(true);
    });
    t.SetEnabled(true);
    SpinFor(60);
    EXPECT_EQ(ticks, 1);
    EXPECT_FALSE(t.Active());
}

TEST(LightTimer, SharedReceiverIsCountedFreedAndMadeAgain)
{
    ASSERT_EQ(TLightTimerHandler::Instance(), nullptr);
    {
        TLightTimer a, b;
        ASSERT_NE(TLightTimerHandler::Instance(), nullptr);
        EXPECT_EQ(TLightTimerHandler::Instance()->RefCount(), 2);
        a.SetInterval(10);
        a.Start();
        b.Start();
        EXPECT_EQ(TLightTimerHandler::Instance()->ActiveCount(), 2);
        b.Stop(true);
        EXPECT_EQ(TLightTimerHandler::Instance()->ActiveCount(), 1);
        EXPECT_FALSE(b.Stop(true)); // nothing left to remove
        EXPECT_EQ(TLightTimerHandler::Instance()->ActiveCount(), 1);
    }
    EXPECT_EQ(TLightTimerHandler::Instance(), nullptr);
    int ticks = 0;
    TLightTimer c(5, [&](TLightTimer *) { ++ticks; });
    ASSERT_NE(TLightTimerHandler::Instance(), nullptr);
    EXPECT_TRUE(c.Start());
    SpinFor(40);
    EXPECT_GE(ticks, 1);
}

} // namespace
