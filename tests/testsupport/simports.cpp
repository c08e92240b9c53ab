#include "testsupport/simports.h"

#include "store/settings.h"

#include <QString>
#include <gtest/gtest.h>

ReaderSim &AttachSimToPort(SimsByPort &sims, int port)
{
    auto sim = std::make_unique<ReaderSim>();
    EXPECT_TRUE(sim->Start()) << sim->ErrorText();
    WriteRegString(QStringLiteral("COM%1Device").arg(port),
                   QString::fromStdString(sim->DevicePath()));
    ReaderSim &ref = *sim;
    sims[port] = std::move(sim);
    return ref;
}

void PointPortsNowhere()
{
    for (int port = 1; port <= 8; ++port)
        WriteRegString(QStringLiteral("COM%1Device").arg(port),
                       QStringLiteral("/nonexistent/tallyclock-tty%1").arg(port));
}

std::vector<std::string> SimTexts(const ReaderSim &sim)
{
    std::vector<std::string> out;
    for (const ReaderSim::Frame &f : sim.Received())
        if (f.kind == ReaderSim::Frame::Text)
            out.emplace_back(f.payload.begin(), f.payload.end());
    return out;
}
