#include "testsupport/fakereportoutput.h"

#include "reports/reportform.h"

#include <QProcess>
#include <QRegularExpression>
#include <QStringList>
#include <QTextDocumentFragment>

FakeReportOutput::FakeReportOutput() : m_previous(SetReportOutput(this)) {}

FakeReportOutput::~FakeReportOutput()
{
    SetReportOutput(m_previous);
}

void FakeReportOutput::Run(TReportForm &report, bool preview, QWidget *)
{
    RunReportRecord record;
    record.preview = preview;
    const QString file = m_dir.filePath(QStringLiteral("report-%1.pdf").arg(m_runs.size() + 1));
    if (report.ExportPdf(file))
        record.pdf = file;
    record.title = report.ReportTitle();
    record.pages = report.PageCount();
    m_runs.push_back(record);
}

QString FakeReportOutput::Text(int n) const
{
    if (n < 0 || n >= int(m_runs.size()) || m_runs[size_t(n)].pdf.isEmpty())
        return QString();
    return PdfText(m_runs[size_t(n)].pdf);
}

namespace {

QString run(const QString &program, const QStringList &args)
{
    QProcess process;
    process.start(program, args);
    if (!process.waitForFinished(60000) || process.exitCode() != 0)
        return QString();
    return QString::fromUtf8(process.readAllStandardOutput());
}

} // namespace

QString PdfText(const QString &pdf)
{
    return run(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
}

QStringList PdfPages(const QString &pdf)
{
    QStringList pages = PdfText(pdf).split(QChar(u'\f'));
    // pdftotext ends the last page with a form feed too.
    if (!pages.isEmpty() && pages.last().trimmed().isEmpty())
        pages.removeLast();
    return pages;
}

QString PdfTitle(const QString &pdf)
{
    const QStringList lines = run(QStringLiteral("pdfinfo"), {pdf}).split(QChar(u'\n'));
    for (const QString &line : lines) {
        if (line.startsWith(QStringLiteral("Title:")))
            return line.mid(6).trimmed();
    }
    return QString();
}

std::vector<PdfWord> PdfWords(const QString &pdf)
{
    static const QRegularExpression tag(QStringLiteral(
        R"re(<page width="([\d.]+)"|<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" )re"
        R"re(yMax="([\d.]+)">([^<]*)</word>)re"));
    constexpr double mmPerPoint = 25.4 / 72.0;
    std::vector<PdfWord> words;
    int page = -1;
    const QString xhtml =
        run(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), pdf, QStringLiteral("-")});
    for (auto it = tag.globalMatch(xhtml); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        if (m.capturedLength(1) > 0) {
            ++page;
            continue;
        }
        const auto at = [&](int n) { return m.captured(n).toDouble() * mmPerPoint; };
        words.push_back({page, QTextDocumentFragment::fromHtml(m.captured(6)).toPlainText(),
                         QRectF(QPointF(at(2), at(3)), QPointF(at(4), at(5)))});
    }
    return words;
}

QStringList WordsOutsideTheirBands(const TReportForm &report, const QString &pdf)
{
    // pdftotext rounds its boxes; a glyph cut in half is far more than this.
    constexpr double slack = 0.05;
    const QMarginsF m = report.Margins();
    const QRectF printable = QRectF(0, 0, report.PageWidth(), report.PageHeight())
                                 .marginsRemoved(m)
                                 .adjusted(-slack, -slack, slack, slack);
    const auto box = [](const PdfWord &w) {
        return QStringLiteral("p%1 \"%2\" (%3, %4)-(%5, %6) mm")
            .arg(w.page + 1)
            .arg(w.text)
            .arg(w.box.left(), 0, 'f', 2)
            .arg(w.box.top(), 0, 'f', 2)
            .arg(w.box.right(), 0, 'f', 2)
            .arg(w.box.bottom(), 0, 'f', 2);
    };
    QStringList outside;
    const std::vector<PdfWord> words = PdfWords(pdf);
    if (words.empty())
        outside << QStringLiteral("no word read from ") + pdf;
    for (const PdfWord &w : words) {
        if (w.page >= report.PageCount()) {
            outside << box(w) + QStringLiteral(": page not composed");
            continue;
        }
        if (!printable.contains(w.box)) {
            outside << box(w) + QStringLiteral(": outside the printable area");
            continue;
        }
        // The band the word starts in must hold all of it.
        const QPointF start = w.box.topLeft() + QPointF(slack, slack);
        bool inside = false;
        for (const QRectF &band : report.Pages()[size_t(w.page)].bands) {
            if (band.contains(start) &&
                band.adjusted(-slack, -slack, slack, slack).contains(w.box)) {
                inside = true;
                break;
            }
        }
        if (!inside)
            outside << box(w) + QStringLiteral(": past its band");
    }
    return outside;
}
