#include "linesfixture.h"
#include "reports/wholines.h"

using DailyLinesTest = EnglishLinesTest;
using WhosLinesTest = EnglishLinesTest;

TEST_F(DailyLinesTest, OneLinePerCategoryAndContinuationLinesUnderTheCaption)
{
    EXPECT_EQ(TDailyLines::Heading(12, QStringLiteral("Ann"), 0),
              QStringLiteral(" [12] Ann (0 record(s))"));
    EXPECT_EQ(TDailyLines::DayText(QDate(2026, 12, 7)), QStringLiteral("7/Dec/2026"));
    struct Case
    {
        const char *name;
        int perLine;
        TReportRecords records;
        QStringList expected;
    } cases[] = {
        {"no records: three bare captions",
         4,
         {},
         {QStringLiteral("  CLOCK  -"), QStringLiteral("  IN     -"),
          QStringLiteral("  OUT    -")}},
        {"six IN with four per line",
         4,
         {Rec("2026-12-07 07:00:00", 0), Rec("2026-12-07 08:00:00", 1),
          Rec("2026-12-07 09:00:00", 1), Rec("2026-12-07 10:00:00", 1),
          Rec("2026-12-07 11:00:00", 1), Rec("2026-12-07 12:00:00", 1),
          Rec("2026-12-07 13:00:00", 1), Rec("2026-12-07 17:00:00", 2)},
         {QStringLiteral("  CLOCK  -  07:00:00"),
          QStringLiteral("  IN     -  08:00:00  09:00:00  10:00:00  11:00:00"),
          QStringLiteral("         -  12:00:00  13:00:00"),
          QStringLiteral("  OUT    -  17:00:00")}},
        {"a stored 0 reads as four; unknown modes print nowhere",
         0,
         {Rec("2026-12-07 06:00:00", -1), Rec("2026-12-07 08:00:00", 2),
          Rec("2026-12-07 09:00:00", 2), Rec("2026-12-07 10:00:00", 2),
          Rec("2026-12-07 11:00:00", 2), Rec("2026-12-07 12:00:00", 2),
          Rec("2026-12-07 12:30:00", 7)},
         {QStringLiteral("  CLOCK  -"), QStringLiteral("  IN     -"),
          QStringLiteral("  OUT    -  08:00:00  09:00:00  10:00:00  11:00:00"),
          QStringLiteral("         -  12:00:00")}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(TDailyLines(QStringLiteral(" HH:mm:ss"), c.perLine).Lines(c.records), c.expected)
            << c.name;
}

TEST_F(WhosLinesTest, EveryPersonUnderTheModeOfTheLatestRecord)
{
    const std::vector<TReportPerson> persons = {
        {4, QStringLiteral("Dee")},    {1, QStringLiteral("Ann")},
        {2, QStringLiteral("Bob")},    {3, QStringLiteral("A name of twenty-one")},
        {5, QStringLiteral("Eve")},    {6, QStringLiteral("Odd mode")},
        {7, QStringLiteral("Clocker")}};
    // By card, the latest first within a card.
    const TReportRecords day = {Rec("2026-12-07 13:00:00", 1, 1), Rec("2026-12-07 12:00:00", 2, 1),
                                Rec("2026-12-07 08:00:00", 1, 1), Rec("2026-12-07 09:00:00", 1, 2),
                                Rec("2026-12-07 08:00:00", 1, 2), Rec("2026-12-07 17:00:00", 2, 3),
                                Rec("2026-12-07 16:00:00", 2, 3), Rec("2026-12-07 07:30:00", 0, 3),
                                Rec("2026-12-07 10:00:00", 1, 4), Rec("2026-12-07 11:00:00", 9, 6),
                                Rec("2026-12-07 10:00:00", 1, 6), Rec("2026-12-07 12:00:00", 0, 7),
                                Rec("2026-12-07 12:00:00", 1, 99)};
    const auto c = TWhosLines(QStringLiteral(" HH:mm:ss")).Build(persons, day);
    EXPECT_EQ(c[TWhosLines::Clock].Heading, QStringLiteral(" Who's CLOCK"));
    EXPECT_EQ(c[TWhosLines::Clock].Lines,
              QStringList{QStringLiteral("  Clocker") + Blanks(11) + QStringLiteral(" 12:00:00")});
    EXPECT_EQ(c[TWhosLines::Clock].HeadCount, QStringLiteral(" 1 person"));
    EXPECT_EQ(c[TWhosLines::In].Heading, QStringLiteral(" Who's IN"));
    EXPECT_EQ(c[TWhosLines::In].Lines,
              (QStringList{QStringLiteral("  Dee") + Blanks(15) + QStringLiteral(" 10:00:00"),
                           QStringLiteral("  Ann") + Blanks(15) +
                               QStringLiteral(" 13:00:00 - 12:00:00 [OUT]  (01:00:00)"),
                           QStringLiteral("  Bob") + Blanks(15) + QStringLiteral(" 09:00:00")}));
    EXPECT_EQ(c[TWhosLines::In].HeadCount, QStringLiteral(" 3 persons"));
    EXPECT_EQ(c[TWhosLines::Out].Heading, QStringLiteral(" Who's OUT"));
    EXPECT_EQ(c[TWhosLines::Out].Lines,
              QStringList{
                  QStringLiteral("  A name of twenty-one 17:00:00 - 07:30:00 [CLOCK](09:30:00)")});
    EXPECT_EQ(c[TWhosLines::NoRecord].Heading, QStringLiteral(" No record"));
    EXPECT_EQ(c[TWhosLines::NoRecord].Lines, QStringList{QStringLiteral("  Eve")});
    EXPECT_EQ(c[TWhosLines::NoRecord].HeadCount, QStringLiteral(" 1 person"));
}

TEST_F(WhosLinesTest, NobodyInScopeGivesFourEmptyCategories)
{
    const auto c =
        TWhosLines(QStringLiteral(" HH:mm")).Build({}, {Rec("2026-12-07 12:00:00", 1, 1)});
    for (const auto &category : c) {
        EXPECT_TRUE(category.Lines.isEmpty());
        EXPECT_EQ(category.HeadCount, QStringLiteral(" No person"));
    }
}
