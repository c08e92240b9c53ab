#pragma once
// Shared pieces of the desk benchmarks: percentiles, message boxes printed instead of shown,
// and a data module filled with a large log and staff list. Main thread only.

#include "store/messages.h"

#include <vector>

double Percentile(std::vector<double> v, double p);

// Message boxes would stop a benchmark run: they are printed instead.
class PrintedMessages final : public MessageSink
{
public:
    MsgButton Show(MsgKind kind, const QString &text, MsgButtons buttons,
                   const QString &caption) override;
};

// Fills `dsrc` with logRows log rows and staffRows staff allowed at every port, and makes the
// eight readers enabled IN readers that are their own lock.
void FillDeskDatabases(int logRows, int staffRows);
