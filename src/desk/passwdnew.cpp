#include "desk/passwdnew.h"

#include "store/messages.h"
#include "ui_passwdnew.h"

#include <QPushButton>

TDlgNewPass::TDlgNewPass(QWidget *parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::TDlgNewPass>())
{
    m_ui->setupUi(this);
    connect(m_ui->OKBtn, &QPushButton::clicked, this, &TDlgNewPass::OKBtnClick);
    connect(m_ui->CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
}

TDlgNewPass::~TDlgNewPass() = default;

QString TDlgNewPass::NewPassword() const
{
    return m_ui->Password->text();
}

void TDlgNewPass::OKBtnClick()
{
    if (m_ui->Password->text() != m_ui->ReType->text()) {
        ShowPlain(QStringLiteral("Password inconsistant. Please re-enter it."));
        m_ui->Password->setFocus();
        m_ui->Password->selectAll();
        return;
    }
    accept();
}
