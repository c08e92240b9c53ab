#pragma once
// `TWorkbook`: an .xlsx workbook written through libxlsxwriter, and `TWorksheet`, one of its
// sheets. The workbook is written under a temporary name beside the target and renamed into
// place only once libxlsxwriter closed it without error, so a failed export never leaves a
// half-written file under the user's name. A workbook not closed is discarded by the destructor
// (its temporary file removed), on every road out. One thread at a time (the one that made it);
// while the workbook is written out, that thread keeps serving its events.

#include <QDate>
#include <QString>
#include <QTime>
#include <memory>
#include <vector>

struct lxw_workbook;
struct lxw_worksheet;
struct lxw_format;

class TWorksheet
{
public:
    // Rows of a sheet: numbered from 0, at most this many (the .xlsx limit).
    static constexpr int MaxRows = 1048576;

    QString Name() const { return m_name; }
    // Each write answers false when the cell could not be written, a row past the limit
    // included: the caller decides what a lost cell means.
    bool WriteString(int row, int col, const QString &text);
    bool WriteString(int row, int col, const char *utf8);
    bool WriteNumber(int row, int col, double value);
    // Real date and time cells (formatted "dd/mmm/yyyy" and "hh:mm:ss").
    bool WriteDate(int row, int col, const QDate &date);
    bool WriteTime(int row, int col, const QTime &time);
    // The header row style (bold) for column names.
    bool WriteHeader(int row, int col, const QString &text);
    void SetColumnWidth(int firstCol, int lastCol, double width);

private:
    friend class TWorkbook;
    TWorksheet(class TWorkbook &book, lxw_worksheet *sheet, const QString &name);
    bool inRange(int row) const;

    class TWorkbook &m_book;
    lxw_worksheet *m_sheet;
    QString m_name;
};

class TWorkbook
{
public:
    // Starts a workbook meant for path. constantMemory writes each row out as soon as the next
    // one starts (rows must then go out in order); use it for large sheets. IsOpen() tells
    // whether the temporary file could be made beside the target.
    explicit TWorkbook(const QString &path, bool constantMemory = true);
    ~TWorkbook();
    TWorkbook(const TWorkbook &) = delete;
    TWorkbook &operator=(const TWorkbook &) = delete;

    bool IsOpen() const { return m_book != nullptr; }
    QString Path() const { return m_path; }

    // Whether a file may be put at path: no folder there, and an existing file one we may
    // replace (a writable folder around it).
    static bool CanReplace(const QString &path);

    // A new sheet, or nullptr when the name is refused (empty, too long, a character a sheet
    // name may not hold, or the name of a sheet already there); ErrorText() says why.
    TWorksheet *AddSheet(const QString &name);
    // Writes the workbook and renames it into place. False (ErrorText() set, the old file at
    // the target left as it was, nothing else left behind) when that failed. Once only. The
    // writing (seconds for a large sheet) runs on a worker thread that alone holds the
    // workbook meanwhile; the caller's event loop turns until it is done, so its event
    // handlers must not expect this workbook's sheets to take cells any more.
    bool Close();
    QString ErrorText() const { return m_error; }

    // Rows a sheet may take from now on; the .xlsx limit unless a test wants a smaller one.
    void SetRowLimit(int rows) { m_rowLimit = rows; }
    int RowLimit() const { return m_rowLimit; }

private:
    friend class TWorksheet;
    void discard() noexcept;

    QString m_path;
    QString m_tempPath;
    lxw_workbook *m_book = nullptr;
    lxw_format *m_dateFormat = nullptr;
    lxw_format *m_timeFormat = nullptr;
    lxw_format *m_headerFormat = nullptr;
    std::vector<std::unique_ptr<TWorksheet>> m_sheets;
    QString m_error;
    int m_rowLimit = TWorksheet::MaxRows;
};
