// The test kit's row builders write what every test takes them to write: the fields given, the
// table's defaults for the rest, and the log row where the program would find it.

#include "store/dataset.h"
#include "store/datasrc.h"
#include "testsupport/rows.h"
#include "testsupport/tempdata.h"

#include <gtest/gtest.h>

namespace {

// The row of that card as one line: WORKGRP, OFFLINE, COM1..COM8, then MEMO or <null>.
QString StaffLine(int card)
{
    TStatement st = dsrc->src.Prepare(QStringLiteral(
        "select WORKGRP, OFFLINE, COM1, COM2, COM3, COM4, COM5, COM6, COM7, COM8, MEMO "
        "from staffs where CARDNO = ?"));
    st.Bind(1, card);
    if (!st.Step())
        return QStringLiteral("<missing>");
    QString line;
    for (int c = 0; c < 10; ++c)
        line += QString::number(st.ColumnInt64(c)) + (c == 1 ? QStringLiteral(" ") : QString());
    return line + QStringLiteral(" ") +
           (st.ColumnIsNull(10) ? QStringLiteral("<null>") : st.ColumnText(10));
}

using RowBuildersTest = TempDataTest;

TEST_F(RowBuildersTest, AHolderGetsTheFieldsGivenAndTheTableDefaultsElsewhere)
{
    const struct
    {
        StaffRow row;
        const char *line;
    } cases[] = {
        {{.card = 5, .name = QStringLiteral("Ann")}, "10 00000000 <null>"},
        {{.card = 6, .name = QStringLiteral("Bob"), .group = 3, .ports = {2, 8}},
         "30 01000001 <null>"},
        {{.card = 7,
          .name = QStringLiteral("Cid"),
          .offline = true,
          .memo = QStringLiteral("Desk 4")},
         "11 00000000 Desk 4"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.row.card);
        AddStaff(c.row);
        EXPECT_EQ(StaffLine(c.row.card), QString::fromLatin1(c.line));
        // The shared staff dataset has the row and stands on it.
        EXPECT_EQ(dsrc->staff.FieldByName(QStringLiteral("CARDNO")).AsInteger(), c.row.card);
        EXPECT_EQ(dsrc->staff.FieldByName(QStringLiteral("NAME")).AsString(), c.row.name);
    }
    AddStaff(8, QStringLiteral("Dee"), 2, QStringLiteral("Floor 2"));
    EXPECT_EQ(StaffLine(8), QStringLiteral("20 00000000 Floor 2"));
}

TEST_F(RowBuildersTest, EachGroupGetsAnIdOfItsOwnUnderItsName)
{
    const int day = AddGroup(QStringLiteral("DAY"));
    const int night = AddGroup(QStringLiteral("NIGHT"));
    EXPECT_NE(day, night);
    for (const auto &[id, name] : {std::pair{day, "DAY"}, std::pair{night, "NIGHT"}}) {
        TStatement st = dsrc->src.Prepare(QStringLiteral("select DESCX from gid where ID = ?"));
        st.Bind(1, id);
        ASSERT_TRUE(st.Step()) << name;
        EXPECT_EQ(st.ColumnText(0), QString::fromLatin1(name));
    }
}

TEST_F(RowBuildersTest, ALogRowIsInTheDatasetAndAStoredOneOnlyOnFile)
{
    const int before = dsrc->logs.RecordCount();
    AddLog(QDateTime(QDate(2026, 12, 7), QTime(8, 0)), 11, 2, 3, 4);
    EXPECT_EQ(dsrc->logs.RecordCount(), before + 1);
    AddLog("2026-12-07 17:30:00", 12, 0);
    EXPECT_EQ(dsrc->logs.RecordCount(), before + 1) << "written behind the dataset's back";

    TStatement st = dsrc->att.Prepare(QStringLiteral(
        "select SYSTIME, CARDNO, MODE, READER, LOCK from recorder order by SYSTIME"));
    QStringList rows;
    while (st.Step())
        rows << QStringLiteral("%1 %2 %3 %4 %5")
                    .arg(st.ColumnText(0))
                    .arg(st.ColumnInt64(1))
                    .arg(st.ColumnInt64(2))
                    .arg(st.ColumnInt64(3))
                    .arg(st.ColumnInt64(4));
    EXPECT_EQ(rows, (QStringList{QStringLiteral("2026-12-07 08:00:00 11 2 3 4"),
                                 QStringLiteral("2026-12-07 17:30:00 12 0 1 0")}));
}

} // namespace
