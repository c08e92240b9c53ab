// Payloads, packed times, records and pages as bytes.

#include "readerlink/readercmd.h"

#include "store/clock.h"
#include "store/db/sqlitedb.h"
#include "testsupport/paramname.h"
#include "testsupport/zonescope.h"

#include <gtest/gtest.h>

namespace {

QByteArray H(const char *hex)
{
    return QByteArray::fromHex(hex);
}

// A reply as the receive buffer holds it: LEN, the payload, the check byte.
QByteArray Reply(const QByteArray &payload)
{
    QByteArray r(1, char(payload.size() + 2));
    r += payload;
    int sum = 0;
    for (char c : r)
        sum += quint8(c);
    r += char((256 - (sum & 0xFF)) & 0xFF);
    return r;
}

const quint8 *U(const QByteArray &b)
{
    return reinterpret_cast<const quint8 *>(b.constData());
}

struct PayloadCase
{
    const char *name;
    QByteArray payload;
    QByteArray expected;
};

class PayloadTest : public ::testing::TestWithParam<PayloadCase>
{
};

TEST_P(PayloadTest, Bytes)
{
    EXPECT_EQ(GetParam().payload.toHex(' '), GetParam().expected.toHex(' '));
}

INSTANTIATE_TEST_SUITE_P(
    Commands, PayloadTest,
    ::testing::Values(
        PayloadCase{"Lock", LockPayload(0, true), H("000001")},
        PayloadCase{"Unlock", LockPayload(0, false), H("000000")},
        PayloadCase{"GetClock", GetClockPayload(0), H("0001")},
        PayloadCase{"CapacityAccess", CapacityPayload(0, TableAccess), H("000301")},
        PayloadCase{"FetchRecordLittleEndian", FetchRecordPayload(0, TableLogs, 0x0102),
                    H("0004000201")},
        PayloadCase{"ClearLogsWithCapacity", ClearLogsPayload(0, 3000), H("000500b80b")},
        PayloadCase{"GetOptions", GetSettingPayload(0, SettingOptions), H("000704")},
        PayloadCase{"SetLinePadded", SetLinePayload(0, SettingLine2, QStringLiteral("Hi")),
                    H("000801") + QByteArray("Hi") + QByteArray(14, ' ')},
        PayloadCase{"SetLineCut",
                    SetLinePayload(0, SettingLine1, QStringLiteral("0123456789ABCDEFGH")),
                    H("000800") + QByteArray("0123456789ABCDEF")},
        PayloadCase{"SetMasterPinOff", SetWordSettingPayload(0, SettingMasterPin, 0),
                    H("0008090000")},
        PayloadCase{"SetLockTime", SetSettingPayload(0, SettingLockTime, H("05")), H("00080705")},
        PayloadCase{"SetTimetableRowsInOrder",
                    [] {
                        TReaderTimetableSlot table[ReaderTimetableSlots];
                        table[0] = {1, QTime(8, 30)};
                        table[7] = {2, QTime(17, 5, 59)};
                        return SetTimetablePayload(0, table);
                    }(),
                    H("000806010830000000000000000000000000000000000000021705")},
        PayloadCase{"TimeToBcdHourThenMinute", TimeToBcd(QTime(19, 45, 30)), H("1945")},
        PayloadCase{"TimeToBcdMidnight", TimeToBcd(QTime(0, 0)), H("0000")},
        PayloadCase{"TimeToBcdInvalidIsMidnight", TimeToBcd(QTime()), H("0000")},
        PayloadCase{"WritePage", WritePagePayload(0, 0x0203), H("0009010302")},
        PayloadCase{"ReadPage", ReadPagePayload(0, TableAccess, 1), H("000a010100")},
        PayloadCase{"Action", ActionPayload(0, 0x11), H("000b11")},
        PayloadCase{"CommandFrameSumsToZero", BuildCommandFrame(H("000001")), H("f505000001fafa")},
        PayloadCase{"TextFrame", BuildTextFrame(QByteArrayLiteral("~CC")), QByteArray("~~CC~")},
        PayloadCase{"OpenLockTooLongIsCut", OpenLockCommand(12), QByteArray("~Y9")},
        PayloadCase{"OpenLockZeroIsOne", OpenLockCommand(0), QByteArray("~Y1")}),
    ParamName());

TEST(ClockPayload, SundayIsDayOne)
{
    struct Row
    {
        QDateTime now;
        const char *expected;
    } rows[] = {
        {QDateTime(QDate(2029, 3, 4), QTime(17, 45, 9, 999)), "000209451701040329"},
        {QDateTime(QDate(2029, 3, 10), QTime(0, 0, 0)), "000200000007100329"}, // Saturday 7
        {QDateTime(QDate(2100, 12, 31), QTime(23, 59, 59)), "000259592306311200"},
    };
    for (const Row &row : rows) {
        PinClock(row.now);
        EXPECT_EQ(BuildClockPayload(0).toHex(), QByteArray(row.expected)) << row.expected;
    }
    PinClock(QDateTime());
    EXPECT_EQ(BuildCommandFrame(QByteArray::fromHex("000209451701040329")).toHex(' '),
              QByteArray("f5 0b 00 02 09 45 17 01 04 03 29 5d fa"));
}

TEST(DataFrame, NoLengthByteAndCappedAt1022)
{
    const quint8 data[] = {0x01, 0x02, 0x03};
    EXPECT_EQ(BuildDataFrame(data, 3).toHex(' '), QByteArray("f5 01 02 03 fa fa"));
    const QByteArray big(2000, '\x01');
    const QByteArray f = BuildDataFrame(reinterpret_cast<const quint8 *>(big.constData()), 2000);
    EXPECT_EQ(f.size(), ReaderMaxDataFrame + 3);
}

TEST(DecodeReaderTime, ValidAndInvalidValues)
{
    struct Row
    {
        const char *name;
        qint32 value;
        QDateTime expected; // null: does not decode
    } rows[] = {
        {"WorkedExample", 0x2D814DBF, QDateTime(QDate(2021, 3, 4), QTime(5, 6, 7))},
        {"DayZero", ((((21 * 13 + 3) * 32 + 0) * 24 + 5) * 60 + 6) * 60 + 7, QDateTime()},
        {"MonthZero", ((((21 * 13 + 0) * 32 + 4) * 24 + 5) * 60 + 6) * 60 + 7, QDateTime()},
        {"February30", ((((21 * 13 + 2) * 32 + 30) * 24 + 0) * 60 + 0) * 60 + 0, QDateTime()},
        {"Leap29", ((((24 * 13 + 2) * 32 + 29) * 24 + 0) * 60 + 0) * 60 + 0,
         QDateTime(QDate(2024, 2, 29), QTime(0, 0))},
        {"Negative", -1, QDateTime()},
        {"Zero", 0, QDateTime()},
    };
    for (const Row &row : rows) {
        const QDateTime got = DecodeReaderTime(row.value);
        EXPECT_EQ(got.isValid(), row.expected.isValid()) << row.name;
        if (row.expected.isValid()) {
            EXPECT_EQ(got, row.expected) << row.name;
        }
    }
}

// A reader's time is its wall clock: the hour the local clocks skip in spring and the one they
// repeat in autumn decode, and are stored, as the reader counted them.
TEST(DecodeReaderTime, WallClockThroughBothDaylightSavingChanges)
{
    ZoneScope zone("Europe/London");
    auto pack = [](int y, int mo, int d, int h, int mi, int s) {
        return qint32((((((y - 2000) * 13 + mo) * 32 + d) * 24 + h) * 60 + mi) * 60 + s);
    };
    struct Row
    {
        const char *text;
        qint32 value;
    } rows[] = {
        {"2026-03-29 00:59:59", pack(2026, 3, 29, 0, 59, 59)},
        {"2026-03-29 01:00:00", pack(2026, 3, 29, 1, 0, 0)},
        {"2026-03-29 01:30:00", pack(2026, 3, 29, 1, 30, 0)},
        {"2026-03-29 01:59:59", pack(2026, 3, 29, 1, 59, 59)},
        {"2026-03-29 02:00:00", pack(2026, 3, 29, 2, 0, 0)},
        {"2026-10-25 01:30:00", pack(2026, 10, 25, 1, 30, 0)},
        {"2026-10-25 02:00:00", pack(2026, 10, 25, 2, 0, 0)},
    };
    for (const Row &row : rows) {
        const QDateTime t = DecodeReaderTime(row.value);
        ASSERT_TRUE(t.isValid()) << row.text;
        EXPECT_EQ(t.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), QString::fromLatin1(row.text));
        EXPECT_EQ(DateTimeToDbText(t), QString::fromLatin1(row.text));
    }
}

TEST(LogRecord, ModeBitsAndValidity)
{
    struct Row
    {
        quint8 first;
        quint8 kind;
    } rows[] = {{0x00, 1}, {0x3F, 1}, {0x40, 2}, {0x7F, 2}, {0x80, 0}, {0xC0, 0}, {0xFF, 0}};
    for (const Row &row : rows) {
        // a reply to 04h: LEN, address, command, table, record number, the record, check byte
        const QByteArray reply =
            Reply(H("0004000000") + QByteArray(1, char(row.first)) + H("123456") + H("bf4d812d"));
        TReaderLogRecord rec;
        ASSERT_TRUE(DecodeLogRecord(U(reply), int(reply.size()), rec));
        EXPECT_EQ(rec.Kind, row.kind) << int(row.first);
        EXPECT_EQ(rec.Card, 0x123456);
        EXPECT_EQ(rec.Stamp, QDateTime(QDate(2021, 3, 4), QTime(5, 6, 7)));
    }
    const QByteArray zeroTime = Reply(H("0004000000") + H("40123456") + H("00000000"));
    TReaderLogRecord rec;
    rec.Kind = 9;
    EXPECT_FALSE(DecodeLogRecord(U(zeroTime), int(zeroTime.size()), rec));
    EXPECT_EQ(rec.Kind, 9);
}

// Each decoder reads only a whole reply to its own command; nothing past the frame's end.
TEST(ReplyDecoders, ReadOnlyAWholeReplyToTheirCommand)
{
    const QByteArray record = Reply(H("0004000100") + H("40123456") + H("bf4d812d"));
    const QByteArray capacity = Reply(H("000300d0070500"));
    const QByteArray clock = Reply(H("0001") + H("10090802140731"));
    struct Row
    {
        const char *name;
        QByteArray reply;
        bool record, capacity, clock;
    } rows[] = {
        {"record", record, true, false, false},
        {"capacity", capacity, false, true, false},
        {"clock", clock, false, false, true},
        {"record cut short", Reply(record.mid(1, 5)), false, false, false},
        {"capacity cut short", Reply(capacity.mid(1, 5)), false, false, false},
        {"clock cut short", Reply(clock.mid(1, 7)), false, false, false},
        {"record one byte long", Reply(record.mid(1, 13) + H("00")), false, false, false},
        {"access entry for a log record", Reply(H("0004010100") + QByteArray(22, 'x')), false,
         false, false},
        {"unlock echo", Reply(H("000000")), false, false, false},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        // Bytes of an earlier, longer reply left after this one must not be read.
        QByteArray buffer = row.reply + record.mid(row.reply.size());
        const int size = int(row.reply.size());
        TReaderLogRecord rec;
        EXPECT_EQ(DecodeLogRecord(U(buffer), size, rec), row.record);
        int cap = -1, count = -1;
        EXPECT_EQ(DecodeCapacityReply(U(buffer), size, cap, count), row.capacity);
        if (row.capacity) {
            EXPECT_EQ(cap, 2000);
            EXPECT_EQ(count, 5);
        }
        EXPECT_EQ(DecodeClockReply(U(buffer), size).isValid(), row.clock);
    }
    TReaderAccessRecord entry;
    const QByteArray access = Reply(H("0004010100") + H("01123456ffff") + QByteArray(16, 'N'));
    EXPECT_TRUE(DecodeAccessRecord(U(access), int(access.size()), entry));
    EXPECT_FALSE(DecodeAccessRecord(U(record), int(record.size()), entry));
}

// A reply is taken for a frame only when it echoes that frame and comes at its length.
TEST(ReplyShape, EchoAndLengthOfEachCommand)
{
    const QByteArray fetch5 = FetchRecordPayload(0, TableLogs, 5);
    struct Row
    {
        const char *name;
        TReplyShape shape;
        QByteArray reply;
        bool fits;
    } rows[] = {
        {"fetch answered", ReplyShapeOf(fetch5), Reply(fetch5 + QByteArray(8, '\1')), true},
        {"fetch answered for another record", ReplyShapeOf(fetch5),
         Reply(FetchRecordPayload(0, TableLogs, 4) + QByteArray(8, '\1')), false},
        {"fetch answered from the other table", ReplyShapeOf(fetch5),
         Reply(FetchRecordPayload(0, TableAccess, 5) + QByteArray(8, '\1')), false},
        {"fetch answered short", ReplyShapeOf(fetch5), Reply(fetch5), false},
        {"fetch answered by the unlock echo", ReplyShapeOf(fetch5), Reply(LockPayload(0, false)),
         false},
        {"lock answered", ReplyShapeOf(LockPayload(0, true)), Reply(LockPayload(0, true)), true},
        {"lock answered by the unlock echo", ReplyShapeOf(LockPayload(0, true)),
         Reply(LockPayload(0, false)), false},
        {"capacity answered", ReplyShapeOf(CapacityPayload(0, TableLogs)),
         Reply(H("000300d0070500")), true},
        {"capacity answered short", ReplyShapeOf(CapacityPayload(0, TableLogs)),
         Reply(H("000300d007")), false},
        {"clear answered", ReplyShapeOf(ClearLogsPayload(0, 2000)), Reply(H("0005")), true},
        {"clear answered by a fetch", ReplyShapeOf(ClearLogsPayload(0, 2000)),
         Reply(fetch5 + QByteArray(8, '\1')), false},
        {"clock answered", ReplyShapeOf(GetClockPayload(0)), Reply(H("0001") + H("10090802140731")),
         true},
        {"clock answered short", ReplyShapeOf(GetClockPayload(0)), Reply(H("0001100908")), false},
        {"line 2 answered by line 1", ReplyShapeOf(GetSettingPayload(0, SettingLine2)),
         Reply(H("000700") + QByteArray(16, ' ')), false},
        {"master PIN answered", ReplyShapeOf(GetSettingPayload(0, SettingMasterPin)),
         Reply(H("0007093412")), true},
        {"master PIN put answered", ReplyShapeOf(SetWordSettingPayload(0, SettingMasterPin, 7)),
         Reply(H("000809")), true},
        {"page command answered", ReplyShapeOf(WritePagePayload(0, 2)), Reply(H("0009010200")),
         true},
        {"page command answered for another page", ReplyShapeOf(WritePagePayload(0, 2)),
         Reply(H("0009010100")), false},
        {"page data answered", DataReplyShape(0), Reply(H("000900")), true},
        {"page data answered by the page command's echo", DataReplyShape(0), Reply(H("0009010200")),
         false},
    };
    for (const Row &row : rows)
        EXPECT_EQ(ReplyFits(row.shape, U(row.reply), int(row.reply.size()), false), row.fits)
            << row.name;
    const QByteArray page(ReaderPageSize + 1, '\0');
    EXPECT_TRUE(
        ReplyFits(ReplyShapeOf(ReadPagePayload(0, TableLogs, 1)), U(page), int(page.size()), true));
    EXPECT_FALSE(ReplyFits(ReplyShapeOf(fetch5), U(page), int(page.size()), true));
}

TEST(AccessEntry, LayoutInAPage)
{
    const QByteArray e = BuildAccessEntry(1, 0x0A0B0C, QStringLiteral("Bob"));
    EXPECT_EQ(e.toHex(' '),
              (H("010a0b0cffff") + QByteArray("Bob") + QByteArray(13, ' ')).toHex(' '));

    QByteArray page = NewReaderPage();
    ASSERT_EQ(page.size(), 264);
    EXPECT_TRUE(PutAccessEntry(page, 11, e));
    EXPECT_FALSE(PutAccessEntry(page, 12, e));
    EXPECT_FALSE(PutAccessEntry(page, -1, e));
    EXPECT_EQ(page.left(22), QByteArray(22, char(0xFF)));
    EXPECT_EQ(page.mid(242), e);

    TReaderAccessRecord rec;
    DecodeAccessBytes(reinterpret_cast<const quint8 *>(page.constData()) + 242, rec);
    EXPECT_EQ(rec.Flags, 1);
    EXPECT_EQ(rec.Card, 0x0A0B0C);
    EXPECT_EQ(rec.Value, 0xFFFF);
    EXPECT_EQ(rec.Name, QStringLiteral("Bob             "));
}

TEST(ModeByte, ByReaderMode)
{
    EXPECT_EQ(ReaderModeByte(1, false), 0x00);
    EXPECT_EQ(ReaderModeByte(2, true), 0x40);
    EXPECT_EQ(ReaderModeByte(0, true), 0xC0);
    EXPECT_EQ(ReaderModeByte(0, false), 0x80);
}

} // namespace
