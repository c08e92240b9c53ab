#include "desk/erasecommands.h"

#include "desk/delrecs.h"
#include "desk/loggridmodel.h"
#include "store/clock.h"
#include "store/datasrc.h"
#include "store/dbschema.h"
#include "store/messages.h"
#include "store/pgbar.h"

#include <QDialog>
#include <optional>

void TEraseCommands::DeleteRecord()
{
    TTimeRec &window = m_context.Window();
    if (m_context.LongWorkRunning())
        return;
    TDataSet &logs = dsrc->logs;
    if (!logs.Active() || logs.IsEmpty()) {
        ShowInfo(QStringLiteral("No record to delete."));
        return;
    }
    if (!AskConfirm(QStringLiteral("Are you sure to delete this record.")))
        return;
    const int row = window.CurrentLogRow();
    if (row >= 0 && row != logs.RecNo())
        logs.MoveTo(row);
    RemoveSnapshotFile(logs.FieldByName(Schema::Recorder::CardNo).AsInteger(),
                       logs.FieldByName(Schema::Recorder::SysTime).AsDateTime());
    logs.Delete();
    window.ShowLogGrid(true);
    window.ShowRowImages(window.CurrentLogRow());
}

void TEraseCommands::EraseLog()
{
    TTimeRec &window = m_context.Window();
    if (m_context.LongWorkRunning())
        return;
    TRecDel dialog(m_context.Owner());
    dialog.SetDate(Now().date());
    if (m_context.RunDialog(dialog) != QDialog::Accepted)
        return;
    if (!AskYesNo(MsgKind::Warning,
                  QStringLiteral("This action will erase the attendance records. Are you sure?")))
        return;
    const std::optional<QDate> before =
        dialog.EraseAll() ? std::nullopt : std::optional<QDate>(dialog.Date());

    TDataSet &logs = dsrc->logs;
    bool kept = false;
    const auto work = m_context.LongWork();
    TLogGridScope grid(window);
    {
        Tpbar bar(m_context.Owner(), QStringLiteral("Erasing Attendance Record"),
                  logs.RecordCount());
        window.HideImages();
        kept = EraseLogRecords(logs, before, [&bar] { bar.StepIt(); });
        window.ShowRecordCount();
        if (kept) {
            const int card = logs.FieldByName(Schema::Recorder::CardNo).AsInteger();
            window.ShowStaffPhoto(card);
            window.ShowCapturedImage(card,
                                     logs.FieldByName(Schema::Recorder::SysTime).AsDateTime());
        }
    }
}

void TEraseCommands::EraseStaff()
{
    if (m_context.LongWorkRunning())
        return;
    if (!AskYesNo(MsgKind::Warning,
                  QStringLiteral(
                      "This action will erase all card associated information. Are you sure?")))
        return;
    const auto work = m_context.LongWork();
    TTimeRec &window = m_context.Window();
    TLogGridScope grid(window);
    window.HideImages();
    {
        Tpbar bar(m_context.Owner(), QStringLiteral("Erasing Database"), dsrc->staff.RecordCount());
        EraseStaffRecords(dsrc->staff, [&bar] { bar.StepIt(); });
    }
}
