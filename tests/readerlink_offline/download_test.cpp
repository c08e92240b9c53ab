// Downloading, clearing and the reader clock over the simulated reader, into a real log.

#include "offlinefixture.h"

#include "store/logrow.h"
#include "testsupport/paramname.h"
#include "testsupport/rows.h"

#include <QTimer>

namespace {
const ReaderSim::Time T1{2026, 3, 4, 5, 6, 7};
const ReaderSim::Time T2{2026, 3, 4, 9, 0, 0};

QString Fetch(int n)
{
    return QStringLiteral("00 04 00 %1 00").arg(n, 2, 16, QLatin1Char('0')).toUpper();
}

const QString ClearFrame = QStringLiteral("00 05 00 D0 07"); // the simulator's capacity 2000

QDateTime At(const ReaderSim::Time &t)
{
    return QDateTime(QDate(t.year, t.month, t.day), QTime(t.hour, t.minute, t.second));
}
} // namespace

TEST_F(OfflineTest, DownloadAddsNewCountsDuplicateAndInvalidThenClears)
{
    sim.AddLog(0x00, 0x010203, ReaderSim::PackTime(T1)); // IN, new
    sim.AddLog(0x40, 0x000777, 0);                       // no time: invalid on both fetches
    sim.AddLog(0x80, 0x000555, ReaderSim::PackTime(T2)); // already in the log, from COM5
    AddLog(At(T2), 0x555, 1, 5);

    TDownloadCounts counts;
    ASSERT_TRUE(session.Download(true, &counts));

    EXPECT_EQ(Frames(), Strs({LockFrame, CapacityFrame, CapacityFrame, Fetch(0), Fetch(1), Fetch(1),
                              Fetch(2), ClearFrame, UnlockFrame}));
    EXPECT_EQ(messages.Texts(), Strs({"Added = 1, Duplicated = 1, Invalid = 1"}));
    EXPECT_EQ(messages.Last().kind, MsgKind::Information);
    EXPECT_EQ(counts.Added, 1);
    EXPECT_EQ(LogRows(), 2);
    EXPECT_EQ(LogRows(QStringLiteral("where SYSTIME = '2026-03-04 05:06:07' and CARDNO = 66051 "
                                     "and MODE = 1 and READER = 3 and LOCK = 0")),
              1);
    EXPECT_TRUE(sim.Logs().empty());
    EXPECT_FALSE(session.StatusShown());
}

TEST_F(OfflineTest, RecordInvalidOnlyOnFirstFetchIsAddedAndModesFollowTopBits)
{
    sim.AddLog(0x40, 7, ReaderSim::PackTime(T1)); // OUT
    sim.AddLog(0xC0, 8, ReaderSim::PackTime(T1)); // TIME CLOCK
    sim.SetBadFetches(0, 1);

    ASSERT_TRUE(session.Download(false));

    EXPECT_EQ(Frames(), Strs({LockFrame, CapacityFrame, CapacityFrame, Fetch(0), Fetch(0), Fetch(1),
                              UnlockFrame}));
    EXPECT_EQ(messages.Texts(), Strs({"Added = 2, Duplicated = 0, Invalid = 0"}));
    EXPECT_EQ(LogRows(QStringLiteral("where CARDNO = 7 and MODE = 2")), 1);
    EXPECT_EQ(LogRows(QStringLiteral("where CARDNO = 8 and MODE = 0")), 1);
    // Not cleared: a second download finds them all in the log.
    EXPECT_EQ(sim.Logs().size(), 2u);
    messages.Clear();
    ASSERT_TRUE(session.Download(false));
    EXPECT_EQ(messages.Texts(), Strs({"Added = 0, Duplicated = 2, Invalid = 0"}));
}

TEST_F(OfflineTest, RecordsWhoseTimeMakesNoDateAreInvalid)
{
    struct Case
    {
        const char *name;
        std::uint32_t packed;
    };
    const Case cases[] = {
        {"zero time", 0},
        {"day past the month's end", ReaderSim::PackTime({2026, 2, 30, 8, 0, 0})},
        {"negative packed value", 0x80000000u | ReaderSim::PackTime(T1)},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        sim.ClearReceived();
        messages.Clear();
        sim.AddLog(0x00, 9, c.packed);
        ASSERT_TRUE(session.Download(true));
        EXPECT_EQ(messages.Texts(), Strs({"Added = 0, Duplicated = 0, Invalid = 1"}));
        EXPECT_EQ(Frames().count(Fetch(0)), 2);
        EXPECT_EQ(LogRows(), 0);
    }
}

struct FailureCase
{
    const char *name;
    std::function<void(ReaderSim &)> arrange;
    const char *message;
    QStringList frames;
};

class OfflineFailureTest : public OfflineTest, public ::testing::WithParamInterface<FailureCase>
{
};

TEST_P(OfflineFailureTest, ShowsOneMessageAndSendsNoUnlockAfterAFailedStep)
{
    GetParam().arrange(sim);
    sim.AddLog(0x00, 1, ReaderSim::PackTime(T1));

    EXPECT_FALSE(session.Download(true));

    EXPECT_EQ(messages.Texts(), Strs({QString::fromLatin1(GetParam().message)}));
    EXPECT_EQ(messages.Last().kind, MsgKind::Error);
    EXPECT_EQ(Frames(), GetParam().frames);
    EXPECT_FALSE(session.StatusShown());
    EXPECT_FALSE(session.Busy());
    EXPECT_EQ(sim.Logs().size(), 1u);
    EXPECT_EQ(LogRows(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Download, OfflineFailureTest,
    ::testing::Values(FailureCase{"NeverAnswers",
                                  [](ReaderSim &s) { s.SetSilent(true); },
                                  "No response from the reader.",
                                  {LockFrame, LockFrame, LockFrame}},
                      FailureCase{"AnswersTheLockThenNothing",
                                  [](ReaderSim &s) { s.SetSilentAfter(1); },
                                  "No response from the reader.",
                                  {LockFrame, CapacityFrame, CapacityFrame, CapacityFrame}},
                      FailureCase{"CountChangesBetweenCapacityQueries",
                                  [](ReaderSim &s) { s.SetCountDrift(1); },
                                  "The data link is not reliable, please try later.",
                                  {LockFrame, CapacityFrame, CapacityFrame, UnlockFrame}},
                      FailureCase{"RepliesLaterThanEveryWait",
                                  [](ReaderSim &s) { s.SetCommandDelay(CmdCapacity, 2500); },
                                  "No response from the reader.",
                                  {LockFrame, CapacityFrame, CapacityFrame, CapacityFrame}}),
    ParamName());

TEST_F(OfflineTest, PortClosedMidSessionFailsTheStepInsteadOfTakingTheLockReply)
{
    sim.AddLog(0x00, 1, ReaderSim::PackTime(T1));
    session.OnStatus = [this](bool shown, const QString &text) {
        if (shown && text == QStringLiteral("Get Capacity"))
            reader.SetConnected(false);
    };

    EXPECT_FALSE(session.Download(true));

    EXPECT_EQ(messages.Texts(), Strs({"No response from the reader."}));
    EXPECT_EQ(Frames(), Strs({LockFrame}));
    EXPECT_EQ(LogRows(), 0);
}

TEST_F(OfflineTest, DatabaseErrorMidDownloadKeepsPostedRowsAndNeverClears)
{
    for (int card = 1; card <= 3; ++card)
        sim.AddLog(0x00, card, ReaderSim::PackTime({2026, 3, 4, 8, card, 0}));
    dsrc->att.Exec(QStringLiteral(
        "create trigger full before insert on recorder when (select count(*) from recorder) >= 1 "
        "begin select raise(abort, 'disk full'); end"));

    EXPECT_FALSE(session.Download(true));

    EXPECT_EQ(messages.Texts(), Strs({"Database Error."}));
    EXPECT_EQ(Frames(), Strs({LockFrame, CapacityFrame, CapacityFrame, Fetch(0), Fetch(1)}));
    EXPECT_EQ(LogRows(), 1);
    EXPECT_EQ(sim.Logs().size(), 3u);
    EXPECT_EQ(dsrc->logs.State(), TDataSetState::Browse);
}

TEST_F(OfflineTest, NothingStoredEndsWithItsMessageAfterTheUnlock)
{
    ASSERT_TRUE(session.Download(true));
    EXPECT_EQ(messages.Texts(), Strs({"No record to download."}));
    EXPECT_EQ(Frames(), Strs({LockFrame, CapacityFrame, CapacityFrame, UnlockFrame}));

    sim.ClearReceived();
    messages.Clear();
    messages.QueueAnswer(MsgButton::Yes);
    ASSERT_TRUE(session.ClearRecord());
    EXPECT_EQ(messages.Texts(),
              Strs({"The attendance logs cannot be restored after clearing. Are you sure?",
                    "No record to clear."}));
    EXPECT_EQ(Frames(), Strs({LockFrame, CapacityFrame, UnlockFrame}));
}

TEST_F(OfflineTest, ClearRecordAsksFirstAndSendsTheCapacityItRead)
{
    sim.AddLog(0x00, 1, ReaderSim::PackTime(T1));
    sim.SetLogCapacity(0x1234);
    messages.QueueAnswer(MsgButton::No);
    EXPECT_FALSE(session.ClearRecord());
    EXPECT_TRUE(Frames().isEmpty());

    messages.QueueAnswer(MsgButton::Yes);
    ASSERT_TRUE(session.ClearRecord());
    EXPECT_EQ(Frames(), Strs({LockFrame, CapacityFrame, "00 05 00 34 12", UnlockFrame}));
    EXPECT_EQ(messages.Last().text, QStringLiteral("All records are cleared."));
    EXPECT_TRUE(sim.Logs().empty());
}

TEST_F(OfflineTest, ClockFrameCarriesThePinnedTime)
{
    PinClock(QDateTime(QDate(2029, 3, 4), QTime(17, 45, 9)));
    ASSERT_TRUE(session.SetClock());
    EXPECT_EQ(Frames(), Strs({LockFrame, "00 02 09 45 17 01 04 03 29", UnlockFrame}));
    EXPECT_EQ(HexText(sim.Received()[1].wire),
              QStringLiteral("F5 0B 00 02 09 45 17 01 04 03 29 5D FA"));
    EXPECT_EQ(messages.Texts(), Strs({"Clock set."}));
}

TEST_F(OfflineTest, SecondOperationInsideAWaitIsRefused)
{
    sim.AddLog(0x00, 1, ReaderSim::PackTime(T1));
    sim.SetCommandDelay(CmdFetchRecord, 200);
    bool refused = false;
    QTimer::singleShot(
        100, [&] { refused = session.Busy() && !session.ClearRecord() && !session.SetClock(); });

    ASSERT_TRUE(session.Download(false));

    EXPECT_TRUE(refused);
    EXPECT_EQ(Frames(), Strs({LockFrame, CapacityFrame, CapacityFrame, Fetch(0), UnlockFrame}));
    EXPECT_EQ(messages.Texts(), Strs({"Added = 1, Duplicated = 0, Invalid = 0"}));
}
