// A download over a reader whose replies come late, cut short or as some other frame: every
// stored record reaches the log once, or the download stops without clearing the reader.

#include "offlinefixture.h"

#include "testsupport/paramname.h"
#include "testsupport/zonescope.h"

#include <set>

namespace {
constexpr int Records = 30;

int CardOf(int n)
{
    return 0x1000 + n;
}

ReaderSim::Spoil Late(int ms)
{
    ReaderSim::Spoil s;
    s.kind = ReaderSim::Spoil::Late;
    s.ms = ms;
    return s;
}

ReaderSim::Spoil Cut(std::size_t keep)
{
    ReaderSim::Spoil s;
    s.kind = ReaderSim::Spoil::Cut;
    s.keep = keep;
    return s;
}

ReaderSim::Spoil Other(const ReaderSim::Bytes &payload, bool thenReal = false)
{
    ReaderSim::Spoil s;
    s.kind = ReaderSim::Spoil::Other;
    s.other = payload;
    s.thenReal = thenReal;
    return s;
}

// The reply the reader gives to a fetch of log record n, as its payload.
ReaderSim::Bytes FetchReply(int n)
{
    const int card = CardOf(n);
    const std::uint32_t packed = ReaderSim::PackTime({2026, 3, 4, 8, n, 0});
    return {0x00,
            CmdFetchRecord,
            0x00,
            static_cast<std::uint8_t>(n),
            0x00,
            0x00,
            static_cast<std::uint8_t>(card >> 16),
            static_cast<std::uint8_t>(card >> 8),
            static_cast<std::uint8_t>(card),
            static_cast<std::uint8_t>(packed),
            static_cast<std::uint8_t>(packed >> 8),
            static_cast<std::uint8_t>(packed >> 16),
            static_cast<std::uint8_t>(packed >> 24)};
}

const ReaderSim::Bytes UnlockEcho = {0x00, CmdLock, 0x00};

struct FaultCase
{
    const char *name;
    std::function<void(ReaderSim &)> arrange;
    const char *message;
    int stored;   // records 0 .. stored-1 in the log, each once
    bool cleared; // the clear went out and the reader's records are gone
};

class ReplyFaultTest : public OfflineTest, public ::testing::WithParamInterface<FaultCase>
{
protected:
    void SetUp() override
    {
        OfflineTest::SetUp();
        for (int n = 0; n < Records; ++n)
            sim.AddLog(0x00, CardOf(n), ReaderSim::PackTime({2026, 3, 4, 8, n, 0}));
    }

    std::multiset<int> StoredCards() const
    {
        std::multiset<int> cards;
        TStatement st = dsrc->att.Prepare(QStringLiteral("select CARDNO from recorder"));
        while (st.Step())
            cards.insert(int(st.ColumnInt64(0)));
        return cards;
    }
};

TEST_P(ReplyFaultTest, EveryRecordIsStoredOnceOrTheReaderIsNotCleared)
{
    const FaultCase &c = GetParam();
    c.arrange(sim);

    session.Download(true);

    EXPECT_EQ(messages.Texts(), Strs({QString::fromLatin1(c.message)}));
    std::multiset<int> expected;
    for (int n = 0; n < c.stored; ++n)
        expected.insert(CardOf(n));
    EXPECT_EQ(StoredCards(), expected);
    EXPECT_EQ(Frames().contains(QStringLiteral("00 05 00 D0 07")), c.cleared);
    EXPECT_EQ(sim.Logs().size(), c.cleared ? 0u : std::size_t(Records));
    EXPECT_FALSE(session.StatusShown());
}

const char *const AllAdded = "Added = 30, Duplicated = 0, Invalid = 0";
const char *const NoResponse = "No response from the reader.";

// A reply that comes after its wait ran out answers the try before; the retry's own reply is
// the one taken, and the late one is never read as the next step's.
INSTANTIATE_TEST_SUITE_P(
    LateReply, ReplyFaultTest,
    ::testing::Values(
        // A reader that takes 20 ms a record, so the late reply lands among the next fetches.
        FaultCase{"FetchAnsweredAfterItsWait",
                  [](ReaderSim &s) {
                      s.SetCommandDelay(CmdFetchRecord, 20);
                      s.SpoilReplies(CmdFetchRecord, 5, Late(700));
                  },
                  AllAdded, Records, true},
        FaultCase{"TwoFetchesAnsweredAfterTheirWaits",
                  [](ReaderSim &s) {
                      s.SetCommandDelay(CmdFetchRecord, 20);
                      s.SpoilReplies(CmdFetchRecord, 3, Late(650));
                      s.SpoilReplies(CmdFetchRecord, 17, Late(900));
                  },
                  AllAdded, Records, true},
        FaultCase{"LastFetchAnsweredDuringTheClear",
                  [](ReaderSim &s) { s.SpoilReplies(CmdFetchRecord, Records - 1, Late(700)); },
                  AllAdded, Records, true},
        FaultCase{"LockAnsweredDuringTheCapacityQuery",
                  [](ReaderSim &s) { s.SpoilReplies(CmdLock, -1, Late(650)); }, AllAdded, Records,
                  true}),
    ParamName());

// A well-formed frame that is not the whole reply to the command sent is never decoded as it.
INSTANTIATE_TEST_SUITE_P(
    ShortOrOtherReply, ReplyFaultTest,
    ::testing::Values(
        FaultCase{"FetchAnsweredByTheUnlockEcho",
                  [](ReaderSim &s) { s.SpoilReplies(CmdFetchRecord, 5, Other(UnlockEcho)); },
                  AllAdded, Records, true},
        FaultCase{"FetchAnsweredShort",
                  [](ReaderSim &s) { s.SpoilReplies(CmdFetchRecord, 5, Cut(5)); }, AllAdded,
                  Records, true},
        FaultCase{"FetchAnsweredWithoutItsLastByte",
                  [](ReaderSim &s) { s.SpoilReplies(CmdFetchRecord, 5, Cut(12)); }, AllAdded,
                  Records, true},
        FaultCase{
            "AnotherRecordsReplyBeforeTheFetchsOwn",
            [](ReaderSim &s) { s.SpoilReplies(CmdFetchRecord, 5, Other(FetchReply(4), true)); },
            AllAdded, Records, true},
        FaultCase{"CapacityAnsweredShort",
                  [](ReaderSim &s) { s.SpoilReplies(CmdCapacity, -1, Cut(5)); }, AllAdded, Records,
                  true},
        FaultCase{"SecondCapacityAnsweredByTheLockEcho",
                  [](ReaderSim &s) {
                      s.SpoilReplies(CmdCapacity, -1, Late(0));
                      s.SpoilReplies(CmdCapacity, -1, Other({0x00, CmdLock, 0x01}));
                  },
                  AllAdded, Records, true},
        FaultCase{"ClearAnsweredByAFetchReplyFirst",
                  [](ReaderSim &s) {
                      s.SpoilReplies(CmdClearLogs, -1, Other(FetchReply(Records - 1), true));
                  },
                  AllAdded, Records, true},
        // No whole reply at all: the download stops before it could clear anything unread.
        FaultCase{"EveryFetchOfOneRecordAnsweredShort",
                  [](ReaderSim &s) { s.SpoilReplies(CmdFetchRecord, 5, Cut(5), 3); }, NoResponse, 5,
                  false}),
    ParamName());

// Stored times are the reader's wall clock: the hour skipped in spring and the hour repeated in
// autumn are stored as counted, never counted invalid.
TEST_F(OfflineTest, StampsInTheHoursOfBothDaylightSavingChangesAreStoredAsCounted)
{
    ZoneScope zone("Europe/London");
    const ReaderSim::Time times[] = {
        {2026, 3, 29, 0, 59, 59}, {2026, 3, 29, 1, 0, 0},   {2026, 3, 29, 1, 30, 0},
        {2026, 3, 29, 2, 0, 0},   {2026, 10, 25, 1, 30, 0}, {2026, 10, 25, 1, 30, 0},
    };
    int card = 1;
    for (const ReaderSim::Time &t : times)
        sim.AddLog(0x00, card++, ReaderSim::PackTime(t));

    ASSERT_TRUE(session.Download(true));

    EXPECT_EQ(messages.Texts(), Strs({"Added = 6, Duplicated = 0, Invalid = 0"}));
    const char *stored[] = {"2026-03-29 00:59:59", "2026-03-29 01:00:00", "2026-03-29 01:30:00",
                            "2026-03-29 02:00:00", "2026-10-25 01:30:00", "2026-10-25 01:30:00"};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(LogRows(QStringLiteral("where CARDNO = %1 and SYSTIME = '%2'")
                              .arg(i + 1)
                              .arg(QString::fromLatin1(stored[i]))),
                  1)
            << stored[i];
    EXPECT_TRUE(sim.Logs().empty());

    // Downloaded again, the same records are found in the log.
    for (int i = 0; i < 6; ++i)
        sim.AddLog(0x00, i + 1, ReaderSim::PackTime(times[i]));
    messages.Clear();
    ASSERT_TRUE(session.Download(false));
    EXPECT_EQ(messages.Texts(), Strs({"Added = 0, Duplicated = 6, Invalid = 0"}));
}

} // namespace

namespace {
// A setting read late is not taken for the one read after it: each field of the page holds
// what the reader keeps for it.
TEST_F(OfflineTest, LateSettingReplyIsNotReadAsTheNextSetting)
{
    auto text = [](const char *s) {
        ReaderSim::Bytes b(s, s + 16);
        return b;
    };
    sim.SetSetting(SettingLine1, text("FIRST LINE......"));
    sim.SetSetting(SettingLine2, text("SECOND LINE....."));
    sim.SetSetting(SettingPin, {0x39, 0x30});
    sim.SetSetting(SettingOptions, {0x05, 0x00});
    // 100 ms a setting: line 1 comes again at 600 ms, line 2 at 700, the PIN at 800 and the
    // options at 900; the late line 1 at 850 lands inside the wait for the options.
    sim.SetCommandDelay(CmdGetSetting, 100);
    sim.SpoilReplies(CmdGetSetting, -1, Late(750));

    TOfflineSettings page;
    ASSERT_TRUE(session.GetSettings(page));

    EXPECT_EQ(page.Line1, QStringLiteral("FIRST LINE......"));
    EXPECT_EQ(page.Line2, QStringLiteral("SECOND LINE....."));
    EXPECT_EQ(page.Pin, 0x3039);
    EXPECT_EQ(page.Options, 0x05);
    for (int i = 0; i < ReaderTimetableSlots; ++i)
        EXPECT_EQ(page.RowMode[i], 0) << i;
    EXPECT_EQ(messages.Texts(), Strs({"Settings are loaded successfully."}));
}
} // namespace
