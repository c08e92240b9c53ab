// Photos and file copies, each against the least the same work can cost, measured side by side
// (alternating) in one run:
// 1. Loading a 4000 x 3000 JPEG, resizing it to the stored photo size and encoding it for the
//    photo field, against the bare libjpeg decode of the same file. Target: at most 1.5 x.
// 2. RotateBitmap90 of a 4000 x 3000 picture with its progress form, against
//    QImage::transformed. Target: at most 3 x.
// 3. CopyFileSafe of a 100 MB file, against a plain copy loop with fsync. Target: at most 1.5 x.
//
// Usage: bench_store_images [rounds]   (default 5)

#include "store/filecopy.h"
#include "store/imagerotate.h"
#include "store/images.h"
#include "store/jpegcodec.h"
#include "testsupport/benchsupport.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTransform>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <unistd.h>
#include <vector>

#include <jpeglib.h>

namespace {

// A camera-like picture: smooth light with fine detail, so the JPEG is of a usual size.
QImage scene(int w, int h)
{
    QImage image(w, h, QImage::Format_RGB888);
    quint32 noise = 12345;
    for (int y = 0; y < h; ++y) {
        uchar *p = image.scanLine(y);
        for (int x = 0; x < w; ++x) {
            noise = noise * 1664525u + 1013904223u;
            const int n = int(noise >> 28);
            *p++ = uchar((x * 255 / w + n) & 255);
            *p++ = uchar((y * 255 / h + n) & 255);
            *p++ = uchar(((x + y) * 128 / (w + h) + 64 + n) & 255);
        }
    }
    return image;
}

// libjpeg alone: the file read into memory and decoded row by row into one buffer.
size_t bareDecode(const QString &fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray bytes = file.readAll();
    jpeg_decompress_struct cinfo{};
    jpeg_error_mgr jerr{};
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char *>(bytes.constData()),
                 static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&cinfo, TRUE);
    cinfo.out_color_space = JCS_RGB;
    jpeg_start_decompress(&cinfo);
    const size_t stride = size_t(cinfo.output_width) * 3;
    std::vector<unsigned char> pixels(stride * cinfo.output_height);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = pixels.data() + stride * cinfo.output_scanline;
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return pixels.size();
}

bool plainCopyWithFsync(const QString &source, const QString &target)
{
    const int in = ::open(QFile::encodeName(source).constData(), O_RDONLY);
    const int out =
        ::open(QFile::encodeName(target).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<char> buffer(size_t(1) << 20);
    bool ok = in >= 0 && out >= 0;
    while (ok) {
        const ssize_t n = ::read(in, buffer.data(), buffer.size());
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        ok = ::write(out, buffer.data(), size_t(n)) == n;
    }
    ok = ok && ::fsync(out) == 0;
    if (in >= 0)
        ::close(in);
    if (out >= 0)
        ::close(out);
    return ok;
}

} // namespace

int main(int argc, char **argv)
{
    BenchApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    QTemporaryDir dir;

    const QImage big = scene(4000, 3000);
    const QString jpegFile = dir.filePath(QStringLiteral("camera.jpg"));
    if (!WriteJpegFile(big, jpegFile, 90)) {
        std::fprintf(stderr, "cannot write the test JPEG\n");
        return 2;
    }
    std::printf("4000 x 3000 JPEG of %lld bytes\n", QFile(jpegFile).size());
    std::vector<double> load, decode;
    for (int i = 0; i < rounds; ++i) {
        decode.push_back(MsOf([&] { bareDecode(jpegFile); }));
        load.push_back(MsOf([&] {
            QImage photo;
            LoadJpegFileScaled(0, 0, photo, jpegFile);
            ResizeBitmap(photo, PhotoWidth, PhotoHeight);
            if (EncodeJpeg(photo).isEmpty())
                std::fprintf(stderr, "photo not encoded\n");
        }));
    }
    PrintRatio("load, resize to 240 x 320 and encode", "bare libjpeg decode", load, decode, 1.5);

    std::vector<double> rotate, transformed;
    for (int i = 0; i < rounds; ++i) {
        transformed.push_back(MsOf([&] {
            const QImage turned = big.transformed(QTransform().rotate(-90));
            if (turned.width() != 3000)
                std::fprintf(stderr, "not turned\n");
        }));
        rotate.push_back(MsOf([&] {
            QImage turned = big;
            RotateBitmap90(nullptr, turned);
        }));
    }
    PrintRatio("RotateBitmap90 with its progress form", "QImage::transformed", rotate, transformed,
           3.0);

    const QString source = dir.filePath(QStringLiteral("attend.db"));
    {
        QFile f(source);
        f.open(QIODevice::WriteOnly);
        QByteArray chunk(1 << 20, '\0');
        for (int i = 0; i < chunk.size(); ++i)
            chunk[i] = char(i * 7);
        for (int i = 0; i < 100; ++i)
            f.write(chunk);
    }
    std::vector<double> safe, plain;
    const QString safeTarget = dir.filePath(QStringLiteral("backup_attend.db"));
    const QString plainTarget = dir.filePath(QStringLiteral("plain.db"));
    for (int i = 0; i < rounds; ++i) {
        plain.push_back(MsOf([&] { plainCopyWithFsync(source, plainTarget); }));
        safe.push_back(MsOf([&] { CopyFileSafe(source, safeTarget); }));
    }
    PrintRatio("CopyFileSafe of 100 MB", "plain copy with fsync", safe, plain, 1.5);
    return 0;
}
