// Sending one notice to a real SMTP server, and the texts of the local addresses.

#include "smtpserver.h"

#include "store/email.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

class SendEmailTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(server.Start()) << server.ErrorText().toStdString(); }

    bool Send(const std::string &attachment, const std::string &body, const std::string &subject,
              const std::string &a, const std::string &b,
              const std::string &sender = "desk@site.example")
    {
        return SendEmail(nullptr, "127.0.0.1", server.Port(), attachment, body, subject, a, b,
                         sender);
    }

    SmtpServer server;
    QTemporaryDir files;
};

TEST_F(SendEmailTest, DeliversTheNoticeWithItsHeadersAndLineBreaks)
{
    const std::string body =
        "Alice [4711]\r\nOffice\r\nMarch 5, 2026 Thursday  PM02:07:09\r\nIN\r\n"
        ".a line that starts with a dot\r\nZoë\r\n";
    ASSERT_TRUE(
        Send("", body, "[2026/03/05 PM14:07:09] Alice, Office — Zoë", "", "boss@site.example"));
    const QList<ReceivedMail> mails = server.Mails();
    ASSERT_EQ(mails.size(), 1);
    const ReceivedMail &m = mails[0];
    EXPECT_EQ(m.subject, QStringLiteral("[2026/03/05 PM14:07:09] Alice, Office — Zoë"));
    EXPECT_EQ(m.body, QStringLiteral("Alice [4711]\nOffice\nMarch 5, 2026 Thursday  PM02:07:09\n"
                                     "IN\n.a line that starts with a dot\nZoë\n"));
    EXPECT_EQ(m.mailFrom, QStringLiteral("desk@site.example"));
    EXPECT_EQ(m.from, QStringLiteral("desk@site.example"));
    EXPECT_EQ(m.rcptTo, QStringLiteral("boss@site.example"));
    EXPECT_TRUE(m.dateParses) << m.date.toStdString();
    EXPECT_TRUE(m.messageId.startsWith(QLatin1Char('<')) &&
                m.messageId.endsWith(QLatin1Char('>')) && m.messageId.contains(QLatin1Char('@')))
        << m.messageId.toStdString();
    EXPECT_TRUE(m.attachments.isEmpty());
}

TEST_F(SendEmailTest, MessageIdsDifferBetweenMessages)
{
    ASSERT_TRUE(Send("", "one", "one", "", "a@site.example"));
    ASSERT_TRUE(Send("", "two", "two", "", "a@site.example"));
    const QList<ReceivedMail> mails = server.Mails();
    ASSERT_EQ(mails.size(), 2);
    EXPECT_NE(mails[0].messageId, mails[1].messageId);
}

TEST_F(SendEmailTest, RecipientListsAreJoinedAndSplitAtSemicolons)
{
    struct Case
    {
        const char *name;
        std::string a, b;
        const char *expect;
    };
    const Case cases[] = {
        {"one list B", "", "a@x.example", "a@x.example"},
        {"several, with blanks", "", " a@x.example ; b@y.example;", "a@x.example, b@y.example"},
        {"B before A", "c@z.example", "a@x.example;b@y.example",
         "a@x.example, b@y.example, c@z.example"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        SmtpServer fresh;
        ASSERT_TRUE(fresh.Start());
        ASSERT_TRUE(SendEmail(nullptr, "127.0.0.1", fresh.Port(), "", "x", "s", c.a, c.b,
                              "desk@site.example"));
        const QList<ReceivedMail> mails = fresh.Mails();
        ASSERT_EQ(mails.size(), 1);
        EXPECT_EQ(mails[0].rcptTo, QString::fromLatin1(c.expect));
    }
}

TEST_F(SendEmailTest, AttachesTheFileOnlyWhenItExists)
{
    QByteArray jpeg("\xFF\xD8\xFF\xE0 not really a picture \x00\x01\x02\xFF\xD9", 32);
    const QString path = files.filePath(QStringLiteral("260305-140709-4711.jpg"));
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(jpeg);
    }
    struct Case
    {
        const char *name;
        std::string attachment;
        bool attached;
    };
    const Case cases[] = {
        {"existing snapshot", path.toStdString(), true},
        {"snapshot never written", files.filePath(QStringLiteral("missing.jpg")).toStdString(),
         false},
        {"a folder, not a file", files.path().toStdString(), false},
        {"no name", "", false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        SmtpServer fresh;
        ASSERT_TRUE(fresh.Start());
        ASSERT_TRUE(SendEmail(nullptr, "127.0.0.1", fresh.Port(), c.attachment, "body\r\n",
                              "subject", "", "a@x.example", "desk@site.example"));
        const QList<ReceivedMail> mails = fresh.Mails();
        ASSERT_EQ(mails.size(), 1);
        EXPECT_EQ(mails[0].body, QStringLiteral("body\n"));
        if (c.attached) {
            ASSERT_EQ(mails[0].attachments.size(), 1);
            EXPECT_EQ(mails[0].attachments[0].name, QStringLiteral("260305-140709-4711.jpg"));
            EXPECT_EQ(mails[0].attachments[0].type, QStringLiteral("image/jpeg"));
            EXPECT_EQ(mails[0].attachments[0].data, jpeg);
        } else {
            EXPECT_TRUE(mails[0].attachments.isEmpty());
        }
    }
}

TEST_F(SendEmailTest, RefusesWhatCannotBeSent)
{
    struct Case
    {
        const char *name;
        std::string host;
        int port;
        std::string recipients;
    };
    const int closed = UnusedPort();
    const Case cases[] = {
        {"no server", "", server.Port(), "a@x.example"},
        {"blank server", "   ", server.Port(), "a@x.example"},
        {"no recipient", "127.0.0.1", server.Port(), ""},
        {"only separators", "127.0.0.1", server.Port(), " ; ;"},
        {"nothing listens", "127.0.0.1", closed, "a@x.example"},
        {"unknown host", "no-such-host.invalid", server.Port(), "a@x.example"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(SendEmail(nullptr, c.host, c.port, "", "x", "s", "", c.recipients,
                               "desk@site.example"));
    }
    EXPECT_TRUE(server.Mails().isEmpty());
}

TEST(SendEmailUnreachable, FailsAfterTheConnectTimeOutWhileTheEventLoopTurns)
{
    BlackholeServer hole;
    ASSERT_TRUE(hole.IsValid());
    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&ticks] { ++ticks; });
    ticker.start(50);
    QElapsedTimer t;
    t.start();
    const bool sent = SendEmail(nullptr, "127.0.0.1", hole.Port(), "", "x", "s", "", "a@x.example",
                                "desk@site.example");
    const qint64 ms = t.elapsed();
    EXPECT_FALSE(sent);
    EXPECT_GE(ms, 2800);
    EXPECT_LE(ms, 4500);
    // Timers were served all along: about one tick per 50 ms of the wait.
    EXPECT_GE(ticks, int(ms / 50) / 2);
}

TEST(LocalAddresses, IpToStrWritesTheFirstByteLowest)
{
    struct Case
    {
        std::uint32_t address;
        const char *text;
    };
    const Case cases[] = {
        {0x0501A8C0u, "192.168.1.5"},     {0x0100007Fu, "127.0.0.1"}, {0u, "0.0.0.0"},
        {0xFFFFFFFFu, "255.255.255.255"}, {0x0A00000Au, "10.0.0.10"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(IpToStr(c.address), QString::fromLatin1(c.text)) << c.text;
}

TEST(LocalAddresses, ListRunsFromTheLastAddressToTheFirst)
{
    EXPECT_EQ(FormatIpList({0x0501A8C0u, 0x0700000Au}, QStringLiteral("desk")),
              QStringLiteral("10.0.0.7, 192.168.1.5"));
    EXPECT_EQ(FormatIpList({0x0100007Fu}, QStringLiteral("desk")), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(FormatIpList({}, QStringLiteral("desk")), QStringLiteral("desk"));
}

TEST(LocalAddresses, GetLocalIpListGivesDottedAddresses)
{
    QString text = QStringLiteral("left over");
    GetLocalIpList(text);
    // The machine's own addresses vary; each entry must be a dotted IPv4 address.
    if (text.isEmpty())
        GTEST_SKIP() << "this machine's host name does not resolve";
    const QRegularExpression dotted(QStringLiteral("^\\d{1,3}\\.\\d{1,3}\\.\\d{1,3}\\.\\d{1,3}$"));
    for (const QString &entry : text.split(QStringLiteral(", ")))
        EXPECT_TRUE(dotted.match(entry).hasMatch()) << text.toStdString();
}

} // namespace
