#pragma once
// Still pictures from grabbed frames: FrameToBitmap reads a frame of rows stored bottom row
// first into a top-down image; WriteJpegFile (the store's JPEG codec) stores it as a JPEG.
// Any thread.

#include "store/jpegcodec.h"

#include <QImage>

// The frame as an image of width x height, or a null image when the buffer is missing or its
// length does not give 1, 2, 3 or 4 bytes per pixel. 3 bytes are blue, green, red; 4 bytes the
// same with one byte unused; 2 bytes RGB 5-5-5; 1 byte grey.
QImage FrameToBitmap(const void *buffer, int length, int frameWidth, int frameHeight);
