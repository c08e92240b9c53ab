// The commands only a logged-in administrator may use, found as a user finds them: each on its
// menu, in its place in the order "Login" unlocks them; and no menu item left without a handler.

#include "testsupport/commandlookup.h"
#include "windowfixture.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

#include <iterator>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

// ---- The locked commands -----------------------------------------------------------------------

struct LockedCommand
{
    const char *menu; // "" for a command kept off every menu
    const char *caption;
};

// Every command only a logged-in administrator may use, in the order "Login" unlocks them, each
// with the menu it sits on.
const LockedCommand LockedCommands[] = {
    {"Actions", "Hide to Systray"},
    {"Setup", "Door Open Button"},
    {"Reports/Attendance", "First In / Last Out"},
    // A hidden menu item is always disabled, and this one has to follow the login.
    {"", "First In / Last Out (Overnight)"},
    {"Reports/Attendance", "2-session"},
    {"Database", "Export to Text File"},
    {"Database", "Export to Excel File"},
    {"Database", "Erase Log Database"},
    {"Database", "Erase Staff Records"},
    {"Database", "Format Database"},
    {"", "Offline Access Table"},
    {"Card Manager", "Edit Card Information"},
    {"Card Manager", "Group Definition"},
    {"Reports/Printouts", "Total Hours"},
    {"Reports/Printouts", "Daily Individual"},
    {"Reports/Printouts", "Time Logs"},
    {"Reports/Printouts", "Who's IN / OUT"},
    {"Reports/Printouts", "Total Hours Detail"},
    {"Card Manager", "Print Cards"},
    {"Setup", "Readers"},
    {"Actions", "Hide On Startup"},
    {"Card Manager", "Print Member List"},
    {"Setup", "Email"},
    {"Setup", "Hide Webcam"},
    {"Setup", "Webcam"},
    {"Setup", "Auto IN/OUT Time"},
    {"Reports/Spreadsheet", "First IN / Last OUT"},
    {"Reports/Spreadsheet", "Time Logs"},
    {"grid popup", "Delete this Attendance Record"},
    {"Reports/Spreadsheet", "IN/OUT Pairs"},
    {"Card Manager", "Define Tallyclock Table"},
    {"Reports/Spreadsheet", "Late and Early Leave"},
    {"Database", "Backup Log Database"},
    {"Database", "Backup System Database"},
    {"Database", "Restore Log Database"},
    {"Database", "Restore System Database"},
    {"Setup/Offline Reader", "Offline Reader Manager"},
    {"Database", "Import Log Records"},
    {"Database", "Import Staff Records"},
    {"Setup", "Enable Speech Feedback"},
    {"Setup/Offline Reader", "Set Master PIN"},
    {"Setup", "Web Reporter"},
};

using LockedCommandsTest = WindowTest;

TEST_F(LockedCommandsTest, EachSitsOnItsMenuAndLoginUnlocksThemInOrder)
{
    TTimeRec &w = OpenShown();
    const QList<QAction *> locked = w.ProtectedCommands();
    ASSERT_EQ(locked.size(), qsizetype(std::size(LockedCommands)));
    QList<QAction *> inUse; // the ones a user can reach, in the order of the list
    for (std::size_t i = 0; i < std::size(LockedCommands); ++i) {
        const LockedCommand &c = LockedCommands[i];
        SCOPED_TRACE(std::string(c.menu) + " > " + c.caption);
        QAction *command = CommandAt(w, QString::fromLatin1(c.menu), QString::fromUtf8(c.caption));
        ASSERT_NE(command, nullptr);
        EXPECT_EQ(command, locked[qsizetype(i)]) << "in place " << i;
        EXPECT_FALSE(command->isEnabled()) << "the program starts logged out";
        if (!*c.menu) {
            EXPECT_FALSE(OnAnyMenu(command));
        }
        EXPECT_TRUE(command->isVisible());
        if (command->isVisible())
            inUse << command;
    }

    QList<QAction *> changed;
    QObject watcher;
    for (QAction *command : locked)
        QObject::connect(command, &QAction::enabledChanged, &watcher,
                         [&changed, command] { changed << command; });
    QAction *login = CommandAt(w, QStringLiteral("Actions"), QStringLiteral("Login"));
    QAction *logout = CommandAt(w, QStringLiteral("Actions"), QStringLiteral("Logout"));
    ASSERT_NE(login, nullptr);
    ASSERT_NE(logout, nullptr);

    login->trigger(); // no password registered: the login is free
    EXPECT_EQ(Messages().Texts(), QStringList{QStringLiteral("No password registered yet.")});
    EXPECT_EQ(changed, inUse);
    for (QAction *command : inUse)
        EXPECT_TRUE(command->isEnabled()) << command->text().toStdString();

    changed.clear();
    logout->trigger();
    EXPECT_EQ(changed, inUse);
    for (QAction *command : locked)
        EXPECT_FALSE(command->isEnabled()) << command->text().toStdString();
}

// ---- No menu item does nothing -----------------------------------------------------------------

// QObject::receivers is protected; named through a subclass it may still be taken.
struct SignalReceivers : QAction
{
    static int Triggered(const QAction *action)
    {
        const auto receivers = &SignalReceivers::receivers;
        return (action->*receivers)(SIGNAL(triggered(bool)));
    }
};

// The connections the menus themselves make to an action of theirs: those of a bare action
// put on menus of the same kinds.
int MenuOwnReceivers(const QAction *action)
{
    QAction bare;
    std::vector<std::unique_ptr<QWidget>> menus;
    for (QObject *o : action->associatedObjects()) {
        if (qobject_cast<QMenuBar *>(o))
            menus.push_back(std::make_unique<QMenuBar>());
        else if (qobject_cast<QMenu *>(o))
            menus.push_back(std::make_unique<QMenu>());
        else
            continue;
        menus.back()->addAction(&bare);
    }
    return SignalReceivers::Triggered(&bare);
}

void CollectItems(QMenu *menu, const QString &where, QList<std::pair<QString, QAction *>> &items)
{
    for (QAction *a : menu->actions()) {
        if (a->isSeparator() || !a->isVisible())
            continue;
        if (a->menu())
            CollectItems(a->menu(), where + u'/' + Plain(a->menu()->title()), items);
        else
            items.append({where + QStringLiteral(" > ") + Plain(a->text()), a});
    }
}

TEST_F(LockedCommandsTest, NoMenuItemDoesNothing)
{
    TTimeRec &w = OpenShown();
    QList<std::pair<QString, QAction *>> items;
    for (QAction *a : w.menuBar()->actions())
        if (a->menu() && a->isVisible())
            CollectItems(a->menu(), Plain(a->menu()->title()), items);
    const int onMenuBar = int(items.size());
    CollectItems(w.TrayMenu(), QStringLiteral("tray"), items);
    CollectItems(w.GridMenu(), QStringLiteral("grid popup"), items);
    EXPECT_GT(onMenuBar, 30);
    EXPECT_EQ(items.size() - onMenuBar, 6); // five in the tray, one on the grid
    for (const auto &[where, action] : items)
        EXPECT_GT(SignalReceivers::Triggered(action), MenuOwnReceivers(action))
            << where.toStdString() << " has no handler";
}

} // namespace
