#include "desk/clock.h"

#include "store/clock.h"

#include <QEvent>
#include <QPainter>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <cmath>
#include <numbers>

namespace {
constexpr int FullTurn = 720;
const QColor FaceGrey(0x80, 0x80, 0x80);

struct HandShape
{
    int back;       // distance of the point behind the centre
    int side;       // distance of the two side points
    int sideOffset; // their angle either side of the hand
    int tip;
};

HandShape handShape(ClockHand hand, int r)
{
    switch (hand) {
    case ClockHand::Hour:
        return {r / 8, r / 15, 240, static_cast<int>(std::lround(r * 0.6))};
    case ClockHand::Minute:
        return {r / 6, r / 20, 120, static_cast<int>(std::lround(r * 0.8))};
    case ClockHand::Second:
        break;
    }
    return {r / 5, r / 20, 30, r};
}
} // namespace

int ClockAngleAdd(int a, int b)
{
    return (a + b) % FullTurn;
}

int ClockAngleSub(int a, int b)
{
    return b > a ? a + FullTurn - b : a - b;
}

QPoint ClockPoint(int a, int d, int cx, int cy)
{
    // Fold into the quarter so the trigonometry only sees 0 to 90 degrees, then give the
    // offsets their signs.
    int t;
    if (a < 180)
        t = a;
    else if (a < 360)
        t = 360 - a;
    else if (a < 540)
        t = a - 360;
    else
        t = FullTurn - a;
    const double radians = std::numbers::pi * t / 360.0;
    const int dx = static_cast<int>(std::trunc(d * std::sin(radians)));
    const int dy = static_cast<int>(std::trunc(d * std::cos(radians)));
    if (a < 180)
        return {cx + dx, cy - dy};
    if (a < 360)
        return {cx + dx, cy + dy};
    if (a < 540)
        return {cx - dx, cy + dy};
    return {cx - dx, cy - dy};
}

int ClockHandAngle(ClockHand hand, const QTime &time)
{
    switch (hand) {
    case ClockHand::Hour:
        return (time.hour() % 12) * 60 + time.minute();
    case ClockHand::Minute:
        return time.minute() * 12;
    case ClockHand::Second:
        break;
    }
    return time.second() * 12;
}

QPolygon ClockHandPolygon(ClockHand hand, const QTime &time, int r, int cx, int cy)
{
    const int a = ClockHandAngle(hand, time);
    const HandShape shape = handShape(hand, r);
    QPolygon polygon;
    polygon << ClockPoint(ClockAngleAdd(a, 360), shape.back, cx, cy)
            << ClockPoint(ClockAngleSub(a, shape.sideOffset), shape.side, cx, cy)
            << ClockPoint(a, shape.tip, cx, cy)
            << ClockPoint(ClockAngleAdd(a, shape.sideOffset), shape.side, cx, cy);
    return polygon;
}

void PaintClockFace(QPainter &painter, int width, int height, const QTime &time)
{
    const int cx = width / 2;
    const int cy = height / 2;
    const int r = std::min(cx, cy);
    if (r <= 0)
        return;
    painter.save();

    // Hour marks only: every fifth of the sixty positions.
    painter.setPen(QPen(FaceGrey, r / 40));
    for (int i = 0; i < 60; ++i) {
        const int angle = i * 12;
        if (angle % 5 != 0)
            continue;
        painter.drawLine(ClockPoint(angle, r * 85 / 100, cx, cy),
                         ClockPoint(angle, r * 95 / 100, cx, cy));
    }

    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(FaceGrey);
    for (ClockHand hand : {ClockHand::Hour, ClockHand::Minute, ClockHand::Second})
        painter.drawPolygon(ClockHandPolygon(hand, time, r, cx, cy));

    painter.restore();
}

TClock::TClock(QObject *owner, QWidget *paintBox) : m_paintBox(paintBox)
{
    m_timer = new QTimer(owner);
    m_timer->stop();
    m_timer->setInterval(100);
    QObject::connect(m_timer, &QTimer::timeout, this, &TClock::TimerTick);
    if (paintBox)
        paintBox->installEventFilter(this);
    m_timer->start();
}

TClock::~TClock()
{
    if (m_timer) {
        m_timer->stop();
        delete m_timer;
    }
    if (m_paintBox) {
        m_paintBox->removeEventFilter(this);
        m_paintBox->update();
    }
}

bool TClock::Active() const
{
    return m_timer && m_timer->isActive();
}

void TClock::TimerTick()
{
    const QTime now = Now().time();
    if (now.second() != m_lastSeen.second() && m_paintBox)
        m_paintBox->update();
    m_lastSeen = now;
}

bool TClock::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_paintBox && event->type() == QEvent::Paint) {
        Paint();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

void TClock::Paint()
{
    // The paint box clears its own background (auto-fill); the face goes on top.
    QPainter painter(m_paintBox);
    PaintClockFace(painter, m_paintBox->width(), m_paintBox->height(), m_lastSeen);
}
