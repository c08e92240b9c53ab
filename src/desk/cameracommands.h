#pragma once
// TCameraCommands: the camera column of the main window: starting the capture control on the
// device chosen, switching the column on and off ("Hide Webcam"), choosing the device ("Webcam")
// and laying the preview out anew when the control's device or video format changes. The
// control itself stays the window's. Main thread only.

#include "desk/commandcontext.h"

class TCameraCommands
{
public:
    explicit TCameraCommands(const TCommandContext &context) : m_context(context) {}

    // Enumerates the devices and, with CamSource set, runs that device in the column; any
    // failure turns the camera off.
    void Start();
    void Enable();
    void Disable();
    // The "Hide Webcam" check mark has already flipped to hidden.
    void Hide(bool hidden);
    // The device chosen in "Webcam Setup" runs in the column, or the camera goes off.
    void SetUpWebcam();
    void ChangeDevice();
    void VideoFormatChange();

private:
    TCommandContext m_context;
};
