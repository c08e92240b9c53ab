// The "Spreadsheet" commands of the main window: the scope dialog as each command shows it,
// the save dialog with its default name, and the workbook written, read back through openpyxl.

#include "exportfixture.h"

#include "reports/setscope.h"
#include "store/db/sqlitedb.h"
#include "store/radiogroup.h"
#include "testsupport/fakefiledialogs.h"
#include "testsupport/spin.h"
#include "testsupport/workbookreader.h"

#include <QAction>
#include <QCheckBox>
#include <QDateTimeEdit>
#include <QDir>
#include <QLocale>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

std::string shown(const QList<QStringList> &rows)
{
    std::string out;
    for (const QStringList &row : rows)
        out += row.join(u'|').toStdString() + "\n";
    return out;
}

// The scope dialog as a command showed it.
struct SeenScope
{
    QString caption;
    QStringList hidden; // of the controls a command may hide
    int recordsOfInterest = -1;
};

class SpreadsheetTest : public ExportWindowTest
{
protected:
    // Ann Lee of "Office" (windows 09:00-12:00 and 13:00-18:00) with two pairs on 1 June, Bob
    // of the default group (no time table) with one pair on 2 June.
    void fillLog()
    {
        const int office = AddGroup(QStringLiteral("Office"));
        AddStaff(1, QStringLiteral("Ann Lee"), office);
        AddStaff(2, QStringLiteral("Bob"), 1);
        addWindow(office, "09:00:00", "12:00:00");
        addWindow(office, "13:00:00", "18:00:00");
        AddLog(QDateTime(QDate(2026, 6, 1), QTime(9, 10)), 1, 1);
        AddLog(QDateTime(QDate(2026, 6, 1), QTime(12, 0)), 1, 2);
        AddLog(QDateTime(QDate(2026, 6, 1), QTime(13, 0)), 1, 1);
        AddLog(QDateTime(QDate(2026, 6, 1), QTime(17, 30)), 1, 2);
        AddLog(QDateTime(QDate(2026, 6, 2), QTime(8, 0)), 2, 1);
        AddLog(QDateTime(QDate(2026, 6, 2), QTime(17, 0)), 2, 2);
    }
    static void addWindow(int group, const char *in, const char *out)
    {
        TStatement st = dsrc->src.Prepare(
            QStringLiteral("insert into timetbl (gid, timein, timeout) values (?, ?, ?)"));
        st.Bind(1, group);
        st.Bind(2, QString::fromLatin1(in));
        st.Bind(3, QString::fromLatin1(out));
        st.Step();
    }

    // The scope dialog answered: all staff, 1 to 7 June, "4" records a line, ALL records where
    // the choice is shown, one sheet per member when asked; Confirm unless cancel.
    void answerScope(bool confirm, bool sheetPerMember = false)
    {
        m_window->SetDialogRunner([this, confirm, sheetPerMember](QDialog &dialog) {
            auto *scope = qobject_cast<TSetScope *>(&dialog);
            EXPECT_NE(scope, nullptr);
            if (!scope)
                return int(TScopeDialog::ResultCancel);
            ++m_scopesShown;
            m_seen.caption = scope->windowTitle();
            m_seen.hidden.clear();
            for (const char *name : {"cbenhance", "cbpreview", "rgformat", "rgrecord", "rgscope",
                                     "cbblank", "cbnewpage", "persons"}) {
                auto *control = scope->findChild<QWidget *>(QString::fromLatin1(name));
                EXPECT_NE(control, nullptr) << name;
                if (control && control->isHidden())
                    m_seen.hidden << QString::fromLatin1(name);
            }
            m_seen.recordsOfInterest = scope->rgscope->ItemIndex();
            scope->persons->rballstaff->setChecked(true);
            scope->dates->rbrange->setChecked(true);
            scope->dates->dpfrom->setDate(QDate(2026, 6, 1));
            scope->dates->dpto->setDate(QDate(2026, 6, 7));
            scope->rgrecord->SetItemIndex(1);
            if (!scope->rgscope->isHidden())
                scope->rgscope->SetItemIndex(0);
            scope->cbblank->setChecked(false);
            scope->cbnewpage->setChecked(sheetPerMember);
            if (confirm)
                scope->Button1Click();
            else
                scope->Button2Click();
            return scope->result();
        });
    }

    SeenScope m_seen;
    int m_scopesShown = 0;
};

const char *const AllCommands[] = {"actexpfix", "actexpfilo", "actAllinout", "actAttnPairs"};

TEST_F(SpreadsheetTest, EachCommandWritesItsWorkbook)
{
    struct Case
    {
        const char *command;
        const char *caption;
        const char *defaultName;
        QStringList hidden;
        int recordsOfInterest; // as the dialog opened; -1: left as stored
        QList<QStringList> rows;
    };
    const QStringList always = Texts({"cbenhance", "cbpreview", "rgformat"});
    const Case cases[] = {
        {"actexpfix",
         "Time Logs",
         "Time Logs",
         always,
         -1,
         {Texts({"s:NAME", "s:GROUP", "s:DATE", "s:TIME1", "s:TIME2", "s:TIME3", "s:TIME4"}),
          Texts({"s:Ann Lee", "s:Office", "d:2026-06-01", "s:09:10:00", "s:12:00:00", "s:13:00:00",
                 "s:17:30:00"}),
          Texts({"s:Bob", "s:DEFAULT", "d:2026-06-02", "s:08:00:00", "s:17:00:00"})}},
        {"actexpfilo",
         "First IN / Last OUT",
         "First In Last Out",
         always + Texts({"rgrecord"}),
         -1,
         {Texts({"s:NAME", "s:GROUP", "s:DATE", "s:FIRST", "s:LAST", "s:STATUS"}),
          Texts({"s:Ann Lee", "s:Office", "d:2026-06-01", "s:09:10:00", "s:17:30:00", "s:OK"}),
          Texts({"s:Bob", "s:DEFAULT", "d:2026-06-02", "s:08:00:00", "s:17:00:00", "s:OK"})}},
        {"actAllinout",
         "IN/OUT Pairs",
         "IN OUT pairs",
         always + Texts({"rgscope"}),
         2,
         {Texts({"s:NAME", "s:GROUP", "s:DATE", "s:IN1", "s:OUT1", "s:IN2", "s:OUT2", "s:STATUS"}),
          Texts({"s:Ann Lee", "s:Office", "d:2026-06-01", "s:09:10:00", "s:12:00:00", "s:13:00:00",
                 "s:17:30:00", "s:OK"}),
          Texts({"s:Bob", "s:DEFAULT", "d:2026-06-02", "s:08:00:00", "s:17:00:00", "", "",
                 "s:Incomplete"})}},
        {"actAttnPairs",
         "Late and Early Leave",
         "Late and Early Leave",
         always + Texts({"rgscope"}),
         2,
         {Texts({"s:NAME", "s:GROUP", "s:DATE", "s:IN1", "s:LT1", "s:OUT1", "s:EL1", "s:IN2",
                 "s:LT2", "s:OUT2", "s:EL2"}),
          Texts({"s:Ann Lee", "s:Office", "d:2026-06-01", "s:09:10:00", "s:00:10:00", "s:12:00:00",
                 "s:00:00:00", "s:13:00:00", "s:00:00:00", "s:17:30:00", "s:00:30:00"}),
          // No time table: the day's row holds its date only.
          Texts({"s:Bob", "s:DEFAULT", "d:2026-06-02"})}},
    };
    fillLog();
    OpenWindow();
    answerScope(true);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.command);
        Messages().Clear();
        const QString path = file(QString::fromLatin1(c.command) + QStringLiteral(".xlsx"));
        run(c.command, path);
        EXPECT_EQ(Messages().Texts(), QStringList{QStringLiteral("Completed.")});
        EXPECT_EQ(m_seen.caption, QString::fromLatin1(c.caption));
        EXPECT_EQ(m_seen.hidden, c.hidden);
        if (c.recordsOfInterest >= 0)
            EXPECT_EQ(m_seen.recordsOfInterest, c.recordsOfInterest);
        EXPECT_EQ(m_dialogs.Last().kind, FileDialogKind::Save);
        EXPECT_EQ(m_dialogs.Last().proposedName, QString::fromLatin1(c.defaultName));
        EXPECT_EQ(m_dialogs.Last().defaultSuffix, QStringLiteral("xlsx"));
        EXPECT_EQ(m_window->ExportFileName(), path);
        const QList<TSheetRows> sheets = ReadWorkbook(path);
        ASSERT_EQ(sheets.size(), 1);
        EXPECT_EQ(sheets[0].name, QStringLiteral("all_records"));
        EXPECT_EQ(shown(sheets[0].rows), shown(c.rows));
        EXPECT_EQ(sheets[0].numberFormats.value(2), QStringLiteral("dd/mmm/yyyy"));
    }
    // Nothing but the workbooks: no temporary file is left beside them.
    EXPECT_EQ(written().size(), 4) << written().join(u' ').toStdString();
}

TEST_F(SpreadsheetTest, OneSheetPerMemberNamedWithUnderscores)
{
    fillLog();
    OpenWindow();
    answerScope(true, true);
    const QString path = file(QStringLiteral("pairs.xlsx"));
    run("actAllinout", path);
    EXPECT_EQ(Messages().Texts(), QStringList{QStringLiteral("Completed.")});
    const QList<TSheetRows> sheets = ReadWorkbook(path);
    ASSERT_EQ(sheets.size(), 2);
    EXPECT_EQ(sheets[0].name, QStringLiteral("Ann_Lee"));
    EXPECT_EQ(sheets[1].name, QStringLiteral("Bob"));
    EXPECT_EQ(sheets[1].rows.value(0),
              Texts({"s:DATE", "s:IN1", "s:OUT1", "s:IN2", "s:OUT2", "s:STATUS"}));
    EXPECT_EQ(sheets[1].rows.value(1),
              Texts({"d:2026-06-02", "s:08:00:00", "s:17:00:00", "", "", "s:Incomplete"}));
}

// Two members whose sheet names come out the same: the export ends at the second with an
// error that names the sheet, and the sheets before it stay.
TEST_F(SpreadsheetTest, ASheetNameTakenTwiceEndsTheExportNamingIt)
{
    fillLog();
    AddStaff(3, QStringLiteral("Ann_Lee"), 1);
    AddLog(QDateTime(QDate(2026, 6, 3), QTime(8, 0)), 3, 1);
    OpenWindow();
    answerScope(true, true);
    const QString path = file(QStringLiteral("pairs.xlsx"));
    run("actexpfix", path);
    ASSERT_EQ(Messages().Count(), 1);
    EXPECT_TRUE(Messages().Texts()[0].startsWith(QStringLiteral("Ann_Lee: ")))
        << Messages().Texts()[0].toStdString();
    const QList<TSheetRows> sheets = ReadWorkbook(path);
    ASSERT_EQ(sheets.size(), 1);
    EXPECT_EQ(sheets[0].name, QStringLiteral("Ann_Lee"));
}

TEST_F(SpreadsheetTest, WhatTheOperatorSeesWhenAnExportCannotGoAhead)
{
    struct Case
    {
        const char *what;
        bool emptyLog;
        bool confirmScope;
        QString target;  // empty: the save dialog is cancelled
        QString message; // "%1": the target
        int scopesShown;
        int saveDialogs;
    };
    QDir(m_out.path()).mkdir(QStringLiteral("folder.xlsx"));
    const QString folder = file(QStringLiteral("folder.xlsx"));
    const QString missing = file(QStringLiteral("no such folder/book.xlsx"));
    const Case cases[] = {
        {"empty log", true, true, file(QStringLiteral("a.xlsx")), QStringLiteral("No record."), 0,
         0},
        {"scope cancelled", false, false, file(QStringLiteral("a.xlsx")), QString(), 1, 0},
        {"save dialog cancelled", false, true, QString(), QString(), 1, 1},
        {"onto a folder", false, true, folder,
         QStringLiteral("File is in use by other application: %1"), 1, 1},
        {"in a missing folder", false, true, missing, QStringLiteral("Cannot open file: %1"), 1, 1},
    };
    AddStaff(1, QStringLiteral("Ann"), 1);
    OpenWindow();
    for (const char *name : AllCommands) {
        for (const Case &c : cases) {
            SCOPED_TRACE(std::string(name) + ": " + c.what);
            {
                TTransaction clear(dsrc->att);
                dsrc->att.Exec(QStringLiteral("DELETE FROM recorder"));
                clear.Commit();
            }
            if (!c.emptyLog)
                AddLog(QDateTime(QDate(2026, 6, 1), QTime(8, 0)), 1);
            dsrc->logs.Close();
            dsrc->logs.Open();
            Messages().Clear();
            answerScope(c.confirmScope);
            m_scopesShown = 0;
            const int asked = m_dialogs.Count();
            if (c.saveDialogs && c.target.isEmpty())
                m_dialogs.QueueCancel();
            else if (c.saveDialogs)
                m_dialogs.QueueName(c.target);
            m_window->SetLoggedIn(true);
            command(name)->trigger();
            const QStringList expected =
                c.message.isEmpty()
                    ? QStringList()
                    : QStringList{QString(c.message).replace(QStringLiteral("%1"), c.target)};
            EXPECT_EQ(Messages().Texts(), expected);
            EXPECT_EQ(m_scopesShown, c.scopesShown);
            EXPECT_EQ(m_dialogs.Count() - asked, c.saveDialogs);
            EXPECT_EQ(written(), QStringList()) << "nothing written";
        }
    }
}

TEST_F(SpreadsheetTest, TheCommandsAreProtectedAndShown)
{
    OpenWindow();
    m_window->SetLoggedIn(false);
    for (const char *name : AllCommands) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(command(name)->isVisible());
        EXPECT_TRUE(m_window->ProtectedCommands().contains(command(name)));
        EXPECT_FALSE(command(name)->isEnabled());
    }
    m_window->SetLoggedIn(true);
    for (const char *name : AllCommands)
        EXPECT_TRUE(command(name)->isEnabled()) << name;
}

// Between members the event loop turns: swipes are answered, but the database commands are
// refused and a close of the window waits until the workbook is in place.
TEST_F(SpreadsheetTest, DatabaseCommandsAndCloseWaitWhileAWorkbookIsWritten)
{
    fillLog();
    TTimeRec &w = OpenWindow();
    answerScope(true);
    bool seen = false;
    bool refused = false;
    bool openDuring = false;
    QTimer::singleShot(0, &w, [&] {
        seen = w.LongWorkRunning();
        refused = !command("actdelete")->isEnabled() && !command("actBupLogs")->isEnabled() &&
                  !command("actexpfilo")->isEnabled();
        // Called all the same: no question is asked (one would fail the test).
        w.actdeleteExecute();
        w.actexpfiloExecute();
        AddLog(QDateTime(QDate(2026, 6, 2), QTime(18, 0)), 2, 2);
        w.close();
        openDuring = dsrc->att.IsOpen();
    });
    const QString path = file(QStringLiteral("book.xlsx"));
    run("actexpfix", path);
    ASSERT_TRUE(seen) << "the export never let the event loop turn";
    EXPECT_TRUE(refused);
    EXPECT_TRUE(openDuring);
    EXPECT_EQ(Messages().Texts(), QStringList{QStringLiteral("Completed.")});
    EXPECT_EQ(ReadWorkbook(path).value(0).rows.size(), 3);
    // The close asked for meanwhile happens once the export is over.
    EXPECT_TRUE(SpinUntil([] { return !dsrc->att.IsOpen(); }, 3000));
}

} // namespace
