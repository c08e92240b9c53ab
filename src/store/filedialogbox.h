#pragma once
// The real file dialog behind the file-dialog seam: a modal QFileDialog set up from the
// request. Main thread only; without widgets, or off the main thread, it is a Cancel.

#include "store/filedialogs.h"

class QFileDialog;

// The one real file dialog of the program.
FileDialogs &QtFileDialogBox();

// Sets up a QFileDialog for the request (what the real dialog shows, before it runs).
void PrepareFileDialog(QFileDialog &dialog, const FileDialogRequest &request);
