// A very large picture chosen as a card photo: it loads at the largest eighth of its size
// under the decoder's bound, the desk's memory stays within 100 MB, and a swipe sent meanwhile opens its door
// while the picture is still being read.

#include "../desk_core/deskfixture.h"
#include "store/images.h"
#include "testsupport/fakefiledialogs.h"
#include "testsupport/largejpeg.h"
#include "testsupport/residentmemory.h"

#include <QFile>
#include <QTimer>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fstream>
#include <string>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

class LargePhotoTest : public DeskCoreTest
{
protected:
    void SetUp() override
    {
        DeskCoreTest::SetUp();
        m_sim = &AttachSim(1);
        ConfigureReader(1, ReaderRow{});
        AddStaff({.card = Card, .name = QStringLiteral("Ann"), .ports = {1}});
        StartCore();
        ASSERT_TRUE(core->Reader(1)->Connected());
        SetFileDialogs(&m_files);
    }
    void TearDown() override
    {
        SetFileDialogs(nullptr);
        DeskCoreTest::TearDown();
    }

    static constexpr int Card = 4711;
    ReaderSim *m_sim = nullptr;
    FakeFileDialogs m_files;
};

TEST_F(LargePhotoTest, TwentyThousandPixelsSquareLoadWhileTheDoorsWork)
{
    const QString fileName = Data().Dir() + QStringLiteral("/scan.jpg");
    {
        QFile file(fileName);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(LargeJpeg(20000, 20000));
    }
    m_files.QueueName(fileName);
    const long long idle = ResidentBytes();
    PeakSampler sampler;

    // The swipe goes out as soon as the event loop turns after the load began.
    ReaderSim::SteadyTime sent{};
    const std::size_t before = Texts(*m_sim).size();
    QTimer::singleShot(0, [&] { sent = m_sim->SendCard(Card); });
    QImage photo;
    const bool loaded = LoadImageFromFile(nullptr, photo, 0, 0);
    const auto returned = Clock::now();
    const long long peak = sampler.Stop();

    ASSERT_TRUE(loaded);
    EXPECT_EQ(photo.size(), QSize(2500, 2500));
    EXPECT_LT(peak - idle, 100LL * 1024 * 1024) << "grew by " << (peak - idle) / 1048576 << " MB";
    ASSERT_TRUE(SpinUntil([&] { return Texts(*m_sim).size() > before; }, 3000));
    const auto frames = m_sim->Received();
    const auto door = std::find_if(frames.begin(), frames.end(), [&](const ReaderSim::Frame &f) {
        return f.kind == ReaderSim::Frame::Text && f.at >= sent;
    });
    ASSERT_NE(door, frames.end());
    EXPECT_EQ(std::string(door->payload.begin(), door->payload.end()), "~Y3");
    // Answered before the picture was in, and as fast as on an idle desk.
    EXPECT_LT(door->at, returned);
    EXPECT_LT(door->at - sent, std::chrono::milliseconds(100));
}

} // namespace
