#pragma once
// TSetupWebcam: the modal "Webcam Setup" dialog of the Setup menu. It lists the video capture
// devices after "NOT USED", applies each device chosen to the main window's capture control at
// once so that the device's own settings dialogs can be offered, and stores the choice as
// CamSource on "Confirm". With no device at all it says so and ends as cancelled. Main thread
// only.

#include <QDialog>

class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;
class QWidget;
class TCapture;

class TSetupWebcam final : public QDialog
{
    Q_OBJECT

public:
    // Fills the device list (FormCreate); capture is the control the choices go to.
    TSetupWebcam(TCapture &capture, QWidget *parent = nullptr);

    // False when there was no device: the dialog has ended as cancelled already.
    bool HasDevices() const { return m_hasDevices; }
    int exec() override;

    // The entry whose text the device list shows (the chosen one first), -1 when its text
    // matches none: 0 is "NOT USED", 1 and above a device.
    int ItemIndex() const;
    QString Text() const;

    void RefreshOptions();
    // A new entry chosen or a text typed: a device entry is applied to the control.
    void cblistChange();
    void lboptionClick(const QString &name);
    // "Confirm": CamSource := the list's text.
    void Button1Click();
    void Button2Click();

    QComboBox *cblist;
    QListWidget *lboption;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void FormCreate();

    TCapture &m_capture;
    QString m_camSource;
    bool m_hasDevices = false;
};
