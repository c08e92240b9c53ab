#pragma once
// Small pictures for the image tests, and comparing pictures that went through JPEG.

#include "testsupport/largejpeg.h"

#include <QImage>
#include <gtest/gtest.h>

#include <algorithm>

// Red growing to the right, green downwards, blue fixed at 90.
inline QImage gradient(int w, int h)
{
    QImage image(w, h, QImage::Format_RGB888);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y,
                           qRgb(x * 255 / std::max(1, w - 1), y * 255 / std::max(1, h - 1), 90));
    return image;
}

// Within what JPEG's loss allows.
inline void expectClose(QRgb got, QRgb want, int tolerance = 24)
{
    EXPECT_NEAR(qRed(got), qRed(want), tolerance);
    EXPECT_NEAR(qGreen(got), qGreen(want), tolerance);
    EXPECT_NEAR(qBlue(got), qBlue(want), tolerance);
}

