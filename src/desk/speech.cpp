#include "desk/speech.h"

#include "store/messages.h"
#include "store/settings.h"
#include "ui_speech.h"

#include <QPushButton>

TDlgSpeech::TDlgSpeech(QWidget *parent) : QDialog(parent), m_ui(std::make_unique<Ui::TDlgSpeech>())
{
    m_ui->setupUi(this);
    connect(m_ui->OKBtn, &QPushButton::clicked, this, &TDlgSpeech::OKBtnClick);
    connect(m_ui->CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    FormCreate();
}

TDlgSpeech::~TDlgSpeech() = default;

void TDlgSpeech::FormCreate()
{
    m_ui->cbenable->setChecked(ReadRegBool(Setting::SpeechEnable));
}

void TDlgSpeech::OKBtnClick()
{
    try {
        WriteRegBool(Setting::SpeechEnable, m_ui->cbenable->isChecked());
    } catch (const ERegistryError &) {
        // Nothing was stored: say so and leave the dialog open for another try.
        ShowSettingsNotSaved();
        return;
    }
    accept();
}
