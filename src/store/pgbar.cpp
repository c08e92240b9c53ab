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
    showPosition();
}

void Tpbar::StepIt()
{
    if (m_position < INT_MAX)
        ++m_position;
    showPosition();
}

void Tpbar::showPosition()
{
    QProgressBar *gauge = m_ui->ProgressBar1;
    // A range of 0..0 would make the gauge a busy indicator; an empty loop shows it empty.
    if (m_maximum == 0) {
        gauge->setRange(0, 1);
        gauge->setValue(m_position > 0 ? 1 : 0);
    } else {
        gauge->setRange(0, m_maximum);
        gauge->setValue(std::min(m_position, m_maximum));
    }
    // The loop that steps the gauge does not let the event loop turn, so paint now.
    if (gauge->isVisible())
        gauge->repaint();
}
