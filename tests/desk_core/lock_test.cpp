// Another program holding a database file's write lock (an administrator's sqlite3 session, a
// browser with unsaved edits) while readers swipe: the desk keeps answering, keeps every live
// swipe in order until the lock clears, and the log never claims a door that did not open.

#include "deskfixture.h"

#include "testsupport/outsidelock.h"

#include <QElapsedTimer>

#include <algorithm>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace {

using Texts_t = std::vector<std::string>;

constexpr int LockHeldMs = 6000;
// The usual answer comes in a few milliseconds; a swipe that waited out the connections' own
// busy time-out would take seconds.
constexpr int AnsweredWithinMs = 700;

class LockedDatabase : public DeskCoreTest
{
protected:
    void SetUp() override
    {
        DeskCoreTest::SetUp();
        a = &AttachSim(1);
        b = &AttachSim(2);
        ReaderRow r1 = Row(1, 1);
        r1.apb = true;
        ConfigureReader(1, r1);
        ConfigureReader(2, Row(2, 2, 4));
        for (int card = 101; card <= 104; ++card)
            AddStaff({.card = card, .name = QStringLiteral("Staff %1").arg(card), .ports = {1, 2}});
    }

    // Swipes and answers how long the reader waited for its answer (-1: none came).
    static qint64 Swipe(ReaderSim &sim, int card)
    {
        const std::size_t before = Texts(sim).size();
        QElapsedTimer t;
        t.start();
        sim.SendCard(card);
        if (!SpinUntil([&] { return Texts(sim).size() > before; }, 3000))
            return -1;
        return t.elapsed();
    }

    // Two readers take turns, one swipe each per turn, and each is answered in the usual time.
    void SwipeInTurnsAnsweredInTime()
    {
        int card = 101;
        for (int turn = 0; turn < 2; ++turn) {
            for (ReaderSim *sim : {a, b}) {
                const qint64 ms = Swipe(*sim, card++);
                EXPECT_GE(ms, 0) << "card " << card - 1;
                EXPECT_LT(ms, AnsweredWithinMs) << "card " << card - 1;
            }
        }
    }

    static void HoldUntil(const QElapsedTimer &held, OutsideLock &lock)
    {
        SpinUntil([&] { return held.elapsed() >= LockHeldMs; }, LockHeldMs + 1000);
        lock.Release();
    }

    struct LoggedRow
    {
        int card, reader, lock;
        bool operator==(const LoggedRow &) const = default;
    };
    static std::vector<LoggedRow> RowsInWrittenOrder()
    {
        std::vector<LoggedRow> out;
        TStatement st = dsrc->att.Prepare(
            QStringLiteral("SELECT CARDNO, READER, LOCK FROM recorder ORDER BY rowid"));
        while (st.Step())
            out.push_back({int(st.ColumnInt64(0)), int(st.ColumnInt64(1)), int(st.ColumnInt64(2))});
        return out;
    }

    ReaderSim *a = nullptr;
    ReaderSim *b = nullptr;
};

TEST_F(LockedDatabase, LiveSwipesWaitInOrderForALockedLogAndNoDoorOpens)
{
    StartCore();
    core->StartTimers();
    OutsideLock lock(Data().AttendPath());
    ASSERT_TRUE(lock.Held());
    QElapsedTimer held;
    held.start();

    SwipeInTurnsAnsweredInTime();
    // No row could be written, so no door: each reader is told at once.
    EXPECT_EQ(Texts(*a), (Texts_t{"~N", "~N"}));
    EXPECT_EQ(Texts(*b), (Texts_t{"~N", "~N"}));
    EXPECT_EQ(core->WaitingRows(), 4);
    ASSERT_FALSE(view.waiting.empty());
    EXPECT_EQ(view.waiting.back(), 4);
    EXPECT_EQ(dsrc->logs.RecordCount(), 0);

    HoldUntil(held, lock);
    // The tick writes them, oldest first, each with no door.
    ASSERT_TRUE(SpinUntil([this] { return core->WaitingRows() == 0; }, 3000));
    EXPECT_EQ(RowsInWrittenOrder(),
              (std::vector<LoggedRow>{{101, 1, 0}, {102, 2, 0}, {103, 1, 0}, {104, 2, 0}}));
    EXPECT_EQ(view.waiting.back(), 0);
    // Anti-passback saw none of them.
    dsrc->apb.Refresh();
    EXPECT_EQ(dsrc->apb.RecordCount(), 0);

    // The next swipe opens its door as usual, behind the rows written.
    a->ClearReceived();
    EXPECT_GE(Swipe(*a, 101), 0);
    EXPECT_EQ(TextsSettled(*a, 1), Texts_t{"~Y3"});
    EXPECT_EQ(RowsInWrittenOrder().back(), (LoggedRow{101, 1, 1}));
}

TEST_F(LockedDatabase, AStoredSwipeIsLeftWithTheReaderWhileTheLogIsLocked)
{
    StartCore();
    OutsideLock lock(Data().AttendPath());
    ASSERT_TRUE(lock.Held());
    a->SendStoredCard(101, true, 1, ReaderSim::Time{2025, 11, 30, 7, 45, 12});
    SpinFor(400);
    EXPECT_TRUE(Texts(*a).empty());
    EXPECT_EQ(core->WaitingRows(), 0);
    lock.Release();
    a->SendStoredCard(101, true, 1, ReaderSim::Time{2025, 11, 30, 7, 45, 12});
    EXPECT_EQ(TextsSettled(*a, 1), Texts_t{"~A"});
    EXPECT_EQ(LogCount(), 1);
}

TEST_F(LockedDatabase, DoorsStillOpenWhileTheSystemDatabaseIsLockedAndNoticesWait)
{
    WriteRegBool(Setting::EmailEnabled, true);
    StartCore();
    core->StartTimers();
    OutsideLock lock(Data().SysdatPath());
    ASSERT_TRUE(lock.Held());
    QElapsedTimer held;
    held.start();

    SwipeInTurnsAnsweredInTime();
    EXPECT_EQ(TextsSettled(*a, 2), (Texts_t{"~Y3", "~Y3"}));
    EXPECT_EQ(TextsSettled(*b, 2), (Texts_t{"~Y4", "~Y4"}));
    EXPECT_EQ(RowsInWrittenOrder(),
              (std::vector<LoggedRow>{{101, 1, 1}, {102, 2, 2}, {103, 1, 1}, {104, 2, 2}}));
    EXPECT_EQ(core->WaitingNotices(), 4);

    HoldUntil(held, lock);
    ASSERT_TRUE(SpinUntil([this] { return core->WaitingNotices() == 0; }, 3000));
    dsrc->emails.Refresh();
    QStringList titles;
    for (int r = 0; r < dsrc->emails.RecordCount(); ++r)
        titles << dsrc->emails.FieldAt(r, QStringLiteral("TITLE"))
                      .toString()
                      .section(QLatin1Char(' '), 2);
    EXPECT_EQ(
        titles,
        (QStringList{QStringLiteral("Staff 101, DEFAULT"), QStringLiteral("Staff 102, DEFAULT"),
                     QStringLiteral("Staff 103, DEFAULT"), QStringLiteral("Staff 104, DEFAULT")}));
    // The anti-passback writes that the lock refused were let go, as any failed one is.
    dsrc->apb.Refresh();
    EXPECT_EQ(dsrc->apb.RecordCount(), 0);
}

TEST_F(LockedDatabase, AStoppedLineCostsOnlyItsOwnDoorAndTheRowSaysNoDoor)
{
    // Reader 2 opens reader 1's relay, reader 3 its own; reader 1's line stops taking bytes.
    ConfigureReader(2, Row(2, 1));
    ReaderSim &c = AttachSim(3);
    ConfigureReader(3, Row(1, 3, 5));
    AddStaff({.card = 105, .name = QStringLiteral("Staff 105"), .ports = {1, 2, 3}});
    StartCore();
    const int line = ::open(a->DevicePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(line, 0);
    ASSERT_EQ(::tcflow(line, TCOOFF), 0);

    // Both at once: the door command to the stopped line must not hold reader 3.
    QElapsedTimer t;
    t.start();
    b->SendCard(102);
    c.SendCard(105);
    ASSERT_TRUE(SpinUntil([&] { return !Texts(c).empty(); }, 5000));
    EXPECT_LT(t.elapsed(), AnsweredWithinMs);
    EXPECT_EQ(TextsSettled(c, 1), Texts_t{"~Y5"});
    ASSERT_TRUE(WaitForLogRows(2));
    // Reader 2 was told to signal, but its door never opened: the log says so.
    EXPECT_EQ(Texts(*b), Texts_t{"~y"});
    // The two frames came at once: either may have been handled first.
    std::vector<LoggedRow> rows = RowsInWrittenOrder();
    std::sort(rows.begin(), rows.end(),
              [](const LoggedRow &x, const LoggedRow &y) { return x.card < y.card; });
    EXPECT_EQ(rows, (std::vector<LoggedRow>{{102, 2, 0}, {105, 3, 3}}));

    // The line comes back: the failed command never arrives late, the next one goes out.
    ASSERT_EQ(::tcflow(line, TCOON), 0);
    SpinFor(200);
    EXPECT_TRUE(Texts(*a).empty());
    b->SendCard(104); // not 102: reader 1 keeps anti-passback, and 102 went out already
    EXPECT_EQ(TextsSettled(*a, 1), Texts_t{"~Y3"});
    EXPECT_EQ(RowsInWrittenOrder().back(), (LoggedRow{104, 2, 1}));
    ::close(line);
}

} // namespace
