// The e-mail queue: rounds over the emails table against a real SMTP server, the status-bar
// texts, the timer, and a swipe that comes while a round waits on an unreachable server.

#include "smtpserver.h"

#include "desk/emailqueue.h"
#include "desk_core/deskfixture.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTimer>

#include <utility>

namespace {

class EmailQueueTest : public DeskCoreTest
{
protected:
    void SetUp() override
    {
        DeskCoreTest::SetUp();
        queue = std::make_unique<TEmailQueue>(dsrc->emails,
                                              [this](const QString &text) { statuses << text; });
    }
    void TearDown() override
    {
        queue.reset();
        DeskCoreTest::TearDown();
    }

    void UseServer(int port)
    {
        queue->SetSmtpPort(port);
        WriteRegString(QStringLiteral("EmailSmtpServer"), QStringLiteral("127.0.0.1"));
        WriteRegString(QStringLiteral("EmailRecipant"),
                       QStringLiteral("boss@site.example;guard@site.example"));
        WriteRegString(QStringLiteral("EmailSender"), QStringLiteral("desk@site.example"));
    }

    static void Queue(const QString &title, const QString &msg, const QString &attach = QString())
    {
        TDataSet &e = dsrc->emails;
        e.Append();
        e.FieldByName(QStringLiteral("TITLE")).SetAsString(title);
        e.FieldByName(QStringLiteral("MSG")).SetAsString(msg);
        e.FieldByName(QStringLiteral("ATTACH")).SetAsString(attach);
        e.Post();
    }

    static QStringList QueuedTitles()
    {
        QStringList out;
        for (int r = 0; r < dsrc->emails.RecordCount(); ++r)
            out << dsrc->emails.FieldAt(r, QStringLiteral("TITLE")).toString();
        return out;
    }

    static QStringList Subjects(const QList<ReceivedMail> &mails)
    {
        QStringList out;
        for (const ReceivedMail &m : mails)
            out << m.subject;
        return out;
    }

    std::unique_ptr<TEmailQueue> queue;
    QStringList statuses;
};

TEST_F(EmailQueueTest, OneRoundSendsEveryRowOldestFirstAndEmptiesTheTable)
{
    SmtpServer server;
    ASSERT_TRUE(server.Start()) << server.ErrorText().toStdString();
    UseServer(server.Port());
    Queue(QStringLiteral("first"), QStringLiteral("Alice [1]\r\nOffice\r\n"));
    Queue(QStringLiteral("second"), QStringLiteral("Bob [2]\r\n"));
    Queue(QStringLiteral("third"), QStringLiteral("Carol [3]\r\n"),
          Data().Dir() + QStringLiteral("/photos/never-written.jpg"));

    queue->emailtimerTimer();

    const QList<ReceivedMail> mails = server.Mails();
    EXPECT_EQ(Subjects(mails), (QStringList{QStringLiteral("first"), QStringLiteral("second"),
                                            QStringLiteral("third")}));
    ASSERT_EQ(mails.size(), 3);
    EXPECT_EQ(mails[0].body, QStringLiteral("Alice [1]\nOffice\n"));
    EXPECT_EQ(mails[0].rcptTo, QStringLiteral("boss@site.example, guard@site.example"));
    EXPECT_EQ(mails[0].mailFrom, QStringLiteral("desk@site.example"));
    EXPECT_TRUE(mails[2].attachments.isEmpty());
    EXPECT_TRUE(dsrc->emails.IsEmpty());
    dsrc->emails.Close();
    dsrc->emails.Open();
    EXPECT_TRUE(dsrc->emails.IsEmpty());
    EXPECT_EQ(statuses, (QStringList{QStringLiteral("Email sending: first"), QString(),
                                     QStringLiteral("Email sending: second"), QString(),
                                     QStringLiteral("Email sending: third"), QString()}));
}

TEST_F(EmailQueueTest, ASnapshotThatExistsTravelsWithItsNotice)
{
    SmtpServer server;
    ASSERT_TRUE(server.Start());
    UseServer(server.Port());
    const QString snapshot = Data().Dir() + QStringLiteral("/snap.jpg");
    {
        QFile f(snapshot);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("\xFF\xD8 picture \xFF\xD9");
    }
    Queue(QStringLiteral("with snapshot"), QStringLiteral("x\r\n"), snapshot);
    queue->emailtimerTimer();
    const QList<ReceivedMail> mails = server.Mails();
    ASSERT_EQ(mails.size(), 1);
    ASSERT_EQ(mails[0].attachments.size(), 1);
    EXPECT_EQ(mails[0].attachments[0].name, QStringLiteral("snap.jpg"));
    EXPECT_EQ(mails[0].attachments[0].data, QByteArray("\xFF\xD8 picture \xFF\xD9"));
}

TEST_F(EmailQueueTest, RowsQueuedDuringASendGoInTheSameRoundAndNoneIsLost)
{
    SmtpServer server;
    ASSERT_TRUE(server.Start());
    UseServer(server.Port());
    Queue(QStringLiteral("before"), QStringLiteral("x\r\n"));
    // Fires inside the first send's wait, as a swipe would, leaving the cursor on the new row.
    bool queuedDuringSend = false;
    bool fired = false;
    queue = std::make_unique<TEmailQueue>(dsrc->emails, [&](const QString &text) {
        if (text == QStringLiteral("Email sending: before") && !std::exchange(fired, true))
            QTimer::singleShot(0, [&] {
                queuedDuringSend = queue->Sending();
                Queue(QStringLiteral("during"), QStringLiteral("y\r\n"));
            });
    });
    UseServer(server.Port());

    queue->emailtimerTimer();

    EXPECT_EQ(Subjects(server.Mails()),
              (QStringList{QStringLiteral("before"), QStringLiteral("during")}));
    EXPECT_TRUE(queuedDuringSend);
    EXPECT_TRUE(dsrc->emails.IsEmpty());
}

TEST_F(EmailQueueTest, AFailureKeepsTheRowAndTriesNothingElseThisRound)
{
    const int closed = UnusedPort();
    UseServer(closed);
    Queue(QStringLiteral("first"), QStringLiteral("x\r\n"));
    Queue(QStringLiteral("second"), QStringLiteral("y\r\n"));
    WriteRegBool(QStringLiteral("EmailEnabled"), true);

    queue->emailtimerTimer();

    EXPECT_EQ(QueuedTitles(), (QStringList{QStringLiteral("first"), QStringLiteral("second")}));
    EXPECT_EQ(statuses, (QStringList{QStringLiteral("Email sending: first"),
                                     QStringLiteral("Email sent error.")}));
    // The next round starts again from the same row, now that the server is there.
    EXPECT_TRUE(queue->emailtimer()->isActive());
    SmtpServer server;
    ASSERT_TRUE(server.Start());
    UseServer(server.Port());
    queue->emailtimerTimer();
    EXPECT_EQ(Subjects(server.Mails()),
              (QStringList{QStringLiteral("first"), QStringLiteral("second")}));
}

TEST_F(EmailQueueTest, MissingSettingsFailTheRound)
{
    Queue(QStringLiteral("first"), QStringLiteral("x\r\n"));
    queue->emailtimerTimer();
    EXPECT_EQ(QueuedTitles(), QStringList{QStringLiteral("first")});
    EXPECT_EQ(statuses.last(), QStringLiteral("Email sent error."));
}

TEST_F(EmailQueueTest, AClosedQueueEndsTheRoundQuietly)
{
    dsrc->emails.Close();
    queue->emailtimerTimer();
    EXPECT_TRUE(statuses.isEmpty());
}

TEST_F(EmailQueueTest, ArmEmailTimerFollowsTheSettings)
{
    struct Case
    {
        const char *name;
        bool enabled;
        int minutes;
        bool active;
        int interval;
    };
    const Case cases[] = {
        {"each record", true, 0, true, 1000},
        {"every 5 minutes", true, 5, true, 300000},
        {"every 240 minutes", true, 240, true, 14400000},
        {"disabled", false, 30, false, 1800000},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        WriteRegBool(QStringLiteral("EmailEnabled"), c.enabled);
        WriteRegInteger(QStringLiteral("EmailIntervals"), c.minutes);
        queue->ArmEmailTimer();
        EXPECT_EQ(queue->emailtimer()->isActive(), c.active);
        EXPECT_EQ(queue->emailtimer()->interval(), c.interval);
    }
    // Nothing stored: one second, and off.
    ClearSettings();
    queue->ArmEmailTimer();
    EXPECT_FALSE(queue->emailtimer()->isActive());
    EXPECT_EQ(queue->emailtimer()->interval(), 1000);
}

TEST_F(EmailQueueTest, WithEachRecordARoundRunsEverySecond)
{
    SmtpServer server;
    ASSERT_TRUE(server.Start());
    UseServer(server.Port());
    WriteRegBool(QStringLiteral("EmailEnabled"), true);
    WriteRegInteger(QStringLiteral("EmailIntervals"), 0);
    queue->ArmEmailTimer();
    Queue(QStringLiteral("one"), QStringLiteral("x\r\n"));
    ASSERT_TRUE(SpinUntil([] { return dsrc->emails.IsEmpty(); }, 3000));
    Queue(QStringLiteral("two"), QStringLiteral("y\r\n"));
    ASSERT_TRUE(SpinUntil([] { return dsrc->emails.IsEmpty(); }, 3000));
    EXPECT_EQ(Subjects(server.Mails()),
              (QStringList{QStringLiteral("one"), QStringLiteral("two")}));
    EXPECT_TRUE(queue->emailtimer()->isActive());
}

TEST_F(EmailQueueTest, ASwipeDuringTheWaitOnAnUnreachableServerIsHandledAtOnce)
{
    BlackholeServer hole;
    ASSERT_TRUE(hole.IsValid());
    UseServer(hole.Port());
    WriteRegBool(QStringLiteral("EmailEnabled"), true);
    WriteRegBool(QStringLiteral("EmailStaffOnly"), false);
    ReaderSim &sim = AttachSim(1);
    ConfigureReader(1, ReaderRow{});
    StartCore();
    ASSERT_TRUE(Readers[1]->Enable());
    Queue(QStringLiteral("waiting"), QStringLiteral("x\r\n"));

    const int logsBefore = LogCount();
    qint64 swipeHandledMs = -1;
    bool sendingAtSwipe = false;
    QElapsedTimer round;
    QTimer::singleShot(500, [&] {
        QElapsedTimer swipe;
        swipe.start();
        sim.SendCard(4711);
        // The swipe's log row and its door answer arrive while the round still waits.
        SpinUntil([&] { return LogCount() > logsBefore && !Texts(sim).empty(); }, 2000);
        swipeHandledMs = swipe.elapsed();
        sendingAtSwipe = queue->Sending();
    });
    round.start();
    queue->emailtimerTimer();
    const qint64 roundMs = round.elapsed();

    EXPECT_TRUE(sendingAtSwipe);
    EXPECT_GE(swipeHandledMs, 0);
    EXPECT_LT(swipeHandledMs, 500);
    EXPECT_EQ(LogCount(), logsBefore + 1);
    EXPECT_GE(roundMs, 2800);
    EXPECT_LE(roundMs, 5000);
    EXPECT_EQ(statuses.last(), QStringLiteral("Email sent error."));
    // The waiting row stays first; the swipe's notice is queued behind it.
    const QStringList titles = QueuedTitles();
    ASSERT_EQ(titles.size(), 2);
    EXPECT_EQ(titles[0], QStringLiteral("waiting"));
}

} // namespace
