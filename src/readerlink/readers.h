#pragma once
// `Readers`: the eight reader objects by serial port, Readers[1] to Readers[8] (index 0 stays
// null). The desk creates and owns them; every entry is null before it exists and after it is
// gone. The reader dialogs read them here without knowing the desk. Main thread only.

#include <array>

class TRfidReader;

inline constexpr int ReaderPortCount = 8;

extern std::array<TRfidReader *, ReaderPortCount + 1> Readers;

// Readers[port] for a port 1..8, else null.
TRfidReader *ReaderOn(int port);
