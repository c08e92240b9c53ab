#include "desk/accessdecision.h"

#include "store/utils.h"

TSwipeDirection DecideDirection(int cmode, int readerMode, bool autoInOut, bool autoIn)
{
    if (cmode >= 0)
        return {cmode, false};
    TSwipeDirection d{readerMode, readerMode == 0};
    if (d.ClockReader && autoInOut)
        d.Direction = autoIn ? 1 : 2;
    return d;
}

TAccessDecision DecideAccess(const TAccessQuery &q)
{
    TAccessDecision d;
    if (!q.Known) {
        d.RejectUnknown = true;
        return d;
    }
    d.SignalClock = q.ReaderMode == 0;
    if (q.Direction.ClockReader)
        return d;
    // A lock port outside 1..8 opens no door: refused like a reader without a lock.
    d.Allowed = IsReaderPort(q.Port) && q.Rights[q.Port] && IsReaderPort(q.LockPort) &&
                q.Rights[q.LockPort];
    d.CheckApb = d.Allowed && q.LockApb;
    d.RejectRefused = q.ReaderMode > 0;
    return d;
}
