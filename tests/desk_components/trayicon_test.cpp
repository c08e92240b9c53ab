// The tray icon as an object: clicks against the double-click time, the mapping of tray
// activity to events, icon cycling, start-up hidden in the tray and back, and the hint.
// The offscreen platform has no notification area; the logic must work all the same.

#include "desk/trayicon.h"
#include "testsupport/paramname.h"
#include "testsupport/spin.h"

#include <QAction>
#include <QCoreApplication>
#include <QCursor>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QMenu>
#include <QStyleHints>
#include <QWidget>
#include <gtest/gtest.h>

namespace {

int doubleClickTime()
{
    return QGuiApplication::styleHints()->mouseDoubleClickInterval();
}

const char *buttonName(Qt::MouseButton button)
{
    switch (button) {
    case Qt::LeftButton:
        return "L";
    case Qt::RightButton:
        return "R";
    case Qt::MiddleButton:
        return "M";
    default:
        return "?";
    }
}

// A tray icon on a main window with every event written to a log.
class TrayIconTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        tray = std::make_unique<TTrayIcon>(&window);
        tray->SetOnClick([this](TTrayIcon *) { log << QStringLiteral("click"); });
        tray->SetOnDblClick([this](TTrayIcon *) { log << QStringLiteral("dblclick"); });
        tray->SetOnMouseDown([this](TTrayIcon *, Qt::MouseButton b, TShiftState, int, int) {
            log << QStringLiteral("down %1").arg(QLatin1String(buttonName(b)));
        });
        tray->SetOnMouseUp([this](TTrayIcon *, Qt::MouseButton b, TShiftState, int, int) {
            log << QStringLiteral("up %1").arg(QLatin1String(buttonName(b)));
        });
        tray->SetOnBalloonHintShow([this](TTrayIcon *) { log << QStringLiteral("balloon show"); });
        tray->SetOnBalloonHintHide([this](TTrayIcon *) { log << QStringLiteral("balloon hide"); });
        tray->SetOnBalloonHintTimeout(
            [this](TTrayIcon *) { log << QStringLiteral("balloon timeout"); });
        tray->SetOnBalloonHintClick(
            [this](TTrayIcon *) { log << QStringLiteral("balloon click"); });
    }
    void TearDown() override { tray.reset(); }

    QWidget window;
    std::unique_ptr<TTrayIcon> tray;
    QStringList log;
};

TEST_F(TrayIconTest, SingleClickArrivesOnlyAfterTheDoubleClickTime)
{
    QElapsedTimer sinceClick;
    qint64 clickedAfter = -1;
    tray->SetOnClick([&](TTrayIcon *) { clickedAfter = sinceClick.elapsed(); });
    sinceClick.start();
    emit tray->SystemTrayIcon()->activated(QSystemTrayIcon::Trigger);
    EXPECT_TRUE(tray->ClickPending());
    EXPECT_EQ(clickedAfter, -1) << "no click before the double-click time";
    EXPECT_EQ(log, QStringList({QStringLiteral("down L"), QStringLiteral("up L")}));

    ASSERT_TRUE(SpinUntil([&] { return clickedAfter >= 0; }, doubleClickTime() + 2000));
    EXPECT_GE(clickedAfter, doubleClickTime() - 20);
    EXPECT_FALSE(tray->ClickPending());
    SpinFor(doubleClickTime() + 100);
    EXPECT_EQ(log.size(), 2) << "the click timer fires once";
}

TEST_F(TrayIconTest, DoubleClickNeverAlsoGivesASingleClick)
{
    emit tray->SystemTrayIcon()->activated(QSystemTrayIcon::Trigger);
    emit tray->SystemTrayIcon()->activated(QSystemTrayIcon::DoubleClick);
    EXPECT_FALSE(tray->ClickPending());
    SpinFor(doubleClickTime() + 150);
    EXPECT_EQ(log, QStringList({QStringLiteral("down L"), QStringLiteral("up L"),
                                QStringLiteral("dblclick"), QStringLiteral("up L")}));
}

TEST_F(TrayIconTest, WithoutAClickHandlerNoClickIsTimed)
{
    tray->SetOnClick({});
    tray->HandleTrayMessage(TTrayIcon::MsgLeftDown);
    EXPECT_FALSE(tray->ClickPending());
}

struct MessageCase
{
    const char *name;
    int message;
    const char *logged; // empty: nothing
};

class TrayMessages : public TrayIconTest, public ::testing::WithParamInterface<MessageCase>
{
};

TEST_P(TrayMessages, BecomeTheirEvents)
{
    tray->HandleTrayMessage(GetParam().message);
    const QString expected = QString::fromLatin1(GetParam().logged);
    EXPECT_EQ(log, expected.isEmpty() ? QStringList() : QStringList{expected});
}

INSTANTIATE_TEST_SUITE_P(
    Table, TrayMessages,
    ::testing::Values(MessageCase{"LeftUp", TTrayIcon::MsgLeftUp, "up L"},
                      MessageCase{"RightDown", TTrayIcon::MsgRightDown, "down R"},
                      MessageCase{"RightUp", TTrayIcon::MsgRightUp, "up R"},
                      MessageCase{"MiddleDown", TTrayIcon::MsgMiddleDown, "down M"},
                      MessageCase{"MiddleUp", TTrayIcon::MsgMiddleUp, "up M"},
                      MessageCase{"ContextMenuIsRightUp", TTrayIcon::MsgContextMenu, "up R"},
                      MessageCase{"SelectIsRightUp", TTrayIcon::MsgSelect, "up R"},
                      MessageCase{"KeySelectIsRightUp", TTrayIcon::MsgKeySelect, "up R"},
                      MessageCase{"RightDoubleClickIgnored", TTrayIcon::MsgRightDblClick, ""},
                      MessageCase{"MiddleDoubleClickIgnored", TTrayIcon::MsgMiddleDblClick, ""},
                      MessageCase{"BalloonShown", TTrayIcon::MsgBalloonShow, "balloon show"},
                      MessageCase{"BalloonHidden", TTrayIcon::MsgBalloonHide, "balloon hide"},
                      MessageCase{"BalloonTimedOut", TTrayIcon::MsgBalloonTimeout,
                                  "balloon timeout"},
                      MessageCase{"BalloonClicked", TTrayIcon::MsgBalloonClick, "balloon click"},
                      MessageCase{"UnknownIgnored", 0x999, ""}),
    ParamName());

TEST_F(TrayIconTest, TrayActivationsBecomeButtonPairs)
{
    emit tray->SystemTrayIcon()->activated(QSystemTrayIcon::Context);
    emit tray->SystemTrayIcon()->activated(QSystemTrayIcon::MiddleClick);
    emit tray->SystemTrayIcon()->activated(QSystemTrayIcon::Unknown);
    emit tray->SystemTrayIcon()->messageClicked();
    EXPECT_EQ(log, QStringList({QStringLiteral("down R"), QStringLiteral("up R"),
                                QStringLiteral("down M"), QStringLiteral("up M"),
                                QStringLiteral("balloon click")}));
}

TEST_F(TrayIconTest, DoubleClickRunsTheMenusDefaultItemAfterTheHandler)
{
    QMenu menu;
    QAction *show = menu.addAction(QStringLiteral("Show Tallyclock"));
    QAction *exit = menu.addAction(QStringLiteral("Exit"));
    QObject::connect(show, &QAction::triggered, [this] { log << QStringLiteral("show"); });
    QObject::connect(exit, &QAction::triggered, [this] { log << QStringLiteral("exit"); });
    tray->SetPopupMenu(&menu);
    tray->HandleTrayMessage(TTrayIcon::MsgLeftDblClick);
    EXPECT_EQ(log, QStringList{QStringLiteral("dblclick")}) << "no default item, nothing run";

    log.clear();
    menu.setDefaultAction(show);
    tray->HandleTrayMessage(TTrayIcon::MsgLeftDblClick);
    EXPECT_EQ(log, QStringList({QStringLiteral("dblclick"), QStringLiteral("show")}));
}

TEST_F(TrayIconTest, AHandlerMayDestroyTheIcon)
{
    // "Exit" from a double click closes the window and frees the icon mid-event.
    tray->SetOnDblClick([this](TTrayIcon *) { tray.reset(); });
    QMenu menu;
    menu.setDefaultAction(menu.addAction(QStringLiteral("Exit")));
    tray->SetPopupMenu(&menu);
    emit tray->SystemTrayIcon()->activated(QSystemTrayIcon::DoubleClick);
    EXPECT_EQ(tray, nullptr);
}

TEST_F(TrayIconTest, CyclesThroughFourImagesAndWraps)
{
    const QList<QIcon> frames = DeskTrayIconFrames();
    ASSERT_EQ(frames.size(), 4);
    QList<int> cycled;
    QList<int> shown;
    tray->SetOnCycle([&](TTrayIcon *t, int next) {
        cycled << next;
        shown << t->IconIndex();
    });
    tray->SetIconList(frames);
    tray->SetCycleInterval(25);
    tray->SetCycleIcons(true);
    tray->SetIconIndex(2);
    SpinFor(100);
    EXPECT_TRUE(cycled.isEmpty()) << "nothing cycles before the window has loaded";

    tray->Loaded();
    EXPECT_EQ(tray->IconIndex(), 0) << "cycling starts from the first image";
    ASSERT_TRUE(SpinUntil([&] { return cycled.size() >= 6; }, 3000));
    EXPECT_EQ(cycled.mid(0, 6), QList<int>({1, 2, 3, 0, 1, 2}));
    EXPECT_EQ(shown.mid(0, 6), QList<int>({0, 1, 2, 3, 0, 1})) << "OnCycle runs before the change";
    EXPECT_EQ(tray->SystemTrayIcon()->icon().cacheKey(), frames.at(tray->IconIndex()).cacheKey());

    tray->SetCycleIcons(false);
    const qsizetype stoppedAt = cycled.size();
    SpinFor(120);
    EXPECT_EQ(cycled.size(), stoppedAt);
}

TEST_F(TrayIconTest, AtFiveHundredMillisecondsTheIconChangesTwiceASecond)
{
    int cycles = 0;
    tray->SetOnCycle([&](TTrayIcon *, int) { ++cycles; });
    tray->SetIconList(DeskTrayIconFrames());
    tray->SetCycleInterval(500);
    tray->SetCycleIcons(true);
    tray->Loaded();
    SpinFor(1250);
    EXPECT_EQ(cycles, 2);
}

TEST_F(TrayIconTest, IconIndexClampsToTheImageList)
{
    tray->SetIconIndex(5);
    EXPECT_EQ(tray->IconIndex(), 0) << "no list";
    const QList<QIcon> frames = DeskTrayIconFrames();
    tray->SetIconList(frames);
    const std::pair<int, int> cases[] = {{-3, 0}, {2, 2}, {3, 3}, {4, 3}, {100, 3}};
    for (const auto &[asked, got] : cases) {
        tray->SetIconIndex(asked);
        EXPECT_EQ(tray->IconIndex(), got) << asked;
        EXPECT_EQ(tray->Icon().cacheKey(), frames.at(got).cacheKey()) << asked;
    }
}

TEST_F(TrayIconTest, StartupHiddenThenDoubleClickBringsTheWindowBack)
{
    window.setWindowState(Qt::WindowMinimized);
    tray->SetIconVisible(true);
    tray->SetOnStartup([](TTrayIcon *, bool &show) { show = false; });
    tray->SetOnDblClick([](TTrayIcon *t) { t->ShowMainForm(); });
    EXPECT_FALSE(tray->IconShown()) << "the icon is added when the window has loaded";

    tray->Loaded();
    EXPECT_FALSE(tray->StartupShowMainForm());
    EXPECT_FALSE(window.isVisible());
    EXPECT_TRUE(tray->IconShown()) << "the program lives in the tray";

    emit tray->SystemTrayIcon()->activated(QSystemTrayIcon::DoubleClick);
    EXPECT_TRUE(window.isVisible());
    EXPECT_FALSE(window.isMinimized());
    EXPECT_TRUE(tray->IconShown()) << "showing the window keeps the icon";

    tray->HideMainForm();
    EXPECT_FALSE(window.isVisible());
    EXPECT_TRUE(tray->IconShown());
}

TEST_F(TrayIconTest, StartupShowsTheWindowUnlessTheHandlerSaysNo)
{
    bool asked = false;
    tray->SetOnStartup([&](TTrayIcon *, bool &show) { asked = show; });
    tray->Loaded();
    EXPECT_TRUE(asked) << "the handler is offered true";
    EXPECT_TRUE(tray->StartupShowMainForm());
}

TEST_F(TrayIconTest, HintIsCutToTheTipLengthAndHiddenWithShowHintOff)
{
    tray->SetIconVisible(true);
    tray->Loaded();
    const QString longHint(200, QLatin1Char('h'));
    tray->SetHint(longHint);
    EXPECT_EQ(tray->SystemTrayIcon()->toolTip(), longHint.left(127));
    tray->SetShowHint(false);
    EXPECT_TRUE(tray->SystemTrayIcon()->toolTip().isEmpty());
    tray->SetShowHint(true);
    tray->SetHint(QStringLiteral("Tallyclock"));
    EXPECT_EQ(tray->SystemTrayIcon()->toolTip(), QStringLiteral("Tallyclock"));
}

TEST_F(TrayIconTest, EnterOnFirstMoveAndExitOnceTheCursorLeaves)
{
    int enters = 0;
    int exits = 0;
    int moves = 0;
    tray->SetOnMouseMove([&](TTrayIcon *, TShiftState, int, int) { ++moves; });
    tray->SetOnMouseEnter([&](TTrayIcon *) { ++enters; });
    tray->SetOnMouseExit([&](TTrayIcon *) { ++exits; });
    tray->SetWantEnterExitEvents(true);
    tray->Loaded();

    QCursor::setPos(10, 10);
    if (QCursor::pos() != QPoint(10, 10))
        GTEST_SKIP() << "this platform cannot place the cursor";
    tray->HandleTrayMessage(TTrayIcon::MsgMouseMove);
    tray->HandleTrayMessage(TTrayIcon::MsgMouseMove);
    SpinFor(80);
    EXPECT_EQ(moves, 2);
    EXPECT_EQ(enters, 1);
    EXPECT_EQ(exits, 0) << "the cursor is still on the icon";

    QCursor::setPos(300, 200);
    ASSERT_TRUE(SpinUntil([&] { return exits > 0; }, 1000));
    SpinFor(80);
    EXPECT_EQ(exits, 1);
    tray->HandleTrayMessage(TTrayIcon::MsgMouseMove);
    EXPECT_EQ(enters, 2) << "a new visit enters again";
}

TEST_F(TrayIconTest, MinimizeToTrayHidesTheMinimisedWindow)
{
    int minimised = 0;
    tray->SetOnMinimizeToTray([&](TTrayIcon *) { ++minimised; });
    window.show();
    window.setWindowState(Qt::WindowMinimized);
    SpinFor(30);
    EXPECT_EQ(minimised, 0) << "off by default, as the main window leaves it";
    EXPECT_TRUE(window.isVisible());

    window.setWindowState(Qt::WindowNoState);
    tray->SetMinimizeToTray(true);
    window.setWindowState(Qt::WindowMinimized);
    SpinFor(30);
    EXPECT_EQ(minimised, 1);
    EXPECT_FALSE(window.isVisible());
}

} // namespace
