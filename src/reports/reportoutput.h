#pragma once
// Where a command's report goes: the preview window or the printer by default. Tests install
// their own output (it writes each report to a PDF and keeps its title), so commands never
// show a real preview or reach a real printer there. Main thread only.

class QWidget;
class TReportForm;

class ReportOutput
{
public:
    virtual ~ReportOutput() = default;
    // Shows the report in the preview window (preview) or prints it.
    virtual void Run(TReportForm &report, bool preview, QWidget *parent) = 0;
};

// The output in use now (the real one unless one was installed).
ReportOutput *CurrentReportOutput();
// Installs the output (nullptr: the real one) and returns the one it replaces, nullptr when
// that was the real one.
ReportOutput *SetReportOutput(ReportOutput *output);

// Runs the report through the current output: the commands' single way out.
void RunReport(TReportForm &report, bool preview, QWidget *parent = nullptr);
