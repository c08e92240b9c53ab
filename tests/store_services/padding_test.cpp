#include "store/utils.h"

#include <gtest/gtest.h>

namespace {

TEST(Padding, PadToWidthCutsOrFillsToExactlyN)
{
    struct Row
    {
        const char *text;
        int n;
        const char *expect;
    } rows[] = {
        {"ABC", 5, "ABC  "},
        {"ABCDEFG", 5, "ABCDE"},
        {"ABCDE", 5, "ABCDE"},
        {"", 3, "   "},
        {"ABC", 0, ""},
        {"ABC", -4, ""},
        {"Main door entry!", 16, "Main door entry!"},
        {"Main door entry two", 16, "Main door entry "},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.text);
        const QString out = PadToWidth(QString::fromUtf8(r.text), r.n);
        EXPECT_EQ(out, QString::fromUtf8(r.expect));
        EXPECT_EQ(out.size(), qMax(r.n, 0));
    }
    // A full reader display line.
    EXPECT_EQ(PadToWidth(QStringLiteral("x"), 255).size(), 255);
}

TEST(Padding, PadRightNeverCuts)
{
    struct Row
    {
        const char *text;
        int width;
        const char *expect;
    } rows[] = {
        {"No IN", 8, "No IN   "},
        {"Overlong", 3, "Overlong"},
        {"", 2, "  "},
        {"ab", 2, "ab"},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.text);
        EXPECT_EQ(PadRight(QString::fromUtf8(r.text), r.width), QString::fromUtf8(r.expect));
        QString v = QString::fromUtf8(r.text);
        PadRightInPlace(r.width, v);
        EXPECT_EQ(v, QString::fromUtf8(r.expect));
    }
    EXPECT_EQ(SpacesToUnderscores(QStringLiteral(" John  Smith ")),
              QStringLiteral("_John__Smith_"));
}

TEST(Numbers, OnlyDecimalIntegersConvert)
{
    struct Row
    {
        const char *text;
        bool ok;
        int value;
    } rows[] = {
        {"0", true, 0},
        {"123", true, 123},
        {"-42", true, -42},
        {"+7", true, 7},
        {" 12 ", true, 12},
        {"2147483647", true, 2147483647},
        {"-2147483648", true, -2147483647 - 1},
        {"2147483648", false, 0},
        {"", false, 0},
        {"-", false, 0},
        {"12a", false, 0},
        {"0x1F", false, 0},
        {"$1F", false, 0},
        {"1 000", false, 0},
        {"1,000", false, 0},
        {"1e3", false, 0},
        {"\xd9\xa3", false, 0}, // an Arabic-Indic digit is no decimal digit here
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.text);
        int n = 555;
        EXPECT_EQ(TryStrToIntVar(QString::fromUtf8(r.text), n), r.ok);
        EXPECT_EQ(n, r.ok ? r.value : 555); // untouched on failure
        EXPECT_EQ(SafeStrToInt(QString::fromUtf8(r.text)), r.ok ? r.value : -1);
    }
}

TEST(Numbers, PackedBcdBothWays)
{
    EXPECT_EQ(ByteToBcd(59), 0x59);
    EXPECT_EQ(BcdToByte(0x59), 59);
    EXPECT_EQ(ByteToBcd(0), 0x00);
    EXPECT_EQ(ByteToBcd(9), 0x09);
    EXPECT_EQ(ByteToBcd(10), 0x10);
    EXPECT_EQ(ByteToBcd(99), 0x99);
    EXPECT_EQ(BcdToByte(0x99), 99);
    for (int n = 0; n <= 99; ++n) {
        const quint8 bcd = ByteToBcd(quint8(n));
        EXPECT_LE(bcd & 15, 9) << n;
        EXPECT_EQ(BcdToByte(bcd), n) << n;
    }
}

} // namespace
