// Workbooks written through libxlsxwriter and read back with openpyxl: the file appears under
// its name only when whole, the cells keep their types, and refused sheet names are refused.

#include "store/workbook.h"
#include "testsupport/workbookreader.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

QStringList entries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

void writeFile(const QString &name, const QByteArray &bytes)
{
    QFile f(name);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(f.write(bytes), bytes.size());
}

QByteArray readFile(const QString &name)
{
    QFile f(name);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

TEST(TWorkbook, CellsReadBackWithTheirTypesAndTheFileAppearsOnlyWhenClosed)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("log.xlsx"));
    {
        TWorkbook book(path);
        ASSERT_TRUE(book.IsOpen()) << book.ErrorText().toStdString();
        TWorksheet *sheet = book.AddSheet(QStringLiteral("RECORDS"));
        ASSERT_NE(sheet, nullptr);
        EXPECT_TRUE(sheet->WriteHeader(0, 0, QStringLiteral("DATE")));
        EXPECT_TRUE(sheet->WriteHeader(0, 1, QStringLiteral("TIME")));
        EXPECT_TRUE(sheet->WriteDate(1, 0, QDate(2026, 2, 28)));
        EXPECT_TRUE(sheet->WriteTime(1, 1, QTime(23, 59, 59)));
        EXPECT_TRUE(sheet->WriteNumber(1, 2, -1));
        EXPECT_TRUE(sheet->WriteString(1, 3, QStringLiteral("Zoë Ångström")));
        ASSERT_NE(book.AddSheet(QStringLiteral("second sheet")), nullptr);
        EXPECT_FALSE(QFileInfo::exists(path)) << "the name is taken only by a whole workbook";
        ASSERT_TRUE(book.Close()) << book.ErrorText().toStdString();
    }
    EXPECT_EQ(entries(dir.path()), QStringList{QStringLiteral("log.xlsx")});
    const QList<TSheetRows> sheets = ReadWorkbook(path);
    ASSERT_EQ(sheets.size(), 2);
    EXPECT_EQ(sheets[0].name, QStringLiteral("RECORDS"));
    EXPECT_EQ(sheets[1].name, QStringLiteral("second sheet"));
    ASSERT_EQ(sheets[0].rows.size(), 2);
    EXPECT_EQ(sheets[0].rows[0], (QStringList{QStringLiteral("s:DATE"), QStringLiteral("s:TIME")}));
    EXPECT_EQ(sheets[0].rows[1],
              (QStringList{QStringLiteral("d:2026-02-28"), QStringLiteral("t:23:59:59"),
                           QStringLiteral("n:-1"), QStringLiteral("s:Zoë Ångström")}));
    EXPECT_EQ(sheets[0].numberFormats.mid(0, 2),
              (QStringList{QStringLiteral("dd/mmm/yyyy"), QStringLiteral("hh:mm:ss")}));
}

TEST(TWorkbook, RefusesSheetNamesAWorkbookCannotHold)
{
    struct Case
    {
        const char *what;
        QString name;
    };
    const Case cases[] = {
        {"empty", QString()},
        {"already there", QStringLiteral("Ann Lee")},
        {"same but for case", QStringLiteral("ANN LEE")},
        {"longer than 31 characters", QString(32, u'x')},
        {"a colon", QStringLiteral("Shift:A")},
        {"a slash", QStringLiteral("A/B")},
        {"a backslash", QStringLiteral("A\\B")},
        {"a question mark", QStringLiteral("Who?")},
        {"a star", QStringLiteral("Star*")},
        {"brackets", QStringLiteral("[Team]")},
        {"a leading apostrophe", QStringLiteral("'Quoted")},
    };
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("names.xlsx"));
    TWorkbook book(path);
    ASSERT_NE(book.AddSheet(QStringLiteral("Ann Lee")), nullptr);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(book.AddSheet(c.name), nullptr);
        EXPECT_FALSE(book.ErrorText().isEmpty());
    }
    ASSERT_NE(book.AddSheet(QString(31, u'y')), nullptr) << "31 characters are allowed";
    ASSERT_TRUE(book.Close());
    const QList<TSheetRows> sheets = ReadWorkbook(path);
    ASSERT_EQ(sheets.size(), 2);
    EXPECT_EQ(sheets[1].name, QString(31, u'y'));
}

TEST(TWorkbook, ANotClosedWorkbookLeavesTheOldFileAndNothingElse)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("old.xlsx"));
    writeFile(path, "last month's workbook");
    {
        TWorkbook book(path);
        TWorksheet *sheet = book.AddSheet(QStringLiteral("RECORDS"));
        ASSERT_NE(sheet, nullptr);
        sheet->WriteString(0, 0, QStringLiteral("half"));
    } // an export that failed on its way out
    EXPECT_EQ(readFile(path), QByteArray("last month's workbook"));
    EXPECT_EQ(entries(dir.path()), QStringList{QStringLiteral("old.xlsx")});
}

TEST(TWorkbook, AClosedWorkbookReplacesTheOldFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("old.xlsx"));
    writeFile(path, "last month's workbook");
    TWorkbook book(path);
    ASSERT_NE(book.AddSheet(QStringLiteral("fresh")), nullptr);
    ASSERT_TRUE(book.Close());
    const QList<TSheetRows> sheets = ReadWorkbook(path);
    ASSERT_EQ(sheets.size(), 1);
    EXPECT_EQ(sheets[0].name, QStringLiteral("fresh"));
    EXPECT_EQ(entries(dir.path()), QStringList{QStringLiteral("old.xlsx")});
}

TEST(TWorkbook, ARowPastTheSheetLimitIsRefusedAndTheRowsBeforeItStay)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("full.xlsx"));
    TWorkbook book(path);
    book.SetRowLimit(3);
    TWorksheet *sheet = book.AddSheet(QStringLiteral("RECORDS"));
    ASSERT_NE(sheet, nullptr);
    for (int row = 0; row < 3; ++row)
        EXPECT_TRUE(sheet->WriteNumber(row, 0, row));
    EXPECT_FALSE(sheet->WriteNumber(3, 0, 3));
    EXPECT_FALSE(sheet->WriteString(3, 1, QStringLiteral("lost")));
    ASSERT_TRUE(book.Close());
    const QList<TSheetRows> sheets = ReadWorkbook(path);
    ASSERT_EQ(sheets.size(), 1);
    EXPECT_EQ(sheets[0].rows.size(), 3);
}

// Writing out a large sheet takes long: meanwhile the calling thread serves its events, the
// workbook takes no more sheets, and the file appears under its name only once it is whole.
TEST(TWorkbook, EventsAreServedWhileTheWorkbookIsWrittenOut)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("large.xlsx"));
    constexpr int Rows = 30000;
    TWorkbook book(path);
    TWorksheet *sheet = book.AddSheet(QStringLiteral("RECORDS"));
    ASSERT_NE(sheet, nullptr);
    for (int row = 0; row < Rows; ++row) {
        sheet->WriteNumber(row, 0, row);
        sheet->WriteString(row, 1, QStringLiteral("holder %1").arg(row));
        sheet->WriteDate(row, 2, QDate(2026, 1, 1).addDays(row % 365));
    }
    bool served = false;
    bool targetThere = true;
    bool sheetTaken = true;
    bool onThisThread = false;
    QTimer::singleShot(0, [&] {
        served = true;
        onThisThread = QThread::currentThread() == QCoreApplication::instance()->thread();
        targetThere = QFileInfo::exists(path);
        sheetTaken = book.AddSheet(QStringLiteral("late")) != nullptr;
    });
    ASSERT_TRUE(book.Close()) << book.ErrorText().toStdString();
    EXPECT_TRUE(served) << "the close held the event loop";
    EXPECT_TRUE(onThisThread);
    EXPECT_FALSE(targetThere);
    EXPECT_FALSE(sheetTaken);
    EXPECT_EQ(entries(dir.path()), QStringList{QStringLiteral("large.xlsx")});
    const QList<TSheetRows> sheets = ReadWorkbook(path);
    ASSERT_EQ(sheets.size(), 1);
    ASSERT_EQ(sheets[0].rows.size(), Rows);
    EXPECT_EQ(sheets[0].rows.last().value(1), QStringLiteral("s:holder %1").arg(Rows - 1));
}

TEST(TWorkbook, TargetsThatCannotTakeAWorkbook)
{
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("folder.xlsx")));
    EXPECT_FALSE(TWorkbook::CanReplace(dir.filePath(QStringLiteral("folder.xlsx"))));
    EXPECT_TRUE(TWorkbook::CanReplace(dir.filePath(QStringLiteral("new.xlsx"))));

    const QString inMissingFolder = dir.filePath(QStringLiteral("no such folder/log.xlsx"));
    TWorkbook book(inMissingFolder);
    EXPECT_FALSE(book.IsOpen());
    EXPECT_EQ(book.AddSheet(QStringLiteral("RECORDS")), nullptr);
    EXPECT_FALSE(book.Close());
    EXPECT_FALSE(QFileInfo::exists(inMissingFolder));
}

} // namespace
