#include "testsupport/largejpeg.h"

#include <cstdio>
#include <cstdlib>
#include <jpeglib.h>
#include <vector>

QByteArray LargeJpeg(int width, int height, bool progressive)
{
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr jerr{};
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    unsigned char *data = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &data, &size);
    cinfo.image_width = JDIMENSION(width);
    cinfo.image_height = JDIMENSION(height);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 75, TRUE);
    if (progressive)
        jpeg_simple_progression(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<unsigned char> row(std::size_t(width) * 3);
    while (cinfo.next_scanline < cinfo.image_height) {
        const unsigned y = cinfo.next_scanline;
        for (int x = 0; x < width; ++x) {
            row[std::size_t(x) * 3] = static_cast<unsigned char>((x / 64) * 7);
            row[std::size_t(x) * 3 + 1] = static_cast<unsigned char>((y / 64) * 5);
            row[std::size_t(x) * 3 + 2] = 90;
        }
        JSAMPROW p = row.data();
        jpeg_write_scanlines(&cinfo, &p, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    std::free(data);
    return bytes;
}
