// The single running copy, the start-up with databases that do not open, the photos folder
// that cannot be made, starting hidden in the tray, the settings saved on close, the layout.

#include "desk/instancelock.h"
#include "desk/trayicon.h"
#include "windowfixture.h"

#include "desk/clock.h"
#include "store/paths.h"
#include "store/settings.h"

#include <QAction>
#include <QCheckBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTableView>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

namespace {

TEST(InstanceLockTest, SecondCopyIsRefusedUntilTheFirstEnds)
{
    QTemporaryDir dir;
    auto first = std::make_unique<InstanceLock>(dir.path());
    ASSERT_TRUE(first->TryLock());
    EXPECT_TRUE(first->TryLock()); // holding it already
    EXPECT_TRUE(first->FileName().endsWith(QStringLiteral("/Tallyclock.lock")));

    InstanceLock second(dir.path());
    EXPECT_FALSE(second.TryLock());
    EXPECT_FALSE(second.IsLocked());
    EXPECT_TRUE(first->IsLocked()); // the refused attempt left the first one alone

    first.reset();
    EXPECT_TRUE(second.TryLock());
}

TEST(InstanceLockTest, LockOfACrashedCopyIsTakenOver)
{
    QTemporaryDir dir;
    const QByteArray folder = dir.path().toLocal8Bit();
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // The crashed copy: takes the lock and dies without releasing it.
        InstanceLock held(QString::fromLocal8Bit(folder));
        _exit(held.TryLock() ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0);
    ASSERT_TRUE(QFile::exists(dir.filePath(QStringLiteral("Tallyclock.lock"))));

    InstanceLock next(dir.path());
    EXPECT_TRUE(next.TryLock());
}

class StartupTest : public WindowTest
{
};

TEST_F(StartupTest, DatabaseThatDoesNotOpenEndsTheProgramWithItsMessage)
{
    struct Case
    {
        bool attend;
        const char *text;
    };
    for (const Case c : {Case{true, "System Error: Cannot open attend.db"},
                         Case{false, "System Error: Cannot open sysdat.db"}}) {
        SCOPED_TRACE(c.text);
        Data().CloseDatabases();
        const QString path = c.attend ? Data().AttendPath() : Data().SysdatPath();
        const QString saved = path + QStringLiteral(".good");
        QFile::remove(saved);
        ASSERT_TRUE(QFile::rename(path, saved));
        {
            QFile broken(path);
            ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
            broken.write(QByteArray(4096, 'x'));
        }
        Messages().Clear();
        TTimeRec &w = OpenWindow();
        ASSERT_EQ(Messages().Count(), 1);
        EXPECT_EQ(Messages().Last().text, QString::fromLatin1(c.text));
        EXPECT_EQ(Messages().Last().kind, MsgKind::Plain);
        EXPECT_TRUE(w.TerminateRequested());
        EXPECT_FALSE(w.StartupShowMainForm());
        EXPECT_FALSE(dsrc->att.IsOpen());
        EXPECT_FALSE(dsrc->src.IsOpen());
        // Nothing was repaired or replaced.
        QFile check(path);
        ASSERT_TRUE(check.open(QIODevice::ReadOnly));
        EXPECT_EQ(check.readAll(), QByteArray(4096, 'x'));
        check.close();
        CloseWindow();

        QFile::remove(path);
        ASSERT_TRUE(QFile::rename(saved, path));
        Data().ReopenDatabases();
    }
}

// The box names only the file; why it did not open, and where it is, go to standard error so
// that an administrator can tell the cases apart.
TEST_F(StartupTest, DatabaseThatDoesNotOpenHasItsReasonAndPathOnStandardError)
{
    Data().CloseDatabases();
    auto bytesOf = [](const QString &path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };
    const QByteArray sysdat = bytesOf(Data().SysdatPath());
    struct Case
    {
        const char *name;
        bool attend;
        QByteArray content; // null: no file at all
        const char *reasonPart;
    };
    const Case cases[] = {
        {"missing", true, QByteArray(), "does not exist"},
        {"not a database", true, QByteArray(4096, 'x'), "is not a database file"},
        {"the other kind", true, sysdat, "is a system database, not an attendance database"},
        {"truncated", false, sysdat.left(sysdat.size() - 4096), "is truncated"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = c.attend ? Data().AttendPath() : Data().SysdatPath();
        const QString saved = path + QStringLiteral(".good");
        QFile::remove(saved);
        ASSERT_TRUE(QFile::rename(path, saved));
        if (!c.content.isNull()) {
            QFile broken(path);
            ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
            broken.write(c.content);
        }
        Messages().Clear();
        testing::internal::CaptureStderr();
        OpenWindow();
        const QString err = QString::fromStdString(testing::internal::GetCapturedStderr());
        ASSERT_EQ(Messages().Count(), 1);
        EXPECT_EQ(Messages().Last().text,
                  c.attend ? QStringLiteral("System Error: Cannot open attend.db")
                           : QStringLiteral("System Error: Cannot open sysdat.db"));
        EXPECT_TRUE(err.contains(QFileInfo(path).absoluteFilePath())) << err.toStdString();
        EXPECT_TRUE(err.contains(QString::fromLatin1(c.reasonPart))) << err.toStdString();
        CloseWindow();
        QFile::remove(path);
        ASSERT_TRUE(QFile::rename(saved, path));
    }
    Data().ReopenDatabases();
}

TEST_F(StartupTest, ReaderTableWithoutEightRowsIsReportedAndStartUpGoesOn)
{
    dsrc->src.Exec(QStringLiteral("delete from reader where PORTNO = 8"));
    TTimeRec &w = OpenWindow();
    ASSERT_EQ(Messages().Count(), 1);
    EXPECT_EQ(Messages().Last().text,
              QStringLiteral("Database error. Please re-format the database."));
    EXPECT_TRUE(w.StartupShowMainForm());
    EXPECT_FALSE(w.TerminateRequested());
    EXPECT_NE(w.Clock(), nullptr);
    EXPECT_TRUE(w.Core()->ReconnectEnabled());
}

TEST_F(StartupTest, PhotosFolderThatCannotBeMadeIsReportedWithoutACrash)
{
    // A plain file where the photos folder's parent should be.
    const QString blocker = QDir(Data().Dir()).filePath(QStringLiteral("blocker"));
    {
        QFile f(blocker);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    const QString previous = PhotoPath;
    PhotoPath = blocker + QStringLiteral("/photos");
    TTimeRec &w = OpenWindow();
    PhotoPath = previous;
    ASSERT_EQ(Messages().Count(), 1);
    EXPECT_EQ(Messages().Last().text,
              QStringLiteral("Cannot create directory: ") + blocker + QStringLiteral("/photos"));
    EXPECT_EQ(Messages().Last().kind, MsgKind::Error);
    EXPECT_EQ(w.Clock(), nullptr); // the rest of the creation did not run
    EXPECT_FALSE(w.TerminateRequested());
    ASSERT_NE(w.Core(), nullptr);
    EXPECT_FALSE(w.Core()->ReconnectEnabled());
}

TEST_F(StartupTest, HideOnStartupStartsInTheTray)
{
    for (const bool hide : {false, true}) {
        SCOPED_TRACE(hide);
        WriteRegBool(QStringLiteral("HideOnStartup"), hide);
        TTimeRec &w = OpenWindow();
        EXPECT_EQ(w.StartupShowMainForm(), !hide);
        EXPECT_EQ(w.findChild<QAction *>(QStringLiteral("actHideIt"))->isChecked(), hide);
        EXPECT_FALSE(w.isVisible());
        EXPECT_TRUE(w.TrayIcon1()->IsLoaded());
        if (hide) {
            // A swipe while hidden; "Show Tallyclock" brings the window back with the count.
            AddLog(QDateTime(QDate(2026, 4, 1), QTime(7, 0)), 9);
            w.findChild<QGroupBox *>(QStringLiteral("logs"))->setTitle(QString());
            w.ShowTimeRecorder1Click();
            EXPECT_TRUE(w.isVisible());
            EXPECT_EQ(w.findChild<QGroupBox *>(QStringLiteral("logs"))->title(),
                      QStringLiteral("1 record(s)"));
        }
        CloseWindow();
    }
}

TEST_F(StartupTest, ClosingSavesPlacementWidthsAndHideOnStartupForTheNextStart)
{
    {
        TTimeRec &w = OpenWindow();
        w.show();
        w.setGeometry(40, 60, 700, 560);
        auto *grid = w.findChild<QTableView *>(QStringLiteral("info"));
        const int widths[] = {210, 170, 90, 80, 70};
        for (int c = 0; c < 5; ++c)
            grid->setColumnWidth(c, widths[c]);
        w.findChild<QAction *>(QStringLiteral("actHideIt"))->setChecked(true);
        w.xexitClick();
        EXPECT_FALSE(w.isVisible());
        EXPECT_EQ(w.Core(), nullptr); // readers freed
        EXPECT_FALSE(dsrc->att.IsOpen());
        CloseWindow();
    }
    EXPECT_TRUE(ReadRegBool(QStringLiteral("HideOnStartup"), false));
    EXPECT_EQ(ReadRegInteger(QStringLiteral("MainForm_WIDTH"), 0), 700);
    EXPECT_EQ(ReadRegInteger(QStringLiteral("MainForm_HEIGHT"), 0), 560);
    EXPECT_FALSE(ReadRegBool(QStringLiteral("MainForm_MAX"), true));
    EXPECT_EQ(ReadRegInteger(QStringLiteral("InfoGrid_0"), 0), 210);
    EXPECT_EQ(ReadRegInteger(QStringLiteral("InfoGrid_4"), 0), 70);

    Data().ReopenDatabases();
    TTimeRec &again = OpenWindow();
    EXPECT_FALSE(again.StartupShowMainForm());
    EXPECT_EQ(again.size(), QSize(700, 560));
    auto *grid = again.findChild<QTableView *>(QStringLiteral("info"));
    const int widths[] = {210, 170, 90, 80, 70};
    for (int c = 0; c < 5; ++c)
        EXPECT_EQ(grid->columnWidth(c), widths[c]) << c;
}

TEST_F(StartupTest, HideOnStartupCommandIsStoredAtOnce)
{
    TTimeRec &w = OpenWindow();
    w.actHideItExecute();
    EXPECT_TRUE(ReadRegBool(QStringLiteral("HideOnStartup"), false));
    w.actHideItExecute();
    EXPECT_FALSE(ReadRegBool(QStringLiteral("HideOnStartup"), true));
}

TEST_F(StartupTest, HideToSystrayAndBackByDoubleClick)
{
    TTimeRec &w = OpenWindow();
    w.show();
    AddLog(QDateTime(QDate(2026, 4, 1), QTime(7, 0)), 9);
    w.findChild<QGroupBox *>(QStringLiteral("logs"))->setTitle(QString());
    w.xhideClick();
    EXPECT_FALSE(w.isVisible());
    EXPECT_NE(w.Core(), nullptr); // hiding ends nothing
    w.TrayIcon1()->HandleTrayMessage(TTrayIcon::MsgLeftDblClick);
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(w.findChild<QGroupBox *>(QStringLiteral("logs"))->title(),
              QStringLiteral("1 record(s)"));
    // "Exit" from the tray while the window is hidden still shuts the desk down.
    w.xhideClick();
    w.xexitClick();
    EXPECT_EQ(w.Core(), nullptr);
    EXPECT_FALSE(dsrc->att.IsOpen());
}

TEST_F(StartupTest, ExitWhileStartedHiddenShutsDown)
{
    WriteRegBool(QStringLiteral("HideOnStartup"), true);
    TTimeRec &w = OpenWindow();
    ASSERT_FALSE(w.StartupShowMainForm());
    w.xexitClick();
    EXPECT_EQ(w.Core(), nullptr);
    EXPECT_FALSE(dsrc->att.IsOpen());
    EXPECT_TRUE(ReadRegBool(QStringLiteral("HideOnStartup"), false));
    EXPECT_GE(ReadRegInteger(QStringLiteral("InfoGrid_0"), 0), 185);
    EXPECT_EQ(ReadRegInteger(QStringLiteral("InfoGrid_1"), 0), 165);
}

TEST_F(StartupTest, SpeechCommandOpensTheSpeechOptions)
{
    TTimeRec &w = OpenWindow();
    for (const bool ok : {false, true}) {
        QString title;
        w.SetDialogRunner([&](QDialog &dialog) {
            title = dialog.windowTitle();
            dialog.findChild<QCheckBox *>(QStringLiteral("cbenable"))->setChecked(true);
            if (ok)
                dialog.findChild<QPushButton *>(QStringLiteral("OKBtn"))->click();
            return dialog.result();
        });
        w.actspeechExecute();
        EXPECT_EQ(title, QStringLiteral("Speech Options"));
        EXPECT_EQ(ReadRegBool(QStringLiteral("SpeechEnable"), false), ok);
    }
}

TEST_F(StartupTest, StartsLoggedOutWithTheProtectedCommandsDisabled)
{
    TTimeRec &w = OpenWindow();
    EXPECT_FALSE(w.IsLoggedIn());
    const char *protectedCommands[] = {"xhide",           "actHideIt", "xdelete",
                                       "actxerasestaffs", "actDelRec", "actspeech"};
    for (const char *name : protectedCommands)
        EXPECT_FALSE(w.findChild<QAction *>(QString::fromLatin1(name))->isEnabled()) << name;
    for (const char *name : {"xexit", "ShowTimeRecorder1"})
        EXPECT_TRUE(w.findChild<QAction *>(QString::fromLatin1(name))->isEnabled()) << name;
    w.SetLoggedIn(true);
    for (const char *name : protectedCommands)
        EXPECT_TRUE(w.findChild<QAction *>(QString::fromLatin1(name))->isEnabled()) << name;
}

TEST_F(StartupTest, LayoutMenusStatusBarAndTrayMenu)
{
    TTimeRec &w = OpenWindow();
    w.resize(700, 560);
    w.show();
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Tallyclock"));
    EXPECT_EQ(w.minimumSize(), QSize(320, 504));

    const auto geometryOf = [&w](const char *name) {
        QWidget *child = w.findChild<QWidget *>(QString::fromLatin1(name));
        EXPECT_NE(child, nullptr) << name;
        return child ? QRect(child->mapTo(&w, QPoint(0, 0)), child->size()) : QRect();
    };
    const QRect clk = geometryOf("clk");
    const QRect photo = geometryOf("gbphoto");
    const QRect logs = geometryOf("logs");
    EXPECT_LT(clk.right(), photo.left());
    EXPECT_GE(logs.top(), clk.bottom());
    EXPECT_GE(logs.top(), photo.bottom());
    EXPECT_EQ(geometryOf("xphoto").size(), QSize(120, 160));
    EXPECT_EQ(w.findChild<QGroupBox *>(QStringLiteral("logs"))->title(),
              QStringLiteral("no record"));
    EXPECT_FALSE(w.findChild<QWidget *>(QStringLiteral("gbcapture"))->isVisible());
    EXPECT_FALSE(w.findChild<QWidget *>(QStringLiteral("bDoorOpen"))->isVisible());
    EXPECT_FALSE(w.findChild<QWidget *>(QStringLiteral("pancap"))->isVisible());

    QStringList menus;
    for (QAction *a : w.menuBar()->actions())
        if (a->isVisible())
            menus << a->text();
    EXPECT_EQ(menus, (QStringList{QStringLiteral("&Actions"), QStringLiteral("&Database"),
                                  QStringLiteral("&Setup"), QStringLiteral("Card &Manager"),
                                  QStringLiteral("&Reports")}));

    EXPECT_EQ(w.StatusPanel(0)->width(), 200);
    EXPECT_GT(w.StatusPanel(1)->width(), 50); // the last panel takes the rest of the bar
    QStringList tray;
    for (QAction *a : w.TrayMenu()->actions())
        tray << (a->isSeparator() ? QStringLiteral("-") : a->text());
    EXPECT_EQ(tray, (QStringList{QStringLiteral("About Tallyclock"), QStringLiteral("-"),
                                 QStringLiteral("Login"), QStringLiteral("-"),
                                 QStringLiteral("Open Door"), QStringLiteral("-"),
                                 QStringLiteral("Show Tallyclock"), QStringLiteral("-"),
                                 QStringLiteral("Exit")}));
    ASSERT_EQ(w.GridMenu()->actions().size(), 1);
    EXPECT_EQ(w.GridMenu()->actions().first()->text(),
              QStringLiteral("Delete this Attendance Record"));

    // The one-second tick writes the status clock.
    w.Core()->Timer2Timer();
    EXPECT_FALSE(w.StatusPanel(0)->text().isEmpty());

    CloseWindow();

    // With the IN/OUT panel and the door button switched on, both sit under the photo.
    WriteRegBool(QStringLiteral("AutoInOut"), true);
    WriteRegBool(QStringLiteral("DoorOpenEnable"), true);
    AddLog(QDateTime(QDate(2026, 4, 1), QTime(7, 0)), 9);
    TTimeRec &on = OpenWindow();
    on.resize(700, 560);
    on.show();
    const auto place = [&on](const char *name) {
        QWidget *child = on.findChild<QWidget *>(QString::fromLatin1(name));
        return QRect(child->mapTo(&on, QPoint(0, 0)), child->size());
    };
    auto *io = on.findChild<QLabel *>(QStringLiteral("iopanel"));
    auto *door = on.findChild<QPushButton *>(QStringLiteral("bDoorOpen"));
    EXPECT_TRUE(io->isVisible());
    EXPECT_TRUE(io->text() == QStringLiteral("IN") || io->text() == QStringLiteral("OUT"));
    EXPECT_EQ(io->font().pixelSize(), 30);
    EXPECT_TRUE(door->isVisible());
    EXPECT_EQ(door->text(), QStringLiteral("COM1 -> OPEN"));
    EXPECT_GE(place("iopanel").top(), place("gbphoto").bottom());
    EXPECT_GE(place("bDoorOpen").top(), place("iopanel").bottom());
    EXPECT_EQ(on.findChild<QGroupBox *>(QStringLiteral("logs"))->title(),
              QStringLiteral("1 record(s)"));

    const QByteArray shot = qgetenv("TALLYCLOCK_WINDOW_PNG");
    if (!shot.isEmpty())
        on.grab().save(QString::fromLocal8Bit(shot));
}

} // namespace
