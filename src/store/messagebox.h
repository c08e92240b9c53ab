#pragma once
// The standard message box the messages seam shows by default: a modal QMessageBox captioned
// with the application's name. Called on the user-interface thread; a call from any other
// thread is logged and takes the safe answer.

#include "store/messages.h"

// The one message box sink of the program.
MessageSink &MessageBoxSink();
