// Frames into pictures, and pictures into JPEG files.

#include "capture/snapshot.h"
#include "testsupport/paramname.h"

#include <QDir>
#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

std::vector<uchar> Ramp(int length)
{
    std::vector<uchar> bytes(static_cast<size_t>(length));
    for (int i = 0; i < length; ++i)
        bytes[size_t(i)] = uchar(i * 7 + i / 480);
    return bytes;
}

} // namespace

struct FrameCase
{
    const char *name;
    int length;
    int depth; // 0: no picture
};

class FrameToBitmapTest : public ::testing::TestWithParam<FrameCase>
{
};

TEST_P(FrameToBitmapTest, BytesPerPixelFollowFromTheLength)
{
    const FrameCase c = GetParam();
    const std::vector<uchar> frame = Ramp(c.length);
    const QImage image = FrameToBitmap(frame.data(), c.length, 160, 120);
    if (c.depth == 0) {
        EXPECT_TRUE(image.isNull());
        return;
    }
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), QSize(160, 120));
    EXPECT_EQ(image.depth(), c.depth);
    // Bottom row first in the frame: the frame's last whole row is the picture's top row
    // (bytes beyond the last whole pixel are not looked at).
    const int row = 160 * (c.length / (160 * 120));
    EXPECT_EQ(0, std::memcmp(image.constScanLine(0), frame.data() + 119 * row, size_t(row)));
    EXPECT_EQ(0, std::memcmp(image.constScanLine(119), frame.data(), size_t(row)));
}

INSTANTIATE_TEST_SUITE_P(
    Lengths, FrameToBitmapTest,
    ::testing::Values(FrameCase{"Rgb24", 57600, 24}, FrameCase{"Rgb32", 76800, 32},
                      FrameCase{"Rgb555", 38400, 16}, FrameCase{"Grey", 19200, 8},
                      FrameCase{"RoundsDownToThreeBytes", 57600 + 100, 24},
                      FrameCase{"HundredBytes", 100, 0}, FrameCase{"FiveBytesPerPixel", 96000, 0},
                      FrameCase{"Empty", 0, 0}),
    ParamName());

TEST(FrameToBitmap, NoBufferGivesNoPicture)
{
    EXPECT_TRUE(FrameToBitmap(nullptr, 57600, 160, 120).isNull());
}

TEST(FrameToBitmap, ThreeBytesAreBlueGreenRed)
{
    std::vector<uchar> frame(size_t(4 * 2 * 3), 0);
    frame[0] = 0xff; // first pixel of the bottom row: blue
    const QImage image = FrameToBitmap(frame.data(), int(frame.size()), 4, 2);
    EXPECT_EQ(image.pixel(0, 1), qRgb(0, 0, 0xff));
}

TEST(WriteJpegFile, WritesAReadablePictureAndReplacesAnOldFile)
{
    QTemporaryDir dir;
    const QString name = dir.filePath(QStringLiteral("shot.jpg"));
    QImage red(160, 120, QImage::Format_RGB888);
    red.fill(Qt::red);
    ASSERT_TRUE(WriteJpegFile(red, name, 100));
    QImage green(80, 60, QImage::Format_RGB888);
    green.fill(Qt::green);
    ASSERT_TRUE(WriteJpegFile(green, name, 50));

    QImage back;
    ASSERT_TRUE(back.load(name, "JPEG"));
    EXPECT_EQ(back.size(), QSize(80, 60));
    EXPECT_GT(qGreen(back.pixel(40, 30)), 200);
    // Nothing but the file itself is left in the folder: the temporary name is gone.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("shot.jpg")});
}

TEST(WriteJpegFile, QualityChangesTheSizeAndOutOfRangeMeansBest)
{
    QTemporaryDir dir;
    QImage noise(160, 120, QImage::Format_RGB888);
    for (int y = 0; y < 120; ++y)
        for (int x = 0; x < 160; ++x)
            noise.setPixel(x, y, qRgb((x * 37 + y * 11) & 255, (x * y) & 255, (x ^ y) & 255));
    const auto sizeAt = [&](int quality) {
        const QString name = dir.filePath(QStringLiteral("q%1.jpg").arg(quality));
        EXPECT_TRUE(WriteJpegFile(noise, name, quality));
        return QFileInfo(name).size();
    };
    EXPECT_LT(sizeAt(10), sizeAt(100));
    EXPECT_EQ(sizeAt(255), sizeAt(100));
}

TEST(WriteJpegFile, MissingFolderLeavesNoFile)
{
    QTemporaryDir dir;
    QImage image(16, 16, QImage::Format_RGB888);
    image.fill(Qt::white);
    const QString name = dir.filePath(QStringLiteral("missing/shot.jpg"));
    EXPECT_FALSE(WriteJpegFile(image, name, 100));
    EXPECT_FALSE(QFileInfo::exists(name));
}
