#include "store/utils.h"

#include <QLocale>
#include <QVariant>
#include <gtest/gtest.h>

namespace {

QTime t(const char *text)
{
    QTime v = QTime::fromString(QString::fromLatin1(text), QStringLiteral("HH:mm:ss.zzz"));
    if (!v.isValid())
        v = QTime::fromString(QString::fromLatin1(text), QStringLiteral("HH:mm:ss"));
    if (!v.isValid())
        v = QTime::fromString(QString::fromLatin1(text), QStringLiteral("HH:mm"));
    EXPECT_TRUE(v.isValid()) << text;
    return v;
}

// Dates and separators from a known locale, whatever the machine's is.
class EnglishLocaleTest : public ::testing::Test
{
protected:
    void SetUp() override { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
    void TearDown() override { QLocale::setDefault(m_saved); }

private:
    QLocale m_saved;
};

TEST(TimeWindows, FromIsInsideToIsNotAndNothingWrapsPastMidnight)
{
    struct Row
    {
        const char *from, *to, *t;
        bool inside;
    } rows[] = {
        {"08:00", "12:00", "08:00", true},    {"08:00", "12:00", "11:59:59.999", true},
        {"08:00", "12:00", "12:00", false},   {"08:00", "12:00", "07:59:59.999", false},
        {"22:00", "06:00", "23:00", false},   {"22:00", "06:00", "02:00", false},
        {"22:00", "06:00", "22:00", false},   {"08:00", "08:00", "08:00", false},
        {"00:00", "23:59:59", "00:00", true},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(testing::Message() << r.from << "-" << r.to << " at " << r.t);
        EXPECT_EQ(TimeInWindow(t(r.from), t(r.to), t(r.t)), r.inside);
    }
}

TEST(TimeWindows, DatePartsAreIgnored)
{
    const QDateTime from(QDate(2020, 1, 1), QTime(8, 0));
    const QDateTime to(QDate(1999, 5, 5), QTime(12, 0));
    EXPECT_TRUE(TimeInWindow(from, to, QDateTime(QDate(2030, 7, 1), QTime(9, 0))));
    EXPECT_FALSE(TimeInWindow(from, to, QDateTime(QDate(2020, 1, 1), QTime(12, 0))));
    // Stored times of day carry the 1899-12-30 date; swipes carry today.
    EXPECT_TRUE(TimeWindowsOverlap(
        QDateTime(QDate(1899, 12, 30), QTime(8, 0)), QDateTime(QDate(1899, 12, 30), QTime(12, 0)),
        QDateTime(QDate(2026, 3, 5), QTime(11, 0)), QDateTime(QDate(2026, 3, 5), QTime(13, 0))));
}

TEST(TimeWindows, OverlapCountsTouchingWindows)
{
    struct Row
    {
        const char *from1, *to1, *from2, *to2;
        bool overlap;
    } rows[] = {
        {"08:00", "12:00", "12:00", "14:00", true}, // the new one starts where the old ends
        {"12:00", "14:00", "08:00", "12:00", true}, // the new one ends where the old starts
        {"08:00", "12:00", "09:00", "10:00", true}, // inside
        {"09:00", "10:00", "08:00", "12:00", true}, // round it
        {"08:00", "12:00", "11:00", "13:00", true},
        {"08:00", "12:00", "13:00", "14:00", false},
        {"08:00", "12:00", "06:00", "07:00", false},
        {"08:00", "08:00", "08:00", "08:00", false}, // two identical empty windows
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(testing::Message()
                     << r.from1 << "-" << r.to1 << " vs " << r.from2 << "-" << r.to2);
        EXPECT_EQ(TimeWindowsOverlap(t(r.from1), t(r.to1), t(r.from2), t(r.to2)), r.overlap);
    }
}

TEST(Times, ClearMillisecondsKeepsEverythingElse)
{
    const QDateTime v(QDate(2026, 3, 5), QTime(14, 7, 9, 987));
    const QDateTime cleared = ClearMilliseconds(v);
    EXPECT_EQ(cleared, QDateTime(QDate(2026, 3, 5), QTime(14, 7, 9)));
    EXPECT_EQ(ClearMilliseconds(cleared), cleared);
    const QDateTime lastMoment(QDate(2026, 12, 31), QTime(23, 59, 59, 999));
    EXPECT_EQ(ClearMilliseconds(lastMoment), QDateTime(QDate(2026, 12, 31), QTime(23, 59, 59)));
    EXPECT_FALSE(ClearMilliseconds(QDateTime()).isValid());
}

TEST(Times, FormatHoursCountsDaysIntoHours)
{
    constexpr qint64 hour = 3600 * 1000;
    struct Row
    {
        qint64 msecs;
        const char *expect;
    } rows[] = {
        {36 * hour, "36:00:00 "}, // one and a half days
        {100 * hour, "100:00:00 "},
        {0, "00:00:00 "},
        {hour + 2 * 60000 + 3000, "01:02:03 "},
        {59999, "00:00:59 "},                            // parts of a second are dropped
        {1000000 * hour + 59 * 60000, "1000000:59:00 "}, // hours beyond 32 bits of seconds
    };
    for (const Row &r : rows)
        EXPECT_EQ(FormatHours(r.msecs), QString::fromLatin1(r.expect)) << r.msecs;
}

TEST_F(EnglishLocaleTest, FormatTimeDiffOfTimesOfDay)
{
    struct Row
    {
        const char *first, *second, *expect;
    } rows[] = {
        {"08:00", "17:30:15", "(09:30:15)"},
        {"08:00", "08:00", "(00:00:00)"},
        {"08:00:00.900", "08:00:01.100", "(00:00:00)"},
        {"22:00", "06:00", "(08:00:00)"}, // an overnight shift
        {"00:00", "00:12:34", "(00:12:34)"},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(testing::Message() << r.first << " to " << r.second);
        EXPECT_EQ(FormatTimeDiff(t(r.first), t(r.second)), QString::fromLatin1(r.expect));
    }
    // Only the times of day count, not the dates.
    EXPECT_EQ(FormatTimeDiff(QDateTime(QDate(2026, 1, 1), QTime(8, 0)),
                             QDateTime(QDate(2026, 1, 5), QTime(9, 0))),
              QStringLiteral("(01:00:00)"));
}

TEST_F(EnglishLocaleTest, FormatDateTimePatterns)
{
    const QDateTime afternoon(QDate(2026, 3, 5), QTime(14, 7, 9)); // a Thursday
    const QDateTime night(QDate(2026, 12, 31), QTime(0, 5, 3));
    const QDateTime noon(QDate(2000, 1, 9), QTime(12, 30, 0));
    struct Row
    {
        const QDateTime *value;
        const char *pattern;
        const char *expect;
    } rows[] = {
        {&afternoon, "yyMMdd-hhmmss", "260305-140709"},
        {&afternoon, "MMMM d, yyyy dddd  AM/PMhh:mm:ss", "March 5, 2026 Thursday  PM02:07:09"},
        {&afternoon, "yyyy/mm/dd AM/PMHH:mm:ss", "2026/03/05 PM02:07:09"},
        {&afternoon, "dd/mmm/yyyy ddd  AM/PM hh:mm:ss", "05/Mar/2026 Thu  PM 02:07:09"},
        {&afternoon, "mmm d, yyyy ddd - AM/PM hh:mm:ss", "Mar 5, 2026 Thu - PM 02:07:09"},
        {&afternoon, "HH:mm:ss - dd/MMM/yyyy", "14:07:09 - 05/Mar/2026"},
        {&afternoon, "HH:mm", "14:07"},
        {&afternoon, "(HH:mm:ss)", "(14:07:09)"},
        {&afternoon, "MMM dd, yyyy ddd -", "Mar 05, 2026 Thu -"},
        {&afternoon, "d/mmm/yyyy", "5/Mar/2026"},
        {&afternoon, "YYYY/MMM/DD HH:mm", "2026/Mar/05 14:07"},
        {&afternoon, "m/d/yy", "3/5/26"},
        {&afternoon, "h:n:s", "14:7:9"},
        {&afternoon, "'at' hh \"o'clock\"", "at 14 o'clock"},
        {&afternoon, "am/pm h", "pm 2"},
        {&night, "AM/PM hh:mm", "AM 12:05"},
        {&night, "dd/mm/yy HH:mm:ss", "31/12/26 00:05:03"},
        {&noon, "AM/PMhh:mm", "PM12:30"},
        {&noon, "dddd d mmmm yyyy", "Sunday 9 January 2000"},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.pattern);
        EXPECT_EQ(FormatDateTime(QString::fromLatin1(r.pattern), *r.value),
                  QString::fromLatin1(r.expect));
    }
}

TEST_F(EnglishLocaleTest, FormatTimeOfDayOfStoredTimes)
{
    const struct
    {
        const char *name;
        QVariant value;
        const char *pattern;
        const char *expect;
    } rows[] = {
        {"time", QVariant(t("13:30")), "AM/PM hh:mm", "PM 01:30"},
        {"just after midnight", QVariant(t("00:15")), "AM/PM hh:mm", "AM 12:15"},
        {"noon", QVariant(t("12:00")), "AM/PMhh:mm", "PM12:00"},
        {"time of a date-time", QVariant(QDateTime(QDate(2026, 3, 5), t("08:05:59"))),
         "AM/PM hh:mm", "AM 08:05"},
        {"null", QVariant(), "AM/PM hh:mm", ""},
        {"not a time", QVariant(QStringLiteral("soon")), "AM/PM hh:mm", ""},
    };
    for (const auto &r : rows)
        EXPECT_EQ(FormatTimeOfDay(QString::fromLatin1(r.pattern), r.value),
                  QString::fromLatin1(r.expect))
            << r.name;
}

TEST(DateTimeTexts, SlashAndColonPrintTheLocaleSeparators)
{
    const QDateTime v(QDate(2026, 3, 5), QTime(14, 7, 9));
    const QLocale german(QLocale::German, QLocale::Germany);
    EXPECT_EQ(FormatDateTime(QStringLiteral("dd/mm/yyyy hh:mm"), v, german),
              QStringLiteral("05.03.2026 14:07"));
    // Quoted, they are plain characters.
    EXPECT_EQ(FormatDateTime(QStringLiteral("dd'/'mm"), v, german), QStringLiteral("05/03"));
    EXPECT_EQ(FormatDateTime(QStringLiteral("mmmm"), v, german), QStringLiteral("März"));
}

} // namespace
