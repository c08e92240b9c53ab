#pragma once
// TReportCommands: the printouts, the scope reports and the spreadsheets of the main window.
// The card and member-list printouts, the scope reports (their scope dialog comes back after
// each report until it is cancelled) and the per-member workbooks, each run as long work.
// Main thread only.

#include "desk/commandcontext.h"

#include <QString>
#include <functional>

class QAction;
struct TReportScope;
enum class TWorkbookKind;

class TReportCommands
{
public:
    explicit TReportCommands(const TCommandContext &context) : m_context(context) {}

    // "Print Cards" and "Print Member List"; no log check.
    void PrintCards();
    void PrintMemberList();

    // The scope reports, their dialogs captioned as the command.
    void TotalHoursDetail(const QString &caption);
    void FirstInLastOut(const QString &caption);
    void FirstInLastOutOvernight(const QString &caption);
    void TwoSessions(const QString &caption);
    void TimeLogs(const QString &caption);
    void TotalHours(const QString &caption);
    void DailyIndividual(const QString &caption);
    void WhosInOut(const QString &caption);

    // The spreadsheet commands: the raw times, the first IN and last OUT, the IN/OUT pairs,
    // the pairs against the time table.
    void TimeLogsWorkbook(const QString &caption);
    void FirstInLastOutWorkbook(const QString &caption);
    void InOutPairsWorkbook(const QString &caption);
    void LateEarlyWorkbook(const QString &caption);

    // The workbook of the scope to path: (false, false) the raw times, (true, false) first IN /
    // last OUT, (true, true) the IN/OUT pairs; or the late and early workbook. True when every
    // member was written and the workbook is in place; otherwise the reason was shown.
    bool ExportWorkbook(const TReportScope &scope, bool pairColumns, bool pairs,
                        const QString &path);
    bool ExportLateEarlyWorkbook(const TReportScope &scope, const QString &path);

private:
    // The scope reports' loop: "No record." on an empty log; else a `Dialog` captioned as the
    // command and changed by `prepare(dialog)` comes back after each report until it is
    // cancelled or the window is to close; each Confirm makes a report with
    // `makeReport(dialog)` and previews or prints it as the dialog says.
    template <class Dialog, class Prepare, class MakeReport>
    void runScopeReports(const QString &caption, Prepare prepare, MakeReport makeReport);
    // "First In Last Out" on the lateness dialog; overnight, its report day runs from noon.
    void lateScopeReports(const QString &caption, const QString &title, bool overnight);

    // A spreadsheet command: the scope dialog as the command shows it, the save dialog, then
    // the driver under long work.
    struct TWorkbookCommand
    {
        const QString &caption;
        const char *defaultName;
        bool recordsPerLine; // "Records per line" shown
        bool inOutOnly;      // records of interest fixed to IN/OUT and hidden
    };
    void runWorkbookCommand(const TWorkbookCommand &command,
                            const std::function<bool(const TReportScope &scope)> &driver);
    bool exportMemberWorkbook(const TReportScope &scope, TWorkbookKind kind, const QString &path);

    TCommandContext m_context;
};
