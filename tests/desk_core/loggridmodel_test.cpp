// The log grid's model keeps Qt's item model contract while the log changes under it: Qt's
// model tester watches the model and a sorting proxy over it while the swipe road appends rows
// (in time order or not), rows are deleted, the log is erased in batches and the log is closed
// and reopened. Persistent indexes stay on their rows throughout.

#include "deskfixture.h"

#include "desk/loggridmodel.h"
#include "testsupport/modelcheck.h"
#include "testsupport/rows.h"
#include "testsupport/zonescope.h"

#include <QDir>
#include <QFile>

#include <QPersistentModelIndex>
#include <QSortFilterProxyModel>

namespace {

constexpr int Card = 4711;
const QDateTime Afternoon(QDate(2026, 3, 5), QTime(14, 7, 9));

class LogGridContract : public DeskCoreTest
{
protected:
    void SetUp() override
    {
        DeskCoreTest::SetUp();
        model = std::make_unique<LogGridModel>(dsrc->logs);
        proxy.setSourceModel(model.get());
        proxy.sort(LogGridModel::ColCardNo);
        modelCheck = std::make_unique<ModelContractCheck>(model.get());
        proxyCheck = std::make_unique<ModelContractCheck>(&proxy);
    }
    void TearDown() override
    {
        proxyCheck.reset();
        modelCheck.reset();
        proxy.setSourceModel(nullptr);
        model.reset();
        DeskCoreTest::TearDown();
    }

    // Rows written behind the dataset's back, one a minute from the given time, then read in.
    static void FillLog(const QDateTime &from, int count, int firstCard)
    {
        dsrc->att.Exec(
            QStringLiteral(
                "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
                "INSERT INTO recorder (SYSTIME, CARDNO, MODE, READER, LOCK) "
                "SELECT datetime('%2', '+' || i || ' minutes'), %3 + i, 1, 1, 0 FROM n")
                .arg(count - 1)
                .arg(from.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")))
                .arg(firstCard));
        dsrc->logs.Refresh();
    }

    int CardAt(int row) const { return model->CardAt(row); }

    std::unique_ptr<LogGridModel> model;
    QSortFilterProxyModel proxy;
    std::unique_ptr<ModelContractCheck> modelCheck, proxyCheck;
};

TEST_F(LogGridContract, FollowsTheSwipeRoadInAndOutOfTimeOrder)
{
    FillLog(Afternoon.addSecs(-3 * 3600), 3, 100); // 11:07, 11:08, 11:09
    ReaderSim &sim = AttachSim(1);
    ConfigureReader(1, ReaderRow());
    AddStaff({.card = Card, .name = QStringLiteral("Alice"), .ports = {1}});
    StartCore();
    ASSERT_EQ(model->rowCount(), 3);
    const QPersistentModelIndex second(model->index(1, LogGridModel::ColCardNo));
    const QPersistentModelIndex secondInProxy(proxy.mapFromSource(second));

    struct Swipe
    {
        const char *name;
        QDateTime at;
        int expectRow; // where the row lands in the log's time order
    };
    const Swipe swipes[] = {
        {"latest goes last", Afternoon, 3},
        {"an earlier clock goes between", Afternoon.addSecs(-3 * 3600 + 30), 1},
        {"earliest goes first", Afternoon.addDays(-1), 0},
    };
    int rows = 3;
    for (const Swipe &s : swipes) {
        SCOPED_TRACE(s.name);
        PinClock(s.at);
        sim.SendCard(Card);
        ASSERT_TRUE(WaitForLogRows(++rows));
        // The door opened: the row's lock was written after it was added.
        ASSERT_TRUE(SpinUntil(
            [&] {
                return model->data(model->index(s.expectRow, LogGridModel::ColLock)).toString() ==
                       QStringLiteral("Door 1");
            },
            3000));
        EXPECT_EQ(model->rowCount(), rows);
        EXPECT_EQ(proxy.rowCount(), rows);
        EXPECT_EQ(CardAt(s.expectRow), Card);
        EXPECT_EQ(model->TimeAt(s.expectRow), s.at);
    }
    // The row that was second is still the one its indexes point at.
    ASSERT_TRUE(second.isValid());
    EXPECT_EQ(second.row(), 3);
    EXPECT_EQ(CardAt(second.row()), 101);
    ASSERT_TRUE(secondInProxy.isValid());
    EXPECT_EQ(secondInProxy.data().toString(), QStringLiteral("[101]"));
}

TEST_F(LogGridContract, FollowsDeletesBatchedErasesAndReopening)
{
    // More rows than one erase batch, over two days.
    const QDateTime dayOne(QDate(2026, 3, 4), QTime(0, 0));
    FillLog(dayOne, 1440, 10000);
    FillLog(dayOne.addDays(1), 1440, 20000);
    TDataSet &logs = dsrc->logs;
    ASSERT_EQ(model->rowCount(), 2880);

    struct Delete
    {
        const char *name;
        int row;
        int nextCard; // the card now at that row
    };
    const Delete deletes[] = {
        {"a middle row", 1500, 20061},
        {"the first row", 0, 10001},
        {"the last row", 2877, 21438},
    };
    for (const Delete &d : deletes) {
        SCOPED_TRACE(d.name);
        const QPersistentModelIndex gone(model->index(d.row, 0));
        const QPersistentModelIndex after(model->index(d.row + 1, 0));
        const int afterCard = CardAt(d.row + 1);
        logs.MoveTo(d.row);
        logs.Delete();
        EXPECT_FALSE(gone.isValid());
        if (afterCard != 0) {
            EXPECT_EQ(after.row(), d.row);
            EXPECT_EQ(CardAt(after.row()), afterCard);
        }
        EXPECT_EQ(CardAt(std::min(d.row, model->rowCount() - 1)), d.nextCard);
    }
    ASSERT_EQ(model->rowCount(), 2877);

    int steps = 0;
    EXPECT_TRUE(EraseLogRecords(logs, dayOne.date().addDays(1), [&] { ++steps; }));
    EXPECT_EQ(steps, 1439);
    EXPECT_EQ(model->rowCount(), 1438);
    EXPECT_EQ(CardAt(0), 20000);

    logs.Close();
    EXPECT_EQ(model->rowCount(), 0);
    logs.Open();
    EXPECT_EQ(model->rowCount(), 1438);
    logs.Refresh();
    Data().CloseDatabases();
    EXPECT_EQ(model->rowCount(), 0);
    Data().ReopenDatabases();
    EXPECT_EQ(model->rowCount(), 1438);

    EXPECT_FALSE(EraseLogRecords(logs, std::nullopt, {}));
    EXPECT_EQ(model->rowCount(), 0);
    EXPECT_EQ(proxy.rowCount(), 0);
}

// Stored times are wall-clock values: a swipe stored in the hour the clock skips (a reader's
// own clock, downloaded) is kept when its day is after the cut-off, and erased with its
// snapshot when it is before.
TEST_F(LogGridContract, EraseBeforeADayGoesByTheStoredClockAlsoInTheSkippedHour)
{
    const ZoneScope zone("Europe/Berlin");
    struct Case
    {
        const char *name;
        QDate before;
        std::vector<int> kept;
    };
    const Case cases[] = {
        {"the skipped hour's day is kept", QDate(2026, 3, 29), {2, 3}},
        {"the skipped hour's day is erased", QDate(2026, 3, 30), {3}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        dsrc->att.Exec(QStringLiteral("DELETE FROM recorder"));
        AddLog("2026-03-28 10:00:00", 1, 1);
        AddLog("2026-03-29 02:30:00", 2, 1);
        AddLog("2026-03-30 08:00:00", 3, 1);
        QDir().mkpath(PhotoPath);
        const QString snapshot = RowSnapshotFileName(
            2, QDateTime(QDate(2026, 3, 29), QTime(2, 30), Qt::UTC));
        QFile file(snapshot);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.close();
        dsrc->logs.Refresh();

        EraseLogRecords(dsrc->logs, c.before, {});

        std::vector<int> kept;
        for (int row = 0; row < model->rowCount(); ++row)
            kept.push_back(CardAt(row));
        EXPECT_EQ(kept, c.kept);
        const bool skippedHourKept = c.kept.front() == 2;
        EXPECT_EQ(QFile::exists(snapshot), skippedHourKept);
    }
}

} // namespace
