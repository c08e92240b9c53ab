#include "desk/emailset.h"

#include "store/messages.h"
#include "store/settings.h"
#include "ui_emailset.h"

#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace {

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
    m_ui->cbenable->setChecked(ReadRegBool(Setting::EmailEnabled));
    m_ui->cbstaffonly->setChecked(ReadRegBool(Setting::EmailStaffOnly));
    m_ui->esmtp->setText(ReadRegString(Setting::EmailSmtpServer));
    m_ui->erecipant->setText(ReadRegString(Setting::EmailRecipant));
    m_ui->esender->setText(ReadRegString(Setting::EmailSender));
    const int minutes = ReadRegInteger(Setting::EmailIntervals);
    if (minutes != 0) {
        m_ui->cbregular->setChecked(true);
        m_ui->seintervals->setValue(minutes);
    } else {
        m_ui->cbeach->setChecked(true);
    }
    m_ui->cbsendcapture->setChecked(ReadRegBool(Setting::EmailSendCapture));
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
        WriteRegBool(Setting::EmailEnabled, m_ui->cbenable->isChecked());
        WriteRegBool(Setting::EmailStaffOnly, m_ui->cbstaffonly->isChecked());
        WriteRegString(Setting::EmailSmtpServer, m_ui->esmtp->text());
        WriteRegString(Setting::EmailRecipant, m_ui->erecipant->text());
        WriteRegString(Setting::EmailSender, m_ui->esender->text());
        WriteRegInteger(Setting::EmailIntervals, m_ui->cbeach->isChecked() ? 0 : m_ui->seintervals->value());
        WriteRegBool(Setting::EmailSendCapture, m_ui->cbsendcapture->isChecked());
    } catch (const ERegistryError &) {
        // Not stored: say so and leave the dialog open for another try.
        ShowSettingsNotSaved();
        return;
    }
    accept();
}
