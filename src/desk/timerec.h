#pragma once
// TTimeRec: the desk's main window. It starts the desk in two stages (the tray icon's start-up
// event, then FormCreate), opens the databases, shows the attendance log grid, the clock, the
// holder's photo and the last snapshot, lives in the tray when hidden, hands its commands to
// the units that run them, and saves its placement on close. What happens on a swipe and on
// each tick is TDeskCore's; the window only shows it (IDeskView). Main thread only.

#include "desk/deskcore.h"
#include "store/db/sqlitedb.h"
#include "store/dialogrunner.h"
#include "store/settingkeys.h"

#include <QDateTime>
#include <QList>
#include <QMainWindow>
#include <functional>
#include <memory>

class DeskCamera;
class LogGridModel;
class TCapture;
class QAction;
class QDialog;
class QLabel;
class QMenu;
class TClock;
class TCommandContext;
class TEmailQueue;
struct TReportScope;
class TTrayIcon;
class TWebReporter;

namespace Ui {
class TTimeRec;
}

class TTimeRec final : public QMainWindow, public IDeskView
{
    Q_OBJECT

public:
    // Shows a modal dialog and answers its result; tests replace it to answer the dialog.
    using DialogRunner = TDialogRunner::Function;

    // Builds the window and runs its whole start-up (TrayIcon1Startup, then FormCreate). The
    // data module `dsrc` must exist and the paths be set.
    explicit TTimeRec(QWidget *parent = nullptr);
    ~TTimeRec() override;
    TTimeRec(const TTimeRec &) = delete;
    TTimeRec &operator=(const TTimeRec &) = delete;

    // What start-up decided: false when the window starts hidden in the tray, or when the
    // program is ending because a database did not open.
    bool StartupShowMainForm() const;
    // ShowErrorAndTerminate was called: the program ends as soon as control is back in the
    // program body (or the event loop).
    bool TerminateRequested() const { return m_terminateRequested; }

    // ---- Start-up and shut-down --------------------------------------------------------------
    void TrayIcon1Startup(TTrayIcon *sender, bool &showMainForm);
    void FormCreate();
    // Opens both connections and the shared datasets; a failure shows the error and asks the
    // program to end. Answers whether both opened.
    bool OpenDatabases();
    void ShowErrorAndTerminate(const QString &text);
    // Closes readers, databases and timers and saves the settings. Runs once. While an erase of
    // the log or a mail round is under way it answers false: a send is aborted at once, and
    // the window closes by itself as soon as that work is over.
    void FormCloseQuery(bool &canClose);
    void CloseDatabasesAndReaders();
    void ReopenDatabasesAndReaders();
    // CloseDatabasesAndReaders with the readers left open.
    void CloseDatabases();

    // ---- Window commands ---------------------------------------------------------------------
    void xhideClick();
    void TrayIcon1DblClick();
    void ShowTimeRecorder1Click();
    void xexitClick();
    // A click on the IN/OUT panel: with AutoOverride on, the other direction for a few ticks.
    void iopanelClick();
    // The IN/OUT panel, and the door button with the tray's "Open Door" that goes with it.
    void ShowInOutPanel(bool show);
    void ShowDoorButton(bool show);
    // "Hide On Startup": flips its check mark and stores it at once.
    void actHideItExecute();
    void actspeechExecute();
    // "Email": the e-mail settings dialog; on OK the e-mail timer is armed anew.
    void actemailExecute();
    // "Edit Card Information": the card list; when a card changed, the staff data is reopened.
    void actcardinfoExecute();
    // "Group Definition": the work group list, its editor run through the dialog runner.
    void actgrpdefExecute();
    // "Auto IN/OUT Time": the schedule dialog; afterwards the IN/OUT panel shows or hides as
    // stored and follows the schedule read anew.
    void actautoioExecute();
    // "Define Tallyclock Table": the work groups' attendance windows.
    void acttimetblExecute();
    // "Offline Reader Manager" and "Set Master PIN": the manager window on the enabled
    // readers, the log grid hidden meanwhile and reopened at its last row after.
    void actofflinemgrExecute();
    void actmasterpinExecute();
    // "Web Reporter": switches the web report server on or off and says so.
    void actWebReporterExecute();
    // "Readers": the reader table's set-up, with reconnection suspended while it runs; then
    // every reader (after "Enable All") or the changed ones are set up again.
    void actreadersExecute();
    // "Door Open Button": the door button's set-up; the button, its caption and the tray's
    // "Open Door" follow what it stored.
    void actDoorOpenExecute();
    // The door button and the tray's "Open Door": releases the chosen reader's relay (nothing
    // goes out while its port is closed) and beeps; no log row.
    void bDoorOpenClick();
    // "Offline Access Table" (on no menu): the DL series readers' offline access list.
    void actofflineExecute();
    // The "Web Reporter" check mark: whether the server is meant to run.
    bool WebReporterChecked() const;
    void SetWebReporterChecked(bool checked);
    // The web report server; null until it is first switched on.
    TWebReporter *WebReporter() const { return m_web.get(); }

    // "Export to Text File" and "Export to Excel File": the whole log, in time order, as long
    // work (swipes are answered meanwhile, the database commands and the close wait).
    void xtextClick();
    void xexcelClick();

    // ---- Printouts and member cards ---------------------------------------------------------
    // "Print Cards": the card dialog comes back after every printing until it is cancelled;
    // its style chooses the horizontal or the vertical cards. No log check.
    void actmemberlistExecute();
    // "Print Member List": likewise with the staff selection and the member list.
    void actlistmemExecute();

    // ---- Reports -----------------------------------------------------------------------------
    // "Total Hours Detail", "First In / Last Out", "First In / Last Out (Overnight)" (on no
    // menu, started by its action) and "2-session": the first-in/last-out report, made again
    // after each Confirm of its scope dialog.
    void actdetailtotalExecute();
    void actlateExecute();
    void actFiloOnExecute();
    void actNsessExecute();
    // "Time Logs" and "Total Hours" (the same report, the first-in/last-out option off or on),
    // "Daily Individual" and "Who's IN / OUT": made again after each Confirm of the scope
    // dialog.
    void actlogsExecute();
    void actlifoExecute();
    void actwhoExecute();
    void actinoutExecute();
    // "Spreadsheet": workbooks of one row per member and day over a chosen scope: the raw
    // times ("Time Logs"), the first IN and last OUT, the IN/OUT pairs, and the pairs against
    // the time table ("Late and Early Leave").
    void actexpfixExecute();
    void actexpfiloExecute();
    void actAllinoutExecute();
    void actAttnPairsExecute();
    // The workbook of the scope to ExportFileName(): (false, false) the raw
    // times, (true, false) first IN / last OUT, (true, true) the IN/OUT pairs. True when
    // every member was written and the workbook is in place; otherwise the reason was shown.
    bool ExportWorkbook(const TReportScope &scope, bool pairColumns, bool pairs);
    bool ExportLateEarlyWorkbook(const TReportScope &scope);
    QString ExportFileName() const { return m_exportFileName; }
    void SetExportFileName(const QString &fileName) { m_exportFileName = fileName; }

    // ---- Log grid ----------------------------------------------------------------------------
    void ShowRecordCount() override;
    void ShowLogGrid(bool show);
    // The photo and the snapshot of a grid row, and neither.
    void ShowRowImages(int row);
    void HideImages();
    // Cell click, key release and mouse release on the grid: photo and snapshot of the row.
    void infoCellClick();
    void infoDblClick();
    void actDelRecClick();
    // While it runs swipes are still answered; the commands that would close or change the
    // log are refused until it ends.
    void xdeleteClick();
    bool ErasingLog() const { return LongWorkRunning(); }
    void actxerasestaffsExecute();
    // "No record." when the log is empty (answers true), else false and nothing shown.
    bool CheckLogEmpty();
    // The grid's current row (-1 when none) and moving to one.
    int CurrentLogRow() const;
    void SetCurrentLogRow(int row);

    // ---- Database maintenance ----------------------------------------------------------------
    // "Format Database": both live files replaced by the templates, the snapshots deleted.
    void actdeleteExecute();
    // "Backup Log Database", "Backup System Database": a copy of the live file to a chosen one.
    void actBupLogsExecute();
    void actBupSysExecute();
    // "Restore Log Database", "Restore System Database": a chosen copy over the live file.
    void actRstLogsExecute();
    void actRstSysExecute();
    // "Import Log Records", "Import Staff Records": the rows of another copy that these lack.
    void actImportLogExecute();
    void actImportSysExecute();
    // A chosen file to restore from or import: it opens as a database of that kind and is
    // intact; otherwise "Invalid Database" and false.
    bool VerifyDatabaseFile(const QString &fileName, DbKind kind);

    // ---- Long work ---------------------------------------------------------------------------
    // Long database work (an erase, an import, an export, a copy of a database, a report
    // composed, previewed or printed) holds one of these while it runs: the database commands are
    // disabled and refused, and a close of the window waits until the last one has ended. Swipes
    // are still answered meanwhile.
    class TLongWorkScope
    {
    public:
        explicit TLongWorkScope(TTimeRec &window);
        ~TLongWorkScope();
        TLongWorkScope(const TLongWorkScope &) = delete;
        TLongWorkScope &operator=(const TLongWorkScope &) = delete;

    private:
        TTimeRec &m_window;
    };
    bool LongWorkRunning() const { return m_longWork > 0; }
    // A close of the window waits until the long work under way has ended.
    bool ClosePending() const { return m_closePending; }
    // The commands refused while long work runs.
    QList<QAction *> DatabaseCommands() const;

    // ---- Login and protected commands --------------------------------------------------------
    // "Login" (menu and tray): asks for the password (free while none is registered), unlocks
    // the protected commands and brings the window up.
    void actLoginExecute();
    // "Logout": locks the protected commands again; FormCreate runs it.
    void actLogoutExecute();
    // "Set Password": the old password first when one is registered, then the new one twice.
    void actsetpasswdExecute();
    // "About Tallyclock" (menu and tray).
    void xaboutClick();
    // Whether an administrator is logged in: "Login" is enabled exactly while nobody is.
    bool IsLoggedIn() const;
    // Enables or disables the protected commands, and "Login" and "Logout" the other way round.
    void SetLoggedIn(bool loggedIn);
    // The commands only a logged-in administrator may use, in the order they are unlocked.
    QList<QAction *> ProtectedCommands() const;

    // ---- Camera column ---------------------------------------------------------------------
    // Enumerates the devices and, with CamSource set, runs that device in the column.
    void StartCamera();
    void EnableCamera();
    void DisableCamera();
    // "Hide Webcam": its check mark has already flipped.
    void actcapExecute(bool checked);
    // "Webcam": the device chosen in "Webcam Setup" runs in the column, or the camera goes off.
    void actsetwebExecute();
    void CaptureChangeDevice();
    void CaptureVideoFormatChange();
    // The column the capture control sits in, and the "Hide Webcam" check mark.
    void ShowCameraColumn(bool show);
    bool WebcamHidden() const;
    void SetWebcamHidden(bool hidden);
    TCapture *Capture() const;
    DeskCamera *Camera() const { return m_camera.get(); }

    // ---- IDeskView ---------------------------------------------------------------------------
    void ShowStaffPhoto(int card) override;
    void ShowCapturedImage(int card, const QDateTime &time) override;
    void SetInOutPanel(bool isIn) override;
    void SetStatusClock(const QString &text) override;
    void SetDoorButtonCaption(const QString &text) override;
    void ShowStatusNotice(const QString &text) override;
    void ShowWaitingRows(int count) override;

    // ---- For the other commands and for tests -----------------------------------------------
    TDeskCore *Core() const { return m_core.get(); }
    TTrayIcon *TrayIcon1() const { return m_tray; }
    LogGridModel *LogModel() const { return m_logModel; }
    TClock *Clock() const { return m_clock.get(); }
    TEmailQueue *EmailQueue() const { return m_emailQueue.get(); }
    QLabel *StatusPanel(int index) const;
    QMenu *TrayMenu() const { return m_trayMenu; }
    QMenu *GridMenu() const { return m_gridMenu; }
    void SetDialogRunner(DialogRunner runner);

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void wireCommands();
    void hideEmptyMenus();
    // Starts the web server on WebPort; a port that cannot be bound is shown as an error.
    bool startWebReporter();
    void stopWebReporter();
    void setLongWork(bool started);
    // A close that had to wait for work under way happens now.
    void closeIfPending();
    int runDialog(QDialog &dialog);
    // What the commands whose bodies live in units of their own work with.
    TCommandContext commandContext();
    // Runs a command handler; whatever it throws is shown instead of escaping into Qt.
    void guarded(const std::function<void()> &handler);

    std::unique_ptr<Ui::TTimeRec> m_ui;
    LogGridModel *m_logModel = nullptr;
    TTrayIcon *m_tray = nullptr;
    QMenu *m_trayMenu = nullptr;
    QMenu *m_gridMenu = nullptr;
    QLabel *m_statusPanels[2] = {nullptr, nullptr};
    QLabel *m_waitingPanel = nullptr; // made when rows first wait
    std::unique_ptr<DeskCamera> m_camera;
    std::unique_ptr<TDeskCore> m_core;
    std::unique_ptr<TClock> m_clock;
    std::unique_ptr<TEmailQueue> m_emailQueue;
    std::unique_ptr<TWebReporter> m_web;
    TDialogRunner m_dialogs;
    // The log grid's widths while none are saved.
    QList<int> m_gridOwnWidths;
    bool m_gridAtNewest = true; // the log grid is scrolled to its last row
    bool m_terminateRequested = false;
    bool m_startupShow = true;
    bool m_closed = false;
    int m_longWork = 0; // long work scopes alive
    bool m_closePending = false;
    QString m_exportFileName; // the last spreadsheet export's workbook
};

// The main window; null before it exists and after it is gone.
extern TTimeRec *TimeRec;
