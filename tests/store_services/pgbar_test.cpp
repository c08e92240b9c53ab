#include "store/pgbar.h"

#include <QGuiApplication>
#include <QProgressBar>
#include <QScreen>
#include <climits>
#include <gtest/gtest.h>
#include <memory>

namespace {

TEST(ProgressForm, ShownAtOnceAsACentredToolWindow)
{
    QWidget owner;
    auto bar = std::make_unique<Tpbar>(&owner, QStringLiteral("Importing Log Records"), 10);
    EXPECT_TRUE(bar->isVisible());
    EXPECT_TRUE(bar->isWindow());
    EXPECT_FALSE(bar->isModal());
    EXPECT_EQ(bar->windowTitle(), QStringLiteral("Importing Log Records"));
    EXPECT_EQ(bar->windowType(), Qt::Tool);
    EXPECT_FALSE(bar->windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(bar->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(bar->size(), QSize(418, 22));
    ASSERT_NE(bar->Gauge(), nullptr);
    EXPECT_EQ(bar->Gauge()->objectName(), QStringLiteral("ProgressBar1"));
    EXPECT_EQ(bar->Gauge()->orientation(), Qt::Horizontal);
    EXPECT_EQ(bar->Gauge()->geometry(), bar->rect()); // the gauge fills the client area
    if (QScreen *screen = QGuiApplication::primaryScreen()) {
        const QPoint centre = screen->availableGeometry().center();
        EXPECT_LE((bar->frameGeometry().center() - centre).manhattanLength(), 2)
            << bar->frameGeometry().center().x() << "," << bar->frameGeometry().center().y()
            << " vs " << centre.x() << "," << centre.y();
    }
    bar.reset(); // freed by its loop
}

TEST(ProgressForm, StepsUpToAFullGaugeAndNoFurther)
{
    Tpbar bar(nullptr, QStringLiteral("Exporting (3 members)"), 3);
    QProgressBar *gauge = bar.Gauge();
    EXPECT_EQ(gauge->minimum(), 0);
    EXPECT_EQ(gauge->maximum(), 3);
    EXPECT_EQ(gauge->value(), 0);
    for (int i = 1; i <= 5; ++i) {
        bar.StepIt();
        EXPECT_EQ(gauge->value(), std::min(i, 3)) << i;
    }
    EXPECT_EQ(bar.Position(), 5);

    bar.SetMaximum(100); // back to an empty gauge over the new range
    EXPECT_EQ(gauge->maximum(), 100);
    EXPECT_EQ(gauge->value(), 0);
    bar.StepIt();
    EXPECT_EQ(gauge->value(), 1);
}

TEST(ProgressForm, StepsByABatchAtOnce)
{
    Tpbar bar(nullptr, QStringLiteral("Export to text file (10 records)"), 10);
    QProgressBar *gauge = bar.Gauge();
    bar.StepBy(4);
    EXPECT_EQ(gauge->value(), 4);
    bar.StepBy(0);
    bar.StepBy(-3); // nothing to count
    EXPECT_EQ(bar.Position(), 4);
    bar.StepBy(INT_MAX);
    EXPECT_EQ(bar.Position(), INT_MAX) << "no overflow";
    EXPECT_EQ(gauge->value(), 10);
}

TEST(ProgressForm, ZeroMaximumShowsAnEmptyGaugeNotABusyOne)
{
    Tpbar bar(nullptr, QStringLiteral("Rotating"), 0);
    QProgressBar *gauge = bar.Gauge();
    // A 0..0 range would animate as "busy"; an empty loop shows an empty gauge.
    EXPECT_GT(gauge->maximum(), gauge->minimum());
    EXPECT_EQ(gauge->value(), gauge->minimum());
    bar.StepIt();
    EXPECT_EQ(gauge->value(), gauge->maximum());

    bar.SetMaximum(-5);
    EXPECT_EQ(bar.Maximum(), 0);
    EXPECT_EQ(gauge->value(), gauge->minimum());
}

} // namespace
