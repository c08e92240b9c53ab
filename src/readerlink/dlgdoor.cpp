#include "readerlink/dlgdoor.h"

#include "readerlink/reader.h"
#include "readerlink/readers.h"
#include "store/guard.h"
#include "store/settings.h"
#include "ui_dlgdoor.h"

#include <QPushButton>

TdlgDoorOpen::TdlgDoorOpen(QWidget *parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::TdlgDoorOpen>())
{
    m_ui->setupUi(this);
    connect(m_ui->OKBtn, &QPushButton::clicked, this, Guarded(this, &TdlgDoorOpen::OKBtnClick));
    connect(m_ui->CancelBtn, &QPushButton::clicked, this, &QDialog::reject);

    m_ui->cbEnable->setChecked(ReadRegBool(Setting::DoorOpenEnable));
    // Here a missing value chooses no reader: the first one in use is offered.
    const int stored = ReadRegInteger(Setting::DoorOpenPortNo.WithDefault(0));
    int chosen = 0;
    for (int port = 1; port <= ReaderPortCount; ++port) {
        const TRfidReader *reader = ReaderOn(port);
        if (!reader || !reader->Enable())
            continue;
        if (port == stored)
            chosen = int(m_ports.size());
        m_ui->cbPortList->addItem(reader->Desc());
        m_ports << port;
    }
    if (!m_ports.isEmpty())
        m_ui->cbPortList->setCurrentIndex(chosen);
}

TdlgDoorOpen::~TdlgDoorOpen() = default;

void TdlgDoorOpen::OKBtnClick()
{
    WriteRegBool(Setting::DoorOpenEnable, m_ui->cbEnable->isChecked());
    const int entry = m_ui->cbPortList->currentIndex();
    if (entry >= 0 && entry < m_ports.size())
        WriteRegInteger(Setting::DoorOpenPortNo, m_ports[entry]);
    accept();
}
