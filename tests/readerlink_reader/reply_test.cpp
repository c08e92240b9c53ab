// Replies, reply waits and the unsolicited frames, against the simulated reader.

#include "readerfixture.h"

#include "store/clock.h"
#include "store/utils.h"
#include "testsupport/paramname.h"
#include "testsupport/zonescope.h"

#include <QElapsedTimer>

namespace {

using ReplyTest = ReaderLinkTest;

TEST_F(ReplyTest, ClockReplyIsReadByIndex)
{
    sim.SetClock({2031, 7, 14, 8, 9, 10});
    ASSERT_TRUE(Exchange(GetClockPayload(0)));
    EXPECT_FALSE(reader.PktTimeout());
    EXPECT_EQ(reader.GetPktByte(2), CmdGetClock);
    EXPECT_EQ(BcdToByte(reader.GetPktByte(5)), 8);
    EXPECT_EQ(BcdToByte(reader.GetPktByte(9)), 31);
    const QDateTime t = reader.DecodeClockReply();
    EXPECT_EQ(t.date(), QDate(2031, 7, 14));
    EXPECT_EQ(t.time().hour(), 8);
    EXPECT_EQ(t.time().minute(), 9);
}

TEST_F(ReplyTest, SilentReaderEndsInTimeoutAfterTheWait)
{
    sim.SetSilent(true);
    QElapsedTimer t;
    t.start();
    reader.SendPacket(LockPayload(0, true));
    EXPECT_TRUE(reader.PktMode());
    ASSERT_TRUE(SpinUntil([&] { return !reader.PktMode(); }, 3000));
    EXPECT_GE(t.elapsed(), ReaderReplyWait - 20);
    EXPECT_TRUE(reader.PktTimeout());
    EXPECT_FALSE(reader.PktGood());
}

TEST_F(ReplyTest, LateReplyTimesOutAndIsNotTakenForACard)
{
    sim.SetReplyDelay(800);
    // A reply of six bytes after the length byte would read as a card frame under the
    // unsolicited rule.
    EXPECT_FALSE(Exchange(CapacityPayload(0, TableLogs)));
    EXPECT_TRUE(reader.PktTimeout());
    SpinFor(600);
    EXPECT_TRUE(cards.empty());
    EXPECT_FALSE(reader.PktGood());
}

TEST_F(ReplyTest, ReplyWithinALongerWaitIsGood)
{
    sim.SetReplyDelay(800);
    EXPECT_TRUE(Exchange(ClearLogsPayload(0, 2000), ReaderClearLogsWait));
}

TEST_F(ReplyTest, CardFrameDuringReplyWaitIsDroppedAndReplyStillComes)
{
    sim.SetReplyDelay(250);
    reader.SendPacket(CapacityPayload(0, TableLogs));
    sim.SendCard(99); // arrives first, read by the reply rule
    ASSERT_TRUE(SpinUntil([&] { return !reader.PktMode(); }, 3000));
    EXPECT_TRUE(reader.PktGood());
    EXPECT_EQ(reader.GetPktByte(2), CmdCapacity);
    EXPECT_TRUE(cards.empty());
}

// Only the reply to the command sent ends the wait: a good frame that echoes another command,
// or this one's cut short, is dropped, and the reply after it within the same wait is taken.
TEST_F(ReplyTest, OnlyAWholeReplyToTheCommandSentIsTaken)
{
    struct Row
    {
        const char *name;
        ReaderSim::Bytes before;
    } rows[] = {
        {"another command's echo", Hex({0xF5, 0x04, 0x00, 0x01, 0xFB, 0xFA})},
        {"the unlock echo", Hex({0xF5, 0x05, 0x00, 0x00, 0x00, 0xFB, 0xFA})},
        {"the capacity reply cut short",
         Hex({0xF5, 0x07, 0x00, 0x03, 0x00, 0xD0, 0x07, 0x1F, 0xFA})},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        sim.SetLogCapacity(2000);
        sim.SetReplyDelay(150);
        reader.SendPacket(CapacityPayload(0, TableLogs));
        sim.SendRaw(row.before);
        SpinFor(50);
        EXPECT_TRUE(reader.PktMode());
        ASSERT_TRUE(SpinUntil([&] { return !reader.PktMode(); }, 2000));
        EXPECT_TRUE(reader.PktGood());
        EXPECT_EQ(reader.PktSize(), 9);
        EXPECT_EQ(reader.GetPktWord(4), 2000);
        int capacity = 0, count = -1;
        EXPECT_TRUE(reader.DecodeCapacityReply(capacity, count));
        EXPECT_EQ(count, 0);
    }

    // None but the wrong frame: the wait runs out as if nothing had come.
    sim.SetSilent(true);
    reader.SendPacket(LockPayload(0, true));
    sim.SendRaw(Hex({0xF5, 0x05, 0x00, 0x00, 0x00, 0xFB, 0xFA}));
    ASSERT_TRUE(SpinUntil([&] { return !reader.PktMode(); }, 2000));
    EXPECT_TRUE(reader.PktTimeout());
    EXPECT_FALSE(reader.PktGood());
}

// A frame that follows the reply on the line does not change what the caller reads of it.
TEST_F(ReplyTest, ReplyReadIsTheFrameTakenNotWhatCameAfter)
{
    sim.AddLog(0x40, 0x010203, ReaderSim::PackTime({2025, 1, 2, 3, 4, 5}));
    ASSERT_TRUE(Exchange(FetchRecordPayload(0, TableLogs, 0)));
    sim.SendStoredCard(0x0A0B0C, true, 1, {2025, 6, 7, 8, 9, 10});
    ASSERT_TRUE(SpinUntil([&] { return !cards.empty(); }, 2000));
    TReaderLogRecord rec;
    ASSERT_TRUE(reader.DecodeLogRecord(rec));
    EXPECT_EQ(rec.Card, 0x010203);
    EXPECT_EQ(reader.PktSize(), 15);
    EXPECT_EQ(reader.GetPktByte(15), 0); // past the reply's check byte
}

TEST_F(ReplyTest, CorruptedReplyIsDroppedAndTimesOut)
{
    sim.CorruptNextByte();
    EXPECT_FALSE(Exchange(LockPayload(0, true)));
    EXPECT_TRUE(reader.PktTimeout());
}

TEST_F(ReplyTest, NoWaitLeavesReplyFlagsAlone)
{
    sim.SetSilent(true);
    reader.SendPacket(LockPayload(0, true));
    SpinUntil([&] { return !reader.PktMode(); }, 2000);
    ASSERT_TRUE(reader.PktTimeout());
    reader.SendPacketTimeout(ActionPayload(0, 1), 0);
    EXPECT_FALSE(reader.PktMode());
    EXPECT_TRUE(reader.PktTimeout());
    const auto frames = FramesAtLeast(2);
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(ToQ(frames[1].payload).toHex(' '), QByteArray("00 0b 01"));
}

TEST_F(ReplyTest, CapacityAndRecordFetchDecode)
{
    sim.SetLogCapacity(3000);
    sim.AddLog(0x40, 0x010203, ReaderSim::PackTime({2025, 1, 2, 3, 4, 5}));
    sim.AddLog(0x00, 0x000001, 0);
    ASSERT_TRUE(Exchange(CapacityPayload(0, TableLogs)));
    EXPECT_EQ(reader.GetPktWord(4), 3000);
    EXPECT_EQ(reader.GetPktWord(6), 2);

    ASSERT_TRUE(Exchange(FetchRecordPayload(0, TableLogs, 0)));
    TReaderLogRecord rec;
    ASSERT_TRUE(reader.DecodeLogRecord(rec));
    EXPECT_EQ(rec.Kind, 2);
    EXPECT_EQ(rec.Card, 0x010203);
    EXPECT_EQ(rec.Stamp, QDateTime(QDate(2025, 1, 2), QTime(3, 4, 5)));

    ASSERT_TRUE(Exchange(FetchRecordPayload(0, TableLogs, 1)));
    TReaderLogRecord invalid;
    invalid.Kind = 7;
    EXPECT_FALSE(reader.DecodeLogRecord(invalid));
    EXPECT_EQ(invalid.Kind, 7);

    ASSERT_TRUE(Exchange(ClearLogsPayload(0, 3000), ReaderClearLogsWait));
    EXPECT_TRUE(sim.Logs().empty());
}

TEST_F(ReplyTest, SettingsWriteAndReadBack)
{
    ASSERT_TRUE(Exchange(SetLinePayload(0, SettingLine1, QStringLiteral("Welcome"))));
    ASSERT_TRUE(Exchange(GetSettingPayload(0, SettingLine1)));
    EXPECT_EQ(reader.GetPktText(4), QStringLiteral("Welcome         "));

    ASSERT_TRUE(Exchange(SetWordSettingPayload(0, SettingPin, 54321)));
    ASSERT_TRUE(Exchange(GetSettingPayload(0, SettingPin)));
    EXPECT_EQ(reader.GetPktWord(4), 54321);

    TReaderTimetableSlot table[ReaderTimetableSlots];
    table[0] = {1, QTime(7, 30)};
    table[7] = {2, QTime(23, 59)};
    ASSERT_TRUE(Exchange(SetTimetablePayload(0, table)));
    ASSERT_TRUE(Exchange(GetSettingPayload(0, SettingTimetable)));
    EXPECT_EQ(reader.GetPktByte(4), 1);
    EXPECT_EQ(reader.GetPktTime(5), QTime(7, 30));
    EXPECT_EQ(reader.GetPktByte(4 + 3 * 7), 2);
    EXPECT_EQ(reader.GetPktTime(5 + 3 * 7), QTime(23, 59));
}

TEST_F(ReplyTest, PktTimeReadsOutOfRangeFieldsAsZero)
{
    ReaderSim::Bytes table = Hex({1, 0x24, 0x60, 1, 0x12, 0x75});
    table.resize(3 * ReaderTimetableSlots, 0);
    sim.SetSetting(SettingTimetable, table);
    ASSERT_TRUE(Exchange(GetSettingPayload(0, SettingTimetable)));
    EXPECT_EQ(reader.GetPktTime(5), QTime(0, 0));
    EXPECT_EQ(reader.GetPktTime(8), QTime(12, 0));
}

TEST_F(ReplyTest, PageWriteThenLongReplyReadsItBack)
{
    QByteArray page = NewReaderPage();
    ASSERT_TRUE(PutAccessEntry(page, 0, BuildAccessEntry(1, 0x112233, QStringLiteral("Ann"))));
    ASSERT_TRUE(PutAccessEntry(page, 11,
                               BuildAccessEntry(0, 0x445566, QStringLiteral("A very long name!"))));
    ASSERT_TRUE(Exchange(WritePagePayload(0, 2)));
    reader.SendData(page);
    ASSERT_TRUE(SpinUntil([&] { return !reader.PktMode(); }, 2000));
    ASSERT_TRUE(reader.PktGood());
    const auto frames = sim.Received();
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[1].kind, ReaderSim::Frame::Data);
    EXPECT_TRUE(frames[1].good);
    EXPECT_EQ(ToQ(sim.AccessPage(2)), page);

    ASSERT_TRUE(Exchange(ReadPagePayload(0, TableAccess, 2)));
    TReaderAccessRecord last;
    EXPECT_EQ(reader.GetPktByte(0), 1); // flags of entry 0 at index 0 of a long reply
    EXPECT_EQ(reader.GetPktByte(1), 0x11);
    EXPECT_EQ(reader.GetPktText(6), QStringLiteral("Ann             "));
    EXPECT_EQ(reader.GetPktText(22 * 11 + 6), QStringLiteral("A very long name"));

    ASSERT_TRUE(Exchange(FetchRecordPayload(0, TableAccess, 2 * 12 + 11)));
    ASSERT_TRUE(reader.DecodeAccessRecord(last));
    EXPECT_EQ(last.Flags, 0);
    EXPECT_EQ(last.Card, 0x445566);
    EXPECT_EQ(last.Value, 0xFFFF);
    EXPECT_EQ(last.Name, QStringLiteral("A very long name"));
}

TEST_F(ReplyTest, LogPageReadAsLongReply)
{
    for (int i = 0; i < 40; ++i)
        sim.AddLog(0x80, 1000 + i, ReaderSim::PackTime({2024, 2, 29, 12, 0, i}));
    ASSERT_TRUE(Exchange(ReadPagePayload(0, TableLogs, 1)));
    TReaderLogRecord rec;
    // page 1 holds records 33..65: record 33 first, record 39 at slot 6, slot 7 empty (FF)
    quint8 slot[8];
    for (int k = 0; k < 8; ++k)
        slot[k] = reader.GetPktByte(6 * 8 + k);
    ASSERT_TRUE(DecodeLogBytes(slot, rec));
    EXPECT_EQ(rec.Card, 1039);
    EXPECT_EQ(rec.Kind, 0);
    EXPECT_EQ(rec.Stamp, QDateTime(QDate(2024, 2, 29), QTime(12, 0, 39)));
    for (int k = 0; k < 8; ++k)
        slot[k] = reader.GetPktByte(7 * 8 + k);
    EXPECT_FALSE(DecodeLogBytes(slot, rec));
}

// --- acknowledgements and text commands --------------------------------------------------

struct ModelCase
{
    ReaderSim::Model model;
    const char *name;
};

class ModelAnswerTest : public ReaderLinkTest, public ::testing::WithParamInterface<ModelCase>
{
};

TEST_P(ModelAnswerTest, QueryModelSetsModelString)
{
    sim.SetModel(GetParam().model);
    reader.SetResponsed(true);
    reader.SetResultOK(false);
    reader.SendQueryModel();
    EXPECT_FALSE(reader.Responsed());
    ASSERT_TRUE(SpinUntil([&] { return reader.Responsed(); }, 2000));
    EXPECT_TRUE(reader.ResultOK());
    EXPECT_EQ(reader.ModelString(), QString::fromLatin1(GetParam().name));
}

INSTANTIATE_TEST_SUITE_P(Models, ModelAnswerTest,
                         ::testing::Values(ModelCase{ReaderSim::Model::DL317, "DL317"},
                                           ModelCase{ReaderSim::Model::RB58, "RB58"},
                                           ModelCase{ReaderSim::Model::RB59, "RB59"}),
                         ParamName());

TEST_F(ReplyTest, AccessTableTextCommandsAnswerGoodOrBad)
{
    reader.SendClearCards();
    ASSERT_TRUE(SpinUntil([&] { return reader.Responsed(); }, 2000));
    EXPECT_TRUE(reader.ResultOK());
    reader.SendAddCard(0x00FF82); // check byte 7E: the reader must read it by length
    ASSERT_TRUE(SpinUntil([&] { return reader.Responsed(); }, 2000));
    EXPECT_TRUE(reader.ResultOK());
    EXPECT_EQ(sim.Cards(), std::vector<int>{0x00FF82});

    sim.SetTextAnswersGood(false);
    reader.SendAddCard(5);
    ASSERT_TRUE(SpinUntil([&] { return reader.Responsed(); }, 2000));
    EXPECT_FALSE(reader.ResultOK());
}

TEST_F(ReplyTest, PlainTextCommandsOnTheWire)
{
    reader.SendLowerY();
    reader.SendAccept();
    reader.SendReject();
    const auto frames = FramesAtLeast(3);
    ASSERT_EQ(frames.size(), 3u);
    EXPECT_EQ(ToQ(frames[0].wire), QByteArray("~~y~"));
    EXPECT_EQ(ToQ(frames[1].wire), QByteArray("~~A~"));
    EXPECT_EQ(ToQ(frames[2].wire), QByteArray("~~N~"));
}

// --- unsolicited frames -------------------------------------------------------------------

// A card frame carrying the reader's time passes it on as the wall clock the reader counted,
// also inside the hour the local clocks skip or repeat.
TEST_F(ReplyTest, StoredCardStampKeepsTheReadersClockThroughDaylightSaving)
{
    ZoneScope zone("Europe/London");
    const ReaderSim::Time times[] = {{2026, 3, 29, 1, 30, 0}, {2026, 10, 25, 1, 30, 0}};
    for (const ReaderSim::Time &t : times)
        sim.SendStoredCard(0x000102, true, 1, t);
    ASSERT_TRUE(SpinUntil([&] { return cards.size() >= 2; }, 2000));
    for (std::size_t i = 0; i < 2; ++i) {
        const ReaderSim::Time &t = times[i];
        SCOPED_TRACE(i);
        ASSERT_TRUE(cards[i].stamp.isValid());
        EXPECT_EQ(cards[i].stamp.date(), QDate(t.year, t.month, t.day));
        EXPECT_EQ(cards[i].stamp.time(), QTime(t.hour, t.minute, t.second));
    }
}

TEST_F(ReplyTest, PowerUpSetsTheClockBeforeTheEvent)
{
    PinClock(QDateTime(QDate(2029, 3, 4), QTime(17, 45, 9)));
    bool clockSentFirst = false;
    reader.OnPowerup = [&](int port) {
        powerups.push_back(port);
        // the set-clock frame is on the line already
        clockSentFirst = sim.WaitForFrames(1, 1000) && sim.Received()[0].payload.size() > 1 &&
                         sim.Received()[0].payload[1] == CmdSetClock;
    };
    sim.SendPowerUp();
    ASSERT_TRUE(SpinUntil([&] { return !powerups.empty(); }, 2000));
    EXPECT_EQ(powerups, std::vector<int>{Port});
    EXPECT_TRUE(clockSentFirst);
}

TEST_F(ReplyTest, TimeRequestSetsTheClockOnly)
{
    PinClock(QDateTime(QDate(2029, 3, 4), QTime(17, 45, 9)));
    sim.SendTimeRequest();
    const auto frames = FramesAtLeast(1);
    ASSERT_FALSE(frames.empty());
    EXPECT_EQ(ToQ(frames[0].payload).toHex(' '), QByteArray("00 02 09 45 17 01 04 03 29"));
    SpinFor(100);
    EXPECT_TRUE(powerups.empty());
    const ReaderSim::Time t = sim.ClockNow();
    EXPECT_EQ(t.year, 2029);
    EXPECT_EQ(t.hour, 17);
}

TEST_F(ReplyTest, ExitButtonPressAndRelease)
{
    sim.SendExitButton();
    sim.SendExitReleased();
    ASSERT_TRUE(SpinUntil([&] { return bypasses.size() >= 2; }, 2000));
    EXPECT_EQ(bypasses[0].port, Port);
    EXPECT_EQ(bypasses[0].state, 0);
    EXPECT_EQ(bypasses[1].state, 1);
}

TEST_F(ReplyTest, UnknownAnswerCharacterIsIgnored)
{
    reader.SetResponsed(false);
    sim.SendAnswer('x');
    sim.SendCard(3);
    ASSERT_TRUE(SpinUntil([&] { return !cards.empty(); }, 2000));
    EXPECT_FALSE(reader.Responsed());
    EXPECT_TRUE(bypasses.empty());
    EXPECT_TRUE(powerups.empty());
}

TEST_F(ReplyTest, UnassignedEventsAreSkipped)
{
    reader.OnCardCode = nullptr;
    reader.OnBypass = nullptr;
    reader.OnPowerup = nullptr;
    sim.SendCard(1);
    sim.SendExitButton();
    sim.SendPowerUp();
    EXPECT_EQ(FramesAtLeast(1).size(), 1u); // the clock went out for the power-up
    SpinFor(200);
    EXPECT_TRUE(reader.Connected());
}

} // namespace

namespace {

using FrameRuleTest = ReaderLinkTest;

// The rule a frame is read by is chosen at its length byte and kept to its end byte.
TEST_F(FrameRuleTest, ReplyCompletingAfterItsWaitIsNotACard)
{
    sim.SetSilent(true);
    reader.SendPacketTimeout(LockPayload(0, true), 150);
    // LEN 6 and its five bytes sum to 0; read as a card frame it would be card 001234h
    sim.SendRaw(Hex({0xF5, 0x06, 0x00, 0x00}));
    ASSERT_TRUE(SpinUntil([&] { return reader.PktTimeout(); }, 2000));
    sim.SendRaw(Hex({0x12, 0x34, 0xB4, 0xFA}));
    SpinFor(100);
    EXPECT_TRUE(cards.empty());
    EXPECT_FALSE(reader.PktGood());
}

TEST_F(FrameRuleTest, CardBegunBeforeASendIsStillACard)
{
    sim.SetSilent(true);
    sim.SendRaw(Hex({0xF5, 0x06, 0x00, 0x00}));
    SpinFor(50);
    reader.SendPacket(LockPayload(0, true));
    ASSERT_TRUE(reader.PktMode());
    sim.SendRaw(Hex({0x00, 0x00, 0x2A, 0xD6, 0xFA}));
    ASSERT_TRUE(SpinUntil([&] { return !cards.empty(); }, 1000));
    EXPECT_EQ(cards[0].code, 0x2A);
    EXPECT_TRUE(reader.PktMode()); // the reply is still awaited
}

} // namespace
