// The road of a card swipe end to end: a simulated reader sends the card, the desk answers on
// the wire and writes the log, anti-passback and e-mail rows.

#include "deskfixture.h"

#include "desk/speechengine.h"
#include "testsupport/fakespeechengine.h"
#include "testsupport/paramname.h"

#include <QDialog>
#include <QTimer>

namespace {

using Texts_t = std::vector<std::string>;

constexpr int Card = 4711;
const QDateTime Afternoon(QDate(2026, 3, 5), QTime(14, 7, 9));

struct LiveCase
{
    const char *name;
    ReaderRow port1; // the swiping reader
    bool withPort2;  // a second reader on port 2 (IN, its own lock, lock time 5)
    bool staff;      // the card is registered
    std::vector<int> rights;
    bool autoInOut;
    bool panelIn;
    Texts_t expect1;
    Texts_t expect2;
    int expectMode;
    int expectLock;
};

ReaderRow WithApb(ReaderRow r)
{
    r.apb = true;
    return r;
}

class LiveSwipe : public DeskCoreTest, public ::testing::WithParamInterface<LiveCase>
{
};

TEST_P(LiveSwipe, AnswersOnTheWireAndLogsTheRow)
{
    const LiveCase &c = GetParam();
    PinClock(Afternoon);
    WriteRegBool(QStringLiteral("AutoInOut"), c.autoInOut);
    ReaderSim &sim1 = AttachSim(1);
    ConfigureReader(1, c.port1);
    ReaderSim *sim2 = nullptr;
    if (c.withPort2) {
        sim2 = &AttachSim(2);
        ConfigureReader(2, Row(1, 2, 5));
    }
    if (c.staff)
        AddStaff({.card = Card, .name = QStringLiteral("Alice"), .ports = c.rights});
    StartCore();
    ASSERT_TRUE(Readers[1]->Enable());
    core->SetInOutPanel(c.panelIn);

    const int before = LogCount();
    sim1.SendCard(Card);
    ASSERT_TRUE(WaitForLogRows(before + 1));
    EXPECT_EQ(TextsSettled(sim1, c.expect1.size()), c.expect1);
    if (sim2) {
        EXPECT_EQ(TextsSettled(*sim2, c.expect2.size()), c.expect2);
    }

    EXPECT_EQ(LogCount(), before + 1);
    EXPECT_EQ(LastLog("CARDNO").toInt(), Card);
    EXPECT_EQ(LastLog("MODE").toInt(), c.expectMode);
    EXPECT_EQ(LastLog("READER").toInt(), 1);
    EXPECT_EQ(LastLog("LOCK").toInt(), c.expectLock);
    EXPECT_EQ(LastLog("SYSTIME").toDateTime(), Afternoon);
    // A clock reader never touches the anti-passback state, nor does a refused swipe.
    EXPECT_EQ(dsrc->apb.RecordCount(), 0);
    EXPECT_EQ(view.photos, std::vector<int>{Card});
    EXPECT_EQ(view.recordCounts, 1);
}

// One row for each way a decision reaches the wire and the log; which swipe gets which decision
// is the access-decision table's.
INSTANTIATE_TEST_SUITE_P(
    Swipe, LiveSwipe,
    ::testing::Values(
        LiveCase{"InReaderOwnLock", Row(1, 1, 3), false, true, {1}, false, true, {"~Y3"}, {}, 1, 1},
        LiveCase{
            "InReaderOtherLock", Row(1, 2), true, true, {1, 2}, false, true, {"~y"}, {"~Y5"}, 1, 2},
        LiveCase{
            "OutReaderOwnLock", Row(2, 1, 7), false, true, {1}, false, true, {"~Y7"}, {}, 2, 1},
        LiveCase{"UnknownCard", Row(1, 1), false, false, {}, false, true, {"~N"}, {}, 1, 0},
        LiveCase{
            "UnknownCardAtClockReader", Row(0, 1), false, false, {}, false, true, {"~N"}, {}, 0, 0},
        LiveCase{"ClockReader", Row(0, 1), false, true, {1}, false, true, {"~y"}, {}, 0, 0},
        LiveCase{"ClockReaderIgnoresAntiPassback",
                 WithApb(Row(0, 1)),
                 false,
                 true,
                 {1},
                 false,
                 true,
                 {"~y"},
                 {},
                 0,
                 0},
        LiveCase{"ClockReaderAutoIn", Row(0, 1), false, true, {1}, true, true, {"~y"}, {}, 1, 0},
        LiveCase{"ClockReaderAutoOut", Row(0, 1), false, true, {1}, true, false, {"~y"}, {}, 2, 0},
        LiveCase{"NoRightAtInReader", Row(1, 1), false, true, {2}, false, true, {"~N"}, {}, 1, 0},
        LiveCase{"NoRightAtLockReader", Row(1, 2), true, true, {1}, false, true, {"~N"}, {}, 1, 0},
        LiveCase{
            "LockZeroRefusesEveryone", Row(1, 0), false, true, {1}, false, true, {"~N"}, {}, 1, 0},
        LiveCase{
            "LockOutOfRangeRefuses", Row(1, 9), false, true, {1}, false, true, {"~N"}, {}, 1, 0}),
    ParamName());

// ---- anti-passback -------------------------------------------------------------------------

class AntiPassback : public DeskCoreTest
{
protected:
    // Port 1 IN and port 2 OUT both open the door of port 1; port 1 carries the flag.
    void SetUpDoors(bool inApb, bool outApb)
    {
        in = &AttachSim(1);
        out = &AttachSim(2);
        ReaderRow r1 = Row(1, 1);
        r1.apb = inApb;
        ReaderRow r2 = Row(2, 1);
        r2.apb = outApb;
        ConfigureReader(1, r1);
        ConfigureReader(2, r2);
        AddStaff({.card = Card, .name = QStringLiteral("Alice"), .ports = {1, 2}});
        StartCore();
    }
    // Swipes and returns the LOCK of the row written.
    int Swipe(ReaderSim &sim)
    {
        const int before = LogCount();
        sim.SendCard(Card);
        EXPECT_TRUE(WaitForLogRows(before + 1));
        SpinFor(100);
        return LastLog("LOCK").toInt();
    }
    int ApbState()
    {
        dsrc->apb.Refresh();
        return dsrc->apb.Locate(QStringLiteral("CARDNO"), Card)
                   ? dsrc->apb.FieldByName(QStringLiteral("STATE")).AsInteger()
                   : -1;
    }
    ReaderSim *in = nullptr;
    ReaderSim *out = nullptr;
};

TEST_F(AntiPassback, SameDirectionTwiceIsRefusedAndAnOutReadmits)
{
    SetUpDoors(true, false);
    EXPECT_EQ(Swipe(*in), 1);
    EXPECT_EQ(ApbState(), 1);
    EXPECT_EQ(Swipe(*in), 0);
    EXPECT_EQ(Texts(*in), (Texts_t{"~Y3", "~N"}));

    // Out through the same door: the swiping reader signals, the lock reader opens.
    in->ClearReceived();
    EXPECT_EQ(Swipe(*out), 1);
    EXPECT_EQ(TextsSettled(*out, 1), Texts_t{"~y"});
    EXPECT_EQ(TextsSettled(*in, 1), Texts_t{"~Y3"});
    EXPECT_EQ(ApbState(), 2);

    in->ClearReceived();
    EXPECT_EQ(Swipe(*in), 1);
    EXPECT_EQ(TextsSettled(*in, 1), Texts_t{"~Y3"});
    EXPECT_EQ(ApbState(), 1);
    EXPECT_EQ(dsrc->apb.RecordCount(), 1);
}

TEST_F(AntiPassback, TheLockReadersFlagDecidesNotTheSwipingReaders)
{
    // The OUT reader has the flag, its lock (port 1) has not: twice out is fine.
    SetUpDoors(false, true);
    EXPECT_EQ(Swipe(*out), 1);
    EXPECT_EQ(Swipe(*out), 1);
    EXPECT_EQ(ApbState(), -1);
}

TEST_F(AntiPassback, ARefusedCardWritesNoState)
{
    SetUpDoors(true, false);
    Exec(QStringLiteral("UPDATE staffs SET COM1=0 WHERE CARDNO=%1").arg(Card));
    dsrc->staff.Refresh();
    EXPECT_EQ(Swipe(*in), 0);
    EXPECT_EQ(ApbState(), -1);
}

// ---- stored swipes -------------------------------------------------------------------------

TEST_F(DeskCoreTest, StoredSwipeIsLoggedWithItsOwnTimeAndModeAndOnlyAcknowledged)
{
    WriteRegBool(QStringLiteral("EmailEnabled"), true);
    WriteRegBool(QStringLiteral("EmailStaffOnly"), false);
    WriteRegBool(QStringLiteral("SpeechEnable"), true);
    auto speech = std::make_shared<FakeSpeechLog>();
    SetSpeechEngineFactory([speech] { return std::make_unique<FakeSpeechEngine>(speech); });
    ReaderSim &sim = AttachSim(1);
    ConfigureReader(1, Row(1, 1));
    AddStaff({.card = Card, .name = QStringLiteral("Alice"), .ports = {1}});
    StartCore();

    const int before = LogCount();
    sim.SendStoredCard(Card, true, 2, ReaderSim::Time{2025, 11, 30, 7, 45, 12});
    ASSERT_TRUE(WaitForLogRows(before + 1));
    EXPECT_EQ(TextsSettled(sim, 1), Texts_t{"~A"});
    EXPECT_EQ(LogCount(), before + 1);
    EXPECT_EQ(LastLog("SYSTIME").toDateTime(), QDateTime(QDate(2025, 11, 30), QTime(7, 45, 12)));
    EXPECT_EQ(LastLog("MODE").toInt(), 2);
    EXPECT_EQ(LastLog("LOCK").toInt(), 0);
    EXPECT_EQ(dsrc->emails.RecordCount(), 0);
    EXPECT_TRUE(view.photos.empty());
    EXPECT_EQ(view.recordCounts, 0);
    EXPECT_EQ(core->Speech(), nullptr);
}

// ---- e-mail notices ------------------------------------------------------------------------

struct EmailCase
{
    const char *name;
    bool staff;
    bool staffOnly;
    int lock;
    bool expectRow;
    QString title;
    QStringList lines;
};

class EmailNotice : public DeskCoreTest, public ::testing::WithParamInterface<EmailCase>
{
};

TEST_P(EmailNotice, QueuesTheSixLines)
{
    const EmailCase &c = GetParam();
    PinClock(Afternoon);
    WriteRegBool(QStringLiteral("EmailEnabled"), true);
    WriteRegBool(QStringLiteral("EmailStaffOnly"), c.staffOnly);
    ReaderSim &sim = AttachSim(1);
    ReaderRow r = Row(1, c.lock);
    r.desc = QStringLiteral("Front door");
    ConfigureReader(1, r);
    if (c.staff)
        AddStaff({.card = Card, .name = QStringLiteral("Alice"), .ports = {1}});
    StartCore();

    sim.SendCard(Card);
    ASSERT_TRUE(WaitForLogRows(1));
    SpinFor(100);
    TDataSet &emails = dsrc->emails;
    emails.Refresh();
    if (!c.expectRow) {
        EXPECT_EQ(emails.RecordCount(), 0);
        return;
    }
    ASSERT_EQ(emails.RecordCount(), 1);
    emails.First();
    EXPECT_EQ(emails.FieldByName(QStringLiteral("TITLE")).AsString(), c.title);
    EXPECT_EQ(emails.FieldByName(QStringLiteral("MSG")).AsString(),
              c.lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"));
    // Named after the swipe even though this reader takes no snapshot.
    EXPECT_EQ(emails.FieldByName(QStringLiteral("ATTACH")).AsString(),
              PhotoPath + QStringLiteral("/260305-140709-4711.jpg"));
}

INSTANTIATE_TEST_SUITE_P(
    Swipe, EmailNotice,
    ::testing::Values(
        EmailCase{"KnownCard",
                  true,
                  true,
                  1,
                  true,
                  QStringLiteral("[2026/03/05 PM02:07:09] Alice, DEFAULT"),
                  {QStringLiteral("Alice [4711]"), QStringLiteral("DEFAULT"),
                   QStringLiteral("March 5, 2026 Thursday  PM02:07:09"), QStringLiteral("IN"),
                   QStringLiteral("Front door"), QStringLiteral("Front door")}},
        EmailCase{"LockZeroReadsDenied",
                  true,
                  true,
                  0,
                  true,
                  QStringLiteral("[2026/03/05 PM02:07:09] Alice, DEFAULT"),
                  {QStringLiteral("Alice [4711]"), QStringLiteral("DEFAULT"),
                   QStringLiteral("March 5, 2026 Thursday  PM02:07:09"), QStringLiteral("IN"),
                   QStringLiteral("Front door"), QStringLiteral("DENIED")}},
        EmailCase{"LockOutOfRangeReadsError",
                  true,
                  true,
                  12,
                  true,
                  QStringLiteral("[2026/03/05 PM02:07:09] Alice, DEFAULT"),
                  {QStringLiteral("Alice [4711]"), QStringLiteral("DEFAULT"),
                   QStringLiteral("March 5, 2026 Thursday  PM02:07:09"), QStringLiteral("IN"),
                   QStringLiteral("Front door"), QStringLiteral("ERROR")}},
        EmailCase{"UnknownCardWhenNotStaffOnly",
                  false,
                  false,
                  1,
                  true,
                  QStringLiteral("[2026/03/05 PM02:07:09] 4711"),
                  {QStringLiteral("4711 [4711]"), QString(),
                   QStringLiteral("March 5, 2026 Thursday  PM02:07:09"), QStringLiteral("IN"),
                   QStringLiteral("Front door"), QStringLiteral("Front door")}},
        EmailCase{"UnknownCardStaffOnly", false, true, 1, false, {}, {}}),
    ParamName());

TEST_F(DeskCoreTest, NoNoticeWhenEmailIsOff)
{
    ReaderSim &sim = AttachSim(1);
    ConfigureReader(1, Row(1, 1));
    AddStaff({.card = Card, .name = QStringLiteral("Alice"), .ports = {1}});
    StartCore();
    sim.SendCard(Card);
    ASSERT_TRUE(WaitForLogRows(1));
    SpinFor(100);
    dsrc->emails.Refresh();
    EXPECT_EQ(dsrc->emails.RecordCount(), 0);
}

// ---- the swipe does not wait ---------------------------------------------------------------

TEST_F(DeskCoreTest, GreetingIsQueuedAndNeverHoldsTheNextDoor)
{
    PinClock(Afternoon);
    WriteRegBool(QStringLiteral("SpeechEnable"), true);
    auto speech = std::make_shared<FakeSpeechLog>();
    speech->hold = true;
    SetSpeechEngineFactory([speech] { return std::make_unique<FakeSpeechEngine>(speech); });
    ReaderSim &sim = AttachSim(1);
    ConfigureReader(1, Row(1, 1));
    AddStaff({.card = Card, .name = QStringLiteral("Alice"), .ports = {1}});
    StartCore();

    sim.SendCard(Card);
    ASSERT_TRUE(SpinUntil(
        [&] {
            std::lock_guard lock(speech->mutex);
            return speech->inSpeak;
        },
        3000));
    // The first greeting is stuck in the engine; the next swipe is answered all the same.
    sim.SendCard(999);
    EXPECT_EQ(TextsSettled(sim, 2), (Texts_t{"~Y3", "~N"}));
    speech->Release();
    ASSERT_TRUE(core->Speech()->WaitIdle(3000));
    EXPECT_EQ(speech->Spoken(),
              (QStringList{QStringLiteral("Good Afternoon"), QStringLiteral("Alice"),
                           QStringLiteral("no registration")}));
}

TEST_F(DeskCoreTest, SpeechThatCannotStartIsNoticedOnce)
{
    WriteRegBool(QStringLiteral("SpeechEnable"), true);
    auto speech = std::make_shared<FakeSpeechLog>();
    speech->failStart = true;
    SetSpeechEngineFactory([speech] { return std::make_unique<FakeSpeechEngine>(speech); });
    ReaderSim &sim = AttachSim(1);
    ConfigureReader(1, Row(1, 1));
    StartCore();
    sim.SendCard(1);
    sim.SendCard(2);
    ASSERT_TRUE(WaitForLogRows(2));
    EXPECT_TRUE(SpinUntil([this] { return !view.notices.isEmpty(); }, 3000));
    SpinFor(200);
    EXPECT_EQ(view.notices.size(), 1);
    EXPECT_EQ(Texts(sim), (Texts_t{"~N", "~N"}));
}

// The serial hand-over is an event of the main thread: a modal loop keeps serving it.
TEST_F(DeskCoreTest, SwipeDuringAModalDialogIsHandled)
{
    ReaderSim &sim = AttachSim(1);
    ConfigureReader(1, Row(1, 1));
    AddStaff({.card = Card, .name = QStringLiteral("Alice"), .ports = {1}});
    StartCore();

    QDialog dialog;
    bool handledInside = false;
    QTimer poll;
    poll.setInterval(5);
    QObject::connect(&poll, &QTimer::timeout, &dialog, [&] {
        if (LogCount() == 1) {
            handledInside = true;
            dialog.accept();
        }
    });
    QTimer::singleShot(0, &dialog, [&] { sim.SendCard(Card); });
    QTimer::singleShot(5000, &dialog, &QDialog::reject);
    poll.start();
    dialog.exec();
    EXPECT_TRUE(handledInside);
    EXPECT_EQ(TextsSettled(sim, 1), Texts_t{"~Y3"});
}

// The snapshot of a swipe: asked for before the door, waited for after it.
TEST_F(DeskCoreTest, CaptureReaderTakesAndAwaitsTheSnapshot)
{
    PinClock(Afternoon);
    ReaderSim &sim = AttachSim(1);
    ReaderRow r = Row(1, 1);
    r.capture = true;
    ConfigureReader(1, r);
    StartCore();
    camera.capturing = true;
    // A grabber that reports the file written a little after it was asked, from its own thread.
    std::thread grabber([this] {
        while (camera.takes.load() == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        core->CaptureSnapshotDone();
    });
    QElapsedTimer t;
    t.start();
    sim.SendCard(Card);
    EXPECT_TRUE(SpinUntil([this] { return !view.captured.empty(); }, 3000));
    grabber.join();
    // Ended by the report, not by the one-second limit.
    EXPECT_LT(t.elapsed(), 800);
    EXPECT_EQ(camera.names, QStringList{PhotoPath + QStringLiteral("/260305-140709-4711.jpg")});
    EXPECT_EQ(camera.qualities, std::vector<int>{100});
    ASSERT_EQ(view.captured.size(), 1u);
    EXPECT_EQ(view.captured[0].first, Card);
    EXPECT_TRUE(core->SnapshotDone());
}

// While one swipe waits for its snapshot, the next door is served inside that wait.
TEST_F(DeskCoreTest, SwipesInterleaveDuringASnapshotWait)
{
    ReaderSim &camDoor = AttachSim(1);
    ReaderSim &plain = AttachSim(2);
    ReaderRow r = Row(1, 1);
    r.capture = true;
    ConfigureReader(1, r);
    ConfigureReader(2, Row(1, 2, 4));
    AddStaff({.card = Card, .name = QStringLiteral("Alice"), .ports = {1, 2}});
    StartCore();
    camera.capturing = true; // never reports: the first swipe waits its full second

    // The second swipe comes from another thread once the first is inside its wait.
    std::atomic<long long> answeredMs{-1};
    std::thread other([&] {
        while (camera.takes.load() == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        QElapsedTimer t;
        t.start();
        plain.SendCard(Card);
        if (plain.WaitForFrames(1, 3000))
            answeredMs = t.elapsed();
    });
    camDoor.SendCard(Card);
    EXPECT_TRUE(SpinUntil([this] { return view.captured.size() == 2; }, 3000));
    other.join();
    // Answered long before the first swipe's one-second wait was over.
    EXPECT_GE(answeredMs.load(), 0);
    EXPECT_LT(answeredMs.load(), 700);
    EXPECT_EQ(Texts(camDoor), Texts_t{"~Y3"});
    EXPECT_EQ(Texts(plain), Texts_t{"~Y4"});
    EXPECT_EQ(LogCount(), 2);
}

TEST_F(DeskCoreTest, SnapshotWaitEndsAfterASecondEvenWithThePinnedClock)
{
    PinClock(Afternoon);
    core = std::make_unique<TDeskCore>(&view, &camera);
    camera.capturing = true;
    QElapsedTimer t;
    t.start();
    core->WaitForSnapshot();
    EXPECT_GE(t.elapsed(), 990);
    EXPECT_LT(t.elapsed(), 1500);

    camera.capturing = false;
    t.restart();
    core->WaitForSnapshot();
    EXPECT_LT(t.elapsed(), 50);
}

// A database failure inside the swipe is swallowed: the refresh still follows, nothing escapes.
TEST_F(DeskCoreTest, DatabaseFailureInTheSwipeEscapesNothing)
{
    ReaderSim &sim = AttachSim(1);
    ConfigureReader(1, Row(1, 1));
    AddStaff({.card = Card, .name = QStringLiteral("Alice"), .ports = {1}});
    StartCore();
    dsrc->logs.Close(); // appending now fails
    sim.SendCard(Card);
    SpinUntil([this] { return view.recordCounts > 0; }, 3000);
    EXPECT_EQ(view.recordCounts, 1);
    EXPECT_EQ(view.photos, std::vector<int>{Card});
    dsrc->logs.Open();
    EXPECT_EQ(LogCount(), 0);

    // The desk still works afterwards.
    sim.SendCard(Card);
    EXPECT_TRUE(WaitForLogRows(1));
}

// A stored swipe that could not be written is not acknowledged, so the reader keeps it.
TEST_F(DeskCoreTest, StoredSwipeThatCannotBeLoggedIsNotAcknowledged)
{
    ReaderSim &sim = AttachSim(1);
    ConfigureReader(1, Row(1, 1));
    StartCore();
    dsrc->logs.Close();
    sim.SendStoredCard(Card, true, 1, ReaderSim::Time{2025, 11, 30, 7, 45, 12});
    SpinFor(400);
    EXPECT_TRUE(Texts(sim).empty());
    dsrc->logs.Open();
    sim.SendStoredCard(Card, true, 1, ReaderSim::Time{2025, 11, 30, 7, 45, 12});
    EXPECT_EQ(TextsSettled(sim, 1), Texts_t{"~A"});
    EXPECT_EQ(LogCount(), 1);
}

TEST(SnapshotName, DateTimeAndCard)
{
    const QString saved = PhotoPath;
    PhotoPath = QStringLiteral("/data/photos");
    EXPECT_EQ(MakeSnapshotFileName(0, QDateTime(QDate(2009, 12, 31), QTime(23, 5, 1, 999))),
              QStringLiteral("/data/photos/091231-230501-0.jpg"));
    EXPECT_EQ(MakeSnapshotFileName(16777215, QDateTime(QDate(2026, 1, 2), QTime(0, 0, 0))),
              QStringLiteral("/data/photos/260102-000000-16777215.jpg"));
    PhotoPath = saved;
}

} // namespace
