#include "capture/deviceoptions.h"

#include "capture/DXCapture.h"

#include <QDialog>

namespace {

// The device dialogs open deep in the capture control, which has no window to hand one down.
TDialogRunner g_dialogs;

} // namespace

int RunDeviceDialog(QDialog &dialog)
{
    return g_dialogs.Run(dialog);
}

DeviceDialogRunner SetDeviceDialogRunner(DeviceDialogRunner runner)
{
    return g_dialogs.Set(std::move(runner));
}

void TDeviceOptions::Add(int id, const QString &name, bool enabled)
{
    const TDeviceOption option{name, id, enabled};
    if (m_count < m_entries.size())
        m_entries[m_count] = option;
    else
        m_entries.append(option);
    ++m_count;
}

bool TDeviceOptions::GetEnabled(int index) const
{
    return index >= 0 && index < m_count && m_entries[index].Enabled;
}

QString TDeviceOptions::GetName(int index) const
{
    return index >= 0 && index < m_count ? m_entries[index].Name : QString();
}

unsigned TDeviceOptions::ShowOption(const QString &name)
{
    if (!m_owner)
        return CaptureResult::Fail;
    for (int i = 0; i < m_count; ++i)
        if (m_entries[i].Name == name)
            return m_owner->ShowDeviceOption(m_entries[i].Id);
    return CaptureResult::Fail;
}
