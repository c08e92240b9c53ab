#pragma once
// The settings dialogs a capture device brings, and the list of them the capture control keeps
// after every device change. A device declares its dialogs through ICaptureDeviceDialogs (the
// real cameras' stand-ins over V4L2 and GStreamer caps, or a test device's own set); the
// control lists the ones that exist and opens one by name. GUI thread only.

#include "store/dialogrunner.h"

#include <QList>
#include <QString>

#include <memory>

class QDialog;
class QWidget;
class TCapture;

// The dialogs a device may have, each under its option's number.
enum class TDeviceDialog
{
    VfwFormat = 1,
    VfwSource = 2,
    VfwDisplay = 3,
    VideoFilter = 4,
    TVTuner = 6,
    AudioFilter = 7,
    TVAudio = 9,
    CapturePin = 10,
    PreviewPin = 11,
    AudioCapturePin = 12,
};

class ICaptureDeviceDialogs
{
public:
    virtual ~ICaptureDeviceDialogs() = default;
    virtual bool Has(TDeviceDialog dialog) const = 0;
    // Shows the dialog modally over the control and answers a result code (CannotConnect from
    // the format dialog asks for the preview chain to be taken down). A dialog that cannot be
    // shown simply does not appear.
    virtual unsigned Show(TDeviceDialog dialog, TCapture &capture) = 0;
};

using CaptureDialogsPtr = std::shared_ptr<ICaptureDeviceDialogs>;

// Runs the device dialogs modally; tests replace it to answer them.
using DeviceDialogRunner = TDialogRunner::Function;
int RunDeviceDialog(QDialog &dialog);
// Installs a runner (empty: exec() again) and returns the one it replaces.
DeviceDialogRunner SetDeviceDialogRunner(DeviceDialogRunner runner);

struct TDeviceOption
{
    QString Name;
    int Id = 0;
    bool Enabled = false;
};

class TDeviceOptions
{
public:
    explicit TDeviceOptions(TCapture *owner) : m_owner(owner) {}

    void Add(int id, const QString &name, bool enabled);
    // Forgets the entries; the storage is kept for the next list.
    void Clear() { m_count = 0; }
    int Count() const { return m_count; }
    bool GetEnabled(int index) const;
    QString GetName(int index) const;
    // Opens the first entry named exactly so; E_FAIL when there is none or no owner.
    unsigned ShowOption(const QString &name);

private:
    TCapture *m_owner;
    QList<TDeviceOption> m_entries;
    int m_count = 0;
};
