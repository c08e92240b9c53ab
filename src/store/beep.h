#pragma once
// The short beep a swipe gives on the desk. The reader link and the swipe road beep through
// this hook, so they need no widgets; the program's widgets put the system beep in place
// (widgetdefaults.h). Until then a beep makes no sound. Main thread only.

using TBeepHook = void (*)();

// Beeps through the hook in place.
void Beep();
// Puts the hook in place (nullptr: silence) and returns the one it replaces.
TBeepHook SetBeepHook(TBeepHook hook);
