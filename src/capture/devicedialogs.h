#pragma once
// What stands in for a real camera's driver dialogs: "Video Capture Filter" is a dialog over
// the camera's V4L2 controls (a tab per control class, applied to the device as they move),
// "Video Capture Pin" a list of the formats the device offers, whose choice the preview uses
// until the next device change. The other driver dialogs have no counterpart and are never
// declared. GUI thread only.

#include "capture/deviceoptions.h"
#include "capture/v4l2device.h"

#include <QDialog>
#include <QList>
#include <QString>

class QListWidget;
class QTabWidget;

// The controls of one device, changed live.
class TV4l2ControlsDialog final : public QDialog
{
    Q_OBJECT
public:
    TV4l2ControlsDialog(IV4l2Device &device, QWidget *parent = nullptr);
    QTabWidget *Tabs() const { return m_tabs; }

private:
    QWidget *controlWidget(const TV4l2Control &control);

    IV4l2Device &m_device;
    QTabWidget *m_tabs;
};

// One format a device offers: its media type and pixel format, size and frame rate.
struct TCaptureFormat
{
    QString Media; // "video/x-raw" or "image/jpeg"
    QString Format;
    int Width = 0;
    int Height = 0;
    int RateNum = 0;
    int RateDen = 1;

    // The caps that ask the device for exactly this format.
    QString Caps() const;
    // As listed: "YUY2 640 x 480, 30 fps".
    QString Text() const;
    bool operator==(const TCaptureFormat &) const = default;
};

// The formats of a caps description that the preview can show (raw and JPEG, fixed sizes),
// one per frame rate, in the device's order.
QList<TCaptureFormat> CaptureFormatsFromCaps(const QString &caps);

class TCaptureFormatDialog final : public QDialog
{
    Q_OBJECT
public:
    // current: the caps in use, selected when listed.
    TCaptureFormatDialog(QList<TCaptureFormat> formats, const QString &current,
                         QWidget *parent = nullptr);
    QListWidget *List() const { return m_list; }
    // The chosen format; null when none is selected.
    const TCaptureFormat *Chosen() const;

private:
    QList<TCaptureFormat> m_formats;
    QListWidget *m_list;
};

// The dialogs of a real camera: the controls when it has a device node, the formats when it
// states any.
class TV4l2DeviceDialogs final : public ICaptureDeviceDialogs
{
public:
    TV4l2DeviceDialogs(QString node, QList<TCaptureFormat> formats);
    bool Has(TDeviceDialog dialog) const override;
    unsigned Show(TDeviceDialog dialog, TCapture &capture) override;

private:
    QString m_node;
    QList<TCaptureFormat> m_formats;
};
