// Drawing the composed pages to the PDF and in the preview window: the event loop turns between
// pages, another output asked for meanwhile draws nothing, and the preview window takes no
// input and paints nothing while its pages are drawn again, and stops the drawing when closed.

#include "reports/reportform.h"
#include "testsupport/fakereportoutput.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QGraphicsView>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>

namespace {

constexpr int PageTotal = 12;

// Pages of numbered lines under a header with the title: LinesPerPage lines fill a page.
class LinesReport : public TReportForm
{
public:
    static constexpr int LinesPerPage = 50;

    LinesReport()
    {
        SetReportTitle(QStringLiteral("Lines Report"));
        auto *header = AddBand(TBandType::PageHeader, 12);
        header->AddSysData(TSysDataKind::ReportTitle, {0, 0, 190, 10})->SetCentred();
        auto *line = AddSubDetail(5);
        line->AddLabel(QStringLiteral("qrline"), {0, 0, 190, 5})->OnPrint = [this](QString &t) {
            t = QStringLiteral("line %1").arg(m_line);
        };
        line->OnNeedData = [this](bool &more) {
            more = m_line < PageTotal * LinesPerPage;
            if (more)
                ++m_line;
        };
    }

private:
    int m_line = 0;
};

QPrintPreviewDialog *openPreview()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *d = qobject_cast<QPrintPreviewDialog *>(w))
            return d;
    return nullptr;
}

QPrintPreviewWidget *previewWidget(QPrintPreviewDialog *dialog)
{
    return dialog ? dialog->findChild<QPrintPreviewWidget *>() : nullptr;
}

// Runs `during` on the first turn of the event loop while the pages draw and counts the turns
// the drawing lets through.
struct DrawWatch
{
    int turnsWhileDrawing = 0;
    bool acted = false;

    void Start(TReportForm &report, const std::function<void()> &during)
    {
        m_timer.setInterval(0);
        QObject::connect(&m_timer, &QTimer::timeout, [this, &report, during] {
            if (!report.Drawing())
                return;
            ++turnsWhileDrawing;
            if (!acted) {
                acted = true;
                if (during)
                    during();
            }
        });
        m_timer.start();
    }
    void Stop() { m_timer.stop(); }

private:
    QTimer m_timer;
};

class DrawingTest : public ::testing::Test
{
protected:
    QString pdf(const QString &name) const { return m_dir.filePath(name); }

    // Shows the report's preview, with `whenShown` run once it is on the screen (by default it
    // closes it); the preview's page count as last seen.
    int preview(LinesReport &report, const std::function<void(QPrintPreviewDialog *)> &whenShown)
    {
        int pages = -1;
        bool done = false;
        QTimer shown;
        shown.setInterval(5);
        QObject::connect(&shown, &QTimer::timeout, [&] {
            QPrintPreviewDialog *d = openPreview();
            if (!d || !d->isVisible() || report.Drawing())
                return;
            pages = previewWidget(d)->pageCount();
            if (!done) {
                done = true;
                if (whenShown)
                    whenShown(d);
            }
            if (!report.Drawing() && d->isVisible() && (!whenShown || done))
                d->reject();
        });
        shown.start();
        report.Preview();
        shown.stop();
        return pages;
    }

    QTemporaryDir m_dir;
};

// Every output lets the event loop turn between its pages, and one asked for while another
// draws draws nothing: the first still gets every page.
TEST_F(DrawingTest, TheEventLoopTurnsBetweenPagesAndASecondOutputMeanwhileDrawsNothing)
{
    enum class Out
    {
        Pdf,
        Preview,
    };
    struct Case
    {
        const char *name;
        Out outer;
        std::function<bool(LinesReport &, const QString &)> inner; // true: it drew nothing
    };
    const auto pdfRefused = [](LinesReport &r, const QString &file) {
        return !r.ExportPdf(file) && !QFile::exists(file);
    };
    const auto previewRefused = [](LinesReport &r, const QString &) {
        QPrintPreviewDialog *before = openPreview();
        r.Preview(); // returns at once: no second window
        return openPreview() == before;
    };
    const auto paintAgain = [](LinesReport &, const QString &) {
        QPrintPreviewDialog *d = openPreview();
        if (!d)
            return false;
        QPrinter other(QPrinter::HighResolution);
        emit d->paintRequested(&other);
        return true;
    };
    const Case cases[] = {
        {"pdf, then pdf", Out::Pdf, pdfRefused},
        {"pdf, then preview", Out::Pdf, previewRefused},
        {"preview, then pdf", Out::Preview, pdfRefused},
        {"preview, then preview", Out::Preview, previewRefused},
        {"preview, then its paint request", Out::Preview, paintAgain},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        LinesReport report;
        ASSERT_TRUE(report.Prepare());
        ASSERT_EQ(report.PageCount(), PageTotal);
        const QString second = pdf(QStringLiteral("second.pdf"));
        bool innerDrewNothing = false;
        DrawWatch watch;
        watch.Start(report, [&] { innerDrewNothing = c.inner(report, second); });
        int pages = 0;
        if (c.outer == Out::Pdf) {
            const QString file = pdf(QStringLiteral("first.pdf"));
            EXPECT_TRUE(report.ExportPdf(file));
            pages = int(PdfPages(file).size());
        } else {
            pages = preview(report, {});
        }
        watch.Stop();
        EXPECT_GE(watch.turnsWhileDrawing, PageTotal - 1);
        EXPECT_TRUE(watch.acted);
        EXPECT_TRUE(innerDrewNothing);
        EXPECT_EQ(pages, PageTotal);
        EXPECT_FALSE(report.Drawing());
        EXPECT_EQ(openPreview(), nullptr);
        // Once the first is done, the next output draws again.
        EXPECT_TRUE(report.ExportPdf(second));
        EXPECT_EQ(PdfPages(second).size(), PageTotal);
        QFile::remove(second);
    }
}

// The preview asks for its pages again (as its orientation and page setup do) while it shows
// the old ones: while they draw its controls take no click, it paints nothing (the pages it
// showed are freed), a zoom waits; once drawn it shows every page, portrait as before.
TEST_F(DrawingTest, APreviewDrawnAgainTakesNoInputAndPaintsNothingMeanwhile)
{
    LinesReport report;
    bool disabled = false;
    int paintsWhileDrawing = 0;
    bool redrawn = false;
    bool portrait = false;
    QPrintPreviewDialog *dialog = nullptr;
    const int pages = preview(report, [&](QPrintPreviewDialog *d) {
        dialog = d;
        QPrintPreviewWidget *widget = previewWidget(d);
        QWidget *viewport = widget->findChild<QGraphicsView *>()->viewport();
        QAbstractButton *landscape = nullptr;
        for (QAbstractButton *b : d->findChildren<QAbstractButton *>())
            if (b->text().contains(QStringLiteral("Landscape")) ||
                b->toolTip().contains(QStringLiteral("Landscape")))
                landscape = b;
        ASSERT_NE(landscape, nullptr);
        struct Paints : QObject
        {
            TReportForm *form;
            int *count;
            bool eventFilter(QObject *, QEvent *e) override
            {
                if (e->type() == QEvent::Paint && form->Drawing())
                    ++*count;
                return false;
            }
        } paints;
        paints.form = &report;
        paints.count = &paintsWhileDrawing;
        viewport->installEventFilter(&paints);
        DrawWatch watch;
        watch.Start(report, [&] {
            disabled = !d->isEnabled();
            QTest::mouseClick(landscape, Qt::LeftButton);
            widget->zoomIn();
            viewport->repaint();
            QTest::qWait(20);
        });
        widget->updatePreview();
        watch.Stop();
        viewport->removeEventFilter(&paints);
        redrawn = watch.acted;
        portrait = d->printer()->pageLayout().orientation() == QPageLayout::Portrait;
    });
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(redrawn);
    EXPECT_TRUE(disabled);
    EXPECT_EQ(paintsWhileDrawing, 0);
    EXPECT_TRUE(portrait);
    EXPECT_EQ(pages, PageTotal);
}

// Closing the preview while its pages draw ends the drawing at the next page, and the preview.
TEST_F(DrawingTest, ClosingThePreviewWhileItDrawsStopsTheDrawing)
{
    LinesReport report;
    int turnsAfterClose = -1;
    bool closed = false;
    preview(report, [&](QPrintPreviewDialog *d) {
        DrawWatch watch;
        watch.Start(report, [&] {
            d->close();
            closed = !d->isVisible();
        });
        previewWidget(d)->updatePreview();
        watch.Stop();
        turnsAfterClose = watch.turnsWhileDrawing - 1;
    });
    EXPECT_TRUE(closed);
    EXPECT_LE(turnsAfterClose, 1);
    EXPECT_FALSE(report.Drawing());
    EXPECT_EQ(openPreview(), nullptr);
}

} // namespace
