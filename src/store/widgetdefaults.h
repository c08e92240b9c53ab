#pragma once
// The real implementations behind the widget-free seams of the store: the message box, the file
// dialog and the system beep. The program puts them in place once its QApplication exists,
// before any window opens; tests do the same and then install their own. Main thread only.

// Makes the message box, the file dialog and QApplication::beep the defaults of their seams.
void InstallWidgetDefaults();
