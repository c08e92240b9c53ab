#pragma once
// `Tpbar`: the small tool window with one gauge that shows how far a long loop has got. It is
// shown (non-modal) as soon as it is made; the loop steps it and destroys it when done, also
// on error (keep it in a unique_ptr or on the stack). CopyProgressOnGauge shows a database
// copy on it. Main thread only.

#include "store/dbcopy.h"

#include <QWidget>
#include <memory>

class QProgressBar;

namespace Ui {
class pbar;
}

class Tpbar : public QWidget
{
    Q_OBJECT

public:
    Tpbar(QWidget *owner, const QString &caption, int maximum);
    ~Tpbar() override;

    // Gauge from 0 to n, progress 0.
    void SetMaximum(int n);
    // One step on; past the maximum the gauge stays full.
    void StepIt();
    // n steps on at once, for a loop that counts its rows in batches.
    void StepBy(int n);

    int Maximum() const { return m_maximum; }
    int Position() const { return m_position; }
    QProgressBar *Gauge() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Growth of the filled part, in pixels, that is worth a paint of its own.
    static constexpr int PaintStepPixels = 3;

    void showPosition();
    int drawnWidth(int value) const;

    std::unique_ptr<Ui::pbar> m_ui;
    int m_maximum = 0;
    int m_position = 0;
    int m_drawnWidth = -1; // pixels of the gauge filled when it was last painted (-1: not yet)
};

// The pages copied shown on the gauge (one step to each new position, so it repaints once a
// batch at most), the event loop turning between batches. Main thread only.
TCopyProgress CopyProgressOnGauge(Tpbar &bar);
