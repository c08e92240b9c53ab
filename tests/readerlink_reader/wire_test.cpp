// The protocol's worked examples, each checked across a real pseudo-terminal against the
// simulated reader's own framing.

#include "readerfixture.h"

#include "store/clock.h"
#include "testsupport/paramname.h"

#include <optional>

namespace {

struct WireExample
{
    const char *name;
    // Host to reader: what the host does and the frame the reader must see.
    std::function<void(TRfidReader &)> hostSends;
    ReaderSim::Bytes expectedFrame;
    ReaderSim::Frame::Kind expectedKind = ReaderSim::Frame::Command;
    // Reader to host: the bytes the reader sends and the card event they must fire (none
    // when nullopt).
    ReaderSim::Bytes readerSends;
    std::optional<CardEvent> expectedCard;
};

const QDateTime ClockExampleTime(QDate(2029, 3, 4), QTime(17, 45, 9, 678));

std::vector<WireExample> Examples()
{
    return {
        {"LiveCardCodeOne",
         {},
         {},
         ReaderSim::Frame::Command,
         Hex({0xF5, 0x06, 0x00, 0x00, 0x00, 0x00, 0x01, 0xFF, 0xFA}),
         CardEvent{false, 3, 1, QDateTime(QDate(2029, 3, 4), QTime(17, 45, 9)), -1}},
        {"LiveCardCodeZeroFiresNothing",
         {},
         {},
         ReaderSim::Frame::Command,
         Hex({0xF5, 0x06, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFA}),
         std::nullopt},
        {"StoredCardOffline",
         {},
         {},
         ReaderSim::Frame::Command,
         // b0 81h (offline, mode 1), time 2D814DBFh high byte first, card 123456h
         Hex({0xF5, 0x0B, 0x81, 0x2D, 0x81, 0x4D, 0xBF, 0x00, 0x00, 0x12, 0x34, 0x56, 0x29, 0xFA}),
         CardEvent{true, 3, 0x123456, QDateTime(QDate(2021, 3, 4), QTime(5, 6, 7)), 1}},
        {"StoredCardOnline",
         {},
         {},
         ReaderSim::Frame::Command,
         Hex({0xF5, 0x0B, 0x02, 0x2D, 0x81, 0x4D, 0xBF, 0x00, 0x00, 0x12, 0x34, 0x56, 0xA8, 0xFA}),
         CardEvent{false, 3, 0x123456, QDateTime(QDate(2021, 3, 4), QTime(5, 6, 7)), 2}},
        {"SetClockFrame",
         [](TRfidReader &r) { r.SendClock(); },
         Hex({0xF5, 0x0B, 0x00, 0x02, 0x09, 0x45, 0x17, 0x01, 0x04, 0x03, 0x29, 0x5D, 0xFA}),
         ReaderSim::Frame::Command,
         {},
         std::nullopt},
        {"LockFrame",
         [](TRfidReader &r) { r.SendLock(true); },
         Hex({0xF5, 0x05, 0x00, 0x00, 0x01, 0xFA, 0xFA}),
         ReaderSim::Frame::Command,
         {},
         std::nullopt},
        {"UnlockFrame",
         [](TRfidReader &r) { r.SendLock(false); },
         Hex({0xF5, 0x05, 0x00, 0x00, 0x00, 0xFB, 0xFA}),
         ReaderSim::Frame::Command,
         {},
         std::nullopt},
        {"AddCardText",
         [](TRfidReader &r) { r.SendAddCard(0x010203); },
         Hex({0x7E, 0x7E, 0x41, 0x00, 0x00, 0x01, 0x02, 0x03, 0xFA, 0x7E}),
         ReaderSim::Frame::Text,
         {},
         std::nullopt},
        {"AddCardZeroHasCheckByteZero",
         [](TRfidReader &r) { r.SendAddCard(0); },
         Hex({0x7E, 0x7E, 0x41, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x7E}),
         ReaderSim::Frame::Text,
         {},
         std::nullopt},
        {"OpenLockNineSeconds",
         [](TRfidReader &r) {
             r.SetLockTime(9);
             r.SendOpenLock();
         },
         Hex({0x7E, 0x7E, 0x59, 0x39, 0x7E}),
         ReaderSim::Frame::Text,
         {},
         std::nullopt},
        {"OpenLockThreeSeconds",
         [](TRfidReader &r) {
             r.SetLockTime(3);
             r.SendOpenLock();
         },
         Hex({0x7E, 0x7E, 0x59, 0x33, 0x7E}),
         ReaderSim::Frame::Text,
         {},
         std::nullopt},
    };
}

class WireExampleTest : public ReaderLinkTest, public ::testing::WithParamInterface<WireExample>
{
};

TEST_P(WireExampleTest, CrossesTheLineAsWritten)
{
    const WireExample &ex = GetParam();
    PinClock(ClockExampleTime);
    if (ex.hostSends) {
        ex.hostSends(reader);
        const auto frames = FramesAtLeast(1);
        ASSERT_EQ(frames.size(), 1u);
        EXPECT_TRUE(frames[0].good);
        EXPECT_EQ(frames[0].kind, ex.expectedKind);
        EXPECT_EQ(ToQ(frames[0].wire).toHex(' '), ToQ(ex.expectedFrame).toHex(' '));
        // The envelope: FF FF before the frame, FF after it.
        ReaderSim::Bytes enveloped = Hex({0xFF, 0xFF});
        enveloped.insert(enveloped.end(), ex.expectedFrame.begin(), ex.expectedFrame.end());
        enveloped.push_back(0xFF);
        SpinUntil([&] { return sim.RawReceived().size() >= enveloped.size(); }, 1000);
        EXPECT_EQ(ToQ(sim.RawReceived()).toHex(' '), ToQ(enveloped).toHex(' '));
    }
    if (!ex.readerSends.empty()) {
        sim.SendRaw(ex.readerSends);
        if (ex.expectedCard) {
            ASSERT_TRUE(SpinUntil([&] { return !cards.empty(); }, 2000));
            ASSERT_EQ(cards.size(), 1u);
            EXPECT_EQ(cards[0].offline, ex.expectedCard->offline);
            EXPECT_EQ(cards[0].port, ex.expectedCard->port);
            EXPECT_EQ(cards[0].code, ex.expectedCard->code);
            EXPECT_EQ(cards[0].stamp, ex.expectedCard->stamp);
            EXPECT_EQ(cards[0].cmode, ex.expectedCard->cmode);
        } else {
            SpinFor(300);
            EXPECT_TRUE(cards.empty());
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Examples, WireExampleTest, ::testing::ValuesIn(Examples()), ParamName());

TEST(PackedReaderTime, WorkedExampleBothWays)
{
    const ReaderSim::Time t{2021, 3, 4, 5, 6, 7};
    EXPECT_EQ(ReaderSim::PackTime(t), 0x2D814DBFu);
    EXPECT_EQ(ReaderSim::PackTime(t), 763448767u);
    EXPECT_EQ(DecodeReaderTime(0x2D814DBF), QDateTime(QDate(2021, 3, 4), QTime(5, 6, 7)));
}

} // namespace
