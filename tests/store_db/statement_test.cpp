// The statement's typed columns and binds: each value read as the type it holds, a text seen
// without a copy, an integer only where the column holds one, a value passed from one
// statement to another with its type, and a refused change counted rather than raised.

#include "store/db/sqlitedb.h"
#include "testsupport/tempdata.h"

#include <gtest/gtest.h>
#include <limits>
#include <memory>
#include <optional>

namespace {

class StatementTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_data = std::make_unique<TempData>(TempData::Open::Connections);
        ASSERT_TRUE(m_data->IsValid());
    }
    TDatabase &db() { return m_data->Dsrc().att; }

    std::unique_ptr<TempData> m_data;
};

struct ValueCase
{
    const char *name;
    const char *expression;
    TStatement::ValueType type;
    std::optional<qint64> integer;
    const char *text; // UTF-8; nullptr for null
};

const ValueCase valueCases[] = {
    {"Integer", "42", TStatement::ValueType::Integer, 42, "42"},
    {"LargestInteger", "9223372036854775807", TStatement::ValueType::Integer,
     std::numeric_limits<qint64>::max(), "9223372036854775807"},
    {"TextOfDigits", "'42'", TStatement::ValueType::Text, std::nullopt, "42"},
    {"Float", "4.5", TStatement::ValueType::Float, std::nullopt, "4.5"},
    {"Null", "NULL", TStatement::ValueType::Null, std::nullopt, nullptr},
    {"NonAscii", "'Zoë Ångström'", TStatement::ValueType::Text, std::nullopt,
     "Zo\xC3\xAB \xC3\x85ngstr\xC3\xB6m"},
    {"EmptyText", "''", TStatement::ValueType::Text, std::nullopt, ""},
    {"Blob", "x'6162'", TStatement::ValueType::Blob, std::nullopt, "ab"},
};

TEST_F(StatementTest, ColumnsReadAsTheTypeTheyHold)
{
    for (const ValueCase &c : valueCases) {
        SCOPED_TRACE(c.name);
        TStatement st = db().Prepare(QStringLiteral("SELECT ") + QString::fromUtf8(c.expression));
        ASSERT_TRUE(st.Step());
        EXPECT_EQ(st.ColumnType(0), c.type);
        EXPECT_EQ(st.ColumnInteger(0), c.integer);
        const QByteArrayView text = st.ColumnTextView(0);
        EXPECT_EQ(text.isNull(), c.text == nullptr);
        if (c.text)
            EXPECT_EQ(QByteArray(text.data(), text.size()), QByteArray(c.text));
    }
}

TEST_F(StatementTest, TypedBindsAndAColumnPassedOnKeepTheirType)
{
    TStatement source =
        db().Prepare(QStringLiteral("SELECT 7, '7', x'00ff', NULL, 2.5, 'Zo\u00eb'"));
    ASSERT_TRUE(source.Step());
    TStatement echo = db().Prepare(QStringLiteral("SELECT typeof(?1), quote(?1)"));
    const std::pair<int, const char *> passed[] = {
        {0, "integer 7"}, {1, "text '7'"}, {2, "blob X'00FF'"},
        {3, "null NULL"}, {4, "real 2.5"}, {5, "text 'Zo\u00eb'"},
    };
    for (const auto &[column, expected] : passed) {
        SCOPED_TRACE(column);
        echo.BindColumn(1, source, column);
        ASSERT_TRUE(echo.Step());
        EXPECT_EQ(echo.ColumnText(0) + u' ' + echo.ColumnText(1), QString::fromUtf8(expected));
        echo.Reset();
    }

    echo.BindInt64(1, -5);
    ASSERT_TRUE(echo.Step());
    EXPECT_EQ(echo.ColumnText(1), QStringLiteral("-5"));
    EXPECT_EQ(echo.ColumnText(0), QStringLiteral("integer"));
    echo.Reset();
    // The bytes of the view only, with their non-ASCII letters; a null view is the empty text.
    const QByteArray bytes("Zo\xC3\xAB and more");
    echo.BindText(1, QByteArrayView(bytes).first(4));
    ASSERT_TRUE(echo.Step());
    EXPECT_EQ(echo.ColumnText(1), QStringLiteral("'Zo\u00eb'"));
    echo.Reset();
    echo.BindText(1, QByteArrayView());
    ASSERT_TRUE(echo.Step());
    EXPECT_EQ(echo.ColumnText(1), QStringLiteral("''"));
    echo.Reset();
    echo.BindNull(1);
    ASSERT_TRUE(echo.Step());
    EXPECT_EQ(echo.ColumnText(0), QStringLiteral("null"));
}

TEST_F(StatementTest, RefusedChangeIsCountedAndTheStatementRunsAgain)
{
    db().Exec(QStringLiteral("CREATE TEMP TABLE once (k INTEGER PRIMARY KEY)"));
    TStatement add = db().Prepare(QStringLiteral("INSERT INTO once (k) VALUES (?1)"));
    const qint64 before = db().TotalChanges();
    const std::pair<qint64, bool> runs[] = {{1, true}, {1, false}, {2, true}};
    for (const auto &[key, added] : runs) {
        add.BindInt64(1, key);
        EXPECT_EQ(add.TryRun(), added) << key;
    }
    EXPECT_EQ(db().TotalChanges() - before, 2);
    TStatement count = db().Prepare(QStringLiteral("SELECT count(*) FROM once"));
    ASSERT_TRUE(count.Step());
    EXPECT_EQ(count.ColumnInt64(0), 2);
}

TEST_F(StatementTest, OriginNameIsTheTableColumnReadAndEmptyForAnExpression)
{
    TStatement st =
        db().Prepare(QStringLiteral("SELECT r.CARDNO AS card, CARDNO + 1 FROM recorder r"));
    EXPECT_EQ(st.ColumnName(0), QStringLiteral("card"));
    EXPECT_EQ(st.ColumnOriginName(0), QStringLiteral("CARDNO"));
    EXPECT_TRUE(st.ColumnOriginName(1).isEmpty());
}

} // namespace
