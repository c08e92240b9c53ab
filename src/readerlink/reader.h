#pragma once
// TRfidReader: one proximity-card reader on one serial port. It frames the host's commands
// (with RTS raised around each transmission), turns the received bytes into frames, waits for
// replies, and reports cards, the exit button and power-ups through its three events.
// Main thread only, except Desc(), which any thread may read.

#include "readerlink/framereceiver.h"
#include "readerlink/readercmd.h"
#include "readerlink/serialport.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QTime>

#include <functional>
#include <memory>
#include <mutex>

class TLightTimer;

// offline: the reader had stored the swipe; cmode: -1 for a live swipe, else the reader's mode.
using TCardCodeEvent =
    std::function<void(bool offline, int port, int code, const QDateTime &stamp, qint8 cmode)>;
using TBypassEvent = std::function<void(int port, int state)>;
using TPowerupEvent = std::function<void(int port)>;
// The device hung up or went away while the port was open; the port is still open then.
using THangupEvent = std::function<void(int port)>;

class TRfidReader : public TCustomSerialPort
{
    Q_OBJECT

public:
    static constexpr int SilenceLimit = 200; // ms between two bytes of one frame
    // Write time-outs: a frame's bytes take about half a millisecond each at 19200 baud, so
    // a line that has not sent a door command within a tenth of a second is not taking bytes
    // (a wedged adapter); the desk must not wait seconds on it.
    static constexpr int WriteMsPerByte = 2;
    static constexpr int WriteMsConstant = 100;

    explicit TRfidReader(QObject *owner = nullptr);
    ~TRfidReader() override;

    // Configuration.
    bool Enable() const { return m_enable; }
    void SetEnable(bool value) { m_enable = value; }
    bool Checked() const { return m_checked; }
    void SetChecked(bool value) { m_checked = value; }
    int PortNo() const { return m_portNo; }
    void SetPortNo(int value) { m_portNo = value; }
    int Lock() const { return m_lock; }
    void SetLock(int value) { m_lock = value; }
    int Bypass() const { return m_bypass; }
    void SetBypass(int value) { m_bypass = value; }
    int Mode() const { return m_mode; }
    void SetMode(int value) { m_mode = value; }
    int Model() const { return m_model; }
    void SetModel(int value) { m_model = value; }
    bool Apb() const { return m_apb; }
    void SetApb(bool value) { m_apb = value; }
    bool Capture() const { return m_capture; }
    void SetCapture(bool value) { m_capture = value; }
    int Motion() const { return m_motion; }
    void SetMotion(int value) { m_motion = value; }
    bool IsMotionUsed() const { return m_motion >= 0; }
    bool IsMotionTimed() const { return m_motion > 0; }
    QString Desc() const;
    void SetDesc(const QString &value);
    int LockTime() const { return m_lockTime; }
    void SetLockTime(int value) { m_lockTime = value; }
    quint8 ID() const { return m_id; }
    void SetID(quint8 value) { m_id = value; }
    bool AutoBeep() const { return m_autoBeep; }
    void SetAutoBeep(bool value) { m_autoBeep = value; }

    // State of the last exchange.
    QString ModelString() const { return m_modelString; }
    void SetModelString(const QString &value) { m_modelString = value; }
    bool Responsed() const { return m_responsed; }
    void SetResponsed(bool value) { m_responsed = value; }
    bool ResultOK() const { return m_resultOK; }
    void SetResultOK(bool value) { m_resultOK = value; }
    bool PktMode() const { return m_pktMode; }
    bool PktGood() const { return m_pktGood; }
    bool PktTimeout() const { return m_pktTimeout; }

    // Port "COM" + PortNo at 19200 baud; the caller sets the rest of the line and opens.
    void ApplyPortNo();

    // Sending. Each returns once the bytes are written; with the port closed each does
    // nothing at all. Write and RTS failures raise ESerialPort, and so does a line that did
    // not take the bytes within the write time-outs (nothing of the frame goes out later).
    void BeginTransmit();
    void EndTransmit();
    void SendPacket(const QByteArray &payload);
    // ms <= 0: no reply wait, and the reply flags stay as they are.
    void SendPacketTimeout(const QByteArray &payload, int ms);
    void SendData(const quint8 *bytes, int count); // at most 1,022 bytes
    void SendData(const QByteArray &bytes);
    void SendText(const QByteArray &command);

    // Reply access by index into the last reply taken (0 outside it). A reply is taken only
    // for the frame it answers and at that answer's length (ReplyShapeOf); any other frame
    // that arrives meanwhile is dropped and the wait goes on.
    quint8 GetPktByte(int i) const;
    int GetPktWord(int i) const;
    QString GetPktText(int i) const;
    QTime GetPktTime(int i) const;

    // Commands.
    // Locks the reader for the host's access (true) or hands it back (false).
    void SendLock(bool lock);
    void SendClock();
    void SendOpenLock();
    void SendLowerY();
    void SendAccept();
    void SendReject();
    void SendQueryModel();
    void SendClearCards();
    void SendAddCard(int code);

    // Bytes of the last reply taken (LEN, or 265 for a long reply); 0 before the first.
    int PktSize() const { return m_replySize; }
    // The last reply taken, read as the reply to the command named.
    bool DecodeLogRecord(TReaderLogRecord &record) const;
    bool DecodeAccessRecord(TReaderAccessRecord &record) const;
    bool DecodeCapacityReply(int &capacity, int &count) const;
    QDateTime DecodeClockReply() const;

    void ResetParser();

    // Runs bytes through the receiver as if read from the line (also what DoRxChar does).
    void ReceiveBytes(const char *bytes, int count);

    TCardCodeEvent OnCardCode;
    TBypassEvent OnBypass;
    TPowerupEvent OnPowerup;
    THangupEvent OnHangup;

protected:
    void DoAfterOpen() override;
    void DoError(TSerialErrors errors) override;
    void DoRxChar(int count) override;

private:
    void ProcessPacket();
    void ParserTimerTick();
    void ReplyTimerTick();
    void transmit(const QByteArray &frame);
    void startReplyWait(int ms, TReplyShape shape);

    bool m_enable = false;
    bool m_checked = false;
    int m_portNo = 0;
    int m_lock = 0;
    int m_bypass = 0;
    int m_mode = 0;
    int m_model = 0;
    bool m_apb = false;
    bool m_capture = false;
    int m_motion = 0;
    mutable std::mutex m_descMutex;
    QString m_desc;
    int m_lockTime = 1;
    quint8 m_id = 0;
    bool m_autoBeep = false;

    QString m_modelString;
    bool m_responsed = false;
    bool m_resultOK = false;
    bool m_pktMode = false;
    bool m_pktGood = false;
    bool m_pktTimeout = false;

    TFrameReceiver m_receiver;
    TReplyShape m_awaited;
    // The reply taken, copied out of the receiver: a frame that follows it on the line must
    // not change what its caller reads.
    quint8 m_reply[TFrameReceiver::BufferSize] = {};
    int m_replySize = 0;
    std::unique_ptr<TLightTimer> m_parserTimer;
    std::unique_ptr<TLightTimer> m_replyTimer;
    QByteArray m_readBuffer;
};
