#include "store/workbook.h"

#include "store/eventwait.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QObject>
#include <QTemporaryFile>
#include <atomic>
#include <filesystem>
#include <system_error>
#include <thread>
#include <utility>
#include <xlsxwriter.h>

namespace {

// Julian day of Excel's day 0 (1899-12-30; the 1900 date system from March 1900 on).
constexpr qint64 ExcelEpochJulianDay = 2415019;

// libxlsxwriter zips every sheet when the workbook is closed: seconds for a large sheet. That
// runs on a thread of its own, which alone holds the workbook until it is done, while this
// thread sleeps on its events (swipes, timers, paints go on). Without an application there
// are no events to serve, and the close is simply waited for.
lxw_error closeOffThread(lxw_workbook *book)
{
    std::atomic<bool> done{false};
    lxw_error rc = LXW_NO_ERROR;
    QObject waiter; // the worker's wake-up lands on this thread; outlives the worker
    std::jthread worker;
    try {
        worker = std::jthread([&] {
            rc = workbook_close(book);
            done = true;
            WakeWaiter(&waiter);
        });
    } catch (const std::system_error &) {
        return workbook_close(book); // no thread to be had: written here, as before
    }
    if (QCoreApplication::instance())
        WaitOnEvents([&done] { return done.load(); });
    worker.join();
    return rc;
}

} // namespace

// ---- TWorksheet ---------------------------------------------------------------------------

TWorksheet::TWorksheet(TWorkbook &book, lxw_worksheet *sheet, const QString &name)
    : m_book(book), m_sheet(sheet), m_name(name)
{
}

bool TWorksheet::inRange(int row) const
{
    return row >= 0 && row < m_book.m_rowLimit;
}

bool TWorksheet::WriteString(int row, int col, const char *utf8)
{
    return inRange(row) && worksheet_write_string(m_sheet, lxw_row_t(row), lxw_col_t(col), utf8,
                                                  nullptr) == LXW_NO_ERROR;
}

bool TWorksheet::WriteString(int row, int col, const QString &text)
{
    return WriteString(row, col, text.toUtf8().constData());
}

bool TWorksheet::WriteNumber(int row, int col, double value)
{
    return inRange(row) && worksheet_write_number(m_sheet, lxw_row_t(row), lxw_col_t(col), value,
                                                  nullptr) == LXW_NO_ERROR;
}

bool TWorksheet::WriteDate(int row, int col, const QDate &date)
{
    if (!date.isValid())
        return false;
    return inRange(row) && worksheet_write_number(m_sheet, lxw_row_t(row), lxw_col_t(col),
                                                  double(date.toJulianDay() - ExcelEpochJulianDay),
                                                  m_book.m_dateFormat) == LXW_NO_ERROR;
}

bool TWorksheet::WriteTime(int row, int col, const QTime &time)
{
    if (!time.isValid())
        return false;
    // A time of day is the fraction of a day, with no date part.
    return inRange(row) && worksheet_write_number(m_sheet, lxw_row_t(row), lxw_col_t(col),
                                                  time.msecsSinceStartOfDay() / 86400000.0,
                                                  m_book.m_timeFormat) == LXW_NO_ERROR;
}

bool TWorksheet::WriteHeader(int row, int col, const QString &text)
{
    return inRange(row) &&
           worksheet_write_string(m_sheet, lxw_row_t(row), lxw_col_t(col),
                                  text.toUtf8().constData(), m_book.m_headerFormat) == LXW_NO_ERROR;
}

void TWorksheet::SetColumnWidth(int firstCol, int lastCol, double width)
{
    worksheet_set_column(m_sheet, lxw_col_t(firstCol), lxw_col_t(lastCol), width, nullptr);
}

// ---- TWorkbook ----------------------------------------------------------------------------

TWorkbook::TWorkbook(const QString &path, bool constantMemory) : m_path(path)
{
    // The temporary name lies beside the target, so the rename at the end stays on one file
    // system and replaces the target in one step.
    const QFileInfo target(path);
    QTemporaryFile temp(target.absolutePath() + QStringLiteral("/.") + target.fileName() +
                        QStringLiteral(".XXXXXX"));
    temp.setAutoRemove(false);
    if (!temp.open()) {
        m_error = temp.errorString();
        return;
    }
    m_tempPath = temp.fileName();
    temp.close();

    lxw_workbook_options options{};
    options.constant_memory = constantMemory ? 1 : 0;
    m_book = workbook_new_opt(QFile::encodeName(m_tempPath).constData(), &options);
    if (!m_book) {
        m_error = QStringLiteral("The workbook could not be made.");
        QFile::remove(m_tempPath);
        return;
    }
    m_dateFormat = workbook_add_format(m_book);
    format_set_num_format(m_dateFormat, "dd/mmm/yyyy");
    m_timeFormat = workbook_add_format(m_book);
    format_set_num_format(m_timeFormat, "hh:mm:ss");
    m_headerFormat = workbook_add_format(m_book);
    format_set_bold(m_headerFormat);
}

TWorkbook::~TWorkbook()
{
    discard();
}

void TWorkbook::discard() noexcept
{
    if (!m_book)
        return;
    // libxlsxwriter frees a workbook only by writing it; the file then goes at once.
    m_sheets.clear();
    closeOffThread(std::exchange(m_book, nullptr));
    QFile::remove(m_tempPath);
}

bool TWorkbook::CanReplace(const QString &path)
{
    const QFileInfo info(path);
    if (info.isDir())
        return false;
    if (!info.exists())
        return true;
    return info.isFile() && info.isWritable() && QFileInfo(info.absolutePath()).isWritable();
}

TWorksheet *TWorkbook::AddSheet(const QString &name)
{
    if (!m_book)
        return nullptr;
    const QByteArray utf8 = name.toUtf8();
    // Sheet names are one name whatever the case of their letters.
    for (const auto &sheet : m_sheets) {
        if (sheet->Name().compare(name, Qt::CaseInsensitive) == 0) {
            m_error = QString::fromUtf8(lxw_strerror(LXW_ERROR_SHEETNAME_ALREADY_USED));
            return nullptr;
        }
    }
    const lxw_error refused = name.isEmpty()
                                  ? LXW_ERROR_PARAMETER_VALIDATION
                                  : workbook_validate_sheet_name(m_book, utf8.constData());
    if (refused != LXW_NO_ERROR) {
        m_error = QString::fromUtf8(lxw_strerror(refused));
        return nullptr;
    }
    lxw_worksheet *sheet = workbook_add_worksheet(m_book, utf8.constData());
    if (!sheet) {
        m_error = QStringLiteral("The sheet could not be made.");
        return nullptr;
    }
    m_sheets.push_back(std::unique_ptr<TWorksheet>(new TWorksheet(*this, sheet, name)));
    return m_sheets.back().get();
}

bool TWorkbook::Close()
{
    if (!m_book) {
        if (m_error.isEmpty())
            m_error = QStringLiteral("The workbook is not open.");
        return false;
    }
    // A workbook needs a sheet to be a workbook at all.
    if (m_sheets.empty())
        workbook_add_worksheet(m_book, nullptr);
    m_sheets.clear();
    const lxw_error rc = closeOffThread(std::exchange(m_book, nullptr));
    if (rc != LXW_NO_ERROR) {
        m_error = QString::fromUtf8(lxw_strerror(rc));
        QFile::remove(m_tempPath);
        return false;
    }
    // The temporary file was made private; the workbook gets the target's access, or the
    // usual one for a new file.
    const QFileInfo target(m_path);
    QFile::setPermissions(m_tempPath, target.exists() ? target.permissions()
                                                      : QFile::ReadOwner | QFile::WriteOwner |
                                                            QFile::ReadGroup | QFile::ReadOther);
    std::error_code ec;
    std::filesystem::rename(QFile::encodeName(m_tempPath).constData(),
                            QFile::encodeName(m_path).constData(), ec);
    if (ec) {
        m_error = QString::fromStdString(ec.message());
        QFile::remove(m_tempPath);
        return false;
    }
    return true;
}
