#pragma once
// TDataSetModel: a read-only grid model over one TDataSet, its columns described once (field,
// title, alignments, text, kind). It follows the dataset's row notifications in Qt's order,
// keeps its columns across the dataset being closed or reopened, and keeps the grid's current
// row, so that commands act on the row the user selected even after something else moved the
// dataset's cursor. The model may outlive its dataset: from the dataset's end on it shows no
// rows and never touches it again. Main thread only.

#include "store/dataset.h"
#include "store/settings.h"

#include <QAbstractTableModel>
#include <QString>
#include <QVariant>
#include <functional>
#include <vector>

class QAbstractItemView;

struct TGridColumn
{
    QString field; // the dataset's field, any case
    QString title;
    Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter; // of the cells
    Qt::Alignment titleAlignment = Qt::AlignLeft | Qt::AlignVCenter;
    ColumnKind kind = ColumnKind::Other; // the default width of the column
    // The cell's words from the field's value (never called for a null value); without it
    // the value's own text.
    std::function<QString(const QVariant &)> text;
};

class TDataSetModel : public QAbstractTableModel, public TDataSetListener
{
    Q_OBJECT

public:
    TDataSetModel(TDataSet &dataSet, std::vector<TGridColumn> columns, QObject *parent = nullptr);
    ~TDataSetModel() override;
    TDataSetModel(const TDataSetModel &) = delete;
    TDataSetModel &operator=(const TDataSetModel &) = delete;

    // Null once the dataset is gone.
    TDataSet *DataSet() const { return m_dataSet; }
    const TGridColumn &Column(int column) const;

    // The field's value of a cell (invalid beyond the rows or for a field the dataset lacks);
    // the dataset's cursor does not move.
    QVariant ValueAt(int row, int column) const;

    // The grid's current row: where the dataset stood when it was opened or last written
    // through (an appended or edited row, the row after a deleted one), or the row the view
    // selected since. -1 when there are no rows.
    int CurrentRow() const { return m_current; }
    void SetCurrentRow(int row);
    // Puts the dataset's cursor on the current row; false (the cursor stays) when there is none.
    bool MoveToCurrentRow();

    // While suspended the grid shows no rows and ignores the dataset's changes (the data is
    // being erased, or the databases are closed); resuming shows the dataset as it is then.
    void SetSuspended(bool suspended);
    bool Suspended() const { return m_suspended; }

    // The view's current row and this model's follow each other from now on: a click in the
    // view sets the current row, and a new current row (a posted row, a reopened dataset) is
    // selected in the view. The view must show this model.
    void FollowView(QAbstractItemView *view);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    // DisplayRole: the cell's words; EditRole and FieldValueRole: the field's own value (for
    // the glyph painters); TextAlignmentRole: the column's alignment.
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    // Titles, their alignment and ColumnKindRole.
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    // TDataSetListener
    void DataSetAboutToReset(TDataSet &dataSet) override;
    void DataSetReset(TDataSet &dataSet) override;
    void RowAboutToBeInserted(TDataSet &dataSet, int row) override;
    void RowInserted(TDataSet &dataSet, int row) override;
    void RowAboutToBeRemoved(TDataSet &dataSet, int row) override;
    void RowRemoved(TDataSet &dataSet, int row) override;
    void RowChanged(TDataSet &dataSet, int row) override;
    void DataSetDestroyed(TDataSet &dataSet) override;

signals:
    void CurrentRowChanged(int row);

private:
    void findFields();
    // Clamped to the rows; announce tells the views even when the row number stays.
    void setCurrent(int row, bool announce);
    int currentOfDataSet() const; // the dataset's row, -1 once it is gone

    TDataSet *m_dataSet;
    std::vector<TGridColumn> m_columns;
    std::vector<int> m_fieldIndex; // per column, -1 while the dataset lacks the field
    int m_current = -1;
    bool m_suspended = false;
    bool m_changing = false; // between a change's two notifications
};
