#pragma once
// Shared pieces of the desk benchmarks: percentiles, message boxes printed instead of shown,
// and a data module filled with a large log and staff list. Main thread only.

#include "store/messages.h"

#include <QTemporaryDir>

#include <memory>
#include <vector>

class QApplication;
class ReaderSim;

double Percentile(std::vector<double> v, double p);

// Message boxes would stop a benchmark run: they are printed instead.
class PrintedMessages final : public MessageSink
{
public:
    MsgButton Show(MsgKind kind, const QString &text, MsgButtons buttons,
                   const QString &caption) override;
};

// What a benchmark's main starts with: the offscreen platform, settings and standard paths of
// the run's own, the application object, and message boxes printed (a benchmark may install
// a sink of its own after this). Ends with the message sink taken away again.
class BenchApplication
{
public:
    BenchApplication(int &argc, char **argv);
    ~BenchApplication();
    BenchApplication(const BenchApplication &) = delete;
    BenchApplication &operator=(const BenchApplication &) = delete;

private:
    QTemporaryDir m_settings;
    std::unique_ptr<QApplication> m_app;
    PrintedMessages m_messages;
};

// Swipes the card at the simulated reader and turns the event loop until the reader holds
// the desk's answer (at most 5 s): microseconds from the card frame's last byte to the answer.
double SwipeToAnswerUs(ReaderSim &sim, int card);

// Fills `dsrc` with logRows log rows and staffRows staff allowed at every port, and makes the
// eight readers enabled IN readers that are their own lock.
void FillDeskDatabases(int logRows, int staffRows);
