#pragma once
// Counts the paint events of the widgets it is installed on (installEventFilter). Main thread
// only.

#include <QEvent>
#include <QObject>
#include <functional>

class PaintCounter final : public QObject
{
public:
    int paints = 0;
    std::function<void()> onPaint; // also run at each paint, when set
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint) {
            ++paints;
            if (onPaint)
                onPaint();
        }
        return false;
    }
};
