#pragma once
// Database files as another program sees them while this process has them open: whether this
// process (or another one) still holds its locks on a file, and reads by the sqlite3 shell (an
// outside user of the file, as a backup script would be). Any thread.

#include <QString>

#include <sys/types.h>

// True when another process finds a lock of this process on some byte of the file. Asked from
// a forked child, since a process never sees its own POSIX locks as conflicting.
bool ThisProcessLocks(const QString &path);

// True when this process finds a lock of process pid on some byte of the file.
bool ProcessLocks(pid_t pid, const QString &path);

// Runs the sqlite3 shell on the file with one statement and returns what it
// printed (trimmed); a null string when the shell failed or could not be run.
QString OutsideQuery(const QString &path, const QString &sql);
