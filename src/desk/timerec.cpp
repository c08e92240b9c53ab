#include "desk/timerec.h"

#include "ui_timerec.h"

#include "capture/DXCapture.h"
#include "desk/cameracommands.h"
#include "desk/cardinfo.h"
#include "desk/clock.h"
#include "desk/commandcontext.h"
#include "desk/dbcommands.h"
#include "desk/deskcamera.h"
#include "desk/emailqueue.h"
#include "desk/erasecommands.h"
#include "desk/logexportcommands.h"
#include "desk/loggridmodel.h"
#include "desk/memberworkbook.h"
#include "desk/passwd.h"
#include "desk/readercommands.h"
#include "desk/readers.h"
#include "desk/reportcommands.h"
#include "desk/setupcommands.h"
#include "desk/trayicon.h"
#include "desk/web/webreport.h"
#include "desk/webreportcommands.h"
#include "store/clock.h"
#include "store/datasrc.h"
#include "store/dbcopy.h"
#include "store/dbfile.h"
#include "store/dbschema.h"
#include "store/filedialogs.h"
#include "store/formplacement.h"
#include "store/guard.h"
#include "store/messages.h"
#include "store/passwd.h"
#include "store/paths.h"
#include "store/radiogroup.h"
#include "store/settings.h"
#include "store/utils.h"
#include "store/waitcursor.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHeaderView>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPixmap>
#include <QPushButton>
#include <QScrollBar>
#include <QStatusBar>
#include <QStyle>
#include <QTableView>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <exception>

TTimeRec *TimeRec = nullptr;

namespace {

const QString MainFormPrefix = QStringLiteral("MainForm");
const QString InfoGridPrefix = QStringLiteral("InfoGrid");

// Asks the event loop to end, when one runs; before the loop starts the program body reads
// TerminateRequested() instead. Ending loops that are not running would make every later
// local loop return at once.
void quitWhenLooping()
{
    if (QThread::currentThread()->loopLevel() > 0)
        QCoreApplication::quit();
}

// The log grid's own column widths: the design's, widened where this desktop's fonts need more
// room for a column's title or for the date and time of a swipe.
QList<int> logGridOwnWidths(const QTableView &grid)
{
    const QHeaderView &header = *grid.horizontalHeader();
    const QAbstractItemModel &model = *grid.model();
    const int titleMargins =
        2 * header.style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, &header);
    // The item delegate's text margin on either side, and the grid line.
    const int cellMargins =
        2 * (grid.style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, &grid) + 1) + 1;
    int timeText = 0;
    for (int month = 1; month <= 12; ++month) {
        const QDateTime sample(QDate(2026, month, 28), QTime(23, 58, 58));
        timeText = std::max(timeText, grid.fontMetrics().horizontalAdvance(
                                          LogGridModel::SystimeText(sample)));
    }
    QList<int> widths;
    for (int c = 0; c < LogGridModel::ColumnCount; ++c) {
        const QString title = model.headerData(c, Qt::Horizontal).toString();
        int w = std::max(LogGridModel::DesignWidths[static_cast<std::size_t>(c)],
                         header.fontMetrics().horizontalAdvance(title) + titleMargins);
        if (c == LogGridModel::ColSystime)
            w = std::max(w, timeText + cellMargins);
        widths << w;
    }
    return widths;
}

// The box only names the file; the reason and the full path go to standard error for the
// administrator. Written straight there: Qt's log may go to the system journal instead.
void reportOpenFailure(const QString &path, const std::exception &e)
{
    std::fprintf(stderr, "Tallyclock: cannot open %s: %s\n",
                 qUtf8Printable(QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath())),
                 e.what());
    std::fflush(stderr);
}

} // namespace

TTimeRec::TTimeRec(QWidget *parent) : QMainWindow(parent), m_ui(std::make_unique<Ui::TTimeRec>())
{
    TimeRec = this;
    m_ui->setupUi(this);
    setMinimumSize(320, 504);

    QFont ioFont = m_ui->iopanel->font();
    ioFont.setPixelSize(30);
    m_ui->iopanel->setFont(ioFont);
    m_ui->gbcapture->hide();
    m_ui->xphoto->hide();
    // The core is made later; the report only reaches it while it exists, and the preview
    // (hence the streaming thread) runs only between FormCreate and the destructor.
    m_camera = std::make_unique<DeskCamera>(*m_ui->Capture, [this] {
        if (TDeskCore *core = m_core.get())
            core->CaptureSnapshotDone();
    });

    // The log grid: read-only, whole rows, fixed row height so a long log costs nothing to lay
    // out.
    m_logModel = new LogGridModel(dsrc->logs, this);
    QTableView *grid = m_ui->info;
    grid->setModel(m_logModel);
    grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid->verticalHeader()->setDefaultSectionSize(grid->fontMetrics().height() + 6);
    grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    grid->horizontalHeader()->setStretchLastSection(false);
    grid->horizontalHeader()->setDefaultAlignment(Qt::AlignCenter);
    grid->viewport()->setCursor(Qt::PointingHandCursor);
    m_gridOwnWidths = logGridOwnWidths(*grid);
    for (int c = 0; c < LogGridModel::ColumnCount; ++c)
        grid->setColumnWidth(c, m_gridOwnWidths[c]);
    grid->installEventFilter(this);
    grid->viewport()->installEventFilter(this);
    m_ui->iopanel->installEventFilter(this);
    // Scrolled to the newest row, the grid stays there when it shrinks (the door button or the
    // IN/OUT panel appears) instead of hiding the newest rows below its edge.
    QScrollBar *rows = grid->verticalScrollBar();
    connect(rows, &QScrollBar::valueChanged, this,
            [this, rows](int value) { m_gridAtNewest = value == rows->maximum(); });
    connect(rows, &QScrollBar::rangeChanged, this, [this, rows](int, int maximum) {
        if (m_gridAtNewest)
            rows->setValue(maximum);
    });
    // A new row (a swipe) becomes the current one, as the log stands on it.
    connect(m_logModel, &QAbstractItemModel::rowsInserted, this, [this] {
        if (dsrc && dsrc->logs.Active()) {
            SetCurrentLogRow(dsrc->logs.RecNo());
            m_ui->info->scrollTo(m_ui->info->currentIndex());
        }
    });

    m_gridMenu = new QMenu(this);
    m_gridMenu->addAction(m_ui->actDelRec);
    connect(grid, &QWidget::customContextMenuRequested, this, [this](const QPoint &pos) {
        m_gridMenu->popup(m_ui->info->viewport()->mapToGlobal(pos));
    });

    // The clock panel keeps its width; the last panel takes the rest of the bar, so the
    // sending state reads in full.
    for (int i = 0; i < 2; ++i) {
        m_statusPanels[i] = new QLabel(this);
        m_statusPanels[i]->setFrameShape(QFrame::Panel);
        m_statusPanels[i]->setFrameShadow(QFrame::Sunken);
    }
    m_statusPanels[0]->setFixedWidth(200);
    m_statusPanels[1]->setMinimumWidth(50);
    statusBar()->addWidget(m_statusPanels[0]);
    statusBar()->addWidget(m_statusPanels[1], 1);
    // Panel 1 shows the sending state; painted at once, as a round may wait on the server.
    m_emailQueue = std::make_unique<TEmailQueue>(dsrc->emails, [this](const QString &text) {
        m_statusPanels[1]->setText(text);
        statusBar()->repaint();
    });
    m_emailQueue->SetRoundEndHandler([this] { closeIfPending(); });

    m_trayMenu = new QMenu(this);
    m_trayMenu->addAction(m_ui->xabout);
    m_trayMenu->addSeparator();
    m_trayMenu->addAction(m_ui->popLogin);
    m_trayMenu->addSeparator();
    m_trayMenu->addAction(m_ui->popOpenDoor);
    m_trayMenu->addSeparator();
    m_trayMenu->addAction(m_ui->ShowTimeRecorder1);
    m_trayMenu->addSeparator();
    m_trayMenu->addAction(m_ui->xexit);

    wireCommands();
    hideEmptyMenus();
    // Locked from the first moment, even when start-up ends before FormCreate logs out.
    SetLoggedIn(false);
    // Offered once the door button shows.
    m_ui->popOpenDoor->setEnabled(false);

    m_tray = new TTrayIcon(this);
    m_tray->SetIconList(DeskTrayIconFrames());
    m_tray->SetCycleInterval(500);
    m_tray->SetHint(QStringLiteral("Tallyclock"));
    m_tray->SetIcon(DeskProgramIcon());
    m_tray->SetPopupMenu(m_trayMenu);
    m_tray->SetCycleIcons(true);
    m_tray->SetIconVisible(true);
    m_tray->SetOnDblClick([this](TTrayIcon *) { guarded([this] { TrayIcon1DblClick(); }); });
    m_tray->SetOnStartup([this](TTrayIcon *sender, bool &show) {
        guarded([this, sender, &show] { TrayIcon1Startup(sender, show); });
    });
    setWindowIcon(DeskProgramIcon());

    // The tray icon's start-up event runs before the window's own creation handler.
    m_tray->Loaded();
    guarded([this] { FormCreate(); });
}

TTimeRec::~TTimeRec()
{
    // No frame may reach the camera's handler once the core and the camera are gone.
    m_ui->Capture->VideoGrabber().SetEnabled(false);
    m_ui->Capture->StopPreview();
    m_ui->Capture->VideoGrabber().SetOnBuffer({});
    // Request threads read the readers' descriptions, which go with the core.
    m_web.reset();
    m_ui->info->removeEventFilter(this);
    m_ui->info->viewport()->removeEventFilter(this);
    m_ui->iopanel->removeEventFilter(this);
    m_clock.reset();
    m_core.reset();
    if (TimeRec == this)
        TimeRec = nullptr;
}

void TTimeRec::wireCommands()
{
    const auto on = [this](QAction *action, void (TTimeRec::*handler)()) {
        connect(action, &QAction::triggered, this,
                [this, handler] { guarded([this, handler] { (this->*handler)(); }); });
    };
    on(m_ui->xhide, &TTimeRec::xhideClick);
    on(m_ui->xexit, &TTimeRec::xexitClick);
    on(m_ui->actLogin, &TTimeRec::actLoginExecute);
    on(m_ui->popLogin, &TTimeRec::actLoginExecute);
    on(m_ui->actLogout, &TTimeRec::actLogoutExecute);
    on(m_ui->actsetpasswd, &TTimeRec::actsetpasswdExecute);
    on(m_ui->xabout, &TTimeRec::xaboutClick);
    on(m_ui->ShowTimeRecorder1, &TTimeRec::ShowTimeRecorder1Click);
    on(m_ui->xdelete, &TTimeRec::xdeleteClick);
    on(m_ui->actxerasestaffs, &TTimeRec::actxerasestaffsExecute);
    on(m_ui->actDelRec, &TTimeRec::actDelRecClick);
    on(m_ui->actspeech, &TTimeRec::actspeechExecute);
    on(m_ui->actemail, &TTimeRec::actemailExecute);
    on(m_ui->actcardinfo, &TTimeRec::actcardinfoExecute);
    on(m_ui->actgrpdef, &TTimeRec::actgrpdefExecute);
    on(m_ui->actautoio, &TTimeRec::actautoioExecute);
    on(m_ui->acttimetbl, &TTimeRec::acttimetblExecute);
    on(m_ui->actreaders, &TTimeRec::actreadersExecute);
    on(m_ui->actDoorOpen, &TTimeRec::actDoorOpenExecute);
    on(m_ui->popOpenDoor, &TTimeRec::bDoorOpenClick);
    on(m_ui->actoffline, &TTimeRec::actofflineExecute);
    connect(m_ui->bDoorOpen, &QPushButton::clicked, this,
            [this] { guarded([this] { bDoorOpenClick(); }); });
    on(m_ui->actofflinemgr, &TTimeRec::actofflinemgrExecute);
    on(m_ui->actmasterpin, &TTimeRec::actmasterpinExecute);
    on(m_ui->actsetweb, &TTimeRec::actsetwebExecute);
    on(m_ui->acttext, &TTimeRec::xtextClick);
    on(m_ui->actexcel, &TTimeRec::xexcelClick);
    on(m_ui->actdelete, &TTimeRec::actdeleteExecute);
    on(m_ui->actBupLogs, &TTimeRec::actBupLogsExecute);
    on(m_ui->actBupSys, &TTimeRec::actBupSysExecute);
    on(m_ui->actRstLogs, &TTimeRec::actRstLogsExecute);
    on(m_ui->actRstSys, &TTimeRec::actRstSysExecute);
    on(m_ui->actImportLog, &TTimeRec::actImportLogExecute);
    on(m_ui->actImportSys, &TTimeRec::actImportSysExecute);
    on(m_ui->actmemberlist, &TTimeRec::actmemberlistExecute);
    on(m_ui->actlistmem, &TTimeRec::actlistmemExecute);
    on(m_ui->actdetailtotal, &TTimeRec::actdetailtotalExecute);
    on(m_ui->actlate, &TTimeRec::actlateExecute);
    on(m_ui->actFiloOn, &TTimeRec::actFiloOnExecute);
    on(m_ui->actNsess, &TTimeRec::actNsessExecute);
    on(m_ui->actlogs, &TTimeRec::actlogsExecute);
    on(m_ui->actlifo, &TTimeRec::actlifoExecute);
    on(m_ui->actwho, &TTimeRec::actwhoExecute);
    on(m_ui->actinout, &TTimeRec::actinoutExecute);
    on(m_ui->actexpfix, &TTimeRec::actexpfixExecute);
    on(m_ui->actexpfilo, &TTimeRec::actexpfiloExecute);
    on(m_ui->actAllinout, &TTimeRec::actAllinoutExecute);
    on(m_ui->actAttnPairs, &TTimeRec::actAttnPairsExecute);
    // The menu has already flipped these check marks; their handlers flip them themselves.
    connect(m_ui->actWebReporter, &QAction::triggered, this, [this](bool checked) {
        m_ui->actWebReporter->setChecked(!checked);
        guarded([this] { actWebReporterExecute(); });
    });
    connect(m_ui->actHideIt, &QAction::triggered, this, [this](bool checked) {
        m_ui->actHideIt->setChecked(!checked);
        guarded([this] { actHideItExecute(); });
    });
    connect(m_ui->actcap, &QAction::triggered, this,
            [this](bool checked) { guarded([this, checked] { actcapExecute(checked); }); });
}

void TTimeRec::hideEmptyMenus()
{
    // A menu with no visible command (a sub-menu counts by what it shows) stays out of the
    // menu bar.
    const std::function<bool(QMenu *)> showIfUsed = [&showIfUsed](QMenu *menu) {
        bool used = false;
        for (QAction *action : menu->actions()) {
            if (action->menu())
                used = showIfUsed(action->menu()) || used;
            else if (!action->isSeparator() && action->isVisible())
                used = true;
        }
        menu->menuAction()->setVisible(used);
        return used;
    };
    for (QAction *action : m_ui->ActionMainMenuBar1->actions())
        if (action->menu())
            showIfUsed(action->menu());
}

void TTimeRec::guarded(const std::function<void()> &handler)
{
    RunGuarded(handler);
}

bool TTimeRec::StartupShowMainForm() const
{
    return !m_terminateRequested && m_tray->StartupShowMainForm();
}

// ---- Start-up and shut-down ----------------------------------------------------------------

void TTimeRec::TrayIcon1Startup(TTrayIcon *, bool &showMainForm)
{
    // AppPath, DataPath and PhotoPath are set by the program body before the window exists.
    const bool opened = OpenDatabases();
    m_core = std::make_unique<TDeskCore>(this, m_camera.get());
    if (!opened) {
        // The program is ending: nothing more to set up, and no window to show.
        showMainForm = false;
        return;
    }
    m_core->SetupAllReaders();
    m_ui->actHideIt->setChecked(ReadRegBool(Setting::HideOnStartup));
    LoadFormPlacement(MainFormPrefix, this);
    LoadGridColumnWidths(InfoGridPrefix, m_ui->info, m_gridOwnWidths);
    showMainForm = !m_ui->actHideIt->isChecked();
    ShowRecordCount();
    SetCurrentLogRow(dsrc->logs.RecNo());
    m_ui->info->scrollToBottom();
    // The one-second tick runs from start-up; reconnection waits for FormCreate.
    m_core->StartTimers();
    m_emailQueue->ArmEmailTimer();
}

bool TTimeRec::OpenDatabases()
{
    TWaitCursor wait;
    QDir::setCurrent(AppPath);
    const QDir data(DataPath);
    const QString attend = data.filePath(AttendFileName());
    const QString sysdat = data.filePath(SysdatFileName());
    try {
        dsrc->OpenAttend(attend);
        dsrc->logs.Open();
        dsrc->logs.Last();
    } catch (const std::exception &e) {
        reportOpenFailure(attend, e);
        dsrc->att.Close();
        ShowErrorAndTerminate(QStringLiteral("System Error: Cannot open ") + AttendFileName());
        return false;
    }
    try {
        dsrc->OpenSysdat(sysdat);
        for (TDataSet *ds :
             {&dsrc->apb, &dsrc->emails, &dsrc->staff, &dsrc->gidtbl, &dsrc->Qiotime})
            ds->Open();
    } catch (const std::exception &e) {
        reportOpenFailure(sysdat, e);
        dsrc->src.Close();
        dsrc->att.Close();
        ShowErrorAndTerminate(QStringLiteral("System Error: Cannot open ") + SysdatFileName());
        return false;
    }
    return true;
}

void TTimeRec::ShowErrorAndTerminate(const QString &text)
{
    ShowPlain(text);
    m_terminateRequested = true;
    quitWhenLooping();
}

void TTimeRec::FormCreate()
{
    if (m_terminateRequested || !m_core)
        return;
    actLogoutExecute();
    m_ui->iopanel->setVisible(ReadRegBool(Setting::AutoInOut));

    if (!QDir(PhotoPath).exists() && !QDir().mkdir(PhotoPath, OwnerOnlyFolder)) {
        // The rest of the creation does not run; the desk still records swipes.
        ShowError(QStringLiteral("Cannot create directory: ") + PhotoPath);
        return;
    }

    m_clock = std::make_unique<TClock>(this, m_ui->clk);

    const bool camera = ReadRegBool(Setting::CamEnable);
    m_ui->pancap->setVisible(camera);
    m_ui->actcap->setChecked(!camera);
    m_ui->Capture->setVisible(camera);
    if (camera)
        StartCamera();

    TDataSet &logs = dsrc->logs;
    if (!logs.IsEmpty()) {
        const int card = logs.FieldByName(Schema::Recorder::CardNo).AsInteger();
        ShowStaffPhoto(card);
        ShowCapturedImage(card, logs.FieldByName(Schema::Recorder::SysTime).AsDateTime());
    }

    m_core->SetOverrideCountdown(0);
    m_core->UpdateAutoInOut(Now());

    m_ui->bDoorOpen->setVisible(ReadRegBool(Setting::DoorOpenEnable));
    m_ui->bDoorOpen->setText(m_core->DoorButtonCaption(true));
    // By the button's own state: a desk started hidden in the tray still offers it.
    m_ui->popOpenDoor->setEnabled(!m_ui->bDoorOpen->isHidden());

    m_core->SetReconnectEnabled(true);

    m_ui->actWebReporter->setChecked(ReadRegBool(Setting::WebEnabled));
    if (m_ui->actWebReporter->isChecked())
        startWebReporter();
}

void TTimeRec::FormCloseQuery(bool &canClose)
{
    canClose = true;
    if (m_closed)
        return;
    // The erase and the mail round run below this call, on the same stack: the databases stay
    // open until they have unwound, so a notice the server took is still struck off the queue.
    if (LongWorkRunning() || m_emailQueue->Sending()) {
        m_emailQueue->Stop();
        m_closePending = true;
        canClose = false;
        return;
    }
    m_closed = true;
    stopWebReporter();
    // Each step runs even when one before it fails: the window closes in any case.
    guarded([this] { CloseDatabasesAndReaders(); });
    if (m_core)
        m_core->StopTimers();
    m_emailQueue->Stop();
    m_core.reset();
    m_clock.reset();
    if (m_terminateRequested)
        return;
    guarded([this] {
        WriteRegBool(Setting::HideOnStartup, m_ui->actHideIt->isChecked());
        SaveFormPlacement(MainFormPrefix, this);
        SaveGridColumnWidths(InfoGridPrefix, m_ui->info);
    });
}

void TTimeRec::closeEvent(QCloseEvent *event)
{
    bool canClose = true;
    FormCloseQuery(canClose);
    event->setAccepted(canClose);
    if (canClose)
        quitWhenLooping();
}

void TTimeRec::closeIfPending()
{
    if (!m_closePending || m_closed)
        return;
    // Once the caller's stack has unwound.
    QTimer::singleShot(0, this, [this] {
        if (m_closePending && !LongWorkRunning() && !m_emailQueue->Sending()) {
            m_closePending = false;
            close();
        }
    });
}

void TTimeRec::CloseDatabasesAndReaders()
{
    if (m_core)
        m_core->DisconnectAllReaders();
    CloseDatabases();
}

void TTimeRec::CloseDatabases()
{
    // Web requests keep off the files while they are closed, copied or replaced.
    if (m_web)
        m_web->Suspend();
    // Swipes kept out by another program's lock get one more, longer try.
    if (m_core)
        m_core->WriteWaitingBeforeClosing();
    HideImages();
    ShowLogGrid(false);
    dsrc->CloseAll();
    QCoreApplication::processEvents();
}

void TTimeRec::ReopenDatabasesAndReaders()
{
    if (!OpenDatabases() || !m_core)
        return;
    if (m_web)
        m_web->Resume();
    m_core->SetupAllReaders();
    ShowRecordCount();
    ShowLogGrid(true);
}

// ---- Window commands -------------------------------------------------------------------------

void TTimeRec::iopanelClick()
{
    if (m_core)
        m_core->IopanelClick();
}

void TTimeRec::xhideClick()
{
    m_tray->HideMainForm();
}

void TTimeRec::TrayIcon1DblClick()
{
    ShowRecordCount();
    m_tray->ShowMainForm();
}

void TTimeRec::ShowTimeRecorder1Click()
{
    TrayIcon1DblClick();
}

void TTimeRec::xexitClick()
{
    close();
}

void TTimeRec::ShowInOutPanel(bool show)
{
    m_ui->iopanel->setVisible(show);
}

void TTimeRec::ShowDoorButton(bool show)
{
    m_ui->bDoorOpen->setVisible(show);
    // By the button's own state: a desk hidden in the tray still offers it.
    m_ui->popOpenDoor->setEnabled(!m_ui->bDoorOpen->isHidden());
}

void TTimeRec::actHideItExecute()
{
    m_ui->actHideIt->setChecked(!m_ui->actHideIt->isChecked());
    WriteRegBool(Setting::HideOnStartup, m_ui->actHideIt->isChecked());
}

void TTimeRec::actspeechExecute()
{
    TSetupCommands(commandContext()).SetUpSpeech();
}

void TTimeRec::actemailExecute()
{
    TSetupCommands(commandContext()).SetUpEmail();
}

void TTimeRec::actcardinfoExecute()
{
    TSetupCommands(commandContext()).EditCards();
}

void TTimeRec::actgrpdefExecute()
{
    TSetupCommands(commandContext()).DefineGroups();
}

void TTimeRec::actautoioExecute()
{
    TSetupCommands(commandContext()).SetUpAutoInOut();
}

void TTimeRec::acttimetblExecute()
{
    TSetupCommands(commandContext()).DefineTimeTable();
}

void TTimeRec::actreadersExecute()
{
    TReaderCommands(commandContext()).SetUpReaders();
}

void TTimeRec::actDoorOpenExecute()
{
    TSetupCommands(commandContext()).SetUpDoorButton();
}

void TTimeRec::actofflineExecute()
{
    TSetupCommands(commandContext()).EditOfflineAccess();
}

void TTimeRec::bDoorOpenClick()
{
    TSetupCommands(commandContext()).OpenDoor();
}

void TTimeRec::actofflinemgrExecute()
{
    TReaderCommands(commandContext()).RunOfflineManager(false);
}

void TTimeRec::actmasterpinExecute()
{
    TReaderCommands(commandContext()).RunOfflineManager(true);
}

// ---- Database maintenance ------------------------------------------------------------------

bool TTimeRec::VerifyDatabaseFile(const QString &fileName, DbKind kind)
{
    return TDatabaseCommands(commandContext()).VerifyDatabaseFile(fileName, kind);
}

void TTimeRec::actdeleteExecute()
{
    TDatabaseCommands(commandContext()).FormatDatabase();
}

void TTimeRec::actBupLogsExecute()
{
    TDatabaseCommands(commandContext()).BackupDatabase(DbKind::Attend);
}

void TTimeRec::actBupSysExecute()
{
    TDatabaseCommands(commandContext()).BackupDatabase(DbKind::Sysdat);
}

void TTimeRec::actRstLogsExecute()
{
    TDatabaseCommands(commandContext()).RestoreDatabase(DbKind::Attend);
}

void TTimeRec::actRstSysExecute()
{
    TDatabaseCommands(commandContext()).RestoreDatabase(DbKind::Sysdat);
}

void TTimeRec::actImportLogExecute()
{
    TDatabaseCommands(commandContext()).ImportLog();
}

void TTimeRec::actImportSysExecute()
{
    TDatabaseCommands(commandContext()).ImportStaff();
}

// ---- Printouts and member cards -----------------------------------------------------------

void TTimeRec::actmemberlistExecute()
{
    TReportCommands(commandContext()).PrintCards();
}

void TTimeRec::actlistmemExecute()
{
    TReportCommands(commandContext()).PrintMemberList();
}

// ---- Login and protected commands ----------------------------------------------------------

QList<QAction *> TTimeRec::ProtectedCommands() const
{
    // Everything beyond watching the log. A new protected command is one more line here, in
    // its place in this order. Left out on purpose, as they work logged out too: "Login",
    // "Logout", "Set Password", "Exit", "About Tallyclock", the tray's "Open Door" and "Show
    // Tallyclock", and the door button.
    return {
        m_ui->xhide,           // Hide to Systray
        m_ui->actDoorOpen,     // Door Open Button
        m_ui->actlate,         // First In / Last Out (Attendance)
        m_ui->actFiloOn,       // First In / Last Out (Overnight), a hidden item
        m_ui->actNsess,        // 2-session
        m_ui->acttext,         // Export to Text File
        m_ui->actexcel,        // Export to Excel File
        m_ui->xdelete,         // Erase Log Database
        m_ui->actxerasestaffs, // Erase Staff Records
        m_ui->actdelete,       // Format Database
        m_ui->actoffline,      // Offline Access Table
        m_ui->actcardinfo,     // Edit Card Information
        m_ui->actgrpdef,       // Group Definition
        m_ui->actlifo,         // Total Hours
        m_ui->actwho,          // Daily Individual
        m_ui->actlogs,         // Time Logs (Printouts)
        m_ui->actinout,        // Who's IN / OUT
        m_ui->actdetailtotal,  // Total Hours Detail
        m_ui->actmemberlist,   // Print Cards
        m_ui->actreaders,      // Readers
        m_ui->actHideIt,       // Hide On Startup
        m_ui->actlistmem,      // Print Member List
        m_ui->actemail,        // Email
        m_ui->actcap,          // Hide Webcam
        m_ui->actsetweb,       // Webcam
        m_ui->actautoio,       // Auto IN/OUT Time
        m_ui->actexpfilo,      // First IN / Last OUT (Spreadsheet)
        m_ui->actexpfix,       // Time Logs (Spreadsheet)
        m_ui->actDelRec,       // Delete this Attendance Record (grid popup)
        m_ui->actAllinout,     // IN/OUT Pairs
        m_ui->acttimetbl,      // Define Tallyclock Table
        m_ui->actAttnPairs,    // Late and Early Leave
        m_ui->actBupLogs,      // Backup Log Database
        m_ui->actBupSys,       // Backup System Database
        m_ui->actRstLogs,      // Restore Log Database
        m_ui->actRstSys,       // Restore System Database
        m_ui->actofflinemgr,   // Offline Reader Manager
        m_ui->actImportLog,    // Import Log Records
        m_ui->actImportSys,    // Import Staff Records
        m_ui->actspeech,       // Enable Speech Feedback
        m_ui->actmasterpin,    // Set Master PIN
        m_ui->actWebReporter,  // Web Reporter
    };
}

bool TTimeRec::IsLoggedIn() const
{
    return !m_ui->actLogin->isEnabled();
}

void TTimeRec::SetLoggedIn(bool loggedIn)
{
    m_ui->actLogin->setEnabled(!loggedIn);
    m_ui->popLogin->setEnabled(!loggedIn);
    m_ui->actLogout->setEnabled(loggedIn);
    const QList<QAction *> refused = LongWorkRunning() ? DatabaseCommands() : QList<QAction *>();
    for (QAction *action : ProtectedCommands())
        action->setEnabled(loggedIn && !refused.contains(action));
}

QList<QAction *> TTimeRec::DatabaseCommands() const
{
    // Everything that closes, replaces or changes the databases in bulk. "Erase Staff
    // Records" reopens the log when done.
    return {
        m_ui->xdelete,      m_ui->actDelRec,  m_ui->actxerasestaffs, m_ui->actdelete,
        m_ui->actBupLogs,   m_ui->actBupSys,  m_ui->actRstLogs,      m_ui->actRstSys,
        m_ui->actImportLog, m_ui->actImportSys,
        // The exports read the files a backup or restore closes.
        m_ui->acttext, m_ui->actexcel,
        m_ui->actexpfix, m_ui->actexpfilo, m_ui->actAllinout, m_ui->actAttnPairs,
    };
}

void TTimeRec::setLongWork(bool started)
{
    m_longWork += started ? 1 : -1;
    SetLoggedIn(IsLoggedIn());
}

TTimeRec::TLongWorkScope::TLongWorkScope(TTimeRec &window) : m_window(window)
{
    m_window.setLongWork(true);
}

TTimeRec::TLongWorkScope::~TLongWorkScope()
{
    m_window.setLongWork(false);
    m_window.closeIfPending();
}

void TTimeRec::actLoginExecute()
{
    if (IsPasswordEmpty()) {
        // Nothing to check against: the login is free until a password is set.
        ShowInfo(QStringLiteral("No password registered yet."));
    } else {
        TPasswordDlg dialog(this);
        if (runDialog(dialog) != QDialog::Accepted)
            return;
    }
    SetLoggedIn(true);
    // A login from the tray menu opens the window.
    TrayIcon1DblClick();
}

void TTimeRec::actLogoutExecute()
{
    SetLoggedIn(false);
}

void TTimeRec::actsetpasswdExecute()
{
    TSetupCommands(commandContext()).SetPassword();
}

void TTimeRec::xaboutClick()
{
    TSetupCommands(commandContext()).ShowAbout();
}

void TTimeRec::SetDialogRunner(DialogRunner runner)
{
    m_dialogs.Set(std::move(runner));
}

int TTimeRec::runDialog(QDialog &dialog)
{
    return m_dialogs.Run(dialog);
}

TCommandContext TTimeRec::commandContext()
{
    return TCommandContext(*this, m_dialogs);
}

QLabel *TTimeRec::StatusPanel(int index) const
{
    return index == 0 || index == 1 ? m_statusPanels[index] : nullptr;
}

// ---- Log grid --------------------------------------------------------------------------------

void TTimeRec::ShowRecordCount()
{
    const int count = dsrc && dsrc->logs.Active() ? dsrc->logs.RecordCount() : 0;
    m_ui->logs->setTitle(count > 0 ? QString::number(count) + QStringLiteral(" record(s)")
                                   : QStringLiteral("no record"));
}

void TTimeRec::ShowLogGrid(bool show)
{
    if (!show) {
        m_ui->info->hide();
        m_logModel->SetSuspended(true);
        return;
    }
    TDataSet &logs = dsrc->logs;
    if (dsrc->att.IsOpen()) {
        logs.Close();
        logs.Open();
        logs.Last();
    }
    ShowRecordCount();
    m_logModel->SetSuspended(false);
    m_ui->info->show();
    SetCurrentLogRow(logs.RecNo());
    m_ui->info->scrollToBottom();
    m_ui->info->viewport()->update();
}

int TTimeRec::CurrentLogRow() const
{
    const QModelIndex current = m_ui->info->currentIndex();
    if (current.isValid())
        return current.row();
    return dsrc && dsrc->logs.Active() ? dsrc->logs.RecNo() : -1;
}

void TTimeRec::SetCurrentLogRow(int row)
{
    if (row < 0 || row >= m_logModel->rowCount()) {
        m_ui->info->setCurrentIndex(QModelIndex());
        return;
    }
    const QModelIndex index = m_logModel->index(row, 0);
    m_ui->info->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                             QItemSelectionModel::Rows);
}

void TTimeRec::ShowRowImages(int row)
{
    const int card = m_logModel->CardAt(row);
    ShowStaffPhoto(card);
    ShowCapturedImage(card, m_logModel->TimeAt(row));
}

void TTimeRec::HideImages()
{
    ShowStaffPhoto(0);
    ShowCapturedImage(0, QDateTime());
}

void TTimeRec::infoCellClick()
{
    if (!dsrc->logs.Active() || dsrc->logs.IsEmpty())
        return;
    const int row = CurrentLogRow();
    if (row >= 0)
        ShowRowImages(row);
}

void TTimeRec::infoDblClick()
{
    if (LongWorkRunning())
        return;
    if (!IsLoggedIn()) {
        ShowInfo(QStringLiteral("Feature disabled. Please Login to use it."));
        return;
    }
    if (CheckLogEmpty())
        return;
    const int card = m_logModel->CardAt(CurrentLogRow());
    TLogGridScope grid(*this, TLogGridScope::During::Shown);
    TCardInfo editor(this, m_dialogs.HandDown());
    editor.EditCard(card);
    ShowStaffPhoto(card);
}

bool TTimeRec::CheckLogEmpty()
{
    if (dsrc->logs.Active() && !dsrc->logs.IsEmpty())
        return false;
    ShowError(QStringLiteral("No record."));
    return true;
}

void TTimeRec::actDelRecClick()
{
    TEraseCommands(commandContext()).DeleteRecord();
}

void TTimeRec::xdeleteClick()
{
    TEraseCommands(commandContext()).EraseLog();
}

void TTimeRec::actxerasestaffsExecute()
{
    TEraseCommands(commandContext()).EraseStaff();
}

bool TTimeRec::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_ui->iopanel && event->type() == QEvent::MouseButtonRelease) {
        // A click: the left button let go over the panel it was pressed on.
        const auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() == Qt::LeftButton &&
            m_ui->iopanel->rect().contains(mouse->position().toPoint()))
            guarded([this] { iopanelClick(); });
    } else if (watched == m_ui->info && event->type() == QEvent::KeyRelease) {
        guarded([this] { infoCellClick(); });
    } else if (watched == m_ui->info->viewport()) {
        if (event->type() == QEvent::MouseButtonRelease)
            guarded([this] { infoCellClick(); });
        else if (event->type() == QEvent::MouseButtonDblClick)
            guarded([this] { infoDblClick(); });
    }
    return QMainWindow::eventFilter(watched, event);
}

// ---- IDeskView ---------------------------------------------------------------------------------

void TTimeRec::ShowStaffPhoto(int card)
{
    QLabel *photo = m_ui->xphoto;
    if (!dsrc || !dsrc->logs.Active() || dsrc->logs.IsEmpty() || !dsrc->staff.Active() ||
        !dsrc->staff.Locate(Schema::Staffs::CardNo, card)) {
        photo->hide();
        return;
    }
    QImage image;
    if (image.loadFromData(dsrc->staff.FieldByName(Schema::Staffs::Photo).AsBytes(), "JPEG")) {
        photo->setPixmap(QPixmap::fromImage(image));
        photo->show();
    } else {
        photo->hide();
    }
}

void TTimeRec::ShowCapturedImage(int card, const QDateTime &time)
{
    if (time.isValid()) {
        const QString file = RowSnapshotFileName(card, time);
        QImage image;
        if (QFileInfo::exists(file) && image.load(file, "JPEG")) {
            m_ui->imgcapture->setPixmap(QPixmap::fromImage(image));
            m_ui->gbcapture->show();
            return;
        }
    }
    m_ui->gbcapture->hide();
}

void TTimeRec::SetInOutPanel(bool isIn)
{
    m_ui->iopanel->setText(isIn ? QStringLiteral("IN") : QStringLiteral("OUT"));
    m_ui->iopanel->setStyleSheet(isIn ? QStringLiteral("color: blue;")
                                      : QStringLiteral("color: red;"));
}

void TTimeRec::SetStatusClock(const QString &text)
{
    m_statusPanels[0]->setText(text);
}

void TTimeRec::SetDoorButtonCaption(const QString &text)
{
    m_ui->bDoorOpen->setText(text);
}

void TTimeRec::ShowStatusNotice(const QString &text)
{
    statusBar()->showMessage(text, 10000);
}

void TTimeRec::ShowWaitingRows(int count)
{
    if (!m_waitingPanel) {
        m_waitingPanel = new QLabel(this);
        statusBar()->addPermanentWidget(m_waitingPanel);
    }
    m_waitingPanel->setText(
        QStringLiteral("%1 record(s) waiting: the database is in use by another program")
            .arg(count));
    m_waitingPanel->setVisible(count > 0);
}

// ---- Camera column -------------------------------------------------------------------------

TCapture *TTimeRec::Capture() const
{
    return m_ui->Capture;
}

void TTimeRec::ShowCameraColumn(bool show)
{
    m_ui->pancap->setVisible(show);
}

bool TTimeRec::WebcamHidden() const
{
    return m_ui->actcap->isChecked();
}

void TTimeRec::SetWebcamHidden(bool hidden)
{
    m_ui->actcap->setChecked(hidden);
}

void TTimeRec::StartCamera()
{
    TCameraCommands(commandContext()).Start();
}

void TTimeRec::EnableCamera()
{
    TCameraCommands(commandContext()).Enable();
}

void TTimeRec::DisableCamera()
{
    TCameraCommands(commandContext()).Disable();
}

void TTimeRec::actcapExecute(bool checked)
{
    TCameraCommands(commandContext()).Hide(checked);
}

void TTimeRec::actsetwebExecute()
{
    TCameraCommands(commandContext()).SetUpWebcam();
}

void TTimeRec::CaptureChangeDevice()
{
    TCameraCommands(commandContext()).ChangeDevice();
}

void TTimeRec::CaptureVideoFormatChange()
{
    TCameraCommands(commandContext()).VideoFormatChange();
}

// ---- Web report --------------------------------------------------------------------------------

bool TTimeRec::WebReporterChecked() const
{
    return m_ui->actWebReporter->isChecked();
}

void TTimeRec::SetWebReporterChecked(bool checked)
{
    m_ui->actWebReporter->setChecked(checked);
}

void TTimeRec::actWebReporterExecute()
{
    TWebReportCommands(commandContext(), m_web).Switch();
}

bool TTimeRec::startWebReporter()
{
    return TWebReportCommands(commandContext(), m_web).Start();
}

void TTimeRec::stopWebReporter()
{
    TWebReportCommands(commandContext(), m_web).Stop();
}

// ---- Exports of the log ----------------------------------------------------------------------

void TTimeRec::xtextClick()
{
    TLogExportCommands(commandContext()).ExportText();
}

void TTimeRec::xexcelClick()
{
    TLogExportCommands(commandContext()).ExportExcel();
}

// ---- Reports -----------------------------------------------------------------------------------

void TTimeRec::actdetailtotalExecute()
{
    TReportCommands(commandContext()).TotalHoursDetail(m_ui->actdetailtotal->text());
}

void TTimeRec::actlateExecute()
{
    TReportCommands(commandContext()).FirstInLastOut(m_ui->actlate->text());
}

void TTimeRec::actFiloOnExecute()
{
    TReportCommands(commandContext()).FirstInLastOutOvernight(m_ui->actFiloOn->text());
}

void TTimeRec::actNsessExecute()
{
    TReportCommands(commandContext()).TwoSessions(m_ui->actNsess->text());
}

void TTimeRec::actlogsExecute()
{
    TReportCommands(commandContext()).TimeLogs(m_ui->actlogs->text());
}

void TTimeRec::actlifoExecute()
{
    TReportCommands(commandContext()).TotalHours(m_ui->actlifo->text());
}

void TTimeRec::actwhoExecute()
{
    TReportCommands(commandContext()).DailyIndividual(m_ui->actwho->text());
}

void TTimeRec::actinoutExecute()
{
    TReportCommands(commandContext()).WhosInOut(m_ui->actinout->text());
}

// ---- Spreadsheet exports ---------------------------------------------------------------------

void TTimeRec::actexpfixExecute()
{
    TReportCommands(commandContext()).TimeLogsWorkbook(m_ui->actexpfix->text());
}

void TTimeRec::actexpfiloExecute()
{
    TReportCommands(commandContext()).FirstInLastOutWorkbook(m_ui->actexpfilo->text());
}

void TTimeRec::actAllinoutExecute()
{
    TReportCommands(commandContext()).InOutPairsWorkbook(m_ui->actAllinout->text());
}

void TTimeRec::actAttnPairsExecute()
{
    TReportCommands(commandContext()).LateEarlyWorkbook(m_ui->actAttnPairs->text());
}

bool TTimeRec::ExportWorkbook(const TReportScope &scope, bool pairColumns, bool pairs)
{
    return TReportCommands(commandContext())
        .ExportWorkbook(scope, pairColumns, pairs, m_exportFileName);
}

bool TTimeRec::ExportLateEarlyWorkbook(const TReportScope &scope)
{
    return TReportCommands(commandContext()).ExportLateEarlyWorkbook(scope, m_exportFileName);
}
