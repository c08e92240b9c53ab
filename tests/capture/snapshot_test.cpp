// Snapshots through the capture control's video grabber, frames handed in as the streaming
// thread hands them.

#include "capture/DXCapture.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <vector>

namespace {

class SnapshotTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        capture.SetVideoFormat(160, 120, 30.0, 24);
        capture.VideoGrabber().SetOnBuffer(windowHandler);
    }

    void Frame(int length)
    {
        std::vector<uchar> frame(size_t(length), 0x80);
        capture.VideoGrabber().BufferCB(0.0, frame.data(), length);
    }
    QString File(const char *name) const { return dir.filePath(QString::fromLatin1(name)); }
    QStringList Files() const { return QDir(dir.path()).entryList(QDir::Files); }

    QTemporaryDir dir;
    TCapture capture;
    std::vector<int> windowCalls; // frame counts the window's handler saw
    TBufferEvent windowHandler =
        MakeBufferEvent([this](int count, const void *, int) { windowCalls.push_back(count); });
};

} // namespace

TEST_F(SnapshotTest, NextFrameIsWrittenAndTheWindowHandlerComesBack)
{
    Frame(57600);
    capture.SetSnapshotFileName(File("a.jpg"));
    capture.TakeSnapshot(100);
    EXPECT_TRUE(capture.SnapshotPending());
    EXPECT_NE(capture.VideoGrabber().OnBuffer(), windowHandler);
    Frame(57600);

    QImage shot;
    ASSERT_TRUE(shot.load(File("a.jpg"), "JPEG"));
    EXPECT_EQ(shot.size(), QSize(160, 120));
    EXPECT_FALSE(capture.SnapshotPending());
    EXPECT_EQ(capture.VideoGrabber().OnBuffer(), windowHandler);
    EXPECT_EQ(windowCalls, (std::vector<int>{1, 2}));
}

TEST_F(SnapshotTest, WrongSizedFrameWritesNothingButStillCallsTheHandler)
{
    capture.SetSnapshotFileName(File("a.jpg"));
    capture.TakeSnapshot(100);
    Frame(100);
    EXPECT_TRUE(Files().isEmpty());
    EXPECT_EQ(windowCalls, (std::vector<int>{1}));
    EXPECT_FALSE(capture.SnapshotPending());
    EXPECT_EQ(capture.VideoGrabber().OnBuffer(), windowHandler);
}

TEST_F(SnapshotTest, TwoRequestsBeforeAFrameWriteOneFileUnderTheLatestName)
{
    capture.SetSnapshotFileName(File("first.jpg"));
    capture.TakeSnapshot(100);
    capture.SetSnapshotFileName(File("second.jpg"));
    capture.TakeSnapshot(100);
    Frame(57600);
    EXPECT_EQ(Files(), QStringList{QStringLiteral("second.jpg")});
    EXPECT_EQ(windowCalls.size(), 1u);
    EXPECT_EQ(capture.VideoGrabber().OnBuffer(), windowHandler);
}

TEST_F(SnapshotTest, EmptyNameWritesCaptureJpgInTheCurrentFolder)
{
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    capture.SetSnapshotFileName(QString());
    capture.TakeSnapshot(80);
    Frame(57600);
    QDir::setCurrent(previous);
    EXPECT_EQ(Files(), QStringList{QStringLiteral("capture.jpg")});
    EXPECT_EQ(capture.SnapshotFileName(), QStringLiteral("capture.jpg"));
}

TEST_F(SnapshotTest, QualityAboveHundredKeepsTheStoredOne)
{
    capture.TakeSnapshot(255);
    EXPECT_EQ(capture.SnapshotQuality(), 0);
    capture.TakeSnapshot(100);
    EXPECT_EQ(capture.SnapshotQuality(), 100);
    capture.TakeSnapshot(200);
    EXPECT_EQ(capture.SnapshotQuality(), 100);
}

TEST_F(SnapshotTest, DisabledGrabberTakesNoSnapshotAndCallsNoOne)
{
    capture.VideoGrabber().SetEnabled(false);
    capture.SetSnapshotFileName(File("a.jpg"));
    capture.TakeSnapshot(100);
    EXPECT_FALSE(capture.SnapshotPending());
    Frame(57600);
    EXPECT_TRUE(Files().isEmpty());
    EXPECT_TRUE(windowCalls.empty());
    EXPECT_EQ(capture.VideoGrabber().FrameCount(), 0);
}

TEST_F(SnapshotTest, UnwritableFileEndsTheSnapshotQuietly)
{
    capture.SetSnapshotFileName(File("missing/a.jpg"));
    capture.TakeSnapshot(100);
    Frame(57600);
    EXPECT_FALSE(QFileInfo::exists(File("missing/a.jpg")));
    EXPECT_EQ(windowCalls.size(), 1u);
    EXPECT_FALSE(capture.SnapshotPending());
}
