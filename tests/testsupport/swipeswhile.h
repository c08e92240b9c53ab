#pragma once
// Swipes timed while the desk's main thread does long work: a simulated reader swipes from a
// thread of its own every few milliseconds, timed from the card frame's last byte to the door
// command it receives, while the main thread either turns its event loop with nothing else to
// do (idle) or runs the work (busy), in rounds taking turns. Main thread only (the driver
// thread is its own).

#include <functional>
#include <vector>

class ReaderSim;
class TDeskCore;

// Starts the simulated reader and connects the desk's reader on port 1 (enabled beforehand)
// to it; false, and said on stderr, when either failed.
bool ConnectSwipingReader(ReaderSim &sim, TDeskCore &core);

struct SwipeFigures
{
    std::vector<double> idleUs, busyUs;
    int unanswered = 0;
    double busyMs = 0;         // the work's time, all rounds
    double longestStallMs = 0; // the longest the work held the event loop
    int rounds = 0;
};

// Swipes the cards 1..cards in turn, 4 to 7 ms apart (so they fall anywhere in the work),
// while the main thread turns its event loop idle for a while, then runs `work`, `rounds`
// times. A swipe sent during the work counts for it whenever its answer comes; an idle one
// only when answered before the work began.
SwipeFigures SwipesWhile(ReaderSim &sim, int cards, int rounds, const std::function<void()> &work);

// Prints the idle and busy percentiles and the busy p99 against the idle p99. True when that
// ratio is within `limit`, every swipe was answered and, when worstMs > 0, no busy swipe
// waited longer than that.
bool PrintSwipeFigures(const char *what, const SwipeFigures &f, double limit, double worstMs = 0);
