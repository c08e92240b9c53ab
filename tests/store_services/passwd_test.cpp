#include "store/passwd.h"

#include <gtest/gtest.h>

namespace {

int hexValue(char c)
{
    return c <= '9' ? c - '0' : c - 'A' + 10;
}

TEST(PasswordScrambling, TablesAreInversePermutationsOfTheHexDigits)
{
    const QByteArray write(ScrambleWriteTable);
    const QByteArray read(ScrambleReadTable);
    ASSERT_EQ(write, QByteArray("3B7F0E95A1C2D648"));
    ASSERT_EQ(write.size(), 16);
    ASSERT_EQ(read.size(), 16);
    for (char d : QByteArray("0123456789ABCDEF")) {
        EXPECT_EQ(write.count(d), 1) << d;
        EXPECT_EQ(read.count(d), 1) << d;
        // read[value of d] is the position of d in write.
        EXPECT_EQ(hexValue(read[hexValue(d)]), write.indexOf(d)) << d;
    }
}

TEST(PasswordScrambling, StoredForms)
{
    struct Row
    {
        const char *password;
        const char *stored;
    } rows[] = {
        {"", ""},       {"0", "F3"}, // 0x30: the table's characters at positions 3 and 0
        {"A", "0B"},                 // 0x41
        {"az", "9B5C"},              // 0x61, 0x7A
        {"\x7f", "58"},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.password);
        QString stored = QStringLiteral("stale");
        ScrambleHex(QString::fromLatin1(r.password), stored);
        EXPECT_EQ(stored, QString::fromLatin1(r.stored));
        QString back = QStringLiteral("stale");
        UnscrambleHex(stored, back);
        EXPECT_EQ(back, QString::fromLatin1(r.password));
    }
}

TEST(PasswordScrambling, RoundTripAndLength)
{
    const QString passwords[] = {
        QStringLiteral("secret"),
        QStringLiteral("P@ss w0rd;'--%"),
        QStringLiteral("abcdefghijklmnopqrstuvwxyz0123456789"),
        QString::fromUtf8("Zoë Ørsted"),
        QString::fromUtf8("пароль"),
        QString::fromUtf8("密码🔑"),
    };
    for (const QString &p : passwords) {
        SCOPED_TRACE(p.toStdString());
        QString stored, back;
        ScrambleHex(p, stored);
        for (QChar c : stored)
            EXPECT_TRUE(QByteArray("0123456789ABCDEF").contains(char(c.unicode())))
                << stored.toStdString();
        UnscrambleHex(stored, back);
        EXPECT_EQ(back, p);
        EXPECT_NE(stored, p);
        EXPECT_EQ(stored.size(), 2 * p.toUtf8().size());
    }
    // Plain passwords take two stored characters each.
    QString stored;
    ScrambleHex(QStringLiteral("admin1"), stored);
    EXPECT_EQ(stored.size(), 12);

    // Every byte value makes the trip.
    QByteArray all;
    for (int c = 1; c < 128; ++c)
        all += char(c);
    QString back;
    ScrambleHex(QString::fromLatin1(all), stored);
    UnscrambleHex(stored, back);
    EXPECT_EQ(back, QString::fromLatin1(all));
}

TEST(PasswordScrambling, DamagedStoredTextDecodesWithoutHarm)
{
    QString back;
    UnscrambleHex(QStringLiteral("F3B"), back); // odd last character ignored
    EXPECT_EQ(back, QStringLiteral("0"));
    UnscrambleHex(QStringLiteral("F"), back);
    EXPECT_TRUE(back.isEmpty());
    // Characters outside the digits must not read outside the table; what they give is
    // unspecified, one character per pair.
    for (const char *junk : {"zz!!", "\x01\x7f", "\xe2\x82\xac\xe2\x82\xac"}) {
        UnscrambleHex(QString::fromUtf8(junk), back);
        EXPECT_LE(back.size(), 2) << junk;
    }
}

TEST(PasswordScrambling, HexCharValue)
{
    struct Row
    {
        char c;
        int value;
    } rows[] = {{'0', 0}, {'9', 9}, {'A', 10}, {'F', 15}, {'/', -1}, {'G', 16}};
    for (const Row &r : rows)
        EXPECT_EQ(HexCharValue(QLatin1Char(r.c)), r.value) << r.c;
}

} // namespace
