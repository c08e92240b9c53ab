#pragma once
// TCustomSerialPort: one serial device (termios), its line settings, an event thread that
// waits on the device and hands each event set to the component's thread, blocking writes
// and reads and RTS control. Create, configure, open, close, read and write on the main
// thread (the component's thread); every notification (Do... and On...) runs there too.
// The event thread is internal: it only waits and hands over.

#include "readerlink/serialerror.h"

#include <QByteArray>
#include <QFlags>
#include <QObject>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

enum TBaudRate
{
    brCustom,
    br110,
    br300,
    br600,
    br1200,
    br2400,
    br4800,
    br9600,
    br14400,
    br19200,
    br38400,
    br56000,
    br57600,
    br115200,
    br128000,
    br256000
};
enum TStopBits
{
    sbOneStopBit,
    sbOne5StopBits,
    sbTwoStopBits
};
enum TDataBits
{
    dbFive,
    dbSix,
    dbSeven,
    dbEight
};
enum TParityBits
{
    prNone,
    prOdd,
    prEven,
    prMark,
    prSpace
};
enum TDTRFlowControl
{
    dtrDisable,
    dtrEnable,
    dtrHandshake
};
enum TRTSFlowControl
{
    rtsDisable,
    rtsEnable,
    rtsHandshake,
    rtsToggle
};
enum TFlowControl
{
    fcHardware,
    fcSoftware,
    fcNone,
    fcCustom
};
// Only smThreadSync is served: the other two values are kept as set, and events still
// reach the component's thread by thread synchronisation.
enum TSyncMethod
{
    smThreadSync,
    smWindowSync,
    smNone
};

enum TSerialEvent : unsigned
{
    evRxChar = 1u << 0,
    evTxEmpty = 1u << 1,
    evRxFlag = 1u << 2,
    evRing = 1u << 3,
    evBreak = 1u << 4,
    evCTS = 1u << 5,
    evDSR = 1u << 6,
    evError = 1u << 7,
    evRLSD = 1u << 8,
    evRx80Full = 1u << 9
};
Q_DECLARE_FLAGS(TSerialEvents, TSerialEvent)
Q_DECLARE_OPERATORS_FOR_FLAGS(TSerialEvents)
inline constexpr TSerialEvents AllSerialEvents = TSerialEvents::fromInt(0x3ff);

enum TSerialError : unsigned
{
    ceFrame = 1u << 0,
    ceRxParity = 1u << 1,
    ceOverrun = 1u << 2,
    ceBreak = 1u << 3,
    ceIO = 1u << 4,
    ceMode = 1u << 5,
    ceRxOver = 1u << 6,
    ceTxFull = 1u << 7
};
Q_DECLARE_FLAGS(TSerialErrors, TSerialError)
Q_DECLARE_OPERATORS_FOR_FLAGS(TSerialErrors)

class TCustomSerialPort;
namespace SerialPosix {
class SerialEventThread;
}

using TSerialNotifyEvent = std::function<void(TCustomSerialPort *sender)>;
using TRxCharEvent = std::function<void(TCustomSerialPort *sender, int count)>;
using TRxBufEvent = std::function<void(TCustomSerialPort *sender, const char *buffer, int count)>;
using TSerialSignalEvent = std::function<void(TCustomSerialPort *sender, bool onOff)>;
using TSerialErrorEvent = std::function<void(TCustomSerialPort *sender, TSerialErrors errors)>;

// Parity settings of a port; a change re-applies the line settings of an open port.
class TSerialParity
{
public:
    explicit TSerialParity(TCustomSerialPort *port) : m_port(port) {}
    TParityBits Bits() const { return m_bits; }
    void SetBits(TParityBits value);
    bool Check() const { return m_check; }
    void SetCheck(bool value);
    bool Replace() const { return m_replace; }
    void SetReplace(bool value);
    char ReplaceChar() const { return m_replaceChar; }
    void SetReplaceChar(char value);

private:
    TCustomSerialPort *m_port;
    TParityBits m_bits = prNone;
    bool m_check = false;
    bool m_replace = false;
    char m_replaceChar = 0;
};

// Queue sizes of a port (kept as set: a tty has no queue size to choose); an odd value is
// lowered by one.
class TSerialBuffer
{
public:
    explicit TSerialBuffer(TCustomSerialPort *port) : m_port(port) {}
    int InputSize() const { return m_inputSize; }
    void SetInputSize(int value);
    int OutputSize() const { return m_outputSize; }
    void SetOutputSize(int value);

private:
    TCustomSerialPort *m_port;
    int m_inputSize = 1024;
    int m_outputSize = 1024;
};

// Flow control of a port; a change re-applies the line settings of an open port.
class TSerialFlowControl
{
public:
    explicit TSerialFlowControl(TCustomSerialPort *port) : m_port(port) {}
    bool OutCTSFlow() const { return m_outCTSFlow; }
    void SetOutCTSFlow(bool value);
    bool OutDSRFlow() const { return m_outDSRFlow; }
    void SetOutDSRFlow(bool value);
    TDTRFlowControl ControlDTR() const { return m_controlDTR; }
    void SetControlDTR(TDTRFlowControl value);
    TRTSFlowControl ControlRTS() const { return m_controlRTS; }
    void SetControlRTS(TRTSFlowControl value);
    bool XonXoffOut() const { return m_xonXoffOut; }
    void SetXonXoffOut(bool value);
    bool XonXoffIn() const { return m_xonXoffIn; }
    void SetXonXoffIn(bool value);
    bool DSRSensitivity() const { return m_dsrSensitivity; }
    void SetDSRSensitivity(bool value);
    bool TxContinueOnXoff() const { return m_txContinueOnXoff; }
    void SetTxContinueOnXoff(bool value);
    char XonChar() const { return m_xonChar; }
    void SetXonChar(char value);
    char XoffChar() const { return m_xoffChar; }
    void SetXoffChar(char value);

    // The four switches read as one choice; writing fcCustom changes nothing.
    TFlowControl FlowControl() const;
    void SetFlowControl(TFlowControl value);

private:
    void changed();

    TCustomSerialPort *m_port;
    bool m_outCTSFlow = false;
    bool m_outDSRFlow = false;
    TDTRFlowControl m_controlDTR = dtrDisable;
    TRTSFlowControl m_controlRTS = rtsDisable;
    bool m_xonXoffOut = false;
    bool m_xonXoffIn = false;
    bool m_dsrSensitivity = false;
    bool m_txContinueOnXoff = false;
    char m_xonChar = 17;
    char m_xoffChar = 19;
};

// Time-outs in milliseconds; -1 stands for "no interval limit" (as ReadInterval's initial
// value: with it and zero totals a read returns at once with whatever is queued).
class TSerialTimeouts
{
public:
    explicit TSerialTimeouts(TCustomSerialPort *port) : m_port(port) {}
    int ReadInterval() const { return m_readInterval; }
    void SetReadInterval(int value);
    int ReadTotalMultiplier() const { return m_readTotalMultiplier; }
    void SetReadTotalMultiplier(int value);
    int ReadTotalConstant() const { return m_readTotalConstant; }
    void SetReadTotalConstant(int value);
    int WriteTotalMultiplier() const { return m_writeTotalMultiplier; }
    void SetWriteTotalMultiplier(int value);
    int WriteTotalConstant() const { return m_writeTotalConstant; }
    void SetWriteTotalConstant(int value);

private:
    TCustomSerialPort *m_port;
    int m_readInterval = -1;
    int m_readTotalMultiplier = 0;
    int m_readTotalConstant = 0;
    int m_writeTotalMultiplier = 100;
    int m_writeTotalConstant = 1000;
};

class TCustomSerialPort : public QObject
{
    Q_OBJECT

public:
    explicit TCustomSerialPort(QObject *owner = nullptr);
    ~TCustomSerialPort() override; // closes the port; never throws

    // Opening and closing. Both raise ESerialPort on failure (see Open and Close).
    bool Connected() const { return m_fd >= 0; }
    void SetConnected(bool value);
    void Open();
    void Close();

    TBaudRate BaudRate() const { return m_baudRate; }
    void SetBaudRate(TBaudRate value);
    int CustomBaudRate() const { return m_customBaudRate; }
    void SetCustomBaudRate(int value);
    // "COMn" opens the device named by setting COM<n>Device (default /dev/ttyS<n-1>); any
    // other name is taken as a device path. Changing it on an open port reopens the port.
    QString Port() const { return m_port; }
    void SetPort(const QString &value);
    TStopBits StopBits() const { return m_stopBits; }
    void SetStopBits(TStopBits value);
    TDataBits DataBits() const { return m_dataBits; }
    void SetDataBits(TDataBits value);
    bool DiscardNull() const { return m_discardNull; }
    void SetDiscardNull(bool value);
    char EventChar() const { return m_eventChar; }
    void SetEventChar(char value);
    // The events the event thread watches; takes effect at the next open. Received bytes,
    // line errors, breaks, a hang-up (as ceIO) and an emptied output are seen; a tty offers
    // no wait for modem-line changes or the event character, so evCTS, evDSR, evRLSD,
    // evRing and evRxFlag are kept as set and never reported.
    TSerialEvents Events() const { return m_events; }
    void SetEvents(TSerialEvents value);
    // Raises SerialError::SetWhileConnected while the port is open, keeping the old value.
    TSyncMethod SyncMethod() const { return m_syncMethod; }
    void SetSyncMethod(TSyncMethod value);

    TSerialParity *Parity() const { return m_parity.get(); }
    TSerialBuffer *Buffer() const { return m_buffer.get(); }
    TSerialFlowControl *FlowControl() const { return m_flowControl.get(); }
    TSerialTimeouts *Timeouts() const { return m_timeouts.get(); }

    // Writes count bytes, waiting at most WriteTotalMultiplier x count + WriteTotalConstant
    // ms (no limit when both are 0) for all of them to be sent; returns count. Raises
    // SerialError::WriteFile, also when the limit passes first (the system error is then
    // ETIMEDOUT and the bytes not yet sent are discarded). After such a time-out the next
    // write waits no longer than a glance until one succeeds again.
    int Write(const void *buffer, int count);
    int WriteStr(const QByteArray &str);
    // Reads up to count bytes into str under the read time-outs (with the initial ones it
    // returns at once with what is queued); str is cut to the bytes read, whose number is
    // returned. Raises SerialError::ReadFile.
    int ReadStr(QByteArray &str, int count);
    // Raises or drops RTS. A device without modem lines (a pseudo-terminal) has no RTS to
    // drive: that is not an error. Raises SerialError::EscapeComm.
    void SetRTS(bool on);
    // Bytes waiting in the driver's input queue. Raises SerialError::ClearCommError.
    int InputCount();

    // The device path that a port name opens.
    static QString DevicePath(const QString &port);

    // Event properties, all optional; fired by the Do... methods below.
    TSerialNotifyEvent OnAfterOpen;
    TSerialNotifyEvent OnAfterClose;
    TSerialNotifyEvent OnBeforeOpen;
    TSerialNotifyEvent OnBeforeClose;
    TSerialNotifyEvent OnTxEmpty;
    TSerialNotifyEvent OnBreak;
    TSerialNotifyEvent OnRing;
    TSerialNotifyEvent OnRxFlag;
    TSerialNotifyEvent OnRx80Full;
    TRxCharEvent OnRxChar;
    TRxBufEvent OnRxBuf;
    TSerialSignalEvent OnCTSChange;
    TSerialSignalEvent OnDSRChange;
    TSerialSignalEvent OnRLSDChange;
    TSerialErrorEvent OnError;

protected:
    // Notifications, all on the component's thread. Each fires its event property.
    // A notification that waits for more input from this same port does not get it
    // before it returns: the event thread is blocked until the set is handled.
    virtual void DoAfterOpen();
    virtual void DoAfterClose();
    virtual void DoBeforeOpen();
    virtual void DoBeforeClose();
    virtual void DoTxEmpty();
    virtual void DoBreak();
    virtual void DoRing();
    virtual void DoRxFlag();
    virtual void DoRx80Full();
    // count > 0 bytes are waiting. By default fires OnRxChar, and when OnRxBuf is set reads
    // them and passes them to DoRxBuf.
    virtual void DoRxChar(int count);
    virtual void DoRxBuf(const char *buffer, int count);
    virtual void DoCTSChange(bool onOff);
    virtual void DoDSRChange(bool onOff);
    virtual void DoRLSDChange(bool onOff);
    virtual void DoError(TSerialErrors errors);

private:
    friend class TSerialParity;
    friend class TSerialBuffer;
    friend class TSerialFlowControl;
    friend class TSerialTimeouts;

    void ApplyCommState();  // line settings of an open port; SerialError::SetCommState
    void ApplyBuffer();     // queue sizes of an open port
    void ApplyTimeouts() {} // read and written at each call; nothing to hand to the device
    void CloseHandle();
    void StartEventThread();
    void StopEventThread();
    // Event thread: hands one set to this object's thread and waits until it is handled
    // or the port is closing.
    void HandOver(TSerialEvents events, TSerialErrors errors);
    void HandleEvents(quint64 generation, TSerialEvents events, TSerialErrors errors);
    void ReportModemLines();

    int m_fd = -1;
    bool m_writeStalled = false; // the last write timed out
    TBaudRate m_baudRate = br9600;
    int m_customBaudRate = 9600;
    QString m_port = QStringLiteral("COM1");
    TStopBits m_stopBits = sbOneStopBit;
    TDataBits m_dataBits = dbEight;
    bool m_discardNull = false;
    char m_eventChar = 0;
    TSerialEvents m_events = AllSerialEvents;
    TSyncMethod m_syncMethod = smThreadSync;
    std::unique_ptr<TSerialParity> m_parity;
    std::unique_ptr<TSerialBuffer> m_buffer;
    std::unique_ptr<TSerialFlowControl> m_flowControl;
    std::unique_ptr<TSerialTimeouts> m_timeouts;

    std::unique_ptr<SerialPosix::SerialEventThread> m_thread;
    // Hand-over between the event thread and this object's thread.
    std::mutex m_handOverMutex;
    std::condition_variable m_handOverDone;
    bool m_handOverPending = false;
    bool m_stopping = false;
    quint64 m_generation = 0; // one per open: stale queued hand-overs are ignored
    std::atomic<quint64> m_bytesRead{0};
};
