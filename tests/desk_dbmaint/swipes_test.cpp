// Backup, restore and format of the databases with a simulated reader swiping all along: no
// swipe lost, every one answered, and every box of these commands shown while the doors are
// served.

#include "dbmaintfixture.h"

#include "desk/signalclose.h"
#include "readerlink/reader.h"
#include "store/dbcopy.h"
#include "store/settings.h"
#include "testsupport/diewrite.h"
#include "testsupport/outsidelock.h"
#include "testsupport/readersim.h"
#include "testsupport/simports.h"
#include "testsupport/spin.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>

#include <csignal>
#include <sys/wait.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

long long msBetween(Clock::time_point a, Clock::time_point b)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(b - a).count();
}

class SwipingDeskTest : public DbMaintTest
{
protected:
    void SetUp() override
    {
        DbMaintTest::SetUp();
        ASSERT_TRUE(Data().IsValid());
        PointPortsNowhere();
        m_sim = &AttachSimToPort(m_sims, 1);
        EnableDoor(dsrc->src);
    }
    void TearDown() override
    {
        CloseWindow();
        for (auto &[port, sim] : m_sims)
            sim->Stop();
        DbMaintTest::TearDown();
    }
    // Port 1 an IN door that is its own lock; an unknown card there is answered "~N".
    static void EnableDoor(TDatabase &sys)
    {
        sys.Exec(QStringLiteral("UPDATE reader SET ENABLE=1, MODE=1, OUTPORT=1, LOCKTIME=3 "
                                "WHERE PORTNO=1"));
    }
    // The answers the reader got to its swipes, each with when it came.
    std::vector<Clock::time_point> Answers() const
    {
        std::vector<Clock::time_point> at;
        for (const ReaderSim::Frame &f : m_sim->Received())
            if (f.kind == ReaderSim::Frame::Text && f.payload == ReaderSim::Bytes{'~', 'N'})
                at.push_back(f.at);
        return at;
    }
    TTimeRec &OpenServing()
    {
        TTimeRec &w = OpenLoggedIn();
        EXPECT_TRUE(Readers[1] && Readers[1]->Enable());
        SpinFor(200);
        m_sim->ClearReceived();
        return w;
    }
    static int RowsOfCard(int card)
    {
        TStatement st =
            dsrc->att.Prepare(QStringLiteral("select count(*) from recorder where CARDNO = ?"));
        st.Bind(1, card);
        st.Step();
        return int(st.ColumnInt64(0));
    }

    SimsByPort m_sims;
    ReaderSim *m_sim = nullptr;
};

// Swipes a new card every 50 ms from its own thread while it lives.
class Swiper
{
public:
    Swiper(ReaderSim &sim, int firstCard) : m_sim(sim), m_next(firstCard)
    {
        m_thread = std::thread([this] {
            while (!m_stop) {
                const int card = m_next++;
                const Clock::time_point at = m_sim.SendCard(card);
                {
                    std::lock_guard<std::mutex> lock(m_mutex);
                    m_sent.push_back({card, at});
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            }
        });
    }
    ~Swiper() { Stop(); }
    void Stop()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
    }
    struct Sent
    {
        int card;
        Clock::time_point at;
    };
    std::vector<Sent> SentSoFar() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_sent;
    }

private:
    ReaderSim &m_sim;
    std::atomic<int> m_next;
    std::atomic<bool> m_stop{false};
    mutable std::mutex m_mutex;
    std::vector<Sent> m_sent;
    std::thread m_thread;
};

// A message sink that, while a box is "open", swipes once and waits for the answer with the
// event loop turning, as a modal box would let it.
class SwipeWhileShowing final : public MessageSink
{
public:
    SwipeWhileShowing(ReaderSim &sim, std::function<int()> answers)
        : m_sim(sim), m_answers(std::move(answers)), m_previous(SetMessageSink(this))
    {
    }
    ~SwipeWhileShowing() override { SetMessageSink(m_previous); }
    MsgButton Show(MsgKind, const QString &text, MsgButtons buttons, const QString &) override
    {
        const int before = m_answers();
        QElapsedTimer t;
        t.start();
        m_sim.SendCard(700000 + int(m_shown.size()));
        const bool answered = SpinUntil([&] { return m_answers() > before; }, 5000);
        m_shown << text;
        m_waitMs << (answered ? int(t.elapsed()) : -1);
        return HasButton(buttons, MsgButton::Yes) ? MsgButton::Yes : MsgButton::Ok;
    }
    QStringList m_shown;
    QList<int> m_waitMs; // -1: never answered

private:
    ReaderSim &m_sim;
    std::function<int()> m_answers;
    MessageSink *m_previous;
};

TEST_F(SwipingDeskTest, BoxesOfBackupRestoreAndFormatComeWithTheDoorsServed)
{
    FillLog(2000);
    const QString bad = Path(QStringLiteral("bad.db"));
    WriteBytes(bad, "not a database at all");
    QDir(m_data->Dir()).mkdir(QStringLiteral("afolder.db"));
    // Templates of our own: without the log's the format cannot empty the log.
    QTemporaryDir app;
    ASSERT_TRUE(QFile::copy(QDir(AppPath).filePath(SysdatTemplateName()),
                            QDir(app.path()).filePath(SysdatTemplateName())));
    struct Case
    {
        const char *name;
        const char *action;
        QString file; // answered in the file dialog; empty: none asked
        bool ownTemplates;
        std::vector<const char *> boxes;
    };
    const Case cases[] = {
        {"log restore of a bad file", "actRstLogs", bad, false, {"Invalid Database"}},
        {"system restore of a bad file", "actRstSys", bad, false, {"Invalid Database"}},
        {"backup into a folder that does not exist",
         "actBupLogs",
         Path(QStringLiteral("nowhere/b.db")),
         false,
         {"Operation failed. Please retry!"}},
        {"backup into a folder",
         "actBupSys",
         Path(QStringLiteral("afolder.db")),
         false,
         {"Operation failed. Please retry!"}},
        {"format without the log's template",
         "actdelete",
         QString(),
         true,
         {"This action will erase all attendance records. The associated card information and "
          "all readers' settings will also be lost. Are you sure?",
          "Attendance database locked. It cannot be formatted.", "Database formatted."}},
    };
    TTimeRec &w = OpenServing();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        if (!c.file.isEmpty())
            m_dialogs.QueueName(c.file);
        const QString appPath = AppPath;
        if (c.ownTemplates) {
            // The template's readers are those of the desk now, so the format keeps the door.
            const QString sys = QDir(app.path()).filePath(SysdatTemplateName());
            QFile::setPermissions(sys, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
            TDatabase templ;
            templ.Open(sys, DbKind::Sysdat, TDatabase::OpenMode::ReadWrite);
            EnableDoor(templ);
            templ.Exec(QStringLiteral("PRAGMA journal_mode=DELETE"));
            templ.Close();
            AppPath = app.path();
        }
        SwipeWhileShowing sink(*m_sim, [this] { return int(Answers().size()); });
        Command(w, c.action)->trigger();
        AppPath = appPath;
        QStringList expected;
        for (const char *box : c.boxes)
            expected << QString::fromLatin1(box);
        EXPECT_EQ(sink.m_shown, expected);
        for (int i = 0; i < sink.m_waitMs.size(); ++i) {
            EXPECT_GE(sink.m_waitMs[i], 0)
                << "no answer while showing " << expected.value(i).toStdString();
            EXPECT_LT(sink.m_waitMs[i], 1000) << expected.value(i).toStdString();
        }
    }
}

TEST_F(SwipingDeskTest, EverySwipeThroughBackupRestoreAndFormatOfAMillionRowLogIsLoggedAndAnswered)
{
    FillLog(1000000);
    const QString logCopy = Path(QStringLiteral("log copy.db"));
    const QString sysCopy = Path(QStringLiteral("sys copy.db"));
    QTemporaryDir app;
    for (const QString &name : {AttendTemplateName(), SysdatTemplateName()}) {
        const QString copy = QDir(app.path()).filePath(name);
        ASSERT_TRUE(QFile::copy(QDir(AppPath).filePath(name), copy));
        QFile::setPermissions(copy, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }
    {
        TDatabase templ;
        templ.Open(QDir(app.path()).filePath(SysdatTemplateName()), DbKind::Sysdat,
                   TDatabase::OpenMode::ReadWrite);
        EnableDoor(templ);
        templ.Exec(QStringLiteral("PRAGMA journal_mode=DELETE"));
    }
    struct Case
    {
        const char *name;
        const char *action;
        QString file;
        bool backup;  // nothing closes: each swipe answered in the usual time
        QString copy; // the backup made, which holds every swipe answered before it
        bool ownTemplates;
        const char *box;
    };
    const Case cases[] = {
        {"Backup Log Database", "actBupLogs", logCopy, true, logCopy, false, "Completed."},
        {"Backup System Database", "actBupSys", sysCopy, true, QString(), false, "Completed."},
        {"Restore Log Database", "actRstLogs", logCopy, false, QString(), false, "Completed."},
        {"Restore System Database", "actRstSys", sysCopy, false, QString(), false, "Completed."},
        {"Format Database", "actdelete", QString(), false, QString(), true, "Database formatted."},
    };
    TTimeRec &w = OpenServing();
    // The model tester walks every row at each swipe: too slow for a million.
    m_modelCheck.reset();
    int firstCard = 100000;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        m_sim->ClearReceived();
        Messages().Clear();
        if (!c.file.isEmpty())
            m_dialogs.QueueName(c.file);
        else
            Messages().QueueAnswer(MsgButton::Yes);
        const QString appPath = AppPath;
        if (c.ownTemplates)
            AppPath = app.path();
        // The moment the desk is first seen holding swipes while the files are replaced.
        Clock::time_point holdSeen = Clock::time_point::max();
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, [&] {
            if (w.Core()->HoldingSwipes() && holdSeen == Clock::time_point::max())
                holdSeen = Clock::now();
        });
        watch.start(1);
        Swiper swiper(*m_sim, firstCard);
        SpinFor(300);
        const Clock::time_point started = Clock::now();
        Command(w, c.action)->trigger();
        SpinFor(300);
        swiper.Stop();
        watch.stop();
        AppPath = appPath;
        const std::vector<Swiper::Sent> sent = swiper.SentSoFar();
        firstCard += int(sent.size()) + 1;
        EXPECT_TRUE(SpinUntil([&] { return Answers().size() >= sent.size(); }, 10000));
        const std::vector<Clock::time_point> answers = Answers();
        ASSERT_EQ(answers.size(), sent.size()) << "every swipe answered once";
        EXPECT_EQ(Messages().Texts().value(Messages().Count() - 1), QString::fromLatin1(c.box));
        long long longest = 0;
        int heldRows = 0;
        for (std::size_t i = 0; i < sent.size(); ++i) {
            longest = std::max(longest, msBetween(sent[i].at, answers[i]));
            // A swipe answered before the files were replaced went into the old ones.
            if (c.backup || answers[i] > holdSeen) {
                EXPECT_EQ(RowsOfCard(sent[i].card), 1) << "card " << sent[i].card;
                heldRows += answers[i] > holdSeen;
            }
            if (!c.copy.isEmpty() && answers[i] < started)
                EXPECT_EQ(Shell(c.copy, QStringLiteral("select count(*) from recorder where "
                                                       "CARDNO = %1")
                                            .arg(sent[i].card)),
                          QStringLiteral("1"));
        }
        if (c.backup) {
            EXPECT_EQ(holdSeen, Clock::time_point::max()) << "a backup holds nothing";
            // The idle desk answers in a few ms; closing the ports for the copy took 300 ms and
            // more here.
            EXPECT_LT(longest, 250) << "longest answer " << longest << " ms";
        } else {
            EXPECT_GT(heldRows, 0) << "no swipe came while the files were replaced";
        }
        std::printf("[ %s ] %zu swipes, longest answer %lld ms, %d held\n", c.name, sent.size(),
                    longest, heldRows);
    }
    EXPECT_EQ(Shell(logCopy, QStringLiteral("select count(*) > 1000000 from recorder")),
              QStringLiteral("1"));
}

} // namespace

namespace {

TEST_F(SwipingDeskTest, RestoreSystemDatabaseRunsToTheEndAndSetsTheReadersUpFromTheNewTable)
{
    struct Case
    {
        const char *name;
        const char *change; // on the copy to restore
        std::vector<const char *> boxes;
        bool doorServed;
    };
    const Case cases[] = {
        {"a good file",
         "UPDATE reader SET DESC='Front door' WHERE PORTNO=1;",
         {"Completed."},
         true},
        {"a reader table without 8 rows",
         "DELETE FROM reader WHERE PORTNO=8;",
         {"Database error. Please re-format the database.", "Completed."},
         false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        CloseWindow();
        dsrc->src.Exec(QStringLiteral("DELETE FROM staffs"));
        AddStaff(4711, QStringLiteral("Alice"), 1);
        const QString copy = Path(QStringLiteral("sys %1.db").arg(int(c.boxes.size())));
        ASSERT_EQ(Shell(Data().SysdatPath(), QStringLiteral("VACUUM INTO '%1'").arg(copy)),
                  QString());
        ASSERT_EQ(Shell(copy, QString::fromLatin1(c.change)), QString());
        dsrc->src.Exec(QStringLiteral("DELETE FROM staffs"));
        dsrc->src.Exec(QStringLiteral("UPDATE reader SET DESC='Old' WHERE PORTNO=1"));
        TTimeRec &again = OpenServing();
        Messages().Clear();
        m_dialogs.QueueName(copy);
        Command(again, "actRstSys")->trigger();
        QStringList expected;
        for (const char *box : c.boxes)
            expected << QString::fromLatin1(box);
        EXPECT_EQ(Messages().Texts(), expected);
        EXPECT_EQ(ReadRegString(QStringLiteral("SysDbLast"), QString()), copy);
        EXPECT_EQ(Count(dsrc->src, QStringLiteral("staffs")), 1);
        EXPECT_TRUE(dsrc->staff.Locate(QStringLiteral("CARDNO"), 4711));
        EXPECT_EQ(Readers[1]->Enable(), c.doorServed);
        // The door's swipe is logged in the restored file, or no reader is set up to take it.
        const int rows = RowsOfCard(4711);
        m_sim->SendCard(4711);
        EXPECT_EQ(
            SpinUntil([&] { return RowsOfCard(4711) == rows + 1; }, c.doorServed ? 3000 : 500),
            c.doorServed);
        if (c.doorServed)
            EXPECT_EQ(Readers[1]->Desc(), QStringLiteral("Front door"));
    }
}

} // namespace

namespace {

TEST_F(SwipingDeskTest, ARestoreKilledInItsCommitLeavesADeskThatStartsOnTheOldLogAndServesASwipe)
{
    FillLog(300);
    const QString big = Path(QStringLiteral("big.db"));
    {
        FillLog(200000);
        ASSERT_EQ(Shell(Data().AttendPath(), QStringLiteral("VACUUM INTO '%1'").arg(big)),
                  QString());
        dsrc->att.Exec(QStringLiteral("DELETE FROM recorder WHERE rowid > 300"));
        // Small again, so that the new header counts pages the file cannot hold yet.
        dsrc->att.Exec(QStringLiteral("VACUUM"));
    }
    const QString before = LogRows(Data().AttendPath());
    m_data->CloseDatabases();
    // The live log is replaced by a child that dies once the new first page is written.
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        DieAfterFirstPageWrite::Install("/attend.db");
        RestoreDatabaseFile(big, DbKind::Attend, Data().AttendPath());
        _exit(1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    ASSERT_TRUE(QFileInfo::exists(Data().AttendPath() + QStringLiteral("-journal")));
    const QByteArray header = ReadBytes(Data().AttendPath()).left(100);
    const auto *h = reinterpret_cast<const unsigned char *>(header.constData());
    ASSERT_GT(((qint64(h[28]) << 24) | (h[29] << 16) | (h[30] << 8) | h[31]) * 4096,
              QFileInfo(Data().AttendPath()).size());

    m_data->ReopenDatabases();
    TTimeRec &w = OpenServing();
    EXPECT_TRUE(Messages().Texts().isEmpty())
        << Messages().Texts().join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(w.LogModel()->rowCount(), 300);
    m_sim->SendCard(4242);
    EXPECT_TRUE(SpinUntil([] { return RowsOfCard(4242) == 1; }, 3000));
    EXPECT_TRUE(SpinUntil([this] { return !Answers().empty(); }, 3000));
    CloseWindow();
    EXPECT_TRUE(LogRows(Data().AttendPath()).startsWith(before));
}

} // namespace

namespace {

// A signal to end while swipes wait in memory for a log another program holds locked: the
// desk closes as "Exit" does, and the waiting swipes are written once the lock is let go
// during its closing try; none is lost.
TEST_F(SwipingDeskTest, ASignalDuringALockedLogWaitWritesTheWaitingSwipesAndCloses)
{
    for (const int number : {SIGTERM, SIGHUP, SIGINT}) {
        SCOPED_TRACE(number);
        TTimeRec &w = OpenServing();
        TSignalClose signalClose;
        ASSERT_TRUE(signalClose.Installed());
        QObject::connect(&signalClose, &TSignalClose::Requested, &w, [&w] { w.close(); });
        const int card = 7000 + number;
        auto lock = std::make_unique<OutsideLock>(Data().AttendPath());
        ASSERT_TRUE(lock->Held());
        m_sim->SendCard(card);
        SpinFor(500); // the swipe waits in memory for the lock
        ASSERT_EQ(Shell(Data().AttendPath(),
                        QStringLiteral("SELECT count(*) FROM recorder WHERE CARDNO = %1").arg(card)),
                  QStringLiteral("0"));
        // The other program lets go a moment after the signal, while the desk closes.
        std::thread release([&lock] {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            lock->Release();
        });
        ::raise(number);
        const bool closed = SpinUntil([] { return !dsrc->att.IsOpen(); }, 10000);
        release.join();
        lock.reset();
        ASSERT_TRUE(closed);
        CloseWindow();
        EXPECT_EQ(Shell(Data().AttendPath(),
                        QStringLiteral("SELECT count(*) FROM recorder WHERE CARDNO = %1").arg(card)),
                  QStringLiteral("1"));
    }
}

} // namespace
