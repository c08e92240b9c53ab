#pragma once
// TDatabaseCommands: the main window's commands on the database files: "Format Database", the
// backup and the restore of either file, and the imports of log and staff records from another
// copy. Each runs as long work: swipes are answered meanwhile, the other database commands are
// refused and a close of the window waits. Main thread only.

#include "desk/commandcontext.h"
#include "desk/dbimport.h"
#include "store/db/sqlitedb.h"

#include <QString>
#include <functional>
#include <vector>

struct TStringSetting;

class TDatabaseCommands
{
public:
    explicit TDatabaseCommands(const TCommandContext &context) : m_context(context) {}

    // Both live files replaced by the templates, the snapshots deleted.
    void FormatDatabase();
    // A copy of the live file to a chosen one, and a chosen copy over the live file.
    void BackupDatabase(DbKind kind);
    void RestoreDatabase(DbKind kind);
    // The rows of another copy that the live files lack.
    void ImportLog();
    void ImportStaff();
    // A chosen file to restore from or import: it opens as a database of that kind and is
    // intact; otherwise "Invalid Database" and false.
    bool VerifyDatabaseFile(const QString &fileName, DbKind kind);

private:
    // A live file to replace with the content of source, and how that went.
    struct TReplacement
    {
        QString source;
        DbKind kind;
        bool replaced = false;
        QString reason;
    };
    // Closes the databases only for the replacement of the files: the readers stay open and
    // their swipes are held, then logged in the new files and answered once they are open
    // again; the readers are set up again from a new reader table. A gauge with that title
    // (none when empty); the snapshots deleted too for a format. Shows nothing itself.
    void replaceLiveFiles(std::vector<TReplacement> &files, const QString &gaugeTitle,
                          bool deleteSnapshots);
    // What tells the two imports apart but their work.
    struct TImportCommand
    {
        DbKind kind;
        const TStringSetting &lastFile;
        const char *defaultName; // in DataPath, while lastFile is empty
        const char *title;
        const char *caption;
        const char *openError;
    };
    // Asks for the file, verifies it and runs the import with the gauge and the grid hidden,
    // the database commands refused; then the summary, or the opening error when it threw.
    void runImport(
        const TImportCommand &command,
        const std::function<QString(const QString &file, const TImportProgress &progress)> &import);

    TCommandContext m_context;
};
