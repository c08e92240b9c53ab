#include "desk/deskcore.h"

#include "desk/accessdecision.h"
#include "desk/speechengine.h"
#include "readerlink/reader.h"
#include "store/beep.h"
#include "store/clock.h"
#include "store/datasrc.h"
#include "store/db/sqlitedb.h"
#include "store/dbschema.h"
#include "store/eventwait.h"
#include "store/logrow.h"
#include "store/messages.h"
#include "store/paths.h"
#include "store/settings.h"
#include "store/utils.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTimer>

#include <exception>

namespace {

// Stands in when the window gives no view or capture.
IDeskView g_noView;
ICaptureControl g_noCapture;

QString portColumn(int port)
{
    return QStringLiteral("COM") + QString::number(port);
}

// A time of day from a TIME column (stored "HH:MM:SS"), invalid when null.
QTime timeOfDay(const TField &field)
{
    const QVariant v = field.AsVariant();
    if (v.metaType().id() == QMetaType::QTime)
        return v.toTime();
    if (v.metaType().id() == QMetaType::QDateTime)
        return v.toDateTime().time();
    return field.AsDateTime().time();
}

} // namespace

QString MakeSnapshotFileName(int card, const QDateTime &time)
{
    return PhotoPath + QLatin1Char('/') + FormatDateTime(QStringLiteral("yyMMdd-hhmmss"), time) +
           QLatin1Char('-') + QString::number(card) + QStringLiteral(".jpg");
}

QString RowSnapshotFileName(int cardNo, const QDateTime &time)
{
    return MakeSnapshotFileName(cardNo == ButtonCardNo ? 0 : cardNo, time);
}

QString CheckedSnapshotFile(const QString &path)
{
    static const QRegularExpression form(
        QStringLiteral("^[0-9]{6}-[0-9]{6}-(0|-?[1-9][0-9]*)\\.jpg$"));
    if (path.isEmpty())
        return QString();
    const QFileInfo file(QFileInfo(path).canonicalFilePath());
    const QString folder = QDir(PhotoPath).canonicalPath();
    if (file.filePath().isEmpty() || folder.isEmpty() || !file.isFile() ||
        file.absolutePath() != folder || !form.match(file.fileName()).hasMatch())
        return QString();
    return file.filePath();
}

// GetPortName's source of reader descriptions: the readers' own, which they guard themselves,
// so web request threads may read them while the main thread sets readers up.
class TDeskCore::Descriptions final : public IReaderDescriptions
{
public:
    explicit Descriptions(const TDeskCore &core) : m_core(core) {}
    QString Desc(int port) const override
    {
        const TRfidReader *r = m_core.Reader(port);
        return r ? r->Desc() : portColumn(port);
    }

private:
    const TDeskCore &m_core;
};

TDeskCore::TDeskCore(IDeskView *view, ICaptureControl *capture, QObject *parent)
    : QObject(parent), m_view(view), m_capture(capture)
{
    for (int n = 1; n <= ReaderPortCount; ++n) {
        m_readers[n] = std::make_unique<TRfidReader>();
        // Until the reader table says otherwise a port is known by its name.
        m_readers[n]->SetDesc(portColumn(n));
        Readers[n] = m_readers[n].get();
    }
    m_descriptions = std::make_unique<Descriptions>(*this);
    m_previousDescriptions = SetReaderDescriptions(m_descriptions.get());

    m_motionTimer = new QTimer(this);
    connect(m_motionTimer, &QTimer::timeout, this, &TDeskCore::motionTimerTimer);
    m_tickTimer = new QTimer(this);
    m_tickTimer->setInterval(TickIntervalMs);
    connect(m_tickTimer, &QTimer::timeout, this, &TDeskCore::Timer2Timer);
}

TDeskCore::~TDeskCore()
{
    StopTimers();
    // Whatever still waits is lost with the desk: say exactly what, for whoever reads the log.
    for (const TLogRow &row : m_waitingRows)
        qWarning("Swipe never written to the log: card %d at %s, reader %d, mode %d", row.CardNo,
                 qPrintable(row.SysTime.toString(Qt::ISODate)), row.Reader, row.Mode);
    for (const TNotice &notice : m_waitingNotices)
        qWarning("E-mail notice never queued: %s", qPrintable(notice.title));
    for (const THeldSwipe &held : m_heldSwipes)
        qWarning("Swipe never answered: card %d at %s, reader %d", held.code,
                 qPrintable(held.stamp.toString(Qt::ISODate)), held.port);
    if (CurrentReaderDescriptions() == m_descriptions.get())
        SetReaderDescriptions(m_previousDescriptions);
    for (int n = 1; n <= ReaderPortCount; ++n) {
        // Closing may hand over a last event set: nothing of the desk may run by then.
        TRfidReader &r = *m_readers[n];
        r.OnCardCode = nullptr;
        r.OnBypass = nullptr;
        r.OnPowerup = nullptr;
        r.OnHangup = nullptr;
        try {
            DisconnectReader(n);
        } catch (...) {
        }
        Readers[n] = nullptr;
        m_readers[n].reset();
    }
    m_speech.reset();
}

void TDeskCore::SetView(IDeskView *view)
{
    m_view = view;
}

void TDeskCore::SetCapture(ICaptureControl *capture)
{
    m_capture = capture;
}

IDeskView &TDeskCore::view() const
{
    return m_view ? *m_view : g_noView;
}

ICaptureControl &TDeskCore::capture() const
{
    return m_capture ? *m_capture : g_noCapture;
}

TRfidReader *TDeskCore::Reader(int port) const
{
    return IsReaderPort(port) ? m_readers[port].get() : nullptr;
}

// ---- Readers set-up ------------------------------------------------------------------------

void TDeskCore::SetupAllReaders()
{
    if (!dsrc)
        return;
    TDataSet &table = dsrc->reader;
    bool tableOk = false;
    try {
        if (!table.Active())
            table.Open();
        tableOk = table.RecordCount() == ReaderPortCount;
    } catch (const std::exception &e) {
        qWarning("Reader table: %s", e.what());
    }
    if (!tableOk) {
        table.Close();
        ShowError(QStringLiteral("Database error. Please re-format the database."));
        return;
    }
    for (int n = 1; n <= ReaderPortCount; ++n)
        SetupReader(n);
    table.Close();
}

void TDeskCore::SetupAllReadersAgain()
{
    if (!dsrc)
        return;
    TDataSet &table = dsrc->reader;
    std::array<bool, ReaderPortCount + 1> keepOpen{};
    try {
        if (!table.Active())
            table.Open();
        if (table.RecordCount() == ReaderPortCount) {
            for (int n = 1; n <= ReaderPortCount; ++n)
                keepOpen[n] = m_readers[n]->Connected() &&
                              table.Locate(Schema::Reader::PortNo, n) &&
                              table.FieldByName(Schema::Reader::Enable).AsBoolean();
        }
    } catch (const std::exception &e) {
        qWarning("Reader table: %s", e.what());
    }
    for (int n = 1; n <= ReaderPortCount; ++n)
        if (!keepOpen[n])
            DisconnectReader(n);
    SetupAllReaders();
}

void TDeskCore::wireReader(int port)
{
    TRfidReader &r = *m_readers[port];
    r.OnCardCode = [this](bool offline, int p, int code, const QDateTime &stamp, qint8 cmode) {
        ReaderCardCode(offline, p, code, stamp, cmode);
    };
    r.OnBypass = [this](int p, int state) { ReaderBypass(p, state); };
    r.OnPowerup = [this](int p) { ReaderPowerup(p); };
    r.OnHangup = [this](int p) { ReaderHangup(p); };
}

void TDeskCore::SetupReader(int portNo)
{
    TRfidReader *r = Reader(portNo);
    if (!r || !dsrc)
        return;
    TDataSet &table = dsrc->reader;
    try {
        if (table.Active() && table.Locate(Schema::Reader::PortNo, portNo)) {
            r->SetPortNo(portNo);
            wireReader(portNo);
            r->SetEnable(table.FieldByName(Schema::Reader::Enable).AsBoolean());
            r->SetChecked(r->Enable());
            r->SetLock(table.FieldByName(Schema::Reader::OutPort).AsInteger());
            r->SetBypass(table.FieldByName(Schema::Reader::BpPort).AsInteger());
            r->SetMode(table.FieldByName(Schema::Reader::Mode).AsInteger());
            r->SetDesc(table.FieldByName(Schema::Reader::Desc).AsString());
            r->SetLockTime(table.FieldByName(Schema::Reader::LockTime).AsInteger());
            r->SetModel(table.FieldByName(Schema::Reader::Model).AsInteger());
            r->SetApb(table.FieldByName(Schema::Reader::Apb).AsBoolean());
            r->SetCapture(table.FieldByName(Schema::Reader::Capture).AsBoolean());
            r->SetMotion(table.FieldByName(Schema::Reader::Motion).AsInteger());

            r->SetDataBits(dbEight);
            r->SetStopBits(sbOneStopBit);
            r->Parity()->SetBits(prNone);
            r->ApplyPortNo();
            if (r->Enable()) {
                // A port that does not open is retried by the tick; nothing is shown.
                try {
                    r->SetConnected(true);
                } catch (const std::exception &) {
                }
                if (!r->Connected())
                    r->SetEnable(false);
            }
        }
    } catch (const std::exception &e) {
        qWarning("Reader %d set-up: %s", portNo, e.what());
    }
    if (DoorOpenPortNo() == portNo)
        view().SetDoorButtonCaption(r->Desc() + QStringLiteral("->OPEN"));
}

void TDeskCore::DisconnectReader(int portNo)
{
    TRfidReader *r = Reader(portNo);
    if (!r)
        return;
    r->SetEnable(false);
    try {
        r->SetConnected(false);
    } catch (const std::exception &e) {
        qWarning("Reader %d close: %s", portNo, e.what());
    }
}

void TDeskCore::DisconnectAllReaders()
{
    for (int n = 1; n <= ReaderPortCount; ++n)
        DisconnectReader(n);
}

int TDeskCore::DoorOpenPortNo()
{
    const int port = ReadRegInteger(Setting::DoorOpenPortNo);
    // Only the door-button dialog writes it, with 1..8; anything else is a damaged setting.
    return IsReaderPort(port) ? port : 1;
}

QString TDeskCore::DoorButtonCaption(bool spaced) const
{
    return m_readers[DoorOpenPortNo()]->Desc() +
           (spaced ? QStringLiteral(" -> OPEN") : QStringLiteral("->OPEN"));
}

// ---- The road of a swipe -------------------------------------------------------------------

// A swipe's working values, from the reader's event to the greeting.
struct TDeskCore::TSwipe
{
    bool offline = false;
    int port = 0;
    int code = 0;
    QDateTime stamp;
    int cmode = -1;
    TSwipeDirection direction;
    int lockPort = 0;
    bool found = false;
    QString name;
    QString group;
};

void TDeskCore::ReaderCardCode(bool offline, int port, int code, const QDateTime &stamp, int cmode)
{
    TRfidReader *reader = Reader(port);
    if (!reader || !dsrc)
        return;
    if (m_holding) {
        m_heldSwipes.push_back({offline, port, code, stamp, cmode});
        return;
    }
    TSwipe s;
    s.offline = offline;
    s.port = port;
    s.code = code;
    s.stamp = stamp;
    s.cmode = cmode;
    s.name = QString::number(code);

    try {
        logAndAnswer(*reader, s);
    } catch (const std::exception &e) {
        qWarning("Swipe on port %d: %s", port, e.what());
    } catch (...) {
    }
    // A stored swipe is only acknowledged (or, unwritten, left with the reader).
    if (offline)
        return;

    try {
        queueEmail(code, s.name, s.group, s.found, stamp, s.direction.Direction, port, s.lockPort);
        view().ShowRecordCount();
        view().ShowStaffPhoto(code);
        UpdateAutoInOut(Now());
        if (reader->Capture())
            WaitForSnapshot();
        view().ShowCapturedImage(code, stamp);
        if (ReadRegBool(Setting::SpeechEnable))
            speak(stamp, s.found, s.name);
    } catch (const std::exception &e) {
        qWarning("Swipe on port %d, refresh: %s", port, e.what());
    } catch (...) {
    }
}

void TDeskCore::logAndAnswer(TRfidReader &r, TSwipe &s)
{
    // The setting matters only to a live swipe at a TIME CLOCK reader: no settings read else.
    const bool autoInOut = s.cmode < 0 && r.Mode() == 0 && ReadRegBool(Setting::AutoInOut);
    s.direction = DecideDirection(s.cmode, r.Mode(), autoInOut, m_autoIn);
    // A stored swipe that cannot be written is left with the reader (no "~A"). A live one
    // waits in line for the lock with LOCK 0: its door stays shut, and the reader is told so
    // at once rather than left without an answer.
    if (!writeLogRow({s.stamp, s.code, s.direction.Direction, s.port, 0}, !s.offline)) {
        r.SendReject();
        return;
    }

    if (s.offline) {
        // A stored swipe is only acknowledged: it happened while nobody was watching.
        r.SendAccept();
        return;
    }

    if (r.Capture()) {
        capture().SetSnapshotFileName(MakeSnapshotFileName(s.code, s.stamp));
        m_snapshotDone.store(false);
        capture().TakeSnapshot(100);
    }
    s.lockPort = r.Lock();
    Beep();

    TAccessQuery query;
    query.Port = s.port;
    query.ReaderMode = r.Mode();
    query.LockPort = s.lockPort;
    query.LockApb = IsReaderPort(s.lockPort) && m_readers[s.lockPort]->Apb();
    query.Direction = s.direction;
    TDataSet &staff = dsrc->staff;
    query.Known = staff.Locate(Schema::Staffs::CardNo, s.code);
    if (query.Known) {
        s.found = true;
        s.name = staff.FieldByName(Schema::Staffs::Name).AsString();
        GetGroupName(staff.FieldByName(Schema::Staffs::WorkGrp).AsInteger(), s.group);
        for (const int p : {s.port, s.lockPort})
            if (IsReaderPort(p))
                query.Rights[p] = staff.FieldByName(Schema::Staffs::Com(p)).AsBoolean();
    }

    const TAccessDecision access = DecideAccess(query);
    if (access.RejectUnknown)
        r.SendReject();
    if (access.SignalClock)
        r.SendLowerY();
    if (!s.found || s.direction.ClockReader)
        return;
    const bool allowed =
        access.Allowed && (!access.CheckApb || passAntiPassback(s.code, s.direction.Direction));
    if (allowed)
        openDoorForSwipe(s);
    else if (access.RejectRefused)
        r.SendReject();
}

bool TDeskCore::passAntiPassback(int code, int direction)
{
    TDataSet &apb = dsrc->apb;
    const bool known = apb.Locate(Schema::Apb::CardNo, code);
    if (known && apb.FieldByName(Schema::Apb::State).AsInteger() == direction)
        return false; // the same direction twice in a row
    // The state is kept on the way in; a write that fails does not keep the door shut.
    try {
        TBusyTimeout wait(dsrc->src, swipeBusyWaitMs());
        TDataSetEdit edit(apb, known ? TDataSetEdit::Kind::Edit : TDataSetEdit::Kind::Append);
        if (!known)
            apb.FieldByName(Schema::Apb::CardNo).SetAsInteger(code);
        apb.FieldByName(Schema::Apb::State).SetAsInteger(direction);
        edit.Post();
    } catch (const std::exception &e) {
        qWarning("Anti-passback state of card %d not kept: %s", code, e.what());
    }
    return true;
}

void TDeskCore::openDoorForSwipe(const TSwipe &s)
{
    TDataSet &logs = dsrc->logs;
    try {
        TBusyTimeout wait(dsrc->att, SwipeBusyTimeoutMs);
        SetLogLock(logs, s.lockPort);
    } catch (const std::exception &e) {
        qWarning("Door of port %d: %s", s.lockPort, e.what());
        return;
    }
    try {
        OpenReaderDoor(s.port);
    } catch (const std::exception &e) {
        // The door command did not go out: the log must not claim a door that stayed shut.
        qWarning("Door of port %d: %s", s.lockPort, e.what());
        try {
            TBusyTimeout wait(dsrc->att, SwipeBusyTimeoutMs);
            SetLogLock(logs, 0);
        } catch (const std::exception &e2) {
            qWarning("LOCK of the swipe on port %d not set back: %s", s.port, e2.what());
        }
    }
}

void TDeskCore::queueEmail(int code, const QString &name, const QString &group, bool found,
                           const QDateTime &stamp, int direction, int port, int lockPort)
{
    if (!ReadRegBool(Setting::EmailEnabled))
        return;
    if (ReadRegBool(Setting::EmailStaffOnly) && !found)
        return;
    const QString crlf = QStringLiteral("\r\n");
    const QString msg =
        name + QStringLiteral(" [") + QString::number(code) + QLatin1Char(']') + crlf + group +
        crlf + FormatDateTime(QStringLiteral("MMMM d, yyyy dddd  AM/PMhh:mm:ss"), stamp) + crlf +
        GetModeName(direction) + crlf + GetPortName(port) + crlf + GetPortName(lockPort) + crlf;
    QString title = QLatin1Char('[') +
                    FormatDateTime(QStringLiteral("yyyy/mm/dd AM/PMHH:mm:ss"), stamp) +
                    QStringLiteral("] ") + name;
    if (!group.isEmpty())
        title += QStringLiteral(", ") + group;

    const TNotice notice{title, msg, MakeSnapshotFileName(code, stamp)};
    try {
        TBusyTimeout wait(dsrc->src, swipeBusyWaitMs());
        if (writeWaitingNotices()) {
            appendNotice(notice);
            return;
        }
    } catch (const EDatabaseError &e) {
        if (!e.IsBusy()) {
            qWarning("E-mail notice not queued: %s", e.what());
            return;
        }
    } catch (const std::exception &e) {
        qWarning("E-mail notice not queued: %s", e.what());
        return;
    }
    // Another program holds the system database: the notice waits in line for the lock.
    m_waitingNotices.push_back(notice);
    showWaiting();
}

void TDeskCore::appendNotice(const TNotice &notice)
{
    TDataSet &emails = dsrc->emails;
    TDataSetEdit edit(emails, TDataSetEdit::Kind::Append);
    emails.FieldByName(Schema::Emails::Title).SetAsString(notice.title);
    emails.FieldByName(Schema::Emails::Msg).SetAsString(notice.msg);
    emails.FieldByName(Schema::Emails::Attach).SetAsString(notice.attach);
    edit.Post();
}

// ---- Rows that wait for a lock -------------------------------------------------------------

int TDeskCore::swipeBusyWaitMs() const
{
    // Once a lock has been seen, the writes behind it only look: every swipe meanwhile would
    // otherwise pay the wait again.
    return m_waitingRows.empty() && m_waitingNotices.empty() ? SwipeBusyTimeoutMs : 0;
}

bool TDeskCore::writeWaitingRows()
{
    if (m_waitingRows.empty())
        return true;
    TDataSet &logs = dsrc->logs;
    std::size_t appended = 0;
    try {
        // One commit for them all: a long lock may have kept many out.
        TTransaction tx(dsrc->att);
        for (const TLogRow &row : m_waitingRows) {
            AppendLogRow(logs, row);
            ++appended;
        }
        tx.Commit();
    } catch (...) {
        // Busy or not, the rows stay in line: they are swipes that happened. The dataset
        // counted the rows that the rollback took back.
        if (appended) {
            try {
                logs.Refresh();
            } catch (...) {
            }
        }
        throw;
    }
    m_waitingRows.clear();
    showWaiting();
    return true;
}

bool TDeskCore::writeWaitingNotices()
{
    const std::size_t before = m_waitingNotices.size();
    while (!m_waitingNotices.empty()) {
        try {
            appendNotice(m_waitingNotices.front());
        } catch (const EDatabaseError &e) {
            if (e.IsBusy()) {
                if (m_waitingNotices.size() != before)
                    showWaiting();
                throw;
            }
            // A notice the table refuses for good is dropped, as a direct one would be.
            qWarning("E-mail notice not queued: %s", e.what());
        }
        m_waitingNotices.pop_front();
    }
    if (before)
        showWaiting();
    return true;
}

bool TDeskCore::writeLogRow(const TLogRow &row, bool mayWait)
{
    TBusyTimeout wait(dsrc->att, swipeBusyWaitMs());
    try {
        writeWaitingRows();
        AppendLogRow(dsrc->logs, row);
        return true;
    } catch (const EDatabaseError &e) {
        if (!e.IsBusy() || !mayWait)
            throw;
    }
    // Another program holds the log: the row waits in line and is written once it lets go.
    m_waitingRows.push_back(row);
    showWaiting();
    return false;
}

void TDeskCore::WriteWaiting()
{
    if (!dsrc || (m_waitingRows.empty() && m_waitingNotices.empty()))
        return;
    // Only a look: a lock seen a moment ago is most likely still held, and a swipe arriving
    // meanwhile must not wait behind the retry.
    try {
        if (!m_waitingRows.empty()) {
            TBusyTimeout wait(dsrc->att, 0);
            writeWaitingRows();
        }
    } catch (const std::exception &) {
    }
    try {
        if (!m_waitingNotices.empty()) {
            TBusyTimeout wait(dsrc->src, 0);
            writeWaitingNotices();
        }
    } catch (const std::exception &) {
    }
}

int TDeskCore::WriteWaitingBeforeClosing()
{
    if (!dsrc)
        return WaitingRows() + WaitingNotices();
    // The connections' own, longer wait: nothing else needs the desk now.
    try {
        writeWaitingRows();
    } catch (const std::exception &e) {
        qWarning("Log rows still waiting: %s", e.what());
    }
    try {
        writeWaitingNotices();
    } catch (const std::exception &e) {
        qWarning("E-mail notices still waiting: %s", e.what());
    }
    return WaitingRows() + WaitingNotices();
}

void TDeskCore::ReleaseHeldSwipes()
{
    m_holding = false;
    // A swipe answered here may turn the event loop (a snapshot wait); one that comes then is
    // answered at once, and one hold begun meanwhile keeps the rest.
    while (!m_heldSwipes.empty() && !m_holding) {
        const THeldSwipe s = m_heldSwipes.front();
        m_heldSwipes.pop_front();
        ReaderCardCode(s.offline, s.port, s.code, s.stamp, s.cmode);
    }
}

void TDeskCore::showWaiting()
{
    view().ShowWaitingRows(WaitingRows() + WaitingNotices());
}

void TDeskCore::speak(const QDateTime &stamp, bool found, const QString &name)
{
    if (!m_speech) {
        m_speech = std::make_unique<SpeechWorker>();
        connect(m_speech.get(), &SpeechWorker::SpeechUnavailable, this,
                [this](const QString &message) { view().ShowStatusNotice(message); });
    }
    // Queued: the greeting must not hold the door of the next swipe.
    m_speech->Say(SwipeGreeting(stamp, found, name));
}

void TDeskCore::OpenReaderDoor(int port)
{
    TRfidReader *r = Reader(port);
    if (!r)
        return;
    const int lock = r->Lock();
    TRfidReader *lockReader = Reader(lock);
    if (!lockReader)
        return;
    if (lockReader->Enable() && lock != port) {
        // The swiping reader only signals; a failure there must not keep the door shut.
        try {
            r->SendLowerY();
        } catch (const std::exception &e) {
            qWarning("Reader %d: %s", port, e.what());
        }
    }
    lockReader->SendOpenLock();
}

void TDeskCore::ReaderBypass(int port, int state)
{
    TRfidReader *r = Reader(port);
    if (!r)
        return;
    if (state != 0) {
        ++m_motionEpoch;
        m_motionTimer->stop();
        return;
    }
    try {
        const int bypass = r->Bypass();
        TRfidReader *door = Reader(bypass);
        if (door && door->Enable()) {
            if (bypass != port)
                r->SendLowerY();
            door->SendOpenLock();
        }
    } catch (const std::exception &e) {
        qWarning("Exit button on port %d: %s", port, e.what());
    }
    LogButtonCapture(port);
}

void TDeskCore::ReaderPowerup(int port)
{
    ++m_motionEpoch;
    m_motionTimer->stop();
}

void TDeskCore::ReaderHangup(int port)
{
    TRfidReader *r = Reader(port);
    if (!r)
        return;
    qWarning("Reader %d: the device hung up; its port is closed until it is set up again", port);
    // Kept open, the dead port would never be retried.
    DisconnectReader(port);
    r->SetChecked(true);
}

void TDeskCore::motionTimerTimer()
{
    LogButtonCapture(m_buttonPort);
}

void TDeskCore::LogButtonCapture(int port)
{
    TRfidReader *r = Reader(port);
    if (!r || !dsrc) {
        m_motionTimer->stop();
        return;
    }
    m_buttonPort = port;
    const quint64 epoch = ++m_motionEpoch;
    const QDateTime t = Now();
    if (r->Motion() >= 0) {
        TDataSet &logs = dsrc->logs;
        try {
            TDataSetEdit edit(logs, TDataSetEdit::Kind::Append);
            SetLogFields(logs, {t, ButtonCardNo, r->Mode(), port, 0});
            capture().SetSnapshotFileName(MakeSnapshotFileName(0, t));
            m_snapshotDone.store(false);
            capture().TakeSnapshot(100);
            edit.Post();
            view().ShowRecordCount();
            view().ShowStaffPhoto(0);
            if (r->Capture())
                WaitForSnapshot();
            view().ShowCapturedImage(0, t);
        } catch (const std::exception &e) {
            qWarning("Exit-button row on port %d: %s", port, e.what());
        } catch (...) {
        }
    }
    // The wait above may have let a release or another press in: the latest word stands.
    if (epoch != m_motionEpoch)
        return;
    if (r->Motion() > 0) {
        m_motionTimer->setInterval(r->Motion() * 1000);
        m_motionTimer->start();
    } else {
        m_motionTimer->stop();
    }
}

void TDeskCore::WaitForSnapshot()
{
    if (!capture().IsCapturing())
        return;
    // A monotonic deadline: the wait must end even when the wall clock jumps or is pinned.
    WaitOnEvents([this] { return m_snapshotDone.load(); }, QDeadlineTimer(1000, Qt::PreciseTimer));
}

void TDeskCore::CaptureSnapshotDone()
{
    m_snapshotDone.store(true);
    WakeWaiter(this);
}

bool TDeskCore::MotionActive() const
{
    return m_motionTimer->isActive();
}

int TDeskCore::MotionIntervalMs() const
{
    return m_motionTimer->interval();
}

// ---- One-second tick and automatic IN/OUT --------------------------------------------------

void TDeskCore::StartTimers()
{
    m_tickTimer->start();
}

void TDeskCore::StopTimers()
{
    m_tickTimer->stop();
    m_motionTimer->stop();
}

void TDeskCore::Timer2Timer()
{
    // A tick that blocks (a set-up, a message box shown meanwhile) must not run twice at once.
    const bool running = m_tickTimer->isActive();
    m_tickTimer->stop();
    try {
        const QDateTime now = Now();
        view().SetStatusClock(
            FormatDateTime(QStringLiteral("dd/mmm/yyyy ddd  AM/PM hh:mm:ss"), now));
        const int previous = m_lastMinute;
        m_lastMinute = now.time().minute();
        if (m_overrideCountdown == 0) {
            if (previous != m_lastMinute)
                UpdateAutoInOut(now);
        } else if (--m_overrideCountdown == 0) {
            UpdateAutoInOut(now);
        }
        if (m_reconnectEnabled)
            ReconnectReaders();
        WriteWaiting();
    } catch (const std::exception &e) {
        qWarning("Tick: %s", e.what());
    } catch (...) {
    }
    if (running)
        m_tickTimer->start();
}

void TDeskCore::UpdateAutoInOut(const QDateTime &now)
{
    if (!dsrc || !dsrc->src.IsOpen() || !ReadRegBool(Setting::AutoInOut))
        return;
    bool isIn = false;
    try {
        TDataSet &q = dsrc->Qiotime;
        if (!q.Active())
            q.Open();
        const QTime t = now.time();
        for (q.First(); !q.Eof(); q.Next()) {
            const QTime from = timeOfDay(q.FieldByName(Schema::IoTime::From));
            if (from.isValid() && from > t)
                break;
            if (TimeInWindow(from, timeOfDay(q.FieldByName(Schema::IoTime::To)), t)) {
                isIn = true;
                break;
            }
        }
    } catch (const std::exception &e) {
        // The schedule cannot be read: keep the direction shown.
        qWarning("Automatic IN/OUT: %s", e.what());
        return;
    }
    SetInOutPanel(isIn);
}

void TDeskCore::SetInOutPanel(bool isIn)
{
    m_autoIn = isIn;
    view().SetInOutPanel(isIn);
}

void TDeskCore::IopanelClick()
{
    if (!ReadRegBool(Setting::AutoOverride))
        return;
    m_overrideCountdown = OverrideTicks;
    SetInOutPanel(!m_autoIn);
}

void TDeskCore::ReconnectReaders()
{
    if (!dsrc || !dsrc->reader.Active())
        return;
    for (int n = 1; n <= ReaderPortCount; ++n) {
        const TRfidReader &r = *m_readers[n];
        if (r.Checked() && !r.Enable())
            SetupReader(n);
    }
}
