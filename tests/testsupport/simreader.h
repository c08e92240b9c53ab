#pragma once
// Points a reader object at a simulated reader: the port's device setting names the
// simulator's pseudo-terminal and the line is set up as the desk sets it. Main thread.

#include "readerlink/reader.h"
#include "store/settings.h"
#include "testsupport/readersim.h"

inline void ConnectToSim(TRfidReader &reader, const ReaderSim &sim, int port)
{
    WriteRegString(QStringLiteral("COM%1Device").arg(port),
                   QString::fromStdString(sim.DevicePath()));
    reader.SetPortNo(port);
    reader.SetDataBits(dbEight);
    reader.SetStopBits(sbOneStopBit);
    reader.Parity()->SetBits(prNone);
    reader.ApplyPortNo();
    reader.SetConnected(true);
}
