#pragma once
// "Now" for the whole program. Tests pin it; the program reads the system clock.
// Any thread may call Now(); pinning is for tests on the main thread before the work starts.

#include <QDateTime>

QDateTime Now();

// Pins Now() to the given moment (an invalid value releases it again).
void PinClock(const QDateTime &moment);
