#pragma once
// Still pictures from grabbed frames: FrameToBitmap reads a frame of rows stored bottom row
// first into a top-down image, and WriteJpegFile stores an image as a JPEG through libjpeg.
// Any thread.

#include <QImage>
#include <QString>

// The frame as an image of width x height, or a null image when the buffer is missing or its
// length does not give 1, 2, 3 or 4 bytes per pixel. 3 bytes are blue, green, red; 4 bytes the
// same with one byte unused; 2 bytes RGB 5-5-5; 1 byte grey.
QImage FrameToBitmap(const void *buffer, int length, int frameWidth, int frameHeight);

// Encodes the image at quality 0..100 (out-of-range values give 100) and stores it under the
// file name. The file is written under a temporary name in the same folder and renamed into
// place once complete, so a reader of the file never sees half a picture; an existing file is
// replaced. False, leaving no file behind, when it cannot be written.
bool WriteJpegFile(const QImage &image, const QString &fileName, int quality);
