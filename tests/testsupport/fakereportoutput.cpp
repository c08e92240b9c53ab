#include "testsupport/fakereportoutput.h"

#include "reports/reportform.h"

#include <QProcess>
#include <QStringList>

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
