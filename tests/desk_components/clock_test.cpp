// The painted analogue clock: its geometry, the face it paints and when it repaints.

#include "desk/clock.h"
#include "store/clock.h"
#include "testsupport/paramname.h"

#include <QCoreApplication>
#include <QEvent>
#include <QImage>
#include <QPainter>
#include <QWidget>
#include <gtest/gtest.h>

namespace {

struct PointCase
{
    const char *name;
    int angle;
    QPoint expected;
};

class ClockPointAt : public ::testing::TestWithParam<PointCase>
{
};

// Centre (100, 100), distance 100.
TEST_P(ClockPointAt, LiesInTheRightQuarterWithTruncatedOffsets)
{
    EXPECT_EQ(ClockPoint(GetParam().angle, 100, 100, 100), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Quarters, ClockPointAt,
                         ::testing::Values(PointCase{"TwelveOClock", 0, {100, 0}},
                                           PointCase{"HalfPastOne", 90, {170, 30}},
                                           PointCase{"ThreeOClock", 180, {200, 100}},
                                           PointCase{"HalfPastFour", 270, {170, 170}},
                                           PointCase{"SixOClock", 360, {100, 200}},
                                           PointCase{"HalfPastSeven", 450, {30, 170}},
                                           PointCase{"NineOClock", 540, {0, 100}},
                                           PointCase{"HalfPastTen", 630, {30, 30}}),
                         ParamName());

TEST(ClockAngles, WrapAroundTheFullTurn)
{
    EXPECT_EQ(ClockAngleAdd(700, 30), 10);
    EXPECT_EQ(ClockAngleAdd(360, 360), 0);
    EXPECT_EQ(ClockAngleAdd(100, 200), 300);
    EXPECT_EQ(ClockAngleSub(10, 30), 700);
    EXPECT_EQ(ClockAngleSub(30, 10), 20);
    EXPECT_EQ(ClockAngleSub(0, 240), 480);
}

TEST(ClockHands, HalfPastThreeOnASquareBoxOfTwoHundred)
{
    const QTime time(3, 30, 0);
    EXPECT_EQ(ClockHandAngle(ClockHand::Hour, time), 210);
    EXPECT_EQ(ClockHandAngle(ClockHand::Minute, time), 360);
    EXPECT_EQ(ClockHandAngle(ClockHand::Second, time), 0);
    EXPECT_EQ(ClockHandAngle(ClockHand::Hour, QTime(15, 30, 0)), 210) << "hours are mod 12";

    // r = 100: back, left side, tip, right side.
    EXPECT_EQ(ClockHandPolygon(ClockHand::Minute, time, 100, 100, 100),
              QPolygon({QPoint(100, 84), QPoint(104, 102), QPoint(100, 180), QPoint(96, 102)}));
    EXPECT_EQ(ClockHandPolygon(ClockHand::Hour, time, 100, 100, 100).at(2), QPoint(157, 115))
        << "hour tip at 60";
    EXPECT_EQ(ClockHandPolygon(ClockHand::Second, time, 100, 100, 100),
              QPolygon({QPoint(100, 120), QPoint(99, 96), QPoint(100, 0), QPoint(101, 96)}));
}

QImage blackBox(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::black);
    return image;
}

TEST(ClockFace, PaintsHourMarksAndHandsInGrey)
{
    QImage image = blackBox(200, 200);
    {
        QPainter painter(&image);
        // The second hand points at 8 o'clock, out of the way of the probes below.
        PaintClockFace(painter, 200, 200, QTime(3, 0, 40));
    }
    const QRgb grey = qRgb(0x80, 0x80, 0x80);
    const QRgb black = qRgb(0, 0, 0);
    struct Probe
    {
        const char *what;
        QPoint at;
        QRgb colour;
    };
    const Probe probes[] = {
        {"mark at 12 (85 to 95 from the centre)", {100, 10}, grey},
        {"mark at 6", {100, 190}, grey},
        {"mark at 9", {10, 100}, grey},
        {"inside the mark ring, no mark at 12:30", {125, 10}, black},
        {"beyond the marks", {100, 2}, black},
        {"hour hand towards 3", {140, 100}, grey},
        {"beyond the hour hand's tip at 60", {170, 100}, black},
        {"minute hand towards 12", {100, 50}, grey},
        {"beyond the minute hand's tip at 80", {100, 17}, black},
        {"nothing towards 6 beyond the backs", {100, 150}, black},
        {"nothing towards 9 beyond the hour hand's back", {60, 100}, black},
    };
    for (const Probe &p : probes)
        EXPECT_EQ(image.pixel(p.at), p.colour) << p.what;
}

TEST(ClockFace, UsesTheSmallerHalfOfAWideBox)
{
    QImage image = blackBox(300, 100); // r = 50 about (150, 50)
    {
        QPainter painter(&image);
        PaintClockFace(painter, 300, 100, QTime(12, 0, 0));
    }
    EXPECT_EQ(image.pixel(105, 50), qRgb(0x80, 0x80, 0x80)) << "mark at 9, 45 from the centre";
    EXPECT_EQ(image.pixel(240, 50), qRgb(0, 0, 0)) << "no mark at 3 beyond the radius";
    EXPECT_EQ(image.pixel(195, 50), qRgb(0x80, 0x80, 0x80)) << "mark at 3";
}

// Counts the paint events a widget receives.
class PaintCounter : public QObject
{
public:
    int paints = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

class TClockTest : public ::testing::Test
{
protected:
    void TearDown() override { PinClock(QDateTime()); }
    void settle()
    {
        for (int i = 0; i < 5; ++i)
            QCoreApplication::processEvents();
    }
};

TEST_F(TClockTest, BeforeTheFirstTickTheFaceShowsTwelveOClock)
{
    QWidget box;
    box.resize(120, 120);
    box.setAutoFillBackground(true);
    QPalette palette = box.palette();
    palette.setColor(QPalette::Window, Qt::black);
    box.setPalette(palette);
    TClock clock(&box, &box);
    EXPECT_EQ(clock.LastSeen(), QTime(0, 0, 0));

    QImage shown = blackBox(120, 120);
    box.render(&shown);
    QImage expected = blackBox(120, 120);
    {
        QPainter painter(&expected);
        PaintClockFace(painter, 120, 120, QTime(12, 0, 0));
    }
    EXPECT_EQ(shown, expected);
}

TEST_F(TClockTest, RepaintsOnlyWhenTheSecondChanges)
{
    QWidget box;
    box.resize(100, 100);
    box.show();
    TClock clock(&box, &box);
    EXPECT_TRUE(clock.Active());
    PaintCounter counter;
    box.installEventFilter(&counter);
    const QDate day(2026, 6, 1);
    PinClock(QDateTime(day, QTime(10, 0, 0, 200)));
    settle();
    counter.paints = 0;

    struct Step
    {
        QTime now;
        int paintsAfter;
    };
    const Step steps[] = {
        {QTime(10, 0, 0, 900), 0}, {QTime(10, 0, 1, 0), 1}, {QTime(10, 0, 1, 500), 1},
        {QTime(10, 0, 1, 999), 1}, {QTime(10, 0, 2, 0), 2}, {QTime(10, 1, 2, 0), 2},
        {QTime(10, 1, 3, 0), 3},
    };
    for (const Step &step : steps) {
        PinClock(QDateTime(day, step.now));
        clock.TimerTick();
        settle();
        EXPECT_EQ(counter.paints, step.paintsAfter) << qPrintable(step.now.toString());
        EXPECT_EQ(clock.LastSeen(), step.now);
    }
}

TEST_F(TClockTest, OutlivesItsPaintBoxAndOwner)
{
    auto owner = std::make_unique<QObject>();
    auto box = std::make_unique<QWidget>();
    TClock clock(owner.get(), box.get());
    box.reset();
    clock.TimerTick();
    owner.reset();
    EXPECT_FALSE(clock.Active());
}

} // namespace
