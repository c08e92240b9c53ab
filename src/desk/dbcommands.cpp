#include "desk/dbcommands.h"

#include "desk/deskcore.h"
#include "desk/webreport.h"
#include "store/datasrc.h"
#include "store/dbcopy.h"
#include "store/filedialogs.h"
#include "store/messages.h"
#include "store/paths.h"
#include "store/pgbar.h"
#include "store/settingkeys.h"
#include "store/settings.h"
#include "store/waitcursor.h"

#include <QCoreApplication>
#include <QDir>
#include <algorithm>
#include <cstdio>
#include <exception>
#include <memory>

namespace {

const TStringSetting &lastFileSetting(DbKind kind)
{
    return kind == DbKind::Sysdat ? Setting::SysDbLast : Setting::LogDbLast;
}

// The file last used for a backup or restore of that kind, else the default beside the data.
QString lastBackupFile(DbKind kind)
{
    const QString last = ReadRegString(lastFileSetting(kind));
    if (!last.isEmpty())
        return last;
    return QDir(DataPath).filePath(kind == DbKind::Sysdat ? QStringLiteral("backup_sysdat.db")
                                                          : QStringLiteral("backup_attend.db"));
}

// Asks for the file to back up to (or restore from) for that kind. One of the program's own
// files is refused before anything is touched. Empty when the dialog was cancelled or the
// file refused.
QString chooseCopyFile(QWidget *owner, DbKind kind, const QString &title, bool forSaving)
{
    QString file = lastBackupFile(kind);
    const bool chosen =
        forSaving ? SelectMdbToSave(owner, title, file) : SelectMdbToOpen(owner, title, file);
    if (!chosen || !NotAProgramFile(file))
        return QString();
    return file;
}

// The reason of a failed copy goes to standard error for the administrator; the box says only
// what the user can do.
void reportCopyFailure(const QString &what, const QString &reason)
{
    std::fprintf(stderr, "Tallyclock: %s: %s\n", qUtf8Printable(what), qUtf8Printable(reason));
    std::fflush(stderr);
}

} // namespace

bool TDatabaseCommands::VerifyDatabaseFile(const QString &fileName, DbKind kind)
{
    QString reason;
    // A file with other tables, columns, indexes, triggers or views than the program's would
    // fail at every use, or act behind its back (a trigger on the log).
    if (DatabaseFileIntact(fileName, kind, &reason) && HasTemplateSchema(fileName, kind, &reason))
        return true;
    reportCopyFailure(QDir::toNativeSeparators(fileName), reason);
    ShowError(QStringLiteral("Invalid Database"));
    return false;
}

void TDatabaseCommands::FormatDatabase()
{
    if (m_context.LongWorkRunning())
        return;
    if (!AskYesNo(MsgKind::Warning,
                  QStringLiteral("This action will erase all attendance records. The associated "
                                 "card information and all readers' settings will also be lost. "
                                 "Are you sure?")))
        return;
    const auto work = m_context.LongWork();
    std::vector<TReplacement> files{
        {TemplateDatabasePath(DbKind::Attend), DbKind::Attend, false, {}},
        {TemplateDatabasePath(DbKind::Sysdat), DbKind::Sysdat, false, {}},
    };
    replaceLiveFiles(files, QString(), true);
    for (const TReplacement &file : files) {
        if (file.replaced)
            continue;
        reportCopyFailure(QStringLiteral("format ") + LiveDatabasePath(file.kind), file.reason);
        ShowError(file.kind == DbKind::Attend
                      ? QStringLiteral("Attendance database locked. It cannot be formatted.")
                      : QStringLiteral("System database locked. It cannot be formatted."));
    }
    ShowInfo(QStringLiteral("Database formatted."));
}

void TDatabaseCommands::BackupDatabase(DbKind kind)
{
    if (m_context.LongWorkRunning())
        return;
    const QString title = kind == DbKind::Sysdat ? QStringLiteral("Backup System Database")
                                                 : QStringLiteral("Backup Log Database");
    const QString file = chooseCopyFile(m_context.Owner(), kind, title, true);
    if (file.isEmpty())
        return;
    const auto work = m_context.LongWork();
    bool copied = false;
    QString reason;
    {
        // From the desk's own connection, which goes on logging swipes between the batches.
        TWaitCursor wait;
        Tpbar bar(m_context.Owner(), title, 0);
        copied = BackupDatabaseFile(kind == DbKind::Sysdat ? dsrc->src : dsrc->att, file,
                                    CopyProgressOnGauge(bar), &reason);
    }
    if (copied) {
        WriteRegString(lastFileSetting(kind), file);
        ShowCompleted();
    } else {
        reportCopyFailure(title + QStringLiteral(" to ") + file, reason);
        ShowError(QStringLiteral("Operation failed. Please retry!"));
    }
}

void TDatabaseCommands::RestoreDatabase(DbKind kind)
{
    if (m_context.LongWorkRunning())
        return;
    const QString title = kind == DbKind::Sysdat ? QStringLiteral("Restore System Database")
                                                 : QStringLiteral("Restore Log Database");
    const QString file = chooseCopyFile(m_context.Owner(), kind, title, false);
    if (file.isEmpty())
        return;
    // Checked while every door is still served: a refused file closes nothing.
    if (!VerifyDatabaseFile(file, kind))
        return;
    const auto work = m_context.LongWork();
    std::vector<TReplacement> files{{file, kind, false, {}}};
    replaceLiveFiles(files, title, false);
    if (files.front().replaced) {
        WriteRegString(lastFileSetting(kind), file);
        ShowCompleted();
    } else {
        reportCopyFailure(title + QStringLiteral(" from ") + file, files.front().reason);
        ShowError(QStringLiteral("Operation failed. Please retry!"));
    }
}

void TDatabaseCommands::replaceLiveFiles(std::vector<TReplacement> &files,
                                         const QString &gaugeTitle, bool deleteSnapshots)
{
    TTimeRec &window = m_context.Window();
    // The readers stay open; what they send meanwhile waits in memory for the new files.
    m_context.Core().HoldSwipes();
    window.CloseDatabases();
    for (TReplacement &file : files) {
        TWaitCursor wait;
        std::unique_ptr<Tpbar> bar;
        if (!gaugeTitle.isEmpty())
            bar = std::make_unique<Tpbar>(m_context.Owner(), gaugeTitle, 0);
        file.replaced = RestoreDatabaseFile(
            file.source, file.kind, LiveDatabasePath(file.kind),
            bar ? CopyProgressOnGauge(*bar) : [](int, int) { QCoreApplication::processEvents(); },
            &file.reason);
    }
    if (deleteSnapshots)
        DeleteFilesByMask(PhotoPath, QStringLiteral("*.jpg"));
    if (!window.OpenDatabases())
        return; // the program ends
    if (TWebReporter *web = window.WebReporter())
        web->Resume();
    // Logged in the new files and answered on the ports they came through, as set up when
    // they came; then the readers follow the (new) reader table.
    m_context.Core().ReleaseHeldSwipes();
    const bool newReaderTable = std::any_of(files.begin(), files.end(), [](const auto &f) {
        return f.replaced && f.kind == DbKind::Sysdat;
    });
    if (newReaderTable)
        m_context.Core().SetupAllReadersAgain();
    window.ShowRecordCount();
    window.ShowLogGrid(true);
}

void TDatabaseCommands::ImportLog()
{
    runImport({DbKind::Attend, Setting::LogDbLastIn, "backup_attend.db", "Import Transaction Logs",
               "Importing Log Records", "Error in opening the log database: "},
              [](const QString &file, const TImportProgress &progress) {
                  return ImportSummary(ImportLogRecords(dsrc->att, file, progress));
              });
}

void TDatabaseCommands::ImportStaff()
{
    runImport({DbKind::Sysdat, Setting::SysDbLastIn, "sys.db", "Import Staff Records",
               "Importing Staff Records", "Error in opening the system database: "},
              [](const QString &file, const TImportProgress &progress) {
                  return ImportSummary(ImportStaffRecords(dsrc->src, file, progress));
              });
}

void TDatabaseCommands::runImport(
    const TImportCommand &command,
    const std::function<QString(const QString &file, const TImportProgress &progress)> &import)
{
    if (m_context.LongWorkRunning())
        return;
    QString file = ReadRegString(command.lastFile);
    if (file.isEmpty())
        file = QDir(DataPath).filePath(QLatin1String(command.defaultName));
    if (!SelectMdbToOpen(m_context.Owner(), QLatin1String(command.title), file))
        return;
    if (!VerifyDatabaseFile(file, command.kind))
        return;
    WriteRegString(command.lastFile, file);
    const auto work = m_context.LongWork();
    TLogGridScope grid(m_context.Window());
    QString summary;
    try {
        TWaitCursor wait;
        Tpbar bar(m_context.Owner(), QLatin1String(command.caption), 0);
        // The gauge steps a batch at a time; the event loop turns between batches.
        summary = import(file, {[&bar](int, int batches) { bar.SetMaximum(batches); },
                                [&bar] {
                                    bar.StepIt();
                                    QCoreApplication::processEvents();
                                }});
    } catch (const std::exception &e) {
        reportCopyFailure(QStringLiteral("import from ") + file, QString::fromUtf8(e.what()));
    }
    // The shared staff and group datasets read the new rows.
    if (command.kind == DbKind::Sysdat) {
        for (TDataSet *ds : {&dsrc->staff, &dsrc->gidtbl}) {
            if (ds->Active()) {
                ds->Close();
                ds->Open();
            }
        }
    }
    grid.ShowAgain();
    ShowPlain(summary.isEmpty() ? QLatin1String(command.openError) + file : summary);
}
