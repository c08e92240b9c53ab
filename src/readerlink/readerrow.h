#pragma once
// TReaderRow: one row of the reader table (one serial port) as the reader dialogs read and
// write it, and the "Enable All" pass over the table. No widgets. Main thread only.

#include "readerlink/readers.h"

#include <QString>

#include <array>

class TDataSet;

struct TReaderRow
{
    int portNo = 0;
    bool enable = false;
    int outport = 0; // port whose relay a valid card opens; 0 none
    int bpport = 0;  // port whose relay the bypass switch opens; 0 none
    int mode = 0;    // 0 CLOCK, 1 IN, 2 OUT
    QString desc;
    int lockTime = 1; // 1..9 seconds
    int model = 0;    // 0 MV series, 1 DL series
    bool apb = false;
    bool capture = false;
    int motion = -1; // -1 no shot on bypass, 0 one shot, n a shot every n seconds (1..60)

    bool operator==(const TReaderRow &) const = default;
};

inline constexpr int MaxLockTime = 9;
inline constexpr int MaxMotionSeconds = 60;

// Per port 1..8 (index 0 unused): whether a dialog changed that port's row.
using TPortFlags = std::array<bool, ReaderPortCount + 1>;

// The current row of the table. A value outside its choices (a mode, port, lock time, model or
// shot interval no control offers) reads as the first choice, so a confirm never stores it.
TReaderRow ReadReaderRow(const TDataSet &table);
// Edits the current row to the values (PORTNO stays) and posts it; a failure raises
// EDatabaseError with the edit cancelled.
void WriteReaderRow(TDataSet &table, const TReaderRow &row);

// For ports 1..8 in turn: closes that reader's port and opens it again, flags the port as
// changed and stores in the row whose PORTNO is that port whether it opened (a row that cannot
// be written is left as it was). The ports stay as they ended. False, with the later ports
// left alone, when a port has no row.
bool EnableAllReaders(TDataSet &table, TPortFlags &changed);
