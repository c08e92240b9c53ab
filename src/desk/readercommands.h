#pragma once
// TReaderCommands: the main window's commands that open the reader dialogs: "Readers" (the
// reader table's set-up, the readers set up again after it) and "Offline Reader Manager" or
// "Set Master PIN" (the manager window on the enabled readers, with the log grid hidden
// meanwhile). Main thread only.

#include "desk/commandcontext.h"

class TReaderCommands
{
public:
    explicit TReaderCommands(const TCommandContext &context) : m_context(context) {}

    // Reconnection is suspended while the dialog runs; then every reader (after "Enable All")
    // or the changed ones are set up again.
    void SetUpReaders();
    // A download session counts as long work while it runs.
    void RunOfflineManager(bool masterPinOnly);

private:
    TCommandContext m_context;
};
