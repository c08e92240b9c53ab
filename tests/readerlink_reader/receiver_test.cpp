// The receive state machine: which byte streams make a frame, and how it recovers from the
// ones that do not.

#include "readerfixture.h"

#include "readerlink/framereceiver.h"
#include "testsupport/paramname.h"

#include <random>

namespace {

struct StreamCase
{
    const char *name;
    bool replyAwaited;
    std::vector<int> bytes;
    int frames; // complete frames expected
    bool idleAfter;
};

int CompleteFrames(TFrameReceiver &rx, const StreamCase &c)
{
    int n = 0;
    for (int b : c.bytes)
        if (rx.Push(static_cast<std::uint8_t>(b), c.replyAwaited) ==
            TFrameReceiver::Result::Complete)
            ++n;
    return n;
}

class FrameReceiverStream : public ::testing::TestWithParam<StreamCase>
{
};

TEST_P(FrameReceiverStream, FramesAndRecovers)
{
    TFrameReceiver rx;
    const StreamCase &c = GetParam();
    EXPECT_EQ(CompleteFrames(rx, c), c.frames);
    EXPECT_EQ(rx.idle(), c.idleAfter);
}

const StreamCase kStreams[] = {
    {"CardFrame", false, {0xF5, 0x06, 0, 0, 0, 0, 1, 0xFF, 0xFA}, 1, true},
    {"BytesBeforeStartSkipped", false, {0x00, 0xFA, 0x7E, 0xF5, 0x02, 'G', 0xB9, 0xFA}, 1, true},
    {"LengthSevenDropped", false, {0xF5, 0x07, 0, 0, 0, 0, 0, 0, 1, 0xFF, 0xFA}, 0, true},
    {"BadCheckByte", false, {0xF5, 0x06, 0, 0, 0, 0, 1, 0xFE, 0xFA}, 0, true},
    {"MissingEndByte", false, {0xF5, 0x06, 0, 0, 0, 0, 1, 0xFF, 0xFB}, 0, true},
    {"RecoversAtNextStart",
     false,
     {0xF5, 0x06, 0, 0, 0, 0, 1, 0xFE, 0xFA, 0xF5, 0x06, 0, 0, 0, 0, 1, 0xFF, 0xFA},
     1,
     true},
    {"StartByteInsideFrameIsData", false, {0xF5, 0x02, 0xF5, 0x0B, 0xFA}, 1, true},
    {"HalfFrameWaits", false, {0xF5, 0x06, 0, 0}, 0, false},
    {"ReplyLengthOneResets", true, {0xF5, 0x01, 0xFF, 0xFA}, 0, true},
    {"ReplyLength80Resets", true, {0xF5, 0x80, 0x80, 0xFA}, 0, true},
    {"ShortReply", true, {0xF5, 0x05, 0x00, 0x01, 0x00, 0xFA, 0xFA}, 1, true},
    // a card frame read by the reply rule: LEN 6 + the 5 bytes after it must sum to 0
    {"CardFrameFailsReplyRule", true, {0xF5, 0x06, 0, 0, 0, 0, 1, 0xFF, 0xFA}, 0, true},
};

INSTANTIATE_TEST_SUITE_P(Streams, FrameReceiverStream, ::testing::ValuesIn(kStreams), ParamName());

TEST(FrameReceiver, LongReplyFillsIndexZeroOn)
{
    TFrameReceiver rx;
    std::vector<std::uint8_t> s = {0xF5, 0x00};
    unsigned sum = 0;
    for (int i = 0; i < 264; ++i) {
        s.push_back(static_cast<std::uint8_t>(i * 7));
        sum += static_cast<std::uint8_t>(i * 7);
    }
    s.push_back(static_cast<std::uint8_t>((256 - sum % 256) % 256));
    s.push_back(0xFA);
    int complete = 0;
    for (auto b : s)
        complete += rx.Push(b, true) == TFrameReceiver::Result::Complete;
    ASSERT_EQ(complete, 1);
    EXPECT_EQ(rx.frameKind(), TFrameReceiver::FrameKind::LongReply);
    EXPECT_EQ(rx.at(0), 0);
    EXPECT_EQ(rx.at(1), 7);
    EXPECT_EQ(rx.at(263), static_cast<std::uint8_t>(263 * 7));
}

TEST(FrameReceiver, RandomStreamsNeverLeaveTheBufferAndAlwaysRecover)
{
    std::mt19937 rng(20261210);
    const std::uint8_t card[] = {0xF5, 0x06, 0, 0, 0x12, 0x34, 0x56, 0x64, 0xFA};
    for (int round = 0; round < 200; ++round) {
        TFrameReceiver rx;
        const int n = static_cast<int>(rng() % 4000);
        for (int i = 0; i < n; ++i)
            rx.Push(static_cast<std::uint8_t>(rng()), rng() % 2 == 0);
        // Whatever the garbage left half-read, a pause (the silence limit) and a good frame
        // come through.
        rx.Reset();
        int complete = 0;
        for (auto b : card)
            complete += rx.Push(b, false) == TFrameReceiver::Result::Complete;
        ASSERT_EQ(complete, 1) << "round " << round;
        EXPECT_EQ(rx.at(2) << 16 | rx.at(3) << 8 | rx.at(4), 0x123456);
    }
}

// --- the same over the line -------------------------------------------------------------

using ReceiverLineTest = ReaderLinkTest;

TEST_F(ReceiverLineTest, PauseOfSilenceLimitInsideFrameDropsIt)
{
    sim.SendRaw(Hex({0xF5, 0x06, 0x00, 0x00, 0x00}));
    SpinFor(TRfidReader::SilenceLimit + 100);
    sim.SendRaw(Hex({0x00, 0x01, 0xFF, 0xFA}));
    SpinFor(200);
    EXPECT_TRUE(cards.empty());
    // and the next whole frame is taken
    sim.SendCard(77);
    ASSERT_TRUE(SpinUntil([&] { return !cards.empty(); }, 2000));
    EXPECT_EQ(cards[0].code, 77);
}

TEST_F(ReceiverLineTest, ShortPausesInsideFrameKeepIt)
{
    for (int b : {0xF5, 0x06, 0x00, 0x00, 0x00, 0x00, 0x01, 0xFF, 0xFA}) {
        sim.SendRaw(Hex({b}));
        SpinFor(60);
    }
    ASSERT_TRUE(SpinUntil([&] { return !cards.empty(); }, 1000));
    EXPECT_EQ(cards[0].code, 1);
}

TEST_F(ReceiverLineTest, MalformedFramesDroppedSilentlyThenCardTaken)
{
    const ReaderSim::Bytes malformed[] = {
        Hex({0xF5, 0x07, 0, 0, 0, 0, 0, 1, 0xFF, 0xFA}), // bad length byte
        Hex({0xF5, 0x06, 0, 0, 0, 0, 1, 0x00, 0xFA}),    // bad check byte
        Hex({0xF5, 0x06, 0, 0, 0, 0, 1, 0xFF, 0x00}),    // missing end byte
    };
    for (const auto &m : malformed)
        sim.SendRaw(m);
    sim.SendCard(0x0A0B0C);
    ASSERT_TRUE(SpinUntil([&] { return !cards.empty(); }, 2000));
    SpinFor(100);
    ASSERT_EQ(cards.size(), 1u);
    EXPECT_EQ(cards[0].code, 0x0A0B0C);
}

TEST_F(ReceiverLineTest, BurstOfTenMegabytesThenCardTaken)
{
    // Garbage with no start byte in it, so nothing can frame by chance; then a card.
    std::mt19937 rng(7);
    ReaderSim::Bytes burst(10 * 1024 * 1024);
    for (auto &b : burst) {
        b = static_cast<std::uint8_t>(rng());
        if (b == 0xF5)
            b = 0x00;
    }
    std::thread writer([&] {
        sim.SendRaw(burst);
        sim.SendCard(0x00BEEF);
    });
    const bool got = SpinUntil([&] { return !cards.empty(); }, 120000);
    writer.join();
    ASSERT_TRUE(got);
    EXPECT_EQ(cards.size(), 1u);
    EXPECT_EQ(cards[0].code, 0x00BEEF);
}

TEST_F(ReceiverLineTest, RandomGarbageWithStartBytesRecoversAfterPause)
{
    std::mt19937 rng(11);
    ReaderSim::Bytes garbage(64 * 1024);
    for (auto &b : garbage)
        b = static_cast<std::uint8_t>(rng());
    std::thread writer([&] { sim.SendRaw(garbage); });
    SpinFor(500);
    writer.join();
    SpinFor(TRfidReader::SilenceLimit + 100);
    cards.clear(); // garbage may frame a card by chance; what matters is what follows
    sim.SendCard(4242);
    ASSERT_TRUE(SpinUntil([&] { return !cards.empty(); }, 2000));
    EXPECT_EQ(cards.back().code, 4242);
}

TEST_F(ReceiverLineTest, StoredCardFromSimulatorDecodes)
{
    sim.SendStoredCard(0x00ABCD, true, 2, {2026, 12, 31, 23, 59, 58});
    ASSERT_TRUE(SpinUntil([&] { return !cards.empty(); }, 2000));
    EXPECT_TRUE(cards[0].offline);
    EXPECT_EQ(cards[0].cmode, 2);
    EXPECT_EQ(cards[0].code, 0x00ABCD);
    EXPECT_EQ(cards[0].stamp, QDateTime(QDate(2026, 12, 31), QTime(23, 59, 58)));
}

TEST_F(ReceiverLineTest, StoredCardWithUndecodableTimeCarriesNullStamp)
{
    ReaderSim::Time dayZero{2021, 3, 0, 5, 6, 7};
    sim.SendStoredCard(5, false, 1, dayZero);
    ASSERT_TRUE(SpinUntil([&] { return !cards.empty(); }, 2000));
    EXPECT_EQ(cards[0].code, 5);
    EXPECT_FALSE(cards[0].stamp.isValid());
}

} // namespace
