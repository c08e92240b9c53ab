#include "desk/grplist.h"

#include "desk/grpdef.h"
#include "store/datasetmodel.h"
#include "store/datasrc.h"
#include "store/dbschema.h"
#include "store/formplacement.h"
#include "store/glyphs.h"
#include "store/guard.h"
#include "store/messages.h"
#include "store/settings.h"
#include "store/utils.h"
#include "store/workgroup.h"
#include "ui_grplist.h"

#include <QPushButton>
#include <QTableView>

namespace {

const QString PlacementName = QStringLiteral("WrkGrpMain");
const QString ColumnWidthsName = QStringLiteral("WrkGrpList");

QString timeText(const QVariant &value)
{
    return FormatTimeOfDay(QStringLiteral("AM/PMhh:mm"), value);
}

constexpr int SatOn1Column = 5;
constexpr int SatOn2Column = 8;

std::vector<TGridColumn> groupColumns()
{
    const Qt::Alignment left = Qt::AlignLeft | Qt::AlignVCenter;
    auto column = [left](const QString &field, const char *title, ColumnKind kind) {
        TGridColumn c;
        c.field = field;
        c.title = QString::fromLatin1(title);
        c.alignment = left;
        c.titleAlignment = Qt::AlignCenter;
        c.kind = kind;
        if (kind == ColumnKind::DateTime)
            c.text = timeText;
        return c;
    };
    return {
        column(Schema::Gid::Descx, "Workgroup", ColumnKind::Other),
        column(Schema::Gid::WdFrom1, "From", ColumnKind::DateTime),
        column(Schema::Gid::WdTo1, "To", ColumnKind::DateTime),
        column(Schema::Gid::WdFrom2, "From", ColumnKind::DateTime),
        column(Schema::Gid::WdTo2, "To", ColumnKind::DateTime),
        column(Schema::Gid::SatEnable1, "Sat1", ColumnKind::Boolean),
        column(Schema::Gid::SatFrom1, "From", ColumnKind::DateTime),
        column(Schema::Gid::SatTo1, "To", ColumnKind::DateTime),
        column(Schema::Gid::SatEnable2, "Sat2", ColumnKind::Boolean),
        column(Schema::Gid::SatFrom2, "From", ColumnKind::DateTime),
        column(Schema::Gid::SatTo2, "To", ColumnKind::DateTime),
        column(Schema::Gid::OtMin, "OT Min.", ColumnKind::Other),
        column(Schema::Gid::OtMulti, "OT Multi.", ColumnKind::Other),
    };
}

} // namespace

TDlgGrpList::TDlgGrpList(QWidget *parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::TDlgGrpList>())
{
    m_ui->setupUi(this);
    m_model = std::make_unique<TDataSetModel>(dsrc->gidtbl, groupColumns());
    m_ui->dbg_list->setModel(m_model.get());
    m_model->FollowView(m_ui->dbg_list);
    // The Saturday switches show as check glyphs.
    for (const int column : {SatOn1Column, SatOn2Column})
        m_ui->dbg_list->setItemDelegateForColumn(
            column, new TGlyphDelegate(TGlyphDelegate::Kind::Boolean, m_ui->dbg_list));
    connect(m_ui->btnnew, &QPushButton::clicked, this, Guarded(this, &TDlgGrpList::btnnewClick));
    connect(m_ui->btnedit, &QPushButton::clicked, this, Guarded(this, &TDlgGrpList::btneditClick));
    connect(m_ui->btndelete, &QPushButton::clicked, this,
            Guarded(this, &TDlgGrpList::btndeleteClick));
    connect(m_ui->Button1, &QPushButton::clicked, this, Guarded(this, &TDlgGrpList::Button1Click));
    connect(m_ui->dbg_list, &QTableView::doubleClicked, this,
            Guarded(this, &TDlgGrpList::btneditClick));
    FormCreate();
}

TDlgGrpList::~TDlgGrpList()
{
    // The view lets go of the model before the model goes.
    m_ui->dbg_list->setModel(nullptr);
}

void TDlgGrpList::FormCreate()
{
    LoadFormPlacement(PlacementName, this);
    LoadGridColumnWidths(ColumnWidthsName, m_ui->dbg_list);
}

void TDlgGrpList::SetDialogRunner(DialogRunner runner)
{
    m_dialogs.Set(std::move(runner));
}

void TDlgGrpList::btnnewClick()
{
    TDlgGrpDef editor(this);
    if (m_dialogs.Run(editor) == QDialog::Accepted)
        editor.SaveGroup();
}

void TDlgGrpList::btneditClick()
{
    // The row the user chose, wherever lookups have moved the shared cursor since.
    if (!m_model->MoveToCurrentRow()) {
        ShowNoDataRecord();
        return;
    }
    TDlgGrpDef editor(this);
    editor.LoadGroup();
    if (m_dialogs.Run(editor) == QDialog::Accepted)
        editor.SaveGroup();
}

void TDlgGrpList::btndeleteClick()
{
    m_model->MoveToCurrentRow();
    DeleteGroup();
}

void TDlgGrpList::Button1Click()
{
    // "Close" closes even when the placement cannot be kept.
    RunGuarded([this] {
        SaveFormPlacement(PlacementName, this);
        SaveGridColumnWidths(ColumnWidthsName, m_ui->dbg_list);
    });
    reject();
}
