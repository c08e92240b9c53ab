#pragma once
// The capture devices of the PC, by display name, behind a seam that tests replace: the real
// source asks GStreamer's device monitor for "Video/Source" and "Audio/Source" devices; the test
// source lists generated cameras (videotestsrc). A moniker makes the device's source element.
// GUI thread only.

#include "capture/deviceoptions.h"

#include <QList>
#include <QString>

#include <memory>

typedef struct _GstElement GstElement;

// Result codes of our own for GStreamer failures, shown in the capture error boxes.
namespace CaptureResult {
constexpr unsigned Ok = 0;
constexpr unsigned Fail = 0x80004005;          // a state change or call failed
constexpr unsigned NoInterface = 0x80004002;   // the element lacks what was asked of it
constexpr unsigned NotRegistered = 0x80040154; // no GStreamer element of that kind installed
constexpr unsigned CannotConnect = 0x80040217; // two elements would not link
} // namespace CaptureResult

// Makes GStreamer ready once for the process; false when it cannot start.
bool EnsureGStreamer();

class ICaptureMoniker
{
public:
    virtual ~ICaptureMoniker() = default;
    virtual QString FriendlyName() const = 0;
    // A new floating source element for the device, or null with a result code in *result.
    virtual GstElement *BindToObject(unsigned *result) const = 0;
    // The device's own settings dialogs; none when it has none.
    virtual CaptureDialogsPtr Dialogs() const { return {}; }
};

using CaptureMonikerPtr = std::shared_ptr<const ICaptureMoniker>;

enum class CaptureCategory
{
    Video,
    Audio,
};

class ICaptureDeviceSource
{
public:
    virtual ~ICaptureDeviceSource() = default;
    // The devices of a category in the platform's order.
    virtual QList<CaptureMonikerPtr> Enumerate(CaptureCategory category) = 0;
};

// The source in use (the device monitor unless one was installed).
ICaptureDeviceSource &CurrentCaptureDeviceSource();
// Installs a source (null: the device monitor again) and returns the one it replaces.
ICaptureDeviceSource *SetCaptureDeviceSource(ICaptureDeviceSource *source);

// Test cameras: each name lists as a video device whose picture comes from videotestsrc at
// its own native size (320 x 240 unless given), live, at the frame rate asked downstream.
class VideoTestDeviceSource final : public ICaptureDeviceSource
{
public:
    explicit VideoTestDeviceSource(QStringList names = {QStringLiteral("Test Camera")},
                                   int nativeWidth = 320, int nativeHeight = 240);
    QList<CaptureMonikerPtr> Enumerate(CaptureCategory category) override;

private:
    QStringList m_names;
    int m_width;
    int m_height;
};

// Installs a source for the lifetime of the object.
class ScopedCaptureDeviceSource
{
public:
    explicit ScopedCaptureDeviceSource(ICaptureDeviceSource *source)
        : m_previous(SetCaptureDeviceSource(source))
    {
    }
    ~ScopedCaptureDeviceSource() { SetCaptureDeviceSource(m_previous); }
    ScopedCaptureDeviceSource(const ScopedCaptureDeviceSource &) = delete;
    ScopedCaptureDeviceSource &operator=(const ScopedCaptureDeviceSource &) = delete;

private:
    ICaptureDeviceSource *m_previous;
};
