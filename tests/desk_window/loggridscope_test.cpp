// The scope a command hides the log grid in: hidden (or left up) while it runs, and shown again,
// read anew at its last row, however the command ends.

#include "desk/commandcontext.h"
#include "windowfixture.h"

#include <QGroupBox>
#include <QTableView>
#include <gtest/gtest.h>
#include <stdexcept>

namespace {

class LogGridScopeTest : public WindowTest
{
};

struct ScopeCase
{
    const char *name;
    TLogGridScope::During during;
    bool showAgain; // the command shows the grid before its last words
    bool throws;    // the command ends by an error
};

TEST_F(LogGridScopeTest, GridIsBackAndReadAnewOnEveryWayOut)
{
    const ScopeCase cases[] = {
        {"hidden, ends normally", TLogGridScope::During::Hidden, false, false},
        {"hidden, ends by an error", TLogGridScope::During::Hidden, false, true},
        {"hidden, shown again, then an error", TLogGridScope::During::Hidden, true, true},
        {"left up, ends by an error", TLogGridScope::During::Shown, false, true},
    };
    AddLog(QDateTime(QDate(2026, 1, 2), QTime(8, 0)), 1);
    TTimeRec &w = OpenWindow();
    auto *grid = w.findChild<QTableView *>(QStringLiteral("info"));
    auto *box = w.findChild<QGroupBox *>(QStringLiteral("logs"));
    ASSERT_TRUE(grid && box);
    int rows = 1;
    for (const ScopeCase &c : cases) {
        SCOPED_TRACE(c.name);
        try {
            TLogGridScope scope(w, c.during);
            EXPECT_EQ(grid->isHidden(), c.during == TLogGridScope::During::Hidden);
            AddLog(QDateTime(QDate(2026, 1, 2), QTime(9, rows)), 2);
            ++rows;
            if (c.showAgain) {
                scope.ShowAgain();
                EXPECT_FALSE(grid->isHidden());
            }
            if (c.throws)
                throw std::runtime_error("command failed");
        } catch (const std::runtime_error &) {
            EXPECT_TRUE(c.throws);
        }
        EXPECT_FALSE(grid->isHidden());
        EXPECT_EQ(grid->model()->rowCount(), rows);
        EXPECT_EQ(w.CurrentLogRow(), rows - 1);
        EXPECT_EQ(box->title(), QString::number(rows) + QStringLiteral(" record(s)"));
    }
    EXPECT_EQ(Messages().Count(), 0);
}

} // namespace
