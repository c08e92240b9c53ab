#pragma once
// File dialogs. Every open and save dialog of the program goes through the current FileDialogs:
// by default a modal QFileDialog (put in place with the program's widgets, filedialogbox.h;
// before that every dialog is a Cancel); tests install their own to answer with queued names
// or Cancel and read what was asked. The export, backup and import choosers sit on top of it.
// User-interface thread only.

#include <QString>
#include <QStringList>

class QWidget;

enum class FileDialogKind
{
    Open, // the file must exist
    Save, // an existing file is replaced only after the user confirms it
};

struct FileDialogRequest
{
    FileDialogKind kind = FileDialogKind::Open;
    QString title;        // empty: the dialog's own
    QString folder;       // first folder shown; empty: the proposed name's, else the current one
    QString proposedName; // may hold a folder of its own
    // Description and pattern pairs separated by vertical bars, patterns separated by
    // semicolons: "Text File (*.txt)|*.txt|All File (*.*)|*.*".
    QString filter;
    QString defaultSuffix; // without the dot; empty: none
};

class FileDialogs
{
public:
    virtual ~FileDialogs() = default;
    // Shows the dialog modally: the chosen path, or false when cancelled (fileName untouched).
    virtual bool Ask(QWidget *owner, const FileDialogRequest &request, QString &fileName) = 0;
};

// The dialogs in use now (the real ones unless others were installed).
FileDialogs *CurrentFileDialogs();
// Installs the dialogs (nullptr: the real ones) and returns those they replace, nullptr when
// that was the real ones.
FileDialogs *SetFileDialogs(FileDialogs *dialogs);
// Sets the real dialogs the current ones fall back on, once there are widgets to show them.
void SetRealFileDialogs(FileDialogs *dialogs);

// The filter as Qt name filters: "Text File (*.txt *.TXT)", "All File (*)". Every pattern is
// also offered in upper case, because file names are case-sensitive here and cameras write
// IMG0001.JPG; "*.*" means every file, as users of the filter texts expect.
QStringList QtNameFilters(const QString &filter);

// Asks through the current dialogs. A saved name without a suffix gets the default one; so does
// an opened name that does not exist as typed when the suffixed one does. True with fileName
// set when confirmed; false (fileName untouched) when cancelled.
bool RunFileDialog(QWidget *owner, const FileDialogRequest &request, QString &fileName);

// The folder part of a path with its trailing separator ("" for a bare name).
QString ExtractFilePath(const QString &fileName);

// Save dialogs for exports, starting in the folder of setting LastDataPath (DataPath while it
// is empty) and proposing fileName. Afterwards LastDataPath holds the folder of the chosen file, or
// on Cancel the folder of the proposed name (empty when it had none).
bool SelectExcelFile(QWidget *owner, QString &fileName); // .xlsx workbooks
bool SelectTextFile(QWidget *owner, QString &fileName);  // .txt files

// Database files for backup, restore and import, in the folder the proposed name holds.
bool SelectMdbToOpen(QWidget *owner, const QString &title, QString &fileName);
bool SelectMdbToSave(QWidget *owner, const QString &title, QString &fileName);

inline constexpr char ExcelFileFilter[] = "Excel File (*.xlsx)|*.xlsx|All File (*.*)|*.*";
inline constexpr char TextFileFilter[] = "Text File (*.txt)|*.txt|All File (*.*)|*.*";
inline constexpr char DatabaseFileFilter[] = "Database File (*.db)|*.db|All File (*.*)|*.*";
