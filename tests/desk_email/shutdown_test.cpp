// Closing the main window while a mail round waits on a slow server: the send is aborted at
// once and the window closes as soon as the round has unwound; a notice the server took before
// the close is struck off the queue, and the rest stays for the next start.

#include "smtpserver.h"

#include "desk/emailqueue.h"
#include "desk_window/windowfixture.h"
#include "store/settings.h"
#include "testsupport/spin.h"

#include <QElapsedTimer>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>
#include <utility>

namespace {

class MailShutdownTest : public WindowTest
{
protected:
    // The queue starts a round within a second of start-up.
    static void EnableMail()
    {
        WriteRegString(QStringLiteral("EmailSmtpServer"), QStringLiteral("127.0.0.1"));
        WriteRegString(QStringLiteral("EmailRecipant"), QStringLiteral("boss@site.example"));
        WriteRegString(QStringLiteral("EmailSender"), QStringLiteral("desk@site.example"));
        WriteRegBool(QStringLiteral("EmailEnabled"), true);
        WriteRegInteger(QStringLiteral("EmailIntervals"), 0);
    }
    static void Queue(const QString &title)
    {
        TDataSet &e = dsrc->emails;
        e.Append();
        e.FieldByName(QStringLiteral("TITLE")).SetAsString(title);
        e.FieldByName(QStringLiteral("MSG")).SetAsString(QStringLiteral("x\r\n"));
        e.Post();
    }
    // The titles left in the queue table, read from the file once the window has closed it.
    QStringList QueuedTitlesOnDisk()
    {
        Data().ReopenDatabases();
        QStringList out;
        TStatement st = dsrc->src.Prepare(QStringLiteral("select TITLE from emails order by SEQ"));
        while (st.Step())
            out << st.ColumnText(0);
        return out;
    }

    // Opens the window on the server; once the round is under way and ready() holds, closes
    // the window (from a timer, as the round turns the event loop) and answers how long the
    // close took to end the round and close the databases (-1 when it never did).
    qint64 CloseDuringRound(int port, const std::function<bool()> &ready)
    {
        EnableMail();
        TTimeRec &w = OpenWindow();
        w.EmailQueue()->SetSmtpPort(port);
        QElapsedTimer closing;
        QTimer closer;
        QObject::connect(&closer, &QTimer::timeout, [&] {
            if (!closing.isValid() && w.EmailQueue()->Sending() && ready()) {
                closing.start();
                w.close();
            }
        });
        closer.start(20);
        // Told apart from a close that happened at once: the round has ended too.
        const bool closed = SpinUntil(
            [&] { return closing.isValid() && !dsrc->src.IsOpen() && !w.EmailQueue()->Sending(); },
            60000);
        if (!closing.isValid())
            ADD_FAILURE() << "the round never got to the server";
        return closed ? closing.elapsed() : -1;
    }
};

TEST_F(MailShutdownTest, ClosingAbortsASendTheServerIsSlowToAnswer)
{
    SlowSmtpServer server(SlowSmtpServer::Stall::AtSender);
    ASSERT_TRUE(server.Start()) << server.ErrorText().toStdString();
    Queue(QStringLiteral("waiting"));

    // Half a second into the server's silence.
    QElapsedTimer sending;
    bool started = false;
    const qint64 ms = CloseDuringRound(server.Port(), [&] {
        if (!std::exchange(started, true))
            sending.start();
        return sending.elapsed() >= 500;
    });

    ASSERT_GE(ms, 0) << "the window did not close";
    // The server stays silent for 20 s and the desk would wait 30 s for each answer.
    EXPECT_LT(ms, 3000);
    EXPECT_EQ(server.Taken(), 0);
    EXPECT_EQ(QueuedTitlesOnDisk(), QStringList{QStringLiteral("waiting")});
}

TEST_F(MailShutdownTest, ANoticeTheServerTookLeavesTheQueueEvenWhileTheWindowCloses)
{
    SlowSmtpServer server(SlowSmtpServer::Stall::AtQuit);
    ASSERT_TRUE(server.Start()) << server.ErrorText().toStdString();
    Queue(QStringLiteral("taken"));
    Queue(QStringLiteral("behind it"));

    // The server has the first message and is slow to say goodbye.
    const qint64 ms = CloseDuringRound(server.Port(), [&] { return server.Taken() == 1; });

    ASSERT_GE(ms, 0) << "the window did not close";
    EXPECT_LT(ms, 3000);
    EXPECT_EQ(server.Taken(), 1);
    EXPECT_EQ(QueuedTitlesOnDisk(), QStringList{QStringLiteral("behind it")});
}

} // namespace
