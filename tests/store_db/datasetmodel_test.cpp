// The grid model over a dataset: its columns as described, Qt's model contract kept (under Qt's
// model tester) while rows are appended, edited and deleted and the dataset is closed and
// reopened under it, and the grid's current row, which a view's selection sets and which
// brings the dataset's cursor back after something else moved it.

#include "store/datasetmodel.h"
#include "store/glyphs.h"
#include "testsupport/modelcheck.h"
#include "testsupport/tempdata.h"

#include <QPersistentModelIndex>
#include <QSignalSpy>
#include <QTableView>
#include <QTime>
#include <gtest/gtest.h>

namespace {

enum Col
{
    ColName,
    ColFrom,
    ColSat,
    ColMissing,
    ColOtMin,
};

std::vector<TGridColumn> groupColumns()
{
    return {
        {QStringLiteral("descx"),
         QStringLiteral("Workgroup"),
         Qt::AlignLeft | Qt::AlignVCenter,
         Qt::AlignCenter,
         ColumnKind::NarrowText,
         {}},
        {QStringLiteral("WD_FROM_1"), QStringLiteral("From"), Qt::AlignLeft | Qt::AlignVCenter,
         Qt::AlignCenter, ColumnKind::DateTime,
         [](const QVariant &v) { return v.toTime().toString(QStringLiteral("hh:mm")); }},
        {QStringLiteral("sat_enable_1"),
         QStringLiteral("Sat1"),
         Qt::AlignCenter,
         Qt::AlignCenter,
         ColumnKind::Boolean,
         {}},
        {QStringLiteral("NO_SUCH_FIELD"),
         QStringLiteral("Gone"),
         Qt::AlignLeft,
         Qt::AlignLeft,
         ColumnKind::Other,
         {}},
        {QStringLiteral("OT_MIN"),
         QStringLiteral("OT Min."),
         Qt::AlignRight | Qt::AlignVCenter,
         Qt::AlignCenter,
         ColumnKind::Other,
         {}},
    };
}

class DataSetModelTest : public TempDataTest
{
protected:
    void SetUp() override
    {
        TempDataTest::SetUp();
        ASSERT_TRUE(groups().Active());
        model = std::make_unique<TDataSetModel>(groups(), groupColumns());
        check = std::make_unique<ModelContractCheck>(model.get());
    }
    void TearDown() override
    {
        check.reset();
        model.reset();
        TempDataTest::TearDown();
    }

    TDataSet &groups() { return Data().Dsrc().gidtbl; }

    void appendGroup(const QString &name, int otMin = 0)
    {
        groups().Append();
        groups().FieldByName(QStringLiteral("DESCX")).SetAsString(name);
        groups().FieldByName(QStringLiteral("WD_FROM_1")).SetAsVariant(QTime(8, 30));
        groups().FieldByName(QStringLiteral("OT_MIN")).SetAsInteger(otMin);
        groups().Post();
    }

    QString cell(int row, int column) const
    {
        return model->data(model->index(row, column)).toString();
    }

    std::unique_ptr<TDataSetModel> model;
    std::unique_ptr<ModelContractCheck> check;
};

} // namespace

TEST_F(DataSetModelTest, ShowsTheColumnsAsDescribed)
{
    ASSERT_EQ(model->rowCount(), 1); // the default group
    ASSERT_EQ(model->columnCount(), 5);
    appendGroup(QStringLiteral("NIGHT"), 30);

    struct Case
    {
        const char *name;
        int column;
        const char *title;
        ColumnKind kind;
        Qt::Alignment alignment;
        const char *text; // of the second row
    };
    const Case cases[] = {
        {"plain text", ColName, "Workgroup", ColumnKind::NarrowText,
         Qt::AlignLeft | Qt::AlignVCenter, "NIGHT"},
        {"formatted time", ColFrom, "From", ColumnKind::DateTime, Qt::AlignLeft | Qt::AlignVCenter,
         "08:30"},
        {"boolean", ColSat, "Sat1", ColumnKind::Boolean, Qt::AlignCenter, "false"},
        {"field the query lacks", ColMissing, "Gone", ColumnKind::Other, Qt::AlignLeft, ""},
        {"number", ColOtMin, "OT Min.", ColumnKind::Other, Qt::AlignRight | Qt::AlignVCenter, "30"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(model->headerData(c.column, Qt::Horizontal).toString(),
                  QString::fromLatin1(c.title));
        EXPECT_EQ(model->headerData(c.column, Qt::Horizontal, ColumnKindRole).toInt(), int(c.kind));
        EXPECT_EQ(model->data(model->index(1, c.column), Qt::TextAlignmentRole).toInt(),
                  int(c.alignment));
        EXPECT_EQ(cell(1, c.column), QString::fromLatin1(c.text));
    }
    // The glyph painters read the field's own value, not its words.
    for (const int role : {int(Qt::EditRole), FieldValueRole}) {
        const QVariant sat = model->data(model->index(1, ColSat), role);
        EXPECT_EQ(sat.metaType().id(), QMetaType::Bool) << role;
        EXPECT_FALSE(sat.toBool()) << role;
    }
    EXPECT_FALSE(model->data(model->index(1, ColMissing), Qt::EditRole).isValid());
    EXPECT_EQ(model->headerData(ColName, Qt::Horizontal, Qt::TextAlignmentRole).toInt(),
              int(Qt::AlignCenter));
    EXPECT_FALSE(model->flags(model->index(0, 0)) & Qt::ItemIsEditable);
}

TEST_F(DataSetModelTest, FollowsAppendsEditsDeletesAndReopening)
{
    appendGroup(QStringLiteral("B"));
    appendGroup(QStringLiteral("C"));
    const QPersistentModelIndex third(model->index(2, ColName));
    QSignalSpy changed(model.get(), &QAbstractItemModel::dataChanged);

    groups().MoveTo(1);
    groups().Edit();
    groups().FieldByName(QStringLiteral("DESCX")).SetAsString(QStringLiteral("B2"));
    groups().Post();
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(cell(1, ColName), QStringLiteral("B2"));

    groups().MoveTo(1);
    groups().Delete();
    ASSERT_EQ(model->rowCount(), 2);
    EXPECT_EQ(third.row(), 1); // "C" moved up with its index
    EXPECT_EQ(cell(1, ColName), QStringLiteral("C"));

    // Closed, the grid is empty but keeps its columns; reopened, it shows the rows again.
    groups().Close();
    EXPECT_EQ(model->rowCount(), 0);
    EXPECT_EQ(model->columnCount(), 5);
    EXPECT_EQ(model->headerData(ColFrom, Qt::Horizontal).toString(), QStringLiteral("From"));
    EXPECT_EQ(cell(0, ColName), QString());
    groups().Open();
    ASSERT_EQ(model->rowCount(), 2);
    EXPECT_EQ(cell(1, ColName), QStringLiteral("C"));

    // Another query with other columns: the described fields are looked up again.
    groups().SetSQL(QStringLiteral("select ID, DESCX from gid order by DESCX desc"));
    groups().Open();
    EXPECT_EQ(cell(0, ColName), QStringLiteral("DEFAULT"));
    EXPECT_EQ(cell(0, ColFrom), QString());
    groups().SetSQL(QStringLiteral("select * from gid order by id"));
    groups().Open();
    EXPECT_EQ(cell(1, ColFrom), QStringLiteral("08:30"));

    Data().Dsrc().src.Exec(QStringLiteral("DELETE FROM gid WHERE ID > 1"));
    groups().Refresh();
    EXPECT_EQ(model->rowCount(), 1);
}

TEST_F(DataSetModelTest, CurrentRowFollowsWritesAndBringsTheCursorBack)
{
    QSignalSpy moved(model.get(), &TDataSetModel::CurrentRowChanged);
    EXPECT_EQ(model->CurrentRow(), 0);
    appendGroup(QStringLiteral("B"));
    appendGroup(QStringLiteral("C"));
    EXPECT_EQ(model->CurrentRow(), 2); // the posted row
    EXPECT_EQ(moved.count(), 2);

    // Chosen in the grid; something else (a lookup while painting) moves the cursor away.
    model->SetCurrentRow(1);
    groups().Locate(QStringLiteral("DESCX"), QStringLiteral("DEFAULT"));
    ASSERT_EQ(groups().RecNo(), 0);
    EXPECT_EQ(model->CurrentRow(), 1);
    ASSERT_TRUE(model->MoveToCurrentRow());
    EXPECT_EQ(groups().FieldByName(QStringLiteral("DESCX")).AsString(), QStringLiteral("B"));

    groups().Delete(); // stands on the row after it
    EXPECT_EQ(model->CurrentRow(), 1);
    EXPECT_EQ(cell(model->CurrentRow(), ColName), QStringLiteral("C"));
    groups().Delete(); // the last row: stands on the new last one
    EXPECT_EQ(model->CurrentRow(), 0);

    model->SetCurrentRow(7); // beyond the rows: the last one
    EXPECT_EQ(model->CurrentRow(), 0);

    groups().Close();
    EXPECT_EQ(model->CurrentRow(), -1);
    EXPECT_FALSE(model->MoveToCurrentRow());
    groups().Open();
    EXPECT_EQ(model->CurrentRow(), 0);
}

TEST_F(DataSetModelTest, ViewSelectionAndCurrentRowFollowEachOther)
{
    appendGroup(QStringLiteral("B"));
    appendGroup(QStringLiteral("C"));
    QTableView view;
    view.setSelectionBehavior(QAbstractItemView::SelectRows);
    view.setModel(model.get());
    model->FollowView(&view);
    EXPECT_EQ(view.currentIndex().row(), 2);

    view.setCurrentIndex(model->index(1, ColOtMin)); // the user clicks the second row
    EXPECT_EQ(model->CurrentRow(), 1);
    groups().First();
    ASSERT_TRUE(model->MoveToCurrentRow());
    EXPECT_EQ(groups().FieldByName(QStringLiteral("DESCX")).AsString(), QStringLiteral("B"));

    groups().Delete();
    EXPECT_EQ(view.currentIndex().row(), 1);
    EXPECT_TRUE(view.selectionModel()->isRowSelected(1));
    EXPECT_EQ(model->CurrentRow(), 1);

    appendGroup(QStringLiteral("D"));
    EXPECT_EQ(view.currentIndex().row(), 2);

    groups().Refresh(); // a reset clears the view's selection; the dataset's row is selected
    EXPECT_EQ(view.currentIndex().row(), 2);
    EXPECT_TRUE(view.selectionModel()->isRowSelected(2));
}

TEST_F(DataSetModelTest, SuspendedShowsNoRowsAndResumesOnTheDatasetAsItIsThen)
{
    appendGroup(QStringLiteral("B"));
    model->SetSuspended(true);
    EXPECT_EQ(model->rowCount(), 0);
    EXPECT_EQ(model->CurrentRow(), -1);
    EXPECT_FALSE(model->ValueAt(0, ColName).isValid());
    // Changes meanwhile are not announced (the tester would see rows appear from nowhere).
    appendGroup(QStringLiteral("C"));
    groups().Close();
    groups().Open();
    groups().Last();
    model->SetSuspended(false);
    ASSERT_EQ(model->rowCount(), 3);
    EXPECT_EQ(cell(2, ColName), QStringLiteral("C"));
    EXPECT_EQ(model->CurrentRow(), 2);
}

// A dialog frees its datasets before the grid models Qt frees with its children: the model
// then shows no rows, a view over it still paints and asks, and freeing the model later never
// touches the dataset again.
TEST_F(DataSetModelTest, OutlivesItsDatasetShowingNoRows)
{
    appendGroup(QStringLiteral("B"));
    for (const bool open : {true, false}) {
        SCOPED_TRACE(open ? "dataset open when freed" : "dataset closed when freed");
        auto query = std::make_unique<TDataSet>(groups().Database(),
                                                QStringLiteral("select * from gid order by DESCX"));
        if (open)
            query->Open();
        auto own = std::make_unique<TDataSetModel>(*query, groupColumns());
        ModelContractCheck ownCheck(own.get());
        QTableView view;
        view.setModel(own.get());
        own->FollowView(&view);
        view.show();
        ASSERT_EQ(own->rowCount(), open ? 2 : 0);
        QSignalSpy reset(own.get(), &QAbstractItemModel::modelReset);

        query.reset();
        EXPECT_EQ(own->DataSet(), nullptr);
        EXPECT_GE(reset.count(), 1); // the views heard of it
        EXPECT_EQ(own->rowCount(), 0);
        EXPECT_EQ(own->CurrentRow(), -1);
        EXPECT_FALSE(own->MoveToCurrentRow());
        EXPECT_FALSE(own->ValueAt(0, ColName).isValid());
        view.repaint();
        own->SetSuspended(true);
        own->SetSuspended(false);
        EXPECT_EQ(own->rowCount(), 0);
        own.reset();
    }
    EXPECT_EQ(model->rowCount(), 2); // the shared dataset's own model is untouched
}
