#include "reports/reportoutput.h"

#include "reports/reportform.h"

namespace {

class RealReportOutput final : public ReportOutput
{
public:
    void Run(TReportForm &report, bool preview, QWidget *parent) override
    {
        if (preview)
            report.PreviewModal(parent);
        else
            report.Print(parent);
    }
};

RealReportOutput g_real;
ReportOutput *g_current = nullptr;

} // namespace

ReportOutput *CurrentReportOutput()
{
    return g_current ? g_current : &g_real;
}

ReportOutput *SetReportOutput(ReportOutput *output)
{
    ReportOutput *previous = g_current;
    g_current = output;
    return previous;
}

void RunReport(TReportForm &report, bool preview, QWidget *parent)
{
    CurrentReportOutput()->Run(report, preview, parent);
}
