#include "desk/grpdef.h"

#include "store/messages.h"
#include "store/utils.h"
#include "ui_grpdef.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTimeEdit>

TDlgGrpDef::TDlgGrpDef(QWidget *parent) : QDialog(parent), m_ui(std::make_unique<Ui::TDlgGrpDef>())
{
    m_ui->setupUi(this);
    connect(m_ui->OKBtn, &QPushButton::clicked, this, &TDlgGrpDef::OKBtnClick);
    connect(m_ui->CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    // Group names are kept in capitals, however they are typed.
    connect(m_ui->edname, &QLineEdit::textChanged, this, [this](const QString &text) {
        const QString upper = text.toUpper();
        if (upper == text)
            return;
        const int cursor = m_ui->edname->cursorPosition();
        m_ui->edname->setText(upper);
        m_ui->edname->setCursorPosition(cursor);
    });
    SetGroup(TWorkGroup::NewGroup());
}

TDlgGrpDef::~TDlgGrpDef() = default;

TWorkGroup TDlgGrpDef::Group() const
{
    TWorkGroup g;
    g.name = m_ui->edname->text().trimmed();
    g.weekday = {TGroupSession{m_ui->dtpSTDstart1->time(), m_ui->dtpSTDend1->time()},
                 TGroupSession{m_ui->dtpSTDstart2->time(), m_ui->dtpSTDend2->time()}};
    g.saturdayOn = {m_ui->cbsat1->isChecked(), m_ui->cbsat2->isChecked()};
    g.saturday = {TGroupSession{m_ui->dtpSATstart1->time(), m_ui->dtpSATend1->time()},
                  TGroupSession{m_ui->dtpSATstart2->time(), m_ui->dtpSATend2->time()}};
    g.otMin = m_ui->seOTmin->value();
    g.otMulti = m_ui->seOTmul->value();
    return g;
}

void TDlgGrpDef::SetGroup(const TWorkGroup &g)
{
    m_ui->edname->setText(g.name);
    m_ui->dtpSTDstart1->setTime(g.weekday[0].from);
    m_ui->dtpSTDend1->setTime(g.weekday[0].to);
    m_ui->dtpSTDstart2->setTime(g.weekday[1].from);
    m_ui->dtpSTDend2->setTime(g.weekday[1].to);
    m_ui->cbsat1->setChecked(g.saturdayOn[0]);
    m_ui->cbsat2->setChecked(g.saturdayOn[1]);
    m_ui->dtpSATstart1->setTime(g.saturday[0].from);
    m_ui->dtpSATend1->setTime(g.saturday[0].to);
    m_ui->dtpSATstart2->setTime(g.saturday[1].from);
    m_ui->dtpSATend2->setTime(g.saturday[1].to);
    m_ui->seOTmin->setValue(g.otMin);
    m_ui->seOTmul->setValue(g.otMulti);
}

void TDlgGrpDef::LoadGroup()
{
    SetGroup(::LoadGroup());
}

int TDlgGrpDef::SaveGroup()
{
    return ::SaveGroup(Group());
}

QWidget *TDlgGrpDef::faultControl(TGroupFault fault) const
{
    switch (fault) {
    case TGroupFault::Weekday1:
        return m_ui->dtpSTDstart1;
    case TGroupFault::Weekday2:
        return m_ui->dtpSTDstart2;
    case TGroupFault::Saturday1:
        return m_ui->dtpSATstart1;
    case TGroupFault::Saturday1On:
        return m_ui->cbsat1;
    case TGroupFault::Saturday2:
        return m_ui->dtpSATstart2;
    case TGroupFault::None:
        break;
    }
    return nullptr;
}

void TDlgGrpDef::OKBtnClick()
{
    m_ui->edname->setText(m_ui->edname->text().trimmed());
    if (m_ui->edname->text().isEmpty()) {
        m_ui->edname->setFocus();
        ShowInvalidInput();
        return;
    }
    if (GetGroupId(m_ui->edname->text()) > 0 && !ConfirmOverwrite()) {
        m_ui->edname->setFocus();
        return;
    }
    if (QWidget *control = faultControl(CheckGroupTimes(Group()))) {
        control->setFocus();
        ShowInvalidInput();
        return;
    }
    accept();
}
