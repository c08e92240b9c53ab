#pragma once
// DeskCamera: the desk's camera as the swipe road uses it, over the window's capture control.
// It names and asks for the snapshots and turns the control's frame hook into the core's
// "snapshot written" report. GUI thread, except the frame handler, which runs on the capture's
// streaming thread.

#include "capture/DXCapture.h"
#include "desk/deskcore.h"

#include <atomic>
#include <functional>

class DeskCamera final : public ICaptureControl
{
public:
    // done is called (on the streaming thread) once the asked-for snapshot file is written.
    DeskCamera(TCapture &capture, std::function<void()> done);

    void SetSnapshotFileName(const QString &fileName) override;
    void TakeSnapshot(int quality) override;
    bool IsCapturing() const override;

    // The main window's handler for the control's video grabber.
    TBufferEvent SnapshotDoneHandler() const { return m_handler; }

private:
    TCapture &m_capture;
    std::function<void()> m_done;
    TBufferEvent m_handler;
    // Between naming a snapshot and asking for it, a frame passing by must not count as the
    // written file: the core has just cleared its flag for the snapshot to come.
    std::atomic<bool> m_arming{false};
};
