// The progress form in a long loop: 1,000,000 steps of `Tpbar` (gauge 0..1,000,000), against
// the same loop setting a bare QProgressBar's value (the least a gauge can cost), measured side
// by side in one run, with the paints each loop caused. A step that changes nothing on screen
// must not paint.
//
// Usage: bench_pgbar [steps]   (default 1000000)

#include "store/pgbar.h"
#include "testsupport/benchsupport.h"
#include "testsupport/paintcounter.h"
#include "testsupport/spin.h"

#include <QProgressBar>

#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace {

template <typename F> double seconds(F &&f)
{
    const auto start = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

int main(int argc, char **argv)
{
    BenchApplication app(argc, argv);
    const int steps = argc > 1 ? std::atoi(argv[1]) : 1000000;
    if (steps <= 0)
        return 2;

    PaintCounter bareCounter;
    QProgressBar bare;
    bare.setFixedSize(418, 22);
    bare.setTextVisible(false);
    bare.setRange(0, steps);
    bare.show();
    SpinFor(200); // the window is exposed, so that it really paints
    bare.installEventFilter(&bareCounter);
    const double bareSeconds = seconds([&] {
        for (int i = 1; i <= steps; ++i)
            bare.setValue(i);
    });

    PaintCounter formCounter;
    double formSeconds = 0;
    {
        Tpbar bar(nullptr, QStringLiteral("Exporting (1000000 members)"), steps);
        SpinFor(200); // the window is exposed, so that it really paints
        bar.Gauge()->installEventFilter(&formCounter);
        formSeconds = seconds([&] {
            for (int i = 0; i < steps; ++i)
                bar.StepIt();
        });
    }

    std::printf("%d steps\n", steps);
    std::printf("bare QProgressBar::setValue: %.3f s (%.3f us a step), %d paints\n", bareSeconds,
                bareSeconds * 1e6 / steps, bareCounter.paints);
    std::printf("Tpbar::StepIt:               %.3f s (%.3f us a step), %d paints\n", formSeconds,
                formSeconds * 1e6 / steps, formCounter.paints);
    std::printf("ratio Tpbar / bare gauge: %.2f\n", formSeconds / bareSeconds);
    return 0;
}
