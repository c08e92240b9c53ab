#pragma once
// `TDataSet`: a cursor over one query on one connection, with field access by name, Locate and
// the edit cycle Append/Edit/Post/Cancel/Delete written back to the table. Main thread only, on
// the thread that owns its connection.
//
// A query over one table whose columns are "*" or plain column names is a table cursor: it keeps
// only the ordered rowids (a keyset) and fetches rows on demand through a small cache, so a log
// of a million rows costs a few megabytes, and it writes back by rowid (Append = INSERT, Post of
// an edit = UPDATE of the changed columns, Delete = DELETE), each write committed on its own
// unless the caller holds a TTransaction on the connection. Any other query (a join, an
// aggregate, aliases) is read into memory and is read-only: writing raises EDatabaseError.
//
// Field names are case-insensitive. Dates are stored as "YYYY-MM-DD HH:MM:SS", times of day as
// "HH:MM:SS", booleans as 0/1; the column's declared type (DATETIME, TIME, BOOLEAN) decides how
// a value is written and how AsVariant() returns it.

#include "store/db/sqlitedb.h"

#include <QDateTime>
#include <QFlags>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>
#include <cstdint>
#include <memory>

class TDataSet;

enum class TDataSetState
{
    Inactive,
    Browse,
    Edit,
    Insert,
};

enum class LocateOption
{
    PartialKey = 0x1,      // the field's text begins with the value
    CaseInsensitive = 0x2, // letters compare without case (also beyond ASCII)
};
Q_DECLARE_FLAGS(LocateOptions, LocateOption)
Q_DECLARE_OPERATORS_FOR_FLAGS(LocateOptions)

// One column of the current row (or of the row being edited). A light handle: valid while its
// dataset stays open with the same query.
class TField
{
public:
    TField() = default;
    bool IsValid() const { return m_dataSet != nullptr; }
    QString FieldName() const;
    int Index() const { return m_index; }

    bool IsNull() const;
    QVariant AsVariant() const;
    QString AsString() const; // booleans read "True"/"False", null reads ""
    int AsInteger() const;    // null reads 0
    qint64 AsLargeInt() const;
    double AsFloat() const;
    bool AsBoolean() const;       // null reads false
    QDateTime AsDateTime() const; // local time; invalid when null or not a date
    QByteArray AsBytes() const;

    // Only while the dataset is in Edit or Insert state; otherwise EDatabaseError.
    void SetAsString(const QString &value) const;
    void SetAsInteger(qint64 value) const;
    void SetAsBoolean(bool value) const;
    void SetAsDateTime(const QDateTime &value) const;
    void SetAsBytes(const QByteArray &value) const;
    void SetAsVariant(const QVariant &value) const; // a null QVariant clears the field
    void Clear() const;

private:
    friend class TDataSet;
    TField(const TDataSet *dataSet, int index)
        : m_dataSet(const_cast<TDataSet *>(dataSet)), m_index(index)
    {
    }
    TDataSet *m_dataSet = nullptr;
    int m_index = -1;
};

// Told of changes to a dataset's rows, so that a grid model can follow them. A reset, an
// insert and a remove come in pairs, in the order a Qt item model announces its own: the
// "about to" call while the dataset still shows the rows as they were, the other once it shows
// them as they are; nothing else is told in between. A posted edit is told once, after it.
class TDataSetListener
{
public:
    virtual ~TDataSetListener() = default;
    virtual void DataSetAboutToReset(TDataSet &dataSet) {}
    virtual void DataSetReset(TDataSet &dataSet) = 0; // opened, closed, refreshed
    virtual void RowAboutToBeInserted(TDataSet &dataSet, int row) {}
    virtual void RowInserted(TDataSet &dataSet, int row) = 0; // a posted append
    virtual void RowAboutToBeRemoved(TDataSet &dataSet, int row) {}
    virtual void RowRemoved(TDataSet &dataSet, int row) = 0; // a delete
    virtual void RowChanged(TDataSet &dataSet, int row) = 0; // a posted edit
    // The dataset is being destroyed (after its last reset): the listener lets go of it and
    // never calls it again; it is no longer among the listeners.
    virtual void DataSetDestroyed(TDataSet &dataSet) {}
};

class TDataSet
{
public:
    explicit TDataSet(TDatabase &db, const QString &sql = QString());
    ~TDataSet();
    TDataSet(const TDataSet &) = delete;
    TDataSet &operator=(const TDataSet &) = delete;

    TDatabase &Database() const { return m_db; }

    // The query; changing it closes the dataset. SetSQLLines joins the lines with newlines.
    void SetSQL(const QString &sql);
    void SetSQLLines(const QStringList &lines);
    QString SQL() const { return m_sql; }

    // Parameters of the query, by position (from 1) or by name; kept across Open/Close/Refresh.
    void Bind(int index, const QVariant &value);
    void Bind(const QString &name, const QVariant &value);
    void ClearBindings();

    // Open runs the query and stands on the first row. A failing query raises EDatabaseError
    // and leaves the dataset closed.
    void Open();
    void Close() noexcept; // a pending edit is discarded
    bool Active() const { return m_state != TDataSetState::Inactive; }
    void SetActive(bool active);
    TDataSetState State() const { return m_state; }
    // False for a query that is not over one table with plain columns.
    bool CanModify() const;
    // The table the dataset writes back to; empty for a read-only query.
    QString TableName() const;

    // Navigation (a pending edit is posted first). First/Prior stop at the first row and set
    // Bof; Next/Last stop at the last row and set Eof; an empty dataset is both.
    void First();
    void Next();
    void Prior();
    void Last();
    bool Eof() const { return m_eof; }
    bool Bof() const { return m_bof; }
    bool IsEmpty() const { return RecordCount() == 0; }
    int RecordCount() const;
    int RecNo() const; // 0-based; -1 when empty or closed
    void MoveTo(int row);

    int FieldCount() const;
    QString FieldName(int index) const;
    QStringList FieldNames() const;
    // FieldByName raises EDatabaseError for an unknown name; FindField answers an invalid TField.
    TField FieldByName(const QString &name) const;
    TField FindField(const QString &name) const;
    TField Field(int index) const;

    // Values by row index for a grid model; the cursor does not move.
    QVariant FieldAt(int row, int index) const;
    QVariant FieldAt(int row, const QString &name) const;

    // Moves to the first row (in dataset order) whose fields match the values; false (the
    // cursor stays) when none does. Exact match by default; a null value matches a null field.
    bool Locate(const QStringList &fields, const QVariantList &values, LocateOptions options = {});
    bool Locate(const QString &field, const QVariant &value, LocateOptions options = {});

    // The edit cycle. Append starts a new row (unset fields get the table's defaults), Edit
    // the current row; Post writes it and stands on it; Cancel discards it. Delete removes the
    // current row and stands on the one after it (or the new last row).
    void Append();
    void Insert() { Append(); }
    void Edit();
    void Post();
    void Cancel();
    void Delete();

    // Runs the query again, staying on the same row when it still exists.
    void Refresh();
    void Requery() { Refresh(); }

    // Rowid of the current row (table cursors), -1 when there is none.
    qint64 RowId() const;

    void AddListener(TDataSetListener *listener);
    void RemoveListener(TDataSetListener *listener);

private:
    friend class TField;
    friend class TDatabase;
    struct Impl;

    void checkActive() const;
    void checkBrowseMode();
    void checkEditing() const;
    const QVariant &value(int index) const;
    void setValue(int index, const QVariant &value);
    void notifyAboutToReset();
    void notifyReset();
    template <typename Call> void notify(Call call);

    TDatabase &m_db;
    QString m_sql;
    TDataSetState m_state = TDataSetState::Inactive;
    bool m_eof = true;
    bool m_bof = true;
    std::unique_ptr<Impl> m_impl;
};

// One row being appended or edited: Append or Edit in the constructor, Post when asked, Cancel
// in the destructor unless posted, so a failure anywhere in between leaves nothing pending.
// Main thread, like its dataset.
class TDataSetEdit
{
public:
    enum class Kind
    {
        Append,
        Edit,
    };

    TDataSetEdit(TDataSet &dataSet, Kind kind);
    ~TDataSetEdit();
    TDataSetEdit(const TDataSetEdit &) = delete;
    TDataSetEdit &operator=(const TDataSetEdit &) = delete;

    // Writes the row; a failing post raises EDatabaseError and leaves the edit to be cancelled.
    void Post();
    bool Posted() const { return m_posted; }

private:
    TDataSet &m_dataSet;
    bool m_posted = false;
};
