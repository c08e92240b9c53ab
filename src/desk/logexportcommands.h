#pragma once
// TLogExportCommands: "Export to Text File" and "Export to Excel File", the whole log in time
// order to a chosen file, as long work: swipes are answered meanwhile, the database commands and
// a close of the window wait. Main thread only.

#include "desk/commandcontext.h"

class TLogExportCommands
{
public:
    explicit TLogExportCommands(const TCommandContext &context) : m_context(context) {}

    void ExportText();
    void ExportExcel();

private:
    TCommandContext m_context;
};
