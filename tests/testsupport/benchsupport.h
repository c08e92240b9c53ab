#pragma once
// Shared pieces of the desk benchmarks: percentiles, message boxes printed instead of shown,
// a data module filled with a large log and staff list, timed swipes, and browsers asking the
// web report for pages. Main thread only, but for the browsers' own threads.

#include "store/messages.h"

#include <QTemporaryDir>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

class QApplication;
class QDate;
class ReaderSim;

double Percentile(std::vector<double> v, double p);

// The number of a "--rounds=N" argument (at least 1), else the fallback.
int RoundsArgument(int argc, char **argv, int fallback);

// Milliseconds the work takes once.
double MsOf(const std::function<void()> &work);
// Prints both medians and their ratio against the limit.
void PrintRatio(const char *what, const char *baseline, const std::vector<double> &oursMs,
                const std::vector<double> &baselineMs, double limit);

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
// count such swipes of the cards 1..cards in turn, each followed by a short pause as at a real
// door, so each is measured on a quiet line.
std::vector<double> SwipeLatenciesUs(ReaderSim &sim, int count, int cards);

// Fills `dsrc` with logRows log rows and staffRows staff allowed at every port, and makes the
// eight readers enabled IN readers that are their own lock.
void FillDeskDatabases(int logRows, int staffRows);
// Makes the readers of ports 1..readers enabled IN readers that are their own lock, the others
// disabled.
void EnableDeskReaders(int readers);
// Fills `dsrc` with the staff of a report run, cards 1..staff in work group 1 allowed at every
// port, each swiping four times on each of `days` days from firstDay: IN at nine (a few
// minutes late on most days), OUT at noon, IN at one, OUT after five.
void FillReportLog(int staff, int days, const QDate &firstDay);
// After filling: the write-ahead logs folded back into the files, as on a desk that has run
// for a while, and the desk's log (on its last row) and staff datasets read again.
void SettleDeskDatabases();

// Browsers asking the web report on loopback for "/logs?20" from threads of their own, until
// a deadline or Join(): at perSecond pages a second in all, evenly spread, or (0) each asking
// again as soon as it has its page. They run at idle priority: browsers on other machines
// would not take the desk's processor.
class PageLoad
{
public:
    explicit PageLoad(int clientThreads = 8);
    ~PageLoad();
    PageLoad(const PageLoad &) = delete;
    PageLoad &operator=(const PageLoad &) = delete;

    void Start(int port, std::chrono::steady_clock::time_point until, int perSecond = 0);
    // Waits for the clients to reach the deadline.
    void Wait();
    // Stops the clients now.
    void Join();
    // Each answered page's time, in microseconds.
    std::vector<double> LatenciesUs() const;
    int Failures() const { return m_failures.load(); }

private:
    int m_clients;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_failures{0};
    std::vector<std::vector<double>> m_latencyUs;
    std::vector<std::thread> m_threads;
};
