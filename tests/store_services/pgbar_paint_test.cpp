// The progress form paints only when what it shows changes.

#include "store/pgbar.h"
#include "testsupport/paintcounter.h"
#include "testsupport/spin.h"

#include <QProgressBar>
#include <gtest/gtest.h>

namespace {

TEST(ProgressForm, PaintsOnlyWhenTheFilledPartGrows)
{
    struct Row
    {
        const char *name;
        int maximum;
        int steps;
    } rows[] = {
        {"many steps to a pixel", 20000, 20000},
        {"fewer steps than pixels", 50, 60},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.name);
        Tpbar bar(nullptr, QStringLiteral("Importing Log Records"), r.maximum);
        SpinFor(100); // shown and exposed
        PaintCounter counter;
        bar.Gauge()->installEventFilter(&counter);
        for (int i = 0; i < r.steps; ++i)
            bar.StepIt();
        EXPECT_EQ(bar.Gauge()->value(), r.maximum);
        const int width = bar.Gauge()->width();
        // It still paints as it goes, even with the event loop standing still...
        EXPECT_GE(counter.paints, std::min(r.maximum, width) / 4);
        // ...but no more than once for each position it can show, plus Qt's own.
        EXPECT_LE(counter.paints, 2 * std::min(r.maximum, width) + 2);
    }
}

// A paint costs about as much as thousands of rows exported: a long loop paints the gauge once
// every few pixels it grows, and the full gauge at the end, however it steps.
TEST(ProgressForm, ALongLoopPaintsOnceEveryFewPixels)
{
    struct Row
    {
        const char *name;
        int maximum;
        int stepBy;
    } rows[] = {
        {"a step a row", 20000, 1},
        {"a batch of rows at a time", 1000000, 2000},
        {"a step a member", 500, 1},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.name);
        Tpbar bar(nullptr, QStringLiteral("Export to text file"), r.maximum);
        SpinFor(100); // shown and exposed
        PaintCounter counter;
        int lastPainted = -1;
        counter.onPaint = [&] { lastPainted = bar.Gauge()->value(); };
        bar.Gauge()->installEventFilter(&counter);
        for (int done = 0; done < r.maximum; done += r.stepBy)
            bar.StepBy(r.stepBy);
        const int width = bar.Gauge()->width();
        EXPECT_LE(counter.paints, width / 2);
        EXPECT_GE(counter.paints, width / 8);
        EXPECT_EQ(lastPainted, r.maximum) << "the full gauge was never painted";
    }
}

} // namespace
