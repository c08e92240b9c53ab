#pragma once
// Test stand-in for the report output: installs itself for its lifetime and, instead of a
// preview window or a printer, writes each report it is given to a PDF of its own folder,
// keeping the title, whether a preview was asked for and the file. `PdfText` reads a PDF back
// with pdftotext (layout kept). Main thread only.

#include "reports/reportoutput.h"

#include <QRectF>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <vector>

class TReportForm;

struct RunReportRecord
{
    QString title;
    bool preview = false;
    int pages = 0;
    QString pdf; // empty when the report printed nothing
};

class FakeReportOutput final : public ReportOutput
{
public:
    FakeReportOutput();
    ~FakeReportOutput() override;
    FakeReportOutput(const FakeReportOutput &) = delete;
    FakeReportOutput &operator=(const FakeReportOutput &) = delete;

    void Run(TReportForm &report, bool preview, QWidget *parent) override;

    const std::vector<RunReportRecord> &Runs() const { return m_runs; }
    // The text of the n-th report's PDF ("" when it wrote none).
    QString Text(int n) const;

private:
    ReportOutput *m_previous;
    QTemporaryDir m_dir;
    std::vector<RunReportRecord> m_runs;
};

// pdftotext -layout of the file; "" when it cannot be read. The title (from pdfinfo) when asked.
QString PdfText(const QString &pdf);
QString PdfTitle(const QString &pdf);
// Pages of the file as pdftotext separates them (form feeds).
QStringList PdfPages(const QString &pdf);

// One printed word as pdftotext -bbox places it: its page (from 0) and box, in mm from the
// page's top-left corner. Clipped text still counts whole, so these show what a clip cuts off.
struct PdfWord
{
    int page = 0;
    QString text;
    QRectF box;
};
std::vector<PdfWord> PdfWords(const QString &pdf);

// The words of the report's PDF that do not lie wholly inside the page's printable area and
// inside the band printed where they are, each with its box; empty when every word does.
QStringList WordsOutsideTheirBands(const TReportForm &report, const QString &pdf);
