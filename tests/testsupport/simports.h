#pragma once
// Simulated readers by serial port for tests that run the desk's readers: each simulator's
// pseudo-terminal becomes its port's device (setting COM<n>Device). Main thread only.

#include "testsupport/readersim.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

using SimsByPort = std::map<int, std::unique_ptr<ReaderSim>>;

// Starts a simulator for the port and names it as the port's device.
ReaderSim &AttachSimToPort(SimsByPort &sims, int port);
// Points every port 1..8 at a device that does not exist, so only attached ports open.
void PointPortsNowhere();
// The text commands a reader received, as "~Y3", "~@", "~CC".
std::vector<std::string> SimTexts(const ReaderSim &sim);
