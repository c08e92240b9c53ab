#pragma once
// Whole-database copies through SQLite for backup, restore and formatting, and the checks a
// file chosen for them passes first. A backup goes under a temporary name beside its target
// and is renamed into place once complete, so a failed one leaves the old backup as it was; a
// restore or a format replaces the content of a live file (closed by the desk) in one
// transaction. The result is always a whole file in rollback-journal mode with no -wal beside
// it. Main thread only; the caller's progress callback runs between batches of pages.

#include "store/db/sqlitedb.h"

#include <QString>
#include <functional>

// Called after each batch of pages with the pages copied so far and the total.
using TCopyProgress = std::function<void(int done, int total)>;

// Copies the database of that kind at source into a new file at target, replacing an existing
// target only once the copy is complete. False with the reason in *error: source refused,
// target a folder or in a folder that does not exist, or a write that failed (a full disk).
bool BackupDatabaseFile(const QString &source, DbKind kind, const QString &target,
                        const TCopyProgress &progress = {}, QString *error = nullptr);
// The same from a connection that stays open and in use: the progress callback may write
// through it (swipes go on), and the copy holds every commit made before it finished.
bool BackupDatabaseFile(TDatabase &source, const QString &target,
                        const TCopyProgress &progress = {}, QString *error = nullptr);

// Replaces the whole content of target with that of the database of that kind at source, in
// one transaction: on failure target holds what it held. Target may be missing (it is made);
// no connection may be open on it. Afterwards its owner may read and write it.
bool RestoreDatabaseFile(const QString &source, DbKind kind, const QString &target,
                         const TCopyProgress &progress = {}, QString *error = nullptr);

// True for the program's own database files: the live ones in DataPath with their -wal,
// -shm and -journal, and the templates in AppPath, under any name that leads to them (links,
// "..", "./", a link to a -wal that does not exist yet). No file the user chooses to write,
// and no copy to restore from, may be one of them.
bool IsProgramDatabaseFile(const QString &path);
// The check of every command that writes a file the user chose (exports, workbooks, backups)
// or restores from one, before anything is written or closed: true for a file that is not
// one of the program's own; otherwise the box "Operation failed. Please retry!" and false.
bool NotAProgramFile(const QString &path);

// True when the file opens as a database of that kind and passes SQLite's quick check.
bool DatabaseFileIntact(const QString &path, DbKind kind, QString *error = nullptr);

// True when the file (which must open as that kind) holds exactly the schema of the template
// of that kind: the same tables with the same columns, the same indexes, no trigger or view
// the template lacks. What differs is named in *error.
bool HasTemplateSchema(const QString &path, DbKind kind, QString *error = nullptr);

// The path of the live file and of the template of that kind.
QString LiveDatabasePath(DbKind kind);
QString TemplateDatabasePath(DbKind kind);

// Deletes every file in folder whose name matches the wildcard mask ("*.jpg"); a file that
// cannot be deleted is skipped. The event loop turns after each file.
void DeleteFilesByMask(const QString &folder, const QString &mask);
