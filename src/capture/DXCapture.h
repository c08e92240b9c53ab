#pragma once
// TCapture: the webcam control. It lists the capture devices by display name, builds a
// GStreamer pipeline for the chosen one (source -> convert -> scale -> rate -> caps of the
// requested size, rate and depth -> grabber), paints the latest frame stretched over its
// whole area (its colour where there is no picture) and writes JPEG snapshots from the frame
// grabber. Every failure is a message box captioned "DirectShow - Capture"; nothing is thrown
// to callers. GUI thread only, except the grabbers' callbacks and SnapshotCallback, which run
// on the pipeline's streaming thread.

#include "capture/capturedevices.h"
#include "capture/deviceoptions.h"
#include "capture/samplegrabber.h"

#include <QColor>
#include <QImage>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <memory>
#include <mutex>

typedef struct _GstElement GstElement;
typedef struct _GstMessage GstMessage;

// Display size asked of a DV decoder. Stored and streamed only: GStreamer's DV decoding has
// no display-resolution setting, so the value has no effect on the pipeline.
enum class TDVSize
{
    dvsDontWorry,
    dvsFull,
    dvsHalf,
    dvsQuater,
    dvsDC,
};

// DV display resolution code of a TDVSize: 0 (leave it), 1000, 1001, 1002, 1003.
int DVResolutionCode(TDVSize size);

struct TCapDeviceInfo
{
    QString FriendlyName;
    CaptureMonikerPtr Moniker;
};

// The device lists shared by every control of the process.
extern QList<TCapDeviceInfo> VideoDevices;
extern QList<TCapDeviceInfo> AudioDevices;

// Refills both lists from the current device source.
void EnumerateCaptureDevices();
// The video devices' names in list order; enumerates first when asked or when the list is empty.
QStringList GetVideoDeviceNames(bool refresh);

// Formats the text with the code (each "%x" gives it in upper-case hexadecimal), shows it in
// the capture error box and returns it.
QString ShowCaptureErrorBox(const QString &text, unsigned code);
void ShowCaptureError(const QString &text, unsigned code);

// The control's requested video format, as the pipeline's caps will ask it.
struct TVideoFormat
{
    int Width = 0;
    int Height = 0;
    int BitCount = 24;
    qint64 AvgTimePerFrame = 0; // 100-ns units
    int SizeImage = 0;
};

struct TAudioFormat
{
    int FormatTag = 1;
    int Channels = 1;
    int SamplesPerSec = 8000;
    int BitsPerSample = 16;
    int BlockAlign = 2;
    int AvgBytesPerSec = 16000;
};

class TCapture : public QWidget
{
    Q_OBJECT
public:
    using TNotifyEvent = std::function<void()>;

    explicit TCapture(QWidget *parent = nullptr);
    ~TCapture() override;
    TCapture(const TCapture &) = delete;
    TCapture &operator=(const TCapture &) = delete;

    // ---- Stored properties -----------------------------------------------------------------
    TDVSize DVPreviewSize = TDVSize::dvsDontWorry;
    bool WantPreview = true;
    bool UseFrameRate = false;
    QString CaptureFileName;
    bool UseTimeLimit = false;
    int TimeLimit = 0;
    bool UseTempFile = false;
    unsigned PreallocFileSize = 100;
    QString TempCaptureFileName;
    QColor Color = Qt::blue;

    // ---- Events (raised on the GUI thread when assigned) ------------------------------------
    TNotifyEvent OnChangeDevice;
    TNotifyEvent OnCaptureProgress; // never raised: there is no file capture
    TNotifyEvent OnStopCapture;     // never raised
    TNotifyEvent OnStopPreview;
    TNotifyEvent OnStartCapture; // never raised
    TNotifyEvent OnStartPreview;
    TNotifyEvent OnVideoFormatChange;
    TNotifyEvent OnAudioFormatChange;

    TSampleGrabberCB &VideoGrabber() { return m_videoGrabber; }
    TSampleGrabberCB &AudioGrabber() { return m_audioGrabber; }
    // The caller's handler for every video frame. While a snapshot is pending it becomes the
    // handler the snapshot hands back to, so the snapshot still ends.
    void SetFrameHandler(TBufferEvent handler);

    // ---- Devices and pipeline ------------------------------------------------------------------
    // Whether any capture device is present (enumerates them).
    bool InitDevices();
    // First device of each list whose name equals the given one exactly; none where none does.
    void SelectDevices(const QString &videoName, const QString &audioName);
    void SetDevices(CaptureMonikerPtr videoMoniker, CaptureMonikerPtr audioMoniker);
    QString VideoDeviceName() const { return m_videoDeviceName; }

    void SetVideoFormat(int width, int height, double frameRate, int bitCount);
    void SetAudioFormat(int sampleRate, int channels, int bitsPerSample);
    TVideoFormat VideoFormat() const { return m_videoFormat; }
    TAudioFormat AudioFormat() const { return m_audioFormat; }
    double FrameRate() const { return m_frameRate; }
    int FrameWidth() const { return m_frameWidth.load(); }
    int FrameHeight() const { return m_frameHeight.load(); }

    // ---- Device option dialogs ----------------------------------------------------------------
    // The dialogs of the current device, listed anew at every device change.
    TDeviceOptions &DeviceOptions() { return m_deviceOptions; }
    void BuildDeviceOptions();
    // Opens the dialog of an option's number, stopping and rebuilding the preview around the
    // ones that can change the format. Always S_OK.
    unsigned ShowDeviceOption(int id);
    // The format asked of the device itself (caps text, empty: the device's choice); the
    // preview uses it until the next device change.
    QString DeviceCaps() const { return m_deviceCaps; }
    void SetDeviceCaps(const QString &caps) { m_deviceCaps = caps; }

    bool StartPreview();
    bool StopPreview();
    bool Previewing() const { return m_previewing; }
    bool PreviewGraphBuilt() const { return m_previewGraphBuilt; }

    // ---- Snapshots -----------------------------------------------------------------------------
    QString SnapshotFileName() const;
    void SetSnapshotFileName(const QString &fileName);
    // A JPEG of the next video frame at the quality (above 100 keeps the stored one).
    void TakeSnapshot(int quality);
    bool SnapshotPending() const;
    int SnapshotQuality() const;
    // The handler TakeSnapshot installs on the video grabber. Streaming thread.
    void SnapshotCallback(int frameCount, const void *buffer, int length);

    // The latest frame as painted (null before the first).
    QImage PreviewImage() const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    struct Graph;

    bool BuildGraph();
    bool BuildPreviewGraph();
    bool RenderPreviewStream();
    bool InsertVideoGrabber();
    bool InsertAudioGrabber();
    void TearDownGraph();
    void ReleaseGraphInterfaces();
    void ResetCaptureState();
    void RaiseCaptureError(const QString &text, unsigned code);
    // Drains the pipeline's messages; a lost device stops the preview and it runs once more.
    void WMGraphNotify();
    void newVideoFrame(const void *data, int length, int width, int height);
    // A snapshot asked for before a device change is dropped, its handler put back.
    void endPendingSnapshot();
    // The dialogs of a capture source, when the graph holds its filter.
    ICaptureDeviceDialogs *videoDialogs() const;
    ICaptureDeviceDialogs *audioDialogs() const;
    unsigned showDialog(ICaptureDeviceDialogs *dialogs, TDeviceDialog dialog);

    TSampleGrabberCB m_videoGrabber;
    TSampleGrabberCB m_audioGrabber;
    TDeviceOptions m_deviceOptions{this};
    QString m_deviceCaps;
    std::unique_ptr<Graph> m_graph;
    CaptureMonikerPtr m_videoMoniker;
    CaptureMonikerPtr m_audioMoniker;
    QString m_videoDeviceName;

    TVideoFormat m_videoFormat;
    TAudioFormat m_audioFormat;
    double m_frameRate = 15.0;
    std::atomic<int> m_frameWidth{0};
    std::atomic<int> m_frameHeight{0};
    // The format is open for change while the format events run.
    bool m_videoFormatOpen = false;
    bool m_audioFormatOpen = false;

    bool m_audioRelevant = true;
    bool m_captureAudio = true;
    bool m_previewGraphBuilt = false;
    bool m_previewing = false;

    mutable std::mutex m_snapshotMutex;
    QString m_snapshotFileName;
    bool m_snapshotPending = false;
    int m_snapshotQuality = 0;
    TBufferEvent m_savedHandler;
    TBufferEvent m_snapshotHandler;

    mutable std::mutex m_frameMutex;
    QImage m_preview;
    std::atomic<bool> m_repaintQueued{false};
};
