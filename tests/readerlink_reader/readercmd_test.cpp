// Payloads, packed times, records and pages as bytes.

#include "readerlink/readercmd.h"

#include "store/clock.h"

#include <gtest/gtest.h>

namespace {

QByteArray H(const char *hex)
{
    return QByteArray::fromHex(hex);
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
        PayloadCase{"WritePage", WritePagePayload(0, 0x0203), H("0009010302")},
        PayloadCase{"ReadPage", ReadPagePayload(0, TableAccess, 1), H("000a010100")},
        PayloadCase{"Action", ActionPayload(0, 0x11), H("000b11")},
        PayloadCase{"CommandFrameSumsToZero", BuildCommandFrame(H("000001")), H("f505000001fafa")},
        PayloadCase{"TextFrame", BuildTextFrame(QByteArrayLiteral("~CC")), QByteArray("~~CC~")},
        PayloadCase{"OpenLockTooLongIsCut", OpenLockCommand(12), QByteArray("~Y9")},
        PayloadCase{"OpenLockZeroIsOne", OpenLockCommand(0), QByteArray("~Y1")}),
    [](const auto &info) { return std::string(info.param.name); });

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

TEST(LogRecord, ModeBitsAndValidity)
{
    struct Row
    {
        quint8 first;
        quint8 kind;
    } rows[] = {{0x00, 1}, {0x3F, 1}, {0x40, 2}, {0x7F, 2}, {0x80, 0}, {0xC0, 0}, {0xFF, 0}};
    for (const Row &row : rows) {
        // a reply to 04h: LEN, address, command, table, record number, then the record
        const QByteArray reply =
            H("0d0004000000") + QByteArray(1, char(row.first)) + H("123456") + H("bf4d812d");
        TReaderLogRecord rec;
        ASSERT_TRUE(DecodeLogRecord(reinterpret_cast<const quint8 *>(reply.constData()), rec));
        EXPECT_EQ(rec.Kind, row.kind) << int(row.first);
        EXPECT_EQ(rec.Card, 0x123456);
        EXPECT_EQ(rec.Stamp, QDateTime(QDate(2021, 3, 4), QTime(5, 6, 7)));
    }
    const QByteArray zeroTime = H("0d0004000000") + H("40123456") + H("00000000");
    TReaderLogRecord rec;
    rec.Kind = 9;
    EXPECT_FALSE(DecodeLogRecord(reinterpret_cast<const quint8 *>(zeroTime.constData()), rec));
    EXPECT_EQ(rec.Kind, 9);
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
