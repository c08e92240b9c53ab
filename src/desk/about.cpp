#include "desk/about.h"

#include <QMenu> // the tray icon header needs the whole QMenu

#include "desk/trayicon.h"
#include "ui_about.h"

#include <QLabel>
#include <QPushButton>

#ifndef TALLYCLOCK_VERSION
#error "TALLYCLOCK_VERSION comes from the build"
#endif

QString ProgramVersion()
{
    return QStringLiteral(TALLYCLOCK_VERSION);
}

Taboutbox::Taboutbox(QWidget *parent) : QDialog(parent), m_ui(std::make_unique<Ui::Taboutbox>())
{
    m_ui->setupUi(this);
    m_ui->ProgramIcon->setPixmap(DeskProgramIcon().pixmap(32, 32));
    m_ui->Version->setText(QStringLiteral("Version ") + ProgramVersion());
    connect(m_ui->OKButton, &QPushButton::clicked, this, &QDialog::accept);
}

Taboutbox::~Taboutbox() = default;

void Taboutbox::SetWordWrap(bool wrap)
{
    for (QLabel *label : {m_ui->ProductName, m_ui->Version, m_ui->Comments})
        label->setWordWrap(wrap);
}
