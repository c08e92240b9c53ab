// A settings store that refuses every write (a full disk, a read-only settings file): each
// dialog's OK, Confirm, Close and destruction say "Settings cannot be saved." and the program
// goes on; a Close still closes, an OK whose choice was not kept leaves the dialog open.

#include "capture/DXCapture.h"
#include "capture/capturedevices.h"
#include "desk/autoio.h"
#include "desk/cardinfo.h"
#include "desk/grplist.h"
#include "desk/setupwebcam.h"
#include "desk/timetbl.h"
#include "desk_window/windowfixture.h"
#include "readerlink/dlgdoor.h"
#include "readerlink/offline.h"
#include "readerlink/setup.h"
#include "readerlink/upload.h"
#include "reports/setscope.h"
#include "store/picklist.h"
#include "testsupport/fakedevicedialogs.h"
#include "testsupport/refusedsettings.h"

#include <QAction>
#include <QPushButton>
#include <functional>
#include <memory>

namespace {

const QString NotSaved = QStringLiteral("Settings cannot be saved.");

struct DialogCase
{
    const char *name;
    std::function<std::unique_ptr<QDialog>()> make;
    const char *button;  // pressed once the dialog shows; nullptr: only destroyed
    bool closes;         // the press ends the dialog
    int messagesOnPress; // refused writes said by creating and pressing
    int messagesOnFree;  // said by destroying it
};

template <typename Dialog, typename... Args>
std::function<std::unique_ptr<QDialog>()> make(Args... args)
{
    return [=] { return std::unique_ptr<QDialog>(new Dialog(args...)); };
}

using RefusedSettingsTest = WindowTest;

} // namespace

TEST_F(RefusedSettingsTest, EveryDialogsButtonsAndEndSayItAndGoOn)
{
    DialogTestDeviceSource cams{{QStringLiteral("Front"), QStringLiteral("Desk")}, {}};
    ScopedCaptureDeviceSource use{&cams};
    TCapture capture;
    ASSERT_TRUE(capture.InitDevices());
    const DialogCase cases[] = {
        {"Readers, Confirm and its end", make<TSetReader>(), "Button1", true, 0, 1},
        {"Setup Door Open Button, OK", make<TdlgDoorOpen>(), "OKBtn", false, 1, 0},
        {"Offline Reader Manager, Close",
         [] { return std::make_unique<TDlgOffline>(std::vector<TRfidReader *>{}); }, "Button1",
         true, 1, 0},
        {"Offline Access Table, Close", make<TOfflineAcc>(), "Button2", true, 1, 0},
        {"Webcam Setup, Confirm", [&capture] { return std::make_unique<TSetupWebcam>(capture); },
         "Button1", false, 1, 0},
        // Opening stores the sort columns as understood.
        {"Pick List, Close", make<TPickList>(), "bclose", true, 2, 0},
        {"Edit Card Information, Close", make<TCardInfo>(), "Button2", true, 1, 0},
        {"Group Definition, Close", make<TDlgGrpList>(), "Button1", true, 1, 0},
        {"Auto IN/OUT Time, Close", make<TAutoIO>(), "xcancel", true, 1, 0},
        {"Define Tallyclock Table, Close", make<TFmTimeTbl>(), "xcancel", true, 1, 0},
        {"Scope of Report, Confirm", make<TSetScope>(), "Button1", true, 1, 0},
    };
    for (const DialogCase &c : cases) {
        SCOPED_TRACE(c.name);
        Messages().Clear();
        RefusedSettings refused;
        ASSERT_TRUE(refused.Held());
        std::unique_ptr<QDialog> dialog = c.make();
        dialog->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
        auto *button = dialog->findChild<QPushButton *>(QString::fromLatin1(c.button));
        ASSERT_NE(button, nullptr);
        button->click();
        EXPECT_EQ(Messages().Texts(), QStringList(c.messagesOnPress, NotSaved));
        EXPECT_EQ(dialog->isVisible(), !c.closes);
        if (!c.closes)
            EXPECT_NE(dialog->result(), int(QDialog::Accepted));
        Messages().Clear();
        dialog.reset();
        EXPECT_EQ(Messages().Texts(), QStringList(c.messagesOnFree, NotSaved));
    }
}

// Without a camera the setup still says so, after saying the cleared choice was not kept.
TEST_F(RefusedSettingsTest, WebcamSetupWithoutADeviceStillSaysSo)
{
    VideoTestDeviceSource none{QStringList()};
    ScopedCaptureDeviceSource use{&none};
    TCapture capture;
    EXPECT_FALSE(capture.InitDevices()); // the device list is read again
    RefusedSettings refused;
    ASSERT_TRUE(refused.Held());
    TSetupWebcam dialog(capture);
    ASSERT_FALSE(dialog.HasDevices());
    EXPECT_EQ(dialog.exec(), int(QDialog::Rejected));
    EXPECT_EQ(Messages().Texts(), (QStringList{NotSaved, QStringLiteral("No webcam device.")}));
}

// The desk's own commands: the "Readers" dialog's end and the door button's OK run inside the
// window's event loop; the window answers afterwards.
TEST_F(RefusedSettingsTest, TheDeskGoesOnAfterReadersAndTheDoorButton)
{
    TTimeRec &w = OpenShown();
    w.SetLoggedIn(true);
    const struct
    {
        const char *action;
        const char *button;
    } commands[] = {{"actreaders", "Button1"}, {"actDoorOpen", "OKBtn"}};
    for (const auto &c : commands) {
        SCOPED_TRACE(c.action);
        Messages().Clear();
        RefusedSettings refused;
        ASSERT_TRUE(refused.Held());
        w.SetDialogRunner([&](QDialog &dialog) {
            dialog.show();
            auto *button = dialog.findChild<QPushButton *>(QString::fromLatin1(c.button));
            EXPECT_NE(button, nullptr);
            if (button)
                button->click();
            if (dialog.isVisible())
                dialog.reject();
            return dialog.result();
        });
        w.findChild<QAction *>(QString::fromLatin1(c.action))->trigger();
        w.SetDialogRunner({});
        EXPECT_TRUE(Messages().Texts().contains(NotSaved))
            << Messages().Texts().join(u'|').toStdString();
        EXPECT_TRUE(w.isVisible());
    }
}
