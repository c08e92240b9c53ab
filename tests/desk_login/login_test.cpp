// "Login", "Logout", "Set Password" and "About Tallyclock" on the main window, the protected
// commands they lock and unlock, and where the password must never show up.

#include "loginfixture.h"
#include "store/passwd.h"
#include "testsupport/commandlookup.h"

#include <QApplication>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QSettings>
#include <QStatusBar>
#include <QTableView>
#include <functional>

namespace {

// Every command a user can reach: the menu bar's menus, the tray menu and the grid's popup.
// A hidden item cannot be reached (Qt also keeps a hidden action disabled).
QList<QAction *> reachableCommands(TTimeRec &w)
{
    QList<QAction *> all;
    std::function<void(QMenu *)> walk = [&](QMenu *menu) {
        for (QAction *a : menu->actions()) {
            if (a->menu())
                walk(a->menu());
            else if (!a->isSeparator() && a->isVisible() && !all.contains(a))
                all << a;
        }
    };
    for (QAction *a : w.menuBar()->actions())
        if (a->menu())
            walk(a->menu());
    walk(w.TrayMenu());
    walk(w.GridMenu());
    return all;
}

QStringList kindsSeen(const DialogScript &script)
{
    QStringList kinds;
    for (const SeenDialog &d : script.Seen())
        kinds << d.kind;
    return kinds;
}

// Commands that work logged out too; "Login" and "Logout" swap, the rest stays as it is.
const QStringList AlwaysAvailable = {
    QStringLiteral("Set Password"), QStringLiteral("Exit"), QStringLiteral("About Tallyclock"),
    QStringLiteral("Show Tallyclock"), QStringLiteral("Open Door")};

TEST_F(LoginTest, ProtectedCommandsFollowLoginAndLogout)
{
    TTimeRec &w = OpenScriptedWindow();
    const QList<QAction *> commands = reachableCommands(w);
    const QList<QAction *> locked = w.ProtectedCommands();
    ASSERT_FALSE(locked.isEmpty());
    for (QAction *a : locked)
        EXPECT_EQ(locked.count(a), 1) << a->text().toStdString();

    const auto expectState = [&](bool loggedIn) {
        const std::string when = loggedIn ? " (logged in)" : " (logged out)";
        EXPECT_EQ(w.IsLoggedIn(), loggedIn);
        for (QAction *a : commands) {
            const QString text = a->text();
            if (text == QStringLiteral("Login")) {
                EXPECT_EQ(a->isEnabled(), !loggedIn) << a->objectName().toStdString() << when;
            } else if (text == QStringLiteral("Logout")) {
                EXPECT_EQ(a->isEnabled(), loggedIn) << when;
            } else if (AlwaysAvailable.contains(text)) {
                EXPECT_FALSE(locked.contains(a)) << text.toStdString();
                if (text != QStringLiteral("Open Door")) { // follows the door button instead
                    EXPECT_TRUE(a->isEnabled()) << text.toStdString() << when;
                }
            } else {
                // Anything else a user can reach is locked: a new command left off the
                // protected list shows up here.
                EXPECT_TRUE(locked.contains(a)) << text.toStdString() << " is not protected";
                EXPECT_EQ(a->isEnabled(), loggedIn) << text.toStdString() << when;
            }
        }
        EXPECT_TRUE(w.findChild<QWidget *>(QStringLiteral("bDoorOpen"))->isEnabled()) << when;
    };

    const QStringList texts = [&] {
        QStringList t;
        for (QAction *a : commands)
            t << a->text();
        return t;
    }();
    for (const char *needed : {"Login", "Logout", "Set Password", "About Tallyclock"})
        EXPECT_GE(texts.count(QString::fromLatin1(needed)), 1) << needed;
    EXPECT_EQ(texts.count(QStringLiteral("Login")), 2);            // the menu's and the tray's
    EXPECT_EQ(texts.count(QStringLiteral("About Tallyclock")), 1); // one command, two menus
    EXPECT_EQ(w.TrayMenu()->actions().first()->text(), QStringLiteral("About Tallyclock"));

    expectState(false);
    Command(w, "actLogin")->trigger();
    ASSERT_EQ(Messages().Count(), 1);
    expectState(true);
    Command(w, "actLogout")->trigger();
    expectState(false);
    Command(w, "popLogin")->trigger();
    expectState(true);
    w.actLogoutExecute();
    expectState(false);
    EXPECT_TRUE(Script().Seen().isEmpty());
}

TEST_F(LoginTest, FreshDatabaseLoginNeedsNoPasswordAndBringsTheWindowUp)
{
    TTimeRec &w = OpenScriptedWindow();
    w.hide();
    Command(w, "popLogin")->trigger();
    ASSERT_EQ(Messages().Count(), 1);
    EXPECT_EQ(Messages().Last().text, QStringLiteral("No password registered yet."));
    EXPECT_EQ(Messages().Last().kind, MsgKind::Information);
    EXPECT_TRUE(Script().Seen().isEmpty()); // no password asked
    EXPECT_TRUE(w.IsLoggedIn());
    for (QAction *a : w.ProtectedCommands())
        if (a->isVisible()) // Qt keeps a hidden action disabled
            EXPECT_TRUE(a->isEnabled()) << a->text().toStdString();
    EXPECT_TRUE(w.isVisible());
    EXPECT_TRUE(StoredPasswords().isEmpty());
}

TEST_F(LoginTest, FirstSetPasswordSkipsTheOldOneAndStoresOneScrambledRow)
{
    TTimeRec &w = OpenScriptedWindow();
    Script().Add(TypedTwice(QStringLiteral("Ab1"), QStringLiteral("Ab1")));
    Command(w, "actsetpasswd")->trigger(); // available while logged out
    EXPECT_EQ(kindsSeen(Script()), QStringList{QStringLiteral("newpass")});
    EXPECT_EQ(StoredPasswords(), QStringList{QStringLiteral("0B97FB")});
    ASSERT_EQ(Messages().Count(), 1);
    EXPECT_EQ(Messages().Last().text, QStringLiteral("New password registered."));
    EXPECT_EQ(Messages().Last().kind, MsgKind::Information);
    EXPECT_FALSE(dsrc->pwdtbl.Active());
    EXPECT_FALSE(w.IsLoggedIn()); // setting a password does not log in

    // From now on "Login" asks for it.
    Messages().Clear();
    Script().Add(Typed(QStringLiteral("Ab1")));
    w.actLoginExecute();
    ASSERT_EQ(Script().Seen().size(), 2);
    EXPECT_EQ(Script().Seen().last().kind, QStringLiteral("password"));
    EXPECT_EQ(Script().Seen().last().title, QStringLiteral("Password Dialog"));
    EXPECT_EQ(Messages().Count(), 0);
    EXPECT_TRUE(w.IsLoggedIn());
}

TEST_F(LoginTest, SecondSetPasswordAsksForTheOldOneAndOverwritesTheRow)
{
    StorePasswordRow(QStringLiteral("0B97FB")); // "Ab1"
    TTimeRec &w = OpenScriptedWindow();
    struct Case
    {
        const char *name;
        QList<DialogAnswer> answers;
        QStringList kinds;
        QString stored;
        QStringList messages;
    };
    const Case cases[] = {
        {"wrong old password, then given up",
         {DialogAnswer{{{QStringLiteral("ab1")}, {QStringLiteral("AB1")}}}},
         {QStringLiteral("password")},
         QStringLiteral("0B97FB"),
         {QStringLiteral("Password incorrect."), QStringLiteral("Password incorrect.")}},
        {"old password cancelled",
         {Cancelled()},
         {QStringLiteral("password")},
         QStringLiteral("0B97FB"),
         {}},
        {"new password cancelled",
         {Typed(QStringLiteral("Ab1")), Cancelled()},
         {QStringLiteral("password"), QStringLiteral("newpass")},
         QStringLiteral("0B97FB"),
         {}},
        {"new password retyped wrong, then given up",
         {Typed(QStringLiteral("Ab1")), TypedTwice(QStringLiteral("Zz9"), QStringLiteral("zz9"))},
         {QStringLiteral("password"), QStringLiteral("newpass")},
         QStringLiteral("0B97FB"),
         {QStringLiteral("Password inconsistant. Please re-enter it.")}},
        {"changed",
         {Typed(QStringLiteral("Ab1")), TypedTwice(QStringLiteral("Zz9"), QStringLiteral("Zz9"))},
         {QStringLiteral("password"), QStringLiteral("newpass")},
         QStringLiteral("EC5CF1"),
         {QStringLiteral("New password registered.")}},
    };
    for (const Case &c : cases) {
        m_script = DialogScript();
        w.SetDialogRunner(m_script.Runner());
        Messages().Clear();
        for (const DialogAnswer &a : c.answers)
            Script().Add(a);
        w.actsetpasswdExecute();
        EXPECT_EQ(kindsSeen(Script()), c.kinds) << c.name;
        ASSERT_FALSE(Script().Seen().isEmpty());
        EXPECT_EQ(Script().Seen().first().title, QStringLiteral("Old password")) << c.name;
        EXPECT_EQ(StoredPasswords(), QStringList{c.stored}) << c.name;
        EXPECT_EQ(Messages().Texts(), c.messages) << c.name;
        EXPECT_EQ(Script().Pending(), 0) << c.name;
        EXPECT_FALSE(w.IsLoggedIn()) << c.name;
        EXPECT_FALSE(dsrc->pwdtbl.Active()) << c.name;
    }
    // The old password no longer opens the desk; the new one does.
    m_script = DialogScript();
    w.SetDialogRunner(m_script.Runner());
    Script().Add(DialogAnswer{{{QStringLiteral("Ab1")}, {QStringLiteral("Zz9")}}});
    w.actLoginExecute();
    ASSERT_EQ(Script().Seen().size(), 1);
    EXPECT_EQ(Script().Seen().first().openAfterOk, (QList<bool>{true, false}));
    EXPECT_TRUE(w.IsLoggedIn());
}

TEST_F(LoginTest, PasswordInAnotherLetterCaseIsRefused)
{
    StorePasswordRow(QStringLiteral("EF9E9F579E50")); // "Secret"
    TTimeRec &w = OpenScriptedWindow();
    Script().Add(DialogAnswer{
        {{QStringLiteral("secret")}, {QStringLiteral("SECRET")}, {QStringLiteral("sECRET")}}});
    w.actLoginExecute();
    ASSERT_EQ(Script().Seen().size(), 1);
    EXPECT_EQ(Script().Seen().first().kind, QStringLiteral("password"));
    // The dialog stayed open after every wrong try, and Cancel ended it.
    EXPECT_EQ(Script().Seen().first().openAfterOk, (QList<bool>{true, true, true}));
    EXPECT_EQ(Script().Seen().first().result, QDialog::Rejected);
    EXPECT_EQ(Messages().Texts(), QStringList(3, QStringLiteral("Password incorrect.")));
    EXPECT_EQ(Messages().Last().kind, MsgKind::Error);
    EXPECT_FALSE(w.IsLoggedIn());
    for (QAction *a : w.ProtectedCommands())
        EXPECT_FALSE(a->isEnabled()) << a->text().toStdString();
    EXPECT_EQ(StoredPasswords(), QStringList{QStringLiteral("EF9E9F579E50")});
}

TEST_F(LoginTest, TwoEmptyEntriesRegisterAnEmptyPassword)
{
    TTimeRec &w = OpenScriptedWindow();
    Script().Add(TypedTwice(QString(), QString()));
    w.actsetpasswdExecute();
    EXPECT_EQ(StoredPasswords().size(), 1);
    EXPECT_EQ(Messages().Texts(), QStringList{QStringLiteral("New password registered.")});

    // A registered empty password is asked for, and an empty entry matches it.
    Messages().Clear();
    Script().Add(DialogAnswer{{{QStringLiteral(" ")}, {QString()}}});
    w.actLoginExecute();
    EXPECT_EQ(kindsSeen(Script()),
              (QStringList{QStringLiteral("newpass"), QStringLiteral("password")}));
    EXPECT_EQ(Messages().Texts(), QStringList{QStringLiteral("Password incorrect.")});
    EXPECT_TRUE(w.IsLoggedIn());
}

TEST_F(LoginTest, LoggedOutDoubleClickOnTheGridOpensNothing)
{
    AddLog(QDateTime(QDate(2026, 3, 4), QTime(9, 15)), 77);
    TTimeRec &w = OpenScriptedWindow();
    w.show();
    auto *grid = w.findChild<QTableView *>(QStringLiteral("info"));
    ASSERT_NE(grid, nullptr);
    const QPoint at = grid->visualRect(grid->model()->index(0, 0)).center();
    QMouseEvent dbl(QEvent::MouseButtonDblClick, QPointF(at),
                    QPointF(grid->viewport()->mapToGlobal(at)), Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
    QCoreApplication::sendEvent(grid->viewport(), &dbl);

    ASSERT_EQ(Messages().Count(), 1);
    EXPECT_EQ(Messages().Last().text, QStringLiteral("Feature disabled. Please Login to use it."));
    EXPECT_EQ(Messages().Last().kind, MsgKind::Information);
    EXPECT_TRUE(Script().Seen().isEmpty());
    for (QWidget *top : QApplication::topLevelWidgets())
        EXPECT_FALSE(top->isVisible() && qobject_cast<QDialog *>(top))
            << top->metaObject()->className();
    EXPECT_EQ(dsrc->logs.RecordCount(), 1);
}

TEST_F(LoginTest, DatabaseFailureWhileStoringIsReportedAndChangesNothing)
{
    struct Case
    {
        const char *name;
        const char *before;
        const char *refusal;
    };
    const Case cases[] = {
        {"first password", nullptr,
         "create trigger refuse before insert on passwd begin "
         "select raise(abort, 'disk full'); end"},
        {"changed password", "0B97FB",
         "create trigger refuse before update on passwd begin "
         "select raise(abort, 'disk full'); end"},
    };
    for (const Case &c : cases) {
        m_script = DialogScript();
        Messages().Clear();
        if (c.before)
            StorePasswordRow(QString::fromLatin1(c.before));
        dsrc->src.Exec(QString::fromLatin1(c.refusal));
        TTimeRec &w = OpenScriptedWindow();
        if (c.before)
            Script().Add(Typed(QStringLiteral("Ab1")));
        Script().Add(TypedTwice(QStringLiteral("Zz9"), QStringLiteral("Zz9")));
        w.actsetpasswdExecute();
        EXPECT_EQ(Messages().Texts(),
                  QStringList{QStringLiteral("Fail to update the database record. Please retry.")})
            << c.name;
        EXPECT_EQ(StoredPasswords(),
                  c.before ? QStringList{QString::fromLatin1(c.before)} : QStringList())
            << c.name;
        EXPECT_FALSE(dsrc->pwdtbl.Active()) << c.name;
        EXPECT_EQ(dsrc->pwdtbl.State(), TDataSetState::Inactive) << c.name;
        CloseWindow(); // closes the databases
        Data().ReopenDatabases();
        dsrc->src.Exec(QStringLiteral("drop trigger refuse; delete from passwd"));
    }
}

TEST_F(LoginTest, AboutCommandsOpenTheAboutBoxWhileLoggedOut)
{
    TTimeRec &w = OpenScriptedWindow();
    QAction *about = Command(w, "xabout");
    ASSERT_TRUE(about->isEnabled());
    about->trigger();
    w.TrayMenu()->actions().first()->trigger();
    ASSERT_EQ(Script().Seen().size(), 2);
    for (const SeenDialog &d : Script().Seen()) {
        EXPECT_EQ(d.kind, QStringLiteral("about"));
        EXPECT_EQ(d.title, QStringLiteral("About Tallyclock"));
        EXPECT_TRUE(d.wordWrap);
        EXPECT_EQ(d.result, QDialog::Accepted);
    }
    EXPECT_FALSE(w.IsLoggedIn());
    EXPECT_EQ(Messages().Count(), 0);
}

// Keeps every line Qt logs while it lives.
class LogCapture
{
public:
    LogCapture() : m_previous(qInstallMessageHandler(&LogCapture::handler)) { s_lines.clear(); }
    ~LogCapture() { qInstallMessageHandler(m_previous); }
    LogCapture(const LogCapture &) = delete;
    LogCapture &operator=(const LogCapture &) = delete;
    static QString All() { return s_lines.join(QLatin1Char('\n')); }

private:
    static void handler(QtMsgType, const QMessageLogContext &, const QString &message)
    {
        s_lines << message;
    }
    static inline QStringList s_lines;
    QtMessageHandler m_previous;
};

TEST_F(LoginTest, PasswordNeverReachesTheLogSettingsOrStatusBar)
{
    const QString first = QStringLiteral("Zq7Secret");
    const QString wrong = QStringLiteral("zq7secret");
    const QString second = QStringLiteral("Pw2Other");
    QStringList secrets;
    for (const QString &p : {first, wrong, second}) {
        QString scrambled;
        ScrambleHex(p, scrambled);
        secrets << p << scrambled;
    }

    LogCapture log;
    QStringList statusTexts;
    {
        TTimeRec &w = OpenScriptedWindow();
        QObject::connect(w.statusBar(), &QStatusBar::messageChanged,
                         [&statusTexts](const QString &text) { statusTexts << text; });
        Script().Add(TypedTwice(first, first));
        w.actsetpasswdExecute();
        Script().Add(DialogAnswer{{{wrong}, {first}}});
        w.actLoginExecute();
        ASSERT_TRUE(w.IsLoggedIn());
        Script().Add(Typed(first));
        Script().Add(TypedTwice(second, second));
        w.actsetpasswdExecute();
        w.actLogoutExecute();
        qWarning("a line that must be captured");
        for (int i = 0; i < 2; ++i)
            statusTexts << w.StatusPanel(i)->text();
        statusTexts << w.statusBar()->currentMessage();
        CloseWindow(); // saves its settings
    }
    QString stored;
    ScrambleHex(second, stored);
    ASSERT_EQ(StoredPasswords(), QStringList{stored}); // the flow did run

    QSettings settings(QStringLiteral("ZUVI"), QStringLiteral("Tallyclock"));
    settings.sync();
    QString settingsText;
    for (const QString &key : settings.allKeys())
        settingsText += key + QLatin1Char('=') + settings.value(key).toString() + QLatin1Char('\n');
    QFile file(settings.fileName());
    if (file.open(QIODevice::ReadOnly))
        settingsText += QString::fromUtf8(file.readAll());

    ASSERT_TRUE(LogCapture::All().contains(QStringLiteral("a line that must be captured")));
    const QString messages = Messages().Texts().join(QLatin1Char('\n'));
    const QString status = statusTexts.join(QLatin1Char('\n'));
    for (const QString &secret : secrets) {
        EXPECT_FALSE(LogCapture::All().contains(secret)) << secret.toStdString();
        EXPECT_FALSE(settingsText.contains(secret)) << secret.toStdString();
        EXPECT_FALSE(status.contains(secret)) << secret.toStdString();
        EXPECT_FALSE(messages.contains(secret)) << secret.toStdString();
    }
}

} // namespace
