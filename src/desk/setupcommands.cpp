#include "desk/setupcommands.h"

#include "desk/about.h"
#include "desk/autoio.h"
#include "desk/cardinfo.h"
#include "desk/deskcore.h"
#include "desk/emailqueue.h"
#include "desk/emailset.h"
#include "desk/grplist.h"
#include "desk/login.h"
#include "desk/passwd.h"
#include "desk/passwdnew.h"
#include "desk/speech.h"
#include "desk/timetbl.h"
#include "readerlink/dlgdoor.h"
#include "readerlink/reader.h"
#include "readerlink/upload.h"
#include "store/clock.h"
#include "store/datasrc.h"
#include "store/messages.h"
#include "store/passwd.h"
#include "store/settingkeys.h"
#include "store/settings.h"

#include <QApplication>
#include <exception>

void TSetupCommands::SetUpSpeech()
{
    TDlgSpeech dialog(m_context.Owner());
    m_context.RunDialog(dialog);
}

void TSetupCommands::SetUpEmail()
{
    TSetEmail dialog(m_context.Owner());
    if (m_context.RunDialog(dialog) == QDialog::Accepted)
        m_context.Window().EmailQueue()->ApplySettings();
}

void TSetupCommands::EditCards()
{
    TTimeRec &window = m_context.Window();
    TLogGridScope grid(window);
    window.HideImages();
    TCardInfo dialog(m_context.Owner(), m_context.Dialogs().HandDown());
    dialog.FormCreate();
    if (m_context.RunDialog(dialog) == TCardInfo::ChangedResult) {
        // The editor wrote through the shared staff dataset; reopen it on the new rows.
        dsrc->staff.Close();
        dsrc->staff.Open();
    }
}

void TSetupCommands::DefineGroups()
{
    TDlgGrpList dialog(m_context.Owner());
    dialog.SetDialogRunner(m_context.Dialogs().HandDown());
    m_context.RunDialog(dialog);
}

void TSetupCommands::SetUpAutoInOut()
{
    {
        TAutoIO dialog(m_context.Owner());
        m_context.RunDialog(dialog);
    }
    m_context.Window().ShowInOutPanel(ReadRegBool(Setting::AutoInOut));
    dsrc->Qiotime.Close();
    dsrc->Qiotime.Open();
    m_context.Core().UpdateAutoInOut(Now());
}

void TSetupCommands::DefineTimeTable()
{
    TFmTimeTbl dialog(m_context.Owner());
    m_context.RunDialog(dialog);
}

void TSetupCommands::SetUpDoorButton()
{
    TdlgDoorOpen dialog(m_context.Owner());
    if (m_context.RunDialog(dialog) != QDialog::Accepted)
        return;
    TTimeRec &window = m_context.Window();
    window.ShowDoorButton(ReadRegBool(Setting::DoorOpenEnable));
    window.SetDoorButtonCaption(m_context.Core().DoorButtonCaption(false));
}

void TSetupCommands::EditOfflineAccess()
{
    TOfflineAcc dialog(m_context.Owner());
    m_context.RunDialog(dialog);
}

void TSetupCommands::OpenDoor()
{
    if (TRfidReader *reader = m_context.Core().Reader(TDeskCore::DoorOpenPortNo()))
        reader->SendOpenLock();
    QApplication::beep();
}

void TSetupCommands::SetPassword()
{
    QWidget *owner = m_context.Owner();
    if (!IsPasswordEmpty()) {
        TPasswordDlg old(owner);
        old.setWindowTitle(QStringLiteral("Old password"));
        if (m_context.RunDialog(old) != QDialog::Accepted)
            return;
    }
    TDlgNewPass dialog(owner);
    if (m_context.RunDialog(dialog) != QDialog::Accepted)
        return;
    try {
        StoreAdminPassword(dialog.NewPassword());
    } catch (const std::exception &) {
        ShowUpdateFailed();
        return;
    }
    ShowInfo(QStringLiteral("New password registered."));
}

void TSetupCommands::ShowAbout()
{
    Taboutbox about(m_context.Owner());
    about.SetWordWrap(true);
    m_context.RunDialog(about);
}
