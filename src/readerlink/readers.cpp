#include "readerlink/readers.h"

std::array<TRfidReader *, ReaderPortCount + 1> Readers{};

TRfidReader *ReaderOn(int port)
{
    return port >= 1 && port <= ReaderPortCount ? Readers[static_cast<std::size_t>(port)] : nullptr;
}
