// The desk's camera: the column at start-up, and the snapshot of a swipe or an exit-button
// row written by a running test camera within the one-second wait and shown.

#include "capture/DXCapture.h"
#include "desk/deskcamera.h"
#include "desk/loggridmodel.h"
#include "desk_window/windowfixture.h"
#include "readerlink/reader.h"
#include "store/paths.h"
#include "store/settings.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <functional>
#include <optional>

namespace {

class DeskCameraTest : public WindowTest
{
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        ASSERT_TRUE(Data().IsValid());
    }

    // Reader 1 with capture on a swipe, its port left closed: the core is driven directly.
    static void CaptureReader(int motion)
    {
        dsrc->src.Exec(QStringLiteral("UPDATE reader SET ENABLE=0, CAPTURE=1, MODE=1, OUTPORT=1, "
                                      "MOTION=%1 WHERE PORTNO=1")
                           .arg(motion));
    }
    static void CameraOn(const QString &source)
    {
        WriteRegBool(QStringLiteral("CamEnable"), true);
        WriteRegString(QStringLiteral("CamSource"), source);
    }
    bool SnapshotShown() const
    {
        return !m_window->findChild<QGroupBox *>(QStringLiteral("gbcapture"))->isHidden();
    }
    static QStringList Photos() { return QDir(PhotoPath).entryList({QStringLiteral("*.jpg")}); }

    VideoTestDeviceSource m_cameras;
    ScopedCaptureDeviceSource m_useCameras{&m_cameras};
};

} // namespace

TEST_F(DeskCameraTest, SwipeAtACaptureReaderWritesAndShowsItsSnapshot)
{
    CaptureReader(-1);
    CameraOn(QStringLiteral("Test Camera"));
    TTimeRec &w = OpenWindow();
    ASSERT_TRUE(w.Capture()->Previewing()) << Messages().Texts().join(u'|').toStdString();
    EXPECT_TRUE(w.Camera()->IsCapturing());

    const QDateTime stamp =
        QDateTime::currentDateTime().addMSecs(-QDateTime::currentDateTime().time().msec());
    QElapsedTimer took;
    took.start();
    w.Core()->ReaderCardCode(false, 1, 4711, stamp, -1);
    // The swipe returns once the file is there, well inside the one-second wait.
    EXPECT_LT(took.elapsed(), 1000);

    const QString file = MakeSnapshotFileName(4711, stamp);
    EXPECT_EQ(QFileInfo(file).fileName(),
              stamp.toString(QStringLiteral("yyMMdd-hhmmss")) + QStringLiteral("-4711.jpg"));
    QImage shot;
    ASSERT_TRUE(shot.load(file, "JPEG"));
    EXPECT_EQ(shot.size(), QSize(160, 120));
    EXPECT_TRUE(SnapshotShown());
    EXPECT_EQ(Photos().size(), 1);
    EXPECT_EQ(Messages().Count(), 0);
}

TEST_F(DeskCameraTest, ExitButtonRowSnapshotIsNamedWithCardZero)
{
    CaptureReader(0);
    CameraOn(QStringLiteral("Test Camera"));
    TTimeRec &w = OpenWindow();
    ASSERT_TRUE(w.Capture()->Previewing());
    w.Core()->LogButtonCapture(1);

    const QStringList photos = Photos();
    ASSERT_EQ(photos.size(), 1);
    EXPECT_TRUE(photos[0].endsWith(QStringLiteral("-0.jpg"))) << photos[0].toStdString();
    EXPECT_EQ(dsrc->logs.FieldByName(QStringLiteral("CARDNO")).AsInteger(), -1);
    EXPECT_TRUE(SnapshotShown());
}

TEST_F(DeskCameraTest, ExitButtonRowShowsItsSnapshotAndTakesItAlongWhenDeleted)
{
    CaptureReader(0);
    CameraOn(QStringLiteral("Test Camera"));
    AddLog(QDateTime::currentDateTime().addSecs(-60), 4711);
    TTimeRec &w = OpenWindow();
    ASSERT_TRUE(w.Capture()->Previewing());
    struct Case
    {
        const char *what;
        std::function<void()> remove;
    };
    const Case cases[] = {
        {"delete the row",
         [&] {
             w.SetCurrentLogRow(1);
             Messages().QueueAnswer(MsgButton::Ok);
             w.actDelRecClick();
         }},
        {"erase the log", [] { EraseLogRecords(dsrc->logs, std::nullopt, [] {}); }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        if (w.LogModel()->rowCount() == 0)
            AddLog(QDateTime::currentDateTime().addSecs(-60), 4711);
        dsrc->logs.Refresh();
        w.Core()->LogButtonCapture(1);
        ASSERT_EQ(Photos().size(), 1);
        ASSERT_EQ(w.LogModel()->rowCount(), 2);
        w.SetCurrentLogRow(0); // the swipe has no snapshot
        w.infoCellClick();
        EXPECT_FALSE(SnapshotShown());
        w.SetCurrentLogRow(1);
        w.infoCellClick();
        EXPECT_TRUE(SnapshotShown());
        c.remove();
        EXPECT_EQ(Photos(), QStringList());
    }
}

TEST_F(DeskCameraTest, ColumnAtStartUpFollowsCamEnableAndCamSource)
{
    struct Case
    {
        const char *name;
        bool enable;
        QString source;
        bool columnShown, captureShown, hideChecked, previewing;
    };
    const Case cases[] = {
        {"Off", false, QStringLiteral("Test Camera"), false, false, true, false},
        {"OnWithoutDevice", true, QString(), true, false, false, false},
        {"OnWithDevice", true, QStringLiteral("Test Camera"), true, true, false, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        WriteRegBool(QStringLiteral("CamEnable"), c.enable);
        WriteRegString(QStringLiteral("CamSource"), c.source);
        TTimeRec &w = OpenWindow();
        EXPECT_EQ(!w.findChild<QWidget *>(QStringLiteral("pancap"))->isHidden(), c.columnShown);
        EXPECT_EQ(!w.Capture()->isHidden(), c.captureShown);
        EXPECT_EQ(w.findChild<QAction *>(QStringLiteral("actcap"))->isChecked(), c.hideChecked);
        EXPECT_EQ(w.Capture()->Previewing(), c.previewing);
        CloseWindow();
    }
    EXPECT_EQ(Messages().Count(), 0);
}

TEST_F(DeskCameraTest, HidingTheWebcamForgetsTheDevice)
{
    CameraOn(QStringLiteral("Test Camera"));
    TTimeRec &w = OpenWindow();
    auto *hide = w.findChild<QAction *>(QStringLiteral("actcap"));
    w.SetLoggedIn(true); // "Hide Webcam" is for administrators
    hide->trigger(); // checked: off
    EXPECT_FALSE(ReadRegBool(QStringLiteral("CamEnable"), true));
    EXPECT_TRUE(ReadRegString(QStringLiteral("CamSource"), QStringLiteral("x")).isEmpty());
    EXPECT_TRUE(w.findChild<QWidget *>(QStringLiteral("pancap"))->isHidden());
    hide->trigger(); // unchecked: on again, but without a device
    EXPECT_TRUE(ReadRegBool(QStringLiteral("CamEnable"), false));
    EXPECT_FALSE(w.findChild<QWidget *>(QStringLiteral("pancap"))->isHidden());
    EXPECT_TRUE(w.Capture()->isHidden());
}

TEST_F(DeskCameraTest, UnpluggedCameraCostsOneBoxAndTheSwipeGoesOn)
{
    CaptureReader(-1);
    CameraOn(QStringLiteral("Gone Camera"));
    TTimeRec &w = OpenWindow();
    ASSERT_EQ(Messages().Count(), 1);
    EXPECT_EQ(Messages().Last().caption, QStringLiteral("DirectShow - Capture"));
    EXPECT_FALSE(w.Camera()->IsCapturing());
    const QDateTime stamp = QDateTime::currentDateTime();
    w.Core()->ReaderCardCode(false, 1, 12, stamp, -1);
    EXPECT_TRUE(Photos().isEmpty());
    EXPECT_FALSE(SnapshotShown());
    EXPECT_EQ(dsrc->logs.FieldByName(QStringLiteral("CARDNO")).AsInteger(), 12);
}
