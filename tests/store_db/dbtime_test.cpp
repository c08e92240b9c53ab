// Reading stored times: the forms each reading takes, the junk it refuses, and times in the
// hours a daylight-saving change skips or repeats read as their clocks read.

#include "store/db/dbtime.h"
#include "testsupport/zonescope.h"

#include <gtest/gtest.h>

namespace {

struct TimeCase
{
    const char *name;
    const char *text; // UTF-8
    // The clock value read, "" when none, for DbTimeRead::Whole, ::Leading and ::Lenient.
    const char *whole;
    const char *leading;
    const char *lenient;
};

const TimeCase timeCases[] = {
    {"Usual", "2026-03-02 17:05:09", "2026-03-02 17:05:09", "2026-03-02 17:05:09",
     "2026-03-02 17:05:09"},
    {"WithT", "2026-03-02T17:05:09", "2026-03-02 17:05:09", "2026-03-02 17:05:09",
     "2026-03-02 17:05:09"},
    {"Fraction", "2026-03-02 17:05:09.875", "2026-03-02 17:05:09", "2026-03-02 17:05:09",
     "2026-03-02 17:05:09"},
    {"EmptyFraction", "2026-03-02 17:05:09.", "", "2026-03-02 17:05:09", "2026-03-02 17:05:09"},
    {"FractionNotDigits", "2026-03-02 17:05:09.5Z", "", "2026-03-02 17:05:09",
     "2026-03-02 17:05:09"},
    {"TextAfter", "2026-03-02 17:05:09Z", "", "2026-03-02 17:05:09", ""},
    {"SpaceAfter", "2026-03-02 17:05:09 ", "", "2026-03-02 17:05:09", "2026-03-02 17:05:09"},
    {"SpacesAround", "\xC2\xA0\t2026-03-02 17:05:09\n", "", "", "2026-03-02 17:05:09"},
    {"DateAlone", "2026-03-02", "", "", "2026-03-02 00:00:00"},
    {"Minutes", "2026-03-02 17:05", "", "", "2026-03-02 17:05:00"},
    {"MinutesFraction", "2026-03-02 17:05.30", "", "", "2026-03-02 17:05:00"},
    {"TimeOfDay", "17:05:09", "", "", "1899-12-30 17:05:09"},
    {"TimeOfDayMinutes", " 17:05 ", "", "", "1899-12-30 17:05:00"},
    {"TimeOfDayFraction", "17:05:09.5", "", "", ""},
    {"LeapDay", "2024-02-29 23:59:59", "2024-02-29 23:59:59", "2024-02-29 23:59:59",
     "2024-02-29 23:59:59"},
    {"NoSuchDay", "2026-02-29 10:00:00", "", "", ""},
    {"YearZero", "0000-01-01 10:00:00", "", "", ""},
    {"EarlyYear", "0999-01-01 00:00:00", "0999-01-01 00:00:00", "0999-01-01 00:00:00",
     "0999-01-01 00:00:00"},
    {"Hour24", "2026-03-02 24:00:00", "", "", ""},
    {"Second60", "2026-03-02 23:59:60", "", "", ""},
    {"OneDigitMonth", "2026-3-02 17:05:09", "", "", ""},
    {"OneDigitHour", "2026-03-02 7:05:09", "", "", ""},
    {"SignedYear", "+026-03-02 17:05:09", "", "", ""},
    {"NotAsciiDigit", "2026-03-02 1\xEF\xBC\x97:05:09", "", "", ""}, // a full-width 7
    {"NoYearDigits", "x026-03-02 17:05:09", "", "", ""},
    {"OtherSeparator", "2026/03/02 17:05:09", "", "", ""},
    {"SlashBetween", "2026-03-02/17:05:09", "", "", ""},
    {"Truncated", "2026-03-02 17:05:0", "", "", ""},
    {"Empty", "", "", "", ""},
    {"Word", "yesterday", "", "", ""},
};

class ReadDbTimeTable : public ::testing::TestWithParam<TimeCase>
{
};

QString clockText(const TDbTime &time)
{
    return time.IsValid() ? time.Date.toString(QStringLiteral("yyyy-MM-dd ")) +
                                time.Time.toString(QStringLiteral("HH:mm:ss"))
                          : QString();
}

TEST_P(ReadDbTimeTable, TakesItsFormsAndRefusesTheRest)
{
    const TimeCase &c = GetParam();
    const QByteArray bytes(c.text);
    const QString text = QString::fromUtf8(bytes);
    const std::pair<DbTimeRead, const char *> reads[] = {
        {DbTimeRead::Whole, c.whole},
        {DbTimeRead::Leading, c.leading},
        {DbTimeRead::Lenient, c.lenient},
    };
    for (const auto &[read, expected] : reads) {
        SCOPED_TRACE(int(read));
        EXPECT_EQ(clockText(ReadDbTime(text, read)), QString::fromLatin1(expected));
        // A column's bytes read as their text does.
        EXPECT_EQ(clockText(ReadDbTime(QByteArrayView(bytes), read)),
                  QString::fromLatin1(expected));
    }
}

INSTANTIATE_TEST_SUITE_P(Forms, ReadDbTimeTable, ::testing::ValuesIn(timeCases),
                         [](const auto &info) { return std::string(info.param.name); });

// In Berlin the clocks go from 02:00 to 03:00 on 2026-03-29 and from 03:00 back to 02:00 on
// 2026-10-25: a swipe logged at 02:30 on either day is read as it was written, and written
// back the same.
TEST(ReadDbTime, KeepsTimesInTheSkippedAndTheRepeatedHour)
{
    const ZoneScope berlin("Europe/Berlin");
    for (const char *stored : {"2026-03-29 02:30:00", "2026-10-25 02:30:00"}) {
        SCOPED_TRACE(stored);
        const QString text = QString::fromLatin1(stored);
        for (const DbTimeRead read :
             {DbTimeRead::Whole, DbTimeRead::Leading, DbTimeRead::Lenient}) {
            const TDbTime time = ReadDbTime(text, read);
            ASSERT_TRUE(time.IsValid());
            EXPECT_EQ(time.Time, QTime(2, 30));
            EXPECT_EQ(DateTimeToDbText(time.WallClock()), text);
        }
    }
    // The local reading has no 02:30 on the day the clocks skip it, and one on the other.
    EXPECT_FALSE(DbTextToDateTime(QStringLiteral("2026-03-29 02:30:00")).isValid());
    EXPECT_EQ(DateTimeToDbText(DbTextToDateTime(QStringLiteral("2026-10-25 02:30:00"))),
              QStringLiteral("2026-10-25 02:30:00"));
}

} // namespace
