#include "store/imagerotate.h"

#include "store/images.h"
#include "store/pgbar.h"

#include <memory>

void RotateBitmap90(QWidget *owner, QImage &bitmap)
{
    // The form goes up only when there is something to turn, and stays until the turned
    // picture is in place.
    std::unique_ptr<Tpbar> bar;
    TRowProgress progress;
    progress.begin = [&](int rows) {
        bar = std::make_unique<Tpbar>(owner, QStringLiteral("Rotating"), rows - 1);
    };
    progress.step = [&] { bar->StepIt(); };
    RotateBitmap90(bitmap, progress);
}
