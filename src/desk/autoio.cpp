#include "desk/autoio.h"

#include "store/messages.h"
#include "store/settings.h"
#include "ui_autoio.h"

#include <QCheckBox>
#include <QSignalBlocker>

namespace {

// Stores the switch at once; one the settings refuse flips back, so the box shows what is
// stored.
void storeSwitch(QCheckBox *box, const TBoolSetting &setting, bool checked)
{
    try {
        WriteRegBool(setting, checked);
    } catch (const ERegistryError &) {
        const QSignalBlocker block(box);
        box->setChecked(!checked);
        ShowSettingsNotSaved();
    }
}

} // namespace

TAutoIO::TAutoIO(QWidget *parent)
    : TTimeWindowForm(AutoInOutWindows(), parent), m_ui(std::make_unique<Ui::TAutoIO>())
{
    m_ui->setupUi(this);
    SetParts({m_ui->dtpFrom, m_ui->dtpTo, m_ui->dbgList, m_ui->Button1, m_ui->xdelete,
              m_ui->xcancel, QStringLiteral("From"), QStringLiteral("To"),
              QStringLiteral("AutoInOut"), QStringLiteral("AutoIOgrid")});
    connect(m_ui->cbenable, &QCheckBox::clicked, this, &TAutoIO::cbenableClick);
    connect(m_ui->cbOverride, &QCheckBox::clicked, this, &TAutoIO::cbOverrideClick);
    Guarded([this] { FormCreate(); });
}

TAutoIO::~TAutoIO() = default;

void TAutoIO::FormCreate()
{
    Windows().Load();
    m_ui->cbenable->setChecked(ReadRegBool(Setting::AutoInOut));
    m_ui->cbOverride->setChecked(ReadRegBool(Setting::AutoOverride));
    RestorePlacement();
}

void TAutoIO::cbenableClick(bool checked)
{
    storeSwitch(m_ui->cbenable, Setting::AutoInOut, checked);
}

void TAutoIO::cbOverrideClick(bool checked)
{
    storeSwitch(m_ui->cbOverride, Setting::AutoOverride, checked);
}
