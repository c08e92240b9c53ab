#include "readerlink/readercmd.h"

#include "store/clock.h"
#include "store/utils.h"

#include <QDate>

#include <cstring>

namespace {
quint8 checkByte(int sum)
{
    return static_cast<quint8>((256 - (sum & 0xFF)) & 0xFF);
}

QByteArray payload(quint8 id, ReaderCommand cmd)
{
    QByteArray p;
    p.append(static_cast<char>(id));
    p.append(static_cast<char>(cmd));
    return p;
}

void appendWord(QByteArray &p, quint16 v)
{
    p.append(static_cast<char>(v & 0xFF));
    p.append(static_cast<char>(v >> 8));
}

void appendCard(QByteArray &p, int card)
{
    p.append(static_cast<char>((card >> 16) & 0xFF));
    p.append(static_cast<char>((card >> 8) & 0xFF));
    p.append(static_cast<char>(card & 0xFF));
}

int card24(const quint8 *b)
{
    return (b[0] << 16) | (b[1] << 8) | b[2];
}

QByteArray paddedLatin1(const QString &text)
{
    return PadToWidth(text, ReaderNameWidth).toLatin1();
}
} // namespace

QByteArray BuildCommandFrame(const QByteArray &payload)
{
    const int len = payload.size() + 2;
    QByteArray f;
    f.reserve(payload.size() + 4);
    f.append(static_cast<char>(ReaderFrameStart));
    f.append(static_cast<char>(len));
    int sum = len;
    for (char c : payload)
        sum += static_cast<quint8>(c);
    f.append(payload);
    f.append(static_cast<char>(checkByte(sum)));
    f.append(static_cast<char>(ReaderFrameEnd));
    return f;
}

QByteArray BuildDataFrame(const quint8 *data, int count)
{
    count = qBound(0, count, ReaderMaxDataFrame);
    QByteArray f;
    f.reserve(count + 3);
    f.append(static_cast<char>(ReaderFrameStart));
    int sum = 0;
    for (int i = 0; i < count; ++i) {
        f.append(static_cast<char>(data[i]));
        sum += data[i];
    }
    f.append(static_cast<char>(checkByte(sum)));
    f.append(static_cast<char>(ReaderFrameEnd));
    return f;
}

QByteArray BuildTextFrame(const QByteArray &command)
{
    QByteArray f;
    f.reserve(command.size() + 2);
    f.append(ReaderTextMark);
    f.append(command);
    f.append(ReaderTextMark);
    return f;
}

QDateTime DecodeReaderTime(qint32 value)
{
    if (value < 0)
        return {};
    qint64 v = value;
    const int second = int(v % 60);
    v /= 60;
    const int minute = int(v % 60);
    v /= 60;
    const int hour = int(v % 24);
    v /= 24;
    const int day = int(v % 32);
    v /= 32;
    const int month = int(v % 13);
    const int year = int(v / 13) + 2000;
    const QDate date(year, month, day);
    if (!date.isValid())
        return {};
    return QDateTime(date, QTime(hour, minute, second), Qt::UTC);
}

QByteArray TimeToBcd(const QTime &time)
{
    const QTime t = time.isValid() ? time : QTime(0, 0);
    QByteArray b;
    b.append(static_cast<char>(ByteToBcd(static_cast<quint8>(t.hour()))));
    b.append(static_cast<char>(ByteToBcd(static_cast<quint8>(t.minute()))));
    return b;
}

QByteArray LockPayload(quint8 id, bool lock)
{
    QByteArray p = payload(id, CmdLock);
    p.append(static_cast<char>(lock ? 0x01 : 0x00));
    return p;
}

QByteArray GetClockPayload(quint8 id)
{
    return payload(id, CmdGetClock);
}

QByteArray BuildClockPayload(quint8 id)
{
    const QDateTime now = Now();
    const QDate d = now.date();
    const QTime t = now.time();
    QByteArray p = payload(id, CmdSetClock);
    p.append(static_cast<char>(ByteToBcd(t.second())));
    p.append(static_cast<char>(ByteToBcd(t.minute())));
    p.append(static_cast<char>(ByteToBcd(t.hour())));
    p.append(static_cast<char>(d.dayOfWeek() % 7 + 1)); // Qt's Sunday is 7, the reader's 1
    p.append(static_cast<char>(ByteToBcd(d.day())));
    p.append(static_cast<char>(ByteToBcd(d.month())));
    p.append(static_cast<char>(ByteToBcd(d.year() % 100)));
    return p;
}

QByteArray CapacityPayload(quint8 id, ReaderTable table)
{
    QByteArray p = payload(id, CmdCapacity);
    p.append(static_cast<char>(table));
    return p;
}

QByteArray FetchRecordPayload(quint8 id, ReaderTable table, quint16 record)
{
    QByteArray p = payload(id, CmdFetchRecord);
    p.append(static_cast<char>(table));
    appendWord(p, record);
    return p;
}

QByteArray ClearLogsPayload(quint8 id, quint16 capacity)
{
    QByteArray p = payload(id, CmdClearLogs);
    p.append(static_cast<char>(TableLogs));
    appendWord(p, capacity);
    return p;
}

QByteArray GetSettingPayload(quint8 id, ReaderSetting setting)
{
    QByteArray p = payload(id, CmdGetSetting);
    p.append(static_cast<char>(setting));
    return p;
}

QByteArray SetSettingPayload(quint8 id, ReaderSetting setting, const QByteArray &value)
{
    QByteArray p = payload(id, CmdSetSetting);
    p.append(static_cast<char>(setting));
    p.append(value);
    return p;
}

QByteArray SetLinePayload(quint8 id, ReaderSetting line, const QString &text)
{
    return SetSettingPayload(id, line, paddedLatin1(text));
}

QByteArray SetWordSettingPayload(quint8 id, ReaderSetting setting, quint16 value)
{
    QByteArray v;
    appendWord(v, value);
    return SetSettingPayload(id, setting, v);
}

QByteArray SetTimetablePayload(quint8 id,
                               const TReaderTimetableSlot (&timetable)[ReaderTimetableSlots])
{
    QByteArray v;
    for (const TReaderTimetableSlot &s : timetable) {
        v.append(static_cast<char>(s.Code));
        v.append(TimeToBcd(s.Time));
    }
    return SetSettingPayload(id, SettingTimetable, v);
}

quint8 ReaderModeByte(int mode, bool timetableInUse)
{
    if (mode == 1 || mode == 2)
        return static_cast<quint8>((mode - 1) * 0x40);
    return timetableInUse ? 0xC0 : 0x80;
}

QByteArray WritePagePayload(quint8 id, quint16 page)
{
    QByteArray p = payload(id, CmdWritePage);
    p.append(static_cast<char>(0x01));
    appendWord(p, page);
    return p;
}

QByteArray ReadPagePayload(quint8 id, ReaderTable table, quint16 page)
{
    QByteArray p = payload(id, CmdReadPage);
    p.append(static_cast<char>(table));
    appendWord(p, page);
    return p;
}

QByteArray ActionPayload(quint8 id, quint8 action)
{
    QByteArray p = payload(id, CmdAction);
    p.append(static_cast<char>(action));
    return p;
}

namespace {
// Length bytes of the replies the reader gives: LEN counts the length byte, the echo, the data
// and the check byte.
constexpr int LenEcho2 = 4;            // address, command
constexpr int LenEcho3 = 5;            // address, command, first argument
constexpr int LenClock = 11;           // + seven clock bytes
constexpr int LenCapacity = 9;         // + capacity, count
constexpr int LenLogRecord = 15;       // + table, record number, the 8-byte record
constexpr int LenAccessRecord = 29;    // + table, record number, the 22-byte entry
constexpr int LenWritePage = 7;        // + 01, page number
constexpr int LenLineSetting = 5 + 16; // + setting number, 16 characters
constexpr int LenWordSetting = 5 + 2;  // + setting number, 16-bit value
constexpr int LenByteSetting = 5 + 1;  // + setting number, one byte
constexpr int LenTimetable = 5 + 3 * ReaderTimetableSlots;

quint8 arg(const QByteArray &payload, int i)
{
    return i + 2 < payload.size() ? static_cast<quint8>(payload[i + 2]) : 0;
}

int settingReplyLength(quint8 setting)
{
    switch (setting) {
    case SettingLine1:
    case SettingLine2:
        return LenLineSetting;
    case SettingOptions:
    case SettingPin:
    case SettingMasterPin:
        return LenWordSetting;
    case SettingMode:
    case SettingLockTime:
        return LenByteSetting;
    case SettingTimetable:
        return LenTimetable;
    default:
        return TReplyShape::AnyLength;
    }
}

bool fits(const quint8 *reply, int size, ReaderCommand cmd, int length)
{
    return size == length && reply[0] == length && reply[2] == cmd;
}
} // namespace

TReplyShape ReplyShapeOf(const QByteArray &payload)
{
    TReplyShape shape;
    if (payload.size() < 2)
        return shape;
    const auto cmd = static_cast<quint8>(payload[1]);
    auto echo = [&](int args) { shape.Echo = payload.left(2 + args); };
    switch (cmd) {
    case CmdLock:
        echo(1);
        shape.Length = LenEcho3;
        break;
    case CmdGetClock:
        echo(0);
        shape.Length = LenClock;
        break;
    case CmdSetClock:
    case CmdClearLogs:
        echo(0);
        shape.Length = LenEcho2;
        break;
    case CmdCapacity:
        echo(1);
        shape.Length = LenCapacity;
        break;
    case CmdFetchRecord:
        echo(3);
        shape.Length = arg(payload, 0) == TableLogs ? LenLogRecord : LenAccessRecord;
        break;
    case CmdGetSetting:
        echo(1);
        shape.Length = settingReplyLength(arg(payload, 0));
        break;
    case CmdSetSetting:
        echo(1);
        shape.Length = LenEcho3;
        break;
    case CmdWritePage:
        echo(3);
        shape.Length = LenWritePage;
        break;
    case CmdReadPage:
        shape.Length = TReplyShape::LongReply;
        break;
    default:
        echo(0);
        break;
    }
    return shape;
}

TReplyShape DataReplyShape(quint8 id)
{
    TReplyShape shape;
    shape.Echo.append(static_cast<char>(id));
    shape.Echo.append(static_cast<char>(CmdWritePage));
    shape.Length = LenEcho3;
    return shape;
}

bool ReplyFits(const TReplyShape &shape, const quint8 *frame, int size, bool longReply)
{
    if (shape.Length == TReplyShape::LongReply)
        return longReply && size == ReaderPageSize + 1;
    if (longReply || size < 1 || frame[0] != size)
        return false;
    if (shape.Length != TReplyShape::AnyLength && size != shape.Length)
        return false;
    // The echo and at least the check byte after it.
    if (size < shape.Echo.size() + 2)
        return false;
    return std::memcmp(frame + 1, shape.Echo.constData(), std::size_t(shape.Echo.size())) == 0;
}

QDateTime DecodeClockReply(const quint8 *reply, int size)
{
    if (!fits(reply, size, CmdGetClock, LenClock))
        return {};
    const QDate date(2000 + BcdToByte(reply[9]), BcdToByte(reply[8]), BcdToByte(reply[7]));
    const QTime time(BcdToByte(reply[5]), BcdToByte(reply[4]), BcdToByte(reply[3]));
    if (!date.isValid() || !time.isValid())
        return {};
    return QDateTime(date, time);
}

bool DecodeCapacityReply(const quint8 *reply, int size, int &capacity, int &count)
{
    if (!fits(reply, size, CmdCapacity, LenCapacity))
        return false;
    capacity = reply[4] | (reply[5] << 8);
    count = reply[6] | (reply[7] << 8);
    return true;
}

bool DecodeLogBytes(const quint8 *bytes, TReaderLogRecord &record)
{
    record.Card = card24(bytes + 1);
    const quint32 packed = quint32(bytes[4]) | (quint32(bytes[5]) << 8) |
                           (quint32(bytes[6]) << 16) | (quint32(bytes[7]) << 24);
    record.Stamp = DecodeReaderTime(static_cast<qint32>(packed));
    if (!record.Stamp.isValid())
        return false;
    switch (bytes[0] >> 6) {
    case 0:
        record.Kind = 1; // IN
        break;
    case 1:
        record.Kind = 2; // OUT
        break;
    default:
        record.Kind = 0; // TIME CLOCK
        break;
    }
    return true;
}

void DecodeAccessBytes(const quint8 *bytes, TReaderAccessRecord &record)
{
    record.Flags = bytes[0];
    record.Card = card24(bytes + 1);
    record.Value = static_cast<quint16>(bytes[4] | (bytes[5] << 8));
    record.Name = QString::fromLatin1(reinterpret_cast<const char *>(bytes + 6), ReaderNameWidth);
}

bool DecodeLogRecord(const quint8 *reply, int size, TReaderLogRecord &record)
{
    if (!fits(reply, size, CmdFetchRecord, LenLogRecord) || reply[3] != TableLogs)
        return false;
    return DecodeLogBytes(reply + 6, record);
}

bool DecodeAccessRecord(const quint8 *reply, int size, TReaderAccessRecord &record)
{
    if (!fits(reply, size, CmdFetchRecord, LenAccessRecord) || reply[3] != TableAccess)
        return false;
    DecodeAccessBytes(reply + 6, record);
    return true;
}

QByteArray BuildAccessEntry(quint8 flags, int card, const QString &name)
{
    QByteArray e;
    e.reserve(ReaderAccessRecordSize);
    e.append(static_cast<char>(flags));
    appendCard(e, card);
    e.append(static_cast<char>(0xFF));
    e.append(static_cast<char>(0xFF));
    e.append(paddedLatin1(name));
    return e;
}

QByteArray NewReaderPage()
{
    return QByteArray(ReaderPageSize, static_cast<char>(0xFF));
}

bool PutAccessEntry(QByteArray &page, int k, const QByteArray &entry)
{
    if (k < 0 || k >= ReaderAccessPerPage || entry.size() != ReaderAccessRecordSize ||
        page.size() != ReaderPageSize)
        return false;
    page.replace(k * ReaderAccessRecordSize, ReaderAccessRecordSize, entry);
    return true;
}

QByteArray OpenLockCommand(int lockTime)
{
    // One digit on the wire: a time outside 1..9 would send a character the reader cannot read.
    QByteArray c("~Y");
    c.append(static_cast<char>('0' + qBound(1, lockTime, 9)));
    return c;
}

QByteArray LowerYCommand()
{
    return QByteArrayLiteral("~y");
}

QByteArray AcceptCommand()
{
    return QByteArrayLiteral("~A");
}

QByteArray RejectCommand()
{
    return QByteArrayLiteral("~N");
}

QByteArray QueryModelCommand()
{
    return QByteArrayLiteral("~@");
}

QByteArray ClearCardsCommand()
{
    return QByteArrayLiteral("~CC");
}

QByteArray AddCardCommand(int code)
{
    QByteArray c("~A");
    c.append('\0');
    c.append('\0');
    appendCard(c, code);
    const int sum = ((code >> 16) & 0xFF) + ((code >> 8) & 0xFF) + (code & 0xFF);
    c.append(static_cast<char>(checkByte(sum)));
    return c;
}
