#pragma once
// TWebReportCommands: "Web Reporter", the switch of the web report server: on, it serves the
// attendance files on WebPort and says where to browse; off, it stops serving. The window keeps
// the server; it is made on the first start. Main thread only.

#include "desk/commandcontext.h"

#include <memory>

class TWebReporter;

class TWebReportCommands
{
public:
    // server is where the window keeps the web report server (null until first started).
    TWebReportCommands(const TCommandContext &context, std::unique_ptr<TWebReporter> &server)
        : m_context(context), m_server(server)
    {
    }

    // The menu's check mark is still as it was: the switch flips it and stores the choice.
    void Switch();
    // Serves on WebPort; a port that cannot be bound is shown as an error and answers false.
    bool Start();
    void Stop();

private:
    TCommandContext m_context;
    std::unique_ptr<TWebReporter> &m_server;
};
