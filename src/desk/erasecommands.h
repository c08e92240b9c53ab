#pragma once
// TEraseCommands: the commands that delete from the databases: "Delete this Attendance Record"
// (the log grid's current row and its snapshot), "Erase Log Database" (all of the log or the
// records before a date) and "Erase Staff Records". The erases run as long work: swipes are
// answered meanwhile, the commands that would close or change the log are refused. Main thread
// only.

#include "desk/commandcontext.h"

class TEraseCommands
{
public:
    explicit TEraseCommands(const TCommandContext &context) : m_context(context) {}

    void DeleteRecord();
    void EraseLog();
    void EraseStaff();

private:
    TCommandContext m_context;
};
