#include "store/datasetmodel.h"

#include "store/glyphs.h"

#include <QAbstractItemView>
#include <QItemSelectionModel>
#include <algorithm>

TDataSetModel::TDataSetModel(TDataSet &dataSet, std::vector<TGridColumn> columns, QObject *parent)
    : QAbstractTableModel(parent), m_dataSet(&dataSet), m_columns(std::move(columns)),
      m_fieldIndex(m_columns.size(), -1)
{
    m_dataSet->AddListener(this);
    findFields();
    m_current = m_dataSet->RecNo();
}

TDataSetModel::~TDataSetModel()
{
    if (m_dataSet)
        m_dataSet->RemoveListener(this);
}

const TGridColumn &TDataSetModel::Column(int column) const
{
    return m_columns.at(static_cast<std::size_t>(column));
}

void TDataSetModel::findFields()
{
    for (std::size_t c = 0; c < m_columns.size(); ++c) {
        const TField f =
            m_dataSet && m_dataSet->Active() ? m_dataSet->FindField(m_columns[c].field) : TField();
        m_fieldIndex[c] = f.IsValid() ? f.Index() : -1;
    }
}

QVariant TDataSetModel::ValueAt(int row, int column) const
{
    if (column < 0 || column >= columnCount() || row < 0 || row >= rowCount())
        return QVariant();
    const int field = m_fieldIndex[static_cast<std::size_t>(column)];
    return field < 0 ? QVariant() : m_dataSet->FieldAt(row, field);
}

void TDataSetModel::setCurrent(int row, bool announce)
{
    const int count = rowCount();
    row = count == 0 ? -1 : std::clamp(row, 0, count - 1);
    if (row == m_current && !announce)
        return;
    m_current = row;
    emit CurrentRowChanged(row);
}

int TDataSetModel::currentOfDataSet() const
{
    return m_dataSet ? m_dataSet->RecNo() : -1;
}

void TDataSetModel::SetCurrentRow(int row)
{
    setCurrent(row, false);
}

bool TDataSetModel::MoveToCurrentRow()
{
    if (m_current < 0 || m_current >= rowCount())
        return false;
    m_dataSet->MoveTo(m_current);
    return true;
}

void TDataSetModel::FollowView(QAbstractItemView *view)
{
    connect(view->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex &current) {
                // Mid-change the view's row numbers are not yet the dataset's.
                if (!m_changing && current.isValid())
                    SetCurrentRow(current.row());
            });
    // The view's selection model at the time: a view given another model has another one.
    auto select = [this, view](int row) {
        QItemSelectionModel *selection = view->selectionModel();
        if (!selection || view->model() != this)
            return;
        if (row < 0) {
            selection->clearCurrentIndex();
            return;
        }
        if (selection->currentIndex().row() != row || !selection->isRowSelected(row))
            selection->setCurrentIndex(index(row, 0), QItemSelectionModel::ClearAndSelect |
                                                          QItemSelectionModel::Rows);
    };
    connect(this, &TDataSetModel::CurrentRowChanged, view, select);
    select(m_current);
}

int TDataSetModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() || m_suspended || !m_dataSet ? 0 : m_dataSet->RecordCount();
}

int TDataSetModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_columns.size());
}

QVariant TDataSetModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return QVariant();
    const TGridColumn &column = Column(index.column());
    switch (role) {
    case Qt::DisplayRole: {
        const QVariant v = ValueAt(index.row(), index.column());
        if (!v.isValid() || v.isNull())
            return QString();
        try {
            return column.text ? column.text(v) : v.toString();
        } catch (const std::exception &) {
            // A lookup that fails while painting leaves the cell blank; painting goes on.
            return QString();
        }
    }
    case Qt::EditRole:
    case FieldValueRole:
        return ValueAt(index.row(), index.column());
    case Qt::TextAlignmentRole:
        return int(column.alignment);
    default:
        break;
    }
    return QVariant();
}

QVariant TDataSetModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= columnCount())
        return QAbstractTableModel::headerData(section, orientation, role);
    const TGridColumn &column = Column(section);
    switch (role) {
    case Qt::DisplayRole:
        return column.title;
    case Qt::TextAlignmentRole:
        return int(column.titleAlignment);
    case ColumnKindRole:
        return int(column.kind);
    default:
        break;
    }
    return QVariant();
}

Qt::ItemFlags TDataSetModel::flags(const QModelIndex &index) const
{
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

void TDataSetModel::SetSuspended(bool suspended)
{
    if (suspended == m_suspended)
        return;
    beginResetModel();
    m_suspended = suspended;
    findFields();
    endResetModel();
    setCurrent(currentOfDataSet(), true);
}

// The dataset announces each change before and after it, as the model must to its views.
void TDataSetModel::DataSetAboutToReset(TDataSet &)
{
    if (m_suspended)
        return;
    m_changing = true;
    beginResetModel();
}

void TDataSetModel::DataSetReset(TDataSet &)
{
    if (m_suspended)
        return;
    findFields();
    endResetModel();
    m_changing = false;
    // The view lost its selection with the reset; the dataset's row is the grid's again.
    setCurrent(currentOfDataSet(), true);
}

void TDataSetModel::RowAboutToBeInserted(TDataSet &, int row)
{
    if (m_suspended)
        return;
    m_changing = true;
    beginInsertRows(QModelIndex(), row, row);
}

void TDataSetModel::RowInserted(TDataSet &, int row)
{
    if (m_suspended)
        return;
    endInsertRows();
    m_changing = false;
    setCurrent(row, true);
}

void TDataSetModel::RowAboutToBeRemoved(TDataSet &, int row)
{
    if (m_suspended)
        return;
    m_changing = true;
    beginRemoveRows(QModelIndex(), row, row);
}

void TDataSetModel::RowRemoved(TDataSet &, int)
{
    if (m_suspended)
        return;
    endRemoveRows();
    m_changing = false;
    setCurrent(currentOfDataSet(), true);
}

void TDataSetModel::RowChanged(TDataSet &, int row)
{
    if (m_suspended)
        return;
    emit dataChanged(index(row, 0), index(row, columnCount() - 1));
    setCurrent(row, false);
}

void TDataSetModel::DataSetDestroyed(TDataSet &)
{
    beginResetModel();
    m_dataSet = nullptr;
    findFields();
    endResetModel();
    m_changing = false;
    setCurrent(-1, true);
}
