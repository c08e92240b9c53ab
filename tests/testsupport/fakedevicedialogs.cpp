#include "testsupport/fakedevicedialogs.h"

#include <gst/gst.h>

namespace {

// A generated camera that answers with the dialogs of its fake.
class DialogMoniker final : public ICaptureMoniker
{
public:
    DialogMoniker(CaptureMonikerPtr camera, CaptureDialogsPtr dialogs)
        : m_camera(std::move(camera)), m_dialogs(std::move(dialogs))
    {
    }
    QString FriendlyName() const override { return m_camera->FriendlyName(); }
    GstElement *BindToObject(unsigned *result) const override
    {
        return m_camera->BindToObject(result);
    }
    CaptureDialogsPtr Dialogs() const override { return m_dialogs; }

private:
    CaptureMonikerPtr m_camera;
    CaptureDialogsPtr m_dialogs;
};

// A live generated tone standing for a microphone.
class ToneMoniker final : public ICaptureMoniker
{
public:
    ToneMoniker(QString name, CaptureDialogsPtr dialogs)
        : m_name(std::move(name)), m_dialogs(std::move(dialogs))
    {
    }
    QString FriendlyName() const override { return m_name; }
    GstElement *BindToObject(unsigned *result) const override
    {
        GstElement *e = gst_element_factory_make("audiotestsrc", nullptr);
        if (e)
            g_object_set(e, "is-live", TRUE, nullptr);
        *result = e ? CaptureResult::Ok : CaptureResult::NotRegistered;
        return e;
    }
    CaptureDialogsPtr Dialogs() const override { return m_dialogs; }

private:
    QString m_name;
    CaptureDialogsPtr m_dialogs;
};

} // namespace

unsigned FakeDeviceDialogs::Show(TDeviceDialog dialog, TCapture &capture)
{
    m_shown.append({dialog, capture.Previewing(), capture.PreviewGraphBuilt()});
    if (m_whileOpen)
        m_whileOpen(dialog, capture);
    return m_result;
}

DialogTestDeviceSource::DialogTestDeviceSource(QStringList names, QStringList audioNames)
    : m_names(names), m_audioNames(std::move(audioNames)), m_cameras(std::move(names))
{
    for (qsizetype i = 0; i < m_names.size() + m_audioNames.size(); ++i)
        m_dialogs.append(std::make_shared<FakeDeviceDialogs>());
}

QList<CaptureMonikerPtr> DialogTestDeviceSource::Enumerate(CaptureCategory category)
{
    QList<CaptureMonikerPtr> list;
    if (category == CaptureCategory::Audio) {
        for (qsizetype i = 0; i < m_audioNames.size(); ++i)
            list.append(
                std::make_shared<ToneMoniker>(m_audioNames[i], m_dialogs[m_names.size() + i]));
        return list;
    }
    const QList<CaptureMonikerPtr> cameras = m_cameras.Enumerate(category);
    for (qsizetype i = 0; i < cameras.size(); ++i)
        list.append(std::make_shared<DialogMoniker>(cameras[i], m_dialogs.value(i)));
    return list;
}

FakeDeviceDialogs &DialogTestDeviceSource::Dialogs(const QString &name)
{
    qsizetype i = m_names.indexOf(name);
    if (i < 0 && m_audioNames.contains(name))
        i = m_names.size() + m_audioNames.indexOf(name);
    return *m_dialogs.at(qMax<qsizetype>(0, i));
}

bool FakeV4l2Device::SetControl(unsigned id, int value)
{
    m_sets.append({id, value});
    for (TV4l2Control &c : m_controls)
        if (c.Id == id)
            c.Value = value;
    return true;
}
