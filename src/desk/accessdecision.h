#pragma once
// What a card swipe may do, decided from the swiping reader's set-up, its lock reader and the
// holder's rights alone: the direction written to the log, whether the reader acts as a
// TIME CLOCK, whether the door may open and whether anti-passback must still be asked. No
// database and no wire: the desk core reads the inputs and carries the answer out. Any thread.

#include "desk/readers.h"

#include <bitset>

// Direction 0 CLOCK, 1 IN, 2 OUT, as written to the log's MODE.
struct TSwipeDirection
{
    int Direction = 0;
    // A live swipe at a TIME CLOCK reader: no anti-passback and no door, even in automatic
    // IN/OUT mode.
    bool ClockReader = false;
};

// cmode: the direction a reader stored with an offline swipe, below 0 for a live one.
// autoInOut: the setting; autoIn: the IN/OUT panel's current direction.
TSwipeDirection DecideDirection(int cmode, int readerMode, bool autoInOut, bool autoIn);

struct TAccessQuery
{
    int Port = 0;         // the swiping reader
    int ReaderMode = 0;   // its Mode
    int LockPort = 0;     // its Lock: the reader whose door opens
    bool LockApb = false; // anti-passback at the lock reader (its flag, not the swiping one's)
    TSwipeDirection Direction;
    bool Known = false;                      // the card is in the staff table
    std::bitset<ReaderPortCount + 1> Rights; // the holder's COM1..COM8 columns, by port
};

struct TAccessDecision
{
    // "~N" to the swiping reader at once: the card is not registered.
    bool RejectUnknown = false;
    // "~y" to the swiping reader: a known card at a TIME CLOCK reader, whatever its rights.
    bool SignalClock = false;
    // Rights of the swiping port and of the lock port, a lock port in 1..8, not a clock reader.
    bool Allowed = false;
    // Allowed, and the lock reader keeps anti-passback: the apb table has the last word.
    bool CheckApb = false;
    // A refused known card hears "~N" (IN and OUT readers; a TIME CLOCK reader stays silent).
    bool RejectRefused = false;
};

TAccessDecision DecideAccess(const TAccessQuery &query);
