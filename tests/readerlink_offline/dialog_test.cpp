// The manager window over the simulated reader: what it shows, what it refuses while a session
// runs, and what it keeps at Close.

#include "offlinefixture.h"

#include "readerlink/offline.h"
#include "testsupport/childlookup.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>
#include <QTimer>

class OfflineDialogTest : public OfflineTest
{
protected:
    void SetUp() override
    {
        OfflineTest::SetUp();
        reader.SetDesc(QStringLiteral("Front door"));
        other.SetPortNo(1);
        other.SetEnable(false);
        other.SetDesc(QStringLiteral("Not open"));
    }

    std::vector<TRfidReader *> Readers() { return {&reader, &other}; }

    TRfidReader other;
};

TEST_F(OfflineDialogTest, ChoiceHoldsTheEnabledReadersAndNothingIsSentAtCreation)
{
    TDlgOffline dialog(Readers());
    EXPECT_EQ(dialog.PortCount(), 1);
    EXPECT_EQ(Child<QComboBox>(dialog, "cbPortList")->currentText(), QStringLiteral("Front door"));
    EXPECT_EQ(Child<QLineEdit>(dialog, "edLine1")->text(), QStringLiteral("ZUVI INTL CO LTD"));
    EXPECT_TRUE(Child<QCheckBox>(dialog, "cbClearAfter")->isChecked());
    EXPECT_TRUE(Frames().isEmpty());
}

TEST_F(OfflineDialogTest, ReaderChoiceLaysThePageOutByModeThenReadsIt)
{
    struct Case
    {
        int mode;
        bool timetable, pin, card;
        const char *keypad;
        const char *rowItem1;
    };
    const Case cases[] = {
        {0, true, false, false, "Bypass Allowed", "IN"},
        {1, true, true, true, "Bypass Switch", "No PIN"},
        {2, false, false, true, "Keypad Bypass", nullptr},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.mode);
        reader.SetMode(c.mode);
        sim.ClearReceived();
        messages.Clear();
        TDlgOffline dialog(Readers());
        dialog.cbPortListClick();
        EXPECT_EQ(!Child<QGroupBox>(dialog, "gbAutoTime")->isHidden(), c.timetable);
        EXPECT_EQ(!Child<QGroupBox>(dialog, "gbPasswd")->isHidden(), c.pin);
        EXPECT_EQ(!Child<QCheckBox>(dialog, "cbCard")->isHidden(), c.card);
        EXPECT_FALSE(Child<QCheckBox>(dialog, "cbBacklite")->isHidden());
        if (c.mode != 0)
            EXPECT_EQ(Child<QCheckBox>(dialog, "cbKeypad")->text(), QString::fromLatin1(c.keypad));
        if (c.rowItem1)
            EXPECT_EQ(Child<QComboBox>(dialog, "cbMode1")->itemText(1),
                      QString::fromLatin1(c.rowItem1));
        EXPECT_EQ(Frames().size(), 9);
        EXPECT_EQ(messages.Texts(), Strs({"Settings are loaded successfully."}));
    }
}

TEST_F(OfflineDialogTest, WhileASessionRunsItsCommandsAndCloseAreRefused)
{
    sim.AddLog(0x00, 1, ReaderSim::PackTime({2026, 3, 4, 5, 6, 7}));
    sim.SetCommandDelay(CmdFetchRecord, 300);
    TDlgOffline dialog(Readers());
    Child<QCheckBox>(dialog, "cbClearAfter")->setChecked(false);
    dialog.show();
    bool checked = false;
    QTimer::singleShot(150, &dialog, [&] {
        for (const char *name : {"bsetclk", "bdownload", "bclrrec", "bupload", "bPut", "Button1"})
            EXPECT_FALSE(Child<QPushButton>(dialog, name)->isEnabled()) << name;
        EXPECT_FALSE(Child<QComboBox>(dialog, "cbPortList")->isEnabled());
        EXPECT_FALSE(Child<QLineEdit>(dialog, "eStatus")->isHidden());
        // Even called directly, the clear and the close do nothing now.
        dialog.bclrrecClick();
        dialog.Button1Click();
        dialog.reject();
        dialog.close();
        EXPECT_TRUE(dialog.isVisible());
        checked = true;
    });

    Child<QPushButton>(dialog, "bdownload")->click();

    EXPECT_TRUE(checked);
    EXPECT_EQ(messages.Texts(), Strs({"Added = 1, Duplicated = 0, Invalid = 0"}));
    EXPECT_EQ(Frames().count(CapacityFrame), 2);
    EXPECT_FALSE(sim.Logs().empty()); // "Clear Record" inside the wait cleared nothing
    EXPECT_TRUE(Child<QPushButton>(dialog, "Button1")->isEnabled());
    EXPECT_TRUE(Child<QLineEdit>(dialog, "eStatus")->isHidden());
    EXPECT_TRUE(dialog.isVisible());
}

TEST_F(OfflineDialogTest, MasterPinModeReadsThePinAndCloseKeepsTheLoadedPage)
{
    ClearSettings();
    WriteRegString(QStringLiteral("COM%1Device").arg(Port),
                   QString::fromStdString(sim.DevicePath()));
    WriteRegInteger(QStringLiteral("OL_MODE_2"), 9);
    sim.SetSetting(SettingMasterPin, {0x10, 0x27});
    TDlgOffline dialog(Readers());

    dialog.ShowMasterPinOnly();

    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Master PIN"));
    EXPECT_EQ(Child<QSpinBox>(dialog, "semasterpin")->value(), 10000);
    EXPECT_TRUE(Child<QGroupBox>(dialog, "gbSettings")->isHidden());
    EXPECT_FALSE(Child<QGroupBox>(dialog, "gbmasterpin")->isHidden());
    EXPECT_EQ(Frames(), Strs({LockFrame, "00 07 09", UnlockFrame}));
    EXPECT_TRUE(messages.Texts().isEmpty());

    Child<QSpinBox>(dialog, "semasterpin")->setValue(0);
    Child<QPushButton>(dialog, "Button3")->click();
    EXPECT_EQ(sim.Setting(SettingMasterPin), ReaderSim::Bytes({0x00, 0x00}));
    EXPECT_EQ(messages.Texts(), Strs({"Master PIN is sent successfully."}));

    Child<QPushButton>(dialog, "Button1")->click();
    EXPECT_EQ(ReadRegString(QStringLiteral("LogoLine1"), QString()),
              QStringLiteral("ZUVI INTL CO LTD"));
    EXPECT_EQ(ReadRegInteger(QStringLiteral("OL_MODE_2"), -1), 0);
    EXPECT_EQ(ReadRegString(QStringLiteral("OL_TIME_2"), QString()), QStringLiteral("00:00:00"));
    EXPECT_EQ(ReadRegInteger(QStringLiteral("OL_DEF_PORT"), -1), 0);
}

TEST_F(OfflineDialogTest, ManagerWindowIsFixedAtItsSizeAndCentredOnTheScreen)
{
    TDlgOffline dialog(Readers());
    dialog.show();
    QCoreApplication::processEvents();
    // The design's size, or larger where the desktop's font needs more for the controls.
    EXPECT_EQ(dialog.size(), QSize(600, 318).expandedTo(dialog.minimumSizeHint()));
    // Fixed: the border cannot make it larger or smaller.
    EXPECT_EQ(dialog.minimumSize(), dialog.size());
    EXPECT_EQ(dialog.maximumSize(), dialog.size());
    // Its controls fit the window whole.
    EXPECT_LE(dialog.minimumSizeHint().width(), dialog.width());
    EXPECT_LE(dialog.minimumSizeHint().height(), dialog.height());
    const QPoint middle = dialog.screen()->availableGeometry().center();
    const QPoint centre = dialog.frameGeometry().center();
    EXPECT_LE((centre - middle).manhattanLength(), 2)
        << centre.x() << "," << centre.y() << " against " << middle.x() << "," << middle.y();
}

TEST_F(OfflineDialogTest, MasterPinWindowShowsEachOfItsControlsWhole)
{
    TDlgOffline dialog(Readers());
    dialog.ShowMasterPinOnly();
    dialog.show();
    QCoreApplication::processEvents();

    // The small window of this mode must not squeeze a control below what it needs to be
    // read and used; it grows past its usual size when the desktop's font asks for it.
    EXPECT_GE(dialog.width(), 182);
    EXPECT_GE(dialog.height(), 200);
    for (const char *name : {"cbPortList", "semasterpin", "Button3", "Button1"}) {
        QWidget *w = Child<QWidget>(dialog, name);
        EXPECT_GE(w->height(), w->minimumSizeHint().height()) << name;
        EXPECT_GE(w->width(), w->minimumSizeHint().width()) << name;
    }
    QLabel *hint = nullptr;
    for (QLabel *label : dialog.findChildren<QLabel *>())
        if (label->text() == QStringLiteral("'0' to disable Master PIN"))
            hint = label;
    ASSERT_NE(hint, nullptr);
    EXPECT_GE(hint->width(), hint->sizeHint().width());
}

TEST_F(OfflineDialogTest, FocusGoesBackToTheClickedButtonAfterASession)
{
    // While a session runs its button is disabled and the focus moves on, into the first line
    // edit with its text selected: the next key typed would overwrite the reader's display
    // line. When the session ends the focus goes back where it was.
    TDlgOffline dialog(Readers());
    dialog.show();
    dialog.activateWindow();
    QCoreApplication::processEvents();
    QPushButton *clock = Child<QPushButton>(dialog, "bsetclk");
    clock->setFocus();
    QCoreApplication::processEvents();
    ASSERT_EQ(dialog.focusWidget(), clock);

    clock->click();

    EXPECT_EQ(messages.Texts(), Strs({"Clock set."}));
    EXPECT_EQ(dialog.focusWidget(), clock);
}
