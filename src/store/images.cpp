#include "store/images.h"

#include "store/dataset.h"
#include "store/eventwait.h"
#include "store/filedialogs.h"
#include "store/jpegcodec.h"
#include "store/messages.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace {

constexpr QImage::Format workingFormat = QImage::Format_RGB888;
constexpr int bytesPerPixel = 3;

QImage working(const QImage &image)
{
    return image.format() == workingFormat ? image : image.convertToFormat(workingFormat);
}

// a * b / c rounded to the nearest integer (halves away from zero), through 64 bits.
inline std::int32_t mulDiv(std::int32_t a, std::int32_t b, std::int32_t c)
{
    if (c == 0)
        return -1;
    const std::int64_t product = std::int64_t(a) * b;
    const std::int64_t half = (c < 0 ? -std::int64_t(c) : std::int64_t(c)) / 2;
    const bool negative = (product < 0) != (c < 0);
    const std::int64_t magnitude = (product < 0 ? -product : product) + half;
    const std::int64_t quotient = magnitude / (c < 0 ? -std::int64_t(c) : std::int64_t(c));
    return std::int32_t(negative ? -quotient : quotient);
}

bool isEmpty(const QImage &image)
{
    return image.isNull() || image.width() < 1 || image.height() < 1;
}

QByteArray readWholeFile(const QString &fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw EImageFile("Cannot open " + fileName.toStdString());
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw EImageFile("Cannot read " + fileName.toStdString());
    return bytes;
}

// The picture at width x height, or at its own size when either is 0.
void showScaled(int width, int height, QImage picture, QImage &image)
{
    picture = working(picture);
    if (width > 0 && height > 0)
        ResizeBitmap(picture, width, height);
    image = picture;
}

} // namespace

// ---- Blob fields ---------------------------------------------------------------------------

bool SaveGraphicToBlobAsJpeg(const TField &field, const QImage &graphic)
{
    try {
        const QByteArray jpeg = EncodeJpeg(graphic);
        if (jpeg.isEmpty())
            return false;
        field.SetAsBytes(jpeg);
        return true;
    } catch (const std::exception &) {
        return false;
    }
}

bool LoadJpegBlobToGraphic(const TField &field, QImage &graphic)
{
    try {
        const QImage picture = DecodeJpeg(field.AsBytes());
        if (picture.isNull())
            return false;
        graphic = picture;
        return true;
    } catch (const std::exception &) {
        return false;
    }
}

bool LoadGraphicFromBlob(const TField &field, QImage &graphic)
{
    try {
        const QByteArray bytes = field.AsBytes();
        // JPEG through the same codec as the JPEG routines; anything else by its own format.
        QImage picture = DecodeJpeg(bytes);
        if (picture.isNull())
            picture = QImage::fromData(bytes);
        if (picture.isNull())
            return false;
        graphic = working(picture);
        return true;
    } catch (const std::exception &) {
        return false;
    }
}

bool SaveGraphicToBlob(const TField &field, const QImage &graphic)
{
    try {
        if (graphic.isNull())
            return false;
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        if (!working(graphic).save(&buffer, "BMP"))
            return false;
        field.SetAsBytes(bytes);
        return true;
    } catch (const std::exception &) {
        return false;
    }
}

bool ResizeBlobPhoto(const TField &field, int width, int height)
{
    QImage photo;
    if (!LoadJpegBlobToGraphic(field, photo))
        return false;
    ResizeBitmap(photo, width, height);
    return SaveGraphicToBlobAsJpeg(field, photo);
}

// ---- Pixels --------------------------------------------------------------------------------

void ResizeBitmap(QImage &bitmap, int width, int height)
{
    if (isEmpty(bitmap) || width < 1 || height < 1)
        return;
    // Every confirmed card photo passes here, most of them at the stored size already.
    if (bitmap.width() == width && bitmap.height() == height && bitmap.format() == workingFormat)
        return;
    const QImage copy = bitmap;
    QImage resized(width, height, workingFormat);
    if (resized.isNull())
        return;
    StretchBitmapBilinear(copy, resized);
    bitmap = resized;
}

void StretchBitmapBilinear(const QImage &sourceImage, QImage &destination)
{
    if (isEmpty(sourceImage) || isEmpty(destination))
        return;
    const QImage source = working(sourceImage);
    if (destination.format() != workingFormat)
        destination = destination.convertToFormat(workingFormat);
    if (source.size() == destination.size()) {
        destination = source.copy();
        return;
    }

    const std::int32_t sw = source.width(), sh = source.height();
    const std::int32_t dw = destination.width(), dh = destination.height();
    const std::int32_t sxStep = mulDiv(sw - 1, 65536, dw);
    const std::int32_t syStep = mulDiv(sh - 1, 65536, dh);
    std::int32_t sy = 0;
    for (std::int32_t y = 0; y < dh; ++y) {
        // The last row and column take themselves as their neighbours.
        const std::int32_t iy = std::min(sy >> 16, sh - 1);
        const uchar *r0 = source.constScanLine(iy);
        const uchar *r1 = iy < sh - 1 ? source.constScanLine(iy + 1) : r0;
        const std::int32_t fy = (sy & 0xFFFF) + 1;
        const std::int32_t gy = 65536 - (sy & 0xFFFF);
        uchar *out = destination.scanLine(y);
        std::int32_t sx = 0;
        for (std::int32_t x = 0; x < dw; ++x) {
            const std::int32_t ix = std::min(sx >> 16, sw - 1);
            const std::int32_t ix1 = ix < sw - 1 ? ix + 1 : ix;
            const std::int32_t fx = sx & 0xFFFF;
            const std::int32_t w1 = mulDiv(fx, gy, 65536);
            const std::int32_t w0 = gy - w1;
            const std::int32_t w3 = mulDiv(fx, fy, 65536);
            const std::int32_t w2 = fy - w3;
            const uchar *a = r0 + ix * bytesPerPixel, *b = r0 + ix1 * bytesPerPixel;
            const uchar *c = r1 + ix * bytesPerPixel, *d = r1 + ix1 * bytesPerPixel;
            for (int k = 0; k < bytesPerPixel; ++k)
                out[k] = uchar((a[k] * w0 + b[k] * w1 + c[k] * w2 + d[k] * w3) >> 16);
            out += bytesPerPixel;
            sx += sxStep;
        }
        sy += syStep;
    }
}

void RotateBitmap90(QImage &bitmap, const TRowProgress &progress)
{
    if (isEmpty(bitmap))
        return;
    const QImage source = working(bitmap);
    const int w = source.width(), h = source.height();
    QImage result(h, w, workingFormat);
    if (result.isNull())
        return;
    if (progress.begin)
        progress.begin(h);
    // Source row y becomes result column y, read bottom to top. A band of rows at a time, so
    // the writes into each result row stay side by side in memory.
    constexpr int band = 32;
    const qsizetype resultStride = result.bytesPerLine();
    uchar *const resultBits = result.bits();
    for (int y0 = 0; y0 < h; y0 += band) {
        const int rows = std::min(band, h - y0);
        const uchar *in[band];
        for (int i = 0; i < rows; ++i)
            in[i] = source.constScanLine(y0 + i);
        for (int x = 0; x < w; ++x) {
            uchar *out =
                resultBits + qsizetype(w - 1 - x) * resultStride + qsizetype(y0) * bytesPerPixel;
            for (int i = 0; i < rows; ++i) {
                std::memcpy(out, in[i] + qsizetype(x) * bytesPerPixel, bytesPerPixel);
                out += bytesPerPixel;
            }
        }
        if (progress.step)
            for (int i = 0; i < rows; ++i)
                progress.step();
    }
    bitmap = result;
}

// ---- Files ---------------------------------------------------------------------------------

bool LoadBitmapFileScaled(int width, int height, QImage &image, const QString &fileName)
{
    QByteArray bytes = readWholeFile(fileName);
    QBuffer buffer(&bytes);
    QImageReader reader(&buffer, "BMP");
    // Only a bitmap, as the extension said; a JPEG goes through the JPEG loader.
    reader.setAutoDetectImageFormat(false);
    const QImage picture = reader.read();
    if (picture.isNull())
        throw EImageFile("Not a bitmap: " + fileName.toStdString());
    showScaled(width, height, picture, image);
    return true;
}

bool LoadJpegFileScaled(int width, int height, QImage &image, const QString &fileName)
{
    if (!QFileInfo(fileName).isFile())
        return false;
    const QSize cover = width > 0 && height > 0 ? QSize(width, height) : QSize();
    const QByteArray bytes = readWholeFile(fileName);
    // A camera's picture takes a while to decode: the doors are served meanwhile, and the
    // user's clicks wait until the picture is in.
    QImage picture;
    RunOffThread([&] { picture = DecodeJpeg(bytes, cover); },
                 QEventLoop::ExcludeUserInputEvents);
    if (picture.isNull())
        throw EImageFile("Not a readable JPEG: " + fileName.toStdString());
    showScaled(width, height, picture, image);
    return true;
}

bool SaveImageAsJpeg(const QImage &image, const QString &fileName)
{
    return WriteJpegFile(image, fileName, LibraryJpegQuality);
}

bool LoadImageFromFile(QWidget *owner, QImage &image, int width, int height)
{
    FileDialogRequest request;
    request.kind = FileDialogKind::Open;
    request.filter = QString::fromLatin1(ImageFileFilter);
    QString fileName;
    if (!RunFileDialog(owner, request, fileName))
        return false;

    const QString extension = QFileInfo(fileName).suffix().toUpper();
    bool loaded = false;
    try {
        if (extension == QLatin1String("BMP")) {
            loaded = LoadBitmapFileScaled(width, height, image, fileName);
        } else if (extension == QLatin1String("JPG") || extension == QLatin1String("JPEG")) {
            loaded = LoadJpegFileScaled(width, height, image, fileName);
        } else {
            ShowError(QStringLiteral("Unknown file extension."));
            return false;
        }
    } catch (const std::exception &) {
        loaded = false;
    }
    if (!loaded)
        ShowError(QStringLiteral("Cannot read picture file: ") +
                  QDir::toNativeSeparators(fileName));
    return loaded;
}

void ClearImage(QImage &image)
{
    QImage blank(100, 100, workingFormat);
    blank.fill(Qt::white);
    image = blank;
}
