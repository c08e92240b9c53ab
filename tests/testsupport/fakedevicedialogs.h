#pragma once
// Test cameras that declare whichever settings dialogs a test names, and a V4L2 device held in
// memory. Each shown dialog is recorded with the state of the capture control at that moment,
// so a test sees what was stopped or taken down around it. GUI thread only.

#include "capture/DXCapture.h"
#include "capture/v4l2device.h"

#include <QList>
#include <QMap>
#include <QSet>
#include <QStringList>

#include <functional>
#include <memory>

struct ShownDeviceDialog
{
    TDeviceDialog Dialog;
    bool Previewing; // the control was previewing while the dialog was open
    bool GraphBuilt; // its preview chain was built
};

class FakeDeviceDialogs final : public ICaptureDeviceDialogs
{
public:
    explicit FakeDeviceDialogs(QSet<TDeviceDialog> declared = {}) : m_declared(std::move(declared))
    {
    }
    bool Has(TDeviceDialog dialog) const override { return m_declared.contains(dialog); }
    unsigned Show(TDeviceDialog dialog, TCapture &capture) override;

    void SetDeclared(QSet<TDeviceDialog> declared) { m_declared = std::move(declared); }
    // The result the next dialogs answer.
    void SetResult(unsigned result) { m_result = result; }
    // Runs while a dialog is open (as the user's choice there).
    void SetWhileOpen(std::function<void(TDeviceDialog, TCapture &)> action)
    {
        m_whileOpen = std::move(action);
    }
    const QList<ShownDeviceDialog> &Shown() const { return m_shown; }

private:
    QSet<TDeviceDialog> m_declared;
    unsigned m_result = 0;
    std::function<void(TDeviceDialog, TCapture &)> m_whileOpen;
    QList<ShownDeviceDialog> m_shown;
};

// The generated cameras of VideoTestDeviceSource, each declaring the dialogs of its own fake,
// and generated microphones (audiotestsrc), likewise.
class DialogTestDeviceSource final : public ICaptureDeviceSource
{
public:
    explicit DialogTestDeviceSource(QStringList names = {QStringLiteral("Test Camera")},
                                    QStringList audioNames = {});
    QList<CaptureMonikerPtr> Enumerate(CaptureCategory category) override;

    FakeDeviceDialogs &Dialogs(const QString &name);
    FakeDeviceDialogs &Dialogs() { return Dialogs(m_names.value(0)); }

private:
    QStringList m_names;
    QStringList m_audioNames;
    VideoTestDeviceSource m_cameras;
    QList<std::shared_ptr<FakeDeviceDialogs>> m_dialogs; // cameras, then microphones
};

// A V4L2 device in memory: the controls given, each set recorded and kept.
class FakeV4l2Device final : public IV4l2Device
{
public:
    struct Set
    {
        unsigned Id;
        int Value;
    };
    FakeV4l2Device(QList<TV4l2Control> controls, QMap<unsigned, QString> classNames)
        : m_controls(std::move(controls)), m_classNames(std::move(classNames))
    {
    }
    QList<TV4l2Control> Controls() override { return m_controls; }
    QString ClassName(unsigned classId) override { return m_classNames.value(classId); }
    bool SetControl(unsigned id, int value) override;
    const QList<Set> &Sets() const { return m_sets; }

private:
    QList<TV4l2Control> m_controls;
    QMap<unsigned, QString> m_classNames;
    QList<Set> m_sets;
};
