// "Export to Text File" and "Export to Excel File": the whole log in time order, written to a
// file the operator chose, read back byte for byte and through openpyxl.

#include "desk/signalclose.h"
#include "exportfixture.h"

#include "desk/logexport.h"
#include "store/db/sqlitedb.h"
#include "store/pgbar.h"
#include "testsupport/fakefiledialogs.h"
#include "testsupport/spin.h"
#include "testsupport/workbookreader.h"
#include "testsupport/zonescope.h"

#include <QAction>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QTimer>
#include <gtest/gtest.h>

#include <csignal>

namespace {

QByteArray readFile(const QString &name)
{
    QFile f(name);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

class ExportTest : public ExportWindowTest
{
protected:
    // A log of holders, a holder whose group is gone, an exit-button row, an unknown card and
    // odd codes, written out of time order.
    void fillLog()
    {
        const int office = AddGroup(QStringLiteral("Office"));
        const int gone = AddGroup(QStringLiteral("Night shift"));
        AddStaff(1001, QStringLiteral("Zoë Ångström"), office);
        AddStaff(1002, QStringLiteral("Bob Gray"), gone);
        ASSERT_TRUE(dsrc->gidtbl.Locate(QStringLiteral("ID"), gone));
        dsrc->gidtbl.Delete();
        AddLog(QDateTime(QDate(2026, 6, 16), QTime(8, 5, 9)), 1002, 2, 2, 2);
        AddLog(QDateTime(QDate(2026, 6, 15), QTime(23, 59, 59)), -1, 0, 1, 1);
        AddLog(QDateTime(QDate(2026, 6, 15), QTime(8, 0, 0)), 1001, 1, 1, 1);
        AddLog(QDateTime(QDate(2026, 6, 16), QTime(0, 0, 0)), 424242, 7, 9, 0);
    }
};

TEST_F(ExportTest, TextFileHoldsOneLinePerRowInTimeOrder)
{
    fillLog();
    OpenWindow();
    const QString path = file(QStringLiteral("log.txt"));
    run("acttext", path);
    EXPECT_EQ(Messages().Texts(), QStringList{QStringLiteral("Completed.")});
    EXPECT_EQ(m_dialogs.Last().proposedName, QStringLiteral("log"));
    EXPECT_EQ(m_dialogs.Last().defaultSuffix, QStringLiteral("txt"));
    const QByteArray expected =
        QStringLiteral("2026/Jun/15 08:00:00 000001001 \"Zoë Ångström\" \"Office\" {IN}\r\n"
                       "2026/Jun/15 23:59:59 -000000001 \"[NO NAME]\" \"[NO GROUP]\" {CLOCK}\r\n"
                       "2026/Jun/16 00:00:00 000424242 \"[NO NAME]\" \"[NO GROUP]\" {N/A}\r\n"
                       "2026/Jun/16 08:05:09 000001002 \"Bob Gray\" \"\" {OUT}\r\n")
            .toUtf8();
    EXPECT_EQ(readFile(path), expected);
}

TEST_F(ExportTest, TextExportAgainReplacesTheFileAndFindsCardsAddedMeanwhile)
{
    AddLog(QDateTime(QDate(2026, 6, 15), QTime(8, 0, 0)), 77, 1, 1, 1);
    OpenWindow();
    const QString path = file(QStringLiteral("log.txt"));
    run("acttext", path);
    AddStaff(77, QStringLiteral("New Hire"), 1);
    run("acttext", path);
    EXPECT_EQ(readFile(path),
              QByteArray("2026/Jun/15 08:00:00 000000077 \"New Hire\" \"DEFAULT\" {IN}\r\n"));
}

TEST_F(ExportTest, WorkbookSheetRecordsHoldsTypedCells)
{
    fillLog();
    OpenWindow();
    const QString path = file(QStringLiteral("log.xlsx"));
    run("actexcel", path);
    EXPECT_EQ(Messages().Texts(), QStringList{QStringLiteral("Completed.")});
    EXPECT_EQ(m_dialogs.Last().defaultSuffix, QStringLiteral("xlsx"));
    const QList<TSheetRows> sheets = ReadWorkbook(path);
    ASSERT_EQ(sheets.size(), 1);
    EXPECT_EQ(sheets[0].name, QStringLiteral("RECORDS"));
    const QList<QStringList> expected = {
        Texts(
            {"s:DATE", "s:TIME", "s:CARDNO", "s:NAME", "s:GROUP", "s:MODE", "s:READER", "s:LOCK"}),
        Texts({"d:2026-06-15", "t:08:00:00", "n:1001", "s:Zoë Ångström", "s:Office", "s:IN",
               "s:COM1", "s:COM1"}),
        Texts({"d:2026-06-15", "t:23:59:59", "n:-1", "s:[NO NAME]", "s:[NO GROUP]", "s:CLOCK",
               "s:COM1", "s:COM1"}),
        Texts({"d:2026-06-16", "t:00:00:00", "n:424242", "s:[NO NAME]", "s:[NO GROUP]", "s:N/A",
               "s:ERROR", "s:DENIED"}),
        Texts({"d:2026-06-16", "t:08:05:09", "n:1002", "s:Bob Gray", "", "s:OUT", "s:COM2",
               "s:COM2"}),
    };
    EXPECT_EQ(sheets[0].rows, expected);
    EXPECT_EQ(sheets[0].numberFormats.mid(0, 2),
              (QStringList{QStringLiteral("dd/mmm/yyyy"), QStringLiteral("hh:mm:ss")}));
}

TEST_F(ExportTest, WhatTheOperatorSeesWhenAnExportCannotGoAhead)
{
    struct Case
    {
        const char *what;
        const char *command;
        bool emptyLog;
        QString target; // empty: the dialog is cancelled
        QStringList messages;
        bool dialogAsked;
    };
    QDir(m_out.path()).mkdir(QStringLiteral("folder.txt"));
    QDir(m_out.path()).mkdir(QStringLiteral("folder.xlsx"));
    const QString textFolder = file(QStringLiteral("folder.txt"));
    const QString folder = file(QStringLiteral("folder.xlsx"));
    const QString missing = file(QStringLiteral("no such folder/log.xlsx"));
    const QString missingText = file(QStringLiteral("no such folder/log.txt"));
    const Case cases[] = {
        {"empty log, text", "acttext", true, file("a.txt"), Texts({"No record."}), false},
        {"empty log, workbook", "actexcel", true, file("a.xlsx"), Texts({"No record."}), false},
        {"text dialog cancelled", "acttext", false, QString(), QStringList(), true},
        {"workbook dialog cancelled", "actexcel", false, QString(), QStringList(), true},
        {"text onto a folder", "acttext", false, textFolder,
         Texts({"File locked and cannot be used for exporting."}), true},
        {"text in a missing folder", "acttext", false, missingText,
         Texts({"File locked and cannot be used for exporting."}), true},
        {"workbook onto a folder",
         "actexcel",
         false,
         folder,
         {QStringLiteral("Cannot replace file: ") + folder},
         true},
        {"workbook in a missing folder",
         "actexcel",
         false,
         missing,
         {QStringLiteral("Cannot open file: ") + missing},
         true},
    };
    OpenWindow();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        TTransaction clear(dsrc->att);
        dsrc->att.Exec(QStringLiteral("DELETE FROM recorder"));
        clear.Commit();
        if (!c.emptyLog)
            AddLog(QDateTime(QDate(2026, 6, 15), QTime(8, 0, 0)), 1001);
        dsrc->logs.Close();
        dsrc->logs.Open();
        Messages().Clear();
        const int asked = m_dialogs.Count();
        if (c.dialogAsked) {
            run(c.command, c.target);
        } else {
            m_window->SetLoggedIn(true);
            command(c.command)->trigger();
        }
        EXPECT_EQ(Messages().Texts().join(u'|').toStdString(), c.messages.join(u'|').toStdString());
        EXPECT_EQ(m_dialogs.Count() - asked, c.dialogAsked ? 1 : 0);
        EXPECT_EQ(QDir(m_out.path()).entryList(QDir::Files | QDir::Hidden), QStringList())
            << "nothing written";
    }
}

TEST_F(ExportTest, BothCommandsAreProtected)
{
    OpenWindow();
    m_window->SetLoggedIn(false);
    for (const char *name : {"acttext", "actexcel"}) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(m_window->ProtectedCommands().contains(command(name)));
        EXPECT_FALSE(command(name)->isEnabled());
    }
}

// While an export runs the event loop turns: a swipe is logged, but the database commands (the
// other export too) are refused and a close of the window waits until the file is written.
TEST_F(ExportTest, DatabaseCommandsAndCloseWaitWhileTheLogIsExported)
{
    struct Case
    {
        const char *command;
        const char *other;
        void (TTimeRec::*otherHandler)();
        const char *file;
    };
    const Case cases[] = {
        {"acttext", "actexcel", &TTimeRec::xexcelClick, "log.txt"},
        {"actexcel", "acttext", &TTimeRec::xtextClick, "log.xlsx"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.command);
        AddLog(QDateTime(QDate(2026, 6, 15), QTime(8, 0, 0)), 1001);
        TTimeRec &w = OpenWindow();
        w.SetDialogRunner([](QDialog &dialog) {
            ADD_FAILURE() << "a dialog was shown: " << dialog.windowTitle().toStdString();
            return int(QDialog::Rejected);
        });
        Messages().Clear();
        bool seen = false;
        bool refused = false;
        int rowsDuring = 0;
        QTimer::singleShot(0, &w, [&] {
            seen = w.LongWorkRunning();
            refused = !command("actdelete")->isEnabled() && !command("xdelete")->isEnabled() &&
                      !command(c.other)->isEnabled() && !command(c.command)->isEnabled();
            // Called all the same: no question, no dialog (either would fail the test).
            w.actdeleteExecute();
            w.xdeleteClick();
            (w.*c.otherHandler)();
            AddLog(QDateTime(QDate(2026, 6, 15), QTime(9, 0, 0)), 1002);
            rowsDuring = Count(dsrc->att, QStringLiteral("recorder"));
            w.close();
        });
        const QString path = file(c.file);
        run(c.command, path);
        ASSERT_TRUE(seen) << "the export never let the event loop turn";
        EXPECT_TRUE(refused);
        EXPECT_EQ(rowsDuring, 2);
        EXPECT_EQ(Messages().Texts(), QStringList{QStringLiteral("Completed.")});
        EXPECT_EQ(m_dialogs.PendingAnswers(), 0);
        EXPECT_TRUE(QFileInfo::exists(path));
        // The close asked for meanwhile happens once the export is over.
        EXPECT_TRUE(SpinUntil([] { return !dsrc->att.IsOpen(); }, 3000));
        CloseWindow();
        m_data->ReopenDatabases();
        TTransaction clear(dsrc->att);
        dsrc->att.Exec(QStringLiteral("DELETE FROM recorder"));
        clear.Commit();
    }
}

// rows log rows of card 1001, a minute apart from the start of 2026.
void addMinuteLog(int rows)
{
    dsrc->att.Exec(
        QStringLiteral(
            "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
            "INSERT INTO recorder (SYSTIME, CARDNO, MODE, READER, LOCK) "
            "SELECT datetime('2026-01-01', '+' || i || ' minutes'), 1001, 1, 1, 1 FROM n")
            .arg(rows));
}

// Writing out the workbook after its last row takes long for a large log: swipes are still
// answered meanwhile, the database commands stay refused, a close of the window waits, and the
// file appears under its name only once it is whole.
TEST_F(ExportTest, TheWorkbookIsWrittenOutWithTheEventLoopTurning)
{
    // Not a whole number of batches: no turn comes with the last rows' step.
    const int rows = 40 * TLogExport::BatchRows + 7;
    addMinuteLog(rows);
    TTimeRec &w = OpenWindow();
    Messages().Clear();
    const QString path = file(QStringLiteral("log.xlsx"));
    bool writingOut = false, targetThere = true, refused = false, stillOpen = false;
    int logged = 0;
    QTimer watch;
    watch.setInterval(1);
    QObject::connect(&watch, &QTimer::timeout, &w, [&] {
        const Tpbar *bar = w.findChild<Tpbar *>();
        if (writingOut || !w.LongWorkRunning() || !bar || bar->Position() < bar->Maximum())
            return;
        // Every row is on the sheet: this is the workbook being written out.
        writingOut = true;
        targetThere = QFileInfo::exists(path);
        refused = !command("actexcel")->isEnabled() && !command("actdelete")->isEnabled();
        AddLog(QDateTime(QDate(2026, 6, 15), QTime(9, 0, 0)), 1002);
        logged = Count(dsrc->att, QStringLiteral("recorder"));
        w.close();
        stillOpen = dsrc->att.IsOpen();
    });
    watch.start();
    run("actexcel", path);
    watch.stop();
    ASSERT_TRUE(writingOut) << "the workbook was written out with the event loop standing";
    EXPECT_FALSE(targetThere);
    EXPECT_TRUE(refused);
    EXPECT_EQ(logged, rows + 1);
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(Messages().Texts(), QStringList{QStringLiteral("Completed.")});
    const QList<TSheetRows> sheets = ReadWorkbook(path);
    ASSERT_EQ(sheets.size(), 1);
    EXPECT_EQ(sheets[0].rows.size(), rows + 1);
    EXPECT_EQ(written(), QStringList{QStringLiteral("log.xlsx")});
    // The close asked for meanwhile happens once the export is over.
    EXPECT_TRUE(SpinUntil([] { return !dsrc->att.IsOpen(); }, 3000));
    CloseWindow();
}

// A signal to end, sent while a large export writes its workbook, closes the desk as "Exit"
// does: once the workbook is whole and in place, its temporary gone, the databases closed.
TEST_F(ExportTest, ASignalDuringAnExportClosesOnceTheWorkbookIsWritten)
{
    const int rows = 20 * TLogExport::BatchRows + 3;
    addMinuteLog(rows);
    for (const int number : {SIGTERM, SIGHUP, SIGINT}) {
        SCOPED_TRACE(number);
        TTimeRec &w = OpenWindow();
        TSignalClose signalClose;
        ASSERT_TRUE(signalClose.Installed());
        QObject::connect(&signalClose, &TSignalClose::Requested, &w, [&w] { w.close(); });
        Messages().Clear();
        const QString name = QStringLiteral("log%1.xlsx").arg(number);
        const QString path = file(name);
        bool sent = false, stillOpen = false;
        QTimer watch;
        watch.setInterval(1);
        QObject::connect(&watch, &QTimer::timeout, &w, [&] {
            const Tpbar *bar = w.findChild<Tpbar *>();
            if (sent || !w.LongWorkRunning() || !bar || bar->Position() < bar->Maximum() / 2)
                return;
            sent = true;
            ::raise(number);
            QCoreApplication::processEvents(); // the signal is read on the event loop
            stillOpen = dsrc->att.IsOpen();
        });
        watch.start();
        run("actexcel", path);
        watch.stop();
        ASSERT_TRUE(sent);
        EXPECT_TRUE(stillOpen);
        EXPECT_EQ(Messages().Texts(), QStringList{QStringLiteral("Completed.")});
        const QList<TSheetRows> sheets = ReadWorkbook(path);
        ASSERT_EQ(sheets.size(), 1);
        EXPECT_EQ(sheets[0].rows.size(), rows + 1);
        EXPECT_TRUE(written().contains(name));
        for (const QString &f : written())
            EXPECT_FALSE(f.startsWith(QLatin1Char('.'))) << "left behind: " << f.toStdString();
        EXPECT_TRUE(SpinUntil([] { return !dsrc->att.IsOpen(); }, 3000));
        CloseWindow();
    }
}

// Stored times are wall-clock values: in Berlin, where the clocks skip from 02:00 to 03:00 on
// 2026-03-29 and go back from 03:00 to 02:00 on 2026-10-25, a time in either hour is written
// as stored, in the usual form and in the others a file may hold; no time is the zero date.
TEST_F(ExportTest, TextLinesCarryTheStoredClock)
{
    const ZoneScope berlin("Europe/Berlin");
    struct Case
    {
        const char *stored;
        const char *line;
    };
    const Case cases[] = {
        {"2026-03-29 02:30:00", "2026/Mar/29 02:30:00"}, // the skipped hour
        {"2026-03-29 02:30", "2026/Mar/29 02:30:00"},    // the same, without seconds
        {"2026-03-29T02:30:15.5", "2026/Mar/29 02:30:15"},
        {"2026-10-25 02:30", "2026/Oct/25 02:30:00"}, // the repeated hour
        {"17:05:09", "1899/Dec/30 17:05:09"},
        {"no time", "1899/Dec/30 00:00:00"},
    };
    const QString path = file(QStringLiteral("log.txt"));
    for (const Case &c : cases) {
        SCOPED_TRACE(c.stored);
        dsrc->att.Exec(QStringLiteral("delete from recorder"));
        AddLog(c.stored, 7, 1);
        TLogExport exporter(dsrc->att, dsrc->src);
        ASSERT_EQ(exporter.ExportText(path), TLogExport::Outcome::Completed);
        EXPECT_EQ(readFile(path),
                  QByteArray(c.line) + " 000000007 \"[NO NAME]\" \"[NO GROUP]\" {IN}\r\n");
    }
}

// A sheet that is full keeps the rows it took, and the export says it failed.
TEST_F(ExportTest, ASheetPastItsRowLimitKeepsTheRowsWrittenAndFails)
{
    for (int i = 0; i < 5; ++i)
        AddLog(QDateTime(QDate(2026, 6, 15), QTime(8, i, 0)), 1000 + i);
    TLogExport exporter(dsrc->att, dsrc->src);
    exporter.SetRowLimit(4); // the header and three rows
    const QString path = file(QStringLiteral("full.xlsx"));
    EXPECT_EQ(exporter.ExportWorkbook(path), TLogExport::Outcome::RowRefused);
    const QList<TSheetRows> sheets = ReadWorkbook(path);
    ASSERT_EQ(sheets.size(), 1);
    ASSERT_EQ(sheets[0].rows.size(), 4);
    EXPECT_EQ(sheets[0].rows[3].value(2), QStringLiteral("n:1002"));
}

// Swipes logged while the event loop turns between batches are not part of this export, and
// the gauge steps by every row exported.
TEST_F(ExportTest, RowsLoggedDuringAnExportAreLeftForTheNext)
{
    const int rows = TLogExport::BatchRows + 10;
    {
        TTransaction t(dsrc->att);
        for (int i = 0; i < rows; ++i)
            AddLog(QDateTime(QDate(2026, 6, 15), QTime(0, 0).addSecs(i)), 1);
        t.Commit();
    }
    TLogExport exporter(dsrc->att, dsrc->src);
    int steps = 0;
    int turns = 0;
    exporter.SetStep([&steps](int rows) { steps += rows; });
    exporter.SetBetweenBatches([&turns] {
        ++turns;
        // A swipe later than every row, and one earlier, while the export runs.
        AddLog(QDateTime(QDate(2026, 6, 16), QTime(9, 0)), 5);
        AddLog(QDateTime(QDate(2026, 6, 14), QTime(9, 0)), 6);
    });
    const QString path = file(QStringLiteral("log.txt"));
    ASSERT_EQ(exporter.ExportText(path), TLogExport::Outcome::Completed);
    EXPECT_EQ(turns, 1);
    EXPECT_EQ(steps, rows);
    const QList<QByteArray> lines = readFile(path).split('\n');
    EXPECT_EQ(lines.size() - 1, rows);
    EXPECT_FALSE(readFile(path).contains("000000005"));
    EXPECT_FALSE(readFile(path).contains("000000006"));
}

} // namespace
