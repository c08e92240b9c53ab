// The two time-window dialogs, "Time Table" (per work group) and "Auto IN/OUT Timer": their
// texts, the adds, overlaps and deletes a person makes and the rows that remain, the group
// choice, the switches stored on click, and a database that refuses the write.

#include "desk/autoio.h"
#include "desk/timetbl.h"
#include "store/datasetmodel.h"
#include "store/datasrc.h"
#include "store/settings.h"
#include "testsupport/childlookup.h"
#include "testsupport/fakemessages.h"
#include "testsupport/rows.h"
#include "testsupport/tempdata.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QTableView>
#include <QTest>
#include <QTimeEdit>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

namespace {

QStringList texts(const std::vector<const char *> &list)
{
    QStringList result;
    for (const char *t : list)
        result << QString::fromLatin1(t);
    return result;
}

QTime hm(const char *text)
{
    return QTime::fromString(QString::fromLatin1(text), QStringLiteral("HH:mm"));
}

QString storedSetting(const char *name)
{
    QSettings s(QStringLiteral("ZUVI"), QStringLiteral("Tallyclock"));
    return s.value(QString::fromLatin1(name)).toString();
}

// The stored windows, "HH:mm-HH:mm" by first time; of one group for the time table.
QStringList storedWindows(const QString &sql)
{
    QStringList rows;
    TStatement st = dsrc->src.Prepare(sql);
    while (st.Step())
        rows << st.ColumnText(0).left(5) + QLatin1Char('-') + st.ColumnText(1).left(5);
    return rows;
}
QStringList storedIoTimes()
{
    return storedWindows(QStringLiteral("select tfrom, tto from iotime order by tfrom"));
}
QStringList storedTimeTable(int group)
{
    return storedWindows(
        QStringLiteral("select timein, timeout from timetbl where gid = %1 order by timein")
            .arg(group));
}

// What the grid shows, row by row: "first | second".
QStringList gridTexts(QTableView *grid)
{
    QStringList rows;
    const QAbstractItemModel *model = grid->model();
    for (int r = 0; r < model->rowCount(); ++r)
        rows << model->index(r, 0).data().toString() + QStringLiteral(" | ") +
                    model->index(r, 1).data().toString();
    return rows;
}

class TimeWindowsTest : public TempDataTest
{
protected:
    void SetUp() override
    {
        TempDataTest::SetUp();
        m_messages = std::make_unique<FakeMessages>();
    }
    void TearDown() override
    {
        m_messages.reset();
        TempDataTest::TearDown();
    }

    // Types the window into the editors, with the focus elsewhere, and presses "Add".
    static void add(QDialog &dialog, const char *from, const char *to)
    {
        Child<QTimeEdit>(dialog, "dtpFrom")->setTime(hm(from));
        Child<QTimeEdit>(dialog, "dtpTo")->setTime(hm(to));
        Child<QPushButton>(dialog, "xcancel")->setFocus();
        Child<QPushButton>(dialog, "Button1")->click();
    }
    // A click on the row of the grid.
    static void clickRow(QDialog &dialog, int row)
    {
        auto *grid = Child<QTableView>(dialog, "dbgList");
        const QRect cell = grid->visualRect(grid->model()->index(row, 0));
        ASSERT_TRUE(cell.isValid()) << "row " << row;
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
    }
    static QWidget *focused(QDialog &dialog) { return dialog.focusWidget(); }

    std::unique_ptr<FakeMessages> m_messages;
};

// ---- Texts --------------------------------------------------------------------------------

struct TextCase
{
    const char *name;
    const char *text;
};

TEST_F(TimeWindowsTest, BothDialogsShowTheirTextsAndStartAtNineAndTwo)
{
    TFmTimeTbl table;
    TAutoIO autoio;
    struct DialogTexts
    {
        QDialog *dialog;
        const char *title;
        std::vector<TextCase> buttons;
        std::vector<TextCase> labels;
        std::vector<TextCase> groups;
        const char *columns[2];
    };
    const DialogTexts dialogs[] = {
        {&table,
         "Time Table",
         {{"Button1", "Add "}, {"xdelete", "Delete"}, {"xcancel", "Close"}},
         {{"lbFrom", "IN"}, {"lbTo", "OUT"}},
         {{"gbgroup", "Group"}, {"gbperiod", "Time Period"}},
         {"IN Time", "OUT Time"}},
        {&autoio,
         "Auto IN/OUT Timer",
         {{"Button1", "Add Record"}, {"xdelete", "Delete Record"}, {"xcancel", "Close"}},
         {{"lbFrom", "From"}, {"lbTo", "To"}},
         {{"gbperiod", "IN Time Period"}, {"gboptions", "Options"}},
         {"From", "To"}},
    };
    const char *hints[][2] = {{"Button1", "Add the IN Time Period to the Time List."},
                              {"xdelete", "Remove record from Time List."},
                              {"xcancel", "Return to main program."}};
    for (const DialogTexts &d : dialogs) {
        QDialog &dialog = *d.dialog;
        SCOPED_TRACE(d.title);
        EXPECT_EQ(dialog.windowTitle(), QString::fromLatin1(d.title));
        for (const TextCase &c : d.buttons)
            EXPECT_EQ(Child<QPushButton>(dialog, c.name)->text(), QString::fromLatin1(c.text))
                << c.name;
        for (const auto &[name, hint] : hints)
            EXPECT_EQ(Child<QPushButton>(dialog, name)->toolTip(), QString::fromLatin1(hint));
        for (const TextCase &c : d.labels)
            EXPECT_EQ(Child<QLabel>(dialog, c.name)->text(), QString::fromLatin1(c.text));
        for (const TextCase &c : d.groups)
            EXPECT_EQ(Child<QGroupBox>(dialog, c.name)->title(), QString::fromLatin1(c.text));
        auto *grid = Child<QTableView>(dialog, "dbgList");
        for (int column = 0; column < 2; ++column) {
            EXPECT_EQ(grid->model()->headerData(column, Qt::Horizontal).toString(),
                      QString::fromLatin1(d.columns[column]));
            EXPECT_EQ(grid->model()
                          ->headerData(column, Qt::Horizontal, Qt::TextAlignmentRole)
                          .value<Qt::Alignment>(),
                      Qt::AlignCenter);
        }
        EXPECT_EQ(grid->editTriggers(), QAbstractItemView::NoEditTriggers);
        EXPECT_EQ(grid->selectionBehavior(), QAbstractItemView::SelectRows);
        const std::pair<const char *, const char *> editors[] = {{"dtpFrom", "09:00"},
                                                                 {"dtpTo", "14:00"}};
        for (const auto &[name, start] : editors) {
            auto *edit = Child<QTimeEdit>(dialog, name);
            EXPECT_EQ(edit->displayFormat(), QStringLiteral("HH:mm"));
            EXPECT_EQ(edit->time(), hm(start));
        }
    }
    EXPECT_EQ(Child<QCheckBox>(autoio, "cbenable")->text(), QStringLiteral("Enable Auto IN/OUT"));
    EXPECT_EQ(Child<QCheckBox>(autoio, "cbenable")->toolTip(),
              QStringLiteral("Enable the Auto IN/OUT feature."));
    EXPECT_EQ(Child<QCheckBox>(autoio, "cbOverride")->text(),
              QStringLiteral("Allow User Override"));
    EXPECT_EQ(autoio.findChild<QComboBox *>(), nullptr);
}

// ---- Adds, overlaps and deletes -----------------------------------------------------------

enum class Act
{
    Add,
    DeleteRow,  // clicks the row, then Delete, confirmed
    DeclineRow, // clicks the row, then Delete, cancelled
};

struct Step
{
    const char *name;
    Act act;
    const char *from; // Add: the window; Delete: unused
    const char *to;
    int row;                        // Delete: the row clicked
    const char *message;            // the box shown, or nullptr for none
    std::vector<const char *> rows; // the windows stored afterwards
};

// One person's session on the automatic IN/OUT schedule, from an empty table.
// clang-format off
const Step Sequence[] = {
    {"first window", Act::Add, "08:00", "12:00", 0, nullptr, {"08:00-12:00"}},
    {"starts where one ends", Act::Add, "12:00", "13:00", 0, "Time overlapped.", {"08:00-12:00"}},
    {"a minute later", Act::Add, "12:01", "13:00", 0, nullptr, {"08:00-12:00", "12:01-13:00"}},
    {"ends where one starts", Act::Add, "07:00", "08:00", 0, "Time overlapped.",
     {"08:00-12:00", "12:01-13:00"}},
    {"empty", Act::Add, "09:00", "09:00", 0, "Wrong time entry.", {"08:00-12:00", "12:01-13:00"}},
    {"across midnight", Act::Add, "22:00", "02:00", 0, "Wrong time entry.",
     {"08:00-12:00", "12:01-13:00"}},
    {"around a stored one", Act::Add, "07:00", "13:00", 0, "Time overlapped.",
     {"08:00-12:00", "12:01-13:00"}},
    {"inside a stored one", Act::Add, "09:00", "10:00", 0, "Time overlapped.",
     {"08:00-12:00", "12:01-13:00"}},
    {"earlier than all", Act::Add, "06:00", "07:59", 0, nullptr,
     {"06:00-07:59", "08:00-12:00", "12:01-13:00"}},
    {"last minute of the day", Act::Add, "22:00", "23:59", 0, nullptr,
     {"06:00-07:59", "08:00-12:00", "12:01-13:00", "22:00-23:59"}},
    {"delete declined", Act::DeclineRow, "", "", 1, "Are you sure to delete this record?",
     {"06:00-07:59", "08:00-12:00", "12:01-13:00", "22:00-23:59"}},
    {"delete the row clicked", Act::DeleteRow, "", "", 1, "Are you sure to delete this record?",
     {"06:00-07:59", "12:01-13:00", "22:00-23:59"}},
    {"the freed window again", Act::Add, "07:00", "12:00", 0, "Time overlapped.",
     {"06:00-07:59", "12:01-13:00", "22:00-23:59"}},
    {"the freed window", Act::Add, "08:00", "12:00", 0, nullptr,
     {"06:00-07:59", "08:00-12:00", "12:01-13:00", "22:00-23:59"}},
    {"delete the last row", Act::DeleteRow, "", "", 3, "Are you sure to delete this record?",
     {"06:00-07:59", "08:00-12:00", "12:01-13:00"}},
};
// clang-format on

TEST_F(TimeWindowsTest, AddsOverlapsAndDeletesLeaveTheRowsExpected)
{
    dsrc->src.Exec(QStringLiteral("DELETE FROM iotime"));
    TAutoIO dialog;
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    auto *grid = Child<QTableView>(dialog, "dbgList");
    for (const Step &s : Sequence) {
        SCOPED_TRACE(s.name);
        m_messages->Clear();
        if (s.act == Act::Add) {
            add(dialog, s.from, s.to);
        } else {
            clickRow(dialog, s.row);
            m_messages->QueueAnswer(s.act == Act::DeleteRow ? MsgButton::Ok : MsgButton::Cancel);
            Child<QPushButton>(dialog, "xdelete")->click();
        }
        if (s.message) {
            ASSERT_EQ(m_messages->Count(), 1);
            EXPECT_EQ(m_messages->Last().text, QString::fromLatin1(s.message));
            EXPECT_EQ(m_messages->Last().kind,
                      s.act == Act::Add ? MsgKind::Error : MsgKind::Confirmation);
            if (s.act == Act::Add) { // the window to correct
                EXPECT_EQ(focused(dialog), Child<QTimeEdit>(dialog, "dtpFrom"));
            }
        } else {
            EXPECT_EQ(m_messages->Count(), 0) << m_messages->Texts().join(u'|').toStdString();
        }
        EXPECT_EQ(storedIoTimes(), texts(s.rows));
        EXPECT_EQ(grid->model()->rowCount(), int(s.rows.size()));
        EXPECT_TRUE(dialog.isVisible());
    }
}

TEST_F(TimeWindowsTest, GridShowsHalfDayTimesAndAClickCopiesTheRowIntoTheEditors)
{
    dsrc->src.Exec(QStringLiteral("DELETE FROM iotime"));
    dsrc->src.Exec(QStringLiteral("INSERT INTO iotime VALUES ('13:30:00', '17:05:00'), "
                                  "('00:15:00', '09:00:00'), ('12:00:00', '12:30:00')"));
    TAutoIO dialog;
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    auto *grid = Child<QTableView>(dialog, "dbgList");
    EXPECT_EQ(gridTexts(grid), (QStringList{QStringLiteral("AM 12:15 | AM 09:00"),
                                            QStringLiteral("PM 12:00 | PM 12:30"),
                                            QStringLiteral("PM 01:30 | PM 05:05")}));
    const std::pair<int, std::pair<const char *, const char *>> clicks[] = {
        {2, {"13:30", "17:05"}}, {0, {"00:15", "09:00"}}};
    for (const auto &[row, times] : clicks) {
        clickRow(dialog, row);
        EXPECT_EQ(Child<QTimeEdit>(dialog, "dtpFrom")->time(), hm(times.first)) << row;
        EXPECT_EQ(Child<QTimeEdit>(dialog, "dtpTo")->time(), hm(times.second)) << row;
    }
    EXPECT_EQ(m_messages->Count(), 0);
}

TEST_F(TimeWindowsTest, DeleteOnAnEmptyListSaysSoAndAsksNothing)
{
    dsrc->src.Exec(QStringLiteral("DELETE FROM iotime"));
    TAutoIO autoio;
    Child<QPushButton>(autoio, "xdelete")->click();
    ASSERT_EQ(m_messages->Count(), 1);
    EXPECT_EQ(m_messages->Last().text, QStringLiteral("No data record."));
    EXPECT_EQ(m_messages->Last().kind, MsgKind::Error);

    m_messages->Clear();
    TFmTimeTbl table; // the first group has no windows
    Child<QPushButton>(table, "xdelete")->click();
    EXPECT_EQ(m_messages->Texts(), QStringList{QStringLiteral("No data record.")});
}

TEST_F(TimeWindowsTest, ARefusedWriteSaysSoAndKeepsTheRows)
{
    dsrc->src.Exec(QStringLiteral("DELETE FROM iotime"));
    dsrc->src.Exec(QStringLiteral("INSERT INTO iotime VALUES ('08:00:00', '12:00:00')"));
    TAutoIO dialog;
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    auto *grid = Child<QTableView>(dialog, "dbgList");
    const QStringList before = gridTexts(grid);

    const struct
    {
        const char *name;
        const char *trigger;
        bool add;
    } cases[] = {
        {"add",
         "CREATE TRIGGER refuse BEFORE INSERT ON iotime BEGIN SELECT RAISE(ABORT, 'no'); END",
         true},
        {"delete",
         "CREATE TRIGGER refuse BEFORE DELETE ON iotime BEGIN SELECT RAISE(ABORT, 'no'); END",
         false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        dsrc->src.Exec(QString::fromLatin1(c.trigger));
        m_messages->Clear();
        if (c.add) {
            add(dialog, "13:00", "14:00");
        } else {
            clickRow(dialog, 0);
            m_messages->QueueAnswer(MsgButton::Ok);
            Child<QPushButton>(dialog, "xdelete")->click();
        }
        EXPECT_EQ(m_messages->Last().text,
                  QStringLiteral("Fail to update the database record. Please retry."));
        EXPECT_EQ(storedIoTimes(), QStringList{QStringLiteral("08:00-12:00")});
        EXPECT_EQ(gridTexts(grid), before);
        dsrc->src.Exec(QStringLiteral("DROP TRIGGER refuse"));
    }
    // Nothing half-done stays behind: the next add works.
    m_messages->Clear();
    add(dialog, "13:00", "14:00");
    EXPECT_EQ(m_messages->Count(), 0);
    EXPECT_EQ(storedIoTimes(),
              (QStringList{QStringLiteral("08:00-12:00"), QStringLiteral("13:00-14:00")}));
}

// ---- The time table's groups --------------------------------------------------------------

TEST_F(TimeWindowsTest, TimeTableKeepsEachGroupsWindowsApart)
{
    const int day = AddGroup(QStringLiteral("DAY"));
    const int night = AddGroup(QStringLiteral("NIGHT"));
    dsrc->src.Exec(QStringLiteral("INSERT INTO timetbl VALUES (%1, '22:00:00', '23:30:00'), "
                                  "(%1, '18:00:00', '21:00:00'), (1, '10:00:00', '11:00:00')")
                       .arg(night));
    TFmTimeTbl dialog;
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    auto *groups = Child<QComboBox>(dialog, "cbglist");
    auto *grid = Child<QTableView>(dialog, "dbgList");
    ASSERT_EQ(groups->count(), 3);
    EXPECT_EQ(groups->currentText(), QStringLiteral("DAY")); // the first by name
    EXPECT_EQ(grid->model()->rowCount(), 0);

    // The same window as another group's is no overlap.
    add(dialog, "10:00", "11:00");
    add(dialog, "08:00", "09:30");
    EXPECT_EQ(m_messages->Count(), 0) << m_messages->Texts().join(u'|').toStdString();
    EXPECT_EQ(storedTimeTable(day),
              (QStringList{QStringLiteral("08:00-09:30"), QStringLiteral("10:00-11:00")}));
    EXPECT_EQ(storedTimeTable(1), QStringList{QStringLiteral("10:00-11:00")});

    const struct
    {
        const char *group;
        std::vector<const char *> shown;
    } switches[] = {
        {"NIGHT", {"PM 06:00 | PM 09:00", "PM 10:00 | PM 11:30"}},
        {"DEFAULT", {"AM 10:00 | AM 11:00"}},
        {"DAY", {"AM 08:00 | AM 09:30", "AM 10:00 | AM 11:00"}},
    };
    for (const auto &s : switches) {
        groups->setCurrentIndex(groups->findText(QString::fromLatin1(s.group)));
        EXPECT_EQ(gridTexts(grid), texts(s.shown)) << s.group;
    }

    // Only the chosen group's windows are tested, and a delete takes that group's row.
    groups->setCurrentIndex(groups->findText(QStringLiteral("NIGHT")));
    add(dialog, "09:00", "10:00");
    add(dialog, "21:00", "22:00");
    EXPECT_EQ(m_messages->Texts(), QStringList{QStringLiteral("Time overlapped.")});
    clickRow(dialog, 1);
    m_messages->QueueAnswer(MsgButton::Ok);
    Child<QPushButton>(dialog, "xdelete")->click();
    EXPECT_EQ(storedTimeTable(night),
              (QStringList{QStringLiteral("09:00-10:00"), QStringLiteral("22:00-23:30")}));
    EXPECT_EQ(storedTimeTable(day),
              (QStringList{QStringLiteral("08:00-09:30"), QStringLiteral("10:00-11:00")}));
    EXPECT_EQ(storedTimeTable(1), QStringList{QStringLiteral("10:00-11:00")});
}

// ---- Switches and placement ---------------------------------------------------------------

TEST_F(TimeWindowsTest, EachSwitchIsStoredAtItsClick)
{
    const struct
    {
        const char *box;
        const char *setting;
    } switches[] = {{"cbenable", "AutoInOut"}, {"cbOverride", "AutoOverride"}};
    for (const auto &s : switches) {
        SCOPED_TRACE(s.box);
        ClearSettings();
        TAutoIO dialog;
        dialog.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
        auto *box = Child<QCheckBox>(dialog, s.box);
        EXPECT_FALSE(box->isChecked()); // off while nothing is stored
        box->click();
        EXPECT_EQ(storedSetting(s.setting), QStringLiteral("1")); // before the dialog closes
        box->click();
        EXPECT_EQ(storedSetting(s.setting), QStringLiteral("0"));
        box->click();
        dialog.reject(); // closing does not store them again
        WriteRegBool(QString::fromLatin1(s.setting), false);
        TAutoIO again;
        EXPECT_FALSE(Child<QCheckBox>(again, s.box)->isChecked());
        WriteRegBool(QString::fromLatin1(s.setting), true);
        TAutoIO stored;
        EXPECT_TRUE(Child<QCheckBox>(stored, s.box)->isChecked());
    }
    EXPECT_EQ(m_messages->Count(), 0);
}

TEST_F(TimeWindowsTest, ASwitchTheSettingsRefuseSaysSoAndShowsWhatIsStored)
{
    TAutoIO dialog;
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    // A folder where the settings file should be: every write fails.
    const QString file = QSettings(QStringLiteral("ZUVI"), QStringLiteral("Tallyclock")).fileName();
    QFile::remove(file);
    ASSERT_TRUE(QDir().mkpath(file));
    auto *box = Child<QCheckBox>(dialog, "cbenable");
    box->click();
    QDir(file).removeRecursively();
    EXPECT_EQ(m_messages->Texts(), QStringList{QStringLiteral("Settings cannot be saved.")});
    EXPECT_FALSE(box->isChecked());
    EXPECT_FALSE(ReadRegBool(QStringLiteral("AutoInOut"), false));
}

TEST_F(TimeWindowsTest, CloseSavesPlacementAndWidthsUnderEachDialogsNames)
{
    const struct
    {
        const char *placement;
        const char *grid;
        bool timeTable;
    } cases[] = {{"TimeTable", "TimeTblGrid", true}, {"AutoInOut", "AutoIOgrid", false}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.placement);
        ClearSettings();
        std::unique_ptr<QDialog> dialog;
        if (c.timeTable)
            dialog = std::make_unique<TFmTimeTbl>();
        else
            dialog = std::make_unique<TAutoIO>();
        dialog->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
        auto *grid = Child<QTableView>(*dialog, "dbgList");
        grid->setColumnWidth(1, 93);
        dialog->resize(401, 377);
        Child<QPushButton>(*dialog, "xcancel")->click();
        EXPECT_FALSE(dialog->isVisible());
        EXPECT_EQ(dialog->result(), QDialog::Rejected);
        const QString placement = QString::fromLatin1(c.placement);
        EXPECT_EQ(ReadRegInteger(placement + QStringLiteral("_WIDTH"), 0), 401);
        EXPECT_EQ(ReadRegInteger(QString::fromLatin1(c.grid) + QStringLiteral("_1"), 0), 93);

        // The next one opens where this one was left.
        std::unique_ptr<QDialog> next;
        if (c.timeTable)
            next = std::make_unique<TFmTimeTbl>();
        else
            next = std::make_unique<TAutoIO>();
        EXPECT_EQ(next->width(), 401);
        EXPECT_EQ(Child<QTableView>(*next, "dbgList")->columnWidth(1), 93);
    }
}

} // namespace
