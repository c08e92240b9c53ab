#include "desk/trayicon.h"

#include <QCursor>
#include <QEvent>
#include <QGuiApplication>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QStyleHints>
#include <QWidget>
#include <QWindowStateChangeEvent>
#include <algorithm>

TTrayIcon::TTrayIcon(QWidget *owner)
    : QObject(owner), m_owner(owner), m_cycleInterval(500), m_icon(DeskProgramIcon())
{
    m_tray = new QSystemTrayIcon(this);
    connect(m_tray, &QSystemTrayIcon::activated, this, &TTrayIcon::activated);
    connect(m_tray, &QSystemTrayIcon::messageClicked, this,
            [this] { HandleTrayMessage(MsgBalloonClick); });

    m_cycleTimer.SetInterval(m_cycleInterval);
    m_cycleTimer.SetOnTimer([this](TLightTimer *) { cycleTick(); });
    m_clickTimer.SetOnTimer([this](TLightTimer *) { clickTick(); });
    m_exitTimer.SetInterval(ExitPollInterval);
    m_exitTimer.SetOnTimer([this](TLightTimer *) { exitTick(); });

    if (m_owner)
        m_owner->installEventFilter(this);
}

TTrayIcon::~TTrayIcon()
{
    HideIcon();
    m_cycleTimer.Stop(true);
    m_clickTimer.Stop(true);
    m_exitTimer.Stop(true);
    if (m_owner)
        m_owner->removeEventFilter(this);
}

void TTrayIcon::Loaded()
{
    if (m_loaded)
        return;
    m_loaded = true;
    bool show = true;
    if (m_owner && m_onStartup)
        m_onStartup(this, show);
    if (!show) {
        m_startupShow = false;
        HideMainForm();
    }
    if (m_iconVisible)
        ShowIcon();
    SetCycleIcons(m_cycleIcons);
    SetWantEnterExitEvents(m_wantEnterExit);
}

void TTrayIcon::ShowMainForm()
{
    if (!m_owner)
        return;
    QWidget *window = m_owner->window();
    if (window->isMinimized())
        window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    window->show();
    window->raise();
    window->activateWindow();
}

void TTrayIcon::HideMainForm()
{
    if (m_owner)
        m_owner->window()->hide();
}

bool TTrayIcon::ShowIcon()
{
    m_iconVisible = true;
    m_tray->setIcon(m_icon);
    m_tray->setToolTip(tipText());
    m_tray->show();
    m_iconShown = true;
    return QSystemTrayIcon::isSystemTrayAvailable();
}

bool TTrayIcon::HideIcon()
{
    m_iconVisible = false;
    m_tray->hide();
    m_iconShown = false;
    return QSystemTrayIcon::isSystemTrayAvailable();
}

bool TTrayIcon::ModifyIcon()
{
    m_tray->setIcon(m_icon);
    m_tray->setToolTip(tipText());
    return m_iconShown && QSystemTrayIcon::isSystemTrayAvailable();
}

QString TTrayIcon::tipText() const
{
    return m_showHint ? m_hint.left(MaxTipLength) : QString();
}

void TTrayIcon::SetIconList(const QList<QIcon> &icons)
{
    m_iconList = icons;
    SetIconIndex(m_iconIndex);
}

void TTrayIcon::SetCycleIcons(bool cycle)
{
    m_cycleIcons = cycle;
    if (!m_loaded)
        return;
    if (cycle) {
        SetIconIndex(0);
        m_cycleTimer.SetInterval(m_cycleInterval);
        m_cycleTimer.Start();
    } else {
        m_cycleTimer.Stop(true);
    }
}

void TTrayIcon::SetCycleInterval(int ms)
{
    if (ms == m_cycleInterval)
        return;
    m_cycleInterval = ms;
    m_cycleTimer.SetInterval(ms); // restarts a running cycle at the new pace
}

void TTrayIcon::SetHint(const QString &hint)
{
    m_hint = hint;
    ModifyIcon();
}

void TTrayIcon::SetShowHint(bool show)
{
    m_showHint = show;
    ModifyIcon();
}

void TTrayIcon::SetIcon(const QIcon &icon)
{
    m_icon = icon;
    ModifyIcon();
}

void TTrayIcon::SetIconVisible(bool visible)
{
    m_iconVisible = visible;
    if (!m_loaded)
        return;
    if (visible)
        ShowIcon();
    else
        HideIcon();
}

void TTrayIcon::SetIconIndex(int index)
{
    if (m_iconList.isEmpty()) {
        m_iconIndex = 0;
        return;
    }
    m_iconIndex = std::clamp(index, 0, static_cast<int>(m_iconList.size()) - 1);
    m_icon = m_iconList.at(m_iconIndex);
    ModifyIcon();
}

void TTrayIcon::SetPopupMenu(QMenu *menu)
{
    m_popupMenu = menu;
    // The tray shows this menu itself on a right click (a tray over D-Bus can show no other).
    m_tray->setContextMenu(menu);
}

void TTrayIcon::SetWantEnterExitEvents(bool want)
{
    m_wantEnterExit = want;
    if (!want) {
        m_exitTimer.Stop(true);
        m_mouseInside = false;
    }
}

void TTrayIcon::cycleTick()
{
    if (m_onCycle) {
        const int next = m_iconList.isEmpty() ? 0 : (m_iconIndex + 1) % m_iconList.size();
        m_onCycle(this, next);
    }
    const int next = m_iconIndex + 1 >= m_iconList.size() ? 0 : m_iconIndex + 1;
    SetIconIndex(next);
}

void TTrayIcon::clickTick()
{
    // One shot: the double-click time has passed without a double click.
    m_clickTimer.Stop(true);
    if (m_onClick)
        m_onClick(this);
}

void TTrayIcon::exitTick()
{
    const QPoint cursor = QCursor::pos();
    const QRect area = m_tray->geometry();
    const bool inside = area.isValid() ? area.contains(cursor) : cursor == m_enterPos;
    if (inside)
        return;
    m_exitTimer.Stop(true);
    m_mouseInside = false;
    if (m_onMouseExit)
        m_onMouseExit(this);
}

TShiftState TTrayIcon::currentShift()
{
    const Qt::KeyboardModifiers keys = QGuiApplication::queryKeyboardModifiers();
    TShiftState shift = 0;
    if (keys & Qt::ShiftModifier)
        shift |= ssShift;
    if (keys & Qt::AltModifier)
        shift |= ssAlt;
    if (keys & Qt::ControlModifier)
        shift |= ssCtrl;
    return shift;
}

void TTrayIcon::fireMouseDown(Qt::MouseButton button)
{
    if (m_onMouseDown) {
        const QPoint cursor = QCursor::pos();
        m_onMouseDown(this, button, currentShift(), cursor.x(), cursor.y());
    }
}

void TTrayIcon::fireMouseUp(Qt::MouseButton button)
{
    if (m_onMouseUp) {
        const QPoint cursor = QCursor::pos();
        m_onMouseUp(this, button, currentShift(), cursor.x(), cursor.y());
    }
}

void TTrayIcon::popupAtCursor()
{
    if (m_popupMenu)
        m_popupMenu->popup(QCursor::pos());
}

void TTrayIcon::HandleTrayMessage(int message)
{
    // A handler may close the program and with it this object.
    const QPointer<TTrayIcon> alive(this);
    switch (message) {
    case MsgMouseMove: {
        const QPoint cursor = QCursor::pos();
        if (m_onMouseMove)
            m_onMouseMove(this, currentShift(), cursor.x(), cursor.y());
        if (alive && m_wantEnterExit && !m_mouseInside) {
            m_mouseInside = true;
            m_enterPos = cursor;
            if (m_onMouseEnter)
                m_onMouseEnter(this);
            if (alive)
                m_exitTimer.Start();
        }
        break;
    }
    case MsgLeftDown:
        if (m_onClick) {
            m_clickTimer.SetInterval(QGuiApplication::styleHints()->mouseDoubleClickInterval());
            m_clickTimer.Start();
        }
        fireMouseDown(Qt::LeftButton);
        if (alive && m_leftPopup)
            popupAtCursor();
        break;
    case MsgLeftUp:
        fireMouseUp(Qt::LeftButton);
        break;
    case MsgLeftDblClick:
        m_clickTimer.Stop(true);
        if (m_onDblClick)
            m_onDblClick(this);
        if (alive && m_popupMenu) {
            if (QAction *item = m_popupMenu->defaultAction())
                item->trigger();
        }
        break;
    case MsgRightDown:
        fireMouseDown(Qt::RightButton);
        if (alive && !m_platformMenu)
            popupAtCursor();
        break;
    case MsgRightUp:
    case MsgContextMenu:
    case MsgSelect:
    case MsgKeySelect:
        fireMouseUp(Qt::RightButton);
        break;
    case MsgMiddleDown:
        fireMouseDown(Qt::MiddleButton);
        break;
    case MsgMiddleUp:
        fireMouseUp(Qt::MiddleButton);
        break;
    case MsgBalloonShow:
        if (m_onBalloonShow)
            m_onBalloonShow(this);
        break;
    case MsgBalloonHide:
        if (m_onBalloonHide)
            m_onBalloonHide(this);
        break;
    case MsgBalloonTimeout:
        if (m_onBalloonTimeout)
            m_onBalloonTimeout(this);
        break;
    case MsgBalloonClick:
        if (m_onBalloonClick)
            m_onBalloonClick(this);
        break;
    default: // right and middle double clicks, anything else
        break;
    }
}

void TTrayIcon::activated(QSystemTrayIcon::ActivationReason reason)
{
    const QPointer<TTrayIcon> alive(this);
    switch (reason) {
    case QSystemTrayIcon::Trigger:
        HandleTrayMessage(MsgLeftDown);
        if (alive)
            HandleTrayMessage(MsgLeftUp);
        break;
    case QSystemTrayIcon::DoubleClick:
        HandleTrayMessage(MsgLeftDblClick);
        if (alive)
            HandleTrayMessage(MsgLeftUp);
        break;
    case QSystemTrayIcon::Context:
        m_platformMenu = m_tray->contextMenu() != nullptr;
        HandleTrayMessage(MsgRightDown);
        if (alive) {
            m_platformMenu = false;
            HandleTrayMessage(MsgRightUp);
        }
        break;
    case QSystemTrayIcon::MiddleClick:
        HandleTrayMessage(MsgMiddleDown);
        if (alive)
            HandleTrayMessage(MsgMiddleUp);
        break;
    case QSystemTrayIcon::Unknown:
        break;
    }
}

bool TTrayIcon::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_owner || !m_minimizeToTray)
        return QObject::eventFilter(watched, event);
    if (event->type() == QEvent::WindowStateChange) {
        const auto *change = static_cast<QWindowStateChangeEvent *>(event);
        // The change can be reported twice (by the widget and by its window): act once.
        if (m_owner->isMinimized() && !(change->oldState() & Qt::WindowMinimized) &&
            m_owner->isVisible()) {
            if (m_onMinimizeToTray)
                m_onMinimizeToTray(this);
            // Hide once the state change is over, not in the middle of it.
            QMetaObject::invokeMethod(this, &TTrayIcon::HideMainForm, Qt::QueuedConnection);
        }
    } else if (event->type() == QEvent::Show) {
        m_owner->activateWindow();
    }
    return QObject::eventFilter(watched, event);
}

// ---- artwork ---------------------------------------------------------------------------------

namespace {
constexpr int IconSize = 32;

// A card with a clock face; the hand points at 12, 3, 6 or 9 o'clock for quarter 0 to 3.
QPixmap drawCardClock(int quarter)
{
    QPixmap pixmap(IconSize, IconSize);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(0x1d, 0x3f, 0x72), 1.5));
    painter.setBrush(QColor(0x2f, 0x6d, 0xc4));
    painter.drawRoundedRect(QRectF(1.5, 4.5, 29, 23), 4, 4);
    painter.setBrush(Qt::white);
    painter.setPen(QPen(QColor(0x1d, 0x3f, 0x72), 1));
    const QPointF centre(16, 16);
    painter.drawEllipse(centre, 9, 9);
    painter.setPen(QPen(QColor(0x20, 0x20, 0x20), 2, Qt::SolidLine, Qt::RoundCap));
    static const QPointF tips[4] = {{16, 9}, {23, 16}, {16, 23}, {9, 16}};
    if (quarter < 0) {
        painter.drawLine(centre, QPointF(16, 10));
        painter.drawLine(centre, QPointF(21, 16));
    } else {
        painter.drawLine(centre, tips[quarter % 4]);
    }
    return pixmap;
}
} // namespace

QIcon DeskProgramIcon()
{
    return QIcon(drawCardClock(-1));
}

QList<QIcon> DeskTrayIconFrames()
{
    QList<QIcon> frames;
    for (int quarter = 0; quarter < 4; ++quarter)
        frames.append(QIcon(drawCardClock(quarter)));
    return frames;
}
