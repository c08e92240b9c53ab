// The main window's "Web Reporter" command and the server's start-up from WebEnabled.

#include "../desk_window/windowfixture.h"
#include "desk/web/webreport.h"
#include "store/settings.h"

#include <httplib.h>

#include <QAction>
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// A loopback listener on a port of the system's choosing; it holds the port while it lives.
class HeldPort
{
public:
    HeldPort()
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_ANY);
        ::bind(m_fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr);
        ::listen(m_fd, 1);
        socklen_t len = sizeof addr;
        ::getsockname(m_fd, reinterpret_cast<sockaddr *>(&addr), &len);
        m_port = ntohs(addr.sin_port);
    }
    ~HeldPort() { release(); }
    void release()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }
    int port() const { return m_port; }

private:
    int m_fd = -1;
    int m_port = 0;
};

class WebWindowTest : public WindowTest
{
protected:
    QAction *command(TTimeRec &w)
    {
        return w.findChild<QAction *>(QStringLiteral("actWebReporter"));
    }
    static int status(int port, const char *target)
    {
        httplib::Client client("127.0.0.1", port);
        client.set_connection_timeout(2, 0);
        auto res = client.Get(target);
        return res ? res->status : -1;
    }
};

TEST_F(WebWindowTest, CommandSwitchesTheServerOnAndOff)
{
    HeldPort free;
    free.release();
    WriteRegInteger(QStringLiteral("WebPort"), free.port());
    const int group = AddGroup(QStringLiteral("Office"));
    AddStaff(42, QStringLiteral("Dora"), group);
    AddLog(QDateTime(QDate(2026, 3, 9), QTime(9, 0)), 42, 1, 3);

    TTimeRec &w = OpenWindow();
    QAction *web = command(w);
    ASSERT_NE(web, nullptr);
    EXPECT_TRUE(web->isCheckable());
    EXPECT_FALSE(web->isEnabled()); // protected: logged out
    w.SetLoggedIn(true);
    EXPECT_TRUE(web->isEnabled());

    Messages().Clear();
    web->trigger();
    EXPECT_TRUE(web->isChecked());
    EXPECT_TRUE(ReadRegBool(QStringLiteral("WebEnabled"), false));
    ASSERT_EQ(Messages().Count(), 1);
    EXPECT_EQ(Messages().Last().kind, MsgKind::Information);
    EXPECT_TRUE(Messages().Last().text.startsWith(QStringLiteral(
        "Web Reporter features are enabled. You can browse the attendance records by your web "
        "browser. Just for your reference, the IP address of your machine is found as follows: ")));
    // Not port 80: the port is named too, so the user has an address to type.
    EXPECT_TRUE(Messages().Last().text.endsWith(QStringLiteral(" (port %1)").arg(free.port())))
        << Messages().Last().text.toStdString();

    httplib::Client client("127.0.0.1", free.port());
    auto res = client.Get("/logs");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200);
    EXPECT_NE(res->body.find("<td>Dora</td><td>Office</td><td>IN</td>"), std::string::npos);

    Messages().Clear();
    web->trigger();
    EXPECT_FALSE(web->isChecked());
    EXPECT_FALSE(ReadRegBool(QStringLiteral("WebEnabled"), true));
    EXPECT_EQ(Messages().Texts(),
              QStringList{QStringLiteral("Web Reporter features are disabled")});
    EXPECT_EQ(status(free.port(), "/logs"), -1);
}

TEST_F(WebWindowTest, StartUpFollowsWebEnabled)
{
    HeldPort free;
    free.release();
    WriteRegInteger(QStringLiteral("WebPort"), free.port());
    {
        TTimeRec &w = OpenWindow();
        EXPECT_FALSE(command(w)->isChecked());
        EXPECT_EQ(status(free.port(), "/"), -1);
        CloseWindow();
    }
    WriteRegBool(QStringLiteral("WebEnabled"), true);
    TTimeRec &w = OpenWindow();
    EXPECT_TRUE(command(w)->isChecked());
    EXPECT_EQ(status(free.port(), "/today"), 200);
    // Closing and reopening the databases (maintenance) keeps requests off the files meanwhile.
    w.CloseDatabasesAndReaders();
    EXPECT_EQ(status(free.port(), "/today"), 503);
    w.ReopenDatabasesAndReaders();
    EXPECT_EQ(status(free.port(), "/today"), 200);
}

TEST_F(WebWindowTest, TakenPortIsAnErrorBoxAndTheDeskRunsOn)
{
    HeldPort taken;
    WriteRegInteger(QStringLiteral("WebPort"), taken.port());
    WriteRegBool(QStringLiteral("WebEnabled"), true);
    TTimeRec &w = OpenWindow();
    ASSERT_GE(Messages().Count(), 1);
    EXPECT_EQ(Messages().Last().kind, MsgKind::Error);
    EXPECT_TRUE(Messages().Last().text.contains(QString::number(taken.port())));
    EXPECT_TRUE(command(w)->isChecked());
    EXPECT_TRUE(ReadRegBool(QStringLiteral("WebEnabled"), false));
    EXPECT_FALSE(w.TerminateRequested());

    // Switching off and on again while the port is still taken: the box again, no info box.
    w.SetLoggedIn(true);
    command(w)->trigger();
    Messages().Clear();
    command(w)->trigger();
    ASSERT_EQ(Messages().Count(), 1);
    EXPECT_EQ(Messages().Last().kind, MsgKind::Error);
    EXPECT_TRUE(command(w)->isChecked());
}

} // namespace
