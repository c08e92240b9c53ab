// The banded engine through real PDFs read back with pdftotext: page breaking, new pages,
// linked bands, the printing order, callbacks once per printed band, the label hook, titles,
// the progress window turning the event loop, and printing without a printer.

#include "reports/reportform.h"
#include "reports/reportoutput.h"
#include "testsupport/fakemessages.h"
#include "testsupport/fakereportoutput.h"
#include "testsupport/tempdata.h"
#include "store/dataset.h"
#include "store/datasrc.h"

#include <QElapsedTimer>
#include <QImage>
#include <QPrinterInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <gtest/gtest.h>

namespace {

// A report of n records: a page header with the title, a footer with the page number, and per
// record a heading band followed by `lines` detail lines.
class PeopleReport : public TReportForm
{
public:
    PeopleReport(int people, int lines) : m_people(people), m_lines(lines)
    {
        SetReportTitle(QStringLiteral("People Report"));
        auto *header = AddBand(TBandType::PageHeader, 12);
        header->AddSysData(TSysDataKind::ReportTitle, {0, 0, 190, 10})->SetCentred();
        auto *footer = AddBand(TBandType::PageFooter, 8);
        footer->AddSysData(TSysDataKind::PageNumber, {150, 1, 40, 6})
            ->SetText(QStringLiteral("P."));
        heading = AddSubDetail(8);
        heading->SetPrintIfEmpty(true); // once per record
        headingLabel = heading->AddLabel(QStringLiteral("qrhead"), {0, 1, 190, 6});
        headingLabel->OnPrint = [this](QString &text) {
            text = QStringLiteral("Person %1").arg(m_person, 3, 10, QChar(u'0'));
            ++headingPrints;
        };
        heading->BeforePrint = [this](bool &) { ++headingBefore; };
        detail = AddSubDetail(5);
        lineLabel = detail->AddLabel(QStringLiteral("qrline"), {0, 0, 190, 5});
        auto *line = lineLabel;
        line->SetFont(ReportFont(QStringLiteral("Courier New"), 9));
        line->OnPrint = [this](QString &text) {
            text = QStringLiteral("line %1.%2").arg(m_person).arg(m_line);
            ++linePrints;
        };
        detail->OnNeedData = [this](bool &more) {
            more = m_line < m_lines;
            if (more)
                ++m_line;
        };
        OnNeedData = [this](bool &more) {
            more = m_person < m_people;
            if (more) {
                ++m_person;
                m_line = 0;
            }
        };
    }

    TReportSubDetail *heading;
    TReportSubDetail *detail;
    TReportLabel *headingLabel;
    TReportLabel *lineLabel;
    int headingPrints = 0;
    int headingBefore = 0;
    int linePrints = 0;

private:
    int m_people;
    int m_lines;
    int m_person = 0;
    int m_line = 0;
};

class EngineTest : public ::testing::Test
{
protected:
    QString pdf(const char *name) const { return m_dir.filePath(QString::fromLatin1(name)); }
    QTemporaryDir m_dir;
};

TEST_F(EngineTest, NewPagePerRecordGivesOneHeadingPerPageInOrderAndNoEmptyPage)
{
    PeopleReport report(200, 2);
    report.heading->SetForceNewPage(true); // the very first band too: no empty first page
    ASSERT_TRUE(report.ExportPdf(pdf("people.pdf")));
    const QStringList pages = PdfPages(pdf("people.pdf"));
    ASSERT_EQ(pages.size(), 200);
    EXPECT_EQ(report.PageCount(), 200);
    for (int i = 0; i < pages.size(); ++i) {
        const QString &page = pages[i];
        const QString heading = QStringLiteral("Person %1").arg(i + 1, 3, 10, QChar(u'0'));
        EXPECT_EQ(page.count(QStringLiteral("Person ")), 1) << "page " << i + 1;
        EXPECT_TRUE(page.contains(heading)) << "page " << i + 1;
        EXPECT_TRUE(page.contains(QStringLiteral("People Report"))) << "page " << i + 1;
        EXPECT_TRUE(page.contains(QStringLiteral("line %1.2").arg(i + 1))) << "page " << i + 1;
        EXPECT_TRUE(page.contains(QStringLiteral("P.%1").arg(i + 1))) << "page " << i + 1;
        // The footer sits below the lines.
        EXPECT_GT(page.indexOf(QStringLiteral("P.%1").arg(i + 1)),
                  page.indexOf(QStringLiteral("line %1.2").arg(i + 1)));
    }
    EXPECT_EQ(report.headingPrints, 200);
    EXPECT_EQ(report.headingBefore, 200);
}

TEST_F(EngineTest, BandsBrokenAcrossPagesRunTheirCallbacksOncePerPrintAndKeepEveryLineInOrder)
{
    PeopleReport report(3, 150); // far more lines than a page holds
    std::vector<QString> hooked;
    const TLabelTextHook previous =
        SetLabelTextHook([&](const TReportLabel &label, const QString &text) {
            if (label.Name() == QStringLiteral("qrline"))
                hooked.push_back(text);
        });
    const bool written = report.ExportPdf(pdf("long.pdf"));
    SetLabelTextHook(previous);
    ASSERT_TRUE(written);
    EXPECT_EQ(report.linePrints, 450);
    EXPECT_EQ(report.headingPrints, 3);
    ASSERT_EQ(hooked.size(), 450u);
    EXPECT_EQ(hooked.front(), QStringLiteral("line 1.1"));
    EXPECT_EQ(hooked[150], QStringLiteral("line 2.1"));
    EXPECT_EQ(hooked.back(), QStringLiteral("line 3.150"));

    const QString text = PdfText(pdf("long.pdf"));
    const QStringList pages = PdfPages(pdf("long.pdf"));
    EXPECT_GT(pages.size(), 3);
    EXPECT_EQ(pages.size(), report.PageCount());
    qsizetype at = 0;
    for (const QString &line : hooked) {
        const QRegularExpression exact(QRegularExpression::escape(line) + QStringLiteral("\\b"));
        const auto match = exact.match(text, at);
        ASSERT_TRUE(match.hasMatch()) << line.toStdString() << " missing or out of order";
        at = match.capturedEnd();
    }
    for (int i = 0; i < pages.size(); ++i)
        EXPECT_TRUE(pages[i].contains(QStringLiteral("P.%1").arg(i + 1))) << "page " << i + 1;
}

TEST_F(EngineTest, LinkedBandMovesToTheNextPageWithTheBandItNames)
{
    // Page body: 297 - 10 - 10 - 12 header - 8 footer = 257 mm. A first person with 49 lines
    // (8 + 245 mm) leaves 4 mm: the next heading (8 mm) would not fit anyway, so give it
    // lines that leave room for the heading but not for its first line.
    PeopleReport report(2, 48); // 8 + 240 = 248 mm used, 9 mm left: heading fits, line not
    report.heading->SetLinkBand(report.detail);
    ASSERT_TRUE(report.ExportPdf(pdf("link.pdf")));
    const QStringList pages = PdfPages(pdf("link.pdf"));
    ASSERT_EQ(pages.size(), 2);
    EXPECT_FALSE(pages[0].contains(QStringLiteral("Person 002")));
    EXPECT_TRUE(pages[1].contains(QStringLiteral("Person 002")));

    PeopleReport unlinked(2, 48);
    ASSERT_TRUE(unlinked.ExportPdf(pdf("unlinked.pdf")));
    EXPECT_TRUE(PdfPages(pdf("unlinked.pdf"))[0].contains(QStringLiteral("Person 002")));
}

// A text wider than its box is never cut: it wraps, widens or shrinks, and its band grows.
TEST_F(EngineTest, LongTextWrapsWidensOrShrinksInsideItsBandAndReachesTheHookWhole)
{
    const QString words = QStringLiteral("Twenty words of a remark that will not fit on one "
                                         "line of a narrow box, so they go on below it");
    struct Case
    {
        const char *name;
        QRectF rect;
        Qt::Alignment alignment;
        bool autoSize, shrink;
        QString text;
        bool wraps;
        double left, right; // every word within, in mm on the page
    } cases[] = {
        {"wraps in its box", {0, 0, 60, 5}, Qt::AlignLeft, false, false, words, true, 10, 70},
        {"auto size widens to the band's edge, then wraps",
         {0, 0, 60, 5},
         Qt::AlignLeft,
         true,
         false,
         words + QLatin1Char(' ') + words,
         true,
         10,
         200},
        {"auto size grows left when right-aligned",
         {130, 0, 60, 5},
         Qt::AlignRight,
         true,
         false,
         words,
         false,
         10,
         200},
        {"a word longer than a line breaks inside",
         {0, 0, 30, 5},
         Qt::AlignLeft,
         false,
         false,
         QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789"),
         true,
         10,
         40},
        {"shrinks to fit", {0, 0, 60, 5}, Qt::AlignLeft, false, true, words, false, 10, 70},
    };
    for (const Case &c : cases) {
        TReportForm report;
        auto *band = report.AddSubDetail(5);
        band->SetPrintIfEmpty(true);
        int bandPrints = 0;
        band->BeforePrint = [&](bool &) { ++bandPrints; };
        auto *label = band->AddLabel(QStringLiteral("long"), c.rect);
        label->SetCaption(c.text);
        label->SetAlignment(c.alignment | Qt::AlignTop);
        label->SetAutoSize(c.autoSize);
        label->SetShrinkToFit(c.shrink);
        QStringList hooked;
        const TLabelTextHook previous =
            SetLabelTextHook([&](const TReportLabel &, const QString &text) { hooked << text; });
        const bool written = report.ExportPdf(pdf("long-text.pdf"));
        SetLabelTextHook(previous);
        ASSERT_TRUE(written) << c.name;
        EXPECT_EQ(bandPrints, 1) << c.name;
        EXPECT_EQ(hooked, QStringList{c.text}) << c.name;

        const TReportPage &page = report.Pages()[0];
        ASSERT_EQ(page.bands.size(), 1u) << c.name;
        int runs = 0;
        for (const TPageItem &item : page.items) {
            if (item.kind != TPageItem::Kind::Text)
                continue;
            ++runs;
            EXPECT_TRUE(page.bands[0].contains(item.rect)) << c.name;
            EXPECT_FALSE(item.flags & Qt::TextWordWrap) << c.name << ": one run a line";
            if (c.shrink) {
                EXPECT_LT(item.font.pointSizeF(), label->Font().pointSizeF()) << c.name;
            }
        }
        EXPECT_EQ(runs > 1, c.wraps) << c.name << ": " << runs << " runs";
        if (c.wraps) {
            EXPECT_GT(page.bands[0].height(), 5) << c.name << ": the band grows with its text";
        }

        const std::vector<PdfWord> read = PdfWords(pdf("long-text.pdf"));
        QString joined;
        double leftmost = 1e9, rightmost = 0;
        for (const PdfWord &w : read) {
            joined += w.text;
            leftmost = std::min(leftmost, w.box.left());
            rightmost = std::max(rightmost, w.box.right());
        }
        EXPECT_EQ(joined, QString(c.text).remove(QLatin1Char(' '))) << c.name;
        EXPECT_GE(leftmost, c.left - 0.05) << c.name;
        EXPECT_LE(rightmost, c.right + 0.05) << c.name;
        if (c.autoSize) { // wider than the box it was given
            EXPECT_GT(rightmost - leftmost, c.rect.width()) << c.name;
        }
        EXPECT_EQ(WordsOutsideTheirBands(report, pdf("long-text.pdf")), QStringList()) << c.name;
    }
}

TEST_F(EngineTest, GrownBandsBreakAcrossPagesWholeWithTheirCallbacksOnce)
{
    PeopleReport report(2, 60);
    // Each line wraps onto three or four: far more than a page holds.
    const auto line = report.lineLabel->OnPrint;
    report.lineLabel->OnPrint = [&](QString &text) {
        line(text);
        text += QStringLiteral(" ends") + QString(QStringLiteral(" filler")).repeated(50);
    };
    std::vector<QString> hooked;
    const TLabelTextHook previous =
        SetLabelTextHook([&](const TReportLabel &label, const QString &text) {
            if (label.Name() == QStringLiteral("qrline"))
                hooked.push_back(text);
        });
    const bool written = report.ExportPdf(pdf("grown.pdf"));
    SetLabelTextHook(previous);
    ASSERT_TRUE(written);
    EXPECT_EQ(report.linePrints, 120);
    EXPECT_EQ(hooked.size(), 120u);
    ASSERT_GT(report.PageCount(), 3);
    const double bodyBottom = report.PageHeight() - 10 - 8; // margin and footer
    for (int p = 0; p < report.PageCount(); ++p) {
        for (const QRectF &band : report.Pages()[size_t(p)].bands) {
            if (band.top() < bodyBottom - 1e-6) { // the footer sits below
                EXPECT_LE(band.bottom(), bodyBottom + 1e-6) << "page " << p + 1;
            }
        }
    }
    EXPECT_EQ(WordsOutsideTheirBands(report, pdf("grown.pdf")), QStringList());
    // Every line's words, first to last, in order across the pages.
    QStringList read;
    for (const PdfWord &w : PdfWords(pdf("grown.pdf")))
        read << w.text;
    const QString all = read.join(QLatin1Char(' '));
    qsizetype at = 0;
    for (const QString &text : hooked) {
        const qsizetype found = all.indexOf(text.simplified(), at);
        ASSERT_GE(found, 0) << text.left(12).toStdString() << " missing or out of order";
        at = found + 1;
    }
}

TEST_F(EngineTest, ABandTallerThanAPageGoesOnOverTheNextPagesCutBetweenItsLines)
{
    PeopleReport report(1, 1);
    report.detail->SetColor(Qt::yellow);
    report.detail->SetFrame(FrameAll);
    QStringList numbered;
    for (int i = 1; i <= 1800; ++i)
        numbered << QStringLiteral("w%1").arg(i, 4, 10, QChar(u'0'));
    const auto line = report.lineLabel->OnPrint;
    report.lineLabel->OnPrint = [&](QString &text) {
        line(text);
        text = numbered.join(QLatin1Char(' ')); // some 110 lines of 3.6 mm
    };
    int hooked = 0;
    const TLabelTextHook previous =
        SetLabelTextHook([&](const TReportLabel &label, const QString &) {
            hooked += label.Name() == QStringLiteral("qrline");
        });
    const bool written = report.ExportPdf(pdf("tall.pdf"));
    SetLabelTextHook(previous);
    ASSERT_TRUE(written);
    EXPECT_EQ(report.linePrints, 1);
    EXPECT_EQ(hooked, 1);
    ASSERT_GE(report.PageCount(), 2);
    EXPECT_EQ(WordsOutsideTheirBands(report, pdf("tall.pdf")), QStringList());
    const double bodyBottom = report.PageHeight() - 10 - 8;
    for (int p = 0; p < report.PageCount(); ++p) {
        for (const TPageItem &item : report.Pages()[size_t(p)].items) {
            if (item.kind != TPageItem::Kind::Text || !item.text.startsWith(QLatin1String("P."))) {
                EXPECT_LE(std::max(item.rect.top(), item.rect.bottom()), bodyBottom + 1e-6)
                    << "page " << p + 1;
            }
        }
    }
    QStringList read;
    for (const PdfWord &w : PdfWords(pdf("tall.pdf")))
        if (w.text.startsWith(QLatin1Char('w')))
            read << w.text;
    EXPECT_EQ(read, numbered);
}

// Printing order: a tree of sub-detail bands, each label telling the hook its band's name.
TEST_F(EngineTest, SubDetailBandsPrintInTheirOrderWithChildrenAfterEachPrintOfTheirMaster)
{
    struct Case
    {
        const char *name;
        bool skipSecondA; // BeforePrint of band A says false the second time
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"all printed", false, {"A1", "B", "A2", "B", "C", "E", "A1", "B", "A2", "B", "C", "E"}},
        {"a skipped print takes its children with it",
         true,
         {"A1", "B", "C", "E", "A1", "B", "C", "E"}},
    };
    for (const Case &c : cases) {
        TReportForm report;
        int records = 0;
        report.OnNeedData = [&](bool &more) { more = records++ < 2; };
        auto *a = report.AddSubDetail(5);
        auto *b = report.AddSubDetail(5, a);
        b->SetPrintIfEmpty(true); // neither dataset nor data request: once per print of A
        auto *cBand = report.AddSubDetail(5);
        cBand->SetPrintIfEmpty(true);
        auto *d = report.AddSubDetail(5); // first answer false: nothing, PrintIfEmpty or not
        d->SetPrintIfEmpty(true);
        d->OnNeedData = [](bool &more) { more = false; };
        auto *e = report.AddSubDetail(5); // not printing when empty and no data request
        e->AddLabel(QStringLiteral("never"), {0, 0, 50, 5});
        auto *e2 = report.AddSubDetail(5);
        e2->SetPrintIfEmpty(true);
        int aCount = 0;
        int aBefore = 0;
        a->OnNeedData = [&](bool &more) {
            more = aCount < 2;
            if (more)
                ++aCount;
            else
                aCount = 0;
        };
        a->BeforePrint = [&](bool &print) {
            ++aBefore;
            if (c.skipSecondA && aCount == 2)
                print = false;
        };
        a->AddLabel(QStringLiteral("A"), {0, 0, 50, 5})->OnPrint = [&](QString &t) {
            t = QStringLiteral("A%1").arg(aCount);
        };
        b->AddLabel(QStringLiteral("B"), {0, 0, 50, 5})->SetCaption(QStringLiteral("B"));
        cBand->AddLabel(QStringLiteral("C"), {0, 0, 50, 5})->SetCaption(QStringLiteral("C"));
        d->AddLabel(QStringLiteral("D"), {0, 0, 50, 5})->SetCaption(QStringLiteral("D"));
        e2->AddLabel(QStringLiteral("E"), {0, 0, 50, 5})->SetCaption(QStringLiteral("E"));
        std::vector<std::string> seen;
        const TLabelTextHook previous = SetLabelTextHook(
            [&](const TReportLabel &, const QString &text) { seen.push_back(text.toStdString()); });
        report.Prepare();
        SetLabelTextHook(previous);
        EXPECT_EQ(seen, c.expected) << c.name;
        EXPECT_EQ(aBefore, 4) << c.name;
    }
}

TEST_F(EngineTest, RefusedReportAndReportOfNoBandWriteNothing)
{
    PeopleReport refused(3, 1);
    refused.BeforePrint = [](bool &print) { print = false; };
    EXPECT_FALSE(refused.ExportPdf(pdf("refused.pdf")));
    EXPECT_FALSE(QFile::exists(pdf("refused.pdf")));
    EXPECT_EQ(refused.headingPrints, 0);

    PeopleReport empty(0, 0);
    EXPECT_FALSE(empty.ExportPdf(pdf("empty.pdf")));
    empty.SetPrintIfEmpty(true);
    PeopleReport emptyShown(0, 0);
    emptyShown.SetPrintIfEmpty(true);
    ASSERT_TRUE(emptyShown.ExportPdf(pdf("emptyshown.pdf")));
    const QStringList pages = PdfPages(pdf("emptyshown.pdf"));
    ASSERT_EQ(pages.size(), 1);
    EXPECT_TRUE(pages[0].contains(QStringLiteral("People Report")));
}

TEST_F(EngineTest, PdfCarriesTheReportTitleAndTheOutputSeamGetsTheReport)
{
    FakeReportOutput output;
    PeopleReport report(1, 1);
    report.SetReportTitle(QStringLiteral("First In Last Out (IN/OUT)"));
    RunReport(report, true);
    ASSERT_EQ(output.Runs().size(), 1u);
    EXPECT_TRUE(output.Runs()[0].preview);
    EXPECT_EQ(output.Runs()[0].title, QStringLiteral("First In Last Out (IN/OUT)"));
    EXPECT_EQ(PdfTitle(output.Runs()[0].pdf), QStringLiteral("First In Last Out (IN/OUT)"));
    EXPECT_TRUE(output.Text(0).contains(QStringLiteral("First In Last Out (IN/OUT)")));
}

TEST_F(EngineTest, ImagesFramesAndDisabledControls)
{
    TReportForm report;
    auto *band = report.AddSubDetail(40);
    band->SetPrintIfEmpty(true);
    QImage picture(120, 160, QImage::Format_RGB32);
    picture.fill(Qt::red);
    auto *image = band->AddImage({0, 0, 30, 40});
    image->SetPicture(picture);
    image->SetStretch(true);
    image->SetFrame(FrameLeft | FrameBottom);
    auto *hidden = band->AddLabel(QStringLiteral("hidden"), {40, 0, 50, 5});
    hidden->SetCaption(QStringLiteral("not printed"));
    hidden->SetEnabled(false);
    band->AddLabel(QStringLiteral("shown"), {40, 10, 50, 5})->SetCaption(QStringLiteral("printed"));
    ASSERT_TRUE(report.ExportPdf(pdf("image.pdf")));
    const QString text = PdfText(pdf("image.pdf"));
    EXPECT_TRUE(text.contains(QStringLiteral("printed")));
    EXPECT_FALSE(text.contains(QStringLiteral("not printed")));
    QProcess images;
    images.start(QStringLiteral("pdfimages"), {QStringLiteral("-list"), pdf("image.pdf")});
    ASSERT_TRUE(images.waitForFinished(60000));
    const QStringList rows =
        QString::fromUtf8(images.readAllStandardOutput()).split(QChar(u'\n'), Qt::SkipEmptyParts);
    EXPECT_EQ(rows.size(), 3); // two heading lines and the one picture
    EXPECT_EQ(report.Pages()[0].items.size(), 2u /* lines */ + 1u /* image */ + 1u /* text */);
}

TEST_F(EngineTest, CompositionLetsTheEventLoopTurnBetweenRecordsUnderTheProgressWindow)
{
    PeopleReport report(3, 1);
    report.SetShowProgress(true);
    report.SetProgressTotal(3);
    bool timerRan = false;
    QTimer::singleShot(0, [&] { timerRan = true; });
    std::vector<bool> seenAtHeading;
    report.headingLabel->OnPrint = [&](QString &text) {
        seenAtHeading.push_back(timerRan);
        text = QStringLiteral("heading");
    };
    ASSERT_TRUE(report.Prepare());
    ASSERT_EQ(seenAtHeading.size(), 3u);
    EXPECT_FALSE(seenAtHeading[0]);
    EXPECT_TRUE(seenAtHeading[1]);
}

// One record of many lines (a person's year) must not hold the event loop until it is done.
TEST_F(EngineTest, CompositionLetsTheEventLoopTurnInsideALongRecord)
{
    PeopleReport report(1, 6);
    bool timerRan = false;
    QTimer::singleShot(0, [&] { timerRan = true; });
    std::vector<bool> seenAtLine;
    report.lineLabel->OnPrint = [&](QString &text) {
        seenAtLine.push_back(timerRan);
        // Each line takes a while, longer than the engine lets pass between turns.
        QElapsedTimer busy;
        busy.start();
        while (busy.nsecsElapsed() < 2000000) {
        }
        text = QStringLiteral("line");
    };
    ASSERT_TRUE(report.Prepare());
    ASSERT_EQ(seenAtLine.size(), 6u);
    EXPECT_FALSE(seenAtLine.front());
    EXPECT_TRUE(seenAtLine.back());
}

TEST_F(EngineTest, PrintWithoutAPrinterSaysSoInAMessageBox)
{
    if (!QPrinterInfo::availablePrinters().isEmpty())
        GTEST_SKIP() << "this machine has a printer";
    FakeMessages messages;
    PeopleReport report(1, 1);
    EXPECT_FALSE(report.Print());
    ASSERT_EQ(messages.Count(), 1);
    EXPECT_EQ(messages.Last().kind, MsgKind::Error);
    EXPECT_EQ(messages.Last().text, QStringLiteral("No printer is available."));
}

// A report bound to a dataset prints each row once and ends, also when a band's callback puts
// the dataset back on its first row or reopens it (as a persons query built again would).
class BoundEngineTest : public TempDataTest
{
};

TEST_F(BoundEngineTest, EveryRowPrintsOnceWhateverTheCallbacksDoWithTheCursor)
{
    dsrc->src.Exec(QStringLiteral(
        "insert into staffs (CARDNO, NAME, WORKGRP) values (21, 'Ann', 1), (22, 'Bob', 1),"
        " (23, 'Cy', 1)"));
    struct Case
    {
        const char *name;
        std::function<void(TDataSet &)> meddle;
    };
    const Case cases[] = {
        {"left alone", [](TDataSet &) {}},
        {"back to the first row", [](TDataSet &ds) { ds.First(); }},
        {"reopened", [](TDataSet &ds) {
             ds.Close();
             ds.Open();
         }},
    };
    for (const Case &c : cases) {
        for (bool subDetail : {false, true}) {
            TDataSet staff(dsrc->src, QStringLiteral("select * from staffs where CARDNO > 20 "
                                                     "order by CARDNO"));
            staff.Open();
            TReportForm report;
            TReportSubDetail *band = report.AddSubDetail(5);
            if (subDetail)
                band->SetDataSet(&staff);
            else
                report.SetDataSet(&staff);
            std::vector<std::string> seen;
            band->SetPrintIfEmpty(true);
            band->AddLabel(QStringLiteral("card"), {0, 0, 50, 5})->OnPrint = [&](QString &t) {
                t = staff.FieldByName(QStringLiteral("CARDNO")).AsString();
                seen.push_back(t.toStdString());
                if (seen.size() > 10)
                    return; // the walk started over: stop meddling so the test ends
                c.meddle(staff);
            };
            ASSERT_TRUE(report.Prepare()) << c.name;
            EXPECT_EQ(seen, (std::vector<std::string>{"21", "22", "23"}))
                << c.name << (subDetail ? " (band)" : " (report)");
        }
    }
}

} // namespace
