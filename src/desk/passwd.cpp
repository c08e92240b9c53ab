#include "desk/passwd.h"

#include "desk/login.h"
#include "store/formplacement.h"
#include "store/messages.h"
#include "store/settings.h"
#include "ui_passwd.h"

#include <QPushButton>
#include <exception>

TPasswordDlg::TPasswordDlg(QWidget *parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::TPasswordDlg>())
{
    m_ui->setupUi(this);
    connect(m_ui->OKBtn, &QPushButton::clicked, this, &TPasswordDlg::OKBtnClick);
    connect(m_ui->CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
}

TPasswordDlg::~TPasswordDlg() = default;

void TPasswordDlg::OKBtnClick()
{
    PasswordCheck check = PasswordCheck::Mismatch;
    try {
        check = CheckAdminPassword(m_ui->Password->text());
    } catch (const std::exception &) {
        // The table could not be read: nobody gets in, and the dialog stays for a retry.
        ShowDatabaseError();
        return;
    }
    switch (check) {
    case PasswordCheck::Match:
        accept();
        break;
    case PasswordCheck::Mismatch:
        ShowError(QStringLiteral("Password incorrect."));
        m_ui->Password->setFocus();
        m_ui->Password->selectAll();
        break;
    case PasswordCheck::NoneStored:
        // The main window opens this dialog only when a password exists.
        break;
    }
}

void TPasswordDlg::showEvent(QShowEvent *event)
{
    // Centred on the screen rather than on the main window.
    CentreOnScreen(this);
    QDialog::showEvent(event);
}
