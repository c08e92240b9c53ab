#include "desk/timetbl.h"

#include "store/combofill.h"
#include "store/utils.h"
#include "ui_timetbl.h"

#include <QComboBox>

TFmTimeTbl::TFmTimeTbl(QWidget *parent)
    : TTimeWindowForm(AttendanceWindows(), parent), m_ui(std::make_unique<Ui::TFmTimeTbl>())
{
    m_ui->setupUi(this);
    SetParts({m_ui->dtpFrom, m_ui->dtpTo, m_ui->dbgList, m_ui->Button1, m_ui->xdelete,
              m_ui->xcancel, QStringLiteral("IN Time"), QStringLiteral("OUT Time"),
              QStringLiteral("TimeTable"), QStringLiteral("TimeTblGrid")});
    Guarded([this] { FormCreate(); });
    connect(m_ui->cbglist, &QComboBox::currentIndexChanged, this,
            [this] { Guarded([this] { cbglistClick(); }); });
}

TFmTimeTbl::~TFmTimeTbl() = default;

void TFmTimeTbl::FormCreate()
{
    FillGroupCombo(m_ui->cbglist, 0);
    LoadTimeTable();
    RestorePlacement();
}

void TFmTimeTbl::LoadTimeTable()
{
    Windows().Load(GetGroupId(m_ui->cbglist->currentText()));
}

void TFmTimeTbl::cbglistClick()
{
    LoadTimeTable();
}
