#include "desk/reportcommands.h"

#include "desk/memberworkbook.h"
#include "reports/dlgpersons.h"
#include "reports/dlgstaffs.h"
#include "reports/latescope.h"
#include "reports/memlist.h"
#include "reports/qrlog.h"
#include "reports/qrwho.h"
#include "reports/repfilo.h"
#include "reports/reportoutput.h"
#include "reports/setscope.h"
#include "reports/whoscope.h"
#include "store/dbcopy.h"
#include "store/filedialogs.h"
#include "store/messages.h"
#include "store/pgbar.h"
#include "store/radiogroup.h"
#include "store/waitcursor.h"

#include <QCheckBox>
#include <memory>

// ---- Printouts and member cards -----------------------------------------------------------

void TReportCommands::PrintCards()
{
    QWidget *owner = m_context.Owner();
    TDlgPersons dialog(owner);
    while (!m_context.ClosePending() && m_context.RunDialog(dialog) == QDialog::Accepted) {
        const auto work = m_context.LongWork();
        if (dialog.Choices().Horizontal) {
            TrptMemlist report(owner);
            report.SetShowProgress(true);
            FillMemlistReport(dialog, report, owner);
        } else {
            TrptMemlistv report(owner);
            report.SetShowProgress(true);
            FillMemlistvReport(dialog, report, owner);
        }
    }
}

void TReportCommands::PrintMemberList()
{
    QWidget *owner = m_context.Owner();
    TdlgStaffs dialog(owner);
    while (!m_context.ClosePending() && m_context.RunDialog(dialog) == QDialog::Accepted) {
        const auto work = m_context.LongWork();
        TrptListMem report(owner);
        // A failed persons query has shown its error; the dialog comes back.
        if (!report.OpenStaff(dialog.Scope()))
            continue;
        report.SetShowProgress(true);
        RunReport(report, dialog.cbpreview->isChecked(), owner);
    }
}

// ---- Reports -----------------------------------------------------------------------------------

template <class Dialog, class Prepare, class MakeReport>
void TReportCommands::runScopeReports(const QString &caption, Prepare prepare,
                                      MakeReport makeReport)
{
    if (m_context.Window().CheckLogEmpty())
        return;
    Dialog dialog(m_context.Owner());
    dialog.setWindowTitle(caption);
    prepare(dialog);
    // A close asked for while a report ran happens once it is over, before the dialog is back.
    while (!m_context.ClosePending() && m_context.RunDialog(dialog) == QDialog::Accepted) {
        const auto work = m_context.LongWork();
        const std::unique_ptr<TReportForm> report = makeReport(dialog);
        report->SetShowProgress(true);
        RunReport(*report, dialog.cbpreview->isChecked(), m_context.Owner());
    }
}

namespace {

// A first-in/last-out report with its title; its setup adds the records chosen, as in
// "First In Last Out (IN/OUT)".
std::unique_ptr<Tqrfilo> filoReport(const QString &title, int dayStartHour = 0)
{
    auto report = std::make_unique<Tqrfilo>();
    report->SetDayStartHour(dayStartHour);
    report->SetReportTitle(title);
    return report;
}

} // namespace
void TReportCommands::TotalHoursDetail(const QString &caption)
{
    runScopeReports<TSetScope>(
        caption, [](TSetScope &d) { d.rgrecord->setVisible(false); },
        [](TSetScope &d) {
            TReportScope scope = d.Scope();
            // Only the IN/OUT records pair first in with last out.
            scope.FirstInLastOut = scope.RecordsOfInterest == 2;
            auto report = filoReport(QStringLiteral("Total Hours Detail"));
            report->SetupFromScope(scope);
            return report;
        });
}

void TReportCommands::FirstInLastOut(const QString &caption)
{
    lateScopeReports(caption, QStringLiteral("First In Last Out"), false);
}

void TReportCommands::FirstInLastOutOvernight(const QString &caption)
{
    lateScopeReports(caption, QStringLiteral("First In Last Out (Overnight)"), true);
}

void TReportCommands::lateScopeReports(const QString &caption, const QString &title, bool overnight)
{
    // Overnight, a report day runs from noon to noon, for shifts that cross midnight.
    runScopeReports<TSetLateScope>(
        caption, [overnight](TSetLateScope &d) { d.SetOvernight(overnight); },
        [&title, overnight](TSetLateScope &d) {
            TReportScope scope = d.Scope();
            scope.FirstInLastOut = true;
            auto report = filoReport(title, overnight ? 12 : 0);
            report->SetupFromLateScope(scope, d.Hours());
            return report;
        });
}

void TReportCommands::TwoSessions(const QString &caption)
{
    runScopeReports<TSetnLateScope>(
        caption, [](TSetnLateScope &) {},
        [](TSetnLateScope &d) {
            TReportScope scope = d.Scope();
            scope.FirstInLastOut = true;
            auto report = filoReport(QStringLiteral("2-Session"));
            report->SetupFromTwoSessionScope(scope, d.Hours());
            return report;
        });
}

void TReportCommands::TimeLogs(const QString &caption)
{
    runScopeReports<TSetScope>(
        caption, [](TSetScope &) {},
        [](TSetScope &d) {
            TReportScope scope = d.Scope();
            scope.FirstInLastOut = false;
            auto report = std::make_unique<Tqrlog>();
            report->SetupFromScope(scope);
            return report;
        });
}

void TReportCommands::TotalHours(const QString &caption)
{
    runScopeReports<TSetScope>(
        caption, [](TSetScope &d) { d.rgrecord->setVisible(false); },
        [](TSetScope &d) {
            TReportScope scope = d.Scope();
            scope.FirstInLastOut = true;
            auto report = std::make_unique<Tqrlog>();
            report->SetupFromScope(scope);
            return report;
        });
}

void TReportCommands::DailyIndividual(const QString &caption)
{
    runScopeReports<Twhoscope>(
        caption, [](Twhoscope &d) { d.setWindowTitle(QStringLiteral("Daily Individual")); },
        [](Twhoscope &d) {
            auto report = std::make_unique<Tqrwho>();
            report->SetupFromScope(d.Scope());
            return report;
        });
}

void TReportCommands::WhosInOut(const QString &caption)
{
    runScopeReports<Twhoscope>(
        caption, [](Twhoscope &d) { d.rgrecord->setVisible(false); },
        [](Twhoscope &d) {
            auto report = std::make_unique<Tqrwhos>();
            report->SetupFromScope(d.Scope());
            return report;
        });
}

// ---- Spreadsheet exports ---------------------------------------------------------------------

void TReportCommands::TimeLogsWorkbook(const QString &caption)
{
    runWorkbookCommand({caption, "Time Logs", true, false}, [this](const TReportScope &scope) {
        return ExportWorkbook(scope, false, false, m_context.Window().ExportFileName());
    });
}

void TReportCommands::FirstInLastOutWorkbook(const QString &caption)
{
    runWorkbookCommand(
        {caption, "First In Last Out", false, false}, [this](const TReportScope &scope) {
            return ExportWorkbook(scope, true, false, m_context.Window().ExportFileName());
        });
}

void TReportCommands::InOutPairsWorkbook(const QString &caption)
{
    runWorkbookCommand({caption, "IN OUT pairs", true, true}, [this](const TReportScope &scope) {
        return ExportWorkbook(scope, true, true, m_context.Window().ExportFileName());
    });
}

void TReportCommands::LateEarlyWorkbook(const QString &caption)
{
    runWorkbookCommand(
        {caption, "Late and Early Leave", true, true}, [this](const TReportScope &scope) {
            return ExportLateEarlyWorkbook(scope, m_context.Window().ExportFileName());
        });
}

void TReportCommands::runWorkbookCommand(
    const TWorkbookCommand &command, const std::function<bool(const TReportScope &scope)> &driver)
{
    if (m_context.LongWorkRunning() || m_context.Window().CheckLogEmpty())
        return;
    TSetScope scope(m_context.Owner());
    scope.setWindowTitle(command.caption);
    // Neither printing options nor a time pattern mean anything in a workbook.
    scope.cbenhance->setVisible(false);
    scope.cbpreview->setVisible(false);
    scope.rgformat->setVisible(false);
    scope.rgrecord->setVisible(command.recordsPerLine);
    if (command.inOutOnly) {
        scope.rgscope->SetItemIndex(2);
        scope.rgscope->setVisible(false);
    }
    if (m_context.RunDialog(scope) != TScopeDialog::ResultConfirm)
        return;
    QString fileName = QString::fromLatin1(command.defaultName);
    if (!SelectExcelFile(m_context.Owner(), fileName) || !NotAProgramFile(fileName))
        return;
    m_context.Window().SetExportFileName(fileName);
    const auto work = m_context.LongWork();
    if (driver(scope.Scope()))
        ShowCompleted();
}

bool TReportCommands::ExportWorkbook(const TReportScope &scope, bool pairColumns, bool pairs,
                                     const QString &path)
{
    return exportMemberWorkbook(scope,
                                !pairColumns ? TWorkbookKind::TimeLogs
                                : pairs      ? TWorkbookKind::InOutPairs
                                             : TWorkbookKind::FirstInLastOut,
                                path);
}

bool TReportCommands::ExportLateEarlyWorkbook(const TReportScope &scope, const QString &path)
{
    return exportMemberWorkbook(scope, TWorkbookKind::LateEarly, path);
}

bool TReportCommands::exportMemberWorkbook(const TReportScope &scope, TWorkbookKind kind,
                                           const QString &path)
{
    if (m_context.Window().CheckLogEmpty())
        return false;
    QWidget *owner = m_context.Owner();
    TMemberWorkbookExport exporter(kind, scope);
    std::unique_ptr<Tpbar> bar;
    exporter.SetOnStart([owner, &bar](int members) {
        bar = std::make_unique<Tpbar>(owner,
                                      QStringLiteral("Exporting (") + QString::number(members) +
                                          QStringLiteral(" members)"),
                                      members);
    });
    exporter.SetOnMember([&bar](const QString &name) {
        bar->StepIt();
        bar->setWindowTitle(QStringLiteral("Exporting: ") + name);
    });
    TMemberWorkbookExport::Outcome outcome;
    {
        TWaitCursor wait;
        outcome = exporter.Run(path);
        bar.reset();
    }
    switch (outcome) {
    case TMemberWorkbookExport::Outcome::Completed:
        return true;
    case TMemberWorkbookExport::Outcome::NoMembers:
        break; // said already
    case TMemberWorkbookExport::Outcome::SheetRefused:
        ShowError(exporter.ErrorText());
        break;
    case TMemberWorkbookExport::Outcome::SheetFull:
        ShowUpdateFailed();
        break;
    case TMemberWorkbookExport::Outcome::CannotReplace:
        ShowError(QStringLiteral("File is in use by other application: ") + path);
        break;
    case TMemberWorkbookExport::Outcome::CannotOpen:
        ShowError(QStringLiteral("Cannot open file: ") + path);
        break;
    }
    return false;
}
