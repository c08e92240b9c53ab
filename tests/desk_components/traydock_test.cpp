// The tray icon on a real X display: a notification area of the test's own (the holder of the
// system tray selection, which docking icons ask to take them) sees the desk's icon dock, and
// dock again by itself when the notification area is restarted, as a desktop panel does.
// The desk's icon runs in a child process on the xcb platform; this process plays the tray.

#include "desk/trayicon.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QIcon>
#include <QPixmap>
#include <QProcess>
#include <QThread>
#include <QWidget>
#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>

namespace {

const char ChildVariable[] = "TALLYCLOCK_TRAY_CHILD";

// A notification area: owns _NET_SYSTEM_TRAY_S<n> and counts the dock requests it is sent.
class FakeTray
{
public:
    explicit FakeTray(const QByteArray &display)
    {
        int screenNumber = 0;
        m_c = xcb_connect(display.constData(), &screenNumber);
        if (xcb_connection_has_error(m_c))
            return;
        xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(m_c));
        for (int i = 0; i < screenNumber; ++i)
            xcb_screen_next(&it);
        m_screen = it.data;
        m_selection = atom("_NET_SYSTEM_TRAY_S" + QByteArray::number(screenNumber));
        m_manager = atom("MANAGER");
        m_opcode = atom("_NET_SYSTEM_TRAY_OPCODE");
    }
    ~FakeTray()
    {
        if (m_c)
            xcb_disconnect(m_c);
    }
    bool Connected() const { return m_c && !xcb_connection_has_error(m_c) && m_screen; }

    // Starts (or restarts) the notification area: a new window takes the selection and tells
    // every client on the root window that it manages it now.
    void Start()
    {
        Stop();
        m_window = xcb_generate_id(m_c);
        xcb_create_window(m_c, XCB_COPY_FROM_PARENT, m_window, m_screen->root, 0, 0, 1, 1, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, m_screen->root_visual, 0, nullptr);
        xcb_set_selection_owner(m_c, m_window, m_selection, XCB_CURRENT_TIME);
        xcb_client_message_event_t manager = {};
        manager.response_type = XCB_CLIENT_MESSAGE;
        manager.format = 32;
        manager.window = m_screen->root;
        manager.type = m_manager;
        manager.data.data32[0] = XCB_CURRENT_TIME;
        manager.data.data32[1] = m_selection;
        manager.data.data32[2] = m_window;
        xcb_send_event(m_c, 0, m_screen->root, XCB_EVENT_MASK_STRUCTURE_NOTIFY,
                       reinterpret_cast<const char *>(&manager));
        xcb_flush(m_c);
    }
    // The notification area goes away, as when the panel crashes.
    void Stop()
    {
        if (!m_window)
            return;
        xcb_destroy_window(m_c, m_window);
        xcb_flush(m_c);
        m_window = 0;
    }

    // Waits until `count` dock requests have come in all told; false when they did not.
    bool WaitForDocks(int count, int ms)
    {
        const QDeadlineTimer deadline(ms);
        while (m_docks < count && !deadline.hasExpired()) {
            while (xcb_generic_event_t *event = xcb_poll_for_event(m_c)) {
                if ((event->response_type & ~0x80) == XCB_CLIENT_MESSAGE) {
                    const auto *message = reinterpret_cast<xcb_client_message_event_t *>(event);
                    // SYSTEM_TRAY_REQUEST_DOCK is opcode 0.
                    if (message->type == m_opcode && message->data.data32[1] == 0)
                        ++m_docks;
                }
                std::free(event);
            }
            QThread::msleep(20);
        }
        return m_docks >= count;
    }
    int Docks() const { return m_docks; }

private:
    xcb_atom_t atom(const QByteArray &name)
    {
        xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(
            m_c, xcb_intern_atom(m_c, 0, uint16_t(name.size()), name.constData()), nullptr);
        const xcb_atom_t value = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
        std::free(reply);
        return value;
    }

    xcb_connection_t *m_c = nullptr;
    xcb_screen_t *m_screen = nullptr;
    xcb_window_t m_window = 0;
    xcb_atom_t m_selection = XCB_ATOM_NONE;
    xcb_atom_t m_manager = XCB_ATOM_NONE;
    xcb_atom_t m_opcode = XCB_ATOM_NONE;
    int m_docks = 0;
};

// An X server of the test's own; the display number is read from its -displayfd answer.
class OwnXServer
{
public:
    OwnXServer()
    {
        m_server.setProgram(QStringLiteral("Xvfb"));
        m_server.setArguments({QStringLiteral("-displayfd"), QStringLiteral("1"),
                               QStringLiteral("-nolisten"), QStringLiteral("tcp"),
                               QStringLiteral("-screen"), QStringLiteral("0"),
                               QStringLiteral("640x480x24")});
        m_server.start();
        if (!m_server.waitForStarted(5000))
            return;
        QByteArray answer;
        const QDeadlineTimer deadline(10000);
        while (!answer.contains('\n') && !deadline.hasExpired() &&
               m_server.state() == QProcess::Running) {
            m_server.waitForReadyRead(100);
            answer += m_server.readAllStandardOutput();
        }
        if (answer.contains('\n'))
            m_display = ':' + answer.trimmed();
    }
    ~OwnXServer()
    {
        m_server.terminate();
        if (!m_server.waitForFinished(3000))
            m_server.kill();
        m_server.waitForFinished(3000);
    }
    QByteArray Display() const { return m_display; }

private:
    QProcess m_server;
    QByteArray m_display;
};

} // namespace

// Runs only as the child of the test below: the desk's tray icon, shown, until it is ended.
TEST(TrayDockChild, ShowsTheIconUntilEnded)
{
    if (qEnvironmentVariableIsEmpty(ChildVariable))
        GTEST_SKIP() << "the icon side of TrayDock, started by it";
    QWidget owner;
    TTrayIcon tray(&owner);
    QPixmap image(16, 16);
    image.fill(Qt::blue);
    tray.SetIcon(QIcon(image));
    tray.SetIconVisible(true);
    tray.Loaded();
    const QDeadlineTimer deadline(60000);
    while (!deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
}

TEST(TrayDock, TheIconComesBackByItselfWhenTheTrayRestarts)
{
    if (!qEnvironmentVariableIsEmpty(ChildVariable))
        GTEST_SKIP();
    OwnXServer x;
    ASSERT_FALSE(x.Display().isEmpty()) << "Xvfb did not start";
    FakeTray tray(x.Display());
    ASSERT_TRUE(tray.Connected());
    tray.Start();

    QProcess desk;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QString::fromLatin1(ChildVariable), QStringLiteral("1"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("DISPLAY"), QString::fromLatin1(x.Display()));
    // No session bus: the icon docks the X way, as on a desktop without a notifier service.
    env.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
    desk.setProcessEnvironment(env);
    desk.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    desk.start(QCoreApplication::applicationFilePath(),
               {QStringLiteral("--gtest_filter=TrayDockChild.ShowsTheIconUntilEnded")});
    ASSERT_TRUE(desk.waitForStarted(5000));

    EXPECT_TRUE(tray.WaitForDocks(1, 20000)) << "the icon never docked";
    EXPECT_FALSE(tray.WaitForDocks(2, 500)) << "one request while the tray stays";
    // The panel restarts: the old notification area goes, a new one takes its place.
    tray.Stop();
    QThread::msleep(200);
    tray.Start();
    EXPECT_TRUE(tray.WaitForDocks(2, 10000)) << "the icon did not come back";

    desk.kill();
    desk.waitForFinished(5000);
}
