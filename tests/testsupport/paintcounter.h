#pragma once
// Counts the paint events of the widgets it is installed on (installEventFilter). Main thread
// only.

#include <QEvent>
#include <QObject>

class PaintCounter final : public QObject
{
public:
    int paints = 0;
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};
