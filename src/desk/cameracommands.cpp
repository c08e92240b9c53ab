#include "desk/cameracommands.h"

#include "capture/DXCapture.h"
#include "desk/deskcamera.h"
#include "desk/setupwebcam.h"
#include "store/settingkeys.h"
#include "store/settings.h"

void TCameraCommands::Start()
{
    TTimeRec &window = m_context.Window();
    TCapture *capture = window.Capture();
    try {
        if (!capture->InitDevices())
            return; // no camera: the column stays as it is
        capture->hide();
        // Through the control: a snapshot still pending hands back to this handler.
        capture->SetFrameHandler(window.Camera()->SnapshotDoneHandler());
        capture->OnChangeDevice = [&window] { window.CaptureChangeDevice(); };
        capture->OnVideoFormatChange = [&window] { window.CaptureVideoFormatChange(); };
        ChangeDevice();
        VideoFormatChange();
        const QString source = ReadRegString(Setting::CamSource);
        if (!source.isEmpty()) {
            window.ShowCameraColumn(true);
            capture->SelectDevices(source, QString());
            capture->show();
            window.SetWebcamHidden(false);
        }
    } catch (...) {
        Disable();
    }
}

void TCameraCommands::Enable()
{
    TTimeRec &window = m_context.Window();
    window.ShowCameraColumn(true);
    WriteRegBool(Setting::CamEnable, true);
    window.Capture()->show();
    Start();
}

void TCameraCommands::Disable()
{
    TTimeRec &window = m_context.Window();
    WriteRegString(Setting::CamSource, QString());
    WriteRegBool(Setting::CamEnable, false);
    window.SetWebcamHidden(true);
    window.Capture()->hide();
    window.ShowCameraColumn(false);
}

void TCameraCommands::Hide(bool hidden)
{
    if (hidden)
        Disable();
    else
        Enable();
}

void TCameraCommands::SetUpWebcam()
{
    TTimeRec &window = m_context.Window();
    TCapture *capture = window.Capture();
    TSetupWebcam dialog(*capture, m_context.Owner());
    capture->hide();
    window.ShowCameraColumn(false);
    const int result = dialog.HasDevices() ? m_context.RunDialog(dialog) : int(QDialog::Rejected);
    if (result == QDialog::Accepted) {
        if (dialog.ItemIndex() >= 1) {
            // The dialog has already run its choice on the control: that is the device in
            // use, not CamSource, which "Confirm" has just overwritten.
            if (dialog.Text() == capture->VideoDeviceName() && capture->InitDevices())
                Enable();
            else
                Start();
            // A device picked while the camera was off must survive the next start.
            if (!window.WebcamHidden())
                WriteRegBool(Setting::CamEnable, true);
        } else {
            Disable();
        }
    } else if (!window.WebcamHidden()) {
        Start();
    }
    // A camera left off must not go on capturing behind the hidden column.
    if (window.WebcamHidden())
        capture->StopPreview();
}

void TCameraCommands::ChangeDevice()
{
    TCapture *capture = m_context.Window().Capture();
    capture->SetVideoFormat(capture->width(), capture->height(), 30.0, 24);
}

void TCameraCommands::VideoFormatChange()
{
    // The preview is laid out anew over the control's own rectangle.
    TCapture *capture = m_context.Window().Capture();
    capture->setGeometry(capture->geometry());
    capture->update();
}
