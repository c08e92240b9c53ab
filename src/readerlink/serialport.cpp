#include "readerlink/serialport.h"

#include "readerlink/serialport_posix.h"
#include "store/settings.h"

#include <QMetaObject>
#include <QRegularExpression>
#include <QtGlobal>

#include <algorithm>
#include <cerrno>

namespace {

constexpr int kBaudRates[] = {0,     110,   300,   600,   1200,  2400,   4800,   9600,
                              14400, 19200, 38400, 56000, 57600, 115200, 128000, 256000};

// Runs a notification without letting its failure escape into the event loop.
template <typename Fn> void guarded(const char *what, Fn &&fn)
{
    try {
        fn();
    } catch (const std::exception &e) {
        qWarning("Serial port %s: %s", what, e.what());
    } catch (...) {
        qWarning("Serial port %s: unknown failure", what);
    }
}

} // namespace

// --- settings objects ------------------------------------------------------------------

#define SERIAL_SETTER(Class, Name, Type, member, apply)                                            \
    void Class::Set##Name(Type value)                                                              \
    {                                                                                              \
        if (member == value)                                                                       \
            return;                                                                                \
        member = value;                                                                            \
        apply;                                                                                     \
    }

SERIAL_SETTER(TSerialParity, Bits, TParityBits, m_bits, m_port->ApplyCommState())
SERIAL_SETTER(TSerialParity, Check, bool, m_check, m_port->ApplyCommState())
SERIAL_SETTER(TSerialParity, Replace, bool, m_replace, m_port->ApplyCommState())
SERIAL_SETTER(TSerialParity, ReplaceChar, char, m_replaceChar, m_port->ApplyCommState())

SERIAL_SETTER(TSerialFlowControl, OutCTSFlow, bool, m_outCTSFlow, changed())
SERIAL_SETTER(TSerialFlowControl, OutDSRFlow, bool, m_outDSRFlow, changed())
SERIAL_SETTER(TSerialFlowControl, ControlDTR, TDTRFlowControl, m_controlDTR, changed())
SERIAL_SETTER(TSerialFlowControl, ControlRTS, TRTSFlowControl, m_controlRTS, changed())
SERIAL_SETTER(TSerialFlowControl, XonXoffOut, bool, m_xonXoffOut, changed())
SERIAL_SETTER(TSerialFlowControl, XonXoffIn, bool, m_xonXoffIn, changed())
SERIAL_SETTER(TSerialFlowControl, DSRSensitivity, bool, m_dsrSensitivity, changed())
SERIAL_SETTER(TSerialFlowControl, TxContinueOnXoff, bool, m_txContinueOnXoff, changed())
SERIAL_SETTER(TSerialFlowControl, XonChar, char, m_xonChar, changed())
SERIAL_SETTER(TSerialFlowControl, XoffChar, char, m_xoffChar, changed())

SERIAL_SETTER(TSerialTimeouts, ReadInterval, int, m_readInterval, m_port->ApplyTimeouts())
SERIAL_SETTER(TSerialTimeouts, ReadTotalMultiplier, int, m_readTotalMultiplier,
              m_port->ApplyTimeouts())
SERIAL_SETTER(TSerialTimeouts, ReadTotalConstant, int, m_readTotalConstant, m_port->ApplyTimeouts())
SERIAL_SETTER(TSerialTimeouts, WriteTotalMultiplier, int, m_writeTotalMultiplier,
              m_port->ApplyTimeouts())
SERIAL_SETTER(TSerialTimeouts, WriteTotalConstant, int, m_writeTotalConstant,
              m_port->ApplyTimeouts())

#undef SERIAL_SETTER

void TSerialBuffer::SetInputSize(int value)
{
    value -= value % 2;
    if (value == m_inputSize)
        return;
    m_inputSize = value;
    m_port->ApplyBuffer();
}

void TSerialBuffer::SetOutputSize(int value)
{
    value -= value % 2;
    if (value == m_outputSize)
        return;
    m_outputSize = value;
    m_port->ApplyBuffer();
}

void TSerialFlowControl::changed()
{
    m_port->ApplyCommState();
}

TFlowControl TSerialFlowControl::FlowControl() const
{
    const bool xon = m_xonXoffIn || m_xonXoffOut;
    if (m_controlRTS == rtsHandshake && m_outCTSFlow && !xon)
        return fcHardware;
    if (m_controlRTS == rtsDisable && !m_outCTSFlow && m_xonXoffIn && m_xonXoffOut)
        return fcSoftware;
    if (m_controlRTS == rtsDisable && !m_outCTSFlow && !xon)
        return fcNone;
    return fcCustom;
}

void TSerialFlowControl::SetFlowControl(TFlowControl value)
{
    if (value == fcCustom)
        return;
    // One apply for the whole change, not one per switch.
    m_controlRTS = rtsDisable;
    m_outCTSFlow = false;
    m_xonXoffIn = false;
    m_xonXoffOut = false;
    if (value == fcHardware) {
        m_controlRTS = rtsHandshake;
        m_outCTSFlow = true;
    } else if (value == fcSoftware) {
        m_xonXoffIn = true;
        m_xonXoffOut = true;
    }
    changed();
}

// --- component -------------------------------------------------------------------------

TCustomSerialPort::TCustomSerialPort(QObject *owner)
    : QObject(owner), m_parity(std::make_unique<TSerialParity>(this)),
      m_buffer(std::make_unique<TSerialBuffer>(this)),
      m_flowControl(std::make_unique<TSerialFlowControl>(this)),
      m_timeouts(std::make_unique<TSerialTimeouts>(this))
{
}

TCustomSerialPort::~TCustomSerialPort()
{
    try {
        Close();
    } catch (...) {
    }
    // Close may have been cut short by a notification that threw.
    StopEventThread();
    CloseHandle();
}

void TCustomSerialPort::SetConnected(bool value)
{
    if (value)
        Open();
    else
        Close();
}

QString TCustomSerialPort::DevicePath(const QString &port)
{
    static const QRegularExpression comName(QStringLiteral("^COM([1-9][0-9]{0,3})$"),
                                            QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = comName.match(port);
    if (!m.hasMatch())
        return port;
    const int n = m.captured(1).toInt();
    return ReadRegString(Setting::ComDeviceKey(n), Setting::ComDeviceDefault(n));
}

void TCustomSerialPort::Open()
{
    if (Connected())
        return;
    DoBeforeOpen();
    int fd = -1;
    if (const int err = SerialPosix::OpenDevice(DevicePath(m_port).toLocal8Bit(), &fd))
        throw ESerialPort(SerialError::OpenPort, err);
    m_fd = fd;
    m_writeStalled = false;
    try {
        ApplyBuffer();
        ApplyCommState();
        ApplyTimeouts();
        if (m_events)
            StartEventThread();
    } catch (...) {
        StopEventThread();
        CloseHandle();
        throw;
    }
    DoAfterOpen();
    ReportModemLines();
}

void TCustomSerialPort::Close()
{
    if (!Connected())
        return;
    DoCTSChange(false);
    DoDSRChange(false);
    DoRLSDChange(false);
    DoBeforeClose();
    // A notification may have closed the port already.
    if (!Connected())
        return;
    const int purgeError = SerialPosix::Purge(m_fd);
    StopEventThread();
    CloseHandle();
    DoAfterClose();
    // A device that has gone away has nothing left to purge; the port is closed either way.
    if (purgeError && !SerialPosix::DeviceGone(purgeError))
        throw ESerialPort(SerialError::PurgeComm, purgeError);
}

void TCustomSerialPort::CloseHandle()
{
    if (m_fd < 0)
        return;
    SerialPosix::CloseDevice(m_fd);
    m_fd = -1;
}

void TCustomSerialPort::StartEventThread()
{
    {
        std::lock_guard lock(m_handOverMutex);
        m_stopping = false;
        m_handOverPending = false;
        ++m_generation;
    }
    auto thread = std::make_unique<SerialPosix::SerialEventThread>(
        m_fd, m_events, [this](TSerialEvents e, TSerialErrors x) { HandOver(e, x); }, &m_bytesRead);
    thread->SetRx80Level(m_buffer->InputSize() * 8 / 10);
    thread->SetParityCheck(m_parity->Check());
    if (const int err = thread->Start())
        throw ESerialPort(SerialError::OpenPort, err);
    m_thread = std::move(thread);
}

void TCustomSerialPort::StopEventThread()
{
    {
        std::lock_guard lock(m_handOverMutex);
        m_stopping = true;
    }
    m_handOverDone.notify_all();
    if (m_thread) {
        m_thread->Stop();
        m_thread.reset();
    }
    std::lock_guard lock(m_handOverMutex);
    m_handOverPending = false;
}

void TCustomSerialPort::HandOver(TSerialEvents events, TSerialErrors errors)
{
    std::unique_lock lock(m_handOverMutex);
    if (m_stopping)
        return;
    m_handOverPending = true;
    const quint64 generation = m_generation;
    lock.unlock();
    QMetaObject::invokeMethod(
        this, [this, generation, events, errors] { HandleEvents(generation, events, errors); },
        Qt::QueuedConnection);
    lock.lock();
    m_handOverDone.wait(lock, [this] { return !m_handOverPending || m_stopping; });
}

void TCustomSerialPort::HandleEvents(quint64 generation, TSerialEvents events, TSerialErrors errors)
{
    {
        std::lock_guard lock(m_handOverMutex);
        if (generation != m_generation || !m_handOverPending)
            return; // handed over by a thread that a close has released already
    }
    // A notification may close or reopen the port; the rest of the set then belongs to
    // nobody.
    const auto stillOpen = [this, generation] {
        std::lock_guard lock(m_handOverMutex);
        return Connected() && generation == m_generation && !m_stopping;
    };
    guarded("event", [&] {
        if ((events & evError) && errors)
            DoError(errors);
        if ((events & evRxChar) && stillOpen()) {
            const int count = InputCount();
            if (count > 0)
                DoRxChar(count);
        }
        if ((events & evTxEmpty) && stillOpen())
            DoTxEmpty();
        if ((events & evBreak) && stillOpen())
            DoBreak();
        if ((events & evRing) && stillOpen())
            DoRing();
        if ((events & (evCTS | evDSR | evRLSD)) && stillOpen()) {
            SerialPosix::ModemLines lines;
            if (const int err = SerialPosix::ReadModemLines(m_fd, &lines))
                throw ESerialPort(SerialError::ModemStatus, err);
            if (lines.present && (events & evCTS))
                DoCTSChange(lines.cts);
            if (lines.present && (events & evDSR) && stillOpen())
                DoDSRChange(lines.dsr);
            if (lines.present && (events & evRLSD) && stillOpen())
                DoRLSDChange(lines.rlsd);
        }
        if ((events & evRxFlag) && stillOpen())
            DoRxFlag();
        if ((events & evRx80Full) && stillOpen())
            DoRx80Full();
    });
    {
        std::lock_guard lock(m_handOverMutex);
        if (generation == m_generation)
            m_handOverPending = false;
    }
    m_handOverDone.notify_all();
}

void TCustomSerialPort::ReportModemLines()
{
    SerialPosix::ModemLines lines;
    if (const int err = SerialPosix::ReadModemLines(m_fd, &lines))
        throw ESerialPort(SerialError::ModemStatus, err);
    if (!lines.present)
        return; // nothing to report on a device without modem lines
    DoCTSChange(lines.cts);
    DoDSRChange(lines.dsr);
    DoRLSDChange(lines.rlsd);
}

void TCustomSerialPort::ApplyCommState()
{
    if (!Connected())
        return;
    SerialPosix::LineSettings s;
    s.baudRate = m_baudRate == brCustom ? m_customBaudRate : kBaudRates[m_baudRate];
    s.dataBits = 5 + int(m_dataBits);
    s.parity = m_parity->Bits();
    s.parityCheck = m_parity->Check();
    s.stopBits = m_stopBits;
    const TSerialFlowControl &f = *m_flowControl;
    s.hardwareFlow = f.OutCTSFlow() || f.ControlRTS() == rtsHandshake;
    s.xonXoffOut = f.XonXoffOut();
    s.xonXoffIn = f.XonXoffIn();
    s.xonChar = f.XonChar();
    s.xoffChar = f.XoffChar();
    // Handshake and toggle leave the lines to the driver.
    s.dtr = f.ControlDTR() == dtrDisable ? 0 : f.ControlDTR() == dtrEnable ? 1 : -1;
    s.rts = f.ControlRTS() == rtsDisable ? 0 : f.ControlRTS() == rtsEnable ? 1 : -1;
    if (const int err = SerialPosix::ApplyLineSettings(m_fd, s))
        throw ESerialPort(SerialError::SetCommState, err);
    if (m_thread)
        m_thread->SetParityCheck(s.parityCheck);
}

void TCustomSerialPort::ApplyBuffer()
{
    if (!Connected())
        return;
    if (m_thread)
        m_thread->SetRx80Level(m_buffer->InputSize() * 8 / 10);
}

#define PORT_SETTER(Name, Type, member)                                                            \
    void TCustomSerialPort::Set##Name(Type value)                                                  \
    {                                                                                              \
        if (member == value)                                                                       \
            return;                                                                                \
        member = value;                                                                            \
        ApplyCommState();                                                                          \
    }

PORT_SETTER(BaudRate, TBaudRate, m_baudRate)
PORT_SETTER(CustomBaudRate, int, m_customBaudRate)
PORT_SETTER(StopBits, TStopBits, m_stopBits)
PORT_SETTER(DataBits, TDataBits, m_dataBits)
PORT_SETTER(DiscardNull, bool, m_discardNull)
PORT_SETTER(EventChar, char, m_eventChar)

#undef PORT_SETTER

void TCustomSerialPort::SetPort(const QString &value)
{
    if (value == m_port)
        return;
    const bool wasOpen = Connected();
    Close();
    m_port = value;
    if (wasOpen)
        Open();
}

void TCustomSerialPort::SetEvents(TSerialEvents value)
{
    m_events = value;
}

void TCustomSerialPort::SetSyncMethod(TSyncMethod value)
{
    if (value == m_syncMethod)
        return;
    if (Connected())
        throw ESerialPort(SerialError::SetWhileConnected);
    m_syncMethod = value;
}

int TCustomSerialPort::Write(const void *buffer, int count)
{
    if (!Connected())
        throw ESerialPort(SerialError::WriteFile, EBADF);
    if (count <= 0)
        return 0;
    const long long multiplier = std::max(m_timeouts->WriteTotalMultiplier(), 0);
    const long long constant = std::max(m_timeouts->WriteTotalConstant(), 0);
    long long limit = multiplier * count + constant;
    // A line that let the last write time out gets one look, not another full wait: a stalled
    // device must not hold the caller (and every other reader behind it) again and again.
    if (m_writeStalled && limit != 0) {
        const long long rate = m_baudRate == brCustom ? m_customBaudRate : kBaudRates[m_baudRate];
        // Twice the time the bytes take on the line, and a little.
        limit = std::min(limit, 20000LL * count / std::max(rate, 1LL) + 20);
    }
    int written = 0;
    const int err =
        SerialPosix::WriteBytes(m_fd, static_cast<const char *>(buffer), count,
                                limit == 0 ? -1 : int(std::min(limit, 0x7fffffffLL)), &written);
    if (err == ETIMEDOUT) {
        // What did not go out in time must not go out later either (a door opening late).
        m_writeStalled = true;
        SerialPosix::DiscardOutput(m_fd);
    }
    if (err)
        throw ESerialPort(SerialError::WriteFile, err);
    m_writeStalled = false;
    if (written > 0 && m_thread)
        m_thread->NotifyTxEmpty();
    return written;
}

int TCustomSerialPort::WriteStr(const QByteArray &str)
{
    if (str.isEmpty())
        return 0;
    return Write(str.constData(), int(str.size()));
}

int TCustomSerialPort::ReadStr(QByteArray &str, int count)
{
    if (!Connected())
        throw ESerialPort(SerialError::ReadFile, EBADF);
    str.resize(std::max(count, 0));
    SerialPosix::ReadTimeouts t;
    t.interval = m_timeouts->ReadInterval();
    t.totalMultiplier = m_timeouts->ReadTotalMultiplier();
    t.totalConstant = m_timeouts->ReadTotalConstant();
    int got = 0;
    const int err = SerialPosix::ReadBytes(m_fd, str.data(), int(str.size()), t, &got);
    str.resize(got);
    m_bytesRead.fetch_add(quint64(got));
    if (err)
        throw ESerialPort(SerialError::ReadFile, err);
    return got;
}

void TCustomSerialPort::SetRTS(bool on)
{
    if (!Connected())
        throw ESerialPort(SerialError::EscapeComm, EBADF);
    if (const int err = SerialPosix::SetRTS(m_fd, on))
        throw ESerialPort(SerialError::EscapeComm, err);
}

int TCustomSerialPort::InputCount()
{
    if (!Connected())
        throw ESerialPort(SerialError::ClearCommError, EBADF);
    int count = 0;
    if (const int err = SerialPosix::QueuedInput(m_fd, &count))
        throw ESerialPort(SerialError::ClearCommError, err);
    return count;
}

// --- notifications ---------------------------------------------------------------------

#define PORT_NOTIFY(Name)                                                                          \
    void TCustomSerialPort::Do##Name()                                                             \
    {                                                                                              \
        if (On##Name)                                                                              \
            On##Name(this);                                                                        \
    }

PORT_NOTIFY(AfterOpen)
PORT_NOTIFY(AfterClose)
PORT_NOTIFY(BeforeOpen)
PORT_NOTIFY(BeforeClose)
PORT_NOTIFY(TxEmpty)
PORT_NOTIFY(Break)
PORT_NOTIFY(Ring)
PORT_NOTIFY(RxFlag)
PORT_NOTIFY(Rx80Full)

#undef PORT_NOTIFY

void TCustomSerialPort::DoRxChar(int count)
{
    if (OnRxChar)
        OnRxChar(this, count);
    if (OnRxBuf) {
        QByteArray bytes;
        const int got = ReadStr(bytes, count);
        if (got > 0)
            DoRxBuf(bytes.constData(), got);
    }
}

void TCustomSerialPort::DoRxBuf(const char *buffer, int count)
{
    if (OnRxBuf)
        OnRxBuf(this, buffer, count);
}

void TCustomSerialPort::DoCTSChange(bool onOff)
{
    if (OnCTSChange)
        OnCTSChange(this, onOff);
}

void TCustomSerialPort::DoDSRChange(bool onOff)
{
    if (OnDSRChange)
        OnDSRChange(this, onOff);
}

void TCustomSerialPort::DoRLSDChange(bool onOff)
{
    if (OnRLSDChange)
        OnRLSDChange(this, onOff);
}

void TCustomSerialPort::DoError(TSerialErrors errors)
{
    if (OnError)
        OnError(this, errors);
}
