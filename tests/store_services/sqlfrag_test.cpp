#include "store/utils.h"

#include <QDateTime>
#include <gtest/gtest.h>
#include <sqlite3.h>

namespace {

TEST(SqlFragments, SqlDateAndRangeTexts)
{
    struct Row
    {
        QDate from, to;
        const char *fromText;
        const char *range;
    } rows[] = {
        {QDate(2026, 3, 5), QDate(2026, 3, 5), "2026-03-05",
         " between '2026-03-05' and '2026-03-06' "},
        {QDate(2024, 2, 28), QDate(2024, 2, 28), "2024-02-28",
         " between '2024-02-28' and '2024-02-29' "},
        {QDate(2023, 12, 1), QDate(2023, 12, 31), "2023-12-01",
         " between '2023-12-01' and '2024-01-01' "},
        {QDate(999, 1, 2), QDate(999, 1, 2), "0999-01-02",
         " between '0999-01-02' and '0999-01-03' "},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.fromText);
        EXPECT_EQ(FormatSqlDate(r.from), QString::fromLatin1(r.fromText));
        EXPECT_EQ(MakeDateRangeSql(r.from, r.to), QString::fromLatin1(r.range));
        // Times of the date-time form do not move the bounds.
        EXPECT_EQ(
            MakeDateRangeSql(QDateTime(r.from, QTime(23, 59, 59)), QDateTime(r.to, QTime(0, 0, 1))),
            QString::fromLatin1(r.range));
    }
    EXPECT_EQ(FormatSqlDate(QDateTime(QDate(2026, 3, 5), QTime(23, 59))),
              QStringLiteral("2026-03-05"));
}

// The fragment as callers use it, against stored log times: one day covers exactly that day.
// A swipe at the next midnight belongs to the next day only, not to both.
TEST(SqlFragments, OneDayRangeSelectsThatWholeDay)
{
    sqlite3 *db = nullptr;
    ASSERT_EQ(sqlite3_open(":memory:", &db), SQLITE_OK);
    std::unique_ptr<sqlite3, int (*)(sqlite3 *)> guard(db, sqlite3_close);
    ASSERT_EQ(sqlite3_exec(db,
                           "create table recorder (SYSTIME DATETIME, CARDNO INTEGER);"
                           "insert into recorder values ('2026-03-04 23:59:59', 1),"
                           " ('2026-03-05 00:00:00', 2), ('2026-03-05 12:00:00', 3),"
                           " ('2026-03-05 23:59:59', 4), ('2026-03-06 00:00:01', 5),"
                           " ('2026-03-07 08:00:00', 6), ('2026-03-06 00:00:00', 7);",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    const QString sql = QStringLiteral("select cardno from recorder where systime") +
                        MakeDateRangeSql(QDate(2026, 3, 5), QDate(2026, 3, 5)) +
                        QStringLiteral("order by systime desc");
    sqlite3_stmt *stmt = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &stmt, nullptr), SQLITE_OK)
        << sqlite3_errmsg(db);
    std::vector<int> cards;
    while (sqlite3_step(stmt) == SQLITE_ROW)
        cards.push_back(sqlite3_column_int(stmt, 0));
    sqlite3_finalize(stmt);
    EXPECT_EQ(cards, (std::vector<int>{4, 3, 2}));
}

} // namespace
