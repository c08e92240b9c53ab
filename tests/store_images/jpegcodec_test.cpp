// JPEG bytes to pictures and back.

#include "pictures.h"
#include "store/jpegcodec.h"

#include <gtest/gtest.h>

#include <algorithm>

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
