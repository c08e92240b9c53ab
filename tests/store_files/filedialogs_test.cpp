// The file choosers through the dialog seam, and the real dialog's set-up.

#include "store/filedialogbox.h"
#include "store/filedialogs.h"
#include "store/paths.h"
#include "store/settings.h"
#include "testsupport/fakefiledialogs.h"
#include "testsupport/tempsettings.h"

#include <QFile>
#include <QFileDialog>
#include <QTemporaryDir>
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

namespace {

TEST(QtNameFilters, PatternsSplitWithUpperCaseTwinsAndStarDotStarForEveryFile)
{
    struct Row
    {
        const char *name;
        QString filter;
        QStringList expected;
    } rows[] = {
        {"excel",
         QString::fromLatin1(ExcelFileFilter),
         {QStringLiteral("Excel File (*.xlsx *.XLSX)"), QStringLiteral("All File (*)")}},
        {"database",
         QString::fromLatin1(DatabaseFileFilter),
         {QStringLiteral("Database File (*.db *.DB)"), QStringLiteral("All File (*)")}},
        {"images at semicolons, description with commas",
         QStringLiteral("Images (*.jpg,*.jpeg,*.bmp)|*.jpg;*.jpeg;*.bmp|JPEG (*.jpg,*.jpeg)|"
                        "*.jpg;*.jpeg|Bitmap (*.bmp)|*.bmp|All Files (*.*)|*.*"),
         {QStringLiteral("Images (*.jpg *.JPG *.jpeg *.JPEG *.bmp *.BMP)"),
          QStringLiteral("JPEG (*.jpg *.JPG *.jpeg *.JPEG)"),
          QStringLiteral("Bitmap (*.bmp *.BMP)"), QStringLiteral("All Files (*)")}},
        {"patterns at blanks, no description",
         QStringLiteral("|*.log  *.txt"),
         {QStringLiteral("*.log (*.log *.LOG *.txt *.TXT)")}},
        {"no filter", QString(), {}},
        {"a description without patterns is dropped", QStringLiteral("Text|"), {}},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(QtNameFilters(r.filter), r.expected);
    }
}

TEST(PrepareFileDialog, SaveAndOpenDialogsAsRequested)
{
    QTemporaryDir dir;
    FileDialogRequest save;
    save.kind = FileDialogKind::Save;
    save.title = QStringLiteral("Backup Attendance Records");
    save.proposedName = dir.filePath(QStringLiteral("backup_attend.db"));
    save.filter = QString::fromLatin1(DatabaseFileFilter);
    save.defaultSuffix = QStringLiteral("db");
    QFileDialog saving;
    PrepareFileDialog(saving, save);
    EXPECT_EQ(saving.acceptMode(), QFileDialog::AcceptSave);
    EXPECT_FALSE(saving.testOption(QFileDialog::DontConfirmOverwrite));
    EXPECT_EQ(saving.windowTitle(), save.title);
    EXPECT_EQ(saving.defaultSuffix(), QStringLiteral("db"));
    EXPECT_EQ(saving.nameFilters(), QtNameFilters(save.filter));
    EXPECT_EQ(saving.selectedNameFilter(), QStringLiteral("Database File (*.db *.DB)"));
    EXPECT_EQ(saving.directory().absolutePath(), QDir(dir.path()).absolutePath());

    FileDialogRequest open;
    open.kind = FileDialogKind::Open;
    open.folder = dir.path();
    open.proposedName = QStringLiteral("sys.db"); // a bare name stays in the folder asked for
    QFileDialog opening;
    PrepareFileDialog(opening, open);
    EXPECT_EQ(opening.acceptMode(), QFileDialog::AcceptOpen);
    EXPECT_EQ(opening.fileMode(), QFileDialog::ExistingFile);
    EXPECT_EQ(opening.directory().absolutePath(), QDir(dir.path()).absolutePath());
}

TEST(RunFileDialog, DefaultSuffixOnlyWhereTheNameHasNone)
{
    QTemporaryDir dir;
    const QString existingBare = dir.filePath(QStringLiteral("README"));
    const QString existingDb = dir.filePath(QStringLiteral("backup.db"));
    for (const QString &name : {existingBare, existingDb}) {
        QFile f(name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    struct Row
    {
        const char *name;
        FileDialogKind kind;
        QString chosen;
        QString expected;
    } rows[] = {
        {"save without suffix", FileDialogKind::Save, QStringLiteral("/x/log"),
         QStringLiteral("/x/log.db")},
        {"save ending in a dot", FileDialogKind::Save, QStringLiteral("/x/log."),
         QStringLiteral("/x/log.db")},
        {"save with another suffix", FileDialogKind::Save, QStringLiteral("/x/log.csv"),
         QStringLiteral("/x/log.csv")},
        {"dots only in the folder", FileDialogKind::Save, QStringLiteral("/x.y/log"),
         QStringLiteral("/x.y/log.db")},
        {"open of a file without suffix", FileDialogKind::Open, existingBare, existingBare},
        {"open typed without the suffix", FileDialogKind::Open,
         dir.filePath(QStringLiteral("backup")), existingDb},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.name);
        FakeFileDialogs dialogs;
        dialogs.QueueName(r.chosen);
        FileDialogRequest request;
        request.kind = r.kind;
        request.defaultSuffix = QStringLiteral("db");
        QString fileName = QStringLiteral("proposed");
        EXPECT_TRUE(RunFileDialog(nullptr, request, fileName));
        EXPECT_EQ(fileName, r.expected);
    }
}

class ExportChooser : public TempSettingsTest
{
};

TEST_F(ExportChooser, AsksInTheLastFolderAndRemembersTheChosenOne)
{
    struct Row
    {
        const char *name;
        bool (*select)(QWidget *, QString &);
        const char *filter;
        const char *suffix;
    } rows[] = {
        {"workbook", SelectExcelFile, ExcelFileFilter, "xlsx"},
        {"text", SelectTextFile, TextFileFilter, "txt"},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.name);
        WriteRegString(QStringLiteral("LastDataPath"), QStringLiteral("/exports/"));
        FakeFileDialogs dialogs;
        dialogs.QueueName(QStringLiteral("/home/desk/march/log"));
        QString fileName = QStringLiteral("log");
        ASSERT_TRUE(r.select(nullptr, fileName));
        EXPECT_EQ(fileName, QStringLiteral("/home/desk/march/log.") + QLatin1String(r.suffix));
        const FileDialogRequest asked = dialogs.Last();
        EXPECT_EQ(asked.kind, FileDialogKind::Save);
        EXPECT_TRUE(asked.title.isEmpty());
        EXPECT_EQ(asked.folder, QStringLiteral("/exports/"));
        EXPECT_EQ(asked.proposedName, QStringLiteral("log"));
        EXPECT_EQ(asked.filter, QString::fromLatin1(r.filter));
        EXPECT_EQ(asked.defaultSuffix, QString::fromLatin1(r.suffix));
        EXPECT_EQ(ReadRegString(QStringLiteral("LastDataPath"), QStringLiteral("?")),
                  QStringLiteral("/home/desk/march/"));
    }
}

TEST_F(ExportChooser, FirstExportStartsInTheDataFolder)
{
    // The program's folder may be a system one nobody can write to; the data folder is not.
    QTemporaryDir data;
    const QString previousData = DataPath;
    DataPath = data.path();
    struct Row
    {
        const char *name;
        bool (*select)(QWidget *, QString &);
        const char *proposed;
    } rows[] = {
        {"workbook", SelectExcelFile, "Time Logs"},
        {"text", SelectTextFile, "log"},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.name);
        WriteRegString(QStringLiteral("LastDataPath"), QString());
        FakeFileDialogs dialogs;
        dialogs.QueueCancel();
        QString fileName = QString::fromLatin1(r.proposed);
        EXPECT_FALSE(r.select(nullptr, fileName));
        const FileDialogRequest asked = dialogs.Last();
        EXPECT_EQ(asked.folder, data.path());
        // The real dialog opens there, with the bare name proposed.
        QFileDialog real;
        PrepareFileDialog(real, asked);
        EXPECT_EQ(real.directory().absolutePath(), QDir(data.path()).absolutePath());
    }
    DataPath = previousData;
}

TEST_F(ExportChooser, CancelKeepsTheNameAndRemembersTheProposedFolder)
{
    struct Row
    {
        const char *name;
        QString proposed;
        QString remembered;
    } rows[] = {
        {"bare name forgets the folder", QStringLiteral("log"), QString()},
        {"name with a folder", QStringLiteral("/mnt/usb/log"), QStringLiteral("/mnt/usb/")},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.name);
        WriteRegString(QStringLiteral("LastDataPath"), QStringLiteral("/exports/"));
        FakeFileDialogs dialogs;
        dialogs.QueueCancel();
        QString fileName = r.proposed;
        EXPECT_FALSE(SelectExcelFile(nullptr, fileName));
        EXPECT_EQ(fileName, r.proposed);
        EXPECT_EQ(ReadRegString(QStringLiteral("LastDataPath"), QStringLiteral("?")), r.remembered);
    }
}

TEST_F(ExportChooser, DatabaseChoosersCarryTheTitleAndLeaveTheLastFolderAlone)
{
    struct Row
    {
        const char *name;
        bool (*select)(QWidget *, const QString &, QString &);
        FileDialogKind kind;
    } rows[] = {
        {"open", SelectMdbToOpen, FileDialogKind::Open},
        {"save", SelectMdbToSave, FileDialogKind::Save},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.name);
        WriteRegString(QStringLiteral("LastDataPath"), QStringLiteral("/exports/"));
        FakeFileDialogs dialogs;
        dialogs.QueueName(QStringLiteral("/backups/monday.db"));
        dialogs.QueueCancel();
        QString fileName = QStringLiteral("/data/backup_attend.db");
        ASSERT_TRUE(r.select(nullptr, QStringLiteral("Import Transaction Logs"), fileName));
        EXPECT_EQ(fileName, QStringLiteral("/backups/monday.db"));
        EXPECT_FALSE(r.select(nullptr, QStringLiteral("Import Transaction Logs"), fileName));
        EXPECT_EQ(fileName, QStringLiteral("/backups/monday.db"));
        ASSERT_EQ(dialogs.Count(), 2);
        const FileDialogRequest asked = dialogs.Requests().first();
        EXPECT_EQ(asked.kind, r.kind);
        EXPECT_EQ(asked.title, QStringLiteral("Import Transaction Logs"));
        EXPECT_TRUE(asked.folder.isEmpty());
        EXPECT_EQ(asked.proposedName, QStringLiteral("/data/backup_attend.db"));
        EXPECT_EQ(asked.filter, QStringLiteral("Database File (*.db)|*.db|All File (*.*)|*.*"));
        EXPECT_EQ(asked.defaultSuffix, QStringLiteral("db"));
        EXPECT_EQ(ReadRegString(QStringLiteral("LastDataPath"), QString()),
                  QStringLiteral("/exports/"));
    }
}

TEST(FakeFileDialogs, ADialogNobodyExpectedFailsTheTestAndIsACancel)
{
    QString fileName = QStringLiteral("kept");
    EXPECT_NONFATAL_FAILURE(
        {
            FakeFileDialogs dialogs;
            EXPECT_FALSE(SelectMdbToOpen(nullptr, QStringLiteral("Restore"), fileName));
        },
        "unexpected file dialog");
    EXPECT_EQ(fileName, QStringLiteral("kept"));
}

} // namespace
