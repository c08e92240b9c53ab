// The device option list of the capture control, the dialogs around it, and what stands in
// for a real camera's driver dialogs: the V4L2 controls and the format list.

#include "capture/DXCapture.h"
#include "capture/devicedialogs.h"
#include "testsupport/fakedevicedialogs.h"
#include "testsupport/fakemessages.h"
#include "testsupport/spin.h"

#include <QCheckBox>
#include <QComboBox>
#include <QListWidget>
#include <QSlider>
#include <QTabWidget>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <atomic>
#include <linux/videodev2.h>

namespace {

using D = TDeviceDialog;

QStringList Listed(TDeviceOptions &options, bool enabledOnly = false)
{
    QStringList names;
    for (int i = 0; i < options.Count(); ++i)
        if (!enabledOnly || options.GetEnabled(i))
            names << options.GetName(i);
    return names;
}

// Installs a device dialog runner for the lifetime of the object.
struct ScopedDialogRunner
{
    explicit ScopedDialogRunner(DeviceDialogRunner runner)
        : previous(SetDeviceDialogRunner(std::move(runner)))
    {
    }
    ~ScopedDialogRunner() { SetDeviceDialogRunner(std::move(previous)); }
    DeviceDialogRunner previous;
};

} // namespace

TEST(DeviceOptionList, EntriesByIndexAndByName)
{
    TDeviceOptions options(nullptr);
    options.Add(1, QStringLiteral("Video Format"), true);
    options.Add(7, QStringLiteral("Audio Capture Filter"), false);
    EXPECT_EQ(options.Count(), 2);
    EXPECT_EQ(options.GetName(-1), QString());
    EXPECT_EQ(options.GetName(2), QString());
    EXPECT_FALSE(options.GetEnabled(options.Count()));
    EXPECT_FALSE(options.GetEnabled(-1));
    EXPECT_TRUE(options.GetEnabled(0));
    EXPECT_FALSE(options.GetEnabled(1));
    // Without an owner nothing can be opened.
    EXPECT_EQ(options.ShowOption(QStringLiteral("Video Format")), 0x80004005u);

    options.Clear();
    EXPECT_EQ(options.Count(), 0);
    EXPECT_EQ(options.GetName(0), QString());
    options.Add(4, QStringLiteral("Video Capture Filter"), true);
    EXPECT_EQ(options.Count(), 1);
    EXPECT_EQ(options.GetName(0), QStringLiteral("Video Capture Filter"));
    EXPECT_EQ(options.GetName(1), QString());
}

TEST(DeviceOptionList, NamesCompareExactly)
{
    DialogTestDeviceSource cams;
    ScopedCaptureDeviceSource use(&cams);
    cams.Dialogs().SetDeclared({D::VfwFormat});
    TCapture capture;
    ASSERT_TRUE(capture.InitDevices());
    capture.SelectDevices(QStringLiteral("Test Camera"), QString());
    TDeviceOptions &options = capture.DeviceOptions();
    EXPECT_EQ(options.ShowOption(QStringLiteral("video format")), 0x80004005u);
    EXPECT_EQ(options.ShowOption(QStringLiteral("Video Format ")), 0x80004005u);
    EXPECT_TRUE(cams.Dialogs().Shown().isEmpty());
    EXPECT_EQ(options.ShowOption(QStringLiteral("Video Format")), 0u);
    ASSERT_EQ(cams.Dialogs().Shown().size(), 1);
    EXPECT_EQ(cams.Dialogs().Shown()[0].Dialog, D::VfwFormat);
}

TEST(DeviceOptionList, WhatADeviceDeclaresIsListedInItsOrder)
{
    struct Case
    {
        const char *name;
        QSet<TDeviceDialog> video;
        QSet<TDeviceDialog> audio;
        QStringList listed;
        QStringList enabled;
    };
    const QString vfmt = QStringLiteral("Video Format"), vsrc = QStringLiteral("Video Source"),
                  vdsp = QStringLiteral("Video Display"),
                  vfil = QStringLiteral("Video Capture Filter"),
                  vpin = QStringLiteral("Video Capture Pin"),
                  ppin = QStringLiteral("Video Preview Pin"), tv = QStringLiteral("TV Tuner"),
                  afil = QStringLiteral("Audio Capture Filter"),
                  apin = QStringLiteral("Audio Capture Pin"), tva = QStringLiteral("TV Audio");
    const Case cases[] = {
        {"OldDriverDialogsHideEveryPage",
         {D::VfwFormat, D::VfwSource, D::VfwDisplay, D::VideoFilter, D::CapturePin},
         {},
         {vfmt, vsrc, vdsp},
         {vfmt, vsrc, vdsp}},
        {"FilterThenCapturePin", {D::CapturePin, D::VideoFilter}, {}, {vfil, vpin}, {vfil, vpin}},
        {"EveryPageInOrder",
         {D::TVTuner, D::PreviewPin, D::CapturePin, D::VideoFilter},
         {},
         {vfil, vpin, ppin, tv},
         {vfil, vpin, ppin, tv}},
        {"SourceDialogAloneKeepsThePages",
         {D::VfwSource, D::VideoFilter},
         {},
         {vsrc, vfil},
         {vsrc, vfil}},
        {"AudioSideListedButDisabled",
         {D::VideoFilter},
         {D::AudioFilter, D::AudioCapturePin, D::TVAudio},
         {afil, vfil, apin, tva},
         {vfil}},
        {"AudioPinsGoWithTheFormatDialog",
         {D::VfwFormat},
         {D::AudioFilter, D::AudioCapturePin, D::TVAudio},
         {vfmt, afil},
         {vfmt}},
        {"NoDialogs", {}, {}, {}, {}},
    };
    DialogTestDeviceSource cams({QStringLiteral("Cam")}, {QStringLiteral("Mic")});
    ScopedCaptureDeviceSource use(&cams);
    FakeMessages messages;
    TCapture capture;
    capture.WantPreview = false;
    ASSERT_TRUE(capture.InitDevices());
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        cams.Dialogs(QStringLiteral("Cam")).SetDeclared(c.video);
        cams.Dialogs(QStringLiteral("Mic")).SetDeclared(c.audio);
        capture.SelectDevices(QStringLiteral("Cam"), QStringLiteral("Mic"));
        EXPECT_EQ(Listed(capture.DeviceOptions()), c.listed);
        EXPECT_EQ(Listed(capture.DeviceOptions(), true), c.enabled);
    }
    EXPECT_EQ(messages.Count(), 0) << messages.Texts().join(u'|').toStdString();
}

TEST(DeviceOptionList, AFailedDeviceChangeLeavesItEmpty)
{
    DialogTestDeviceSource cams;
    ScopedCaptureDeviceSource use(&cams);
    cams.Dialogs().SetDeclared({D::VideoFilter, D::CapturePin});
    FakeMessages messages;
    TCapture capture;
    ASSERT_TRUE(capture.InitDevices());
    capture.SelectDevices(QStringLiteral("Test Camera"), QString());
    ASSERT_EQ(capture.DeviceOptions().Count(), 2);
    capture.SelectDevices(QStringLiteral("Gone Camera"), QString());
    EXPECT_EQ(messages.Count(), 1);
    EXPECT_EQ(capture.DeviceOptions().Count(), 0);
}

TEST(DeviceOptionDialogs, PreviewStoppedAndRebuiltAroundTheDialogsThatNeedIt)
{
    struct Case
    {
        const char *name;
        int id;
        unsigned dialogResult;
        bool shown;
        bool previewingWhileOpen;
        bool builtWhileOpen;
        int stops, starts; // around the dialog
    };
    const Case cases[] = {
        // The live ones leave the picture running.
        {"CaptureFilterLive", 4, 0, true, true, true, 0, 0},
        {"TVTunerLive", 6, 0, true, true, true, 0, 0},
        // Restarted on the same chain.
        {"SourceRestarted", 2, 0, true, false, true, 1, 1},
        {"DisplayRestarted", 3, 0, true, false, true, 1, 1},
        {"FormatRestarted", 1, 0, true, false, true, 1, 1},
        {"FormatThatCannotConnectRebuilt", 1, 0x80040217u, true, false, true, 1, 1},
        // Taken down before the dialog, built anew after it.
        {"CapturePinRebuilt", 10, 0, true, false, false, 1, 1},
        {"PreviewPinRebuilt", 11, 0, true, false, false, 1, 1},
        {"UnusedNumberDoesNothing", 5, 0, false, true, true, 0, 0},
        {"TVAudioDoesNothing", 9, 0, false, true, true, 0, 0},
    };
    DialogTestDeviceSource cams;
    ScopedCaptureDeviceSource use(&cams);
    FakeDeviceDialogs &dialogs = cams.Dialogs();
    dialogs.SetDeclared({D::VfwFormat, D::VfwSource, D::VfwDisplay, D::VideoFilter, D::CapturePin,
                         D::PreviewPin, D::TVTuner, D::TVAudio});
    FakeMessages messages;
    TCapture capture;
    int stops = 0, starts = 0;
    capture.OnStopPreview = [&] { ++stops; };
    capture.OnStartPreview = [&] { ++starts; };
    ASSERT_TRUE(capture.InitDevices());
    capture.SelectDevices(QStringLiteral("Test Camera"), QString());
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(capture.Previewing());
        const qsizetype before = dialogs.Shown().size();
        stops = starts = 0;
        dialogs.SetResult(c.dialogResult);
        EXPECT_EQ(capture.ShowDeviceOption(c.id), 0u);
        ASSERT_EQ(dialogs.Shown().size(), before + (c.shown ? 1 : 0));
        if (c.shown) {
            EXPECT_EQ(int(dialogs.Shown().last().Dialog), c.id);
            EXPECT_EQ(dialogs.Shown().last().Previewing, c.previewingWhileOpen);
            EXPECT_EQ(dialogs.Shown().last().GraphBuilt, c.builtWhileOpen);
        }
        EXPECT_EQ(stops, c.stops);
        EXPECT_EQ(starts, c.starts);
        EXPECT_TRUE(capture.Previewing());
        EXPECT_TRUE(capture.PreviewGraphBuilt());
    }
    // The picture still comes after all of it.
    std::atomic<int> frames{0};
    capture.VideoGrabber().SetOnBuffer(MakeBufferEvent([&](int, const void *, int) { ++frames; }));
    EXPECT_TRUE(SpinUntil([&] { return frames.load() > 2; }, 3000));
    EXPECT_EQ(messages.Count(), 0) << messages.Texts().join(u'|').toStdString();
}

TEST(DeviceOptionDialogs, AfterColumnRunsWhenTheDeviceNoLongerHasTheDialog)
{
    DialogTestDeviceSource cams;
    ScopedCaptureDeviceSource use(&cams);
    cams.Dialogs().SetDeclared({D::CapturePin});
    TCapture capture;
    int starts = 0;
    capture.OnStartPreview = [&] { ++starts; };
    ASSERT_TRUE(capture.InitDevices());
    capture.SelectDevices(QStringLiteral("Test Camera"), QString());
    ASSERT_EQ(capture.DeviceOptions().Count(), 1);
    cams.Dialogs().SetDeclared({});
    starts = 0;
    EXPECT_EQ(capture.DeviceOptions().ShowOption(QStringLiteral("Video Capture Pin")), 0u);
    EXPECT_TRUE(cams.Dialogs().Shown().isEmpty());
    EXPECT_EQ(starts, 1);
    EXPECT_TRUE(capture.Previewing());
}

TEST(DeviceOptionDialogs, ChosenDeviceFormatRunsUntilTheNextDeviceChange)
{
    DialogTestDeviceSource cams;
    ScopedCaptureDeviceSource use(&cams);
    const QString chosen =
        QStringLiteral("video/x-raw,format=(string)I420,width=(int)320,height=(int)240");
    cams.Dialogs().SetDeclared({D::CapturePin});
    cams.Dialogs().SetWhileOpen([&](TDeviceDialog, TCapture &c) { c.SetDeviceCaps(chosen); });
    FakeMessages messages;
    TCapture capture;
    ASSERT_TRUE(capture.InitDevices());
    capture.SelectDevices(QStringLiteral("Test Camera"), QString());
    capture.ShowDeviceOption(10);
    EXPECT_EQ(capture.DeviceCaps(), chosen);
    std::atomic<int> frames{0};
    capture.VideoGrabber().SetOnBuffer(MakeBufferEvent([&](int, const void *, int) { ++frames; }));
    EXPECT_TRUE(SpinUntil([&] { return frames.load() > 2; }, 3000));
    capture.SelectDevices(QStringLiteral("Test Camera"), QString());
    EXPECT_TRUE(capture.DeviceCaps().isEmpty());
    EXPECT_EQ(messages.Count(), 0) << messages.Texts().join(u'|').toStdString();
}

TEST(DeviceSnapshot, DeviceChangeEndsAPendingSnapshot)
{
    DialogTestDeviceSource cams;
    ScopedCaptureDeviceSource use(&cams);
    QTemporaryDir dir;
    TCapture capture;
    ASSERT_TRUE(capture.InitDevices());
    // No frames flow while the snapshot is asked for: it stays pending.
    capture.WantPreview = false;
    capture.SelectDevices(QStringLiteral("Test Camera"), QString());
    const QString oldName = dir.filePath(QStringLiteral("old.jpg"));
    capture.SetSnapshotFileName(oldName);
    capture.TakeSnapshot(100);
    ASSERT_TRUE(capture.SnapshotPending());
    // The window's handler set meanwhile is the one the snapshot hands back to.
    std::atomic<int> frames{0};
    const TBufferEvent handler = MakeBufferEvent([&](int, const void *, int) { ++frames; });
    capture.SetFrameHandler(handler);

    capture.WantPreview = true;
    capture.SelectDevices(QStringLiteral("Test Camera"), QString());
    EXPECT_FALSE(capture.SnapshotPending());
    EXPECT_EQ(capture.VideoGrabber().OnBuffer(), handler);
    ASSERT_TRUE(SpinUntil([&] { return frames.load() > 2; }, 3000));
    // The new camera's frames are not written under the old request's name.
    EXPECT_FALSE(QFile::exists(oldName));

    // And the next request is served.
    const QString newName = dir.filePath(QStringLiteral("new.jpg"));
    capture.SetSnapshotFileName(newName);
    capture.TakeSnapshot(100);
    EXPECT_TRUE(SpinUntil([&] { return !capture.SnapshotPending(); }, 3000));
    EXPECT_TRUE(QFile::exists(newName));
    EXPECT_EQ(capture.VideoGrabber().OnBuffer(), handler);
}

TEST(DeviceFormats, FormatsReadFromTheDeviceCaps)
{
    struct Case
    {
        const char *name;
        const char *caps;
        QStringList texts;
    };
    const Case cases[] = {
        {"RatesOfAListEach",
         "video/x-raw,format=YUY2,width=640,height=480,framerate={30/1,15/1}",
         {QStringLiteral("YUY2 640 x 480, 30 fps"), QStringLiteral("YUY2 640 x 480, 15 fps")}},
        {"JpegAndRawInOrder",
         "image/jpeg,width=1280,height=720,framerate=30/1; "
         "video/x-raw,format=YUY2,width=320,height=240,framerate=[5/1,25/1]",
         {QStringLiteral("MJPG 1280 x 720, 30 fps"), QStringLiteral("YUY2 320 x 240, 25 fps")}},
        {"FractionalRate",
         "video/x-raw,format=NV12,width=160,height=120,framerate=15/2",
         {QStringLiteral("NV12 160 x 120, 7.5 fps")}},
        {"CompressedAndRangesLeftOut",
         "video/x-h264,width=640,height=480,framerate=30/1; "
         "video/x-raw,format=YUY2,width=[1,640],height=[1,480]",
         {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QStringList texts;
        for (const TCaptureFormat &f : CaptureFormatsFromCaps(QString::fromLatin1(c.caps)))
            texts << f.Text();
        EXPECT_EQ(texts, c.texts);
    }
}

TEST(DeviceFormats, ChoiceInTheFormatDialogGoesToTheControl)
{
    const QList<TCaptureFormat> formats = CaptureFormatsFromCaps(
        QStringLiteral("video/x-raw,format=YUY2,width=640,height=480,framerate=30/1; "
                       "image/jpeg,width=1280,height=720,framerate=30/1"));
    ASSERT_EQ(formats.size(), 2);
    TV4l2DeviceDialogs dialogs(QString(), formats);
    EXPECT_FALSE(dialogs.Has(D::VideoFilter)); // no node, no controls
    EXPECT_TRUE(dialogs.Has(D::CapturePin));
    for (D none : {D::VfwFormat, D::VfwSource, D::VfwDisplay, D::PreviewPin, D::TVTuner,
                   D::AudioFilter, D::AudioCapturePin, D::TVAudio})
        EXPECT_FALSE(dialogs.Has(none)) << int(none);
    EXPECT_FALSE(TV4l2DeviceDialogs(QStringLiteral("/dev/video0"), {}).Has(D::CapturePin));

    TCapture capture;
    QStringList listed;
    int answer = QDialog::Accepted;
    ScopedDialogRunner runner([&](QDialog &d) {
        auto *list = d.findChild<QListWidget *>();
        listed.clear();
        for (int i = 0; i < list->count(); ++i)
            listed << list->item(i)->text();
        list->setCurrentRow(1);
        return answer;
    });
    answer = QDialog::Rejected;
    dialogs.Show(D::CapturePin, capture);
    EXPECT_TRUE(capture.DeviceCaps().isEmpty());
    answer = QDialog::Accepted;
    dialogs.Show(D::CapturePin, capture);
    EXPECT_EQ(listed, (QStringList{QStringLiteral("YUY2 640 x 480, 30 fps"),
                                   QStringLiteral("MJPG 1280 x 720, 30 fps")}));
    EXPECT_EQ(capture.DeviceCaps(), formats[1].Caps());
}

TEST(DeviceControls, NodeThatCannotBeOpenedShowsNoDialog)
{
    TV4l2DeviceDialogs dialogs(QStringLiteral("/nonexistent/video7"), {});
    ASSERT_TRUE(dialogs.Has(D::VideoFilter));
    int runs = 0;
    ScopedDialogRunner runner([&](QDialog &) { return ++runs, QDialog::Rejected; });
    TCapture capture;
    EXPECT_EQ(dialogs.Show(D::VideoFilter, capture), 0u);
    EXPECT_EQ(runs, 0);
}

TEST(DeviceControls, ControlsDialogOverTheDeviceAppliesEachChangeLive)
{
    const unsigned user = V4L2_CTRL_CLASS_USER, camera = V4L2_CTRL_CLASS_CAMERA;
    TV4l2Control brightness{V4L2_CID_BRIGHTNESS,
                            user,
                            QStringLiteral("Brightness"),
                            TV4l2ControlType::Integer,
                            -64,
                            64,
                            1,
                            0,
                            10};
    TV4l2Control awb{V4L2_CID_AUTO_WHITE_BALANCE,
                     user,
                     QStringLiteral("White Balance, Automatic"),
                     TV4l2ControlType::Boolean,
                     0,
                     1,
                     1,
                     1,
                     1};
    TV4l2Control powerLine{V4L2_CID_POWER_LINE_FREQUENCY,
                           user,
                           QStringLiteral("Power Line Frequency"),
                           TV4l2ControlType::Menu,
                           0,
                           2,
                           1,
                           1,
                           2};
    powerLine.Menu = {{0, QStringLiteral("Disabled")}, {2, QStringLiteral("60 Hz")}};
    TV4l2Control exposure{V4L2_CID_EXPOSURE_ABSOLUTE,
                          camera,
                          QStringLiteral("Exposure Time, Absolute"),
                          TV4l2ControlType::Integer,
                          1,
                          5000,
                          1,
                          157,
                          157};
    exposure.ReadOnly = true; // ruled by the automatic exposure
    FakeV4l2Device device(
        {brightness, awb, powerLine, exposure},
        {{user, QStringLiteral("User Controls")}, {camera, QStringLiteral("Camera Controls")}});

    // Through the camera's dialogs, over the opener.
    int runs = 0;
    QStringList tabs;
    const V4l2Opener previous = SetV4l2Opener([&](const QString &node) {
        EXPECT_EQ(node, QStringLiteral("/dev/video3"));
        return std::unique_ptr<IV4l2Device>(new FakeV4l2Device(device));
    });
    {
        ScopedDialogRunner runner([&](QDialog &d) {
            ++runs;
            auto *t = d.findChild<QTabWidget *>();
            for (int i = 0; i < t->count(); ++i)
                tabs << t->tabText(i);
            return int(QDialog::Rejected);
        });
        TCapture capture;
        TV4l2DeviceDialogs(QStringLiteral("/dev/video3"), {}).Show(D::VideoFilter, capture);
    }
    SetV4l2Opener(previous);
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(tabs,
              (QStringList{QStringLiteral("User Controls"), QStringLiteral("Camera Controls")}));

    TV4l2ControlsDialog dialog(device);
    auto *slider = dialog.findChild<QSlider *>(QStringLiteral("Brightness"));
    auto *box = dialog.findChild<QCheckBox *>(QStringLiteral("White Balance, Automatic"));
    auto *menu = dialog.findChild<QComboBox *>(QStringLiteral("Power Line Frequency"));
    auto *ruled = dialog.findChild<QSlider *>(QStringLiteral("Exposure Time, Absolute"));
    ASSERT_TRUE(slider && box && menu && ruled);
    EXPECT_EQ(dialog.Tabs()->widget(0)->findChildren<QWidget *>().contains(slider), true);
    EXPECT_EQ(dialog.Tabs()->widget(1)->findChildren<QWidget *>().contains(ruled), true);
    EXPECT_EQ(slider->minimum(), -64);
    EXPECT_EQ(slider->maximum(), 64);
    EXPECT_EQ(slider->value(), 10);
    EXPECT_TRUE(box->isChecked());
    EXPECT_EQ(menu->count(), 2);
    EXPECT_EQ(menu->currentText(), QStringLiteral("60 Hz"));
    EXPECT_FALSE(ruled->isEnabled());
    EXPECT_TRUE(device.Sets().isEmpty()); // showing changes nothing

    slider->setValue(-20);
    box->setChecked(false);
    menu->activated(0);
    ASSERT_EQ(device.Sets().size(), 3);
    EXPECT_EQ(device.Sets()[0].Id, unsigned(V4L2_CID_BRIGHTNESS));
    EXPECT_EQ(device.Sets()[0].Value, -20);
    EXPECT_EQ(device.Sets()[1].Id, unsigned(V4L2_CID_AUTO_WHITE_BALANCE));
    EXPECT_EQ(device.Sets()[1].Value, 0);
    // A menu entry is set by the driver's index, not by its row.
    EXPECT_EQ(device.Sets()[2].Id, unsigned(V4L2_CID_POWER_LINE_FREQUENCY));
    EXPECT_EQ(device.Sets()[2].Value, 0);
    menu->activated(1);
    EXPECT_EQ(device.Sets().last().Value, 2);
}
