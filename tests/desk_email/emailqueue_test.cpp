// The e-mail queue: rounds over the emails table against a real SMTP server, the status-bar
// texts, the timer, and a swipe that comes while a round waits on an unreachable server.

#include "smtpserver.h"

#include "desk/emailqueue.h"
#include "desk_core/deskfixture.h"
#include "store/dbfile.h"
#include "testsupport/outsidelock.h"

#include <QDir>
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
    const QString snapshot =
        MakeSnapshotFileName(4711, QDateTime(QDate(2026, 3, 5), QTime(14, 7, 9)));
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
    EXPECT_EQ(mails[0].attachments[0].name, QStringLiteral("260305-140709-4711.jpg"));
    EXPECT_EQ(mails[0].attachments[0].data, QByteArray("\xFF\xD8 picture \xFF\xD9"));
}

TEST_F(EmailQueueTest, OnlyASnapshotOfThePhotosFolderIsAttached)
{
    SmtpServer server;
    ASSERT_TRUE(server.Start());
    UseServer(server.Port());
    const QDir photos(PhotoPath);
    const QDir data(Data().Dir());
    const auto write = [](const QString &file) {
        QFile f(file);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly)) << file.toStdString();
        f.write("secret or picture");
    };
    const QString name = QStringLiteral("260305-140709-4711.jpg");
    write(photos.filePath(name));
    write(photos.filePath(QStringLiteral("260305-140709--1.jpg")));
    write(photos.filePath(QStringLiteral("staff-4711.jpg")));
    write(photos.filePath(QStringLiteral("260305-140709-4711.jpg.txt")));
    QDir().mkpath(data.filePath(QStringLiteral("other")));
    write(data.filePath(QStringLiteral("other/") + name));
    write(data.filePath(QStringLiteral("sysdat-copy.jpg")));
    ASSERT_TRUE(QFile::link(data.filePath(QStringLiteral("other/") + name),
                            photos.filePath(QStringLiteral("260305-150000-4711.jpg"))));
    ASSERT_TRUE(QFile::link(data.filePath(QStringLiteral("sysdat-copy.jpg")),
                            photos.filePath(QStringLiteral("260305-150001-4711.jpg"))));

    struct Case
    {
        const char *name;
        QString attach;
        bool attached;
    };
    const Case cases[] = {
        {"snapshot of a swipe", photos.filePath(name), true},
        {"snapshot of the exit button", photos.filePath(QStringLiteral("260305-140709--1.jpg")),
         true},
        {"same snapshot through \"./\"", PhotoPath + QStringLiteral("/./") + name, true},
        {"other name in the folder", photos.filePath(QStringLiteral("staff-4711.jpg")), false},
        {"snapshot name with more after it",
         photos.filePath(QStringLiteral("260305-140709-4711.jpg.txt")), false},
        {"snapshot name outside the folder", data.filePath(QStringLiteral("other/") + name), false},
        {"\"../\" out of the folder", PhotoPath + QStringLiteral("/../other/") + name, false},
        {"link pointing outside", photos.filePath(QStringLiteral("260305-150000-4711.jpg")), false},
        {"link to another name outside", photos.filePath(QStringLiteral("260305-150001-4711.jpg")),
         false},
        {"snapshot never written", photos.filePath(QStringLiteral("260305-140710-4711.jpg")),
         false},
        {"a system file", data.filePath(SysdatFileName()), false},
    };
    for (const Case &c : cases)
        Queue(QString::fromLatin1(c.name), QStringLiteral("x\r\n"), c.attach);
    queue->emailtimerTimer();

    const QList<ReceivedMail> mails = server.Mails();
    ASSERT_EQ(mails.size(), int(std::size(cases)));
    for (int i = 0; i < int(std::size(cases)); ++i) {
        SCOPED_TRACE(cases[i].name);
        EXPECT_EQ(mails[i].subject, QString::fromLatin1(cases[i].name));
        EXPECT_EQ(mails[i].attachments.size(), cases[i].attached ? 1 : 0);
        if (cases[i].attached && !mails[i].attachments.isEmpty())
            EXPECT_EQ(mails[i].attachments[0].data, QByteArray("secret or picture"));
    }
    EXPECT_TRUE(dsrc->emails.IsEmpty());
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

// Another program takes the system database's lock while a notice is on its way: the round
// ends at once instead of holding the desk, and the notice that went out is not mailed again.
TEST_F(EmailQueueTest, ASentRowWhoseDeleteIsLockedOutIsNotMailedTwice)
{
    SmtpServer server;
    ASSERT_TRUE(server.Start());
    Queue(QStringLiteral("first"), QStringLiteral("x\r\n"));
    Queue(QStringLiteral("second"), QStringLiteral("y\r\n"));
    std::unique_ptr<OutsideLock> lock;
    queue = std::make_unique<TEmailQueue>(dsrc->emails, [&](const QString &text) {
        if (text == QStringLiteral("Email sending: first") && !lock)
            lock = std::make_unique<OutsideLock>(Data().SysdatPath());
    });
    UseServer(server.Port());

    QElapsedTimer t;
    t.start();
    queue->emailtimerTimer();
    ASSERT_TRUE(lock && lock->Held());
    EXPECT_LT(t.elapsed(), 1500); // not the connection's seconds-long wait
    EXPECT_EQ(Subjects(server.Mails()), QStringList{QStringLiteral("first")});

    lock->Release();
    queue->emailtimerTimer();
    EXPECT_EQ(Subjects(server.Mails()),
              (QStringList{QStringLiteral("first"), QStringLiteral("second")}));
    dsrc->emails.Refresh();
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
