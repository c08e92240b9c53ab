#include "store/pgbar.h"

#include "ui_pgbar.h"

#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <algorithm>
#include <climits>
#include <cstdlib>

Tpbar::Tpbar(QWidget *owner, const QString &caption, int maximum)
    : QWidget(owner, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      m_ui(std::make_unique<Ui::pbar>())
{
    m_ui->setupUi(this);
    m_ui->ProgressBar1->installEventFilter(this);
    setWindowTitle(caption);
    setFixedSize(418, 22);
    SetMaximum(maximum);

    show();
    // Centred by its frame, which is known only once the window is shown.
    QScreen *screen = owner ? owner->screen() : QGuiApplication::primaryScreen();
    if (screen) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}

Tpbar::~Tpbar() = default;

QProgressBar *Tpbar::Gauge() const
{
    return m_ui->ProgressBar1;
}

void Tpbar::SetMaximum(int n)
{
    m_maximum = std::max(n, 0);
    m_position = 0;
    // A range of 0..0 would make the gauge a busy indicator; an empty loop shows it empty.
    m_ui->ProgressBar1->setRange(0, m_maximum == 0 ? 1 : m_maximum);
    m_drawnWidth = -1;
    showPosition();
}

void Tpbar::StepIt()
{
    if (m_position < INT_MAX)
        ++m_position;
    showPosition();
}

void Tpbar::StepBy(int n)
{
    if (n <= 0)
        return;
    m_position = n > INT_MAX - m_position ? INT_MAX : m_position + n;
    showPosition();
}

void Tpbar::showPosition()
{
    QProgressBar *gauge = m_ui->ProgressBar1;
    const int value =
        m_maximum == 0 ? (m_position > 0 ? 1 : 0) : std::min(m_position, m_maximum);
    // QProgressBar paints by itself when it thinks the change is worth it; that paint is
    // noted by the event filter.
    gauge->setValue(value);
    // The loop that steps the gauge may not let the event loop turn, so paint now; but only
    // once the filled part has grown by a few pixels since it was last painted (or is full):
    // each paint costs about as much as thousands of rows exported, and a gauge of a few
    // hundred pixels needs no more paints than that to move smoothly.
    const int drawn = drawnWidth(value);
    if (drawn == m_drawnWidth ||
        (std::abs(drawn - m_drawnWidth) < PaintStepPixels && value != gauge->maximum() &&
         m_drawnWidth >= 0))
        return;
    if (gauge->isVisible())
        gauge->repaint();
}

int Tpbar::drawnWidth(int value) const
{
    const QProgressBar *gauge = m_ui->ProgressBar1;
    return int(qint64(value) * gauge->width() / gauge->maximum());
}

bool Tpbar::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_ui->ProgressBar1 && event->type() == QEvent::Paint)
        m_drawnWidth = drawnWidth(m_ui->ProgressBar1->value());
    return QWidget::eventFilter(watched, event);
}

TCopyProgress CopyProgressOnGauge(Tpbar &bar)
{
    return [&bar](int done, int total) {
        if (bar.Maximum() != total)
            bar.SetMaximum(total);
        if (bar.Position() < done)
            bar.StepBy(done - bar.Position());
        QCoreApplication::processEvents();
    };
}
