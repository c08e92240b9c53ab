#include "desk/logexportcommands.h"

#include "desk/logexport.h"
#include "store/datasrc.h"
#include "store/dbcopy.h"
#include "store/filedialogs.h"
#include "store/messages.h"
#include "store/pgbar.h"
#include "store/waitcursor.h"

#include <QCoreApplication>

namespace {

// One export of the log under the progress form and the hourglass: the gauge steps and the
// event loop turns between batches, so swipes are answered meanwhile; the database commands
// and the window's close wait until it is over.
TLogExport::Outcome runLogExport(const TCommandContext &context, const QString &what,
                                 TLogExport::Outcome (TLogExport::*run)(const QString &),
                                 const QString &fileName)
{
    const auto work = context.LongWork();
    TLogExport exporter(dsrc->att, dsrc->src);
    TWaitCursor wait;
    const int count = exporter.RecordCount();
    Tpbar bar(context.Owner(),
              what + QStringLiteral(" (") + QString::number(count) + QStringLiteral(" records)"),
              count);
    exporter.SetStep([&bar](int rows) { bar.StepBy(rows); });
    exporter.SetBetweenBatches([] { QCoreApplication::processEvents(); });
    QCoreApplication::processEvents();
    return (exporter.*run)(fileName);
}

} // namespace

void TLogExportCommands::ExportText()
{
    if (m_context.LongWorkRunning() || m_context.Window().CheckLogEmpty())
        return;
    QString fileName = QStringLiteral("log");
    if (!SelectTextFile(m_context.Owner(), fileName) || !NotAProgramFile(fileName))
        return;
    if (runLogExport(m_context, QStringLiteral("Export to text file"), &TLogExport::ExportText,
                     fileName) == TLogExport::Outcome::Completed)
        ShowCompleted();
    else
        ShowError(QStringLiteral("File locked and cannot be used for exporting."));
}

void TLogExportCommands::ExportExcel()
{
    if (m_context.LongWorkRunning() || m_context.Window().CheckLogEmpty())
        return;
    QString fileName = QStringLiteral("log");
    if (!SelectExcelFile(m_context.Owner(), fileName) || !NotAProgramFile(fileName))
        return;
    switch (runLogExport(m_context, QStringLiteral("Export to EXCEL file"),
                         &TLogExport::ExportWorkbook, fileName)) {
    case TLogExport::Outcome::Completed:
        ShowCompleted();
        break;
    case TLogExport::Outcome::CannotOpen:
        ShowError(QStringLiteral("Cannot open file: ") + fileName);
        break;
    case TLogExport::Outcome::RowRefused:
        ShowUpdateFailed();
        break;
    default:
        ShowError(QStringLiteral("Cannot replace file: ") + fileName);
        break;
    }
}
