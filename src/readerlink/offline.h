#pragma once
// TDlgOffline, "Offline Reader Manager": the window over TOfflineSession. It shows and reads
// its controls; the exchanges with the reader are the session's. While a session runs, the
// operation buttons, the reader choice and Close are refused, so no second exchange starts
// inside the first one's wait. In master-PIN mode it shows only the reader choice and the PIN.
// Main thread only.

#include "readerlink/offlinesession.h"

#include <QDialog>
#include <QPointer>

#include <array>
#include <vector>

class QCheckBox;
class QComboBox;
class QDateTimeEdit;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTimeEdit;

class TDlgOffline : public QDialog
{
    Q_OBJECT

public:
    // readers: the desk's reader objects; the enabled ones, in port order, make the choice.
    TDlgOffline(const std::vector<TRfidReader *> &readers, QWidget *parent = nullptr);
    ~TDlgOffline() override;

    int PortCount() const { return int(m_ports.size()); }
    TRfidReader *ChosenReader() const;
    TOfflineSession &Session() { return m_session; }

    // Reader chosen: the master PIN in master-PIN mode, else the layout and the read.
    void cbPortListClick();
    void ShowMasterPinOnly();
    void GetMasterPin();

    void bsetclkClick();
    void bclrrecClick();
    void bdownloadClick();
    void buploadClick();
    void bGetClick();
    void bPutClick();
    void Button3Click();
    // Close: keeps the settings page, then closes with Cancel.
    void Button1Click();

    void reject() override;

signals:
    // A session with the reader started (true) or ended (false).
    void SessionBusyChanged(bool busy);

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void buildControls();
    void applyLayout(int mode);
    void FillModeItems(QComboBox *box);
    void FillPinItems(QComboBox *box);
    void SetOptionBits(int value);
    int GetOptionBits() const;
    void putPage(const TOfflineSettings &page);
    TOfflineSettings readPage() const;
    void setBusy(bool busy);

    TOfflineSession m_session;
    std::vector<TRfidReader *> m_readers; // the choice's readers, entry by entry
    std::vector<int> m_ports;             // the port of each entry
    QPointer<QWidget> m_focusBeforeSession;

    QGroupBox *m_gbReader = nullptr;
    QComboBox *m_cbPortList = nullptr;
    QPushButton *m_bsetclk = nullptr;
    QGroupBox *m_gbRecord = nullptr;
    QCheckBox *m_cbClearAfter = nullptr;
    QPushButton *m_bdownload = nullptr;
    QPushButton *m_bclrrec = nullptr;
    QGroupBox *m_gbCard = nullptr;
    QPushButton *m_bupload = nullptr;
    QGroupBox *m_gbSettings = nullptr;
    QLineEdit *m_edLine1 = nullptr;
    QLineEdit *m_edLine2 = nullptr;
    QDateTimeEdit *m_dtDate = nullptr;
    QGroupBox *m_gbPasswd = nullptr;
    QSpinBox *m_sePasswd = nullptr;
    QCheckBox *m_cbBacklite = nullptr;
    QCheckBox *m_cbKeypad = nullptr;
    QCheckBox *m_cbCard = nullptr;
    QCheckBox *m_cbMagnet = nullptr;
    QCheckBox *m_cbReverse = nullptr;
    QGroupBox *m_gbAutoTime = nullptr;
    std::array<QTimeEdit *, ReaderTimetableSlots> m_tpTime{};
    std::array<QComboBox *, ReaderTimetableSlots> m_cbMode{};
    QCheckBox *m_cbSetClock = nullptr;
    QPushButton *m_bPut = nullptr;
    QGroupBox *m_gbGet = nullptr;
    QPushButton *m_bGet = nullptr;
    QGroupBox *m_gbmasterpin = nullptr;
    QSpinBox *m_semasterpin = nullptr;
    QPushButton *m_Button3 = nullptr;
    QCheckBox *m_cbmaster = nullptr;
    QPushButton *m_Button1 = nullptr;
    QLineEdit *m_eStatus = nullptr;
};
