// "Webcam Setup" over test cameras that declare their own dialogs, and the "Webcam" command
// of the main window with its Confirm and Cancel roads.

#include "capture/DXCapture.h"
#include "desk/deskcamera.h"
#include "desk/setupwebcam.h"
#include "desk_window/windowfixture.h"
#include "store/paths.h"
#include "store/settings.h"
#include "testsupport/fakedevicedialogs.h"

#include <QComboBox>
#include <QCursor>
#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>

namespace {

using D = TDeviceDialog;

QStringList Entries(const QComboBox *combo)
{
    QStringList list;
    for (int i = 0; i < combo->count(); ++i)
        list << combo->itemText(i);
    return list;
}

QStringList Options(const QListWidget *list)
{
    QStringList names;
    for (int i = 0; i < list->count(); ++i)
        names << list->item(i)->text();
    return names;
}

class SetupWebcamTest : public WindowTest
{
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        m_cams.Dialogs(QStringLiteral("Front")).SetDeclared({D::VideoFilter, D::CapturePin});
        m_cams.Dialogs(QStringLiteral("Desk")).SetDeclared({D::VfwSource});
        m_cams.Dialogs(QStringLiteral("Mic"))
            .SetDeclared({D::AudioFilter, D::AudioCapturePin, D::TVAudio});
    }
    static QString CamSource() { return ReadRegString(QStringLiteral("CamSource"), QString()); }
    static void CameraOn(const QString &source)
    {
        WriteRegBool(QStringLiteral("CamEnable"), true);
        WriteRegString(QStringLiteral("CamSource"), source);
    }
    static bool Shown(TTimeRec &w, const char *name)
    {
        return !w.findChild<QWidget *>(QString::fromLatin1(name))->isHidden();
    }
    // Runs "Webcam" with the dialog answered by the test.
    void RunWebcam(TTimeRec &w, const std::function<int(TSetupWebcam &)> &answer)
    {
        int runs = 0;
        w.SetDialogRunner([&](QDialog &d) {
            ++runs;
            auto *setup = qobject_cast<TSetupWebcam *>(&d);
            EXPECT_NE(setup, nullptr);
            return setup ? answer(*setup) : int(QDialog::Rejected);
        });
        w.SetLoggedIn(true);
        w.findChild<QAction *>(QStringLiteral("actsetweb"))->trigger();
        w.SetDialogRunner({});
        m_runs = runs;
    }
    static int Confirm(TSetupWebcam &d)
    {
        d.findChild<QPushButton *>(QStringLiteral("Button1"))->click();
        return d.result();
    }

    DialogTestDeviceSource m_cams{
        {QStringLiteral("Front"), QStringLiteral("Desk"), QStringLiteral("Back")},
        {QStringLiteral("Mic")}};
    ScopedCaptureDeviceSource m_use{&m_cams};
    int m_runs = 0;
};

} // namespace

TEST_F(SetupWebcamTest, ThreeDevicesAndCamSourceNamingTheSecond)
{
    TCapture capture;
    ASSERT_TRUE(capture.InitDevices());
    capture.SelectDevices(QStringLiteral("Desk"), QString());
    WriteRegString(QStringLiteral("CamSource"), QStringLiteral("Desk"));
    TSetupWebcam dialog(capture);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Webcam Setup"));
    EXPECT_EQ(Entries(dialog.cblist),
              (QStringList{QStringLiteral("NOT USED"), QStringLiteral("Front"),
                           QStringLiteral("Desk"), QStringLiteral("Back")}));
    EXPECT_EQ(dialog.ItemIndex(), 2);
    EXPECT_TRUE(dialog.lboption->count() == 0);
    dialog.show();
    EXPECT_EQ(Options(dialog.lboption), QStringList{QStringLiteral("Video Source")});
    EXPECT_EQ(dialog.findChild<QPushButton *>(QStringLiteral("Button1"))->text(),
              QStringLiteral("Confirm"));
    EXPECT_EQ(dialog.findChild<QPushButton *>(QStringLiteral("Button2"))->text(),
              QStringLiteral("Cancel"));

    // Choosing another device runs it on the control at once, once, and lists its options.
    int changes = 0;
    capture.OnChangeDevice = [&] { ++changes; };
    dialog.cblist->setCurrentIndex(1);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(capture.VideoDeviceName(), QStringLiteral("Front"));
    EXPECT_EQ(Options(dialog.lboption), (QStringList{QStringLiteral("Video Capture Filter"),
                                                     QStringLiteral("Video Capture Pin")}));
    // A click opens the option on the control.
    dialog.lboptionClick(QStringLiteral("Video Capture Filter"));
    ASSERT_EQ(m_cams.Dialogs(QStringLiteral("Front")).Shown().size(), 1);
    // "NOT USED" changes neither the control nor the list.
    dialog.cblist->setCurrentIndex(0);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(dialog.lboption->count(), 2);
    EXPECT_EQ(Messages().Count(), 0);
}

TEST_F(SetupWebcamTest, TypedTextPicksOnlyAnExactEntry)
{
    TCapture capture;
    ASSERT_TRUE(capture.InitDevices());
    WriteRegString(QStringLiteral("CamSource"), QString());
    TSetupWebcam dialog(capture);
    EXPECT_EQ(dialog.ItemIndex(), 0);
    int changes = 0;
    capture.OnChangeDevice = [&] { ++changes; };
    struct Step
    {
        const char *text;
        int index;
        int changes;
    };
    const Step steps[] = {{"back", -1, 0},  {"Bac", -1, 0},     {"Back", 3, 1},
                          {"Back ", -1, 1}, {"NOT USED", 0, 1}, {"Front", 1, 2}};
    for (const Step &s : steps) {
        SCOPED_TRACE(s.text);
        dialog.cblist->lineEdit()->setText(QString::fromLatin1(s.text));
        EXPECT_EQ(dialog.ItemIndex(), s.index);
        EXPECT_EQ(changes, s.changes);
        EXPECT_EQ(dialog.cblist->count(), 4); // typing inserts nothing
    }
}

TEST_F(SetupWebcamTest, CamSourceNoLongerPresentSelectsNothingAndConfirmStoresTheEmptyText)
{
    TCapture capture;
    ASSERT_TRUE(capture.InitDevices());
    WriteRegString(QStringLiteral("CamSource"), QStringLiteral("front")); // another case
    TSetupWebcam dialog(capture);
    dialog.show();
    EXPECT_EQ(dialog.ItemIndex(), -1);
    EXPECT_EQ(dialog.lboption->count(), 0);
    dialog.Button1Click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(ReadRegString(QStringLiteral("CamSource"), QStringLiteral("x")), QString());
}

TEST_F(SetupWebcamTest, DisabledOptionsAreNeverListed)
{
    TCapture capture;
    ASSERT_TRUE(capture.InitDevices());
    capture.SelectDevices(QStringLiteral("Front"), QStringLiteral("Mic"));
    ASSERT_EQ(capture.DeviceOptions().Count(), 5);
    WriteRegString(QStringLiteral("CamSource"), QStringLiteral("Front"));
    TSetupWebcam dialog(capture);
    dialog.show();
    EXPECT_EQ(Options(dialog.lboption), (QStringList{QStringLiteral("Video Capture Filter"),
                                                     QStringLiteral("Video Capture Pin")}));
}

TEST_F(SetupWebcamTest, NoDeviceEndsTheDialogCancelledAndEmptiesCamSource)
{
    VideoTestDeviceSource none{QStringList()};
    ScopedCaptureDeviceSource use(&none);
    TCapture capture;
    EXPECT_FALSE(capture.InitDevices());
    WriteRegString(QStringLiteral("CamSource"), QStringLiteral("Front"));
    TSetupWebcam dialog(capture);
    ASSERT_EQ(Messages().Count(), 1);
    EXPECT_EQ(Messages().Last().text, QStringLiteral("No webcam device."));
    EXPECT_EQ(Messages().Last().kind, MsgKind::Error);
    EXPECT_FALSE(dialog.HasDevices());
    EXPECT_EQ(dialog.exec(), QDialog::Rejected); // returns without waiting
    EXPECT_EQ(ReadRegString(QStringLiteral("CamSource"), QStringLiteral("x")), QString());
}

// No device at all: the cursor the desk shows while it looks for one.
class NoDeviceSource final : public ICaptureDeviceSource
{
public:
    QList<CaptureMonikerPtr> Enumerate(CaptureCategory) override
    {
        const QCursor *cursor = QGuiApplication::overrideCursor();
        shapes << (cursor ? cursor->shape() : Qt::ArrowCursor);
        return {};
    }
    QList<Qt::CursorShape> shapes;
};

TEST_F(SetupWebcamTest, LookingForADeviceShowsTheWaitCursorUntilTheMessage)
{
    NoDeviceSource none;
    ScopedCaptureDeviceSource use(&none);
    TTimeRec &w = OpenWindow();
    none.shapes.clear();
    RunWebcam(w, [](TSetupWebcam &) { return int(QDialog::Rejected); });
    EXPECT_EQ(m_runs, 0);
    ASSERT_FALSE(none.shapes.isEmpty());
    for (Qt::CursorShape shape : none.shapes)
        EXPECT_EQ(shape, Qt::WaitCursor);
    EXPECT_EQ(Messages().Texts(), QStringList{QStringLiteral("No webcam device.")});
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST_F(SetupWebcamTest, WebcamIsProtectedAndOnTheSetupMenu)
{
    TTimeRec &w = OpenWindow();
    auto *webcam = w.findChild<QAction *>(QStringLiteral("actsetweb"));
    ASSERT_NE(webcam, nullptr);
    EXPECT_EQ(webcam->text(), QStringLiteral("Webcam"));
    EXPECT_TRUE(w.findChild<QMenu *>(QStringLiteral("menuSetup"))->actions().contains(webcam));
    EXPECT_TRUE(w.ProtectedCommands().contains(webcam));
    EXPECT_FALSE(webcam->isEnabled());
    w.SetLoggedIn(true);
    EXPECT_TRUE(webcam->isEnabled());
    w.actLogoutExecute();
    EXPECT_FALSE(webcam->isEnabled());
}

TEST_F(SetupWebcamTest, ConfirmOfAnotherDeviceRunsItInTheColumn)
{
    CameraOn(QStringLiteral("Front"));
    TTimeRec &w = OpenWindow();
    ASSERT_TRUE(w.Capture()->Previewing());
    RunWebcam(w, [](TSetupWebcam &d) {
        d.cblist->setCurrentIndex(3); // "Back"
        return Confirm(d);
    });
    EXPECT_EQ(m_runs, 1);
    EXPECT_EQ(CamSource(), QStringLiteral("Back"));
    EXPECT_EQ(w.Capture()->VideoDeviceName(), QStringLiteral("Back"));
    EXPECT_TRUE(w.Capture()->Previewing());
    EXPECT_TRUE(Shown(w, "pancap"));
    EXPECT_TRUE(Shown(w, "Capture"));
    EXPECT_FALSE(w.findChild<QAction *>(QStringLiteral("actcap"))->isChecked());
    EXPECT_TRUE(ReadRegBool(QStringLiteral("CamEnable"), false));
    EXPECT_EQ(Messages().Count(), 0) << Messages().Texts().join(u'|').toStdString();
}

TEST_F(SetupWebcamTest, DevicePickedWhileTheCameraWasOffSurvivesTheNextStart)
{
    WriteRegBool(QStringLiteral("CamEnable"), false);
    WriteRegString(QStringLiteral("CamSource"), QStringLiteral("Desk"));
    TTimeRec &w = OpenWindow();
    ASSERT_FALSE(w.Capture()->Previewing());
    // CamSource preselects "Desk"; nothing is chosen anew.
    RunWebcam(w, [](TSetupWebcam &d) { return Confirm(d); });
    EXPECT_TRUE(w.Capture()->Previewing());
    EXPECT_TRUE(ReadRegBool(QStringLiteral("CamEnable"), false));
    CloseWindow();
    TTimeRec &again = OpenWindow();
    EXPECT_TRUE(again.Capture()->Previewing());
    EXPECT_EQ(again.Capture()->VideoDeviceName(), QStringLiteral("Desk"));
}

TEST_F(SetupWebcamTest, EndingWithTheCameraOffStopsTheCapture)
{
    struct Case
    {
        const char *name;
        bool cameraOn;
        int choice;
        bool confirm;
    };
    const Case cases[] = {
        {"NotUsedThenConfirm", true, 0, true},
        {"CancelAfterChoosingWhileOff", false, 2, false},
        {"ConfirmOfUnknownText", true, -1, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        WriteRegBool(QStringLiteral("CamEnable"), c.cameraOn);
        WriteRegString(QStringLiteral("CamSource"), QStringLiteral("Front"));
        TTimeRec &w = OpenWindow();
        RunWebcam(w, [&](TSetupWebcam &d) {
            d.cblist->setCurrentIndex(2); // a device runs on the control meanwhile
            if (c.choice >= 0)
                d.cblist->setCurrentIndex(c.choice);
            else
                d.cblist->lineEdit()->setText(QStringLiteral("Nowhere"));
            return c.confirm ? Confirm(d) : int(QDialog::Rejected);
        });
        EXPECT_FALSE(w.Capture()->Previewing());
        EXPECT_FALSE(w.Camera()->IsCapturing());
        EXPECT_TRUE(w.findChild<QAction *>(QStringLiteral("actcap"))->isChecked());
        EXPECT_FALSE(Shown(w, "pancap"));
        EXPECT_FALSE(ReadRegBool(QStringLiteral("CamEnable"), true));
        if (c.confirm)
            EXPECT_EQ(CamSource(), QString()); // turning the camera off empties it
        CloseWindow();
    }
}

TEST_F(SetupWebcamTest, CancelWithTheCameraOnRestartsTheStoredDevice)
{
    CameraOn(QStringLiteral("Front"));
    TTimeRec &w = OpenWindow();
    RunWebcam(w, [](TSetupWebcam &d) {
        d.cblist->setCurrentIndex(3);
        return int(QDialog::Rejected);
    });
    EXPECT_EQ(CamSource(), QStringLiteral("Front"));
    EXPECT_EQ(w.Capture()->VideoDeviceName(), QStringLiteral("Front"));
    EXPECT_TRUE(w.Capture()->Previewing());
    EXPECT_TRUE(Shown(w, "Capture"));
}

TEST_F(SetupWebcamTest, SwipesAfterADeviceSwitchStillGetTheirSnapshot)
{
    dsrc->src.Exec(QStringLiteral(
        "UPDATE reader SET ENABLE=0, CAPTURE=1, MODE=1, OUTPORT=1, MOTION=-1 WHERE PORTNO=1"));
    CameraOn(QStringLiteral("Front"));
    TTimeRec &w = OpenWindow();
    ASSERT_TRUE(w.Capture()->Previewing());
    // A snapshot asked for just before the switch.
    w.Capture()->SetSnapshotFileName(QDir(PhotoPath).filePath(QStringLiteral("before.jpg")));
    w.Capture()->TakeSnapshot(100);
    RunWebcam(w, [](TSetupWebcam &d) {
        d.cblist->setCurrentIndex(3);
        return Confirm(d);
    });
    EXPECT_FALSE(w.Capture()->SnapshotPending());
    for (int card : {21, 22, 23}) {
        SCOPED_TRACE(card);
        const QDateTime stamp = QDateTime::currentDateTime().addSecs(card);
        QElapsedTimer took;
        took.start();
        w.Core()->ReaderCardCode(false, 1, card, stamp, -1);
        EXPECT_LT(took.elapsed(), 1000);
        EXPECT_TRUE(QFile::exists(MakeSnapshotFileName(card, stamp)));
    }
}
