// The card editor from the main window: the Card Manager command and the log grid's double
// click, each answered by scripted steps through the window's dialog runner.

#include "cardsfixture.h"
#include "desk/loggridmodel.h"
#include "testsupport/commandlookup.h"

#include <algorithm>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QTableView>
#include <QTest>

namespace {

class CardWindowTest : public CardsTest
{
protected:
    TTimeRec &OpenSteppedWindow()
    {
        TTimeRec &w = OpenWindow();
        w.SetDialogRunner(Steps().Runner());
        w.show();
        return w;
    }
    static QTableView *LogGrid(TTimeRec &w)
    {
        return w.findChild<QTableView *>(QStringLiteral("info"));
    }
    static void DoubleClickRow(TTimeRec &w, int row)
    {
        QTableView *grid = LogGrid(w);
        const QPoint at = grid->visualRect(grid->model()->index(row, 0)).center();
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier, at);
        QTest::mouseDClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    }
};

// "Edit Card Information" sits on the Card Manager menu, locked until a login.
TEST_F(CardWindowTest, EditCardInformationIsAProtectedCardManagerCommand)
{
    TTimeRec &w = OpenSteppedWindow();
    QAction *command =
        CommandAt(w, QStringLiteral("Card Manager"), QStringLiteral("Edit Card Information"));
    ASSERT_NE(command, nullptr);
    EXPECT_FALSE(command->isEnabled());
    EXPECT_TRUE(w.ProtectedCommands().contains(command));
    w.SetLoggedIn(true);
    EXPECT_TRUE(command->isEnabled());
}

// The command hides the log grid while the list is open; an edit saved there reaches the
// shared staff data at once, and the grid comes back with the holder's new name.
TEST_F(CardWindowTest, EditCardInformationSavesThroughTheListAndShowsTheGridAgain)
{
    AddStaff(61, QStringLiteral("Kim"), 1);
    AddLog(QDateTime(QDate(2026, 5, 6), QTime(8, 30)), 61);
    TTimeRec &w = OpenSteppedWindow();
    w.SetLoggedIn(true);
    bool gridHidden = false;
    Steps().Add([&](QDialog &d) {
        EXPECT_EQ(d.windowTitle(), QStringLiteral("Card Information List"));
        gridHidden = !LogGrid(w)->isVisible();
        Press(d, "bedit");
        Press(d, "Button2");
    });
    Steps().Add([](QDialog &d) {
        EXPECT_EQ(Child<QLineEdit>(d, "xname")->text(), QStringLiteral("Kim"));
        Child<QPlainTextEdit>(d, "memo")->setPlainText(QStringLiteral("keys to the store"));
        Press(d, "xconfirm");
    });
    CommandAt(w, QStringLiteral("Card Manager"), QStringLiteral("Edit Card Information"))
        ->trigger();
    EXPECT_EQ(Steps().Pending(), 0);
    EXPECT_TRUE(gridHidden);
    EXPECT_TRUE(LogGrid(w)->isVisible());
    EXPECT_EQ(Messages().Count(), 0);
    ASSERT_TRUE(dsrc->staff.Locate(QStringLiteral("CARDNO"), 61));
    EXPECT_EQ(dsrc->staff.FieldByName(QStringLiteral("MEMO")).AsString(),
              QStringLiteral("keys to the store"));
}

// A double click on a log row of an unknown card registers it: the dialog opens on that card
// with the name free, and the grid then names the new holder.
TEST_F(CardWindowTest, DoubleClickOnALogRowRegistersItsCard)
{
    const int group = AddGroup(QStringLiteral("Visitors"));
    AddLog(QDateTime(QDate(2026, 5, 6), QTime(8, 0)), 11);
    AddLog(QDateTime(QDate(2026, 5, 6), QTime(8, 5)), 555);
    AddLog(QDateTime(QDate(2026, 5, 6), QTime(8, 9)), 12);
    TTimeRec &w = OpenSteppedWindow();
    w.SetLoggedIn(true);
    EXPECT_EQ(LogGrid(w)->model()->data(LogGrid(w)->model()->index(1, 1)).toString(),
              QStringLiteral("[555]"));
    Steps().Add([](QDialog &d) {
        EXPECT_EQ(d.windowTitle(), QStringLiteral("Card Information"));
        EXPECT_EQ(Child<QLineEdit>(d, "xcode")->text(), QStringLiteral("555"));
        auto *name = Child<QLineEdit>(d, "xname");
        EXPECT_TRUE(name->text().isEmpty());
        EXPECT_FALSE(name->isReadOnly());
        QTest::keyClicks(name, QStringLiteral("Zoe"));
        Child<QComboBox>(d, "cbxgroup")->setCurrentText(QStringLiteral("Visitors"));
        Press(d, "xconfirm");
    });
    DoubleClickRow(w, 1);
    EXPECT_EQ(Steps().Pending(), 0);
    EXPECT_EQ(Messages().Count(), 0);
    EXPECT_EQ(StoredText(555, "NAME"), QStringLiteral("Zoe"));
    EXPECT_EQ(StoredText(555, "WORKGRP"), QString::number(group));
    EXPECT_EQ(StoredPhoto(555).size(), QSize(240, 320));
    EXPECT_TRUE(LogGrid(w)->isVisible());
    QAbstractItemModel *log = LogGrid(w)->model();
    EXPECT_EQ(log->data(log->index(1, 1)).toString(), QStringLiteral("Zoe, Visitors"));
    auto *photo = w.findChild<QLabel *>(QStringLiteral("xphoto"));
    EXPECT_TRUE(photo->isVisible());
}

// Logged in with an empty log, the double click says so and opens nothing.
TEST_F(CardWindowTest, DoubleClickOnAnEmptyLogSaysNoRecord)
{
    TTimeRec &w = OpenSteppedWindow();
    w.SetLoggedIn(true);
    w.infoDblClick();
    ASSERT_EQ(Messages().Count(), 1);
    EXPECT_EQ(Messages().Last().text, QStringLiteral("No record."));
    EXPECT_EQ(Steps().Run(), 0);
    EXPECT_TRUE(LogGrid(w)->isVisible());
}

} // namespace
