#include "readerlink/editcomm.h"

#include "store/utils.h"
#include "ui_editcomm.h"

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QRadioButton>

#include <algorithm>

namespace {

constexpr int ClockMode = 0;
constexpr int DlSeriesModel = 1;

} // namespace

Tcommedit::Tcommedit(QWidget *parent) : QDialog(parent), m_ui(std::make_unique<Ui::Tcommedit>())
{
    m_ui->setupUi(this);
    for (int mode = 0; mode <= 2; ++mode)
        m_ui->cbmode->addItem(GetModeName(mode));
    for (int port = 0; port <= ReaderPortCount; ++port) {
        const QString desc = GetReaderDesc(port);
        m_ui->cblock->addItem(desc);
        m_ui->cbbypass->addItem(desc);
    }
    connect(m_ui->bConfirm, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_ui->bCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_ui->cbmode, &QComboBox::activated, this, &Tcommedit::cbmodeChange);
    connect(m_ui->rgmodel, &TRadioGroup::ItemIndexChanged, this, &Tcommedit::rgmodelClick);
    connect(m_ui->cbcapbypass, &QCheckBox::toggled, this, &Tcommedit::cbcapbypassClick);
    connect(m_ui->rbsingle, &QRadioButton::toggled, this, &Tcommedit::rbClick);
    connect(m_ui->rbmultiple, &QRadioButton::toggled, this, &Tcommedit::rbClick);
    cbcapbypassClick();
    rbClick();
}

Tcommedit::~Tcommedit() = default;

void Tcommedit::SetModelNames(const QStringList &names)
{
    m_ui->rgmodel->AddItems(names);
}

void Tcommedit::LoadRow(const TReaderRow &row)
{
    m_portNo = row.portNo;
    m_ui->gbinfo->setTitle(QStringLiteral("COM") + QString::number(row.portNo));
    m_ui->cbenable->setChecked(row.enable);
    m_ui->cblock->setCurrentIndex(row.outport);
    m_ui->cbbypass->setCurrentIndex(row.bpport);
    m_ui->cbmode->setCurrentIndex(row.mode);
    m_ui->xtext->setText(row.desc);
    m_ui->selock->setValue(row.lockTime);
    m_ui->cbapb->setChecked(row.apb);
    m_ui->rgmodel->SetItemIndex(row.model);
    m_ui->cbcapture->setChecked(row.capture);
    m_ui->cbcapbypass->setChecked(row.motion >= 0);
    if (row.motion == 0) {
        m_ui->rbsingle->setChecked(true);
    } else if (row.motion > 0) {
        m_ui->rbmultiple->setChecked(true);
        m_ui->secaptime->setValue(row.motion);
    }
    cbcapbypassClick();
    rbClick();
}

TReaderRow Tcommedit::Row() const
{
    TReaderRow row;
    row.portNo = m_portNo;
    row.enable = m_ui->cbenable->isChecked();
    row.outport = std::max(0, m_ui->cblock->currentIndex());
    row.bpport = std::max(0, m_ui->cbbypass->currentIndex());
    row.mode = std::max(0, m_ui->cbmode->currentIndex());
    row.desc = m_ui->xtext->text().trimmed();
    if (row.desc.isEmpty())
        row.desc = m_ui->gbinfo->title();
    row.lockTime = m_ui->selock->value();
    row.apb = m_ui->cbapb->isChecked();
    row.model = std::max(0, m_ui->rgmodel->ItemIndex());
    row.capture = m_ui->cbcapture->isChecked();
    if (!m_ui->cbcapbypass->isChecked())
        row.motion = -1;
    else if (m_ui->rbsingle->isChecked())
        row.motion = 0;
    else
        row.motion = m_ui->secaptime->value();
    return row;
}

void Tcommedit::cbmodeChange()
{
    const bool door = m_ui->cbmode->currentIndex() != ClockMode;
    if (!door) {
        // A time clock opens no door and keeps no anti-passback.
        m_ui->cbapb->setChecked(false);
        m_ui->cblock->setCurrentIndex(0);
        m_ui->cbbypass->setCurrentIndex(0);
    }
    m_ui->cbapb->setEnabled(door);
    m_ui->cblock->setEnabled(door);
    m_ui->cbbypass->setEnabled(door);
    m_ui->selock->setEnabled(door);
}

void Tcommedit::rgmodelClick()
{
    const bool mv = m_ui->rgmodel->ItemIndex() != DlSeriesModel;
    m_ui->cblock->setEnabled(mv);
    m_ui->cbbypass->setEnabled(mv);
    m_ui->selock->setEnabled(mv);
}

void Tcommedit::cbcapbypassClick()
{
    m_ui->gbshot->setEnabled(m_ui->cbcapbypass->isChecked());
}

void Tcommedit::rbClick()
{
    m_ui->secaptime->setEnabled(m_ui->rbmultiple->isChecked());
}

void Tcommedit::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    cbmodeChange();
}
