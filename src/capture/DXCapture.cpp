#include "capture/DXCapture.h"

#include "capture/snapshot.h"
#include "store/messages.h"

#include <QPainter>

#include <gst/app/gstappsink.h>
#include <gst/gst.h>
#include <gst/video/video.h>

#include <cmath>
#include <cstring>
#include <vector>

QList<TCapDeviceInfo> VideoDevices;
QList<TCapDeviceInfo> AudioDevices;

namespace {

const QString CaptureCaption = QStringLiteral("DirectShow - Capture");

// What RaiseCaptureError throws; it never leaves BuildGraph.
struct EVideoCaptureError
{
    QString message;
};

// Runs a format handler with its "dialog open" flag raised, lowered again however it ends.
void runWithFlagRaised(bool &flag, const std::function<void()> &handler)
{
    flag = true;
    try {
        handler();
    } catch (...) {
        flag = false;
        throw;
    }
    flag = false;
}

GstElement *makeElement(const char *factory)
{
    return gst_element_factory_make(factory, nullptr);
}

const char *videoFormatName(int bitCount)
{
    switch (bitCount) {
    case 32:
        return "BGRx";
    case 16:
        return "RGB15";
    case 8:
        return "GRAY8";
    default:
        return "BGR"; // 1 and 4 bits have no raw counterpart: 24 bits stand in
    }
}

} // namespace

int DVResolutionCode(TDVSize size)
{
    switch (size) {
    case TDVSize::dvsFull:
        return 1000;
    case TDVSize::dvsHalf:
        return 1001;
    case TDVSize::dvsQuater:
        return 1002;
    case TDVSize::dvsDC:
        return 1003;
    case TDVSize::dvsDontWorry:
        break;
    }
    return 0;
}

void EnumerateCaptureDevices()
{
    VideoDevices.clear();
    AudioDevices.clear();
    ICaptureDeviceSource &source = CurrentCaptureDeviceSource();
    for (const CaptureMonikerPtr &m : source.Enumerate(CaptureCategory::Video))
        VideoDevices.append({m->FriendlyName(), m});
    for (const CaptureMonikerPtr &m : source.Enumerate(CaptureCategory::Audio))
        AudioDevices.append({m->FriendlyName(), m});
}

QStringList GetVideoDeviceNames(bool refresh)
{
    if (refresh || VideoDevices.isEmpty())
        EnumerateCaptureDevices();
    QStringList names;
    for (const TCapDeviceInfo &d : VideoDevices)
        names << d.FriendlyName;
    return names;
}

QString ShowCaptureErrorBox(const QString &text, unsigned code)
{
    QString message = text;
    message.replace(QStringLiteral("%x"), QString::number(code, 16).toUpper());
    ShowMsg(MsgKind::Error, message, MsgButtons::Ok, CaptureCaption);
    return message;
}

void ShowCaptureError(const QString &text, unsigned code)
{
    ShowCaptureErrorBox(text, code);
}

// The pipeline and the elements the control keeps hold of (each with a reference of ours).
struct TCapture::Graph
{
    GstElement *pipeline = nullptr;
    GstElement *videoSource = nullptr;
    GstElement *audioSource = nullptr;
    bool videoStreamConfig = false;
    bool eventsHooked = false;
    GstElement *videoSink = nullptr;
    GstElement *audioSink = nullptr;
    // Everything below the capture sources, removed again by TearDownGraph.
    std::vector<GstElement *> downstream;

    ~Graph()
    {
        if (pipeline) {
            gst_element_set_state(pipeline, GST_STATE_NULL);
            unhookEvents();
        }
        for (GstElement *e : {videoSource, audioSource, videoSink, audioSink, pipeline})
            if (e)
                gst_object_unref(e);
    }
    void unhookEvents()
    {
        if (!eventsHooked || !pipeline)
            return;
        GstBus *bus = gst_element_get_bus(pipeline);
        gst_bus_set_sync_handler(bus, nullptr, nullptr, nullptr);
        gst_object_unref(bus);
        eventsHooked = false;
    }
};

TCapture::TCapture(QWidget *parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    resize(320, 240);
    m_snapshotHandler = MakeBufferEvent([this](int frameCount, const void *buffer, int length) {
        SnapshotCallback(frameCount, buffer, length);
    });
    SetVideoFormat(320, 240, 15.0, 24);
    SetAudioFormat(22000, 1, 16);
    ResetCaptureState();
}

TCapture::~TCapture()
{
    m_videoGrabber.SetEnabled(false);
    m_audioGrabber.SetEnabled(false);
    OnStopPreview = nullptr;
    StopPreview();
    TearDownGraph();
    ResetCaptureState();
}

bool TCapture::InitDevices()
{
    if (!EnsureGStreamer())
        return false;
    EnumerateCaptureDevices();
    return !VideoDevices.isEmpty() || !AudioDevices.isEmpty();
}

void TCapture::SelectDevices(const QString &videoName, const QString &audioName)
{
    CaptureMonikerPtr video, audio;
    for (const TCapDeviceInfo &d : VideoDevices)
        if (d.FriendlyName == videoName) {
            video = d.Moniker;
            break;
        }
    for (const TCapDeviceInfo &d : AudioDevices)
        if (d.FriendlyName == audioName) {
            audio = d.Moniker;
            break;
        }
    SetDevices(std::move(video), std::move(audio));
}

void TCapture::SetDevices(CaptureMonikerPtr videoMoniker, CaptureMonikerPtr audioMoniker)
{
    m_videoGrabber.SetEnabled(false);
    m_audioGrabber.SetEnabled(false);
    endPendingSnapshot();
    m_deviceCaps.clear();
    m_videoMoniker = std::move(videoMoniker);
    m_audioMoniker = std::move(audioMoniker);
    StopPreview();
    if (m_previewGraphBuilt)
        TearDownGraph();
    ReleaseGraphInterfaces();
    BuildGraph();
    if (WantPreview) {
        BuildPreviewGraph();
        StartPreview();
    }
    BuildDeviceOptions();
    if (OnChangeDevice)
        OnChangeDevice();
    m_videoGrabber.SetEnabled(true);
    m_audioGrabber.SetEnabled(true);
}

void TCapture::RaiseCaptureError(const QString &text, unsigned code)
{
    throw EVideoCaptureError{ShowCaptureErrorBox(text, code)};
}

bool TCapture::BuildGraph()
{
    if (!EnsureGStreamer()) {
        ShowCaptureError(
            QStringLiteral("Can't init graph builder. Probably DirectShow is not installed!"), 0);
        return false;
    }
    try {
        if (!m_graph)
            m_graph = std::make_unique<Graph>();
        Graph &g = *m_graph;
        if (g.videoSource) {
            gst_object_unref(g.videoSource);
            g.videoSource = nullptr;
        }
        unsigned bindResult = 0;
        if (m_videoMoniker) {
            m_videoDeviceName = m_videoMoniker->FriendlyName();
            if (GstElement *e = m_videoMoniker->BindToObject(&bindResult))
                g.videoSource = GST_ELEMENT(gst_object_ref_sink(e));
        }
        if (!g.videoSource)
            RaiseCaptureError(QStringLiteral("Error %x.\r\nCan't create video capture filter - "
                                             "propably you havn't video capture device!"),
                              bindResult);
        if (!g.pipeline) {
            if (GstElement *p = gst_pipeline_new(nullptr))
                g.pipeline = GST_ELEMENT(gst_object_ref_sink(p));
            else
                RaiseCaptureError(
                    QStringLiteral("Can't init graph. Probably DirectShow is not installed!"), 0);
        }
        if (!gst_bin_add(GST_BIN(g.pipeline), GST_ELEMENT(gst_object_ref(g.videoSource)))) {
            gst_object_unref(g.videoSource);
            RaiseCaptureError(
                QStringLiteral("Error %x: Can't add video capture filter into graph!"),
                CaptureResult::Fail);
        }

        // The "stream configuration": a source pad whose caps we can ask for.
        GstPad *pad = gst_element_get_static_pad(g.videoSource, "src");
        g.videoStreamConfig = pad != nullptr;
        if (!pad)
            ShowCaptureError(QStringLiteral("Error %x: Can't find VCapture:IAMStreamConfig!"),
                             CaptureResult::NoInterface);
        m_audioRelevant = true;
        if (pad) {
            if (OnVideoFormatChange) {
                runWithFlagRaised(m_videoFormatOpen, OnVideoFormatChange);
                m_frameWidth.store(m_videoFormat.Width);
                m_frameHeight.store(std::abs(m_videoFormat.Height));
            } else {
                // The device's own size, where it states one.
                GstCaps *caps = gst_pad_query_caps(pad, nullptr);
                if (caps && !gst_caps_is_empty(caps)) {
                    const GstStructure *s = gst_caps_get_structure(caps, 0);
                    int w = 0, h = 0;
                    if (gst_structure_get_int(s, "width", &w) &&
                        gst_structure_get_int(s, "height", &h) && w > 0 && h > 0) {
                        m_frameWidth.store(w);
                        m_frameHeight.store(h);
                    }
                }
                if (caps)
                    gst_caps_unref(caps);
            }
            gst_object_unref(pad);
        }

        if (m_audioRelevant) {
            if (!m_audioMoniker) {
                m_captureAudio = false;
            } else {
                if (g.audioSource) {
                    gst_object_unref(g.audioSource);
                    g.audioSource = nullptr;
                }
                unsigned audioResult = 0;
                if (GstElement *e = m_audioMoniker->BindToObject(&audioResult))
                    g.audioSource = GST_ELEMENT(gst_object_ref_sink(e));
                if (!g.audioSource) {
                    m_captureAudio = false;
                    ShowCaptureError(QStringLiteral("Can't create audio capture filter!"), 0);
                } else {
                    if (!gst_bin_add(GST_BIN(g.pipeline),
                                     GST_ELEMENT(gst_object_ref(g.audioSource)))) {
                        gst_object_unref(g.audioSource);
                        RaiseCaptureError(
                            QStringLiteral("Error %x: Can't add audio capture filter into graph!"),
                            CaptureResult::Fail);
                    }
                    GstPad *apad = gst_element_get_static_pad(g.audioSource, "src");
                    if (!apad) {
                        ShowCaptureError(QStringLiteral("Can't find ACapture:IAMStreamConfig!"), 0);
                    } else {
                        gst_object_unref(apad);
                        if (OnAudioFormatChange) {
                            runWithFlagRaised(m_audioFormatOpen, OnAudioFormatChange);
                        }
                    }
                }
            }
        }
        return true;
    } catch (const EVideoCaptureError &) {
        ReleaseGraphInterfaces();
        return false;
    } catch (...) {
        // A format handler that threw: the control never raises to its callers.
        ReleaseGraphInterfaces();
        return false;
    }
}

bool TCapture::BuildPreviewGraph()
{
    if (m_previewGraphBuilt)
        return true;
    if (m_previewing || !m_graph || !m_graph->videoSource ||
        (m_captureAudio && !m_graph->audioSource))
        return false;
    if (RenderPreviewStream())
        InsertVideoGrabber();
    else
        ShowCaptureError(QStringLiteral("This graph can't preview!"), 0);
    if (m_captureAudio)
        m_captureAudio = InsertAudioGrabber();

    // The control paints the frames itself, so the picture always has its window.
    GstBus *bus = gst_element_get_bus(m_graph->pipeline);
    gst_bus_set_sync_handler(
        bus,
        [](GstBus *, GstMessage *, gpointer self) -> GstBusSyncReply {
            QMetaObject::invokeMethod(
                static_cast<TCapture *>(self),
                [c = static_cast<TCapture *>(self)] { c->WMGraphNotify(); }, Qt::QueuedConnection);
            return GST_BUS_PASS;
        },
        this, nullptr);
    gst_object_unref(bus);
    m_graph->eventsHooked = true;
    m_previewGraphBuilt = true;
    return true;
}

bool TCapture::RenderPreviewStream()
{
    Graph &g = *m_graph;
    GstElement *convert = makeElement("videoconvert");
    GstElement *scale = makeElement("videoscale");
    GstElement *rate = makeElement("videorate");
    GstElement *caps = makeElement("capsfilter");
    GstElement *sink = makeElement("appsink");
    const std::vector<GstElement *> chain{convert, scale, rate, caps, sink};
    for (GstElement *e : chain)
        if (!e) {
            for (GstElement *o : chain)
                if (o)
                    gst_object_unref(gst_object_ref_sink(o));
            return false;
        }

    GstCaps *wanted = gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING,
                                          videoFormatName(m_videoFormat.BitCount), nullptr);
    if (g.videoStreamConfig && OnVideoFormatChange) {
        gint num = 0, den = 1;
        gst_util_double_to_fraction(m_frameRate, &num, &den);
        gst_caps_set_simple(wanted, "width", G_TYPE_INT, m_videoFormat.Width, "height", G_TYPE_INT,
                            std::abs(m_videoFormat.Height), "framerate", GST_TYPE_FRACTION, num,
                            den, "pixel-aspect-ratio", GST_TYPE_FRACTION, 1, 1, nullptr);
    }
    g_object_set(caps, "caps", wanted, nullptr);
    gst_caps_unref(wanted);
    g_object_set(sink, "sync", FALSE, "max-buffers", 2, "drop", TRUE, nullptr);

    // A format chosen in the device's format dialog is asked of the device itself; a JPEG
    // one is decoded before the conversion.
    GstElement *head = g.videoSource;
    if (!m_deviceCaps.isEmpty()) {
        if (GstCaps *device = gst_caps_from_string(m_deviceCaps.toUtf8().constData())) {
            GstElement *filter = makeElement("capsfilter");
            const bool jpeg = gst_structure_has_name(gst_caps_get_structure(device, 0),
                                                     "image/jpeg");
            GstElement *decode = jpeg ? makeElement("jpegdec") : nullptr;
            if (filter && (!jpeg || decode)) {
                g_object_set(filter, "caps", device, nullptr);
                for (GstElement *e : {filter, decode})
                    if (e) {
                        gst_bin_add(GST_BIN(g.pipeline), e);
                        g.downstream.push_back(e);
                        gst_element_link(head, e);
                        head = e;
                    }
            } else {
                for (GstElement *e : {filter, decode})
                    if (e)
                        gst_object_unref(gst_object_ref_sink(e));
            }
            gst_caps_unref(device);
        }
    }

    for (GstElement *e : chain) {
        gst_bin_add(GST_BIN(g.pipeline), e);
        g.downstream.push_back(e);
    }
    g.videoSink = GST_ELEMENT(gst_object_ref(sink));
    return gst_element_link_many(head, convert, scale, rate, caps, sink, nullptr);
}

bool TCapture::InsertVideoGrabber()
{
    if (!m_graph || !m_graph->videoSink)
        return false;
    GstAppSinkCallbacks callbacks{};
    callbacks.new_sample = [](GstAppSink *sink, gpointer self) -> GstFlowReturn {
        GstSample *sample = gst_app_sink_pull_sample(sink);
        if (!sample)
            return GST_FLOW_OK;
        GstVideoInfo info;
        GstBuffer *buffer = gst_sample_get_buffer(sample);
        GstCaps *caps = gst_sample_get_caps(sample);
        GstVideoFrame frame;
        if (buffer && caps && gst_video_info_from_caps(&info, caps) &&
            gst_video_frame_map(&frame, &info, buffer, GST_MAP_READ)) {
            // The grabber's frames are packed rows, bottom row first.
            const int w = GST_VIDEO_FRAME_WIDTH(&frame);
            const int h = GST_VIDEO_FRAME_HEIGHT(&frame);
            const int bpp = GST_VIDEO_FRAME_COMP_PSTRIDE(&frame, 0);
            const int stride = GST_VIDEO_FRAME_PLANE_STRIDE(&frame, 0);
            const auto *src = static_cast<const uchar *>(GST_VIDEO_FRAME_PLANE_DATA(&frame, 0));
            thread_local std::vector<uchar> packed;
            const size_t row = size_t(w) * size_t(bpp);
            packed.resize(row * size_t(h));
            for (int r = 0; r < h; ++r)
                std::memcpy(packed.data() + size_t(h - 1 - r) * row, src + qsizetype(r) * stride,
                            row);
            gst_video_frame_unmap(&frame);
            static_cast<TCapture *>(self)->newVideoFrame(packed.data(), int(packed.size()), w, h);
        }
        gst_sample_unref(sample);
        return GST_FLOW_OK;
    };
    gst_app_sink_set_callbacks(GST_APP_SINK(m_graph->videoSink), &callbacks, this, nullptr);
    return true;
}

void TCapture::newVideoFrame(const void *data, int length, int width, int height)
{
    m_videoGrabber.BufferCB(0.0, data, length);
    if (m_repaintQueued.exchange(true))
        return; // the GUI has not painted the previous one yet
    QImage image = FrameToBitmap(data, length, width, height);
    {
        std::lock_guard lock(m_frameMutex);
        m_preview = std::move(image);
    }
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_repaintQueued.store(false);
            update();
        },
        Qt::QueuedConnection);
}

bool TCapture::InsertAudioGrabber()
{
    Graph &g = *m_graph;
    GstElement *convert = makeElement("audioconvert");
    GstElement *resample = makeElement("audioresample");
    GstElement *caps = makeElement("capsfilter");
    GstElement *sink = makeElement("appsink");
    const std::vector<GstElement *> chain{convert, resample, caps, sink};
    for (GstElement *e : chain)
        if (!e) {
            for (GstElement *o : chain)
                if (o)
                    gst_object_unref(gst_object_ref_sink(o));
            return false;
        }
    GstCaps *wanted = gst_caps_new_simple(
        "audio/x-raw", "format", G_TYPE_STRING, m_audioFormat.BitsPerSample == 16 ? "S16LE" : "U8",
        "rate", G_TYPE_INT, m_audioFormat.SamplesPerSec, "channels", G_TYPE_INT,
        m_audioFormat.Channels, "layout", G_TYPE_STRING, "interleaved", nullptr);
    g_object_set(caps, "caps", wanted, nullptr);
    gst_caps_unref(wanted);
    g_object_set(sink, "sync", FALSE, nullptr);
    for (GstElement *e : chain) {
        gst_bin_add(GST_BIN(g.pipeline), e);
        g.downstream.push_back(e);
    }
    g.audioSink = GST_ELEMENT(gst_object_ref(sink));
    if (!gst_element_link_many(g.audioSource, convert, resample, caps, sink, nullptr))
        return false;
    GstAppSinkCallbacks callbacks{};
    callbacks.new_sample = [](GstAppSink *s, gpointer self) -> GstFlowReturn {
        if (GstSample *sample = gst_app_sink_pull_sample(s)) {
            GstMapInfo map;
            GstBuffer *buffer = gst_sample_get_buffer(sample);
            if (buffer && gst_buffer_map(buffer, &map, GST_MAP_READ)) {
                static_cast<TCapture *>(self)->m_audioGrabber.BufferCB(0.0, map.data,
                                                                       int(map.size));
                gst_buffer_unmap(buffer, &map);
            }
            gst_sample_unref(sample);
        }
        return GST_FLOW_OK;
    };
    gst_app_sink_set_callbacks(GST_APP_SINK(sink), &callbacks, this, nullptr);
    return true;
}

void TCapture::TearDownGraph()
{
    if (m_graph && m_graph->pipeline) {
        Graph &g = *m_graph;
        // Streaming stops before the chain is taken apart.
        gst_element_set_state(g.pipeline, GST_STATE_NULL);
        g.unhookEvents();
        for (GstElement *e : g.downstream) {
            gst_element_set_state(e, GST_STATE_NULL);
            gst_bin_remove(GST_BIN(g.pipeline), e);
        }
        g.downstream.clear();
        for (GstElement **sink : {&g.videoSink, &g.audioSink})
            if (*sink) {
                gst_object_unref(*sink);
                *sink = nullptr;
            }
    }
    m_previewGraphBuilt = false;
    std::lock_guard lock(m_frameMutex);
    m_preview = QImage();
}

void TCapture::ReleaseGraphInterfaces()
{
    m_graph.reset();
}

void TCapture::ResetCaptureState()
{
    ReleaseGraphInterfaces();
    m_videoFormatOpen = false;
    m_audioFormatOpen = false;
    m_audioRelevant = true;
    m_captureAudio = true;
    m_previewGraphBuilt = false;
    m_previewing = false;
}

void TCapture::SetVideoFormat(int width, int height, double frameRate, int bitCount)
{
    if (width > 0)
        m_videoFormat.Width = width;
    if (height > 0)
        m_videoFormat.Height = height;
    m_frameWidth.store(m_videoFormat.Width);
    m_frameHeight.store(m_videoFormat.Height);
    switch (bitCount) {
    case 1:
    case 4:
    case 8:
    case 16:
    case 32:
        m_videoFormat.BitCount = bitCount;
        break;
    default:
        m_videoFormat.BitCount = 24;
    }
    m_videoFormat.SizeImage =
        m_videoFormat.Width * m_videoFormat.Height * (m_videoFormat.BitCount / 8);
    m_frameRate = frameRate > 0.0 ? frameRate : 15.0;
    m_videoFormat.AvgTimePerFrame = std::llround(10000000.0 / m_frameRate);
    // While the format is open for change the pipeline's caps take this format when the
    // preview is rendered; nothing more to rewrite here.
}

void TCapture::SetAudioFormat(int sampleRate, int channels, int bitsPerSample)
{
    TAudioFormat f;
    f.FormatTag = 1;
    f.Channels = (channels == 1 || channels == 2) ? channels : 1;
    f.SamplesPerSec =
        (sampleRate == 8000 || sampleRate == 11025 || sampleRate == 22050 || sampleRate == 44100)
            ? sampleRate
            : 8000;
    f.BitsPerSample = (bitsPerSample == 8 || bitsPerSample == 16) ? bitsPerSample : 8;
    f.BlockAlign = f.Channels * f.BitsPerSample / 8;
    f.AvgBytesPerSec = f.BlockAlign * f.SamplesPerSec;
    m_audioFormat = f;
}

bool TCapture::StartPreview()
{
    if (m_previewing || !m_previewGraphBuilt)
        return true;
    m_videoGrabber.SetEnabled(true);
    m_audioGrabber.SetEnabled(true);
    if (!m_graph || !m_graph->pipeline ||
        gst_element_set_state(m_graph->pipeline, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        if (m_graph && m_graph->pipeline)
            gst_element_set_state(m_graph->pipeline, GST_STATE_NULL);
        ShowCaptureError(QStringLiteral("Error %x: Cannot run preview graph!"),
                         CaptureResult::Fail);
        return false;
    }
    if (OnStartPreview)
        OnStartPreview();
    m_previewing = true;
    return true;
}

bool TCapture::StopPreview()
{
    if (!m_previewing)
        return false;
    m_videoGrabber.SetEnabled(false);
    m_audioGrabber.SetEnabled(false);
    if (m_graph && m_graph->pipeline &&
        gst_element_set_state(m_graph->pipeline, GST_STATE_NULL) == GST_STATE_CHANGE_FAILURE) {
        ShowCaptureError(QStringLiteral("Error %x: Cannot stop preview graph!"),
                         CaptureResult::Fail);
        return false;
    }
    update();
    if (OnStopPreview)
        OnStopPreview();
    m_previewing = false;
    return true;
}

void TCapture::WMGraphNotify()
{
    const bool wasPreviewing = m_previewing;
    if (m_graph && m_graph->eventsHooked) {
        GstBus *bus = gst_element_get_bus(m_graph->pipeline);
        while (m_graph && m_graph->eventsHooked) {
            GstMessage *message = gst_bus_pop(bus);
            if (!message)
                break;
            if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR) {
                GError *error = nullptr;
                gst_message_parse_error(message, &error, nullptr);
                const bool lost = error && error->domain == GST_RESOURCE_ERROR;
                if (error)
                    g_error_free(error);
                if (lost)
                    StopPreview();
            }
            gst_message_unref(message);
        }
        gst_object_unref(bus);
    }
    if (wasPreviewing != m_previewing && WantPreview) {
        BuildPreviewGraph();
        StartPreview();
    }
}

void TCapture::SetFrameHandler(TBufferEvent handler)
{
    std::lock_guard lock(m_snapshotMutex);
    if (m_snapshotPending)
        m_savedHandler = std::move(handler);
    else
        m_videoGrabber.SetOnBuffer(std::move(handler));
}

void TCapture::endPendingSnapshot()
{
    std::lock_guard lock(m_snapshotMutex);
    if (!m_snapshotPending)
        return;
    m_videoGrabber.SetOnBuffer(m_savedHandler);
    m_snapshotPending = false;
}

ICaptureDeviceDialogs *TCapture::videoDialogs() const
{
    if (!m_graph || !m_graph->videoSource || !m_videoMoniker)
        return nullptr;
    return m_videoMoniker->Dialogs().get();
}

ICaptureDeviceDialogs *TCapture::audioDialogs() const
{
    if (!m_graph || !m_graph->audioSource || !m_audioMoniker)
        return nullptr;
    return m_audioMoniker->Dialogs().get();
}

void TCapture::BuildDeviceOptions()
{
    m_deviceOptions.Clear();
    ICaptureDeviceDialogs *video = videoDialogs();
    ICaptureDeviceDialogs *audio = audioDialogs();
    const auto has = [](ICaptureDeviceDialogs *d, TDeviceDialog which) {
        return d && d->Has(which);
    };
    const auto add = [this](TDeviceDialog which, const char *name, bool enabled) {
        m_deviceOptions.Add(int(which), QString::fromLatin1(name), enabled);
    };
    // The old drivers' dialogs replace every property page of the video side.
    const bool vfwFormat = has(video, TDeviceDialog::VfwFormat);
    if (vfwFormat)
        add(TDeviceDialog::VfwFormat, "Video Format", true);
    if (has(video, TDeviceDialog::VfwSource))
        add(TDeviceDialog::VfwSource, "Video Source", true);
    if (has(video, TDeviceDialog::VfwDisplay))
        add(TDeviceDialog::VfwDisplay, "Video Display", true);
    if (has(audio, TDeviceDialog::AudioFilter))
        add(TDeviceDialog::AudioFilter, "Audio Capture Filter", false);
    if (!video || vfwFormat)
        return;
    if (has(video, TDeviceDialog::VideoFilter))
        add(TDeviceDialog::VideoFilter, "Video Capture Filter", true);
    if (has(video, TDeviceDialog::CapturePin))
        add(TDeviceDialog::CapturePin, "Video Capture Pin", true);
    if (has(video, TDeviceDialog::PreviewPin))
        add(TDeviceDialog::PreviewPin, "Video Preview Pin", true);
    if (has(video, TDeviceDialog::TVTuner))
        add(TDeviceDialog::TVTuner, "TV Tuner", true);
    if (has(audio, TDeviceDialog::AudioCapturePin))
        add(TDeviceDialog::AudioCapturePin, "Audio Capture Pin", false);
    if (has(audio, TDeviceDialog::TVAudio))
        add(TDeviceDialog::TVAudio, "TV Audio", false);
}

unsigned TCapture::showDialog(ICaptureDeviceDialogs *dialogs, TDeviceDialog dialog)
{
    // Looked up afresh: a dialog the device no longer has is simply not shown.
    if (!dialogs || !dialogs->Has(dialog))
        return CaptureResult::Ok;
    return dialogs->Show(dialog, *this);
}

unsigned TCapture::ShowDeviceOption(int id)
{
    const auto rebuild = [this] {
        if (WantPreview) {
            BuildPreviewGraph();
            StartPreview();
        }
    };
    switch (id) {
    case int(TDeviceDialog::VfwFormat):
        if (WantPreview)
            StopPreview();
        if (showDialog(videoDialogs(), TDeviceDialog::VfwFormat) == CaptureResult::CannotConnect)
            TearDownGraph();
        rebuild();
        break;
    case int(TDeviceDialog::VfwSource):
    case int(TDeviceDialog::VfwDisplay):
        if (WantPreview)
            StopPreview();
        showDialog(videoDialogs(), TDeviceDialog(id));
        if (WantPreview)
            StartPreview();
        break;
    case int(TDeviceDialog::VideoFilter):
    case int(TDeviceDialog::TVTuner):
        showDialog(videoDialogs(), TDeviceDialog(id));
        break;
    case int(TDeviceDialog::AudioFilter):
        showDialog(audioDialogs(), TDeviceDialog::AudioFilter);
        break;
    case int(TDeviceDialog::CapturePin):
        if (WantPreview)
            StopPreview();
        if (m_previewGraphBuilt)
            TearDownGraph();
        showDialog(videoDialogs(), TDeviceDialog::CapturePin);
        rebuild();
        break;
    case int(TDeviceDialog::PreviewPin):
        if (WantPreview) {
            StopPreview();
            TearDownGraph();
        }
        showDialog(videoDialogs(), TDeviceDialog::PreviewPin);
        rebuild();
        break;
    case int(TDeviceDialog::AudioCapturePin):
        if (WantPreview)
            StopPreview();
        showDialog(audioDialogs(), TDeviceDialog::AudioCapturePin);
        if (WantPreview)
            StartPreview();
        break;
    default:
        break;
    }
    return CaptureResult::Ok;
}

QString TCapture::SnapshotFileName() const
{
    std::lock_guard lock(m_snapshotMutex);
    return m_snapshotFileName;
}

void TCapture::SetSnapshotFileName(const QString &fileName)
{
    std::lock_guard lock(m_snapshotMutex);
    m_snapshotFileName = fileName;
}

bool TCapture::SnapshotPending() const
{
    std::lock_guard lock(m_snapshotMutex);
    return m_snapshotPending;
}

int TCapture::SnapshotQuality() const
{
    std::lock_guard lock(m_snapshotMutex);
    return m_snapshotQuality;
}

void TCapture::TakeSnapshot(int quality)
{
    if (!m_videoGrabber.Enabled())
        return;
    std::lock_guard lock(m_snapshotMutex);
    const bool wasPending = m_snapshotPending;
    m_snapshotPending = true;
    if (quality >= 0 && quality <= 100)
        m_snapshotQuality = quality;
    if (!wasPending) {
        m_savedHandler = m_videoGrabber.OnBuffer();
        m_videoGrabber.SetOnBuffer(m_snapshotHandler);
    }
}

void TCapture::SnapshotCallback(int frameCount, const void *buffer, int length)
{
    QString fileName;
    int quality = 0;
    bool pending;
    {
        std::lock_guard lock(m_snapshotMutex);
        pending = m_snapshotPending;
        // Our own copy: a name set meanwhile does not disturb this write.
        fileName = m_snapshotFileName;
        quality = m_snapshotQuality;
    }
    if (pending) {
        const QImage bitmap = FrameToBitmap(buffer, length, FrameWidth(), FrameHeight());
        if (!bitmap.isNull()) {
            if (fileName.isEmpty()) {
                fileName = QStringLiteral("capture.jpg");
                std::lock_guard lock(m_snapshotMutex);
                if (m_snapshotFileName.isEmpty())
                    m_snapshotFileName = fileName;
            }
            // A file that cannot be written is left out; nothing is reported from here.
            WriteJpegFile(bitmap, fileName, quality < 0 || quality > 100 ? 100 : quality);
        }
    }
    TBufferEvent saved;
    {
        std::lock_guard lock(m_snapshotMutex);
        if (pending) {
            m_videoGrabber.SetOnBuffer(m_savedHandler);
            m_snapshotPending = false;
        }
        saved = m_savedHandler;
    }
    if (saved && *saved)
        (*saved)(frameCount, buffer, length);
}

QImage TCapture::PreviewImage() const
{
    std::lock_guard lock(m_frameMutex);
    return m_preview;
}

void TCapture::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QImage image = PreviewImage();
    if (image.isNull() || !m_previewGraphBuilt)
        painter.fillRect(rect(), Color);
    else
        painter.drawImage(rect(), image); // stretched, aspect ratio not kept
}
