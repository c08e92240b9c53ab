#include "store/pgbar.h"

#include "ui_pgbar.h"

#include <QGuiApplication>
#include <QScreen>
#include <algorithm>
#include <climits>

Tpbar::Tpbar(QWidget *owner, const QString &caption, int maximum)
    : QWidget(owner, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      m_ui(std::make_unique<Ui::pbar>())
{
    m_ui->setupUi(this);
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
    gauge->setValue(value);
    // The loop that steps the gauge does not let the event loop turn, so paint now; but only
    // when the filled part grows on screen: a loop of a million steps would otherwise spend
    // most of its time painting the same gauge.
    const int drawn = int(qint64(value) * gauge->width() / gauge->maximum());
    if (drawn == m_drawnWidth)
        return;
    m_drawnWidth = drawn;
    if (gauge->isVisible())
        gauge->repaint();
}
