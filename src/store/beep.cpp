#include "store/beep.h"

namespace {

TBeepHook g_beep = nullptr;

} // namespace

void Beep()
{
    if (g_beep)
        g_beep();
}

TBeepHook SetBeepHook(TBeepHook hook)
{
    const TBeepHook previous = g_beep;
    g_beep = hook;
    return previous;
}
