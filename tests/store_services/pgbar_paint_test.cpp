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

} // namespace
