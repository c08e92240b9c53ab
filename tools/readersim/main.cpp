// tallyclock-readersim: a simulated card reader on a pseudo-terminal, so the desk can be tried
// without hardware. It prints the device to put in setting COM<n>Device, sends a card when a
// number is typed, and shows every frame the desk sends it.

#include "testsupport/readersim.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <thread>

namespace {

void printFrame(const ReaderSim::Frame &f)
{
    const char *kind = f.kind == ReaderSim::Frame::Command ? "command"
                       : f.kind == ReaderSim::Frame::Data  ? "data"
                                                           : "text";
    std::printf("<- %s%s:", kind, f.good ? "" : " (malformed)");
    for (auto b : f.wire)
        std::printf(" %02X", b);
    std::printf("\n");
    std::fflush(stdout);
}

ReaderSim::Model modelFromArg(const std::string &s)
{
    if (s == "RB58")
        return ReaderSim::Model::RB58;
    if (s == "RB59")
        return ReaderSim::Model::RB59;
    return ReaderSim::Model::DL317;
}

} // namespace

int main(int argc, char **argv)
{
    ReaderSim sim;
    if (argc > 1)
        sim.SetModel(modelFromArg(argv[1]));
    if (!sim.Start()) {
        std::fprintf(stderr, "Cannot start the simulated reader: %s\n", sim.ErrorText().c_str());
        return 1;
    }
    std::printf("Simulated reader on %s\n", sim.DevicePath().c_str());
    std::printf("Set COM<n>Device to that path for the port it stands in for.\n");
    std::printf("Type a card number to present it; P exit button, p released, R power-up,\n"
                "C time request, q to quit. Model: %s\n",
                argc > 1 ? argv[1] : "DL317");
    std::fflush(stdout);

    std::atomic<bool> done{false};
    std::thread printer([&] {
        std::size_t shown = 0;
        while (!done) {
            if (sim.WaitForFrames(shown + 1, 100)) {
                const auto frames = sim.Received();
                for (; shown < frames.size(); ++shown)
                    printFrame(frames[shown]);
            }
        }
    });

    std::string line;
    while (std::getline(std::cin, line)) {
        if (line.empty())
            continue;
        if (line == "q")
            break;
        if (line == "P") {
            sim.SendExitButton();
        } else if (line == "p") {
            sim.SendExitReleased();
        } else if (line == "R") {
            sim.SendPowerUp();
        } else if (line == "C") {
            sim.SendTimeRequest();
        } else {
            char *end = nullptr;
            const long code = std::strtol(line.c_str(), &end, 10);
            if (end && *end == '\0' && code > 0 && code <= 0xFFFFFF) {
                sim.SendCard(static_cast<int>(code));
                std::printf("-> card %ld\n", code);
            } else {
                std::printf("A card number is 1 to 16777215.\n");
            }
            std::fflush(stdout);
        }
    }
    done = true;
    printer.join();
    return 0;
}
