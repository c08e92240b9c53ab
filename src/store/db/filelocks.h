#pragma once
// SQLite's record locks held on an open file description of our own for each locked file
// (Linux open-file-description locks) instead of as the process's POSIX locks. A POSIX lock
// drops when the process closes any descriptor of the file, so a file dialog that looks at a
// live database for its type and closes it would free the file for another program, which then
// folds the write-ahead log back and deletes it while the desk writes on. Installed once,
// before SQLite opens a file; any thread.

// True when SQLite's file layer now locks that way (false where the system has no such locks).
bool InstallDescriptionLocks();
