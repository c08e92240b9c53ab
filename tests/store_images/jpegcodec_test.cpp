// JPEG bytes to pictures and back.

#include "pictures.h"
#include "store/jpegcodec.h"
#include "testsupport/residentmemory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fstream>
#include <string>
#include <thread>

namespace {

TEST(JpegCodec, RoundTripsInTwentyFourBits)
{
    for (const QSize size : {QSize(1, 1), QSize(240, 320), QSize(97, 33)}) {
        SCOPED_TRACE(size.width());
        const QImage source = gradient(size.width(), size.height());
        const QByteArray jpeg = EncodeJpeg(source.convertToFormat(QImage::Format_ARGB32));
        ASSERT_TRUE(jpeg.startsWith("\xFF\xD8"));
        const QImage back = DecodeJpeg(jpeg);
        ASSERT_FALSE(back.isNull());
        EXPECT_EQ(back.format(), QImage::Format_RGB888);
        EXPECT_EQ(back.size(), size);
        expectClose(back.pixel(0, 0), source.pixel(0, 0));
        expectClose(back.pixel(size.width() - 1, size.height() - 1),
                    source.pixel(size.width() - 1, size.height() - 1));
    }
    // A grey picture comes out in three bytes too.
    QImage grey(8, 8, QImage::Format_Grayscale8);
    grey.fill(QColor(100, 100, 100));
    const QImage back = DecodeJpeg(EncodeJpeg(grey));
    EXPECT_EQ(back.format(), QImage::Format_RGB888);
    expectClose(back.pixel(4, 4), qRgb(100, 100, 100), 2);
    EXPECT_LT(EncodeJpeg(gradient(64, 64), 10).size(), EncodeJpeg(gradient(64, 64), 100).size());
    EXPECT_TRUE(EncodeJpeg(QImage()).isEmpty());
}

TEST(JpegCodec, DamagedBytesGiveNoPicture)
{
    const QByteArray jpeg = EncodeJpeg(gradient(64, 48));
    struct Row
    {
        const char *name;
        QByteArray bytes;
    } rows[] = {
        {"empty", QByteArray()},
        {"not a JPEG", QByteArray("GIF89a not a jpeg at all")},
        {"truncated in the picture", jpeg.left(jpeg.size() * 2 / 3)},
        {"truncated in the header", jpeg.left(40)},
        {"start marker only", QByteArray("\xFF\xD8", 2)},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_TRUE(DecodeJpeg(r.bytes).isNull());
    }
}

// The size is read from the header alone: bytes cut in the picture still tell it.
TEST(JpegCodec, SizeComesFromTheHeader)
{
    const QByteArray jpeg = EncodeJpeg(gradient(240, 320));
    QImage grey(30, 20, QImage::Format_Grayscale8);
    grey.fill(QColor(100, 100, 100));
    struct Row
    {
        const char *name;
        QByteArray bytes;
        QSize size;
    } rows[] = {
        {"whole", jpeg, {240, 320}},
        {"grey", EncodeJpeg(grey), {30, 20}},
        {"truncated in the picture", jpeg.left(jpeg.size() * 2 / 3), {240, 320}},
        {"truncated in the header", jpeg.left(40), {}},
        {"not a JPEG", QByteArray("GIF89a not a jpeg at all"), {}},
        {"empty", QByteArray(), {}},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(JpegSize(r.bytes), r.size);
    }
}

} // namespace

namespace {

// A picture is decoded at the smallest eighth that still covers the size asked for, whole
// when none is asked, and never above the bound however large the file says it is.
TEST(JpegCodec, DecodesAtTheSmallestScaleThatCoversTheWantedSize)
{
    const QByteArray camera = LargeJpeg(2000, 1600);
    const QByteArray scan = LargeJpeg(6000, 6000);
    struct Row
    {
        const char *name;
        const QByteArray &bytes;
        QSize cover;
        QSize decoded;
    } rows[] = {
        {"whole without a cover", camera, QSize(), QSize(2000, 1600)},
        {"two eighths cover a photo", camera, QSize(240, 320), QSize(500, 400)},
        {"a cover larger than the picture", camera, QSize(4000, 4000), QSize(2000, 1600)},
        {"too large whole: the largest eighth under the bound", scan, QSize(), QSize(3750, 3750)},
        {"an eighth covers a photo", scan, QSize(240, 320), QSize(750, 750)},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.name);
        const QImage picture = DecodeJpeg(r.bytes, r.cover);
        ASSERT_FALSE(picture.isNull());
        EXPECT_EQ(picture.size(), r.decoded);
        EXPECT_EQ(picture.format(), QImage::Format_RGB888);
    }
}

// A 20,000 x 20,000 picture, as a card scanned at far too high a resolution: it comes out at an
// eighth, and the decode takes well under 100 MB. The same picture stored progressively would
// need its whole coefficient image: it is refused instead.
TEST(JpegCodec, HugePicturesTakeBoundedMemory)
{
    QByteArray huge = LargeJpeg(20000, 20000);
    const long long idle = ResidentBytes();
    PeakSampler sampler;
    const QImage photo = DecodeJpeg(huge, QSize(240, 320));
    const QImage whole = DecodeJpeg(huge);
    const long long peak = sampler.Stop();
    EXPECT_EQ(photo.size(), QSize(2500, 2500));
    EXPECT_EQ(whole.size(), QSize(2500, 2500));
    EXPECT_LT(peak - idle, 100LL * 1024 * 1024) << "grew by " << (peak - idle) / 1048576 << " MB";
    EXPECT_EQ(JpegSize(huge), QSize(20000, 20000));

    huge = LargeJpeg(8000, 8000, true);
    EXPECT_EQ(JpegSize(huge), QSize(8000, 8000));
    EXPECT_TRUE(DecodeJpeg(huge).isNull());
    EXPECT_TRUE(DecodeJpeg(huge, QSize(240, 320)).isNull());
    // A progressive picture of camera size still loads.
    EXPECT_EQ(DecodeJpeg(LargeJpeg(3000, 2000, true)).size(), QSize(3000, 2000));
}

// Bytes that libjpeg reads with a warning of corrupt data (camera files often carry some) come
// out as it decodes them, as picture viewers show them.
TEST(JpegCodec, CorruptDataWarningsStillGiveThePicture)
{
    QByteArray jpeg = EncodeJpeg(gradient(64, 48));
    ASSERT_TRUE(jpeg.endsWith("\xFF\xD9"));
    jpeg.insert(jpeg.size() - 2, QByteArray("\x12\x34\x56", 3)); // extraneous bytes before EOI
    const QImage picture = DecodeJpeg(jpeg);
    ASSERT_FALSE(picture.isNull());
    EXPECT_EQ(picture.size(), QSize(64, 48));
    expectClose(picture.pixel(63, 47), gradient(64, 48).pixel(63, 47));
}

} // namespace
