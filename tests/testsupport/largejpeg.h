#pragma once
// A JPEG of any size for the picture tests, encoded a row at a time so that the test never
// holds the picture itself: soft bands of colour, the way a large scan of a card compresses.
// Progressive files make libjpeg keep every coefficient of the picture, baseline ones only a
// row of blocks. Any thread.

#include <QByteArray>

QByteArray LargeJpeg(int width, int height, bool progressive = false);
