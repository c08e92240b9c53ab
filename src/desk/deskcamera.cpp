#include "desk/deskcamera.h"

DeskCamera::DeskCamera(TCapture &capture, std::function<void()> done)
    : m_capture(capture), m_done(std::move(done))
{
    m_handler = MakeBufferEvent([this](int, const void *, int) {
        // A frame that reached the plain handler before the snapshot took over is no report.
        if (m_arming.load() || m_capture.SnapshotPending())
            return;
        if (m_done)
            m_done();
    });
}

void DeskCamera::SetSnapshotFileName(const QString &fileName)
{
    m_arming.store(true);
    m_capture.SetSnapshotFileName(fileName);
}

void DeskCamera::TakeSnapshot(int quality)
{
    m_capture.TakeSnapshot(quality);
    m_arming.store(false);
}

bool DeskCamera::IsCapturing() const
{
    return m_capture.Previewing() && m_capture.VideoGrabber().Enabled();
}
