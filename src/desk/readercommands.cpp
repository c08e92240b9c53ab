#include "desk/readercommands.h"

#include "desk/deskcore.h"
#include "desk/readers.h"
#include "readerlink/offline.h"
#include "readerlink/setup.h"
#include "store/datasrc.h"
#include "store/messages.h"

#include <optional>
#include <vector>

void TReaderCommands::SetUpReaders()
{
    TDeskCore &core = m_context.Core();
    // The dialog opens the reader table, which the tick's reconnection would act on.
    core.SetReconnectEnabled(false);
    try {
        TSetReader dialog(m_context.Owner());
        dsrc->reader.First();
        if (m_context.RunDialog(dialog) == QDialog::Accepted) {
            core.DisconnectAllReaders();
            core.SetupAllReaders();
        } else {
            for (int port = 1; port <= ReaderPortCount; ++port) {
                if (dialog.Changed(port)) {
                    core.DisconnectReader(port);
                    core.SetupReader(port);
                }
            }
        }
    } catch (...) {
        core.SetReconnectEnabled(true);
        throw;
    }
    core.SetReconnectEnabled(true);
}

void TReaderCommands::RunOfflineManager(bool masterPinOnly)
{
    TTimeRec &window = m_context.Window();
    TLogGridScope grid(window);
    {
        TDlgOffline dialog(std::vector<TRfidReader *>(Readers.begin() + 1, Readers.end()),
                           m_context.Owner());
        // A session writes downloaded rows into the log between its waits: the commands that
        // close or replace the databases wait for it, as for the other long work.
        std::optional<TTimeRec::TLongWorkScope> work;
        QObject::connect(&dialog, &TDlgOffline::SessionBusyChanged, m_context.Owner(),
                         [&window, &work](bool busy) {
                             if (busy)
                                 work.emplace(window);
                             else
                                 work.reset();
                         });
        if (dialog.PortCount() == 0) {
            ShowError(QStringLiteral("No communication port enabled."));
        } else {
            if (masterPinOnly)
                dialog.ShowMasterPinOnly();
            else
                dialog.cbPortListClick();
            m_context.RunDialog(dialog);
        }
    }
}
