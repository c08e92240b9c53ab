#pragma once
// Copies of whole files for backup, restore and formatting. The copy is written beside the
// target under a temporary name and renamed over it only once it is complete and on disk, so a
// failed copy leaves the target exactly as it was and no temporary file behind. Not for a live
// database file (copy those through SQLite). Main thread only: the event loop turns between
// chunks of a large copy (without user input), so swipes are still answered.

#include <QString>

// Copies source over target (an existing target is replaced). True on success; false when the
// source cannot be read, the target cannot be written, or the target is a folder. A copy of a
// file onto itself is a success that leaves it untouched.
bool CopyFileByStream(const QString &source, const QString &target);

// CopyFileByStream, telling the user "Operation failed. Please retry!" when it fails.
bool CopyFileSafe(const QString &source, const QString &target);
