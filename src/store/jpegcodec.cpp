#include "store/jpegcodec.h"

#include <QSaveFile>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <jpeglib.h>
// The message codes, after the library header they build on.
#include <jerror.h>

namespace {

struct JpegMemory
{
    unsigned char *data = nullptr;
    unsigned long size = 0;
    ~JpegMemory() { std::free(data); }
};

// libjpeg reports fatal errors by calling error_exit, which must not return: the standard way
// out is a long jump back into encode() or decode(), whose own locals are all plain data.
struct JpegErrorManager
{
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

void jumpOnError(j_common_ptr cinfo)
{
    std::longjmp(reinterpret_cast<JpegErrorManager *>(cinfo->err)->jump, 1);
}

// A file that ends before its picture does would come out with grey rows at the bottom: that
// is a damaged picture, not one to store. Other warnings are only noted.
void jumpOnTruncation(j_common_ptr cinfo, int level)
{
    if (level < 0 && cinfo->err->msg_code == JWRN_JPEG_EOF)
        jumpOnError(cinfo);
    if (level < 0)
        ++cinfo->err->num_warnings;
}

// libjpeg's working memory beyond the picture itself (a progressive file keeps every
// coefficient of the whole picture): past it the decode fails instead of taking gigabytes.
constexpr long MaxWorkingMemory = 64L * 1024 * 1024;

// The eighths libjpeg scales by: the fewest that still cover the wanted size (all eight with
// none wanted), then fewer still while the picture would be too large to hold; 0 when even
// one eighth is too large.
unsigned scaleEighths(qint64 width, qint64 height, QSize cover)
{
    unsigned eighths = 8;
    if (cover.isValid() && cover.width() > 0 && cover.height() > 0) {
        eighths = 1;
        while (eighths < 8 && ((width * eighths + 7) / 8 < cover.width() ||
                               (height * eighths + 7) / 8 < cover.height()))
            ++eighths;
    }
    while (eighths > 0 &&
           ((width * eighths + 7) / 8) * ((height * eighths + 7) / 8) > MaxDecodedPixels)
        --eighths;
    return eighths;
}

int clampQuality(int quality)
{
    return quality < 0 || quality > 100 ? 100 : quality;
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

// The picture is made in the caller's image, so that no object with a destructor lives in
// the frame a long jump leaves. Without an image only the header is read, for the size.
bool decode(const QByteArray &bytes, QImage *image, int &width, int &height, QSize cover)
{
    jpeg_decompress_struct cinfo{};
    JpegErrorManager jerr{};
    cinfo.err = jpeg_std_error(&jerr.pub);
    jerr.pub.error_exit = jumpOnError;
    jerr.pub.emit_message = jumpOnTruncation;
    if (setjmp(jerr.jump)) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    cinfo.mem->max_memory_to_use = MaxWorkingMemory;
    jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char *>(bytes.constData()),
                 static_cast<unsigned long>(bytes.size()));
    if (jpeg_read_header(&cinfo, TRUE) != JPEG_HEADER_OK) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    width = int(cinfo.image_width);
    height = int(cinfo.image_height);
    if (!image) {
        jpeg_destroy_decompress(&cinfo);
        return true;
    }
    const unsigned eighths = scaleEighths(width, height, cover);
    if (eighths == 0) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    cinfo.scale_num = eighths;
    cinfo.scale_denom = 8;
    cinfo.out_color_space = JCS_RGB;
    jpeg_start_decompress(&cinfo);
    if (cinfo.output_components != 3 || cinfo.output_width > 0x7fff ||
        cinfo.output_height > 0x7fff) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    *image = QImage(int(cinfo.output_width), int(cinfo.output_height), QImage::Format_RGB888);
    if (image->isNull()) { // too large to hold
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = image->scanLine(int(cinfo.output_scanline));
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return true;
}

} // namespace

QByteArray EncodeJpeg(const QImage &image, int quality)
{
    if (image.isNull())
        return {};
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    JpegMemory jpeg;
    if (!encode(rgb, clampQuality(quality), jpeg))
        return {};
    return QByteArray(reinterpret_cast<const char *>(jpeg.data), qsizetype(jpeg.size));
}

QImage DecodeJpeg(const QByteArray &bytes, QSize cover)
{
    if (bytes.isEmpty())
        return {};
    QImage image;
    int width = 0;
    int height = 0;
    if (!decode(bytes, &image, width, height, cover))
        return {};
    return image;
}

bool WriteJpegFile(const QImage &image, const QString &fileName, int quality)
{
    if (image.isNull() || fileName.isEmpty())
        return false;
    const QByteArray jpeg = EncodeJpeg(image, quality);
    if (jpeg.isEmpty())
        return false;
    // QSaveFile writes beside the target and renames over it on commit; on any failure the
    // temporary file is removed and the target is left as it was.
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(jpeg) != jpeg.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

QSize JpegSize(const QByteArray &bytes)
{
    int width = 0;
    int height = 0;
    if (bytes.isEmpty() || !decode(bytes, nullptr, width, height, QSize()))
        return {};
    return QSize(width, height);
}
