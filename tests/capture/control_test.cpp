// The capture control over test cameras: device lists, selection, formats, preview, boxes.

#include "capture/DXCapture.h"
#include "testsupport/fakemessages.h"
#include "testsupport/paramname.h"
#include "testsupport/spin.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <atomic>

namespace {

const QString VideoFilterBox = QStringLiteral(
    "Error 0.\r\nCan't create video capture filter - propably you havn't video capture device!");

// The main window's way with the control: its own size at 30 frames a second, 24 bits.
void WireLikeTheWindow(TCapture &c)
{
    c.OnChangeDevice = [&c] { c.SetVideoFormat(c.width(), c.height(), 30.0, 24); };
    c.OnVideoFormatChange = [&c] { c.setGeometry(c.geometry()); };
    c.SetVideoFormat(c.width(), c.height(), 30.0, 24);
}

} // namespace

TEST(CaptureDevices, NoDeviceGivesFalseAndAnEmptyList)
{
    VideoTestDeviceSource none{QStringList()};
    ScopedCaptureDeviceSource use(&none);
    TCapture capture;
    EXPECT_FALSE(capture.InitDevices());
    EXPECT_TRUE(GetVideoDeviceNames(false).isEmpty());
}

TEST(CaptureDevices, NamesInListOrder)
{
    VideoTestDeviceSource two({QStringLiteral("Front"), QStringLiteral("Back")});
    ScopedCaptureDeviceSource use(&two);
    TCapture capture;
    EXPECT_TRUE(capture.InitDevices());
    EXPECT_EQ(GetVideoDeviceNames(true),
              (QStringList{QStringLiteral("Front"), QStringLiteral("Back")}));
}

TEST(CaptureDevices, UnknownNameShowsTheVideoFilterBoxOnce)
{
    VideoTestDeviceSource cams;
    ScopedCaptureDeviceSource use(&cams);
    FakeMessages messages;
    TCapture capture;
    int changes = 0;
    capture.OnChangeDevice = [&] { ++changes; };
    ASSERT_TRUE(capture.InitDevices());
    // Names compare exactly: another case is another name.
    capture.SelectDevices(QStringLiteral("test camera"), QString());
    ASSERT_EQ(messages.Count(), 1);
    EXPECT_EQ(messages.Last().text, VideoFilterBox);
    EXPECT_EQ(messages.Last().caption, QStringLiteral("DirectShow - Capture"));
    EXPECT_EQ(messages.Last().kind, MsgKind::Error);
    EXPECT_EQ(changes, 1);
    EXPECT_FALSE(capture.Previewing());
    EXPECT_TRUE(capture.VideoGrabber().Enabled());
}

TEST(CaptureErrorBox, CodeInUpperCaseHex)
{
    FakeMessages messages;
    EXPECT_EQ(
        ShowCaptureErrorBox(QStringLiteral("Error %x: Cannot run preview graph!"), 0x80004005u),
        QStringLiteral("Error 80004005: Cannot run preview graph!"));
    EXPECT_EQ(ShowCaptureErrorBox(QStringLiteral("Error %x."), 0xabcu),
              QStringLiteral("Error ABC."));
    EXPECT_EQ(messages.Count(), 2);
}

TEST(CaptureFormat, VideoFormatRules)
{
    TCapture capture;
    EXPECT_EQ(capture.VideoFormat().Width, 320);
    EXPECT_EQ(capture.VideoFormat().AvgTimePerFrame, 666667);
    capture.SetVideoFormat(160, 120, 30.0, 32);
    EXPECT_EQ(capture.VideoFormat().AvgTimePerFrame, 333333);
    EXPECT_EQ(capture.VideoFormat().SizeImage, 160 * 120 * 4);
    capture.SetVideoFormat(0, -5, 0.0, 12);
    const TVideoFormat f = capture.VideoFormat();
    EXPECT_EQ(f.Width, 160);
    EXPECT_EQ(f.Height, 120);
    EXPECT_EQ(f.BitCount, 24);
    EXPECT_EQ(f.AvgTimePerFrame, 666667);
    EXPECT_DOUBLE_EQ(capture.FrameRate(), 15.0);
    EXPECT_EQ(capture.FrameWidth(), 160);
    EXPECT_EQ(capture.FrameHeight(), 120);
}

struct AudioCase
{
    const char *name;
    int rate, channels, bits;
    int wantRate, wantChannels, wantBits, wantAlign, wantBytesPerSec;
};

class AudioFormatTest : public ::testing::TestWithParam<AudioCase>
{
};

TEST_P(AudioFormatTest, OnlyTheAcceptedValuesStay)
{
    const AudioCase c = GetParam();
    TCapture capture;
    capture.SetAudioFormat(c.rate, c.channels, c.bits);
    const TAudioFormat f = capture.AudioFormat();
    EXPECT_EQ(f.FormatTag, 1);
    EXPECT_EQ(f.SamplesPerSec, c.wantRate);
    EXPECT_EQ(f.Channels, c.wantChannels);
    EXPECT_EQ(f.BitsPerSample, c.wantBits);
    EXPECT_EQ(f.BlockAlign, c.wantAlign);
    EXPECT_EQ(f.AvgBytesPerSec, c.wantBytesPerSec);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, AudioFormatTest,
    ::testing::Values(AudioCase{"AllRejected", 22000, 3, 12, 8000, 1, 8, 1, 8000},
                      AudioCase{"Cd", 44100, 2, 16, 44100, 2, 16, 4, 176400},
                      AudioCase{"Constructor", 22000, 1, 16, 8000, 1, 16, 2, 16000}),
    ParamName());

TEST(CapturePreview, TestCameraRunsAtTheControlsSizeWhateverItsOwn)
{
    VideoTestDeviceSource cams({QStringLiteral("Test Camera")}, 640, 480);
    ScopedCaptureDeviceSource use(&cams);
    FakeMessages messages;
    TCapture capture;
    capture.setFixedSize(160, 120);
    WireLikeTheWindow(capture);
    int starts = 0;
    capture.OnStartPreview = [&] { ++starts; };
    std::atomic<int> lastLength{0};
    capture.VideoGrabber().SetOnBuffer(
        MakeBufferEvent([&](int, const void *, int length) { lastLength.store(length); }));
    ASSERT_TRUE(capture.InitDevices());
    capture.SelectDevices(QStringLiteral("Test Camera"), QString());
    EXPECT_EQ(messages.Count(), 0) << messages.Texts().join(u'|').toStdString();
    EXPECT_TRUE(capture.Previewing());
    EXPECT_EQ(starts, 1);
    EXPECT_EQ(capture.VideoDeviceName(), QStringLiteral("Test Camera"));
    EXPECT_EQ(capture.FrameWidth(), 160);
    EXPECT_EQ(capture.FrameHeight(), 120);
    ASSERT_TRUE(SpinUntil([&] { return lastLength.load() > 0; }, 3000));
    EXPECT_EQ(lastLength.load(), 57600);
    ASSERT_TRUE(SpinUntil([&] { return !capture.PreviewImage().isNull(); }, 3000));
    EXPECT_EQ(capture.PreviewImage().size(), QSize(160, 120));

    // The picture fills the control: painted, it is no longer the plain blue.
    const QImage painted = capture.grab().toImage();
    EXPECT_NE(painted.pixel(80, 60), QColor(Qt::blue).rgb());

    int stops = 0;
    capture.OnStopPreview = [&] { ++stops; };
    EXPECT_TRUE(capture.StopPreview());
    EXPECT_EQ(stops, 1);
    EXPECT_FALSE(capture.VideoGrabber().Enabled());
    EXPECT_FALSE(capture.StopPreview());
    EXPECT_TRUE(capture.StartPreview());
    EXPECT_TRUE(capture.Previewing());
}

TEST(CapturePreview, SnapshotFromTheRunningCamera)
{
    VideoTestDeviceSource cams;
    ScopedCaptureDeviceSource use(&cams);
    FakeMessages messages;
    QTemporaryDir dir;
    TCapture capture;
    capture.setFixedSize(160, 120);
    WireLikeTheWindow(capture);
    std::atomic<int> calls{0};
    capture.VideoGrabber().SetOnBuffer(MakeBufferEvent([&](int, const void *, int) { ++calls; }));
    ASSERT_TRUE(capture.InitDevices());
    capture.SelectDevices(QStringLiteral("Test Camera"), QString());
    ASSERT_TRUE(SpinUntil([&] { return calls.load() > 0; }, 3000));

    const QString name = dir.filePath(QStringLiteral("shot.jpg"));
    capture.SetSnapshotFileName(name);
    capture.TakeSnapshot(100);
    ASSERT_TRUE(SpinUntil([&] { return !capture.SnapshotPending(); }, 2000));
    QImage shot;
    ASSERT_TRUE(shot.load(name, "JPEG"));
    EXPECT_EQ(shot.size(), QSize(160, 120));
}

TEST(CapturePreview, DeviceChangeBuildsAFreshPipeline)
{
    VideoTestDeviceSource cams({QStringLiteral("A"), QStringLiteral("B")});
    ScopedCaptureDeviceSource use(&cams);
    FakeMessages messages;
    TCapture capture;
    capture.setFixedSize(160, 120);
    WireLikeTheWindow(capture);
    ASSERT_TRUE(capture.InitDevices());
    capture.SelectDevices(QStringLiteral("A"), QString());
    capture.SelectDevices(QStringLiteral("B"), QString());
    EXPECT_EQ(messages.Count(), 0);
    EXPECT_TRUE(capture.Previewing());
    EXPECT_EQ(capture.VideoDeviceName(), QStringLiteral("B"));
    // A device that went away keeps the name of the last one bound and shows its colour.
    capture.SelectDevices(QStringLiteral("C"), QString());
    EXPECT_EQ(messages.Count(), 1);
    EXPECT_FALSE(capture.Previewing());
    EXPECT_EQ(capture.VideoDeviceName(), QStringLiteral("B"));
    EXPECT_EQ(capture.grab().toImage().pixel(80, 60), QColor(Qt::blue).rgb());
}
