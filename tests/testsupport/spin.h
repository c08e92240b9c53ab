#pragma once
// Turning the event loop in tests and benchmarks while something happens elsewhere.

#include <functional>

// Lets the event loop turn until pred holds or ms run out; returns pred().
bool SpinUntil(const std::function<bool()> &pred, int ms);
// Lets the event loop turn for ms.
void SpinFor(int ms);
