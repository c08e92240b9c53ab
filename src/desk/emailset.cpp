#include "desk/emailset.h"

#include "store/messages.h"
#include "store/settings.h"
#include "ui_emailset.h"

#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace {

const QString EnabledName = QStringLiteral("EmailEnabled");
const QString StaffOnlyName = QStringLiteral("EmailStaffOnly");
const QString ServerName = QStringLiteral("EmailSmtpServer");
const QString RecipientName = QStringLiteral("EmailRecipant");
const QString SenderName = QStringLiteral("EmailSender");
const QString IntervalsName = QStringLiteral("EmailIntervals");
const QString SendCaptureName = QStringLiteral("EmailSendCapture");

// Trims the entry in place; an empty one is reported with the focus on it.
bool checkEntry(QLineEdit *edit, const QString &error)
{
    edit->setText(edit->text().trimmed());
    if (!edit->text().isEmpty())
        return true;
    ShowError(error);
    edit->setFocus();
    return false;
}

} // namespace

TSetEmail::TSetEmail(QWidget *parent) : QDialog(parent), m_ui(std::make_unique<Ui::TSetEmail>())
{
    m_ui->setupUi(this);
    connect(m_ui->Button1, &QPushButton::clicked, this, &TSetEmail::Button1Click);
    connect(m_ui->Button2, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_ui->cbeach, &QRadioButton::clicked, this, &TSetEmail::cbeachClick);
    connect(m_ui->cbregular, &QRadioButton::clicked, this, &TSetEmail::cbeachClick);
    FormCreate();
}

TSetEmail::~TSetEmail() = default;

void TSetEmail::FormCreate()
{
    m_ui->cbenable->setChecked(ReadRegBool(EnabledName, false));
    m_ui->cbstaffonly->setChecked(ReadRegBool(StaffOnlyName, true));
    m_ui->esmtp->setText(ReadRegString(ServerName, QString()));
    m_ui->erecipant->setText(ReadRegString(RecipientName, QString()));
    m_ui->esender->setText(ReadRegString(SenderName, QString()));
    const int minutes = ReadRegInteger(IntervalsName, 30);
    if (minutes != 0) {
        m_ui->cbregular->setChecked(true);
        m_ui->seintervals->setValue(minutes);
    } else {
        m_ui->cbeach->setChecked(true);
    }
    m_ui->cbsendcapture->setChecked(ReadRegBool(SendCaptureName, false));
    cbeachClick();
}

void TSetEmail::cbeachClick()
{
    m_ui->seintervals->setEnabled(m_ui->cbregular->isChecked());
}

void TSetEmail::Button1Click()
{
    if (!checkEntry(m_ui->esmtp,
                    QStringLiteral("The SMTP server entry is invalid. Please re-enter.")) ||
        !checkEntry(m_ui->erecipant,
                    QStringLiteral("The recipant email entry is invalid. Please re-enter.")) ||
        !checkEntry(m_ui->esender,
                    QStringLiteral("The sender email entry is invalid. Please re-enter.")))
        return;
    try {
        WriteRegBool(EnabledName, m_ui->cbenable->isChecked());
        WriteRegBool(StaffOnlyName, m_ui->cbstaffonly->isChecked());
        WriteRegString(ServerName, m_ui->esmtp->text());
        WriteRegString(RecipientName, m_ui->erecipant->text());
        WriteRegString(SenderName, m_ui->esender->text());
        WriteRegInteger(IntervalsName, m_ui->cbeach->isChecked() ? 0 : m_ui->seintervals->value());
        WriteRegBool(SendCaptureName, m_ui->cbsendcapture->isChecked());
    } catch (const ERegistryError &) {
        // Not stored: say so and leave the dialog open for another try.
        ShowSettingsNotSaved();
        return;
    }
    accept();
}
