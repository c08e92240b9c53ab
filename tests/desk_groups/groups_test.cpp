// Work groups: the "Work Group Information" editor's checks in their order, with the message and
// the focus each gives; saving by name through the shared group dataset; the "Group List" with
// New, Edit and Delete on the selected row; the main window's "Group Definition" command.

#include "desk/grpdef.h"
#include "desk/grplist.h"
#include "desk_window/windowfixture.h"
#include "store/clock.h"
#include "store/combofill.h"
#include "store/datasetmodel.h"
#include "store/glyphs.h"
#include "store/settings.h"
#include "store/utils.h"
#include "testsupport/childlookup.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>
#include <QTableView>
#include <QTest>
#include <QTimeEdit>

namespace {

QTime T(const char *text)
{
    return QTime::fromString(QString::fromLatin1(text), QStringLiteral("HH:mm"));
}

const QString InvalidInput = QStringLiteral("Invalid input.");
const QString Overwrite = QStringLiteral("Are you sure to overwrite this record?");
const QString DeleteAsk = QStringLiteral("Are you sure to delete this record?");
const QString UpdateFailed = QStringLiteral("Fail to update the database record. Please retry.");

class GroupTest : public WindowTest
{
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        PinClock(QDateTime(QDate(2026, 3, 5), QTime(10, 0)));
    }
    void TearDown() override
    {
        PinClock(QDateTime());
        WindowTest::TearDown();
    }

    static QString Scalar(const QString &sql)
    {
        TStatement st = dsrc->src.Prepare(sql);
        return st.Step() ? st.ColumnText(0) : QStringLiteral("(no row)");
    }
    static QStringList GroupNames()
    {
        QStringList names;
        TStatement st = dsrc->src.Prepare(QStringLiteral("select DESCX from gid order by ID"));
        while (st.Step())
            names << st.ColumnText(0);
        return names;
    }
    static TWorkGroup Group(const char *name)
    {
        TWorkGroup g = TWorkGroup::NewGroup();
        g.name = QString::fromLatin1(name);
        return g;
    }
    // A group written as the editor writes it.
    static int Save(const TWorkGroup &g) { return SaveGroup(g); }

    // Makes every write to gid fail, as a locked or broken file would.
    static void BreakGroupWrites()
    {
        for (const char *when : {"INSERT", "UPDATE", "DELETE"})
            dsrc->src.Exec(QStringLiteral("CREATE TRIGGER no_%1 BEFORE %1 ON gid BEGIN "
                                          "SELECT RAISE(ABORT, 'refused'); END")
                               .arg(QString::fromLatin1(when)));
    }
};

// ---- The editor ------------------------------------------------------------------------------

TEST_F(GroupTest, EditorOpensOnTheValuesOfANewGroup)
{
    TDlgGrpDef d;
    EXPECT_EQ(d.windowTitle(), QStringLiteral("Work Group Information"));
    EXPECT_TRUE(Child<QPushButton>(d, "OKBtn")->isDefault());
    EXPECT_EQ(Child<QPushButton>(d, "OKBtn")->text(), QStringLiteral("Confirm"));
    EXPECT_EQ(Child<QPushButton>(d, "CancelBtn")->text(), QStringLiteral("Cancel"));
    EXPECT_EQ(Child<QLabel>(d, "ednameLabel")->text(), QStringLiteral("Group name"));
    for (const auto &[name, title] : {std::pair{"gbhours", "Working Hours"},
                                      {"gbstd", "Standard Time"},
                                      {"gbsat", "Saturday"},
                                      {"gbot", "Overtime Options"}})
        EXPECT_EQ(Child<QGroupBox>(d, name)->title(), QString::fromLatin1(title)) << name;
    EXPECT_EQ(Child<QLabel>(d, "seOTminLabel")->text(), QStringLiteral("Min. O.T."));
    EXPECT_EQ(Child<QLabel>(d, "seOTmulLabel")->text(), QStringLiteral("O.T. Multiple"));
    EXPECT_EQ(Child<QLabel>(d, "seOTminUnit")->text(), QStringLiteral("Minutes"));

    const std::pair<const char *, const char *> times[] = {
        {"dtpSTDstart1", "09:00"}, {"dtpSTDend1", "13:00"},   {"dtpSTDstart2", "14:00"},
        {"dtpSTDend2", "17:00"},   {"dtpSATstart1", "09:00"}, {"dtpSATend1", "13:00"},
        {"dtpSATstart2", "14:00"}, {"dtpSATend2", "17:00"}};
    for (const auto &[name, time] : times) {
        QTimeEdit *edit = Child<QTimeEdit>(d, name);
        EXPECT_EQ(edit->time(), T(time)) << name;
        EXPECT_EQ(edit->displayFormat(), QStringLiteral("HH:mm")) << name;
    }
    EXPECT_FALSE(Child<QCheckBox>(d, "cbsat1")->isChecked());
    EXPECT_FALSE(Child<QCheckBox>(d, "cbsat2")->isChecked());
    QSpinBox *otMin = Child<QSpinBox>(d, "seOTmin");
    QSpinBox *otMul = Child<QSpinBox>(d, "seOTmul");
    EXPECT_EQ(otMin->value(), 15);
    EXPECT_EQ(otMul->value(), 5);
    EXPECT_EQ(std::pair(otMin->minimum(), otMin->maximum()), std::pair(0, 120));
    EXPECT_EQ(std::pair(otMul->minimum(), otMul->maximum()), std::pair(0, 60));

    // Typed names turn to capitals.
    QLineEdit *name = Child<QLineEdit>(d, "edname");
    name->setFocus();
    QTest::keyClicks(name, QStringLiteral("night"));
    EXPECT_EQ(name->text(), QStringLiteral("NIGHT"));
}

TEST_F(GroupTest, ConfirmChecksInOrderWithTheFocusOnTheControlToCorrect)
{
    AddGroup(QStringLiteral("DAY"));
    struct Session
    {
        const char *from, *to;
    };
    struct Case
    {
        const char *name;
        const char *group;
        Session wd1, wd2;
        bool sat1, sat2;
        Session sa1, sa2;
        const char *focus; // nullptr: accepted
    };
    const Session Morning{"08:00", "12:00"}, Afternoon{"13:00", "17:00"};
    const Case cases[] = {
        {"weekday 2 may start inside 1",
         "A",
         Morning,
         {"09:00", "17:00"},
         false,
         false,
         Morning,
         Afternoon,
         nullptr},
        {"weekday 2 may start with 1",
         "A",
         Morning,
         {"08:00", "17:00"},
         false,
         false,
         Morning,
         Afternoon,
         nullptr},
        {"weekday 2 before 1",
         "A",
         Morning,
         {"07:30", "17:00"},
         false,
         false,
         Morning,
         Afternoon,
         "dtpSTDstart2"},
        {"weekday 1 ending as it starts",
         "A",
         {"09:00", "09:00"},
         Afternoon,
         false,
         false,
         Morning,
         Afternoon,
         "dtpSTDstart1"},
        {"weekday 1 ending before it starts",
         "A",
         {"13:00", "09:00"},
         Afternoon,
         false,
         false,
         Morning,
         Afternoon,
         "dtpSTDstart1"},
        {"weekday 2 ending as it starts",
         "A",
         Morning,
         {"14:00", "14:00"},
         false,
         false,
         Morning,
         Afternoon,
         "dtpSTDstart2"},
        {"Saturday unticked is not checked",
         "A",
         Morning,
         Afternoon,
         false,
         false,
         {"13:00", "09:00"},
         {"10:00", "10:00"},
         nullptr},
        {"Saturday 1 ending as it starts",
         "A",
         Morning,
         Afternoon,
         true,
         false,
         {"09:00", "09:00"},
         Afternoon,
         "dtpSATstart1"},
        {"Saturday 2 without 1", "A", Morning, Afternoon, false, true, Morning, Afternoon,
         "cbsat1"},
        {"Saturday 2 starting as 1 ends",
         "A",
         Morning,
         Afternoon,
         true,
         true,
         Morning,
         {"12:00", "15:00"},
         "dtpSATstart2"},
        {"Saturday 2 a minute after 1",
         "A",
         Morning,
         Afternoon,
         true,
         true,
         Morning,
         {"12:01", "15:00"},
         nullptr},
        {"Saturday 2 ending as it starts",
         "A",
         Morning,
         Afternoon,
         true,
         true,
         Morning,
         {"14:00", "14:00"},
         "dtpSATstart2"},
        {"weekday before Saturday",
         "A",
         {"10:00", "09:00"},
         Afternoon,
         false,
         true,
         Morning,
         Afternoon,
         "dtpSTDstart1"},
        {"name of blanks first",
         "   ",
         {"10:00", "09:00"},
         Afternoon,
         false,
         false,
         Morning,
         Afternoon,
         "edname"},
        {"no name", "", Morning, Afternoon, false, false, Morning, Afternoon, "edname"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Messages().Clear();
        TDlgGrpDef d;
        TWorkGroup g = Group(c.group);
        g.weekday = {TGroupSession{T(c.wd1.from), T(c.wd1.to)},
                     TGroupSession{T(c.wd2.from), T(c.wd2.to)}};
        g.saturdayOn = {c.sat1, c.sat2};
        g.saturday = {TGroupSession{T(c.sa1.from), T(c.sa1.to)},
                      TGroupSession{T(c.sa2.from), T(c.sa2.to)}};
        d.SetGroup(g);
        Child<QPushButton>(d, "OKBtn")->click();
        if (!c.focus) {
            EXPECT_EQ(Messages().Count(), 0);
            EXPECT_EQ(d.result(), int(QDialog::Accepted));
            continue;
        }
        EXPECT_EQ(Messages().Texts(), QStringList{InvalidInput});
        EXPECT_EQ(Messages().Last().kind, MsgKind::Error);
        EXPECT_EQ(d.result(), int(QDialog::Rejected));
        EXPECT_EQ(d.focusWidget(), Child<QWidget>(d, c.focus));
    }
    EXPECT_EQ(GroupNames(), (QStringList{QStringLiteral("DEFAULT"), QStringLiteral("DAY")}));
}

TEST_F(GroupTest, AnExistingNameAsksBeforeOverwriting)
{
    AddGroup(QStringLiteral("DAY"));
    for (const MsgButton answer : {MsgButton::Cancel, MsgButton::Ok}) {
        SCOPED_TRACE(ToString(answer));
        Messages().Clear();
        TDlgGrpDef d;
        TWorkGroup g = Group(" DAY ");
        g.weekday[0].from = T("13:30"); // a later fault is not reached after Cancel
        d.SetGroup(g);
        Messages().QueueAnswer(answer);
        d.OKBtnClick();
        ASSERT_GE(Messages().Count(), 1);
        EXPECT_EQ(Messages().Shown()[0].text, Overwrite);
        EXPECT_EQ(Messages().Shown()[0].buttons, MsgButtons::OkCancel);
        EXPECT_EQ(Child<QLineEdit>(d, "edname")->text(), QStringLiteral("DAY"));
        if (answer == MsgButton::Cancel) {
            EXPECT_EQ(Messages().Count(), 1);
            EXPECT_EQ(d.focusWidget(), Child<QWidget>(d, "edname"));
        } else {
            EXPECT_EQ(Messages().Texts(), (QStringList{Overwrite, InvalidInput}));
            EXPECT_EQ(d.focusWidget(), Child<QWidget>(d, "dtpSTDstart1"));
        }
        EXPECT_EQ(d.result(), int(QDialog::Rejected));
    }
}

TEST_F(GroupTest, SavingWritesTheGroupByNameThroughTheSharedDataset)
{
    TDlgGrpDef d;
    Child<QLineEdit>(d, "edname")->setText(QStringLiteral("  night shift  "));
    Child<QTimeEdit>(d, "dtpSTDstart1")->setTime(QTime(20, 0));
    Child<QTimeEdit>(d, "dtpSTDend1")->setTime(QTime(23, 59));
    Child<QTimeEdit>(d, "dtpSTDstart2")->setTime(QTime(21, 0));
    Child<QTimeEdit>(d, "dtpSTDend2")->setTime(QTime(22, 0));
    Child<QCheckBox>(d, "cbsat1")->setChecked(true);
    Child<QSpinBox>(d, "seOTmin")->setValue(120);
    Child<QSpinBox>(d, "seOTmul")->setValue(60);
    d.OKBtnClick();
    ASSERT_EQ(d.result(), int(QDialog::Accepted));
    const int id = d.SaveGroup();
    EXPECT_GT(id, 1);

    // Trimmed, in capitals; times of day without a date; at once visible to every lookup.
    EXPECT_EQ(GetGroupId(QStringLiteral("NIGHT SHIFT")), id);
    QString name;
    GetGroupName(id, name);
    EXPECT_EQ(name, QStringLiteral("NIGHT SHIFT"));
    const QString row = QStringLiteral(" from gid where ID = %1").arg(id);
    struct Column
    {
        const char *name, *stored;
    };
    const Column columns[] = {{"WD_FROM_1", "20:00:00"},  {"WD_TO_1", "23:59:00"},
                              {"WD_FROM_2", "21:00:00"},  {"WD_TO_2", "22:00:00"},
                              {"SAT_ENABLE_1", "1"},      {"SAT_ENABLE_2", "0"},
                              {"SAT_FROM_1", "09:00:00"}, {"SAT_TO_2", "17:00:00"},
                              {"OT_MIN", "120"},          {"OT_MULTI", "60"}};
    for (const Column &c : columns)
        EXPECT_EQ(Scalar(QStringLiteral("select ") + QString::fromLatin1(c.name) + row),
                  QString::fromLatin1(c.stored))
            << c.name;
    QComboBox combo;
    FillGroupCombo(&combo, id);
    EXPECT_EQ(combo.currentText(), QStringLiteral("NIGHT SHIFT"));

    // Read back another day, the same times of day.
    PinClock(QDateTime(QDate(2026, 3, 6), QTime(7, 0)));
    ASSERT_TRUE(dsrc->gidtbl.Locate(QStringLiteral("ID"), id));
    TDlgGrpDef again;
    again.LoadGroup();
    const TWorkGroup g = again.Group();
    EXPECT_EQ(g.name, QStringLiteral("NIGHT SHIFT"));
    EXPECT_EQ(g.weekday[0].from, QTime(20, 0));
    EXPECT_EQ(g.weekday[0].to, QTime(23, 59));
    EXPECT_TRUE(g.saturdayOn[0]);
    EXPECT_FALSE(g.saturdayOn[1]);
    EXPECT_EQ(g.otMin, 120);
    EXPECT_EQ(g.otMulti, 60);
}

TEST_F(GroupTest, AFailedWriteIsReportedAndLeavesTheTableAsItWas)
{
    const int day = AddGroup(QStringLiteral("DAY"));
    BreakGroupWrites();
    for (const char *name : {"NEW", "DAY"}) {
        SCOPED_TRACE(name);
        Messages().Clear();
        TWorkGroup g = Group(name);
        g.otMin = 99;
        EXPECT_EQ(Save(g), 0);
        EXPECT_EQ(Messages().Texts(), QStringList{UpdateFailed});
        EXPECT_EQ(dsrc->gidtbl.State(), TDataSetState::Browse);
    }
    EXPECT_EQ(GroupNames(), (QStringList{QStringLiteral("DEFAULT"), QStringLiteral("DAY")}));
    EXPECT_EQ(Scalar(QStringLiteral("select OT_MIN from gid where ID = %1").arg(day)),
              QStringLiteral("0"));
}

// ---- The list --------------------------------------------------------------------------------

class GroupListTest : public GroupTest
{
protected:
    // Answers the editor: fills it by the given step, then presses Confirm (or Cancel).
    void AnswerEditor(TDlgGrpList &list, std::function<void(TDlgGrpDef &)> fill,
                      bool confirm = true)
    {
        list.SetDialogRunner([this, fill, confirm](QDialog &dialog) {
            auto *editor = qobject_cast<TDlgGrpDef *>(&dialog);
            EXPECT_NE(editor, nullptr);
            if (!editor)
                return int(QDialog::Rejected);
            ++editorsShown;
            if (fill)
                fill(*editor);
            if (!confirm)
                return int(QDialog::Rejected);
            editor->OKBtnClick();
            return editor->result();
        });
    }
    static void SelectRow(TDlgGrpList &list, int row)
    {
        QTableView *grid = Child<QTableView>(list, "dbg_list");
        grid->setCurrentIndex(grid->model()->index(row, 0));
    }
    static QString Cell(TDlgGrpList &list, int row, int column)
    {
        const QAbstractItemModel *m = Child<QTableView>(list, "dbg_list")->model();
        return m->data(m->index(row, column)).toString();
    }
    int editorsShown = 0;
};

TEST_F(GroupListTest, ShowsTheGroupsWithTheirTextsHintsAndWidths)
{
    TWorkGroup g = Group("EARLY");
    g.weekday = {TGroupSession{T("07:00"), T("11:30")}, TGroupSession{T("12:30"), T("15:00")}};
    g.saturdayOn = {true, false};
    Save(g);
    WriteRegInteger(QStringLiteral("WrkGrpList_0"), 222);
    WriteRegInteger(QStringLiteral("WrkGrpMain_WIDTH"), 700);

    TDlgGrpList list;
    ModelContractCheck check(list.Model());
    EXPECT_EQ(list.windowTitle(), QStringLiteral("Group List"));
    EXPECT_EQ(list.width(), 700);
    const std::pair<const char *, const char *> hints[] = {
        {"dbg_list", "Double click to edit the record."},
        {"btnnew", "Add a new group."},
        {"btnedit", "Edit the record."},
        {"btndelete", "Delete the record."},
        {"Button1", "Exit to main window."}};
    for (const auto &[name, hint] : hints)
        EXPECT_EQ(Child<QWidget>(list, name)->toolTip(), QString::fromLatin1(hint)) << name;
    const std::pair<const char *, const char *> buttons[] = {
        {"btnnew", "New"}, {"btnedit", "Edit"}, {"btndelete", "Delete"}, {"Button1", "Close"}};
    for (const auto &[name, text] : buttons)
        EXPECT_EQ(Child<QPushButton>(list, name)->text(), QString::fromLatin1(text)) << name;

    QTableView *grid = Child<QTableView>(list, "dbg_list");
    EXPECT_EQ(grid->selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_EQ(grid->editTriggers(), QAbstractItemView::NoEditTriggers);
    const QAbstractItemModel *m = grid->model();
    QStringList titles;
    for (int c = 0; c < m->columnCount(); ++c) {
        titles << m->headerData(c, Qt::Horizontal).toString();
        EXPECT_EQ(m->headerData(c, Qt::Horizontal, Qt::TextAlignmentRole).toInt(),
                  int(Qt::AlignCenter));
    }
    EXPECT_EQ(
        titles.join(QLatin1Char(',')),
        QStringLiteral("Workgroup,From,To,From,To,Sat1,From,To,Sat2,From,To,OT Min.,OT Multi."));
    // Saved widths win; else the kind of the column's field decides.
    const std::pair<int, int> widths[] = {{0, 222}, {1, 150}, {5, 50}, {12, 100}};
    for (const auto &[column, width] : widths)
        EXPECT_EQ(grid->columnWidth(column), width) << column;

    ASSERT_EQ(m->rowCount(), 2);
    EXPECT_EQ(Cell(list, 1, 0), QStringLiteral("EARLY"));
    EXPECT_EQ(Cell(list, 1, 1), QStringLiteral("AM07:00"));
    EXPECT_EQ(Cell(list, 1, 4), QStringLiteral("PM03:00"));
    EXPECT_EQ(m->data(m->index(1, 5), FieldValueRole), QVariant(true));
    for (const int column : {5, 8}) {
        const auto *glyphs = qobject_cast<TGlyphDelegate *>(grid->itemDelegateForColumn(column));
        ASSERT_NE(glyphs, nullptr) << column;
        EXPECT_EQ(glyphs->GlyphKind(), TGlyphDelegate::Kind::Boolean);
    }
    EXPECT_EQ(qobject_cast<TGlyphDelegate *>(grid->itemDelegateForColumn(1)), nullptr);
    EXPECT_EQ(Cell(list, 1, 11), QStringLiteral("15"));

    // Close keeps placement and widths under the list's names.
    grid->setColumnWidth(3, 77);
    list.Button1Click();
    EXPECT_EQ(list.result(), int(QDialog::Rejected));
    EXPECT_EQ(ReadRegInteger(QStringLiteral("WrkGrpList_3"), 0), 77);
    EXPECT_EQ(ReadRegInteger(QStringLiteral("WrkGrpMain_WIDTH"), 0), 700);
}

TEST_F(GroupListTest, NewAddsAGroupTheGridShowsAtOnce)
{
    TDlgGrpList list;
    ModelContractCheck check(list.Model());
    AnswerEditor(list, [](TDlgGrpDef &e) { e.SetGroup(Group("late")); });
    list.btnnewClick();
    EXPECT_EQ(editorsShown, 1);
    EXPECT_EQ(GroupNames(), (QStringList{QStringLiteral("DEFAULT"), QStringLiteral("LATE")}));
    EXPECT_EQ(Cell(list, 1, 0), QStringLiteral("LATE"));
    EXPECT_EQ(list.Model()->CurrentRow(), 1);

    // Cancelled, nothing is written.
    AnswerEditor(
        list, [](TDlgGrpDef &e) { e.SetGroup(Group("OTHER")); }, false);
    list.btnnewClick();
    EXPECT_EQ(GroupNames().size(), 2);
}

TEST_F(GroupListTest, EditActsOnTheSelectedRowAndARenameAddsASecondGroup)
{
    const int day = Save(Group("DAY"));
    Save(Group("NIGHT"));
    TDlgGrpList list;
    ModelContractCheck check(list.Model());
    SelectRow(list, 1);
    // A lookup elsewhere (the log grid painting a holder's group) moves the shared cursor.
    QString name;
    GetGroupName(1, name);
    ASSERT_EQ(dsrc->gidtbl.RecNo(), 0);

    QString edited;
    AnswerEditor(list, [&](TDlgGrpDef &e) {
        edited = e.Group().name;
        TWorkGroup g = e.Group();
        g.otMin = 42;
        e.SetGroup(g);
    });
    Messages().QueueAnswer(MsgButton::Ok); // overwrite DAY
    list.btneditClick();
    EXPECT_EQ(edited, QStringLiteral("DAY"));
    EXPECT_EQ(Messages().Texts(), QStringList{Overwrite});
    EXPECT_EQ(Scalar(QStringLiteral("select OT_MIN from gid where ID = %1").arg(day)),
              QStringLiteral("42"));
    EXPECT_EQ(GroupNames().size(), 3);

    // Renamed: a new group, the old one stays as it was.
    SelectRow(list, 1);
    AnswerEditor(list, [](TDlgGrpDef &e) {
        TWorkGroup g = e.Group();
        g.name = QStringLiteral("DAY TWO");
        e.SetGroup(g);
    });
    Messages().Clear();
    list.btneditClick();
    EXPECT_EQ(Messages().Count(), 0);
    EXPECT_EQ(GroupNames(), (QStringList{QStringLiteral("DEFAULT"), QStringLiteral("DAY"),
                                         QStringLiteral("NIGHT"), QStringLiteral("DAY TWO")}));
    EXPECT_EQ(list.Model()->rowCount(), 4);
    EXPECT_EQ(Cell(list, 3, 0), QStringLiteral("DAY TWO"));
    EXPECT_EQ(Cell(list, 3, 11), QStringLiteral("42"));

    // A double click on the grid is Edit.
    editorsShown = 0;
    AnswerEditor(list, nullptr, false);
    QTableView *grid = Child<QTableView>(list, "dbg_list");
    emit grid->doubleClicked(grid->model()->index(2, 0));
    EXPECT_EQ(editorsShown, 1);
}

TEST_F(GroupListTest, DeleteSparesTheDefaultGroupAndLeavesMembersOnTheOldId)
{
    const int day = AddGroup(QStringLiteral("DAY"));
    AddStaff(100, QStringLiteral("Alice"), day);
    TDlgGrpList list;
    ModelContractCheck check(list.Model());

    SelectRow(list, 0);
    list.btndeleteClick();
    EXPECT_EQ(Messages().Texts(), QStringList{QStringLiteral("Cannot delete default group.")});
    EXPECT_EQ(Messages().Last().kind, MsgKind::Plain);
    EXPECT_EQ(GroupNames().size(), 2);

    SelectRow(list, 1);
    GetGroupId(QStringLiteral("DEFAULT")); // moves the shared cursor to row 0
    Messages().Clear();
    Messages().QueueAnswer(MsgButton::Cancel);
    list.btndeleteClick();
    EXPECT_EQ(Messages().Texts(), QStringList{DeleteAsk});
    EXPECT_EQ(GroupNames().size(), 2);

    Messages().QueueAnswer(MsgButton::Ok);
    list.btndeleteClick();
    EXPECT_EQ(GroupNames(), QStringList{QStringLiteral("DEFAULT")});
    EXPECT_EQ(list.Model()->rowCount(), 1);
    EXPECT_EQ(Scalar(QStringLiteral("select WORKGRP from staffs where CARDNO = 100")),
              QString::number(day));
    // The deleted id is never given to another group.
    EXPECT_GT(Save(Group("NEXT")), day);
}

TEST_F(GroupListTest, EmptyTableAndFailedDeleteAreReported)
{
    AddGroup(QStringLiteral("DAY"));
    TDlgGrpList list;
    ModelContractCheck check(list.Model());
    BreakGroupWrites();
    SelectRow(list, 1);
    list.btndeleteClick();
    EXPECT_EQ(Messages().Texts(), (QStringList{DeleteAsk, UpdateFailed}));
    EXPECT_EQ(GroupNames().size(), 2);
    EXPECT_EQ(list.Model()->rowCount(), 2);

    dsrc->src.Exec(QStringLiteral("DROP TRIGGER no_DELETE"));
    dsrc->src.Exec(QStringLiteral("DELETE FROM gid"));
    dsrc->gidtbl.Refresh();
    for (auto command : {&TDlgGrpList::btneditClick, &TDlgGrpList::btndeleteClick}) {
        Messages().Clear();
        (list.*command)();
        EXPECT_EQ(Messages().Texts(), QStringList{QStringLiteral("No data record.")});
        EXPECT_EQ(Messages().Last().kind, MsgKind::Error);
    }
    EXPECT_EQ(editorsShown, 0);
}

// ---- The main window's command ------------------------------------------------------------

TEST_F(GroupListTest, GroupDefinitionIsOnTheCardManagerMenuProtectedAndOpensTheList)
{
    TTimeRec &w = OpenWindow();
    QAction *command = w.findChild<QAction *>(QStringLiteral("actgrpdef"));
    ASSERT_NE(command, nullptr);
    EXPECT_EQ(command->text(), QStringLiteral("Group Definition"));
    QMenu *menu = w.findChild<QMenu *>(QStringLiteral("menuCardManager"));
    ASSERT_NE(menu, nullptr);
    EXPECT_TRUE(menu->actions().contains(command));
    EXPECT_TRUE(menu->menuAction()->isVisible());
    ASSERT_TRUE(w.ProtectedCommands().contains(command));
    EXPECT_FALSE(command->isEnabled());

    w.SetLoggedIn(true);
    QStringList shown;
    w.SetDialogRunner([&](QDialog &dialog) {
        shown << dialog.windowTitle();
        if (auto *list = qobject_cast<TDlgGrpList *>(&dialog)) {
            list->btnnewClick(); // the editor comes through this same runner
            list->Button1Click();
            return list->result();
        }
        auto *editor = qobject_cast<TDlgGrpDef *>(&dialog);
        EXPECT_NE(editor, nullptr);
        if (!editor)
            return int(QDialog::Rejected);
        editor->SetGroup(Group("FROM MENU"));
        editor->OKBtnClick();
        return editor->result();
    });
    command->trigger();
    EXPECT_EQ(shown, (QStringList{QStringLiteral("Group List"),
                                  QStringLiteral("Work Group Information")}));
    EXPECT_GT(GetGroupId(QStringLiteral("FROM MENU")), 1);
    EXPECT_EQ(Messages().Count(), 0);
}

} // namespace
