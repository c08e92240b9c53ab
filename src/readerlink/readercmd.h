#pragma once
// What travels on a reader line: the host's frames (command, raw data, text), the binary
// command payloads, the reader's settings, its stored record and page layouts, the set-clock
// payload and the tilde text commands. Plain functions on bytes; any thread may call them
// (BuildClockPayload reads Now()).

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QTime>
#include <QtGlobal>

// Frame bytes.
inline constexpr quint8 ReaderFrameStart = 0xF5;
inline constexpr quint8 ReaderFrameEnd = 0xFA;
inline constexpr quint8 ReaderEnvelopeByte = 0xFF;
inline constexpr char ReaderTextMark = '~';
inline constexpr int ReaderMaxDataFrame = 1022; // raw data bytes that fit the frame buffer
inline constexpr int ReaderPageSize = 264;
inline constexpr int ReaderLogRecordSize = 8;
inline constexpr int ReaderAccessRecordSize = 22;
inline constexpr int ReaderLogsPerPage = ReaderPageSize / ReaderLogRecordSize;      // 33
inline constexpr int ReaderAccessPerPage = ReaderPageSize / ReaderAccessRecordSize; // 12
inline constexpr int ReaderNameWidth = 16;

// Reply waits in milliseconds.
inline constexpr int ReaderReplyWait = 500;
inline constexpr int ReaderClearLogsWait = 5000;

// Binary command numbers (byte 1 of a payload).
enum ReaderCommand : quint8
{
    CmdLock = 0x00,
    CmdGetClock = 0x01,
    CmdSetClock = 0x02,
    CmdCapacity = 0x03,
    CmdFetchRecord = 0x04,
    CmdClearLogs = 0x05,
    CmdGetSetting = 0x07,
    CmdSetSetting = 0x08,
    CmdWritePage = 0x09,
    CmdReadPage = 0x0A,
    CmdAction = 0x0B,
};

// The reader's two stored tables.
enum ReaderTable : quint8
{
    TableLogs = 0x00,
    TableAccess = 0x01,
};

// Setting numbers for CmdGetSetting / CmdSetSetting.
enum ReaderSetting : quint8
{
    SettingLine1 = 0x00,
    SettingLine2 = 0x01,
    SettingOptions = 0x04,
    SettingMode = 0x05,
    SettingTimetable = 0x06,
    SettingLockTime = 0x07,
    SettingPin = 0x08,
    SettingMasterPin = 0x09,
};

// Flags of SettingOptions.
enum ReaderOption : quint8
{
    OptionBackLight = 0x01,
    OptionBypassAllowed = 0x02,
    OptionAnyCardBypass = 0x04,
    OptionDoorMagnet = 0x08,
    OptionLockReverse = 0x10,
};

inline constexpr int ReaderTimetableSlots = 8;

struct TReaderTimetableSlot
{
    quint8 Code = 0; // 0 not used
    QTime Time = QTime(0, 0); // hours and minutes
};

// A time of day as the reader keeps it: the BCD hour, then the BCD minute (seconds dropped;
// an invalid time as 00:00).
QByteArray TimeToBcd(const QTime &time);

// A decoded log record. Kind: 0 TIME CLOCK, 1 IN, 2 OUT.
struct TReaderLogRecord
{
    quint8 Kind = 0;
    int Card = 0;
    QDateTime Stamp;
};

// A decoded access-table entry.
struct TReaderAccessRecord
{
    quint8 Flags = 0;
    int Card = 0;
    quint16 Value = 0;
    QString Name;
};

// --- frames from the host ---

// F5, LEN, payload, CHK, FA with LEN + payload + CHK = 0 modulo 256.
QByteArray BuildCommandFrame(const QByteArray &payload);
// F5, data, CHK, FA with data + CHK = 0 modulo 256; no length byte. At most
// ReaderMaxDataFrame bytes: longer data is cut.
QByteArray BuildDataFrame(const quint8 *data, int count);
// "~" + command + "~"; every command itself begins with "~".
QByteArray BuildTextFrame(const QByteArray &command);

// --- packed reader time ---

// The reader's packed time: ((((year-2000)*13 + month)*32 + day)*24 + hour)*60 + minute)*60 +
// second. The result is a wall-clock time (Qt::UTC as its carrier, as the log keeps its times),
// so a time in an hour the local clocks skip stays what the reader stored. Returns a null
// date-time when the value does not make a date (month or day 0, a day past the month's end,
// a negative value).
QDateTime DecodeReaderTime(qint32 value);

// --- binary command payloads ---

QByteArray LockPayload(quint8 id, bool lock);
QByteArray GetClockPayload(quint8 id);
// The set-clock payload from Now(): id, 02, BCD second, minute, hour, day of week 1..7
// (1 = Sunday), BCD day, month, year mod 100.
QByteArray BuildClockPayload(quint8 id);
QByteArray CapacityPayload(quint8 id, ReaderTable table);
QByteArray FetchRecordPayload(quint8 id, ReaderTable table, quint16 record);
// Clears the logs; capacity as last read with CapacityPayload(id, TableLogs).
QByteArray ClearLogsPayload(quint8 id, quint16 capacity);
QByteArray GetSettingPayload(quint8 id, ReaderSetting setting);
QByteArray SetSettingPayload(quint8 id, ReaderSetting setting, const QByteArray &value);
// Line 1 or 2: the text cut or padded with blanks to 16 characters.
QByteArray SetLinePayload(quint8 id, ReaderSetting line, const QString &text);
QByteArray SetWordSettingPayload(quint8 id, ReaderSetting setting, quint16 value);
QByteArray SetTimetablePayload(quint8 id,
                               const TReaderTimetableSlot (&timetable)[ReaderTimetableSlots]);
// Mode byte of SettingMode for a reader Mode (0 TIME CLOCK, 1 IN, 2 OUT).
quint8 ReaderModeByte(int mode, bool timetableInUse);
QByteArray WritePagePayload(quint8 id, quint16 page);
QByteArray ReadPagePayload(quint8 id, ReaderTable table, quint16 page);
QByteArray ActionPayload(quint8 id, quint8 action);

// --- replies (buffer as the reader's receive buffer: index 0 is the length byte) ---

// What the reply to one frame of the host must be: the bytes it echoes from index 1 (address,
// command and, where the reader echoes them, the arguments) and its length byte. A frame that
// differs in either answers some other frame, or came short, and is not this one's reply.
struct TReplyShape
{
    static constexpr int AnyLength = -1;
    static constexpr int LongReply = 0; // the 264-byte long reply, which echoes nothing
    QByteArray Echo;
    int Length = AnyLength;
};

// The reply to a command frame with this payload.
TReplyShape ReplyShapeOf(const QByteArray &payload);
// The reply to the raw data frame that follows CmdWritePage.
TReplyShape DataReplyShape(quint8 id);
// Whether a whole frame of `size` bytes (as TFrameReceiver::frameSize counts them; a long
// reply is 265) is the reply of that shape.
bool ReplyFits(const TReplyShape &shape, const quint8 *frame, int size, bool longReply);

// Reply to CmdGetClock; a null date-time when it is not a clock reply or its fields make no
// date.
QDateTime DecodeClockReply(const quint8 *reply, int size);
// Reply to CmdCapacity: false when it is not a capacity reply.
bool DecodeCapacityReply(const quint8 *reply, int size, int &capacity, int &count);
// Reply to CmdFetchRecord on the logs: false (record invalid, Kind untouched) when it is not
// a log record reply or its time does not decode.
bool DecodeLogRecord(const quint8 *reply, int size, TReaderLogRecord &record);
// Reply to CmdFetchRecord on the access table: false when it is not an access record reply.
bool DecodeAccessRecord(const quint8 *reply, int size, TReaderAccessRecord &record);

// --- stored layouts ---

// One 8-byte log record as the reader stores it (as in a page).
bool DecodeLogBytes(const quint8 *bytes, TReaderLogRecord &record);
// One 22-byte access entry as the reader stores it (as in a page).
void DecodeAccessBytes(const quint8 *bytes, TReaderAccessRecord &record);
// A 22-byte access entry: flags, card high byte first, value FF FF, name cut or padded to 16.
QByteArray BuildAccessEntry(quint8 flags, int card, const QString &name);
// A page as the desk writes it: 264 bytes of FFh.
QByteArray NewReaderPage();
// Lays entry k (0..11) of a page; false when k is out of range.
bool PutAccessEntry(QByteArray &page, int k, const QByteArray &entry);

// --- text commands (without the enclosing "~" of the text frame) ---

QByteArray OpenLockCommand(int lockTime); // "~Y" + digit; lockTime kept within 1..9
QByteArray LowerYCommand();               // "~y"
QByteArray AcceptCommand();               // "~A"
QByteArray RejectCommand();               // "~N"
QByteArray QueryModelCommand();           // "~@"
QByteArray ClearCardsCommand();           // "~CC"
QByteArray AddCardCommand(int code);      // "~A", 00 00, card high first, check byte
