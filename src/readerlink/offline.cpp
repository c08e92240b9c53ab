#include "readerlink/offline.h"

#include "readerlink/reader.h"
#include "store/formplacement.h"
#include "store/guard.h"
#include "store/settings.h"
#include "store/utils.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTimeEdit>
#include <QVBoxLayout>

#include <algorithm>

namespace {
template <typename W> W *named(W *widget, const char *name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

QPushButton *button(const char *name, const char *text)
{
    return named(new QPushButton(QString::fromLatin1(text)), name);
}

QCheckBox *check(const char *name, const char *text)
{
    return named(new QCheckBox(QString::fromLatin1(text)), name);
}

QGroupBox *group(const char *name, const char *title)
{
    return named(new QGroupBox(QString::fromLatin1(title)), name);
}
} // namespace

TDlgOffline::TDlgOffline(const std::vector<TRfidReader *> &readers, QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("DlgOffline"));
    setWindowTitle(QStringLiteral("Offline Reader Manager"));
    buildControls();
    // A fixed window of the design's size, larger only where the desktop's font needs more
    // room for the controls.
    layout()->activate();
    setFixedSize(QSize(600, 318).expandedTo(minimumSizeHint()));

    std::vector<TRfidReader *> enabled;
    for (TRfidReader *r : readers)
        if (r && r->Enable() && r->PortNo() >= 1)
            enabled.push_back(r);
    std::sort(enabled.begin(), enabled.end(),
              [](TRfidReader *a, TRfidReader *b) { return a->PortNo() < b->PortNo(); });
    for (TRfidReader *r : enabled) {
        m_readers.push_back(r);
        m_ports.push_back(r->PortNo());
        m_cbPortList->addItem(r->Desc());
    }

    const TOfflinePrefs prefs = LoadSettings(PortCount());
    if (PortCount() > 0)
        m_cbPortList->setCurrentIndex(prefs.DefPort);
    m_cbClearAfter->setChecked(prefs.ClearAfter);
    m_cbSetClock->setChecked(prefs.SetClock);
    putPage(prefs.Page);
    m_session.SetReader(ChosenReader());
    m_session.SetProgressOwner(this);

    m_session.OnStatus = [this](bool shown, const QString &text) {
        m_eStatus->setText(text);
        m_eStatus->setVisible(shown);
    };
    m_session.OnBusy = [this](bool busy) { setBusy(busy); };

    connect(m_cbPortList, &QComboBox::activated, this, [this] { cbPortListClick(); });
    connect(m_bsetclk, &QPushButton::clicked, this, &TDlgOffline::bsetclkClick);
    connect(m_bdownload, &QPushButton::clicked, this, &TDlgOffline::bdownloadClick);
    connect(m_bclrrec, &QPushButton::clicked, this, &TDlgOffline::bclrrecClick);
    connect(m_bupload, &QPushButton::clicked, this, &TDlgOffline::buploadClick);
    connect(m_bPut, &QPushButton::clicked, this, &TDlgOffline::bPutClick);
    connect(m_bGet, &QPushButton::clicked, this, &TDlgOffline::bGetClick);
    connect(m_Button3, &QPushButton::clicked, this, &TDlgOffline::Button3Click);
    connect(m_Button1, &QPushButton::clicked, this, Guarded(this, &TDlgOffline::Button1Click));
}

TDlgOffline::~TDlgOffline()
{
    m_session.OnStatus = {};
    m_session.OnBusy = {};
}

void TDlgOffline::buildControls()
{
    auto *top = new QVBoxLayout(this);

    m_gbReader = group("gbReader", "Reader");
    auto *readerRow = new QHBoxLayout(m_gbReader);
    m_cbPortList = named(new QComboBox, "cbPortList");
    m_bsetclk = button("bsetclk", "Synchronize PC's Clock");
    readerRow->addWidget(m_cbPortList, 1);
    readerRow->addWidget(m_bsetclk);
    top->addWidget(m_gbReader);

    auto *middle = new QHBoxLayout;
    auto *left = new QVBoxLayout;
    m_gbRecord = group("gbRecord", "Attendance Record");
    auto *record = new QVBoxLayout(m_gbRecord);
    m_cbClearAfter = check("cbClearAfter", "Clear After Download");
    m_bdownload = button("bdownload", "Download from Reader");
    m_bclrrec = button("bclrrec", "Clear Record");
    record->addWidget(m_cbClearAfter);
    record->addWidget(m_bdownload);
    record->addWidget(m_bclrrec);
    left->addWidget(m_gbRecord);
    m_gbCard = group("gbCard", "Card Information");
    auto *card = new QVBoxLayout(m_gbCard);
    m_bupload = button("bupload", "Upload to Reader");
    card->addWidget(m_bupload);
    left->addWidget(m_gbCard);
    left->addStretch();
    middle->addLayout(left);

    m_gbSettings = group("gbSettings", "Reader Settings");
    auto *settings = new QGridLayout(m_gbSettings);
    auto *lcd = group("gbLcd", "LCD Display");
    auto *lcdGrid = new QGridLayout(lcd);
    m_edLine1 = named(new QLineEdit, "edLine1");
    m_edLine2 = named(new QLineEdit, "edLine2");
    m_edLine1->setMaxLength(ReaderNameWidth);
    m_edLine2->setMaxLength(ReaderNameWidth);
    m_dtDate = named(new QDateTimeEdit, "dtDate");
    m_dtDate->setDisplayFormat(QStringLiteral("HH:mm:ss - dd/MMM/yyyy"));
    m_dtDate->setEnabled(false);
    lcdGrid->addWidget(new QLabel(QStringLiteral("Line 1")), 0, 0);
    lcdGrid->addWidget(m_edLine1, 0, 1);
    lcdGrid->addWidget(new QLabel(QStringLiteral("Line 2")), 1, 0);
    lcdGrid->addWidget(m_edLine2, 1, 1);
    lcdGrid->addWidget(new QLabel(QStringLiteral("Clock")), 2, 0);
    lcdGrid->addWidget(m_dtDate, 2, 1);
    settings->addWidget(lcd, 0, 0);

    m_gbPasswd = group("gbPasswd", "PIN");
    auto *pin = new QHBoxLayout(m_gbPasswd);
    m_sePasswd = named(new QSpinBox, "sePasswd");
    m_sePasswd->setRange(0, 0xFFFF);
    pin->addWidget(m_sePasswd);
    settings->addWidget(m_gbPasswd, 1, 0);

    auto *options = group("gbOptions", "Options");
    auto *optionList = new QVBoxLayout(options);
    m_cbBacklite = check("cbBacklite", "Back Light On");
    m_cbKeypad = check("cbKeypad", "Bypass Allowed");
    m_cbCard = check("cbCard", "Any Card Bypass");
    m_cbMagnet = check("cbMagnet", "Door Magnet");
    m_cbReverse = check("cbReverse", "Lock Reverse");
    for (QCheckBox *box : {m_cbBacklite, m_cbKeypad, m_cbCard, m_cbMagnet, m_cbReverse})
        optionList->addWidget(box);
    settings->addWidget(options, 2, 0);

    m_gbAutoTime = group("gbAutoTime", "Auto IN/OUT Timetable");
    auto *rows = new QGridLayout(m_gbAutoTime);
    for (int i = 0; i < ReaderTimetableSlots; ++i) {
        m_tpTime[i] = new QTimeEdit;
        m_tpTime[i]->setObjectName(QStringLiteral("tpTime%1").arg(i + 1));
        m_tpTime[i]->setDisplayFormat(QStringLiteral("HH:mm"));
        m_cbMode[i] = new QComboBox;
        m_cbMode[i]->setObjectName(QStringLiteral("cbMode%1").arg(i + 1));
        FillModeItems(m_cbMode[i]);
        rows->addWidget(new QLabel(QString::number(i + 1)), i, 0);
        rows->addWidget(m_tpTime[i], i, 1);
        rows->addWidget(m_cbMode[i], i, 2);
    }
    settings->addWidget(m_gbAutoTime, 0, 1, 3, 1);

    auto *put = group("gbPut", "Put Settings");
    auto *putRow = new QHBoxLayout(put);
    m_cbSetClock = check("cbSetClock", "Set Clock Together");
    m_bPut = button("bPut", "Put");
    putRow->addWidget(m_cbSetClock);
    putRow->addWidget(m_bPut);
    settings->addWidget(put, 3, 0, 1, 2);
    m_gbGet = group("gbGet", "Get Settings");
    auto *getRow = new QHBoxLayout(m_gbGet);
    m_bGet = button("bGet", "Get");
    getRow->addWidget(m_bGet);
    m_gbGet->hide();
    settings->addWidget(m_gbGet, 4, 0);
    middle->addWidget(m_gbSettings, 1);

    m_gbmasterpin = group("gbmasterpin", "Master PIN");
    auto *master = new QVBoxLayout(m_gbmasterpin);
    m_semasterpin = named(new QSpinBox, "semasterpin");
    m_semasterpin->setRange(0, 0xFFFF);
    m_Button3 = button("Button3", "Put");
    master->addWidget(m_semasterpin);
    master->addWidget(m_Button3);
    master->addWidget(new QLabel(QStringLiteral("'0' to disable Master PIN")));
    m_gbmasterpin->hide();
    middle->addWidget(m_gbmasterpin);
    top->addLayout(middle);

    m_cbmaster = check("cbmaster", "");
    m_cbmaster->hide();
    auto *bottom = new QHBoxLayout;
    m_eStatus = named(new QLineEdit, "eStatus");
    m_eStatus->setReadOnly(true);
    m_eStatus->setStyleSheet(QStringLiteral("background-color: #c0c0c0;"));
    m_eStatus->hide();
    m_Button1 = button("Button1", "Close");
    bottom->addWidget(m_cbmaster);
    bottom->addWidget(m_eStatus, 1);
    bottom->addWidget(m_Button1);
    top->addLayout(bottom);
}

TRfidReader *TDlgOffline::ChosenReader() const
{
    const int i = m_cbPortList->currentIndex();
    return i >= 0 && i < PortCount() ? m_readers[std::size_t(i)] : nullptr;
}

void TDlgOffline::setBusy(bool busy)
{
    // Disabling the focused button moves the focus on, into a line edit with its text
    // selected; it goes back when the session ends, so a key typed then overwrites nothing.
    if (busy)
        m_focusBeforeSession = focusWidget();
    for (QWidget *w : std::initializer_list<QWidget *>{m_bsetclk, m_bdownload, m_bclrrec, m_bupload,
                                                       m_bPut, m_Button3, m_cbPortList, m_Button1})
        w->setEnabled(!busy);
    if (!busy && m_focusBeforeSession && m_focusBeforeSession->isVisible())
        m_focusBeforeSession->setFocus();
    emit SessionBusyChanged(busy);
}

void TDlgOffline::reject()
{
    if (m_session.Busy())
        return;
    QDialog::reject();
}

void TDlgOffline::showEvent(QShowEvent *event)
{
    CentreOnScreen(this);
    QDialog::showEvent(event);
}

void TDlgOffline::closeEvent(QCloseEvent *event)
{
    if (m_session.Busy()) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

// --- the settings page ----------------------------------------------------------------------

void TDlgOffline::FillModeItems(QComboBox *box)
{
    box->clear();
    box->addItems({QStringLiteral("Not Used"), QStringLiteral("IN"), QStringLiteral("OUT")});
    box->setCurrentIndex(0);
}

void TDlgOffline::FillPinItems(QComboBox *box)
{
    box->clear();
    box->addItems({QStringLiteral("Not Used"), QStringLiteral("No PIN"), QStringLiteral("PIN")});
    box->setCurrentIndex(0);
}

void TDlgOffline::applyLayout(int mode)
{
    m_cbBacklite->show();
    switch (mode) {
    case 0:
        m_gbAutoTime->show();
        m_gbAutoTime->setTitle(QStringLiteral("Auto IN/OUT Timetable"));
        for (QComboBox *box : m_cbMode)
            FillModeItems(box);
        m_gbPasswd->hide();
        m_cbKeypad->hide();
        m_cbCard->hide();
        m_cbMagnet->hide();
        m_cbReverse->hide();
        break;
    case 1:
        m_gbAutoTime->show();
        m_gbAutoTime->setTitle(QStringLiteral("PIN Timetable"));
        for (QComboBox *box : m_cbMode)
            FillPinItems(box);
        m_gbPasswd->show();
        m_cbKeypad->show();
        m_cbKeypad->setText(QStringLiteral("Bypass Switch"));
        m_cbCard->show();
        m_cbMagnet->show();
        m_cbReverse->show();
        break;
    case 2:
        m_gbAutoTime->hide();
        m_gbPasswd->hide();
        m_cbKeypad->show();
        m_cbKeypad->setText(QStringLiteral("Keypad Bypass"));
        m_cbCard->show();
        m_cbMagnet->show();
        m_cbReverse->show();
        break;
    default:
        break;
    }
}

void TDlgOffline::SetOptionBits(int value)
{
    m_cbBacklite->setChecked(value & OptionBackLight);
    m_cbKeypad->setChecked(value & OptionBypassAllowed);
    m_cbCard->setChecked(value & OptionAnyCardBypass);
    m_cbMagnet->setChecked(value & OptionDoorMagnet);
    m_cbReverse->setChecked(value & OptionLockReverse);
}

int TDlgOffline::GetOptionBits() const
{
    return (m_cbBacklite->isChecked() ? OptionBackLight : 0) |
           (m_cbKeypad->isChecked() ? OptionBypassAllowed : 0) |
           (m_cbCard->isChecked() ? OptionAnyCardBypass : 0) |
           (m_cbMagnet->isChecked() ? OptionDoorMagnet : 0) |
           (m_cbReverse->isChecked() ? OptionLockReverse : 0);
}

void TDlgOffline::putPage(const TOfflineSettings &page)
{
    m_edLine1->setText(page.Line1);
    m_edLine2->setText(page.Line2);
    if (page.Clock.isValid())
        m_dtDate->setDateTime(page.Clock);
    m_sePasswd->setValue(page.Pin);
    SetOptionBits(page.Options);
    for (int i = 0; i < ReaderTimetableSlots; ++i) {
        m_cbMode[i]->setCurrentIndex(page.RowMode[i]);
        m_tpTime[i]->setTime(page.RowTime[i]);
    }
}

TOfflineSettings TDlgOffline::readPage() const
{
    TOfflineSettings page;
    page.Line1 = m_edLine1->text();
    page.Line2 = m_edLine2->text();
    page.Pin = m_sePasswd->value();
    page.Options = GetOptionBits();
    for (int i = 0; i < ReaderTimetableSlots; ++i) {
        page.RowMode[i] = std::max(0, m_cbMode[i]->currentIndex());
        const QTime t = m_tpTime[i]->time();
        page.RowTime[i] = QTime(t.hour(), t.minute());
    }
    return page;
}

// --- commands -------------------------------------------------------------------------------

void TDlgOffline::cbPortListClick()
{
    TRfidReader *reader = ChosenReader();
    if (!reader || m_session.Busy())
        return;
    m_session.SetReader(reader);
    if (m_cbmaster->isChecked()) {
        GetMasterPin();
        return;
    }
    applyLayout(reader->Mode());
    m_bGet->click();
}

void TDlgOffline::bGetClick()
{
    if (!ChosenReader() || m_session.Busy())
        return;
    TOfflineSettings page = readPage();
    m_session.GetSettings(page);
    putPage(page);
}

void TDlgOffline::bPutClick()
{
    if (!ChosenReader() || m_session.Busy())
        return;
    TOfflineSettings page = readPage();
    const bool setClock = m_cbSetClock->isChecked();
    // The lines go out padded, and the boxes show what went out.
    page.Line1 = PadToWidth(page.Line1, ReaderNameWidth);
    page.Line2 = PadToWidth(page.Line2, ReaderNameWidth);
    m_edLine1->setText(page.Line1);
    m_edLine2->setText(page.Line2);
    m_session.PutSettings(page, setClock);
}

void TDlgOffline::bsetclkClick()
{
    if (ChosenReader())
        m_session.SetClock();
}

void TDlgOffline::bclrrecClick()
{
    if (ChosenReader())
        m_session.ClearRecord();
}

void TDlgOffline::bdownloadClick()
{
    if (ChosenReader())
        m_session.Download(m_cbClearAfter->isChecked());
}

void TDlgOffline::buploadClick()
{
    if (ChosenReader())
        m_session.UploadCards();
}

void TDlgOffline::ShowMasterPinOnly()
{
    m_cbmaster->setChecked(true);
    m_gbRecord->hide();
    m_gbCard->hide();
    m_gbSettings->hide();
    m_bsetclk->hide();
    m_gbmasterpin->show();
    // A small window of its own, but never smaller than its controls need in the desktop's
    // font: squeezed, the reader choice and the PIN box are cut to unreadable slivers.
    layout()->activate();
    m_gbReader->setFixedHeight(std::max(49, m_gbReader->minimumSizeHint().height()));
    setFixedSize(QSize(182, 200).expandedTo(minimumSizeHint()));
    setWindowTitle(QStringLiteral("Master PIN"));
    GetMasterPin();
}

void TDlgOffline::GetMasterPin()
{
    if (!ChosenReader())
        return;
    int pin = m_semasterpin->value();
    m_session.GetMasterPin(pin);
    m_semasterpin->setValue(pin);
}

void TDlgOffline::Button3Click()
{
    if (ChosenReader())
        m_session.PutMasterPin(m_semasterpin->value());
}

void TDlgOffline::Button1Click()
{
    if (m_session.Busy())
        return;
    TOfflinePrefs prefs;
    prefs.DefPort = m_cbPortList->currentIndex();
    prefs.ClearAfter = m_cbClearAfter->isChecked();
    prefs.SetClock = m_cbSetClock->isChecked();
    prefs.Page = readPage();
    // "Close" closes even when the choices cannot be kept.
    RunGuarded([&prefs] { SaveSettings(prefs, prefs.DefPort >= 0); });
    // The page shows what was kept.
    m_edLine1->setText(PadToWidth(prefs.Page.Line1, ReaderNameWidth));
    m_edLine2->setText(PadToWidth(prefs.Page.Line2, ReaderNameWidth));
    QDialog::reject();
}
