#include "capture/snapshot.h"

#include <QSaveFile>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <jpeglib.h>

QImage FrameToBitmap(const void *buffer, int length, int frameWidth, int frameHeight)
{
    if (!buffer || length <= 0 || frameWidth <= 0 || frameHeight <= 0)
        return {};
    const int bytesPerPixel = length / (frameWidth * frameHeight);
    QImage::Format format;
    switch (bytesPerPixel) {
    case 1:
        format = QImage::Format_Grayscale8;
        break;
    case 2:
        format = QImage::Format_RGB555;
        break;
    case 3:
        format = QImage::Format_BGR888;
        break;
    case 4:
        format = QImage::Format_RGB32;
        break;
    default:
        return {};
    }
    QImage image(frameWidth, frameHeight, format);
    if (image.isNull())
        return {};
    const auto *bytes = static_cast<const uchar *>(buffer);
    const qsizetype rowBytes = qsizetype(frameWidth) * bytesPerPixel;
    for (int r = 0; r < frameHeight; ++r)
        std::memcpy(image.scanLine(frameHeight - 1 - r), bytes + r * rowBytes, size_t(rowBytes));
    return image;
}

namespace {

struct JpegMemory
{
    unsigned char *data = nullptr;
    unsigned long size = 0;
    ~JpegMemory() { std::free(data); }
};

// libjpeg reports fatal errors by calling error_exit, which must not return: the standard way
// out is a long jump back into encode(), whose locals are all plain data.
struct JpegErrorManager
{
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

void jumpOnError(j_common_ptr cinfo)
{
    std::longjmp(reinterpret_cast<JpegErrorManager *>(cinfo->err)->jump, 1);
}

bool encode(const QImage &rgb, int quality, JpegMemory &out)
{
    jpeg_compress_struct cinfo{};
    JpegErrorManager jerr{};
    cinfo.err = jpeg_std_error(&jerr.pub);
    jerr.pub.error_exit = jumpOnError;
    if (setjmp(jerr.jump)) {
        jpeg_destroy_compress(&cinfo);
        return false;
    }
    jpeg_create_compress(&cinfo);
    jpeg_mem_dest(&cinfo, &out.data, &out.size);
    cinfo.image_width = JDIMENSION(rgb.width());
    cinfo.image_height = JDIMENSION(rgb.height());
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        auto row = const_cast<JSAMPROW>(rgb.constScanLine(int(cinfo.next_scanline)));
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return true;
}

} // namespace

bool WriteJpegFile(const QImage &image, const QString &fileName, int quality)
{
    if (image.isNull() || fileName.isEmpty())
        return false;
    if (quality < 0 || quality > 100)
        quality = 100;
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    JpegMemory jpeg;
    if (!encode(rgb, quality, jpeg))
        return false;
    // QSaveFile writes beside the target and renames over it on commit; on any failure the
    // temporary file is removed and the target is left as it was.
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(reinterpret_cast<const char *>(jpeg.data), qint64(jpeg.size)) !=
        qint64(jpeg.size)) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}
