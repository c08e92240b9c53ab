// The pick list over 10,000 card holders: captions, moving a chosen row, "Remove All", and the
// remembered sort column.

#include "store/datasrc.h"
#include "store/picklist.h"
#include "testsupport/fakemessages.h"
#include "testsupport/outsidelock.h"
#include "testsupport/tempdata.h"

#include <QGroupBox>
#include <QHeaderView>
#include <QPushButton>
#include <QSettings>
#include <QTableView>
#include <gtest/gtest.h>

namespace {

constexpr int Holders = 10000;

class PickListTest : public TempDataTest
{
protected:
    void SetUp() override
    {
        TempDataTest::SetUp();
        ASSERT_TRUE(Data().IsValid());
        m_data = &Data().Dsrc();
        TDatabase &db = m_data->src;
        db.Exec(QStringLiteral("insert into gid (ID, DESCX) values (2, 'Alpha'), (3, 'Zulu')"));
        TTransaction t(db);
        TStatement s = db.Prepare(QStringLiteral(
            "insert into staffs (CARDNO, NAME, WORKGRP, PICKED) values (?, ?, ?, ?)"));
        for (int i = 0; i < Holders; ++i) {
            // Every tenth holder picked; cards 7 and 8 held twice (a lost card given again).
            s.Bind(1, i < Holders - 2 ? 1000 + i : 7 + (i - Holders + 2));
            s.Bind(2, QStringLiteral("N%1").arg(Holders - i, 5, 10, QLatin1Char('0')));
            s.Bind(3, i % 2 ? 2 : 3);
            s.Bind(4, i % 10 == 0);
            s.Step();
            s.Reset();
        }
        db.Exec(QStringLiteral("insert into staffs (CARDNO, NAME, WORKGRP, PICKED) values"
                               " (7, 'Twin A', 2, 0), (8, 'Twin B', 2, 1)"));
        t.Commit();
        m_data->staff.Close();
        m_data->staff.Open();
    }

    int Picked()
    {
        TStatement s =
            m_data->src.Prepare(QStringLiteral("select count(*) from staffs where PICKED"));
        s.Step();
        return int(s.ColumnInt64(0));
    }

    Tdsrc *m_data = nullptr;
    FakeMessages messages;
};

// The row with that name becomes the grid's current row.
void ChooseRow(QTableView *grid, TDataSet &list, const QString &name)
{
    ASSERT_TRUE(list.Locate(QStringLiteral("NAME"), name)) << name.toStdString();
    grid->selectRow(list.RecNo());
}

TEST_F(PickListTest, CaptionsCountTheRows)
{
    TPickList d;
    EXPECT_EQ(d.windowTitle(), QStringLiteral("Pick List"));
    EXPECT_EQ(d.gbmember->title(), QStringLiteral("Allowed Member (1001 records)"));
    EXPECT_EQ(d.gbnonmember->title(), QStringLiteral("Denied Member (9001 records)"));
    EXPECT_EQ(d.dbgmember->model()->headerData(2, Qt::Horizontal).toString(),
              QStringLiteral("WORKGROUP"));
    // By name unless told otherwise.
    EXPECT_EQ(d.Members().FieldByName(QStringLiteral("NAME")).AsString(), QStringLiteral("N00010"));
}

// Add and Remove move the chosen row, not the first holder with its card.
TEST_F(PickListTest, AddAndRemoveMoveTheChosenRow)
{
    TPickList d;
    ChooseRow(d.dbgnonmember, d.Nonmembers(), QStringLiteral("Twin A"));
    d.baddClick();
    EXPECT_EQ(d.gbmember->title(), QStringLiteral("Allowed Member (1002 records)"));
    EXPECT_TRUE(d.Members().Locate(QStringLiteral("NAME"), QStringLiteral("Twin A")));
    // The other holder of card 7 stays where it was.
    EXPECT_TRUE(d.Nonmembers().Locate(QStringLiteral("CARDNO"), 7));
    ChooseRow(d.dbgmember, d.Members(), QStringLiteral("Twin B"));
    d.bremoveClick();
    EXPECT_TRUE(d.Nonmembers().Locate(QStringLiteral("NAME"), QStringLiteral("Twin B")));
    EXPECT_EQ(d.gbmember->title(), QStringLiteral("Allowed Member (1001 records)"));
    EXPECT_EQ(Picked(), 1001);
}

TEST_F(PickListTest, RemoveAllEmptiesTheMembers)
{
    TPickList d;
    d.bremoveallClick();
    EXPECT_EQ(Picked(), 0);
    EXPECT_EQ(d.gbmember->title(), QStringLiteral("Allowed Member (0 records)"));
    EXPECT_EQ(d.gbnonmember->title(), QStringLiteral("Denied Member (10002 records)"));
    // Nothing to remove or add from an empty list: nothing changes, the lists still refresh.
    d.bremoveClick();
    EXPECT_EQ(Picked(), 0);
}

TEST_F(PickListTest, SortColumnIsRememberedThroughTheListsColumns)
{
    QSettings settings(QStringLiteral("ZUVI"), QStringLiteral("Tallyclock"));
    {
        TPickList d;
        d.dbgmember->horizontalHeader()->sectionClicked(2); // WORKGROUP
        d.dbgnonmember->horizontalHeader()->sectionClicked(0);
        EXPECT_EQ(d.Members().FieldByName(QStringLiteral("WORKGROUP")).AsString(),
                  QStringLiteral("Alpha"));
    }
    EXPECT_EQ(settings.value(QStringLiteral("PL_member")).toString(), QStringLiteral("DESCX"));
    EXPECT_EQ(settings.value(QStringLiteral("PL_nonmember")).toString(), QStringLiteral("CARDNO"));
    {
        TPickList d;
        EXPECT_EQ(d.Members().FieldByName(QStringLiteral("WORKGROUP")).AsString(),
                  QStringLiteral("Alpha"));
        EXPECT_EQ(d.Nonmembers().FieldByName(QStringLiteral("CARDNO")).AsInteger(), 7);
    }
    // A stored column the list does not offer is read as the name.
    settings.setValue(QStringLiteral("PL_member"), QStringLiteral("NAME; drop table staffs"));
    settings.setValue(QStringLiteral("PL_nonmember"), QStringLiteral("PHOTO"));
    TPickList d;
    EXPECT_EQ(d.Members().FieldByName(QStringLiteral("NAME")).AsString(), QStringLiteral("N00010"));
    EXPECT_EQ(d.Nonmembers().FieldByName(QStringLiteral("NAME")).AsString(),
              QStringLiteral("N00001"));
    EXPECT_EQ(settings.value(QStringLiteral("PL_member")).toString(), QStringLiteral("NAME"));
    EXPECT_EQ(Picked(), 1001);
}

// Another program holds sysdat.db's write lock: each move shows the database's error, the
// program goes on, and both lists and the stored marks stay as they were.
TEST_F(PickListTest, AMoveAgainstALockedDatabaseSaysSoAndKeepsTheLists)
{
    const struct
    {
        const char *button;
        const char *row; // chosen first in its list
        bool members;
    } cases[] = {{"badd", "Twin A", false}, {"bremove", "Twin B", true}, {"bremoveall", "", true}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.button);
        messages.Clear();
        TPickList d;
        if (*c.row)
            ChooseRow(c.members ? d.dbgmember : d.dbgnonmember,
                      c.members ? d.Members() : d.Nonmembers(), QString::fromLatin1(c.row));
        const QString memberTitle = d.gbmember->title();
        const QString nonmemberTitle = d.gbnonmember->title();
        {
            OutsideLock lock(Data().SysdatPath());
            ASSERT_TRUE(lock.Held());
            TBusyTimeout quick(m_data->src, 50);
            d.findChild<QPushButton *>(QString::fromLatin1(c.button))->click();
        }
        ASSERT_EQ(messages.Count(), 1);
        EXPECT_FALSE(messages.Texts().first().isEmpty());
        EXPECT_EQ(Picked(), 1001);
        EXPECT_EQ(d.gbmember->title(), memberTitle);
        EXPECT_EQ(d.gbnonmember->title(), nonmemberTitle);
        EXPECT_EQ(d.Members().RecordCount(), 1001);
        EXPECT_EQ(m_data->staff.State(), TDataSetState::Browse); // no edit left pending
        // Once the lock is gone the same press does its work.
        d.findChild<QPushButton *>(QString::fromLatin1(c.button))->click();
        EXPECT_NE(Picked(), 1001);
        m_data->src.Exec(QStringLiteral("update staffs set PICKED=(CARDNO-1000)%10=0 or "
                                        "NAME='Twin B'"));
        EXPECT_EQ(Picked(), 1001);
    }
}

} // namespace
