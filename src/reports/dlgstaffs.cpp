#include "reports/dlgstaffs.h"

#include "reports/scopeparts.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

TdlgStaffs::TdlgStaffs(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("dlgStaffs"));
    setWindowTitle(QStringLiteral("Select Staffs"));
    auto *top = new QVBoxLayout(this);
    persons = new TPersonsGroup(this);
    top->addWidget(persons);
    cbpreview = new QCheckBox(QStringLiteral("Preview"), this);
    cbpreview->setObjectName(QStringLiteral("cbpreview"));
    cbpreview->setChecked(true);
    top->addWidget(cbpreview);
    auto *buttons = new QHBoxLayout;
    auto *Button1 = new QPushButton(QStringLiteral("Confirm"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    auto *Button2 = new QPushButton(QStringLiteral("Cancel"), this);
    Button2->setObjectName(QStringLiteral("Button2"));
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    top->addLayout(buttons);
    connect(Button1, &QPushButton::clicked, this, [this] { done(1); });
    connect(Button2, &QPushButton::clicked, this, [this] { done(2); });
}

TReportScope TdlgStaffs::Scope() const
{
    TReportScope scope;
    persons->ReadInto(scope);
    scope.Preview = cbpreview->isChecked();
    return scope;
}
