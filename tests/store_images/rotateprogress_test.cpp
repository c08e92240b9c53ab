// The quarter turn without a window: how it reports its progress to whoever shows it.

#include "store/images.h"

#include <QImage>
#include <gtest/gtest.h>

namespace {

TEST(RotateBitmap90Progress, BeginsWithTheRowsToTurnAndStepsOncePerRow)
{
    const struct Row
    {
        const char *name;
        QSize size;
        int begun; // calls of begin
        int rows;  // the rows begin was given
        int steps;
    } rows[] = {
        {"3 x 2", QSize(3, 2), 1, 2, 2},
        {"taller than a band of rows", QSize(5, 70), 1, 70, 70},
        {"one row", QSize(9, 1), 1, 1, 1},
        {"empty", QSize(0, 0), 0, 0, 0},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.name);
        QImage image;
        if (!r.size.isEmpty()) {
            image = QImage(r.size, QImage::Format_RGB888);
            image.fill(Qt::white);
        }
        int begun = 0, rowsGiven = 0, steps = 0, stepsBeforeBegin = 0;
        TRowProgress progress;
        progress.begin = [&](int n) {
            ++begun;
            rowsGiven = n;
        };
        progress.step = [&] {
            ++steps;
            if (begun == 0)
                ++stepsBeforeBegin;
        };
        RotateBitmap90(image, progress);
        EXPECT_EQ(begun, r.begun);
        EXPECT_EQ(rowsGiven, r.rows);
        EXPECT_EQ(steps, r.steps);
        EXPECT_EQ(stepsBeforeBegin, 0);
        if (!r.size.isEmpty()) {
            EXPECT_EQ(image.size(), r.size.transposed());
        }
    }
}

TEST(RotateBitmap90Progress, TurnsWithoutAnyoneWatching)
{
    QImage image(4, 3, QImage::Format_RGB888);
    image.fill(Qt::black);
    image.setPixelColor(3, 0, Qt::red); // top right goes to top left
    RotateBitmap90(image, TRowProgress{});
    ASSERT_EQ(image.size(), QSize(3, 4));
    EXPECT_EQ(image.pixelColor(0, 0), QColor(Qt::red));
}

} // namespace
