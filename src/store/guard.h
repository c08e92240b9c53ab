#pragma once
// The one guard every handler of a window runs through, the main window's commands and each
// dialog's buttons, closing and destruction alike: an error becomes its message box and the
// window goes on, so no exception reaches Qt's event loop or leaves a destructor.
// User-interface thread only.

#include <functional>

// Runs the handler. A refused settings write shows "Settings cannot be saved.", any other
// error its own text; false when the handler did not run to its end. Never throws.
bool RunGuarded(const std::function<void()> &handler) noexcept;

// The receiver's handler as a slot for connect(), run through RunGuarded.
template <typename Receiver, typename... Args>
auto Guarded(Receiver *receiver, void (Receiver::*handler)(Args...))
{
    return
        [receiver, handler](Args... args) { RunGuarded([&] { (receiver->*handler)(args...); }); };
}
