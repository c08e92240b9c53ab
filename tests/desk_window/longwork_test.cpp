// A report composing, previewed or printed, and "Erase Staff Records", are long work: while
// one runs, the commands that close or change the databases are refused from the menu and the
// keyboard, and a close of the window (menu, keyboard, tray, the window's own) waits until it
// is over; the work ends whole and the desk then closes.

#include "exportfixture.h"
#include "testsupport/commandlookup.h"

#include "reports/reportform.h"
#include "reports/reportoutput.h"
#include "testsupport/benchsupport.h"
#include "testsupport/spin.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QMenu>
#include <QPrintPreviewDialog>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

// The report commands' output here: the real preview window (closed once it shows its pages)
// and, for a print, the PDF drawn page by page as a printer is (this machine has none).
class DrawingOutput final : public ReportOutput
{
public:
    DrawingOutput() : m_previous(SetReportOutput(this)) {}
    ~DrawingOutput() override { SetReportOutput(m_previous); }
    DrawingOutput(const DrawingOutput &) = delete;
    DrawingOutput &operator=(const DrawingOutput &) = delete;

    void Run(TReportForm &report, bool preview, QWidget *parent) override
    {
        running = &report;
        if (preview) {
            report.PreviewModal(parent);
            pages = report.PageCount();
        } else {
            pages = report.ExportPdf(m_dir.filePath(QStringLiteral("printed.pdf")))
                        ? report.PageCount()
                        : 0;
        }
        running = nullptr;
    }

    TReportForm *running = nullptr;
    int pages = 0;

private:
    ReportOutput *m_previous;
    QTemporaryDir m_dir;
};

// Picks the command off its menu with the keyboard: the menu opened, Down until the command is
// current, Return. False when the keyboard cannot reach it (a disabled command is skipped).
bool pickByKeyboard(QMenu *menu, QAction *target)
{
    menu->popup(QPoint(0, 0));
    for (int i = 0; i <= int(menu->actions().size()); ++i) {
        QTest::keyClick(menu, Qt::Key_Down);
        if (menu->activeAction() == target) {
            QTest::keyClick(menu, Qt::Key_Return);
            return true;
        }
    }
    menu->hide();
    return false;
}

enum class Work
{
    Compose,
    Preview,
    Print,
    EraseStaff,
};

enum class Reach
{
    DatabaseCommands, // every one from its menu and by the keyboard
    MenuExit,
    KeyboardExit,
    TrayExit,
    WindowClose,
};

struct DatabaseCommand
{
    const char *caption; // on the Database menu
    const char *name;
};
const DatabaseCommand databaseCommands[] = {
    {"Format Database", "actdelete"},           {"Restore Log Database", "actRstLogs"},
    {"Restore System Database", "actRstSys"},   {"Import Log Records", "actImportLog"},
    {"Import Staff Records", "actImportSys"},   {"Erase Log Database", "xdelete"},
    {"Erase Staff Records", "actxerasestaffs"},
};

constexpr int Staff = 60;
constexpr int Days = 20;

class LongWorkTest : public ExportWindowTest
{
protected:
    void SetUp() override
    {
        ExportWindowTest::SetUp();
        FillReportLog(Staff, Days, QDate(2026, 1, 5));
        Messages().SetAnswerWhenEmpty(MsgButton::No);
    }
};

TEST_F(LongWorkTest, DatabaseCommandsAndEveryCloseWaitForReportsAndTheStaffErase)
{
    const int logRows = Count(dsrc->att, QStringLiteral("recorder"));
    for (Work work : {Work::Compose, Work::Preview, Work::Print, Work::EraseStaff}) {
        for (Reach reach : {Reach::DatabaseCommands, Reach::MenuExit, Reach::KeyboardExit,
                            Reach::TrayExit, Reach::WindowClose}) {
            SCOPED_TRACE(testing::Message() << "work " << int(work) << ", reached " << int(reach));
            TTimeRec &w = OpenShown();
            w.SetLoggedIn(true);
            DrawingOutput output;
            Messages().Clear();
            int scopeDialogs = 0;
            w.SetDialogRunner([&](QDialog &dialog) {
                ++scopeDialogs;
                if (auto *preview = dialog.findChild<QCheckBox *>(QStringLiteral("cbpreview")))
                    preview->setChecked(work == Work::Preview);
                return scopeDialogs == 1 ? 1 : 2; // Confirm, then Cancel
            });
            bool composing = false;
            const TLabelTextHook previous =
                SetLabelTextHook([&](const TReportLabel &, const QString &) { composing = true; });
            // The moment each kind of work is under way.
            const auto underWay = [&] {
                switch (work) {
                case Work::Compose:
                    return composing && output.running && !output.running->Drawing();
                case Work::Preview:
                case Work::Print:
                    return output.running && output.running->Drawing();
                case Work::EraseStaff:
                    return w.LongWorkRunning();
                }
                return false;
            };
            bool reached = false;
            bool refused = true;
            bool keyboardRefused = true;
            bool openWhileWorking = true;
            QTimer watcher;
            QObject::connect(&watcher, &QTimer::timeout, [&] {
                // The preview shows its pages: closed as its user would.
                if (auto *d =
                        qobject_cast<QPrintPreviewDialog *>(QApplication::activeModalWidget()))
                    if (d->isEnabled() && output.running && !output.running->Drawing())
                        d->reject();
                if (reached) {
                    if (w.LongWorkRunning())
                        openWhileWorking = openWhileWorking && dsrc->att.IsOpen() &&
                                           dsrc->src.IsOpen() && dsrc->logs.Active();
                    return;
                }
                if (!underWay())
                    return;
                reached = true;
                switch (reach) {
                case Reach::DatabaseCommands:
                    for (const DatabaseCommand &c : databaseCommands) {
                        QAction *a = CommandAt(w, QStringLiteral("Database"),
                                               QString::fromLatin1(c.caption));
                        refused = refused && a && !a->isEnabled();
                        if (a)
                            a->trigger();
                        keyboardRefused = keyboardRefused &&
                                          !pickByKeyboard(MenuAt(w, QStringLiteral("Database")), a);
                    }
                    break;
                case Reach::MenuExit:
                    CommandAt(w, QStringLiteral("Actions"), QStringLiteral("Exit"))->trigger();
                    break;
                case Reach::KeyboardExit:
                    EXPECT_TRUE(pickByKeyboard(
                        MenuAt(w, QStringLiteral("Actions")),
                        CommandAt(w, QStringLiteral("Actions"), QStringLiteral("Exit"))));
                    break;
                case Reach::TrayExit:
                    for (QAction *a : w.TrayMenu()->actions())
                        if (a->text() == QStringLiteral("Exit"))
                            a->trigger();
                    break;
                case Reach::WindowClose:
                    w.close();
                    break;
                }
            });
            watcher.start(0);
            if (work == Work::EraseStaff) {
                Messages().QueueAnswer(MsgButton::Yes);
                w.actxerasestaffsExecute();
            } else {
                CommandAt(w, QStringLiteral("Reports/Printouts"), QStringLiteral("Time Logs"))
                    ->trigger();
            }
            watcher.stop();
            SetLabelTextHook(previous);

            ASSERT_TRUE(reached) << "the work never let the event loop turn";
            EXPECT_TRUE(openWhileWorking);
            EXPECT_EQ(m_dialogs.Count(), 0); // no restore or import asked for its file
            if (work == Work::EraseStaff) {
                // Its own question, nothing else.
                EXPECT_EQ(Messages().Count(), 1);
                EXPECT_EQ(Count(dsrc->src, QStringLiteral("staffs")), 0);
            } else {
                EXPECT_EQ(Messages().Count(), 0)
                    << qPrintable(Messages().Texts().join(QLatin1Char('|')));
                EXPECT_GT(output.pages, 1);
                // The dialog comes back after the report, unless the desk is to close.
                EXPECT_EQ(scopeDialogs, reach == Reach::DatabaseCommands ? 2 : 1);
            }
            EXPECT_EQ(Count(dsrc->att, QStringLiteral("recorder")), logRows);
            if (reach == Reach::DatabaseCommands) {
                EXPECT_TRUE(refused);
                EXPECT_TRUE(keyboardRefused);
                for (const DatabaseCommand &c : databaseCommands)
                    EXPECT_TRUE(command(c.name)->isEnabled()) << c.name;
                EXPECT_TRUE(dsrc->att.IsOpen());
            } else {
                // The close asked for meanwhile happens once the work is over.
                EXPECT_TRUE(SpinUntil([] { return !dsrc->att.IsOpen(); }, 3000));
            }
            CloseWindow();
            m_data->ReopenDatabases();
            if (work == Work::EraseStaff)
                FillReportLog(Staff, 0, QDate(2026, 1, 5));
        }
    }
}

} // namespace
