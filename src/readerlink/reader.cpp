#include "readerlink/reader.h"

#include "store/beep.h"
#include "store/clock.h"
#include "store/lighttimer.h"
#include "store/utils.h"

#include <cstring>

TRfidReader::TRfidReader(QObject *owner) : TCustomSerialPort(owner)
{
    FlowControl()->SetControlRTS(rtsDisable);
    Timeouts()->SetWriteTotalMultiplier(WriteMsPerByte);
    Timeouts()->SetWriteTotalConstant(WriteMsConstant);
    m_parserTimer = std::make_unique<TLightTimer>(10, [this](TLightTimer *) { ParserTimerTick(); });
    m_replyTimer = std::make_unique<TLightTimer>(50, [this](TLightTimer *) { ReplyTimerTick(); });
}

TRfidReader::~TRfidReader()
{
    m_parserTimer->Stop(true);
    m_replyTimer->Stop(true);
    // Close while this object is still whole: closing may hand over a last event set.
    try {
        Close();
    } catch (...) {
    }
}

QString TRfidReader::Desc() const
{
    std::lock_guard lock(m_descMutex);
    return m_desc;
}

void TRfidReader::SetDesc(const QString &value)
{
    std::lock_guard lock(m_descMutex);
    m_desc = value;
}

void TRfidReader::ApplyPortNo()
{
    SetPort(QStringLiteral("COM%1").arg(m_portNo));
    SetBaudRate(br19200);
}

// --- sending ---------------------------------------------------------------------------

void TRfidReader::BeginTransmit()
{
    SetRTS(true);
    SetRTS(true);
    static const char lead[2] = {char(0xFF), char(0xFF)};
    Write(lead, 2);
}

void TRfidReader::EndTransmit()
{
    static const char tail[1] = {char(0xFF)};
    Write(tail, 1);
    SetRTS(false);
    SetRTS(false);
}

void TRfidReader::transmit(const QByteArray &frame)
{
    BeginTransmit();
    try {
        WriteStr(frame);
        EndTransmit();
    } catch (...) {
        // A failed write must not leave the line held: drop RTS, then report the failure.
        try {
            SetRTS(false);
        } catch (...) {
        }
        throw;
    }
}

void TRfidReader::startReplyWait(int ms, TReplyShape shape)
{
    m_awaited = std::move(shape);
    // Armed after the bytes are out: the wait counts from the end of the transmission, and a
    // failed write leaves no wait behind that nothing would end.
    m_pktMode = true;
    m_pktGood = false;
    m_pktTimeout = false;
    m_replyTimer->SetInterval(ms);
    m_replyTimer->Start();
}

void TRfidReader::SendPacket(const QByteArray &payload)
{
    SendPacketTimeout(payload, ReaderReplyWait);
}

void TRfidReader::SendPacketTimeout(const QByteArray &payload, int ms)
{
    if (!Connected())
        return;
    m_responsed = false;
    transmit(BuildCommandFrame(payload));
    if (ms > 0)
        startReplyWait(ms, ReplyShapeOf(payload));
}

void TRfidReader::SendData(const quint8 *bytes, int count)
{
    if (!Connected())
        return;
    m_responsed = false;
    transmit(BuildDataFrame(bytes, count));
    startReplyWait(ReaderReplyWait, DataReplyShape(m_id));
}

void TRfidReader::SendData(const QByteArray &bytes)
{
    SendData(reinterpret_cast<const quint8 *>(bytes.constData()), int(bytes.size()));
}

void TRfidReader::SendText(const QByteArray &command)
{
    if (!Connected())
        return;
    m_responsed = false;
    transmit(BuildTextFrame(command));
}

void TRfidReader::SendLock(bool lock)
{
    SendPacket(LockPayload(m_id, lock));
}

void TRfidReader::SendClock()
{
    SendPacket(BuildClockPayload(m_id));
}

void TRfidReader::SendOpenLock()
{
    SendText(OpenLockCommand(m_lockTime));
}

void TRfidReader::SendLowerY()
{
    SendText(LowerYCommand());
}

void TRfidReader::SendAccept()
{
    SendText(AcceptCommand());
}

void TRfidReader::SendReject()
{
    SendText(RejectCommand());
}

void TRfidReader::SendQueryModel()
{
    SendText(QueryModelCommand());
}

void TRfidReader::SendClearCards()
{
    SendText(ClearCardsCommand());
}

void TRfidReader::SendAddCard(int code)
{
    SendText(AddCardCommand(code));
}

// --- reply access ----------------------------------------------------------------------

quint8 TRfidReader::GetPktByte(int i) const
{
    return i >= 0 && i < m_replySize ? m_reply[i] : 0;
}

int TRfidReader::GetPktWord(int i) const
{
    return GetPktByte(i) + 256 * GetPktByte(i + 1);
}

QString TRfidReader::GetPktText(int i) const
{
    QString text;
    text.reserve(ReaderNameWidth);
    for (int k = 0; k < ReaderNameWidth; ++k)
        text.append(QChar::fromLatin1(static_cast<char>(GetPktByte(i + k))));
    return text;
}

QTime TRfidReader::GetPktTime(int i) const
{
    int hour = BcdToByte(GetPktByte(i));
    int minute = BcdToByte(GetPktByte(i + 1));
    if (hour >= 24)
        hour = 0;
    if (minute >= 60)
        minute = 0;
    return QTime(hour, minute, 0);
}

bool TRfidReader::DecodeLogRecord(TReaderLogRecord &record) const
{
    return ::DecodeLogRecord(m_reply, m_replySize, record);
}

bool TRfidReader::DecodeAccessRecord(TReaderAccessRecord &record) const
{
    return ::DecodeAccessRecord(m_reply, m_replySize, record);
}

bool TRfidReader::DecodeCapacityReply(int &capacity, int &count) const
{
    return ::DecodeCapacityReply(m_reply, m_replySize, capacity, count);
}

QDateTime TRfidReader::DecodeClockReply() const
{
    return ::DecodeClockReply(m_reply, m_replySize);
}

// --- receiving -------------------------------------------------------------------------

void TRfidReader::ResetParser()
{
    m_parserTimer->Stop(true);
    m_receiver.Reset();
}

void TRfidReader::DoAfterOpen()
{
    ResetParser();
}

void TRfidReader::DoError(TSerialErrors errors)
{
    ResetParser();
    // The serial layer reports a hang-up once, as an I/O error; the port is dead from then on.
    if (errors.testFlag(ceIO) && OnHangup)
        OnHangup(m_portNo);
}

void TRfidReader::DoRxChar(int count)
{
    int got = 0;
    try {
        got = ReadStr(m_readBuffer, count);
    } catch (const ESerialPort &e) {
        qWarning("Reader on %s: %s", qPrintable(Port()), e.what());
        ResetParser();
        return;
    }
    if (got > 0)
        ReceiveBytes(m_readBuffer.constData(), got);
}

void TRfidReader::ReceiveBytes(const char *bytes, int count)
{
    for (int i = 0; i < count; ++i) {
        const auto r = m_receiver.Push(static_cast<std::uint8_t>(bytes[i]), m_pktMode);
        if (r == TFrameReceiver::Result::Complete) {
            m_parserTimer->Stop(true);
            ProcessPacket();
        }
    }
    // Every byte restarts the silence limit; the bytes of one read arrived together, so
    // restarting once after the last of them is the same, and cheaper on a burst.
    if (m_receiver.idle()) {
        m_parserTimer->Stop(true);
    } else {
        m_parserTimer->SetInterval(SilenceLimit);
        m_parserTimer->Start();
    }
}

void TRfidReader::ParserTimerTick()
{
    ResetParser();
}

void TRfidReader::ReplyTimerTick()
{
    m_replyTimer->Stop(true);
    m_pktTimeout = true;
    m_pktMode = false;
}

void TRfidReader::ProcessPacket()
{
    // The rule a frame was read by is fixed at its length byte. A reply that completes after
    // its wait ran out is not a card; a card frame whose length byte came before a send is
    // still a card and leaves the awaited reply to come.
    if (m_receiver.frameKind() != TFrameReceiver::FrameKind::Unsolicited) {
        if (!m_pktMode)
            return;
        // A late reply to an earlier try or step, or a frame cut short, is not this reply:
        // taken, it would be read as this command's answer. The wait goes on.
        const int size = m_receiver.frameSize();
        if (!ReplyFits(m_awaited, m_receiver.buffer(), size,
                       m_receiver.frameKind() == TFrameReceiver::FrameKind::LongReply))
            return;
        std::memcpy(m_reply, m_receiver.buffer(), std::size_t(size));
        if (m_replySize > size)
            std::memset(m_reply + size, 0, std::size_t(m_replySize - size));
        m_replySize = size;
        m_replyTimer->Stop(true);
        m_pktGood = true;
        m_pktMode = false;
        return;
    }

    // Everything is read out of the buffer before any handler runs: a handler that lets the
    // event loop turn may bring in the next frame.
    const quint8 *b = m_receiver.buffer();
    const int port = m_portNo;
    switch (m_receiver.frameLength()) {
    case 2:
        switch (b[0]) {
        case '0':
        case '1':
        case '2':
            m_responsed = true;
            m_resultOK = true;
            m_modelString = b[0] == '0'   ? QStringLiteral("DL317")
                            : b[0] == '1' ? QStringLiteral("RB58")
                                          : QStringLiteral("RB59");
            break;
        case 'G':
            m_responsed = true;
            m_resultOK = true;
            break;
        case 'B':
            m_responsed = true;
            m_resultOK = false;
            break;
        case 'C':
            SendClock();
            break;
        case 'R':
            SendClock();
            if (OnPowerup)
                OnPowerup(port);
            break;
        case 'P':
            if (OnBypass)
                OnBypass(port, 0);
            break;
        case 'p':
            if (OnBypass)
                OnBypass(port, 1);
            break;
        default:
            break;
        }
        break;

    case 6: {
        const int code = (b[2] << 16) | (b[3] << 8) | b[4];
        if (code > 0 && OnCardCode)
            OnCardCode(false, port, code, ClearMilliseconds(Now()), -1);
        if (m_autoBeep)
            Beep();
        break;
    }

    case 11: {
        const int code = (b[7] << 16) | (b[8] << 8) | b[9];
        const quint32 packed =
            (quint32(b[1]) << 24) | (quint32(b[2]) << 16) | (quint32(b[3]) << 8) | quint32(b[4]);
        const bool offline = b[0] >= 0x80;
        const auto cmode = static_cast<qint8>(b[0] & 0x7F);
        if (code > 0 && OnCardCode)
            OnCardCode(offline, port, code, DecodeReaderTime(static_cast<qint32>(packed)), cmode);
        if (m_autoBeep)
            Beep();
        break;
    }

    default:
        break;
    }
}
