#pragma once
// `Readers`: the eight reader objects by serial port, Readers[1] to Readers[8] (index 0 stays
// null). TDeskCore creates and owns them; every entry is null before it exists and after it is
// gone. Main thread only.

#include <array>

class TRfidReader;

inline constexpr int ReaderPortCount = 8;

extern std::array<TRfidReader *, ReaderPortCount + 1> Readers;
