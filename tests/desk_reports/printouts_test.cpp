// The printout and member-card commands of the main window: the log check, the dialog that
// comes back after every report until it is cancelled, the report each makes (through the
// report-output seam, as PDFs), preview or print as the dialog says, and their place on the
// menus and in the protected list.

#include "desk_window/windowfixture.h"
#include "reports/dlgpersons.h"
#include "reports/dlgstaffs.h"
#include "store/clock.h"
#include "store/picklist.h"
#include "testsupport/childlookup.h"
#include "testsupport/fakereportoutput.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTimer>
#include <algorithm>
#include <functional>

namespace {

struct Command
{
    const char *action;
    const char *caption;
    bool checksLog;             // an empty log says "No record." and opens nothing
    const char *dialogCaption;  // the dialog's caption as it runs
    const char *title;          // the report's title
    const char *previewBox;     // the dialog's preview check box
    bool recordsHidden = false; // the records-per-line choice does not show
};
const Command commands[] = {
    {"actlogs", "Time Logs", true, "Time Logs", "Time Logs (All)", "cbpreview"},
    {"actlifo", "Total Hours", true, "Total Hours", "Total Hours (All)", "cbpreview", true},
    {"actwho", "Daily Individual", true, "Daily Individual", "Daily Individual Report",
     "cbpreview"},
    {"actinout", "Who's IN / OUT", true, "Who's IN / OUT", "Who's IN / OUT", "cbpreview", true},
    {"actmemberlist", "Print Cards", false, "Print Member Card", "Print Member Card", "cbpreview"},
    {"actlistmem", "Print Member List", false, "Select Staffs", "Member List", "cbpreview"},
};

// The open pick list, once its modal loop runs.
TPickList *openPickList()
{
    for (QWidget *top : QApplication::topLevelWidgets())
        if (auto *list = qobject_cast<TPickList *>(top); list && list->isVisible())
            return list;
    return nullptr;
}

// In the open pick list: "Remove All", then each name chosen among the others and added,
// then "Close".
void PickOnly(const QStringList &names, bool *picked)
{
    TPickList *list = openPickList();
    if (!list)
        return;
    list->bremoveall->click();
    for (const QString &name : names) {
        TDataSet &others = list->Nonmembers();
        if (!others.Locate(QStringLiteral("NAME"), name))
            return;
        list->dbgnonmember->selectRow(others.RecNo());
        list->badd->click();
    }
    *picked = list->Members().RecordCount() == names.size();
    list->bclose->click();
}

} // namespace

class PrintoutCommandsTest : public WindowTest
{
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        PinClock(QDateTime(QDate(2026, 12, 10), QTime(12, 0)));
    }
    void TearDown() override
    {
        PinClock(QDateTime());
        WindowTest::TearDown();
    }
};

TEST_F(PrintoutCommandsTest, AnEmptyLogStopsEveryScopeReportButNotTheCardCommands)
{
    TTimeRec &w = OpenWindow();
    w.SetLoggedIn(true);
    FakeReportOutput output;
    for (const Command &c : commands) {
        Messages().Clear();
        QStringList shown;
        w.SetDialogRunner([&](QDialog &dialog) {
            shown << dialog.windowTitle();
            return 2; // Cancel
        });
        Child<QAction>(w, c.action)->trigger();
        EXPECT_EQ(Child<QAction>(w, c.action)->text(), QString::fromUtf8(c.caption));
        if (c.checksLog) {
            EXPECT_EQ(Messages().Texts(), QStringList{QStringLiteral("No record.")}) << c.action;
            EXPECT_TRUE(shown.isEmpty()) << c.action;
        } else {
            EXPECT_EQ(Messages().Count(), 0) << c.action;
            EXPECT_EQ(shown, QStringList{QString::fromUtf8(c.dialogCaption)}) << c.action;
        }
    }
    EXPECT_TRUE(output.Runs().empty());
}

TEST_F(PrintoutCommandsTest, ConfirmConfirmCancelMakesTwoReportsPreviewedOrPrintedAsChosen)
{
    const int group = AddGroup(QStringLiteral("Office"));
    AddStaff(11, QStringLiteral("Ann"), group);
    AddStaff(12, QStringLiteral("Bob"), group);
    TTimeRec &w = OpenWindow();
    AddLog(QDateTime(QDate(2026, 12, 9), QTime(8, 0)), 11, 1);
    AddLog(QDateTime(QDate(2026, 12, 10), QTime(8, 0)), 12, 1);
    w.SetLoggedIn(true);
    for (const Command &c : commands) {
        FakeReportOutput output;
        int answers = 0;
        QStringList captions;
        w.SetDialogRunner([&](QDialog &dialog) {
            captions << dialog.windowTitle();
            if (auto *records = dialog.findChild<QWidget *>(QStringLiteral("rgrecord")))
                EXPECT_EQ(records->isHidden(), c.recordsHidden) << c.action;
            ++answers;
            // The first report previews, the second prints.
            if (auto *box = dialog.findChild<QCheckBox *>(QString::fromLatin1(c.previewBox)))
                box->setChecked(answers == 1);
            return answers <= 2 ? 1 : 2;
        });
        Child<QAction>(w, c.action)->trigger();
        EXPECT_EQ(captions, QStringList(3, QString::fromUtf8(c.dialogCaption))) << c.action;
        ASSERT_EQ(output.Runs().size(), 2u) << c.action;
        for (int run = 0; run < 2; ++run) {
            EXPECT_EQ(output.Runs()[run].title, QString::fromUtf8(c.title)) << c.action;
            EXPECT_EQ(output.Runs()[run].preview, run == 0) << c.action;
            EXPECT_TRUE(output.Text(run).contains(QStringLiteral("Ann"))) << c.action;
        }
    }
    EXPECT_EQ(Messages().Count(), 0) << qPrintable(Messages().Texts().join(QLatin1Char('|')));
}

TEST_F(PrintoutCommandsTest, TheCardStyleChoosesTheCardReport)
{
    for (int i = 0; i < 7; ++i)
        AddStaff(20 + i, QStringLiteral("P%1").arg(i), 1);
    TTimeRec &w = OpenWindow();
    w.SetLoggedIn(true);
    FakeReportOutput output;
    int answers = 0;
    w.SetDialogRunner([&](QDialog &dialog) {
        ++answers;
        const char *style = answers == 1 ? "rbStyle" : "rbVert";
        if (auto *button = dialog.findChild<QAbstractButton *>(QString::fromLatin1(style)))
            button->click();
        return answers <= 2 ? 1 : 2;
    });
    Child<QAction>(w, "actmemberlist")->trigger();
    ASSERT_EQ(output.Runs().size(), 2u);
    // Seven cards fill down the columns of one page: two columns across, three upright.
    const QStringList across = PdfPages(output.Runs()[0].pdf);
    const QStringList upright = PdfPages(output.Runs()[1].pdf);
    ASSERT_EQ(across.size(), 1);
    ASSERT_EQ(upright.size(), 1);
    const auto mostInARow = [](const QString &page) {
        int most = 0;
        for (const QString &line : page.split(QLatin1Char('\n')))
            most = std::max(most, int(line.count(QStringLiteral("Card No.:"))));
        return most;
    };
    EXPECT_EQ(across[0].count(QStringLiteral("Card No.:")), 7);
    EXPECT_EQ(upright[0].count(QStringLiteral("Card No.:")), 7);
    EXPECT_EQ(mostInARow(across[0]), 2);
    EXPECT_EQ(mostInARow(upright[0]), 3);
}

TEST_F(PrintoutCommandsTest, NamesInChineseJapaneseAndKoreanPrintWhole)
{
    const QStringList names = {QStringLiteral("王小明"), QStringLiteral("山田さくら"),
                               QStringLiteral("김민준")};
    for (int i = 0; i < names.size(); ++i)
        AddStaff(30 + i, names[i], 1);
    TTimeRec &w = OpenWindow();
    w.SetLoggedIn(true);
    for (const char *command : {"actlistmem", "actmemberlist"}) {
        SCOPED_TRACE(command);
        FakeReportOutput output;
        int answers = 0;
        w.SetDialogRunner([&answers](QDialog &) { return ++answers == 1 ? 1 : 2; });
        Child<QAction>(w, command)->trigger();
        ASSERT_EQ(output.Runs().size(), 1u);
        // pdftotext finds the characters only where a face drew their glyphs.
        const QString text = output.Text(0);
        for (const QString &name : names)
            EXPECT_TRUE(text.contains(name)) << name.toStdString() << "\n" << text.toStdString();
    }
}

TEST_F(PrintoutCommandsTest, TheCommandsFollowLoginAndShowOnTheirMenus)
{
    TTimeRec &w = OpenWindow();
    const QList<QAction *> locked = w.ProtectedCommands();
    for (const char *name :
         {"actlifo", "actwho", "actlogs", "actinout", "actmemberlist", "actlistmem"}) {
        QAction *a = Child<QAction>(w, name);
        EXPECT_FALSE(a->isEnabled()) << name;
        EXPECT_GE(locked.indexOf(a), 0) << name;
    }
    w.SetLoggedIn(true);
    for (const Command &c : commands) {
        EXPECT_TRUE(Child<QAction>(w, c.action)->isEnabled()) << c.action;
        EXPECT_TRUE(Child<QAction>(w, c.action)->isVisible()) << c.action;
    }
    auto *printouts = w.findChild<QMenu *>(QStringLiteral("menuPrintouts"));
    ASSERT_NE(printouts, nullptr);
    for (const char *name : {"actlogs", "actlifo", "actwho", "actinout"})
        EXPECT_TRUE(printouts->actions().contains(Child<QAction>(w, name))) << name;
    auto *cards = w.findChild<QMenu *>(QStringLiteral("menuCardManager"));
    ASSERT_NE(cards, nullptr);
    for (const char *name : {"actmemberlist", "actlistmem"})
        EXPECT_TRUE(cards->actions().contains(Child<QAction>(w, name))) << name;
}

// "List" with two holders picked through "Pick List" prints those two and nobody else, in every
// printout that offers the choice.
TEST_F(PrintoutCommandsTest, PickListChoosesWhomListPrints)
{
    const int group = AddGroup(QStringLiteral("Office"));
    const QStringList names{QStringLiteral("Annabel"), QStringLiteral("Bertrand"),
                            QStringLiteral("Cordelia")};
    for (int i = 0; i < names.size(); ++i)
        AddStaff(11 + i, names[i], group);
    TTimeRec &w = OpenWindow();
    for (int i = 0; i < names.size(); ++i)
        AddLog(QDateTime(QDate(2026, 12, 10), QTime(8, i)), 11 + i, 1);
    w.SetLoggedIn(true);
    int row = 0;
    for (const Command &c : commands) {
        SCOPED_TRACE(c.action);
        if (QString::fromLatin1(c.action) == QLatin1String("actinout"))
            continue; // who is in or out has no persons to choose
        // Another pair each time, so a choice left from the last report cannot pass.
        const QStringList chosen{names[row % 3], names[(row + 1) % 3]};
        const QString other = names[(row + 2) % 3];
        ++row;
        FakeReportOutput output;
        bool picked = false;
        int answers = 0;
        w.SetDialogRunner([&](QDialog &dialog) {
            if (++answers > 1)
                return 2;
            auto *list = dialog.findChild<QRadioButton *>(QStringLiteral("rbstaff"));
            auto *pick = dialog.findChild<QPushButton *>(QStringLiteral("bAdd"));
            EXPECT_TRUE(list && pick);
            if (!list || !pick)
                return 2;
            if (auto *range = dialog.findChild<QRadioButton *>(QStringLiteral("rball")))
                range->click();
            list->click();
            QTimer::singleShot(0, &dialog, [&] { PickOnly(chosen, &picked); });
            pick->click();
            dialog.findChild<QPushButton *>(QStringLiteral("Button1"))->click();
            return dialog.result();
        });
        Child<QAction>(w, c.action)->trigger();
        EXPECT_TRUE(picked);
        EXPECT_EQ(openPickList(), nullptr);
        ASSERT_EQ(output.Runs().size(), 1u);
        const QString text = output.Text(0);
        for (const QString &name : chosen)
            EXPECT_TRUE(text.contains(name)) << name.toStdString() << "\n" << text.toStdString();
        EXPECT_FALSE(text.contains(other)) << other.toStdString() << "\n" << text.toStdString();
    }
    EXPECT_EQ(Messages().Count(), 0) << qPrintable(Messages().Texts().join(QLatin1Char('|')));
}
