#pragma once
// TClock: the analogue clock face painted into a paint box of the main window. It checks the
// time ten times a second and repaints the box only when the second has changed.
// Main thread only.

#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QPolygon>
#include <QTime>

class QPainter;
class QTimer;
class QWidget;

// Angles in half degrees: 720 make a full turn, 0 points at 12 o'clock, growing clockwise.
int ClockAngleAdd(int a, int b);
int ClockAngleSub(int a, int b);
// The point at angle a and distance d from the centre (cx, cy).
QPoint ClockPoint(int a, int d, int cx, int cy);

// One of the three hands as its four-point polygon: back, left side, tip, right side.
enum class ClockHand
{
    Hour,
    Minute,
    Second
};
int ClockHandAngle(ClockHand hand, const QTime &time);
QPolygon ClockHandPolygon(ClockHand hand, const QTime &time, int r, int cx, int cy);

// Draws the face (tick marks and hands, no background) for the given time into a box of the
// given size.
void PaintClockFace(QPainter &painter, int width, int height, const QTime &time);

class TClock : public QObject
{
    Q_OBJECT

public:
    // Takes over the paint box: paints it and starts checking the time. The timer belongs to
    // the owner, as every other window timer does.
    TClock(QObject *owner, QWidget *paintBox);
    ~TClock() override;
    TClock(const TClock &) = delete;
    TClock &operator=(const TClock &) = delete;

    // Reads the time; a new second since the last look repaints the paint box.
    void TimerTick();
    // The time the face shows: the one last seen, midnight (12:00:00) before the first tick.
    QTime LastSeen() const { return m_lastSeen; }
    bool Active() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void Paint();

    // Either may go first with its owner; the clock then simply stops.
    QPointer<QTimer> m_timer;
    QPointer<QWidget> m_paintBox;
    QTime m_lastSeen{0, 0, 0};
};
