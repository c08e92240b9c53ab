#pragma once
// RAII layer over the SQLite C API: the database error, a connection (`TDatabase`), a prepared
// statement (`TStatement`) and a transaction (`TTransaction`). A connection and everything made
// from it belong to the one thread that opened it; other threads open their own connection.

#include "store/db/dbtime.h"

#include <QByteArrayView>
#include <QString>
#include <QVariant>
#include <memory>
#include <optional>
#include <stdexcept>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;
class TDataSet;

// The two kinds of database file. Each kind carries its own application id in its header, so a
// file of one kind never opens as the other.
enum class DbKind
{
    None, // a connection that is not open
    Attend,
    Sysdat,
};

// A failure of the database layer: SQLite's own message and (extended) result code, or one of
// ours (a refused file, a dataset misuse) with a code of SQLITE_ERROR or the like.
class EDatabaseError : public std::runtime_error
{
public:
    explicit EDatabaseError(const QString &message, int code = 1 /* SQLITE_ERROR */);
    int Code() const noexcept { return m_code; }
    // Another connection holds the lock this statement needed (it waited out the busy time-out).
    bool IsBusy() const noexcept;
    QString Message() const { return QString::fromUtf8(what()); }

private:
    int m_code;
};

// One prepared statement. Parameters are numbered from 1 as in SQLite, or named (":name",
// "@name", "$name"; a bare name is taken as ":name"). Columns are numbered from 0.
// Values: null, integer (qint64), double, text (QString), blob (QByteArray); a bool binds as
// 0/1, a QDateTime as "YYYY-MM-DD HH:MM:SS" (local time), a QDate as "YYYY-MM-DD", a QTime as
// "HH:MM:SS".
class TStatement
{
public:
    TStatement() = default;
    TStatement(TStatement &&other) noexcept = default;
    TStatement &operator=(TStatement &&other) noexcept = default;
    ~TStatement() = default;

    bool IsValid() const { return m_stmt != nullptr; }
    QString SQL() const;

    int ParameterCount() const;
    void Bind(int index, const QVariant &value);
    void Bind(const QString &name, const QVariant &value);
    // Typed binds for loops over many rows, without a QVariant each.
    void BindInt64(int index, qint64 value);
    void BindNull(int index);
    // UTF-8 bytes as text; SQLite keeps a copy.
    void BindText(int index, QByteArrayView utf8);
    // The value of a column of another statement's current row, with its type.
    void BindColumn(int index, const TStatement &source, int column);
    void ClearBindings();

    // Runs to the next row: true when a row is ready, false when done. Throws EDatabaseError.
    bool Step();
    // Makes the statement ready to run again; bindings are kept.
    void Reset();
    // Runs a statement that changes rows to its end, then Reset(): false when SQLite refused it
    // (a constraint, a lock held too long, a full disk), which the caller counts instead of
    // raising.
    bool TryRun();

    int ColumnCount() const;
    QString ColumnName(int column) const;
    // Index of the column of that name (case-insensitive), -1 when there is none.
    int ColumnIndex(const QString &name) const;
    // Declared type of the column in its table ("INTEGER", "DATETIME", ...), empty for an
    // expression.
    QString ColumnDeclType(int column) const;
    // The table column a result column reads (its name there), empty for an expression.
    QString ColumnOriginName(int column) const;

    // The type of the value a column holds in the current row (SQLite types by value).
    enum class ValueType
    {
        Null,
        Integer,
        Float,
        Text,
        Blob,
    };
    ValueType ColumnType(int column) const;
    bool ColumnIsNull(int column) const;
    QVariant Column(int column) const;
    // The value converted as SQLite converts it (a text reads as its leading number, null as 0).
    qint64 ColumnInt64(int column) const;
    // The value when the column holds an integer, none for any other type (a text of digits,
    // a float, a null).
    std::optional<qint64> ColumnInteger(int column) const;
    QString ColumnText(int column) const;
    // The value as text, its UTF-8 bytes without a copy: valid until the next Step(), Reset()
    // or other read of this column. Null for a null value.
    QByteArrayView ColumnTextView(int column) const;
    QByteArray ColumnBlob(int column) const;

    sqlite3_stmt *Handle() const { return m_stmt.get(); }

private:
    friend class TDatabase;
    TStatement(sqlite3_stmt *stmt, sqlite3 *db);
    void check(int rc) const;

    struct Finalizer
    {
        void operator()(sqlite3_stmt *stmt) const noexcept;
    };
    std::unique_ptr<sqlite3_stmt, Finalizer> m_stmt;
    sqlite3 *m_db = nullptr;
};

// One connection to one database file. Open() refuses a missing file (it never creates one), a
// file that is not SQLite or is truncated, a file of the other kind and a schema version it does
// not know, each with a clear EDatabaseError. A read-write connection runs with a WAL journal,
// synchronous FULL (every commit is on disk) and a busy time-out. Closing the connection closes
// the datasets that read through it.
class TDatabase
{
public:
    enum class OpenMode
    {
        ReadWrite,
        ReadOnly,
    };

    // How long a statement waits for another connection's lock before failing.
    static constexpr int BusyTimeoutMs = 3000;
    // The wait of this connection from now on (BusyTimeoutMs again after a reopen); see also
    // TBusyTimeout for a wait of one scope.
    void SetBusyTimeout(int ms);
    int BusyTimeout() const { return m_busyTimeoutMs; }

    TDatabase() = default;
    ~TDatabase();
    TDatabase(const TDatabase &) = delete;
    TDatabase &operator=(const TDatabase &) = delete;

    // Opens the file as a database of the given kind; closes a connection already open first.
    void Open(const QString &path, DbKind kind, OpenMode mode = OpenMode::ReadWrite);
    void Close() noexcept;
    bool IsOpen() const { return m_db != nullptr; }
    bool Connected() const { return IsOpen(); }

    QString Path() const { return m_path; }
    DbKind Kind() const { return m_kind; }
    bool IsReadOnly() const { return m_mode == OpenMode::ReadOnly; }

    // Runs one or several statements without parameters.
    void Exec(const QString &sql);
    TStatement Prepare(const QString &sql);
    qint64 LastInsertRowId() const;
    int Changes() const;
    // Rows changed on this connection since it opened: a reader that keeps rows of its own sees
    // by it whether anything was written meanwhile.
    qint64 TotalChanges() const;
    // True while a transaction is open on this connection.
    bool InTransaction() const;

    sqlite3 *Handle() const { return m_db; }

    // Goes up whenever a read-write connection of this process deletes rows from a file of the
    // kind (at the delete, before its commit; a rolled-back delete counts too). A reader that
    // keeps figures of its own between transactions and sees it unchanged knows that rows were
    // only added or edited meanwhile.
    static quint64 DeletionGeneration(DbKind kind);

private:
    friend class TDataSet;
    void attach(TDataSet *dataSet);
    void detach(TDataSet *dataSet) noexcept;
    void checkOpen() const;

    sqlite3 *m_db = nullptr;
    QString m_path;
    DbKind m_kind = DbKind::None;
    OpenMode m_mode = OpenMode::ReadWrite;
    int m_busyTimeoutMs = BusyTimeoutMs;
    std::vector<TDataSet *> m_dataSets;
};

// Another busy time-out on one connection for the length of a scope, then the one it had:
// a caller that must not wait seconds for another program's lock (the swipe road) shortens it
// without changing it for everybody else on the connection.
class TBusyTimeout
{
public:
    TBusyTimeout(TDatabase &db, int ms);
    ~TBusyTimeout();
    TBusyTimeout(const TBusyTimeout &) = delete;
    TBusyTimeout &operator=(const TBusyTimeout &) = delete;

private:
    TDatabase &m_db;
    int m_previous;
};

// A transaction on one connection: begun by the constructor, rolled back by the destructor
// unless committed. Inside another transaction it is a savepoint of that one.
class TTransaction
{
public:
    explicit TTransaction(TDatabase &db);
    ~TTransaction();
    TTransaction(const TTransaction &) = delete;
    TTransaction &operator=(const TTransaction &) = delete;

    void Commit();
    void Rollback() noexcept;
    bool Active() const { return m_active; }

private:
    TDatabase &m_db;
    QString m_savepoint; // empty for an outermost transaction
    bool m_active = false;
};
