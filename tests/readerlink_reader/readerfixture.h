#pragma once
// A TRfidReader on port COM3 wired to a simulated reader over a pseudo-terminal pair, with
// every event it fires recorded. Main thread.

#include "readerlink/reader.h"
#include "store/clock.h"
#include "store/settings.h"
#include "testsupport/readersim.h"
#include "testsupport/spin.h"
#include "testsupport/tempsettings.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <functional>
#include <vector>

struct CardEvent
{
    bool offline = false;
    int port = 0;
    int code = 0;
    QDateTime stamp;
    int cmode = 0;
};

struct BypassEvent
{
    int port = 0;
    int state = 0;
};

inline ReaderSim::Bytes Hex(std::initializer_list<int> bytes)
{
    ReaderSim::Bytes b;
    for (int v : bytes)
        b.push_back(static_cast<std::uint8_t>(v));
    return b;
}

inline QByteArray ToQ(const ReaderSim::Bytes &b)
{
    return QByteArray(reinterpret_cast<const char *>(b.data()), qsizetype(b.size()));
}

class ReaderLinkTest : public TempSettingsTest
{
protected:
    static constexpr int Port = 3;

    void SetUp() override
    {
        TempSettingsTest::SetUp();
        ASSERT_TRUE(sim.Start()) << sim.ErrorText();
        WriteRegString(QStringLiteral("COM%1Device").arg(Port),
                       QString::fromStdString(sim.DevicePath()));
        reader.SetPortNo(Port);
        reader.SetDataBits(dbEight);
        reader.SetStopBits(sbOneStopBit);
        reader.Parity()->SetBits(prNone);
        reader.ApplyPortNo();
        reader.OnCardCode = [this](bool offline, int port, int code, const QDateTime &stamp,
                                   qint8 cmode) {
            cards.push_back({offline, port, code, stamp, cmode});
        };
        reader.OnBypass = [this](int port, int state) { bypasses.push_back({port, state}); };
        reader.OnPowerup = [this](int port) { powerups.push_back(port); };
        reader.SetConnected(true);
        ASSERT_TRUE(reader.Connected());
    }

    void TearDown() override
    {
        reader.SetConnected(false);
        sim.Stop();
        PinClock(QDateTime());
        TempSettingsTest::TearDown();
    }

    // The frames the reader has seen, waiting for at least n of them.
    std::vector<ReaderSim::Frame> FramesAtLeast(std::size_t n, int ms = 2000)
    {
        // The loop turns meanwhile: what the host sends may answer a frame it has yet to read.
        EXPECT_TRUE(SpinUntil([&] { return sim.Received().size() >= n; }, ms))
            << "the reader saw fewer than " << n << " frames";
        return sim.Received();
    }

    // Sends a command and turns the loop until its reply wait ends.
    bool Exchange(const QByteArray &payload, int waitMs = ReaderReplyWait)
    {
        reader.SendPacketTimeout(payload, waitMs);
        SpinUntil([this] { return !reader.PktMode(); }, waitMs + 2000);
        return reader.PktGood();
    }

    ReaderSim sim;
    TRfidReader reader;
    std::vector<CardEvent> cards;
    std::vector<BypassEvent> bypasses;
    std::vector<int> powerups;
};
