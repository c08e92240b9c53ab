// The window's panels as a person uses them: a click on the IN/OUT panel turns the direction of
// the next swipe at a real simulated reader, and the status bar's last panel shows the e-mail
// state in full.

#include "desk/deskcore.h"
#include "windowfixture.h"

#include "store/clock.h"
#include "store/settings.h"
#include "testsupport/paramname.h"
#include "testsupport/readersim.h"
#include "testsupport/spin.h"

#include <QDialog>
#include <QLabel>
#include <QStatusBar>
#include <QTableView>
#include <QTest>
#include <gtest/gtest.h>

namespace {

const QDateTime Morning(QDate(2026, 3, 5), QTime(10, 0, 0));

class PanelsTest : public WindowTest
{
protected:
    void TearDown() override
    {
        m_window.reset();
        if (m_sim)
            m_sim->Stop();
        m_sim.reset();
        PinClock(QDateTime());
        WindowTest::TearDown();
    }

    // Port 1 is an enabled time clock with its own lock, on a simulated reader; the schedule is
    // empty, so the direction by schedule is OUT.
    ReaderSim &AttachClockReader()
    {
        m_sim = std::make_unique<ReaderSim>();
        EXPECT_TRUE(m_sim->Start()) << m_sim->ErrorText();
        WriteRegString(QStringLiteral("COM1Device"), QString::fromStdString(m_sim->DevicePath()));
        dsrc->src.Exec(QStringLiteral(
            "UPDATE reader SET ENABLE=1, MODE=0, OUTPORT=1, BPPORT=1 WHERE PORTNO=1"));
        dsrc->src.Exec(QStringLiteral("DELETE FROM iotime"));
        dsrc->Qiotime.Refresh();
        return *m_sim;
    }

    static void TickAt(TTimeRec &w, const QDateTime &t)
    {
        PinClock(t);
        w.Core()->Timer2Timer();
    }

    // Presents a card and answers the MODE of the row it left.
    static int SwipeMode(ReaderSim &sim, int card)
    {
        const int before = dsrc->logs.RecordCount();
        sim.SendCard(card);
        if (!SpinUntil([before] { return dsrc->logs.RecordCount() > before; }, 3000))
            return -1;
        return dsrc->logs.FieldAt(dsrc->logs.RecordCount() - 1, QStringLiteral("MODE")).toInt();
    }

    std::unique_ptr<ReaderSim> m_sim;
};

struct ClickCase
{
    const char *name;
    bool autoOverride;
    const char *panelAfterClick;
    int swipeMode; // 1 IN, 2 OUT
};

class PanelClick : public PanelsTest, public ::testing::WithParamInterface<ClickCase>
{
};

TEST_P(PanelClick, TurnsTheDirectionOfTheNextSwipe)
{
    const ClickCase &c = GetParam();
    WriteRegBool(QStringLiteral("AutoInOut"), true);
    WriteRegBool(QStringLiteral("AutoOverride"), c.autoOverride);
    PinClock(Morning);
    ReaderSim &sim = AttachClockReader();
    TTimeRec &w = OpenShown();
    QLabel *panel = Panel(w);
    ASSERT_TRUE(panel->isVisible());
    ASSERT_EQ(panel->text(), QStringLiteral("OUT"));

    QTest::mouseClick(panel, Qt::LeftButton);
    EXPECT_EQ(panel->text(), QString::fromLatin1(c.panelAfterClick));
    EXPECT_EQ(SwipeMode(sim, 4711), c.swipeMode);
}

INSTANTIATE_TEST_SUITE_P(Panels, PanelClick,
                         ::testing::Values(ClickCase{"WithAutoOverrideFlips", true, "IN", 1},
                                           ClickCase{"WithoutAutoOverrideStays", false, "OUT", 2}),
                         ParamName());

TEST_F(PanelsTest, ClickedDirectionHoldsFiveTicksThenTheScheduleDecides)
{
    WriteRegBool(QStringLiteral("AutoInOut"), true);
    WriteRegBool(QStringLiteral("AutoOverride"), true);
    PinClock(Morning);
    ReaderSim &sim = AttachClockReader();
    TTimeRec &w = OpenShown();
    QLabel *panel = Panel(w);

    QTest::mouseClick(panel, Qt::LeftButton);
    for (int s = 1; s < TDeskCore::OverrideTicks; ++s) {
        TickAt(w, Morning.addSecs(s));
        EXPECT_EQ(panel->text(), QStringLiteral("IN")) << "tick " << s;
    }
    TickAt(w, Morning.addSecs(TDeskCore::OverrideTicks));
    EXPECT_EQ(panel->text(), QStringLiteral("OUT"));
    EXPECT_EQ(SwipeMode(sim, 4711), 2);

    // A right-button click is no click on the panel.
    QTest::mouseClick(panel, Qt::RightButton);
    EXPECT_EQ(panel->text(), QStringLiteral("OUT"));
}

TEST_F(PanelsTest, TheNewestRowStaysInViewWhenAPanelAppears)
{
    struct Case
    {
        const char *what;
        const char *setting;
        void (TTimeRec::*command)();
    };
    const Case cases[] = {
        {"door button", "DoorOpenEnable", &TTimeRec::actDoorOpenExecute},
        {"IN/OUT panel", "AutoInOut", &TTimeRec::actautoioExecute},
    };
    for (int i = 0; i < 80; ++i)
        AddLog(Morning.addSecs(i), 100 + i);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        WriteRegBool(QStringLiteral("DoorOpenEnable"), false);
        WriteRegBool(QStringLiteral("AutoInOut"), false);
        TTimeRec &w = OpenShown();
        auto *grid = w.findChild<QTableView *>(QStringLiteral("info"));
        ASSERT_NE(grid, nullptr);
        const auto newestShown = [grid] {
            const QModelIndex newest = grid->model()->index(grid->model()->rowCount() - 1, 0);
            return grid->viewport()->rect().contains(grid->visualRect(newest));
        };
        QCoreApplication::processEvents();
        ASSERT_TRUE(newestShown());
        const int heightBefore = grid->viewport()->height();
        // The command's dialog switches the panel on.
        w.SetDialogRunner([&c](QDialog &) {
            WriteRegBool(QString::fromLatin1(c.setting), true);
            return int(QDialog::Accepted);
        });
        (w.*c.command)();
        QCoreApplication::processEvents();
        ASSERT_LT(grid->viewport()->height(), heightBefore) << "the grid gave room to the panel";
        EXPECT_TRUE(newestShown());
        CloseWindow();
    }
}

TEST_F(PanelsTest, StatusBarsLastPanelShowsTheEmailStateInFull)
{
    TTimeRec &w = OpenShown();
    QLabel *clock = w.StatusPanel(0);
    QLabel *email = w.StatusPanel(1);
    EXPECT_EQ(clock->width(), 200);
    for (const QString &text : {QStringLiteral("Email sent error."),
                                QStringLiteral("Email sending: [2026/03/05 AM10:00:00] Ann Lee")}) {
        SCOPED_TRACE(text.toStdString());
        email->setText(text);
        QCoreApplication::processEvents();
        EXPECT_TRUE(email->isVisible());
        EXPECT_GE(email->contentsRect().width(), email->fontMetrics().horizontalAdvance(text));
    }
    // The panel takes the rest of the bar, and gives it back when the window narrows.
    const int wide = email->width();
    w.resize(w.minimumWidth(), w.height());
    QCoreApplication::processEvents();
    EXPECT_LT(email->width(), wide);
    EXPECT_GE(email->width(), 50);
}

} // namespace
