#include "desk/timewindowform.h"

#include "store/datasetmodel.h"
#include "store/datasrc.h"
#include "store/formplacement.h"
#include "store/guard.h"
#include "store/messages.h"
#include "store/settings.h"
#include "store/utils.h"

#include <QDate>
#include <QDateTime>
#include <QHeaderView>
#include <QPushButton>
#include <QTableView>
#include <QTimeEdit>
#include <exception>

namespace {

// A stored time of day as the grid shows it, e.g. "PM 01:30".
QString windowTimeText(const QVariant &value)
{
    return FormatTimeOfDay(QStringLiteral("AM/PM hh:mm"), value);
}

TGridColumn timeColumn(const QString &field, const QString &title)
{
    TGridColumn column;
    column.field = field;
    column.title = title;
    column.titleAlignment = Qt::AlignCenter;
    column.kind = ColumnKind::DateTime;
    column.text = windowTimeText;
    return column;
}

} // namespace

TTimeWindowForm::TTimeWindowForm(const TTimeWindowTable &table, QWidget *parent)
    : QDialog(parent), m_windows(dsrc->src, table)
{
}

TTimeWindowForm::~TTimeWindowForm() = default;

void TTimeWindowForm::SetParts(const TFormParts &parts)
{
    m_parts = parts;
    const TTimeWindowTable &table = m_windows.Table();
    m_model = new TDataSetModel(
        m_windows.List(),
        {timeColumn(table.FromField, parts.fromTitle), timeColumn(table.ToField, parts.toTitle)},
        this);
    parts.grid->setModel(m_model);
    m_model->FollowView(parts.grid);
    connect(parts.add, &QPushButton::clicked, this,
            [this] { Guarded([this] { Button1Click(); }); });
    connect(parts.remove, &QPushButton::clicked, this,
            [this] { Guarded([this] { xdeleteClick(); }); });
    connect(parts.close, &QPushButton::clicked, this,
            [this] { Guarded([this] { xcancelClick(); }); });
    connect(parts.grid, &QTableView::clicked, this, [this](const QModelIndex &index) {
        Guarded([this, index] { dbgListCellClick(index); });
    });
}

void TTimeWindowForm::RestorePlacement()
{
    LoadFormPlacement(m_parts.placementPrefix, this);
    LoadGridColumnWidths(m_parts.gridPrefix, m_parts.grid);
}

void TTimeWindowForm::Guarded(const std::function<void()> &handler)
{
    RunGuarded(handler);
}

void TTimeWindowForm::Button1Click()
{
    switch (m_windows.Add(m_parts.from->time(), m_parts.to->time())) {
    case TWindowAddResult::Added:
        break;
    case TWindowAddResult::WrongTime:
        m_parts.from->setFocus();
        ShowWrongTimeEntry();
        break;
    case TWindowAddResult::Overlapped:
        m_parts.from->setFocus();
        ShowTimeOverlapped();
        break;
    case TWindowAddResult::UpdateFailed:
        ShowUpdateFailed();
        break;
    }
}

void TTimeWindowForm::xdeleteClick()
{
    if (m_windows.List().IsEmpty()) {
        ShowNoDataRecord();
        return;
    }
    if (!ConfirmDelete())
        return;
    // The row the user chose, wherever the cursor went meanwhile.
    if (!m_model->MoveToCurrentRow())
        return;
    if (!m_windows.DeleteCurrent())
        ShowUpdateFailed();
}

void TTimeWindowForm::dbgListCellClick(const QModelIndex &index)
{
    if (!index.isValid() || m_windows.List().IsEmpty())
        return;
    m_parts.from->setTime(m_windows.FromAt(index.row()));
    m_parts.to->setTime(m_windows.ToAt(index.row()));
}

void TTimeWindowForm::xcancelClick()
{
    // A placement that cannot be saved is said, and the dialog still closes.
    Guarded([this] {
        SaveFormPlacement(m_parts.placementPrefix, this);
        SaveGridColumnWidths(m_parts.gridPrefix, m_parts.grid);
    });
    reject();
}
