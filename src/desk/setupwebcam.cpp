#include "desk/setupwebcam.h"

#include "capture/DXCapture.h"
#include "store/guard.h"
#include "store/messages.h"
#include "store/settings.h"
#include "store/waitcursor.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const QString NotUsed = QStringLiteral("NOT USED");

} // namespace

TSetupWebcam::TSetupWebcam(TCapture &capture, QWidget *parent) : QDialog(parent), m_capture(capture)
{
    setWindowTitle(QStringLiteral("Webcam Setup"));
    setFixedSize(310, 139);

    auto *Panel2 = new QWidget(this);
    Panel2->setObjectName(QStringLiteral("Panel2"));
    Panel2->setGeometry(0, 0, 310, 139 - 34);
    auto *Label1 = new QLabel(QStringLiteral("Video Source"), Panel2);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->move(7, 10);
    cblist = new QComboBox(Panel2);
    cblist->setObjectName(QStringLiteral("cblist"));
    cblist->setGeometry(81, 7, 222, 21);
    cblist->setEditable(true);
    // Typed text only picks an entry; it never becomes one.
    cblist->setInsertPolicy(QComboBox::NoInsert);
    cblist->setCompleter(nullptr);
    cblist->setCursor(Qt::PointingHandCursor);
    auto *Label2 = new QLabel(QStringLiteral("Options"), Panel2);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->move(7, 33);
    lboption = new QListWidget(Panel2);
    lboption->setObjectName(QStringLiteral("lboption"));
    lboption->setGeometry(81, 33, 222, 63);
    lboption->setCursor(Qt::PointingHandCursor);

    auto *Panel1 = new QWidget(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setGeometry(0, 139 - 34, 310, 34);
    auto *Button1 = new QPushButton(QStringLiteral("Confirm"), Panel1);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(4, 4, 75, 25);
    Button1->setCursor(Qt::PointingHandCursor);
    auto *Button2 = new QPushButton(QStringLiteral("Cancel"), Panel1);
    Button2->setObjectName(QStringLiteral("Button2"));
    Button2->setGeometry(84, 4, 75, 25);
    Button2->setCursor(Qt::PointingHandCursor);

    FormCreate();

    connect(Button1, &QPushButton::clicked, this, Guarded(this, &TSetupWebcam::Button1Click));
    connect(Button2, &QPushButton::clicked, this, Guarded(this, &TSetupWebcam::Button2Click));
    // One signal for both a chosen entry and typed text, so a choice is applied once.
    connect(cblist, &QComboBox::currentTextChanged, this,
            Guarded(this, &TSetupWebcam::cblistChange));
    connect(lboption, &QListWidget::itemClicked, this,
            [this](QListWidgetItem *item) { lboptionClick(item->text()); });
}

void TSetupWebcam::FormCreate()
{
    cblist->clear();
    QStringList devices;
    {
        // Looking for devices takes seconds where there is none; the box comes after it.
        TWaitCursor wait;
        devices = GetVideoDeviceNames(false);
    }
    if (devices.isEmpty()) {
        // Said even when the choice cannot be cleared.
        RunGuarded([] { WriteRegString(Setting::CamSource, QString()); });
        ShowMsg(MsgKind::Error, QStringLiteral("No webcam device."), MsgButtons::Ok);
        setResult(QDialog::Rejected);
        return;
    }
    m_hasDevices = true;
    cblist->addItem(NotUsed);
    cblist->addItems(devices);
    m_camSource = ReadRegString(Setting::CamSource);
    if (m_camSource.isEmpty()) {
        cblist->setCurrentIndex(0);
        return;
    }
    const int match = cblist->findText(m_camSource, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (match >= 0)
        cblist->setCurrentIndex(match);
    else
        cblist->setEditText(QString()); // nothing selected
}

int TSetupWebcam::exec()
{
    // With no device the dialog has already ended.
    if (!m_hasDevices)
        return QDialog::Rejected;
    return QDialog::exec();
}

void TSetupWebcam::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!m_hasDevices) {
        QMetaObject::invokeMethod(this, &QDialog::reject, Qt::QueuedConnection);
        return;
    }
    RefreshOptions();
}

int TSetupWebcam::ItemIndex() const
{
    const QString text = cblist->currentText();
    const int current = cblist->currentIndex();
    if (current >= 0 && cblist->itemText(current) == text)
        return current;
    return cblist->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
}

QString TSetupWebcam::Text() const
{
    return cblist->currentText();
}

void TSetupWebcam::RefreshOptions()
{
    lboption->clear();
    if (ItemIndex() <= 0)
        return;
    TDeviceOptions &options = m_capture.DeviceOptions();
    for (int i = 0; i < options.Count(); ++i)
        if (options.GetEnabled(i))
            lboption->addItem(options.GetName(i));
}

void TSetupWebcam::cblistChange()
{
    // "NOT USED" leaves the control and the options as they are.
    if (ItemIndex() <= 0 || !m_capture.InitDevices())
        return;
    m_capture.SelectDevices(Text(), QString());
    RefreshOptions();
}

void TSetupWebcam::lboptionClick(const QString &name)
{
    m_capture.DeviceOptions().ShowOption(name);
}

void TSetupWebcam::Button1Click()
{
    WriteRegString(Setting::CamSource, Text());
    accept();
}

void TSetupWebcam::Button2Click()
{
    reject();
}
