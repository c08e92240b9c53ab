#pragma once
// TTrayIcon: the desk's animated icon in the notification area (over QSystemTrayIcon). It
// cycles the icon's images, turns activity on the icon into events, opens the tray menu, hides
// the main window into the tray and brings it back, and asks at start-up whether the window is
// shown at all. A restarted notification area gets the icon back from QSystemTrayIcon itself.
// Main thread only.

#include "store/lighttimer.h"

#include <QIcon>
#include <QList>
#include <QMenu>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QString>
#include <QSystemTrayIcon>
#include <functional>
#include <memory>

class QWidget;

// Keys held during a mouse event on the icon.
enum TShiftFlag
{
    ssShift = 1,
    ssAlt = 2,
    ssCtrl = 4
};
using TShiftState = int;

class TTrayIcon : public QObject
{
    Q_OBJECT

public:
    using TNotifyEvent = std::function<void(TTrayIcon *sender)>;
    using TStartupEvent = std::function<void(TTrayIcon *sender, bool &showMainForm)>;
    using TMouseEvent = std::function<void(TTrayIcon *sender, Qt::MouseButton button,
                                           TShiftState shift, int x, int y)>;
    using TMouseMoveEvent = std::function<void(TTrayIcon *sender, TShiftState shift, int x, int y)>;
    using TCycleEvent = std::function<void(TTrayIcon *sender, int nextIndex)>;

    // What the notification area reports about the icon, in the codes of its messages. The
    // system tray's activations are turned into these; the others come from no tray Qt
    // supports but are handled all the same when they arrive.
    enum TrayMessage
    {
        MsgMouseMove = 0x200,
        MsgLeftDown = 0x201,
        MsgLeftUp = 0x202,
        MsgLeftDblClick = 0x203,
        MsgRightDown = 0x204,
        MsgRightUp = 0x205,
        MsgRightDblClick = 0x206,
        MsgMiddleDown = 0x207,
        MsgMiddleUp = 0x208,
        MsgMiddleDblClick = 0x209,
        MsgContextMenu = 0x7B,
        MsgSelect = 0x400,
        MsgKeySelect = 0x401,
        MsgBalloonShow = 0x402,
        MsgBalloonHide = 0x403,
        MsgBalloonTimeout = 0x404,
        MsgBalloonClick = 0x405,
    };

    static constexpr int MaxTipLength = 127;
    static constexpr int ExitPollInterval = 20;

    // The owner is the main window that the icon hides and shows.
    explicit TTrayIcon(QWidget *owner);
    ~TTrayIcon() override;
    TTrayIcon(const TTrayIcon &) = delete;
    TTrayIcon &operator=(const TTrayIcon &) = delete;

    // Called by the main window once its controls exist and before its own start-up work:
    // asks OnStartup whether the window is shown, then applies IconVisible, CycleIcons and
    // WantEnterExitEvents as set so far.
    void Loaded();
    bool IsLoaded() const { return m_loaded; }
    // What start-up decided: false when the program starts hidden in the tray (the main
    // body then does not show its window).
    bool StartupShowMainForm() const { return m_startupShow; }

    // Restores the main window from the tray (un-minimised, visible, in front).
    void ShowMainForm();
    // Hides the main window; a hidden window has no taskbar button either.
    void HideMainForm();

    // Icon operations; they answer whether the system tray took the change.
    bool ShowIcon();
    bool HideIcon();
    bool ModifyIcon();
    // Whether the icon has been added (and not removed since).
    bool IconShown() const { return m_iconShown; }

    // One notification about the icon (see TrayMessage), with the cursor where it was.
    void HandleTrayMessage(int message);

    // Properties.
    QList<QIcon> IconList() const { return m_iconList; }
    void SetIconList(const QList<QIcon> &icons);
    bool CycleIcons() const { return m_cycleIcons; }
    void SetCycleIcons(bool cycle);
    int CycleInterval() const { return m_cycleInterval; }
    void SetCycleInterval(int ms);
    QString Hint() const { return m_hint; }
    void SetHint(const QString &hint);
    bool ShowHint() const { return m_showHint; }
    void SetShowHint(bool show);
    QIcon Icon() const { return m_icon; }
    void SetIcon(const QIcon &icon);
    bool IconVisible() const { return m_iconVisible; }
    void SetIconVisible(bool visible);
    int IconIndex() const { return m_iconIndex; }
    void SetIconIndex(int index);
    QMenu *PopupMenu() const { return m_popupMenu; }
    void SetPopupMenu(QMenu *menu);
    bool DesignPreview() const { return m_designPreview; }
    void SetDesignPreview(bool preview) { m_designPreview = preview; }
    bool WantEnterExitEvents() const { return m_wantEnterExit; }
    void SetWantEnterExitEvents(bool want);
    bool MinimizeToTray() const { return m_minimizeToTray; }
    void SetMinimizeToTray(bool minimize) { m_minimizeToTray = minimize; }
    bool LeftPopup() const { return m_leftPopup; }
    void SetLeftPopup(bool left) { m_leftPopup = left; }

    // Events (assigned by the owner; an empty one is not assigned).
    void SetOnStartup(TStartupEvent handler) { m_onStartup = std::move(handler); }
    void SetOnClick(TNotifyEvent handler) { m_onClick = std::move(handler); }
    void SetOnDblClick(TNotifyEvent handler) { m_onDblClick = std::move(handler); }
    void SetOnMouseDown(TMouseEvent handler) { m_onMouseDown = std::move(handler); }
    void SetOnMouseUp(TMouseEvent handler) { m_onMouseUp = std::move(handler); }
    void SetOnMouseMove(TMouseMoveEvent handler) { m_onMouseMove = std::move(handler); }
    void SetOnMouseEnter(TNotifyEvent handler) { m_onMouseEnter = std::move(handler); }
    void SetOnMouseExit(TNotifyEvent handler) { m_onMouseExit = std::move(handler); }
    void SetOnCycle(TCycleEvent handler) { m_onCycle = std::move(handler); }
    void SetOnBalloonHintShow(TNotifyEvent handler) { m_onBalloonShow = std::move(handler); }
    void SetOnBalloonHintHide(TNotifyEvent handler) { m_onBalloonHide = std::move(handler); }
    void SetOnBalloonHintTimeout(TNotifyEvent handler) { m_onBalloonTimeout = std::move(handler); }
    void SetOnBalloonHintClick(TNotifyEvent handler) { m_onBalloonClick = std::move(handler); }
    void SetOnMinimizeToTray(TNotifyEvent handler) { m_onMinimizeToTray = std::move(handler); }

    // The system tray icon underneath (its activations drive the events above).
    QSystemTrayIcon *SystemTrayIcon() const { return m_tray; }
    // Whether a single click is waiting for the double-click time to pass.
    bool ClickPending() const { return m_clickTimer.Active(); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void activated(QSystemTrayIcon::ActivationReason reason);
    void cycleTick();
    void clickTick();
    void exitTick();
    void popupAtCursor();
    void fireMouseDown(Qt::MouseButton button);
    void fireMouseUp(Qt::MouseButton button);
    QString tipText() const;
    static TShiftState currentShift();

    QPointer<QWidget> m_owner;
    QSystemTrayIcon *m_tray = nullptr;
    TLightTimer m_cycleTimer;
    TLightTimer m_clickTimer;
    TLightTimer m_exitTimer;

    bool m_loaded = false;
    bool m_startupShow = true;
    bool m_iconShown = false;
    bool m_mouseInside = false;
    QPoint m_enterPos;
    // Set while a Context activation is handled: the tray shows its own menu then.
    bool m_platformMenu = false;

    QList<QIcon> m_iconList;
    bool m_cycleIcons = false;
    int m_cycleInterval = 0;
    QString m_hint;
    bool m_showHint = true;
    QIcon m_icon;
    bool m_iconVisible = false;
    int m_iconIndex = 0;
    QPointer<QMenu> m_popupMenu;
    bool m_designPreview = false;
    bool m_wantEnterExit = false;
    bool m_minimizeToTray = false;
    bool m_leftPopup = false;

    TStartupEvent m_onStartup;
    TNotifyEvent m_onClick;
    TNotifyEvent m_onDblClick;
    TMouseEvent m_onMouseDown;
    TMouseEvent m_onMouseUp;
    TMouseMoveEvent m_onMouseMove;
    TNotifyEvent m_onMouseEnter;
    TNotifyEvent m_onMouseExit;
    TCycleEvent m_onCycle;
    TNotifyEvent m_onBalloonShow;
    TNotifyEvent m_onBalloonHide;
    TNotifyEvent m_onBalloonTimeout;
    TNotifyEvent m_onBalloonClick;
    TNotifyEvent m_onMinimizeToTray;
};

// The program's own icon and the frames the tray icon cycles through, drawn here so the desk
// carries no artwork files.
QIcon DeskProgramIcon();
QList<QIcon> DeskTrayIconFrames();
