#include "capture/snapshot.h"

#include <cstring>

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
