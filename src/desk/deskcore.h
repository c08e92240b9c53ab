#pragma once
// TDeskCore: the attendance desk without its widgets. It owns the eight readers (published in
// the global `Readers`), configures them from the reader table, handles every card swipe,
// exit-button press and power-up, runs the motion repeat and the one-second tick (status
// clock, automatic IN/OUT, reconnection of readers that failed to open). The main window
// implements IDeskView to show what the core decides, and hands in the camera through
// ICaptureControl. Main thread only, except CaptureSnapshotDone(), which any thread may call.

#include "desk/readers.h"
#include "store/logrow.h"
#include "store/readerdesc.h"

#include <QDateTime>
#include <QObject>
#include <QString>

#include <array>
#include <atomic>
#include <deque>
#include <memory>

class QTimer;
class SpeechWorker;
class TRfidReader;

// What the core asks the main window to show. Every method does nothing by default, so the core
// runs with no window at all (tests, tools). Called on the main thread.
class IDeskView
{
public:
    virtual ~IDeskView() = default;
    // The log group's caption: record count + " record(s)", or "no record".
    virtual void ShowRecordCount() {}
    // The holder's photo for a card (0: hide it).
    virtual void ShowStaffPhoto(int card) {}
    // The snapshot of a swipe or exit-button row, named by RowSnapshotFileName(card, time);
    // hidden when that file does not exist.
    virtual void ShowCapturedImage(int card, const QDateTime &time) {}
    // The IN/OUT panel: "IN" in blue or "OUT" in red.
    virtual void SetInOutPanel(bool isIn) {}
    // Status-bar panel 0.
    virtual void SetStatusClock(const QString &text) {}
    // Caption of the door-open button.
    virtual void SetDoorButtonCaption(const QString &text) {}
    // A one-time notice for the status bar (speech turned out to be unavailable).
    virtual void ShowStatusNotice(const QString &text) {}
    // Log rows and e-mail notices that wait for another program to let go of a database
    // file; 0 when nothing waits any more.
    virtual void ShowWaitingRows(int count) {}
};

// The camera as the swipe road uses it. The default does nothing and never captures.
// Called on the main thread.
class ICaptureControl
{
public:
    virtual ~ICaptureControl() = default;
    virtual void SetSnapshotFileName(const QString &fileName) {}
    // Asks for one JPEG snapshot into the file named last; the capture reports it written
    // through TDeskCore::CaptureSnapshotDone().
    virtual void TakeSnapshot(int quality) {}
    // Whether a capture graph is running; without one no snapshot can ever arrive.
    virtual bool IsCapturing() const { return false; }
};

// photos folder + "/" + "yyMMdd-hhmmss" of the time + "-" + card + ".jpg".
QString MakeSnapshotFileName(int card, const QDateTime &time);
// The snapshot of a log row from its CARDNO and SYSTIME. An exit-button or motion row holds
// CARDNO -1 while its snapshot is written with card 0, the name mails and other readers of
// the photos folder know.
QString RowSnapshotFileName(int cardNo, const QDateTime &time);
// The path of a snapshot the desk may mail: an existing file right in the photos folder (links
// and ".." resolved) whose name has MakeSnapshotFileName's form. Empty for anything else, so a
// stored path cannot send some other file out.
QString CheckedSnapshotFile(const QString &path);

class TDeskCore : public QObject
{
    Q_OBJECT
public:
    // The direction shown when AutoInOut is on and the panel is clicked with AutoOverride on
    // holds for this many ticks.
    static constexpr int OverrideTicks = 5;
    static constexpr int TickIntervalMs = 1000;
    // How long the swipe road waits for another program's lock on a database file before it
    // keeps the row for later: the other readers must be served meanwhile.
    static constexpr int SwipeBusyTimeoutMs = 25;

    // Creates the eight readers (unconfigured, closed) and publishes them in `Readers` and as
    // the source of GetPortName's reader descriptions. The view and capture may be null (the
    // do-nothing defaults stand in) and must outlive the core or be replaced first.
    explicit TDeskCore(IDeskView *view = nullptr, ICaptureControl *capture = nullptr,
                       QObject *parent = nullptr);
    // Stops the timers, closes and frees the readers and withdraws `Readers` and the
    // descriptions. Stop the web server before destroying the core (it reads the descriptions).
    ~TDeskCore() override;
    TDeskCore(const TDeskCore &) = delete;
    TDeskCore &operator=(const TDeskCore &) = delete;

    void SetView(IDeskView *view);
    void SetCapture(ICaptureControl *capture);

    TRfidReader *Reader(int port) const; // 1..8, else null

    // ---- Readers set-up --------------------------------------------------------------------
    // Opens the reader dataset, configures and connects all eight readers from it and closes
    // it again. A table without exactly eight rows shows "Database error. Please re-format the
    // database." and configures none.
    void SetupAllReaders();
    // Configures one reader from its row (the reader dataset must be open) and connects it when
    // enabled; a port that does not open leaves Enable false and Checked true, silently.
    void SetupReader(int portNo);
    // SetupAllReaders over a reader table that may have changed (a restore, a format): a
    // reader whose row keeps it enabled stays open (its swipes are not cut off by a closing
    // port) and takes the row's settings; the others are closed first.
    void SetupAllReadersAgain();
    void DisconnectReader(int portNo); // Enable false (Checked kept), port closed
    void DisconnectAllReaders();

    // The door-open button's port: setting DoorOpenPortNo (default 1); a stored value outside
    // 1..8 counts as port 1.
    static int DoorOpenPortNo();
    // Desc of that reader + "->OPEN" (spaced: " -> OPEN", as at window creation).
    QString DoorButtonCaption(bool spaced) const;

    // ---- The road of a swipe -----------------------------------------------------------------
    // Wired to every reader's events by SetupReader. They never throw.
    void ReaderCardCode(bool offline, int port, int code, const QDateTime &stamp, int cmode);
    void ReaderBypass(int port, int state);
    void ReaderPowerup(int port);
    // The reader's device hung up or went away: its port is closed and it counts as a reader
    // whose port failed to open (Checked true, Enable false), so the tick's reconnection
    // retries it.
    void ReaderHangup(int port);
    void OpenReaderDoor(int port);
    // Exit-button or motion row with a snapshot, and the motion repeat.
    void LogButtonCapture(int port);
    // Turns the event loop, sleeping between events, until the snapshot is reported or one
    // whole second has passed; returns at once when no capture runs.
    void WaitForSnapshot();
    // The capture's report that the asked-for snapshot file is written; wakes the wait. Any
    // thread.
    void CaptureSnapshotDone();
    bool SnapshotDone() const { return m_snapshotDone.load(); }

    int ButtonPort() const { return m_buttonPort; }
    bool MotionActive() const;
    int MotionIntervalMs() const;

    // ---- One-second tick and automatic IN/OUT -------------------------------------------------
    void StartTimers(); // the one-second tick (the window's creation does this)
    void StopTimers();  // tick and motion repeat (before shut-down)
    // One tick: status clock, automatic IN/OUT, reconnection. Also what the timer calls.
    void Timer2Timer();
    // Decides IN or OUT for the time of day from the schedule (only with the system database
    // open and AutoInOut on) and shows it.
    void UpdateAutoInOut(const QDateTime &now);
    void SetInOutPanel(bool isIn);
    // A click on the IN/OUT panel: with AutoOverride on, flips it for OverrideTicks ticks.
    void IopanelClick();
    // Sets up again every reader whose port failed to open, while the reader dataset is open.
    void ReconnectReaders();

    bool AutoIn() const { return m_autoIn; }
    int OverrideCountdown() const { return m_overrideCountdown; }
    void SetOverrideCountdown(int ticks) { m_overrideCountdown = ticks; }
    bool ReconnectEnabled() const { return m_reconnectEnabled; }
    // False while the "Readers" command runs; the window's creation sets it true.
    void SetReconnectEnabled(bool on) { m_reconnectEnabled = on; }

    // ---- Rows that wait for a lock ----------------------------------------------------------
    // A live swipe whose row another program's lock kept out waits here, in order, and so do
    // e-mail notices; the next swipe and every tick write them first.
    int WaitingRows() const { return int(m_waitingRows.size()); }
    int WaitingNotices() const { return int(m_waitingNotices.size()); }
    // Writes what waits, oldest first, without waiting for a lock (the tick's retry).
    void WriteWaiting();
    // Before the databases close: one more try with the connections' usual wait. Answers how
    // many rows and notices are still waiting (they are lost when the desk then ends).
    int WriteWaitingBeforeClosing();

    // ---- Swipes held while the database files are replaced ----------------------------------
    // From HoldSwipes on, a swipe is kept in memory, in order, with its time, and neither
    // logged nor answered; the readers stay open. ReleaseHeldSwipes (the databases open
    // again) logs and answers each as it would have been then.
    void HoldSwipes() { m_holding = true; }
    void ReleaseHeldSwipes();
    bool HoldingSwipes() const { return m_holding; }
    int HeldSwipes() const { return int(m_heldSwipes.size()); }

    // Speech worker for the greetings, made on the first greeting (null until then).
    SpeechWorker *Speech() const { return m_speech.get(); }

private:
    class Descriptions;
    struct TSwipe;

    IDeskView &view() const;
    ICaptureControl &capture() const;
    void wireReader(int port);
    void motionTimerTimer();
    // The log row, the lookup, the access decision and the answer on the wire; throws on a
    // database or line failure.
    void logAndAnswer(TRfidReader &reader, TSwipe &swipe);
    // Asks and keeps the card's anti-passback state; false refuses the swipe.
    bool passAntiPassback(int code, int direction);
    // LOCK on the swipe's row, then the door.
    void openDoorForSwipe(const TSwipe &swipe);
    struct TNotice
    {
        QString title;
        QString msg;
        QString attach;
    };
    // The swipe's row behind any that wait; false when it had to wait too (mayWait) and
    // raises otherwise.
    bool writeLogRow(const TLogRow &row, bool mayWait);
    // Write what waits, oldest first; raise at the first that still cannot be written.
    bool writeWaitingRows();
    bool writeWaitingNotices();
    void appendNotice(const TNotice &notice);
    int swipeBusyWaitMs() const;
    void showWaiting();
    void queueEmail(int code, const QString &name, const QString &group, bool found,
                    const QDateTime &stamp, int direction, int port, int lockPort);
    void speak(const QDateTime &stamp, bool found, const QString &name);

    IDeskView *m_view = nullptr;
    ICaptureControl *m_capture = nullptr;
    std::array<std::unique_ptr<TRfidReader>, 9> m_readers;
    std::unique_ptr<Descriptions> m_descriptions;
    const IReaderDescriptions *m_previousDescriptions = nullptr;
    QTimer *m_motionTimer = nullptr;
    QTimer *m_tickTimer = nullptr;
    std::unique_ptr<SpeechWorker> m_speech;

    std::atomic<bool> m_snapshotDone{false};
    int m_buttonPort = 0;
    // Bumped by every press, release and power-up: a capture whose snapshot wait let a newer
    // one in leaves the motion timer to it.
    quint64 m_motionEpoch = 0;
    bool m_autoIn = true;
    int m_overrideCountdown = 0;
    int m_lastMinute = -1;
    bool m_reconnectEnabled = false;
    struct THeldSwipe
    {
        bool offline;
        int port;
        int code;
        QDateTime stamp;
        int cmode;
    };
    bool m_holding = false;
    std::deque<THeldSwipe> m_heldSwipes;
    std::deque<TLogRow> m_waitingRows;
    std::deque<TNotice> m_waitingNotices;
};
