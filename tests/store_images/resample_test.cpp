// The bilinear resampler and the quarter turn, on small pictures with exact pixel values.

#include "store/imagerotate.h"
#include "store/images.h"

#include <QApplication>
#include <QEvent>
#include <QRandomGenerator>
#include <QWidget>
#include <gtest/gtest.h>

#include <cstring>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

namespace {

struct Rgb
{
    int r, g, b;
    bool operator==(const Rgb &) const = default;
};

std::ostream &operator<<(std::ostream &os, const Rgb &c)
{
    return os << '(' << c.r << ',' << c.g << ',' << c.b << ')';
}

Rgb at(const QImage &image, int x, int y)
{
    const uchar *p = image.constScanLine(y) + 3 * x;
    return {p[0], p[1], p[2]};
}

void put(QImage &image, int x, int y, Rgb c)
{
    uchar *p = image.scanLine(y) + 3 * x;
    p[0] = uchar(c.r);
    p[1] = uchar(c.g);
    p[2] = uchar(c.b);
}

QImage picture(int w, int h, const std::vector<Rgb> &pixels)
{
    QImage image(w, h, QImage::Format_RGB888);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            put(image, x, y, pixels[size_t(y * w + x)]);
    return image;
}

QImage noise(int w, int h, quint32 seed)
{
    QRandomGenerator random(seed);
    QImage image(w, h, QImage::Format_RGB888);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            put(image, x, y,
                {int(random.bounded(256)), int(random.bounded(256)), int(random.bounded(256))});
    return image;
}

std::vector<Rgb> pixelsOf(const QImage &image)
{
    std::vector<Rgb> pixels;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            pixels.push_back(at(image, x, y));
    return pixels;
}

const Rgb A{10, 20, 30};
const Rgb B{210, 120, 30};

TEST(StretchBitmapBilinear, ExactValuesInSixteenSixteenFixedPoint)
{
    // Steps of (source - 1) / destination: a quarter pixel here. The weights of a position
    // a quarter of the way along are 3/4 and 1/4 (plus the extra 1/65536 of the lower row).
    const std::vector<Rgb> stretched{A, {60, 45, 30}, {110, 70, 30}, {160, 95, 30}};
    struct Row
    {
        const char *name;
        QSize source, destination;
    } rows[] = {
        {"across", {2, 1}, {4, 1}},
        {"down", {1, 2}, {1, 4}},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.name);
        QImage destination(r.destination, QImage::Format_RGB888);
        StretchBitmapBilinear(picture(r.source.width(), r.source.height(), {A, B}), destination);
        EXPECT_EQ(pixelsOf(destination), stretched);
    }
}

TEST(StretchBitmapBilinear, AUniformAreaKeepsItsValue)
{
    for (const int value : {255, 0, 1, 128}) {
        for (const QSize size : {QSize(13, 11), QSize(3, 2), QSize(40, 1), QSize(1, 40)}) {
            SCOPED_TRACE(value);
            QImage source(7, 5, QImage::Format_RGB888);
            source.fill(QColor(value, value, value));
            QImage destination(size, QImage::Format_RGB888);
            StretchBitmapBilinear(source, destination);
            for (const Rgb &c : pixelsOf(destination))
                ASSERT_EQ(c, (Rgb{value, value, value})) << size.width() << "x" << size.height();
        }
    }
}

TEST(StretchBitmapBilinear, SameSizeCopiesUnchangedInTwentyFourBits)
{
    const QImage source = noise(17, 9, 7).convertToFormat(QImage::Format_RGB32);
    QImage destination(17, 9, QImage::Format_ARGB32);
    StretchBitmapBilinear(source, destination);
    EXPECT_EQ(destination.format(), QImage::Format_RGB888);
    EXPECT_EQ(destination, source.convertToFormat(QImage::Format_RGB888));

    QImage resized = noise(17, 9, 8);
    const QImage before = resized;
    ResizeBitmap(resized, 17, 9);
    EXPECT_EQ(resized, before);
}

TEST(StretchBitmapBilinear, OnePixelSourcesAndEmptyPictures)
{
    // A 1 x 1 source fills any destination with its pixel.
    QImage one = picture(1, 1, {B});
    ResizeBitmap(one, 5, 3);
    EXPECT_EQ(one.size(), QSize(5, 3));
    for (const Rgb &c : pixelsOf(one))
        EXPECT_EQ(c, B);

    // A one-pixel-wide column: every destination row is its own colour all along.
    QImage column(9, 5, QImage::Format_RGB888);
    StretchBitmapBilinear(picture(1, 3, {A, B, A}), column);
    for (int y = 0; y < column.height(); ++y)
        for (int x = 1; x < column.width(); ++x)
            EXPECT_EQ(at(column, x, y), at(column, 0, y)) << x << "," << y;
    EXPECT_EQ(at(column, 0, 0), A);

    QImage untouched = picture(2, 1, {A, B});
    StretchBitmapBilinear(QImage(), untouched);
    EXPECT_EQ(pixelsOf(untouched), (std::vector<Rgb>{A, B}));
    QImage empty;
    StretchBitmapBilinear(picture(2, 1, {A, B}), empty);
    EXPECT_TRUE(empty.isNull());
    ResizeBitmap(untouched, 0, 4);
    EXPECT_EQ(untouched.size(), QSize(2, 1));
    QImage none;
    ResizeBitmap(none, 4, 4);
    EXPECT_TRUE(none.isNull());
}

// A picture whose last byte is the last readable byte before a page nobody may read: reading
// one pixel past the end of its last row stops the test.
class GuardedPicture
{
public:
    GuardedPicture(int w, int h, const std::vector<Rgb> &pixels)
    {
        m_page = size_t(sysconf(_SC_PAGESIZE));
        m_base = static_cast<uchar *>(
            mmap(nullptr, 2 * m_page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
        mprotect(m_base + m_page, m_page, PROT_NONE);
        const int stride = (3 * w + 3) & ~3;
        uchar *data = m_base + m_page - size_t(stride * h);
        std::memset(data, 0, size_t(stride * h));
        m_image = QImage(data, w, h, stride, QImage::Format_RGB888);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                put(m_image, x, y, pixels[size_t(y * w + x)]);
    }
    ~GuardedPicture() { munmap(m_base, 2 * m_page); }
    const QImage &Image() const { return m_image; }

private:
    size_t m_page = 0;
    uchar *m_base = nullptr;
    QImage m_image;
};

TEST(StretchBitmapBilinear, NeverReadsPastTheRightEdge)
{
    struct Row
    {
        const char *name;
        int w, h;
        std::vector<Rgb> pixels;
        QSize destination;
    } rows[] = {
        {"one pixel wide", 1, 3, {A, B, A}, {4, 6}},
        {"one pixel", 1, 1, {B}, {3, 3}},
        {"a large enlargement rounds up to the last column", 2, 1, {A, B}, {1000, 1}},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.name);
        GuardedPicture source(r.w, r.h, r.pixels);
        QImage destination(r.destination, QImage::Format_RGB888);
        StretchBitmapBilinear(source.Image(), destination);
        EXPECT_EQ(at(destination, 0, 0), r.pixels[0]);
        for (const Rgb &c : pixelsOf(destination)) {
            EXPECT_GE(c.r, A.r);
            EXPECT_LE(c.r, B.r);
        }
    }
}

// Records the captions of the progress forms shown while it lives.
class ShownForms final : public QObject
{
public:
    ShownForms() { qApp->installEventFilter(this); }
    ~ShownForms() override { qApp->removeEventFilter(this); }
    QStringList captions;
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show && watched->inherits("Tpbar"))
            captions << static_cast<QWidget *>(watched)->windowTitle();
        return false;
    }
};

TEST(RotateBitmap90, AQuarterTurnAnticlockwise)
{
    struct Row
    {
        const char *name;
        int w, h;
        std::vector<Rgb> source;
        std::vector<Rgb> turned; // row by row
    } rows[] = {
        {"2 x 1: B on top, A below", 2, 1, {A, B}, {B, A}},
        {"1 x 1", 1, 1, {A}, {A}},
        {"3 x 2: the top row becomes the left column read upwards",
         3,
         2,
         {{1, 0, 0}, {2, 0, 0}, {3, 0, 0}, {4, 0, 0}, {5, 0, 0}, {6, 0, 0}},
         {{3, 0, 0}, {6, 0, 0}, {2, 0, 0}, {5, 0, 0}, {1, 0, 0}, {4, 0, 0}}},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.name);
        ShownForms forms;
        QImage image = picture(r.w, r.h, r.source);
        RotateBitmap90(nullptr, image);
        EXPECT_EQ(image.size(), QSize(r.h, r.w));
        EXPECT_EQ(pixelsOf(image), r.turned);
        EXPECT_EQ(forms.captions, QStringList{QStringLiteral("Rotating")});
    }
}

TEST(RotateBitmap90, LargerPicturesTurnLikeQtsOwnRotation)
{
    // Sizes across the bands the rotation works in.
    for (const QSize size : {QSize(37, 70), QSize(64, 33), QSize(5, 1), QSize(1, 5)}) {
        SCOPED_TRACE(size.width());
        const QImage source = noise(size.width(), size.height(), 11);
        QImage image = source.convertToFormat(QImage::Format_RGB32); // any depth comes in
        RotateBitmap90(nullptr, image);
        EXPECT_EQ(image.format(), QImage::Format_RGB888);
        EXPECT_EQ(image, source.transformed(QTransform().rotate(-90)));
        // Four turns are the picture again.
        for (int i = 0; i < 3; ++i)
            RotateBitmap90(nullptr, image);
        EXPECT_EQ(image, source);
    }
    QImage none;
    RotateBitmap90(nullptr, none);
    EXPECT_TRUE(none.isNull());
}

} // namespace
