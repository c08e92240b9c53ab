#pragma once
// Where GetPortName finds the description of each reader port. The desk installs its Readers
// here once they exist; until then (and after they are withdrawn) port n reads "COM" + n.
//
// GetPortName runs on the main thread and on web request threads at the same time, so:
// - Desc() must be safe to call from any thread while the main thread changes descriptions
//   (for example, keep them behind a mutex or hand out copies);
// - the installed object must stay alive until it has been replaced and no call that may have
//   read it is still running: install it before the web server starts and withdraw it only
//   after the web server has stopped.

#include <QString>

class IReaderDescriptions
{
public:
    virtual ~IReaderDescriptions() = default;
    // The description of reader port 1..8 (only called with such a port).
    virtual QString Desc(int port) const = 0;
};

// Installs the source GetPortName reads (nullptr: back to "COM" + port) and returns the one it
// replaces. Main thread.
const IReaderDescriptions *SetReaderDescriptions(const IReaderDescriptions *source);
// The source installed now, nullptr for the default. Any thread.
const IReaderDescriptions *CurrentReaderDescriptions();
