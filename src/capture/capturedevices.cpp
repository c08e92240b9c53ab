#include "capture/capturedevices.h"

#include "capture/devicedialogs.h"

#include <gst/gst.h>

#include <mutex>

namespace {

bool g_gstReady = false;

class MonitorMoniker final : public ICaptureMoniker
{
public:
    MonitorMoniker(GstDevice *device, QString name)
        : m_device(device), m_name(std::move(name)), m_dialogs(dialogsOf(device))
    {
    }
    ~MonitorMoniker() override { gst_object_unref(m_device); }
    MonitorMoniker(const MonitorMoniker &) = delete;
    MonitorMoniker &operator=(const MonitorMoniker &) = delete;

    QString FriendlyName() const override { return m_name; }
    GstElement *BindToObject(unsigned *result) const override
    {
        GstElement *e = gst_device_create_element(m_device, nullptr);
        *result = e ? CaptureResult::Ok : CaptureResult::Fail;
        return e;
    }
    CaptureDialogsPtr Dialogs() const override { return m_dialogs; }

private:
    // The controls need the device node, which the providers state among the properties.
    static CaptureDialogsPtr dialogsOf(GstDevice *device)
    {
        QString node;
        if (GstStructure *props = gst_device_get_properties(device)) {
            for (const char *key : {"device.path", "api.v4l2.path"})
                if (const gchar *path = gst_structure_get_string(props, key)) {
                    node = QString::fromUtf8(path);
                    break;
                }
            gst_structure_free(props);
        }
        QList<TCaptureFormat> formats;
        if (GstCaps *caps = gst_device_get_caps(device)) {
            gchar *text = gst_caps_to_string(caps);
            formats = CaptureFormatsFromCaps(QString::fromUtf8(text));
            g_free(text);
            gst_caps_unref(caps);
        }
        return std::make_shared<TV4l2DeviceDialogs>(node, formats);
    }

    GstDevice *m_device; // one reference of our own
    QString m_name;
    CaptureDialogsPtr m_dialogs;
};

class MonitorSource final : public ICaptureDeviceSource
{
public:
    QList<CaptureMonikerPtr> Enumerate(CaptureCategory category) override
    {
        QList<CaptureMonikerPtr> list;
        if (!EnsureGStreamer())
            return list;
        GstDeviceMonitor *monitor = gst_device_monitor_new();
        if (!monitor)
            return list;
        gst_device_monitor_add_filter(
            monitor, category == CaptureCategory::Video ? "Video/Source" : "Audio/Source", nullptr);
        GList *devices = gst_device_monitor_get_devices(monitor);
        for (GList *d = devices; d; d = d->next) {
            auto *device = GST_DEVICE(d->data);
            gchar *name = gst_device_get_display_name(device);
            // Ownership of the list's reference passes to the moniker.
            list.append(std::make_shared<MonitorMoniker>(device, QString::fromUtf8(name)));
            g_free(name);
        }
        g_list_free(devices);
        gst_object_unref(monitor);
        return list;
    }
};

class TestMoniker final : public ICaptureMoniker
{
public:
    TestMoniker(QString name, int width, int height)
        : m_name(std::move(name)), m_width(width), m_height(height)
    {
    }
    QString FriendlyName() const override { return m_name; }
    GstElement *BindToObject(unsigned *result) const override
    {
        // A bin standing for the camera: a live generator fixed at its native size, so the
        // control has to scale it to what it asks for, as with a real device.
        GstElement *bin = gst_bin_new(nullptr);
        GstElement *src = gst_element_factory_make("videotestsrc", nullptr);
        GstElement *caps = gst_element_factory_make("capsfilter", nullptr);
        if (!bin || !src || !caps) {
            for (GstElement *e : {bin, src, caps})
                if (e)
                    gst_object_unref(gst_object_ref_sink(e));
            *result = CaptureResult::NotRegistered;
            return nullptr;
        }
        g_object_set(src, "is-live", TRUE, nullptr);
        GstCaps *native = gst_caps_new_simple(
            "video/x-raw", "format", G_TYPE_STRING, "I420", "width", G_TYPE_INT, m_width, "height",
            G_TYPE_INT, m_height, "framerate", GST_TYPE_FRACTION, 30, 1, nullptr);
        g_object_set(caps, "caps", native, nullptr);
        gst_caps_unref(native);
        gst_bin_add_many(GST_BIN(bin), src, caps, nullptr);
        gst_element_link(src, caps);
        GstPad *pad = gst_element_get_static_pad(caps, "src");
        gst_element_add_pad(bin, gst_ghost_pad_new("src", pad));
        gst_object_unref(pad);
        *result = CaptureResult::Ok;
        return bin;
    }

private:
    QString m_name;
    int m_width;
    int m_height;
};

MonitorSource g_monitorSource;
ICaptureDeviceSource *g_source = nullptr;

} // namespace

bool EnsureGStreamer()
{
    static std::once_flag once;
    std::call_once(once, [] {
        GError *error = nullptr;
        g_gstReady = gst_init_check(nullptr, nullptr, &error);
        if (error)
            g_error_free(error);
    });
    return g_gstReady;
}

ICaptureDeviceSource &CurrentCaptureDeviceSource()
{
    return g_source ? *g_source : g_monitorSource;
}

ICaptureDeviceSource *SetCaptureDeviceSource(ICaptureDeviceSource *source)
{
    ICaptureDeviceSource *previous = g_source;
    g_source = source;
    return previous;
}

VideoTestDeviceSource::VideoTestDeviceSource(QStringList names, int nativeWidth, int nativeHeight)
    : m_names(std::move(names)), m_width(nativeWidth), m_height(nativeHeight)
{
}

QList<CaptureMonikerPtr> VideoTestDeviceSource::Enumerate(CaptureCategory category)
{
    QList<CaptureMonikerPtr> list;
    if (category != CaptureCategory::Video)
        return list;
    for (const QString &name : m_names)
        list.append(std::make_shared<TestMoniker>(name, m_width, m_height));
    return list;
}
