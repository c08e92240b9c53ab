#include "store/db/sqlitedb.h"

#include "store/dataset.h"
#include "store/db/filelocks.h"
#include "store/dbfile.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QUrl>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
// Debian's SQLite is built with the row-change hook; its declaration needs this.
#define SQLITE_ENABLE_PREUPDATE_HOOK
#include <sqlite3.h>

// ---------------------------------------------------------------------------------------------
// EDatabaseError

EDatabaseError::EDatabaseError(const QString &message, int code)
    : std::runtime_error(message.toStdString()), m_code(code)
{
}

static QString errorText(sqlite3 *db, int rc)
{
    if (db)
        return QString::fromUtf8(sqlite3_errmsg(db));
    return QString::fromUtf8(sqlite3_errstr(rc));
}

// ---------------------------------------------------------------------------------------------
// TStatement

void TStatement::Finalizer::operator()(sqlite3_stmt *stmt) const noexcept
{
    sqlite3_finalize(stmt);
}

TStatement::TStatement(sqlite3_stmt *stmt, sqlite3 *db) : m_stmt(stmt), m_db(db) {}

void TStatement::check(int rc) const
{
    if (rc != SQLITE_OK)
        throw EDatabaseError(errorText(m_db, rc), rc);
}

QString TStatement::SQL() const
{
    return m_stmt ? QString::fromUtf8(sqlite3_sql(m_stmt.get())) : QString();
}

int TStatement::ParameterCount() const
{
    return m_stmt ? sqlite3_bind_parameter_count(m_stmt.get()) : 0;
}

void TStatement::Bind(int index, const QVariant &value)
{
    if (!m_stmt)
        throw EDatabaseError(QStringLiteral("Statement is not prepared"), SQLITE_MISUSE);
    sqlite3_stmt *s = m_stmt.get();
    if (index < 1 || index > sqlite3_bind_parameter_count(s))
        throw EDatabaseError(QStringLiteral("Parameter %1 is out of range").arg(index),
                             SQLITE_RANGE);
    int rc = SQLITE_OK;
    if (value.isNull() && value.metaType().id() != QMetaType::QByteArray &&
        value.metaType().id() != QMetaType::QString) {
        rc = sqlite3_bind_null(s, index);
    } else {
        switch (value.metaType().id()) {
        case QMetaType::Bool:
            rc = sqlite3_bind_int64(s, index, value.toBool() ? 1 : 0);
            break;
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::Long:
        case QMetaType::LongLong:
        case QMetaType::Short:
        case QMetaType::UShort:
        case QMetaType::Char:
        case QMetaType::SChar:
        case QMetaType::UChar:
            rc = sqlite3_bind_int64(s, index, value.toLongLong());
            break;
        case QMetaType::ULong:
        case QMetaType::ULongLong:
            rc = sqlite3_bind_int64(s, index, static_cast<qint64>(value.toULongLong()));
            break;
        case QMetaType::Double:
        case QMetaType::Float:
            rc = sqlite3_bind_double(s, index, value.toDouble());
            break;
        case QMetaType::QByteArray: {
            const QByteArray bytes = value.toByteArray();
            rc = sqlite3_bind_blob64(s, index, bytes.constData(), bytes.size(), SQLITE_TRANSIENT);
            break;
        }
        case QMetaType::QDateTime: {
            const QDateTime dt = value.toDateTime();
            if (!dt.isValid()) {
                rc = sqlite3_bind_null(s, index);
                break;
            }
            const QByteArray text = DateTimeToDbText(dt).toUtf8();
            rc = sqlite3_bind_text64(s, index, text.constData(), text.size(), SQLITE_TRANSIENT,
                                     SQLITE_UTF8);
            break;
        }
        case QMetaType::QDate:
        case QMetaType::QTime: {
            const QByteArray text =
                (value.metaType().id() == QMetaType::QDate ? DateToDbText(value.toDate())
                                                           : TimeToDbText(value.toTime()))
                    .toUtf8();
            if (text.isEmpty())
                rc = sqlite3_bind_null(s, index);
            else
                rc = sqlite3_bind_text64(s, index, text.constData(), text.size(), SQLITE_TRANSIENT,
                                         SQLITE_UTF8);
            break;
        }
        default: {
            const QByteArray text = value.toString().toUtf8();
            rc = sqlite3_bind_text64(s, index, text.constData(), text.size(), SQLITE_TRANSIENT,
                                     SQLITE_UTF8);
            break;
        }
        }
    }
    check(rc);
}

void TStatement::Bind(const QString &name, const QVariant &value)
{
    if (!m_stmt)
        throw EDatabaseError(QStringLiteral("Statement is not prepared"), SQLITE_MISUSE);
    int index = 0;
    const QChar first = name.isEmpty() ? QChar() : name.at(0);
    if (first == QLatin1Char(':') || first == QLatin1Char('@') || first == QLatin1Char('$') ||
        first == QLatin1Char('?')) {
        index = sqlite3_bind_parameter_index(m_stmt.get(), name.toUtf8().constData());
    } else {
        for (const char *prefix : {":", "@", "$"}) {
            index = sqlite3_bind_parameter_index(m_stmt.get(),
                                                 (QByteArray(prefix) + name.toUtf8()).constData());
            if (index > 0)
                break;
        }
    }
    if (index <= 0)
        throw EDatabaseError(QStringLiteral("Parameter %1 not found").arg(name), SQLITE_RANGE);
    Bind(index, value);
}

void TStatement::BindInt64(int index, qint64 value)
{
    if (!m_stmt)
        throw EDatabaseError(QStringLiteral("Statement is not prepared"), SQLITE_MISUSE);
    check(sqlite3_bind_int64(m_stmt.get(), index, value));
}

void TStatement::BindNull(int index)
{
    if (!m_stmt)
        throw EDatabaseError(QStringLiteral("Statement is not prepared"), SQLITE_MISUSE);
    check(sqlite3_bind_null(m_stmt.get(), index));
}

void TStatement::BindText(int index, QByteArrayView utf8)
{
    if (!m_stmt)
        throw EDatabaseError(QStringLiteral("Statement is not prepared"), SQLITE_MISUSE);
    // A null view binds the empty text, not null: the caller asked for a text.
    check(sqlite3_bind_text64(m_stmt.get(), index, utf8.data() ? utf8.data() : "",
                              sqlite3_uint64(utf8.size()), SQLITE_TRANSIENT, SQLITE_UTF8));
}

void TStatement::BindColumn(int index, const TStatement &source, int column)
{
    if (!m_stmt || !source.m_stmt)
        throw EDatabaseError(QStringLiteral("Statement is not prepared"), SQLITE_MISUSE);
    check(
        sqlite3_bind_value(m_stmt.get(), index, sqlite3_column_value(source.m_stmt.get(), column)));
}

void TStatement::ClearBindings()
{
    if (m_stmt)
        sqlite3_clear_bindings(m_stmt.get());
}

bool TStatement::Step()
{
    if (!m_stmt)
        throw EDatabaseError(QStringLiteral("Statement is not prepared"), SQLITE_MISUSE);
    const int rc = sqlite3_step(m_stmt.get());
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    const int code = sqlite3_extended_errcode(m_db);
    const QString message = errorText(m_db, rc);
    sqlite3_reset(m_stmt.get()); // ready to run again after the caller handled the error
    throw EDatabaseError(message, code ? code : rc);
}

void TStatement::Reset()
{
    if (m_stmt)
        sqlite3_reset(m_stmt.get());
}

bool TStatement::TryRun()
{
    if (!m_stmt)
        return false;
    const int rc = sqlite3_step(m_stmt.get());
    sqlite3_reset(m_stmt.get());
    return rc == SQLITE_DONE;
}

int TStatement::ColumnCount() const
{
    return m_stmt ? sqlite3_column_count(m_stmt.get()) : 0;
}

QString TStatement::ColumnName(int column) const
{
    const char *name = m_stmt ? sqlite3_column_name(m_stmt.get(), column) : nullptr;
    return name ? QString::fromUtf8(name) : QString();
}

int TStatement::ColumnIndex(const QString &name) const
{
    const int n = ColumnCount();
    for (int i = 0; i < n; ++i)
        if (ColumnName(i).compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

QString TStatement::ColumnDeclType(int column) const
{
    const char *type = m_stmt ? sqlite3_column_decltype(m_stmt.get(), column) : nullptr;
    return type ? QString::fromUtf8(type) : QString();
}

bool TStatement::ColumnIsNull(int column) const
{
    return !m_stmt || sqlite3_column_type(m_stmt.get(), column) == SQLITE_NULL;
}

QVariant TStatement::Column(int column) const
{
    if (!m_stmt)
        return QVariant();
    sqlite3_stmt *s = m_stmt.get();
    switch (sqlite3_column_type(s, column)) {
    case SQLITE_INTEGER:
        return QVariant(static_cast<qint64>(sqlite3_column_int64(s, column)));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_column_double(s, column));
    case SQLITE_TEXT:
        return QVariant(ColumnText(column));
    case SQLITE_BLOB:
        return QVariant(ColumnBlob(column));
    default:
        return QVariant();
    }
}

std::optional<qint64> TStatement::ColumnInteger(int column) const
{
    if (!m_stmt || sqlite3_column_type(m_stmt.get(), column) != SQLITE_INTEGER)
        return std::nullopt;
    return sqlite3_column_int64(m_stmt.get(), column);
}

TStatement::ValueType TStatement::ColumnType(int column) const
{
    switch (m_stmt ? sqlite3_column_type(m_stmt.get(), column) : SQLITE_NULL) {
    case SQLITE_INTEGER:
        return ValueType::Integer;
    case SQLITE_FLOAT:
        return ValueType::Float;
    case SQLITE_TEXT:
        return ValueType::Text;
    case SQLITE_BLOB:
        return ValueType::Blob;
    default:
        return ValueType::Null;
    }
}

QByteArrayView TStatement::ColumnTextView(int column) const
{
    if (!m_stmt)
        return QByteArrayView();
    // The text first, then its length: the length of the text form, not of the stored value.
    const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(m_stmt.get(), column));
    return text ? QByteArrayView(text, sqlite3_column_bytes(m_stmt.get(), column))
                : QByteArrayView();
}

QString TStatement::ColumnOriginName(int column) const
{
    const char *origin = m_stmt ? sqlite3_column_origin_name(m_stmt.get(), column) : nullptr;
    return origin ? QString::fromUtf8(origin) : QString();
}

qint64 TStatement::ColumnInt64(int column) const
{
    return m_stmt ? sqlite3_column_int64(m_stmt.get(), column) : 0;
}

QString TStatement::ColumnText(int column) const
{
    if (!m_stmt)
        return QString();
    const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(m_stmt.get(), column));
    const int size = sqlite3_column_bytes(m_stmt.get(), column);
    return text ? QString::fromUtf8(text, size) : QString();
}

QByteArray TStatement::ColumnBlob(int column) const
{
    if (!m_stmt)
        return QByteArray();
    const void *data = sqlite3_column_blob(m_stmt.get(), column);
    const int size = sqlite3_column_bytes(m_stmt.get(), column);
    return data ? QByteArray(static_cast<const char *>(data), size) : QByteArray("");
}

// ---------------------------------------------------------------------------------------------
// TDatabase

namespace {

// Row deletions by this process's read-write connections, by kind of file.
std::atomic<quint64> deletionGenerations[3];

std::atomic<quint64> &deletionGeneration(DbKind kind)
{
    return deletionGenerations[static_cast<int>(kind)];
}

// Seen before each row change. Registering it also keeps SQLite from dropping a whole table's
// rows at once unseen: a delete without a condition then goes row by row through here too.
void rowChanging(void *counter, sqlite3 *, int op, const char *, const char *, sqlite3_int64 key,
                 sqlite3_int64 newKey)
{
    // An update that gives a row another row id takes the old one away.
    if (op == SQLITE_DELETE || (op == SQLITE_UPDATE && key != newKey))
        static_cast<std::atomic<quint64> *>(counter)->fetch_add(1, std::memory_order_release);
}

// Letters compared without case beyond ASCII (SQLite's own lower() knows ASCII only).
void foldFunction(sqlite3_context *context, int argc, sqlite3_value **argv)
{
    if (argc != 1 || sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(context);
        return;
    }
    const auto *text = reinterpret_cast<const char *>(sqlite3_value_text(argv[0]));
    const int size = sqlite3_value_bytes(argv[0]);
    const QByteArray folded = QString::fromUtf8(text, size).toCaseFolded().toUtf8();
    sqlite3_result_text(context, folded.constData(), static_cast<int>(folded.size()),
                        SQLITE_TRANSIENT);
}

quint32 bigEndian32(const unsigned char *p)
{
    return (quint32(p[0]) << 24) | (quint32(p[1]) << 16) | (quint32(p[2]) << 8) | quint32(p[3]);
}

// A database file read through SQLite's own file layer, for looks at it before a connection
// is opened on it. On POSIX, closing any descriptor of a file drops every lock this process
// holds on that file, the open connections' included: another program would then take the
// file for unused, fold its write-ahead log back and delete it while the desk goes on writing
// into the deleted log. SQLite's unix layer keeps such a descriptor open for as long as this
// process holds locks on the file. So nothing may open a database file, its -wal or its -shm
// with a descriptor of its own (QFile, fopen, open, streams, QFile::copy): only through here
// or through a connection.
class TVfsFile
{
public:
    // Opens an existing file read-only; IsOpen() tells whether that worked, Error() why not.
    explicit TVfsFile(const QString &absolutePath)
        : m_vfs(sqlite3_vfs_find(nullptr)),
          m_name(sqlite3_create_filename(absolutePath.toUtf8().constData(), "", "", 0, nullptr))
    {
        if (!m_vfs || !m_name) {
            m_rc = SQLITE_NOMEM;
            return;
        }
        m_file = static_cast<sqlite3_file *>(sqlite3_malloc(m_vfs->szOsFile));
        if (!m_file) {
            m_rc = SQLITE_NOMEM;
            return;
        }
        std::memset(m_file, 0, static_cast<std::size_t>(m_vfs->szOsFile));
        int outFlags = 0;
        errno = 0;
        m_rc = m_vfs->xOpen(m_vfs, m_name, m_file, SQLITE_OPEN_MAIN_DB | SQLITE_OPEN_READONLY,
                            &outFlags);
        m_errno = errno;
    }
    ~TVfsFile()
    {
        // A file layer that set its methods wants its close even after a failed open.
        if (m_file && m_file->pMethods)
            m_file->pMethods->xClose(m_file);
        sqlite3_free(m_file);
        sqlite3_free_filename(m_name);
    }
    TVfsFile(const TVfsFile &) = delete;
    TVfsFile &operator=(const TVfsFile &) = delete;

    bool IsOpen() const { return m_rc == SQLITE_OK; }
    // The system's reason for a failed open, else SQLite's.
    QString Error() const
    {
        return m_errno != 0 ? QString::fromLocal8Bit(std::strerror(m_errno))
                            : QString::fromUtf8(sqlite3_errstr(m_rc));
    }
    // -1 when the size cannot be read.
    qint64 Size() const
    {
        sqlite3_int64 size = 0;
        if (!IsOpen() || m_file->pMethods->xFileSize(m_file, &size) != SQLITE_OK)
            return -1;
        return size;
    }
    // Up to count bytes from the start of the file; fewer when the file is shorter.
    QByteArray ReadStart(int count) const
    {
        const qint64 size = Size();
        if (size <= 0)
            return QByteArray();
        QByteArray bytes(static_cast<int>(std::min<qint64>(count, size)), '\0');
        if (m_file->pMethods->xRead(m_file, bytes.data(), static_cast<int>(bytes.size()), 0) !=
            SQLITE_OK)
            return QByteArray();
        return bytes;
    }

private:
    sqlite3_vfs *m_vfs = nullptr;
    sqlite3_filename m_name = nullptr;
    sqlite3_file *m_file = nullptr;
    int m_rc = SQLITE_CANTOPEN;
    int m_errno = 0;
};

// Before SQLite's first use, so before any file of this process is opened through it (also by
// code that calls SQLite directly): without allocation statistics its allocations take no
// process-wide lock, so the web report's connections do not queue behind each other and the
// desk's own; and its locks are held where closing a foreign descriptor cannot drop them.
bool prepareSqlite()
{
    static const bool prepared = [] {
        sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
        InstallDescriptionLocks();
        return true;
    }();
    return prepared;
}
[[maybe_unused]] const bool preparedAtStart = prepareSqlite();

// What the file's header says, read before SQLite opens a connection on it.
struct FileHeader
{
    bool writeAheadLog = false; // header bytes 18 and 19 are 2
};

// Looks at the file before a connection does, so that a file that is not a database, or one
// cut short, is refused without SQLite touching it.
FileHeader checkFileHeader(const QString &path, const QString &shown)
{
    const QFileInfo info(path);
    if (!info.exists())
        throw EDatabaseError(QStringLiteral("Database file %1 does not exist").arg(shown),
                             SQLITE_CANTOPEN);
    if (!info.isFile())
        throw EDatabaseError(QStringLiteral("%1 is not a database file").arg(shown),
                             SQLITE_CANTOPEN);
    const TVfsFile file(path);
    if (!file.IsOpen())
        throw EDatabaseError(
            QStringLiteral("Cannot read database file %1: %2").arg(shown, file.Error()),
            SQLITE_CANTOPEN);
    const QByteArray header = file.ReadStart(100);
    static const char magic[] = "SQLite format 3";
    if (header.size() < 100 || !header.startsWith(QByteArray(magic, sizeof magic)))
        throw EDatabaseError(QStringLiteral("%1 is not a database file").arg(shown), SQLITE_NOTADB);
    const auto *h = reinterpret_cast<const unsigned char *>(header.constData());
    qint64 pageSize = (h[16] << 8) | h[17];
    if (pageSize == 1)
        pageSize = 65536;
    if (pageSize < 512 || (pageSize & (pageSize - 1)) != 0)
        throw EDatabaseError(QStringLiteral("%1 is not a database file").arg(shown), SQLITE_NOTADB);
    const qint64 size = file.Size();
    const quint32 pages = bigEndian32(h + 28);
    const bool pagesValid = pages > 0 && bigEndian32(h + 24) == bigEndian32(h + 92);
    // A checkpoint writes the log's pages back first page first, and a transaction stopped
    // in its commit has written some of its pages but not all: while a log or a journal is
    // beside the file its header may count pages the file does not hold yet. SQLite reads
    // such a file through the log or rolls the journal back, so it decides then.
    const bool logBeside = QFileInfo::exists(path + QStringLiteral("-wal")) ||
                           QFileInfo::exists(path + QStringLiteral("-journal"));
    if (size % pageSize != 0 || (pagesValid && !logBeside && size < pages * pageSize))
        throw EDatabaseError(QStringLiteral("Database file %1 is truncated").arg(shown),
                             SQLITE_CORRUPT);
    return FileHeader{h[18] == 2 && h[19] == 2};
}

// The first column of the statement's first row as text (empty when there is no row).
QByteArray pragmaText(sqlite3 *db, const char *sql)
{
    sqlite3_stmt *stmt = nullptr;
    int rc = sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr);
    QByteArray value;
    if (rc == SQLITE_OK) {
        rc = sqlite3_step(stmt);
        if (rc == SQLITE_ROW) {
            value = QByteArray(reinterpret_cast<const char *>(sqlite3_column_text(stmt, 0)));
            rc = SQLITE_OK;
        } else if (rc == SQLITE_DONE) {
            rc = SQLITE_OK;
        }
    }
    const int code = rc == SQLITE_OK ? SQLITE_OK : sqlite3_extended_errcode(db);
    const QString message = rc == SQLITE_OK ? QString() : errorText(db, rc);
    sqlite3_finalize(stmt);
    if (rc != SQLITE_OK)
        throw EDatabaseError(message, code);
    return value;
}

qint64 pragmaValue(sqlite3 *db, const char *sql)
{
    return pragmaText(db, sql).toLongLong();
}

DbKind kindOfApplicationId(qint64 id)
{
    if (id == AttendApplicationId)
        return DbKind::Attend;
    if (id == SysdatApplicationId)
        return DbKind::Sysdat;
    return DbKind::None;
}

QString withArticle(DbKind kind)
{
    return (kind == DbKind::Attend ? QStringLiteral("an ") : QStringLiteral("a ")) + KindName(kind);
}

} // namespace

TDatabase::~TDatabase()
{
    Close();
}

void TDatabase::Open(const QString &path, DbKind kind, OpenMode mode)
{
    prepareSqlite();
    Close();
    if (kind == DbKind::None)
        throw EDatabaseError(QStringLiteral("No database kind given for %1").arg(path),
                             SQLITE_MISUSE);
    // An absolute path never reads as an SQLite URI ("file:...").
    const QString absolute = QFileInfo(path).absoluteFilePath();
    const QString shown = QDir::toNativeSeparators(path);
    const FileHeader header = checkFileHeader(absolute, shown);

    sqlite3 *db = nullptr;
    int flags = (mode == OpenMode::ReadOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE) |
                SQLITE_OPEN_NOMUTEX; // one connection, one thread
    QByteArray name = absolute.toUtf8();
    if (mode == OpenMode::ReadOnly && header.writeAheadLog &&
        !QFileInfo::exists(absolute + QStringLiteral("-wal"))) {
        // A log-journalled file without its log is closed everywhere (a backup, a copy): a
        // read-only look takes it as it is, rather than leaving a log and an index beside it.
        name = QUrl::fromLocalFile(absolute).toString(QUrl::FullyEncoded).toUtf8() + "?immutable=1";
        flags |= SQLITE_OPEN_URI;
    }
    int rc = sqlite3_open_v2(name.constData(), &db, flags, nullptr);
    if (rc != SQLITE_OK) {
        const QString message = errorText(db, rc);
        sqlite3_close(db);
        throw EDatabaseError(QStringLiteral("Cannot open %1: %2").arg(shown, message), rc);
    }
    try {
        sqlite3_extended_result_codes(db, 1);
        sqlite3_busy_timeout(db, BusyTimeoutMs);
        qint64 appId = 0;
        qint64 version = 0;
        try {
            appId = pragmaValue(db, "PRAGMA application_id");
            version = pragmaValue(db, "PRAGMA user_version");
            pragmaValue(db, "SELECT count(*) FROM sqlite_schema"); // reads the whole schema
        } catch (const EDatabaseError &e) {
            throw EDatabaseError(QStringLiteral("Cannot open %1: %2").arg(shown, e.Message()),
                                 e.Code());
        }
        const DbKind found = kindOfApplicationId(appId);
        if (found != kind) {
            if (found == DbKind::None)
                throw EDatabaseError(
                    QStringLiteral("%1 is not a Tallyclock %2 database").arg(shown, KindName(kind)),
                    SQLITE_NOTADB);
            throw EDatabaseError(QStringLiteral("%1 is %2 database, not %3 database")
                                     .arg(shown, withArticle(found), withArticle(kind)),
                                 SQLITE_NOTADB);
        }
        if (version != SchemaVersion)
            throw EDatabaseError(QStringLiteral("%1 has schema version %2, which this program "
                                                "does not know")
                                     .arg(shown)
                                     .arg(version),
                                 SQLITE_NOTADB);
        if (mode == OpenMode::ReadWrite) {
            // A desk that cannot write would start and then fail every swipe.
            if (sqlite3_db_readonly(db, "main") == 1)
                throw EDatabaseError(QStringLiteral("%1 is read-only").arg(shown), SQLITE_READONLY);
            // Every commit reaches the disk before it returns; readers never block the writer.
            // SQLite keeps the old journal when it cannot make the log beside the file.
            if (pragmaText(db, "PRAGMA journal_mode=WAL") != "wal")
                throw EDatabaseError(
                    QStringLiteral("Cannot open %1: no write-ahead log can be made beside it")
                        .arg(shown),
                    SQLITE_CANTOPEN);
            pragmaValue(db, "PRAGMA synchronous=FULL");
            sqlite3_preupdate_hook(db, &rowChanging, &deletionGeneration(kind));
        }
        rc = sqlite3_create_function_v2(db, "tc_fold", 1,
                                        SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS,
                                        nullptr, &foldFunction, nullptr, nullptr, nullptr);
        if (rc != SQLITE_OK)
            throw EDatabaseError(errorText(db, rc), rc);
    } catch (const EDatabaseError &e) {
        sqlite3_close(db);
        if (e.Code() == SQLITE_BUSY || (e.Code() & 0xff) == SQLITE_BUSY ||
            (e.Code() & 0xff) == SQLITE_LOCKED)
            throw EDatabaseError(QStringLiteral("%1 is locked by another program").arg(shown),
                                 e.Code());
        // The log and its index go beside the file: a folder that cannot be written fails
        // reads too, in SQLite's words for something else.
        const QString folder = QFileInfo(absolute).absolutePath();
        if (mode == OpenMode::ReadWrite &&
            ((e.Code() & 0xff) == SQLITE_READONLY || (e.Code() & 0xff) == SQLITE_CANTOPEN) &&
            !QFileInfo(folder).isWritable())
            throw EDatabaseError(QStringLiteral("Cannot open %1: its folder %2 is read-only")
                                     .arg(shown, QDir::toNativeSeparators(folder)),
                                 e.Code());
        throw;
    }
    m_db = db;
    m_path = absolute;
    m_kind = kind;
    m_mode = mode;
}

quint64 TDatabase::DeletionGeneration(DbKind kind)
{
    return deletionGeneration(kind).load(std::memory_order_acquire);
}

void TDatabase::Close() noexcept
{
    // Datasets first: they hold prepared statements on this connection.
    const std::vector<TDataSet *> dataSets = m_dataSets;
    for (TDataSet *ds : dataSets)
        ds->Close();
    if (m_db) {
        // Statements someone still holds keep the handle alive until they are finalised.
        sqlite3_close_v2(m_db);
        m_db = nullptr;
    }
    m_kind = DbKind::None;
    m_busyTimeoutMs = BusyTimeoutMs;
}

void TDatabase::SetBusyTimeout(int ms)
{
    m_busyTimeoutMs = ms;
    if (m_db)
        sqlite3_busy_timeout(m_db, ms);
}

void TDatabase::checkOpen() const
{
    if (!m_db)
        throw EDatabaseError(QStringLiteral("Database is not open"), SQLITE_MISUSE);
}

void TDatabase::Exec(const QString &sql)
{
    checkOpen();
    char *error = nullptr;
    const int rc = sqlite3_exec(m_db, sql.toUtf8().constData(), nullptr, nullptr, &error);
    if (rc != SQLITE_OK) {
        const QString message = error ? QString::fromUtf8(error) : errorText(m_db, rc);
        sqlite3_free(error);
        throw EDatabaseError(message, sqlite3_extended_errcode(m_db));
    }
}

TStatement TDatabase::Prepare(const QString &sql)
{
    checkOpen();
    const QByteArray text = sql.toUtf8();
    sqlite3_stmt *stmt = nullptr;
    const char *tail = nullptr;
    const int rc =
        sqlite3_prepare_v2(m_db, text.constData(), static_cast<int>(text.size()), &stmt, &tail);
    if (rc != SQLITE_OK)
        throw EDatabaseError(errorText(m_db, rc), sqlite3_extended_errcode(m_db));
    TStatement statement(stmt, m_db);
    if (!stmt)
        throw EDatabaseError(QStringLiteral("No statement in: %1").arg(sql), SQLITE_MISUSE);
    // One statement only: a second one would run unseen.
    for (const char *p = tail; p && *p; ++p) {
        if (*p != ' ' && *p != '\t' && *p != '\r' && *p != '\n' && *p != ';')
            throw EDatabaseError(QStringLiteral("More than one statement in: %1").arg(sql),
                                 SQLITE_MISUSE);
    }
    return statement;
}

qint64 TDatabase::LastInsertRowId() const
{
    return m_db ? sqlite3_last_insert_rowid(m_db) : 0;
}

int TDatabase::Changes() const
{
    return m_db ? sqlite3_changes(m_db) : 0;
}

qint64 TDatabase::TotalChanges() const
{
    return m_db ? sqlite3_total_changes64(m_db) : 0;
}

bool TDatabase::InTransaction() const
{
    return m_db && sqlite3_get_autocommit(m_db) == 0;
}

void TDatabase::attach(TDataSet *dataSet)
{
    if (std::find(m_dataSets.begin(), m_dataSets.end(), dataSet) == m_dataSets.end())
        m_dataSets.push_back(dataSet);
}

void TDatabase::detach(TDataSet *dataSet) noexcept
{
    m_dataSets.erase(std::remove(m_dataSets.begin(), m_dataSets.end(), dataSet), m_dataSets.end());
}

// ---------------------------------------------------------------------------------------------
// TTransaction

TTransaction::TTransaction(TDatabase &db) : m_db(db)
{
    if (db.InTransaction()) {
        static std::atomic<unsigned> counter{0};
        m_savepoint = QStringLiteral("tc_sp_%1").arg(++counter);
        db.Exec(QStringLiteral("SAVEPOINT ") + m_savepoint);
    } else {
        // Take the write lock now: a deferred transaction that later needs it can deadlock.
        db.Exec(QStringLiteral("BEGIN IMMEDIATE"));
    }
    m_active = true;
}

TTransaction::~TTransaction()
{
    Rollback();
}

void TTransaction::Commit()
{
    if (!m_active)
        throw EDatabaseError(QStringLiteral("Transaction is not active"), SQLITE_MISUSE);
    if (m_savepoint.isEmpty())
        m_db.Exec(QStringLiteral("COMMIT"));
    else
        m_db.Exec(QStringLiteral("RELEASE ") + m_savepoint);
    m_active = false;
}

void TTransaction::Rollback() noexcept
{
    if (!m_active)
        return;
    m_active = false;
    // SQLite may already have rolled back by itself (a full disk, an I/O error).
    if (!m_db.InTransaction())
        return;
    try {
        if (m_savepoint.isEmpty()) {
            m_db.Exec(QStringLiteral("ROLLBACK"));
        } else {
            m_db.Exec(QStringLiteral("ROLLBACK TO ") + m_savepoint);
            m_db.Exec(QStringLiteral("RELEASE ") + m_savepoint);
        }
    } catch (...) {
        // Nothing to do: a destructor must not throw, and the connection stays usable.
    }
}

bool EDatabaseError::IsBusy() const noexcept
{
    const int primary = m_code & 0xff;
    return primary == SQLITE_BUSY || primary == SQLITE_LOCKED;
}

TBusyTimeout::TBusyTimeout(TDatabase &db, int ms) : m_db(db), m_previous(db.BusyTimeout())
{
    m_db.SetBusyTimeout(ms);
}

TBusyTimeout::~TBusyTimeout()
{
    m_db.SetBusyTimeout(m_previous);
}
