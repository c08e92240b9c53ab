// The dataset: cursor moves, the edit cycle written back to the table, Locate with bound values,
// typed fields, transactions and the keyset that keeps a long log out of memory.

#include "store/dataset.h"
#include "store/dbfile.h"
#include "store/logrow.h"
#include "testsupport/tempdata.h"

#include <QFile>
#include <gtest/gtest.h>

#include <functional>
#include <vector>
#include <malloc.h>
#include <sqlite3.h>

namespace {

// Bytes taken from the heap, large blocks (which malloc maps separately) included.
size_t heapInUse()
{
    const struct mallinfo2 m = mallinfo2();
    return m.uordblks + m.hblkhd;
}

// What the heap grew by since `before`: negative when it shrank, which must not wrap around.
long long heapGrowthSince(size_t before)
{
    return static_cast<long long>(heapInUse()) - static_cast<long long>(before);
}

QDateTime at(const char *text)
{
    return QDateTime::fromString(QString::fromLatin1(text), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

void appendLog(TDataSet &logs, const char *time, int card, int mode = 1, int reader = 1)
{
    AppendLogRow(logs, {at(time), card, mode, reader, 0});
}

void appendStaff(TDataSet &staff, int card, const QString &name)
{
    staff.Append();
    staff.FieldByName(QStringLiteral("CARDNO")).SetAsInteger(card);
    staff.FieldByName(QStringLiteral("NAME")).SetAsString(name);
    staff.Post();
}

QList<int> cardsInOrder(TDataSet &ds)
{
    QList<int> cards;
    for (int r = 0; r < ds.RecordCount(); ++r)
        cards << ds.FieldAt(r, QStringLiteral("cardno")).toInt();
    return cards;
}

qint64 scalar(TDatabase &db, const QString &sql)
{
    TStatement st = db.Prepare(sql);
    return st.Step() ? st.ColumnInt64(0) : -1;
}

QString text(TDatabase &db, const QString &sql)
{
    TStatement st = db.Prepare(sql);
    return st.Step() ? st.ColumnText(0) : QString();
}

class DataSetTest : public TempDataTest
{
protected:
    Tdsrc &d() { return Data().Dsrc(); }
};

} // namespace

TEST_F(DataSetTest, CursorStopsAtBothEnds)
{
    TDataSet &logs = d().logs;
    EXPECT_TRUE(logs.Bof());
    EXPECT_TRUE(logs.Eof());
    EXPECT_EQ(logs.RecNo(), -1);
    EXPECT_TRUE(logs.FieldByName(QStringLiteral("CARDNO")).IsNull());

    appendLog(logs, "2026-03-02 08:00:00", 1);
    appendLog(logs, "2026-03-02 09:00:00", 2);
    appendLog(logs, "2026-03-02 10:00:00", 3);

    logs.First();
    EXPECT_TRUE(logs.Bof());
    EXPECT_FALSE(logs.Eof());
    QList<int> seen;
    while (!logs.Eof()) {
        seen << logs.FieldByName(QStringLiteral("CARDNO")).AsInteger();
        logs.Next();
    }
    EXPECT_EQ(seen, (QList<int>{1, 2, 3}));
    EXPECT_EQ(logs.RecNo(), 2); // Next past the end stays on the last row

    logs.Last();
    EXPECT_TRUE(logs.Eof());
    seen.clear();
    while (!logs.Bof()) {
        seen << logs.FieldByName(QStringLiteral("CARDNO")).AsInteger();
        logs.Prior();
    }
    EXPECT_EQ(seen, (QList<int>{3, 2, 1}));
    EXPECT_EQ(logs.RecNo(), 0);

    logs.MoveTo(1);
    EXPECT_EQ(logs.FieldByName(QStringLiteral("cardno")).AsInteger(), 2);
    logs.MoveTo(99);
    EXPECT_EQ(logs.RecNo(), 2);
}

TEST_F(DataSetTest, AppendPlacesTheRowInQueryOrderAndCommitsIt)
{
    TDataSet &logs = d().logs;
    appendLog(logs, "2026-03-02 10:00:00", 10);
    appendLog(logs, "2026-03-02 08:00:00", 8);
    appendLog(logs, "2026-03-02 09:00:00", 9);
    appendLog(logs, "2026-03-02 09:00:00", 90); // a tie goes after the rows already there
    appendLog(logs, "2026-03-02 11:00:00", 11);
    EXPECT_EQ(logs.RecNo(), 4);
    EXPECT_EQ(logs.FieldByName(QStringLiteral("CARDNO")).AsInteger(), 11);
    EXPECT_EQ(cardsInOrder(logs), (QList<int>{8, 9, 90, 10, 11}));

    // Every post is on disk: another connection sees them all, in the same order.
    auto other = OpenDatabaseFile(Data().AttendPath(), DbKind::Attend);
    TDataSet fresh(*other, logs.SQL());
    fresh.Open();
    EXPECT_EQ(cardsInOrder(fresh), cardsInOrder(logs));
}

TEST_F(DataSetTest, EditWritesOnlyTheChangedColumns)
{
    TDataSet &logs = d().logs;
    appendLog(logs, "2026-03-02 08:00:00", 5, 1, 2);
    // Someone else changes MODE meanwhile; our edit of LOCK must not undo it.
    auto other =
        OpenDatabaseFile(Data().AttendPath(), DbKind::Attend, TDatabase::OpenMode::ReadWrite);
    other->Exec(QStringLiteral("UPDATE recorder SET MODE = 2"));
    logs.Edit();
    EXPECT_EQ(logs.State(), TDataSetState::Edit);
    logs.FieldByName(QStringLiteral("LOCK")).SetAsInteger(2);
    EXPECT_EQ(logs.FieldByName(QStringLiteral("LOCK")).AsInteger(), 2); // the edit buffer
    logs.Post();
    EXPECT_EQ(logs.State(), TDataSetState::Browse);
    EXPECT_EQ(text(*other, QStringLiteral("SELECT MODE || '/' || LOCK FROM recorder")),
              QStringLiteral("2/2"));
    EXPECT_EQ(logs.FieldByName(QStringLiteral("MODE")).AsInteger(), 2); // read back after post
}

TEST_F(DataSetTest, EditOfARowDeletedMeanwhileFailsAndKeepsTheEdit)
{
    TDataSet &logs = d().logs;
    appendLog(logs, "2026-03-02 08:00:00", 5);
    auto other =
        OpenDatabaseFile(Data().AttendPath(), DbKind::Attend, TDatabase::OpenMode::ReadWrite);
    other->Exec(QStringLiteral("DELETE FROM recorder"));
    logs.Edit();
    logs.FieldByName(QStringLiteral("LOCK")).SetAsInteger(3);
    EXPECT_THROW(logs.Post(), EDatabaseError);
    EXPECT_EQ(logs.State(), TDataSetState::Edit);
    logs.Cancel();
    logs.Refresh();
    EXPECT_TRUE(logs.IsEmpty());
}

TEST_F(DataSetTest, CancelDiscardsAndDeleteStandsOnTheNextRow)
{
    TDataSet &logs = d().logs;
    for (int i = 1; i <= 4; ++i)
        appendLog(logs, QStringLiteral("2026-03-02 0%1:00:00").arg(i).toLatin1().constData(), i);

    logs.MoveTo(1);
    logs.Edit();
    logs.FieldByName(QStringLiteral("CARDNO")).SetAsInteger(77);
    logs.Cancel();
    EXPECT_EQ(logs.FieldByName(QStringLiteral("CARDNO")).AsInteger(), 2);
    logs.Append();
    logs.Cancel();
    EXPECT_EQ(logs.RecordCount(), 4);

    logs.MoveTo(1);
    logs.Delete();
    EXPECT_EQ(logs.FieldByName(QStringLiteral("CARDNO")).AsInteger(), 3);
    logs.Last();
    logs.Delete();
    EXPECT_EQ(logs.FieldByName(QStringLiteral("CARDNO")).AsInteger(), 3);
    EXPECT_EQ(cardsInOrder(logs), (QList<int>{1, 3}));
    EXPECT_EQ(scalar(d().att, QStringLiteral("SELECT count(*) FROM recorder")), 2);

    logs.First();
    while (!logs.Eof())
        logs.Delete();
    EXPECT_TRUE(logs.IsEmpty());
    EXPECT_THROW(logs.Delete(), EDatabaseError);
}

TEST_F(DataSetTest, FailedPostKeepsTheRowForCancel)
{
    TDataSet &reader = d().reader;
    reader.Open();
    reader.Append(); // PORTNO is required
    reader.FieldByName(QStringLiteral("DESC")).SetAsString(QStringLiteral("Gate"));
    EXPECT_THROW(reader.Post(), EDatabaseError);
    EXPECT_EQ(reader.State(), TDataSetState::Insert);
    EXPECT_EQ(reader.FieldByName(QStringLiteral("DESC")).AsString(), QStringLiteral("Gate"));
    reader.Cancel();
    EXPECT_EQ(reader.RecordCount(), 8);
    EXPECT_EQ(scalar(d().src, QStringLiteral("SELECT count(*) FROM reader")), 8);
}

TEST_F(DataSetTest, FieldsAreWrittenOnlyWhileEditing)
{
    TDataSet &reader = d().reader;
    reader.Open();
    EXPECT_THROW(reader.FieldByName(QStringLiteral("DESC")).SetAsString(QStringLiteral("x")),
                 EDatabaseError);
    EXPECT_THROW(reader.FieldByName(QStringLiteral("NOSUCH")), EDatabaseError);
    EXPECT_FALSE(reader.FindField(QStringLiteral("NOSUCH")).IsValid());
    TDataSet closed(d().src, QStringLiteral("select * from reader"));
    EXPECT_THROW(closed.Append(), EDatabaseError);
}

TEST_F(DataSetTest, LocateMatchesBoundValuesExactlyUnlessAskedOtherwise)
{
    const QString injection = QStringLiteral("O'Brien; DROP TABLE staffs;--");
    const QList<QPair<int, QString>> people = {
        {1, QStringLiteral("ALICE")},   {2, QStringLiteral("alice")},
        {3, QStringLiteral("Ålesund")}, {4, injection},
        {5, QStringLiteral("100%")},    {6, QStringLiteral("a_b")},
        {7, QStringLiteral("axb")},     {8, QStringLiteral("Bob")},
    };
    for (const auto &[card, name] : people)
        appendStaff(d().staff, card, name);

    struct Case
    {
        const char *label;
        QStringList fields;
        QVariantList values;
        LocateOptions options;
        int card; // 0: not found
    };
    const QString nameField = QStringLiteral("NAME");
    const QString lowerNameField = QStringLiteral("name");
    const QString cardField = QStringLiteral("CARDNO");
    const QString memoField = QStringLiteral("MEMO");
    const std::vector<Case> cases = {
        {"exact is case-sensitive", {nameField}, {QStringLiteral("alice")}, {}, 2},
        {"exact upper", {lowerNameField}, {QStringLiteral("ALICE")}, {}, 1},
        {"no case, beyond ASCII",
         {nameField},
         {QStringLiteral("ÅLESUND")},
         LocateOption::CaseInsensitive,
         3},
        {"exact needs the whole value", {nameField}, {QStringLiteral("Ali")}, {}, 0},
        {"partial is a prefix", {nameField}, {QStringLiteral("Bo")}, LocateOption::PartialKey, 8},
        {"partial keeps case", {nameField}, {QStringLiteral("bo")}, LocateOption::PartialKey, 0},
        {"partial without case",
         {nameField},
         {QStringLiteral("bO")},
         LocateOption::PartialKey | LocateOption::CaseInsensitive,
         8},
        {"quotes and semicolons are text", {nameField}, {injection}, {}, 4},
        {"partial with a quote", {nameField}, {QStringLiteral("O'B")}, LocateOption::PartialKey, 4},
        {"percent is no wildcard",
         {nameField},
         {QStringLiteral("1%")},
         LocateOption::PartialKey,
         0},
        {"underscore is no wildcard", {nameField}, {QStringLiteral("a_b")}, {}, 6},
        {"two fields", {cardField, nameField}, {2, QStringLiteral("alice")}, {}, 2},
        {"two fields, one differs", {cardField, nameField}, {1, QStringLiteral("alice")}, {}, 0},
        {"number given as text", {cardField}, {QStringLiteral("5")}, {}, 5},
        {"null matches null", {memoField}, {QVariant()}, {}, 0 /* first in name order */},
    };
    TDataSet join(d().src, QStringLiteral("select * from staffs, gid where staffs.workgrp = gid.id "
                                          "order by staffs.name"));
    join.Open();
    ASSERT_FALSE(join.CanModify());
    for (TDataSet *ds : {&d().staff, &join}) {
        for (const Case &c : cases) {
            SCOPED_TRACE(std::string(c.label) + (ds == &join ? " (in memory)" : " (table)"));
            ds->MoveTo(0);
            const int before = ds->RecNo();
            const bool found = ds->Locate(c.fields, c.values, c.options);
            if (QString::fromLatin1(c.label) == QLatin1String("null matches null")) {
                EXPECT_TRUE(found);
                EXPECT_EQ(ds->RecNo(), 0);
                continue;
            }
            EXPECT_EQ(found, c.card != 0);
            if (found)
                EXPECT_EQ(ds->FieldByName(QStringLiteral("CARDNO")).AsInteger(), c.card);
            else
                EXPECT_EQ(ds->RecNo(), before); // the cursor stays
        }
    }
    EXPECT_EQ(scalar(d().src, QStringLiteral("SELECT count(*) FROM staffs")), people.size());
}

TEST_F(DataSetTest, LocateOnTheLogByTimeAndCard)
{
    TDataSet &logs = d().logs;
    appendLog(logs, "2026-03-02 08:00:00", 7);
    appendLog(logs, "2026-03-02 08:00:00", 8);
    appendLog(logs, "2026-03-02 09:00:00", 7);
    EXPECT_TRUE(logs.Locate({QStringLiteral("SYSTIME"), QStringLiteral("CARDNO")},
                            {at("2026-03-02 09:00:00"), 7}));
    EXPECT_EQ(logs.RecNo(), 2);
    EXPECT_TRUE(logs.Locate(QStringLiteral("CARDNO"), 7));
    EXPECT_EQ(logs.RecNo(), 0); // the first in time order
    EXPECT_FALSE(logs.Locate({QStringLiteral("SYSTIME"), QStringLiteral("CARDNO")},
                             {at("2026-03-02 09:00:00"), 8}));
}

TEST_F(DataSetTest, BoundQueryParametersNeverBecomeSql)
{
    appendStaff(d().staff, 1, QStringLiteral("x' OR '1'='1"));
    appendStaff(d().staff, 2, QStringLiteral("Eve"));
    TDataSet q(d().src, QStringLiteral("select * from staffs where NAME = :name"));
    q.Bind(QStringLiteral("name"), QStringLiteral("x' OR '1'='1"));
    q.Open();
    EXPECT_EQ(cardsInOrder(q), (QList<int>{1}));
    q.Bind(QStringLiteral(":name"), QStringLiteral("Eve"));
    q.Refresh();
    EXPECT_EQ(cardsInOrder(q), (QList<int>{2}));
    EXPECT_TRUE(q.CanModify()); // a filtered query over one table still writes back
}

TEST_F(DataSetTest, TypedFieldsReadAndWriteTheStoredForms)
{
    // Dates written by others in either ISO form read the same.
    d().att.Exec(QStringLiteral("INSERT INTO recorder (SYSTIME, CARDNO) VALUES "
                                "('2026-03-02 08:15:30', 1), ('2026-03-02T08:15:31', 2)"));
    TDataSet &logs = d().logs;
    logs.Refresh();
    EXPECT_EQ(logs.FieldAt(0, QStringLiteral("systime")).toDateTime(), at("2026-03-02 08:15:30"));
    logs.MoveTo(1);
    EXPECT_EQ(logs.FieldByName(QStringLiteral("SYSTIME")).AsDateTime(), at("2026-03-02 08:15:31"));

    // Milliseconds never reach the log.
    logs.Append();
    logs.FieldByName(QStringLiteral("SYSTIME"))
        .SetAsDateTime(at("2026-03-03 07:00:00").addMSecs(640));
    logs.Post();
    EXPECT_EQ(text(d().att, QStringLiteral("SELECT SYSTIME FROM recorder WHERE CARDNO = 0")),
              QStringLiteral("2026-03-03 07:00:00"));

    // Times of day and booleans.
    TDataSet &groups = d().gidtbl;
    groups.Edit();
    groups.FieldByName(QStringLiteral("wd_from_1")).SetAsDateTime(at("2001-05-06 07:45:00"));
    groups.FieldByName(QStringLiteral("SAT_ENABLE_1")).SetAsBoolean(true);
    groups.Post();
    EXPECT_EQ(text(d().src, QStringLiteral("SELECT WD_FROM_1 || '|' || SAT_ENABLE_1 FROM gid")),
              QStringLiteral("07:45:00|1"));
    EXPECT_EQ(groups.FieldByName(QStringLiteral("WD_FROM_1")).AsDateTime().time(), QTime(7, 45));
    EXPECT_EQ(groups.FieldByName(QStringLiteral("WD_FROM_1")).AsVariant().toTime(), QTime(7, 45));
    EXPECT_TRUE(groups.FieldByName(QStringLiteral("SAT_ENABLE_1")).AsBoolean());
    EXPECT_EQ(groups.FieldByName(QStringLiteral("SAT_ENABLE_1")).AsVariant(), QVariant(true));
    EXPECT_EQ(groups.FieldByName(QStringLiteral("SAT_ENABLE_2")).AsString(),
              QStringLiteral("False"));

    // A blob comes back byte for byte.
    QByteArray photo("\xFF\xD8\x00\x01jpeg", 8);
    d().staff.Append();
    d().staff.FieldByName(QStringLiteral("PHOTO")).SetAsBytes(photo);
    d().staff.Post();
    EXPECT_EQ(d().staff.FieldByName(QStringLiteral("photo")).AsBytes(), photo);
    EXPECT_GT(d().staff.FieldByName(QStringLiteral("SEQ")).AsInteger(), 0); // given by the table
}

TEST_F(DataSetTest, QueriesOverSeveralTablesAreReadOnly)
{
    appendStaff(d().staff, 1, QStringLiteral("Ann"));
    for (const char *sql :
         {"select * from staffs, gid where staffs.workgrp = gid.id",
          "select * from staffs left join gid on staffs.workgrp = gid.id",
          "select count(*) as n from staffs", "select name as who from staffs",
          "select distinct cardno from staffs", "select cardno from staffs group by cardno"}) {
        SCOPED_TRACE(sql);
        TDataSet q(d().src, QString::fromLatin1(sql));
        q.Open();
        EXPECT_EQ(q.RecordCount(), 1);
        EXPECT_FALSE(q.CanModify());
        EXPECT_THROW(q.Append(), EDatabaseError);
        EXPECT_THROW(q.Edit(), EDatabaseError);
        EXPECT_THROW(q.Delete(), EDatabaseError);
    }
    EXPECT_EQ(scalar(d().src, QStringLiteral("SELECT count(*) FROM staffs")), 1);
}

TEST_F(DataSetTest, TransactionRollsBackUnlessCommitted)
{
    TDataSet &logs = d().logs;
    {
        TTransaction t(d().att);
        appendLog(logs, "2026-03-02 08:00:00", 1);
        appendLog(logs, "2026-03-02 08:00:01", 2);
    } // not committed
    EXPECT_EQ(scalar(d().att, QStringLiteral("SELECT count(*) FROM recorder")), 0);
    {
        TTransaction outer(d().att);
        appendLog(logs, "2026-03-02 09:00:00", 3);
        {
            TTransaction inner(d().att);
            appendLog(logs, "2026-03-02 09:00:01", 4);
        } // only the inner part is undone
        outer.Commit();
    }
    EXPECT_FALSE(d().att.InTransaction());
    logs.Refresh();
    EXPECT_EQ(cardsInOrder(logs), (QList<int>{3}));
}

TEST_F(DataSetTest, DeletionsOfEveryKindRaiseTheirFilesDeletionGeneration)
{
    TDataSet &logs = d().logs;
    for (int card = 1; card <= 4; ++card)
        appendLog(logs, "2026-03-02 08:00:00", card);
    struct Step
    {
        const char *what;
        std::function<void()> run;
        bool deletes;
    };
    const std::vector<Step> steps = {
        {"append", [&] { appendLog(logs, "2026-03-02 09:00:00", 9); }, false},
        {"edit",
         [&] {
             d().att.Exec(QStringLiteral("UPDATE recorder SET MODE = 2 WHERE CARDNO = 9"));
         },
         false},
        {"dataset delete",
         [&] {
             logs.First();
             logs.Delete();
         },
         true},
        {"delete with a condition",
         [&] { d().att.Exec(QStringLiteral("DELETE FROM recorder WHERE CARDNO = 2")); }, true},
        {"rolled-back delete",
         [&] {
             TTransaction t(d().att);
             d().att.Exec(QStringLiteral("DELETE FROM recorder WHERE CARDNO = 3"));
         },
         true},
        // Without a condition SQLite would drop the table's pages wholesale, unseen.
        {"whole-table delete", [&] { d().att.Exec(QStringLiteral("DELETE FROM recorder")); },
         true},
    };
    for (const Step &step : steps) {
        const quint64 attBefore = TDatabase::DeletionGeneration(DbKind::Attend);
        const quint64 sysBefore = TDatabase::DeletionGeneration(DbKind::Sysdat);
        step.run();
        EXPECT_EQ(TDatabase::DeletionGeneration(DbKind::Attend) > attBefore, step.deletes)
            << step.what;
        EXPECT_EQ(TDatabase::DeletionGeneration(DbKind::Sysdat), sysBefore) << step.what;
    }
    EXPECT_EQ(scalar(d().att, QStringLiteral("SELECT count(*) FROM recorder")), 0);
    // Tables can still be made and dropped on a watched connection.
    d().att.Exec(QStringLiteral("CREATE TABLE scratch (x); DROP TABLE scratch"));
    EXPECT_EQ(scalar(d().att,
                     QStringLiteral("SELECT count(*) FROM sqlite_schema WHERE name = 'scratch'")),
              0);
}

TEST_F(DataSetTest, RefreshStaysOnTheSameRow)
{
    TDataSet &logs = d().logs;
    appendLog(logs, "2026-03-02 08:00:00", 1);
    appendLog(logs, "2026-03-02 10:00:00", 2);
    logs.Last();
    // Another writer adds an earlier row: the cursor follows its row, not its index.
    d().att.Exec(
        QStringLiteral("INSERT INTO recorder (SYSTIME, CARDNO) VALUES ('2026-03-02 09:00:00', 3)"));
    logs.Refresh();
    EXPECT_EQ(logs.RecordCount(), 3);
    EXPECT_EQ(logs.FieldByName(QStringLiteral("CARDNO")).AsInteger(), 2);
    EXPECT_EQ(logs.RecNo(), 2);
    logs.Delete();
    logs.Refresh(); // the row is gone: it stays near where it was
    EXPECT_EQ(logs.RecNo(), 1);
}

// A table cursor reads its rows a block at a time; every row must come out right whichever
// way and however far the cursor goes, across the blocks and past the cache's size.
TEST_F(DataSetTest, TableCursorWalksEveryRowInBothDirections)
{
    constexpr int Rows = 5000;
    d().att.Exec(QStringLiteral(
                     "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
                     "INSERT INTO recorder (SYSTIME, CARDNO, MODE) "
                     "SELECT datetime('2026-01-01', '-' || i || ' minutes'), i, i % 3 FROM n")
                     .arg(Rows));
    // In time order the cards run backwards, so the rowids do too.
    TDataSet log(d().att, QStringLiteral("select * from recorder order by SYSTIME"));
    log.Open();
    ASSERT_EQ(log.RecordCount(), Rows);
    const TField card = log.FieldByName(QStringLiteral("CARDNO"));
    const TField mode = log.FieldByName(QStringLiteral("MODE"));
    int expected = Rows, wrong = 0;
    for (log.First(); !log.Eof(); log.Next(), --expected)
        wrong += card.AsInteger() != expected || mode.AsInteger() != expected % 3;
    EXPECT_EQ(expected, 0);
    EXPECT_EQ(wrong, 0);
    expected = 1;
    for (log.Last(); !log.Bof(); log.Prior(), ++expected)
        wrong += card.AsInteger() != expected || mode.AsInteger() != expected % 3;
    EXPECT_EQ(expected, Rows + 1);
    EXPECT_EQ(wrong, 0);
    for (int row : {Rows - 1, 0, 2047, 2048, 511, 512, 4000, 1}) {
        SCOPED_TRACE(row);
        EXPECT_EQ(log.FieldAt(row, QStringLiteral("CARDNO")).toInt(), Rows - row);
    }
}

// A row found by Locate, or asked for by number, is read alone: the staff list's neighbouring
// rows each carry a photo, and reading a block of them would take megabytes for one card.
// Walking on from there reads ahead again, and every row comes out right.
TEST_F(DataSetTest, AJumpToARowReadsThatRowAlone)
{
    constexpr int Rows = 600;
    constexpr int PhotoBytes = 64 * 1024;
    d().src.Exec(QStringLiteral(
                     "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
                     "INSERT INTO staffs (CARDNO, NAME, PHOTO) "
                     "SELECT i, printf('Holder %04d', i), randomblob(%2) FROM n")
                     .arg(Rows)
                     .arg(PhotoBytes));
    TDataSet &staff = d().staff;
    staff.Refresh();
    ASSERT_EQ(staff.RecordCount(), Rows);
    struct Jump
    {
        const char *how;
        std::function<QString()> read;
        QString expected;
    };
    const Jump jumps[] = {
        {"Locate",
         [&] {
             EXPECT_TRUE(staff.Locate(QStringLiteral("CARDNO"), 300));
             return staff.FieldByName(QStringLiteral("NAME")).AsString();
         },
         QStringLiteral("Holder 0300")},
        {"FieldAt",
         [&] { return staff.FieldAt(450, QStringLiteral("NAME")).toString(); },
         QStringLiteral("Holder 0451")},
    };
    for (const Jump &jump : jumps) {
        SCOPED_TRACE(jump.how);
        // Nothing cached any more.
        d().src.Exec(QStringLiteral("update staffs set MEMO=NULL where CARDNO=1"));
        const size_t before = heapInUse();
        EXPECT_EQ(jump.read(), jump.expected);
        EXPECT_LT(heapGrowthSince(before), 8LL * PhotoBytes);
    }
    int expected = 300, wrong = 0;
    ASSERT_TRUE(staff.Locate(QStringLiteral("CARDNO"), 300));
    for (; !staff.Eof(); staff.Next(), ++expected)
        wrong += staff.FieldByName(QStringLiteral("CARDNO")).AsInteger() != expected;
    EXPECT_EQ(expected, Rows + 1);
    EXPECT_EQ(wrong, 0);
}

// Rows a cursor has read are read again after anything on its connection changed them: an
// update or delete through another dataset or a plain statement.
TEST_F(DataSetTest, CursorSeesChangesMadeOnItsConnection)
{
    for (int card = 1; card <= 6; ++card)
        appendStaff(d().staff, card, QStringLiteral("Name %1").arg(card));
    TDataSet list(d().src, QStringLiteral("select * from staffs order by CARDNO"));
    list.Open();
    ASSERT_EQ(list.RecordCount(), 6);
    const TField name = list.FieldByName(QStringLiteral("NAME"));
    EXPECT_EQ(name.AsString(), QStringLiteral("Name 1"));
    EXPECT_EQ(list.FieldAt(4, QStringLiteral("NAME")).toString(), QStringLiteral("Name 5"));

    d().src.Exec(QStringLiteral("update staffs set NAME='Renamed' where CARDNO in (1, 5)"));
    EXPECT_EQ(name.AsString(), QStringLiteral("Renamed"));
    EXPECT_EQ(list.FieldAt(4, QStringLiteral("NAME")).toString(), QStringLiteral("Renamed"));

    ASSERT_TRUE(d().staff.Locate(QStringLiteral("CARDNO"), 2));
    {
        TDataSetEdit edit(d().staff, TDataSetEdit::Kind::Edit);
        d().staff.FieldByName(QStringLiteral("NAME")).SetAsString(QStringLiteral("Edited"));
        edit.Post();
    }
    EXPECT_EQ(list.FieldAt(1, QStringLiteral("NAME")).toString(), QStringLiteral("Edited"));

    d().src.Exec(QStringLiteral("delete from staffs where CARDNO=3"));
    EXPECT_TRUE(list.FieldAt(2, QStringLiteral("NAME")).isNull()); // gone: nothing to show
    EXPECT_EQ(list.FieldAt(3, QStringLiteral("NAME")).toString(), QStringLiteral("Name 4"));
}

TEST_F(DataSetTest, ClosingTheConnectionClosesItsDataSets)
{
    ASSERT_TRUE(d().staff.Active());
    d().src.Close();
    EXPECT_FALSE(d().staff.Active());
    EXPECT_FALSE(d().gidtbl.Active());
    EXPECT_TRUE(d().logs.Active()); // the other connection is untouched
    EXPECT_THROW(d().staff.Open(), EDatabaseError);
    d().OpenSysdat(Data().SysdatPath());
    d().staff.Open();
    EXPECT_TRUE(d().staff.Active());
}

TEST_F(DataSetTest, ListenersHearOfEveryChange)
{
    struct Recorder : TDataSetListener
    {
        QStringList events;
        void DataSetReset(TDataSet &) override { events << QStringLiteral("reset"); }
        void RowInserted(TDataSet &, int row) override { events << QStringLiteral("+%1").arg(row); }
        void RowRemoved(TDataSet &, int row) override { events << QStringLiteral("-%1").arg(row); }
        void RowChanged(TDataSet &, int row) override { events << QStringLiteral("~%1").arg(row); }
    } recorder;
    TDataSet &logs = d().logs;
    logs.AddListener(&recorder);
    appendLog(logs, "2026-03-02 10:00:00", 1);
    appendLog(logs, "2026-03-02 09:00:00", 2);
    logs.Edit();
    logs.FieldByName(QStringLiteral("LOCK")).SetAsInteger(1);
    logs.Post();
    logs.Delete();
    logs.Refresh();
    logs.RemoveListener(&recorder);
    logs.Close();
    EXPECT_EQ(recorder.events,
              (QStringList{QStringLiteral("+0"), QStringLiteral("+0"), QStringLiteral("~0"),
                           QStringLiteral("-0"), QStringLiteral("reset")}));
}

// Each reset, insert and remove is told twice: before, while the dataset still shows the rows
// as they were, and after. The row count and the row's card at each moment show which it saw.
TEST_F(DataSetTest, ListenersHearBeforeAndAfterEachChange)
{
    struct Recorder : TDataSetListener
    {
        QStringList events;
        void note(TDataSet &ds, const char *what, int row = -1)
        {
            QString e =
                QString::fromLatin1(what) + QLatin1Char(' ') + QString::number(ds.RecordCount());
            if (row >= 0)
                e += QLatin1Char(' ') + ds.FieldAt(row, QStringLiteral("CARDNO")).toString();
            events << e;
        }
        void DataSetAboutToReset(TDataSet &ds) override { note(ds, "reset?"); }
        void DataSetReset(TDataSet &ds) override { note(ds, "reset"); }
        void RowAboutToBeInserted(TDataSet &ds, int row) override { note(ds, "insert?", row); }
        void RowInserted(TDataSet &ds, int row) override { note(ds, "insert", row); }
        void RowAboutToBeRemoved(TDataSet &ds, int row) override { note(ds, "remove?", row); }
        void RowRemoved(TDataSet &ds, int row) override { note(ds, "remove", row); }
        void RowChanged(TDataSet &ds, int row) override { note(ds, "change", row); }
    } recorder;
    TDataSet &logs = d().logs;
    appendLog(logs, "2026-03-02 10:00:00", 1);
    logs.AddListener(&recorder);
    struct Step
    {
        const char *name;
        std::function<void()> run;
        QStringList events;
    };
    const Step steps[] = {
        {"an append before the first row",
         [&] { appendLog(logs, "2026-03-02 09:00:00", 2); },
         {QStringLiteral("insert? 1 1"), QStringLiteral("insert 2 2")}},
        {"an edit",
         [&] {
             logs.Edit();
             logs.FieldByName(QStringLiteral("CARDNO")).SetAsInteger(3);
             logs.Post();
         },
         {QStringLiteral("change 2 3")}},
        {"a delete",
         [&] {
             logs.First();
             logs.Delete();
         },
         {QStringLiteral("remove? 2 3"), QStringLiteral("remove 1 1")}},
        {"a refresh",
         [&] { logs.Refresh(); },
         {QStringLiteral("reset? 1"), QStringLiteral("reset 1")}},
        {"a close", [&] { logs.Close(); }, {QStringLiteral("reset? 1"), QStringLiteral("reset 0")}},
        {"a close of a closed dataset", [&] { logs.Close(); }, {}},
        {"an open", [&] { logs.Open(); }, {QStringLiteral("reset? 0"), QStringLiteral("reset 1")}},
        {"a failing open",
         [&] {
             logs.SetSQL(QStringLiteral("SELECT * FROM nosuch"));
             recorder.events.clear();
             EXPECT_THROW(logs.Open(), EDatabaseError);
         },
         {QStringLiteral("reset? 0"), QStringLiteral("reset 0")}},
    };
    for (const Step &step : steps) {
        SCOPED_TRACE(step.name);
        recorder.events.clear();
        step.run();
        EXPECT_EQ(recorder.events, step.events);
    }
    logs.RemoveListener(&recorder);
}

TEST(StatementErrors, CarrySqliteMessageAndCode)
{
    TempData data(TempData::Open::Connections);
    ASSERT_TRUE(data.IsValid());
    TDatabase &db = data.Dsrc().att;
    try {
        db.Prepare(QStringLiteral("SELECT * FROM nosuch"));
        ADD_FAILURE();
    } catch (const EDatabaseError &e) {
        EXPECT_TRUE(e.Message().contains(QStringLiteral("no such table: nosuch"))) << e.what();
        EXPECT_EQ(e.Code() & 0xff, SQLITE_ERROR);
    }
    // A second statement would run unseen.
    EXPECT_THROW(db.Prepare(QStringLiteral("SELECT 1; DELETE FROM recorder")), EDatabaseError);
    TStatement st = db.Prepare(QStringLiteral("SELECT :a"));
    EXPECT_THROW(st.Bind(QStringLiteral("b"), 1), EDatabaseError);
    EXPECT_THROW(st.Bind(2, 1), EDatabaseError);
}

TEST(LargeLog, AMillionRowsStayOnDisk)
{
    TempData data;
    ASSERT_TRUE(data.IsValid());
    Tdsrc &d = data.Dsrc();
    d.logs.Close();
    d.att.Exec(QStringLiteral(
        "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < 999999) "
        "INSERT INTO recorder (SYSTIME, CARDNO, MODE, READER, LOCK) "
        "SELECT datetime('2020-01-01', '+' || (i * 60) || ' seconds'), i, 1, 1, 0 FROM n"));

    const size_t before = heapInUse();
    d.logs.Open();
    const long long grown = heapGrowthSince(before);
    ASSERT_EQ(d.logs.RecordCount(), 1000000);
    // The rowids alone: a handful of bytes per row, where loading the rows would take hundreds.
    EXPECT_LT(grown, 40LL << 20);

    for (int row : {0, 1, 499999, 999999}) {
        SCOPED_TRACE(row);
        EXPECT_EQ(d.logs.FieldAt(row, QStringLiteral("CARDNO")).toInt(), row);
    }
    d.logs.Last();
    appendLog(d.logs, "2030-01-01 00:00:00", -1);
    EXPECT_EQ(d.logs.RecNo(), 1000000);
    appendLog(d.logs, "2020-01-01 00:00:30", -2); // between the first two rows
    EXPECT_EQ(d.logs.RecNo(), 1);
    EXPECT_EQ(d.logs.FieldAt(2, QStringLiteral("CARDNO")).toInt(), 1);
}
