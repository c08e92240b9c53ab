#include "store/dataset.h"

#include "store/queryshape.h"

#include <QHash>
#include <algorithm>
#include <map>
#include <sqlite3.h>
#include <unordered_set>
#include <vector>

namespace {

enum class ColKind
{
    Other,
    Integer,
    Float,
    Text,
    Blob,
    Boolean,
    DateTime,
    Date,
    Time,
};

ColKind kindOfDeclType(const QString &declType)
{
    const QString t = declType.trimmed().toUpper();
    if (t.contains(QLatin1String("BOOL")))
        return ColKind::Boolean;
    if (t.startsWith(QLatin1String("DATETIME")) || t.startsWith(QLatin1String("TIMESTAMP")))
        return ColKind::DateTime;
    if (t == QLatin1String("DATE"))
        return ColKind::Date;
    if (t == QLatin1String("TIME"))
        return ColKind::Time;
    if (t.contains(QLatin1String("INT")))
        return ColKind::Integer;
    if (t.contains(QLatin1String("CHAR")) || t.contains(QLatin1String("CLOB")) ||
        t.contains(QLatin1String("TEXT")) || t.contains(QLatin1String("MEMO")))
        return ColKind::Text;
    if (t.contains(QLatin1String("BLOB")))
        return ColKind::Blob;
    if (t.contains(QLatin1String("REAL")) || t.contains(QLatin1String("FLOA")) ||
        t.contains(QLatin1String("DOUB")))
        return ColKind::Float;
    return ColKind::Other;
}

bool isNumeric(const QVariant &v)
{
    const int id = v.metaType().id();
    return id == QMetaType::LongLong || id == QMetaType::Double;
}

// A program value as the database stores it (null, qint64, double, QString, QByteArray).
QVariant toDbValue(const QVariant &value, ColKind kind)
{
    if (!value.isValid() || value.isNull())
        return QVariant();
    switch (value.metaType().id()) {
    case QMetaType::Bool:
        return QVariant(qint64(value.toBool() ? 1 : 0));
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
        return QVariant(value.toLongLong());
    case QMetaType::Double:
    case QMetaType::Float:
        return QVariant(value.toDouble());
    case QMetaType::QByteArray:
        return QVariant(value.toByteArray());
    case QMetaType::QDateTime: {
        const QDateTime dt = value.toDateTime();
        if (!dt.isValid())
            return QVariant();
        if (kind == ColKind::Time)
            return QVariant(TimeToDbText(dt.toLocalTime().time()));
        if (kind == ColKind::Date)
            return QVariant(DateToDbText(dt.toLocalTime().date()));
        return QVariant(DateTimeToDbText(dt));
    }
    case QMetaType::QDate: {
        const QDate d = value.toDate();
        if (!d.isValid())
            return QVariant();
        if (kind == ColKind::DateTime)
            return QVariant(DateTimeToDbText(QDateTime(d, QTime(0, 0))));
        return QVariant(DateToDbText(d));
    }
    case QMetaType::QTime: {
        const QTime t = value.toTime();
        return t.isValid() ? QVariant(TimeToDbText(t)) : QVariant();
    }
    default:
        return QVariant(value.toString());
    }
}

// A stored value as the program reads it: booleans as bool, dates and times as Qt types.
QVariant fromDbValue(const QVariant &raw, ColKind kind)
{
    if (!raw.isValid())
        return QVariant();
    switch (kind) {
    case ColKind::Boolean:
        if (isNumeric(raw))
            return QVariant(raw.toDouble() != 0);
        return QVariant(raw.toBool());
    case ColKind::DateTime:
    case ColKind::Date:
    case ColKind::Time: {
        if (raw.metaType().id() != QMetaType::QString)
            return raw;
        const QDateTime dt = DbTextToDateTime(raw.toString());
        if (!dt.isValid())
            return raw;
        if (kind == ColKind::Date)
            return QVariant(dt.date());
        if (kind == ColKind::Time)
            return QVariant(dt.time());
        return QVariant(dt);
    }
    default:
        return raw;
    }
}

// SQLite's order of values: null, numbers, text, blobs.
int compareDbValues(const QVariant &a, const QVariant &b)
{
    auto rank = [](const QVariant &v) {
        if (!v.isValid())
            return 0;
        if (isNumeric(v))
            return 1;
        if (v.metaType().id() == QMetaType::QByteArray)
            return 3;
        return 2;
    };
    const int ra = rank(a);
    const int rb = rank(b);
    if (ra != rb)
        return ra < rb ? -1 : 1;
    switch (ra) {
    case 0:
        return 0;
    case 1:
        if (a.metaType().id() == QMetaType::LongLong && b.metaType().id() == QMetaType::LongLong) {
            const qint64 x = a.toLongLong();
            const qint64 y = b.toLongLong();
            return x < y ? -1 : (x > y ? 1 : 0);
        } else {
            const double x = a.toDouble();
            const double y = b.toDouble();
            return x < y ? -1 : (x > y ? 1 : 0);
        }
    case 2: {
        const int c = a.toString().compare(b.toString());
        return c < 0 ? -1 : (c > 0 ? 1 : 0);
    }
    default: {
        const int c = a.toByteArray().compare(b.toByteArray());
        return c < 0 ? -1 : (c > 0 ? 1 : 0);
    }
    }
}

QString quoteId(const QString &name)
{
    QString q = name;
    q.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + q + QLatin1Char('"');
}

struct Column
{
    QString name;   // as the query names it
    QString origin; // the table's column, for writing back
    ColKind kind = ColKind::Other;
};

using Row = std::vector<QVariant>;

constexpr std::size_t CacheLimit = 2048;
constexpr std::size_t FetchBlock = 512; // rows a table cursor reads at once

} // namespace

// ---------------------------------------------------------------------------------------------

struct TDataSet::Impl
{
    QueryShape shape;
    bool keyset = false;
    std::vector<Column> columns;
    QHash<QString, int> byName; // upper-case name -> index

    std::vector<std::pair<int, QVariant>> bindsByIndex;
    std::vector<std::pair<QString, QVariant>> bindsByName;

    // table cursor
    std::vector<qint64> keys;
    QString fetchSql; // prepared into fetch at the first read of a row
    TStatement fetch;
    TStatement orderKey;
    std::map<QString, TStatement> writes; // prepared INSERT/UPDATE/DELETE by text
    std::unordered_map<qint64, Row> cache;
    qint64 cacheChanges = -1; // the connection's change count the cache was read at
    // read-only query
    std::vector<Row> rows;

    int row = -1;
    Row buffer;
    std::vector<bool> changed;
    std::vector<TDataSetListener *> listeners;

    int count() const { return static_cast<int>(keyset ? keys.size() : rows.size()); }

    void applyBinds(TStatement &st) const
    {
        for (const auto &[index, value] : bindsByIndex)
            if (index <= st.ParameterCount())
                st.Bind(index, value);
        for (const auto &[name, value] : bindsByName)
            st.Bind(name, value);
    }

    // The row at `index`, read with a block of its neighbours in one statement: a walk through
    // the rows then takes the file's locks once per block instead of once per row. Rows
    // cached before a change made on this connection are read again.
    const Row &fetchRow(std::size_t index, TDatabase &database)
    {
        const qint64 rowid = keys[index];
        const qint64 changes = database.TotalChanges();
        if (changes != cacheChanges) {
            cache.clear();
            cacheChanges = changes;
        }
        auto it = cache.find(rowid);
        if (it == cache.end()) {
            // A walk (a neighbour is at hand) reads a block in its direction; walking
            // backwards the block ends at the row. A jump (a Locate, a row asked for by number)
            // reads the row alone: its neighbours may be large (a photo each) and unwanted.
            std::size_t first = index;
            std::size_t rows = 1;
            if (index + 1 < keys.size() && cache.count(keys[index + 1])) {
                first = index + 1 >= FetchBlock ? index + 1 - FetchBlock : 0;
                rows = index + 1 - first;
            } else if (index > 0 && cache.count(keys[index - 1])) {
                rows = FetchBlock;
            }
            if (cache.size() + rows > CacheLimit)
                cache.clear();
            if (!fetch.IsValid())
                fetch = database.Prepare(fetchSql);
            fetch.Reset();
            for (std::size_t i = 0; i < FetchBlock; ++i) {
                if (i < rows && first + i < keys.size())
                    fetch.BindInt64(int(i) + 1, keys[first + i]);
                else
                    fetch.BindNull(int(i) + 1);
            }
            const int rowidColumn = static_cast<int>(columns.size());
            while (fetch.Step()) {
                Row r;
                r.reserve(columns.size());
                for (std::size_t c = 0; c < columns.size(); ++c)
                    r.push_back(fetch.Column(static_cast<int>(c)));
                cache.try_emplace(fetch.ColumnInt64(rowidColumn), std::move(r));
            }
            fetch.Reset();
            it = cache.find(rowid);
            if (it == cache.end()) // gone meanwhile: reads as nulls
                it = cache.emplace(rowid, Row(columns.size())).first;
        }
        return it->second;
    }

    // After a write of one of its own rows, which the caller drops from the cache itself: the
    // rest stays as read unless something else changed meanwhile.
    void noteOwnWrite(const TDatabase &db, qint64 before)
    {
        if (cacheChanges == before)
            cacheChanges = db.TotalChanges();
    }

    // The stored values of a row, null when there is no such row; valid until the next fetch.
    const Row *rowAt(int index, TDatabase &db)
    {
        if (index < 0 || index >= count())
            return nullptr;
        if (keyset)
            return &fetchRow(static_cast<std::size_t>(index), db);
        return &rows[static_cast<std::size_t>(index)];
    }

    Row keyOf(qint64 rowid)
    {
        Row r;
        orderKey.Reset();
        orderKey.Bind(1, rowid);
        if (orderKey.Step())
            for (int c = 0; c < orderKey.ColumnCount(); ++c)
                r.push_back(orderKey.Column(c));
        orderKey.Reset();
        return r;
    }

    // Negative when a sorts before b in the query's order.
    int compareKeys(const Row &a, const Row &b) const
    {
        for (std::size_t i = 0; i < shape.order.size() && i < a.size() && i < b.size(); ++i) {
            int c = compareDbValues(a[i], b[i]);
            if (shape.order[i].desc)
                c = -c;
            if (c != 0)
                return c;
        }
        return 0;
    }

    // Where a new row goes: after every row that does not sort after it.
    std::size_t insertPosition(qint64 rowid)
    {
        if (!orderKey.IsValid() || keys.empty())
            return keys.size();
        const Row key = keyOf(rowid);
        if (compareKeys(key, keyOf(keys.back())) >= 0)
            return keys.size(); // the usual case: a new swipe is the latest
        std::size_t lo = 0;
        std::size_t hi = keys.size() - 1;
        while (lo < hi) {
            const std::size_t mid = lo + (hi - lo) / 2;
            if (compareKeys(key, keyOf(keys[mid])) < 0)
                hi = mid;
            else
                lo = mid + 1;
        }
        return lo;
    }

    TStatement &writeStatement(TDatabase &db, const QString &sql)
    {
        auto it = writes.find(sql);
        if (it == writes.end())
            it = writes.emplace(sql, db.Prepare(sql)).first;
        it->second.Reset();
        it->second.ClearBindings();
        return it->second;
    }

    void clearData()
    {
        keyset = false;
        columns.clear();
        byName.clear();
        keys.clear();
        keys.shrink_to_fit();
        fetch = TStatement();
        fetchSql.clear();
        orderKey = TStatement();
        writes.clear();
        cache.clear();
        cacheChanges = -1;
        rows.clear();
        rows.shrink_to_fit();
        row = -1;
        buffer.clear();
        changed.clear();
    }
};

// ---------------------------------------------------------------------------------------------
// TField

QString TField::FieldName() const
{
    return m_dataSet ? m_dataSet->FieldName(m_index) : QString();
}

bool TField::IsNull() const
{
    return !m_dataSet || !m_dataSet->value(m_index).isValid();
}

QVariant TField::AsVariant() const
{
    if (!m_dataSet)
        return QVariant();
    return fromDbValue(m_dataSet->value(m_index), m_dataSet->m_impl->columns[m_index].kind);
}

QString TField::AsString() const
{
    if (!m_dataSet)
        return QString();
    const QVariant &raw = m_dataSet->value(m_index);
    if (!raw.isValid())
        return QString();
    const ColKind kind = m_dataSet->m_impl->columns[m_index].kind;
    if (kind == ColKind::Boolean)
        return fromDbValue(raw, kind).toBool() ? QStringLiteral("True") : QStringLiteral("False");
    if (raw.metaType().id() == QMetaType::QByteArray)
        return QString::fromUtf8(raw.toByteArray());
    return raw.toString();
}

int TField::AsInteger() const
{
    return static_cast<int>(AsLargeInt());
}

qint64 TField::AsLargeInt() const
{
    if (!m_dataSet)
        return 0;
    const QVariant &raw = m_dataSet->value(m_index);
    if (!raw.isValid())
        return 0;
    if (raw.metaType().id() == QMetaType::QString) {
        bool ok = false;
        const qint64 v = raw.toString().trimmed().toLongLong(&ok);
        if (ok)
            return v;
        return qRound64(raw.toString().trimmed().toDouble());
    }
    return raw.toLongLong();
}

double TField::AsFloat() const
{
    return m_dataSet ? m_dataSet->value(m_index).toDouble() : 0.0;
}

bool TField::AsBoolean() const
{
    if (!m_dataSet)
        return false;
    const QVariant &raw = m_dataSet->value(m_index);
    if (!raw.isValid())
        return false;
    if (isNumeric(raw))
        return raw.toDouble() != 0;
    const QString text = raw.toString().trimmed();
    return text.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0 || text.toLongLong() != 0;
}

QDateTime TField::AsDateTime() const
{
    if (!m_dataSet)
        return QDateTime();
    const QVariant &raw = m_dataSet->value(m_index);
    if (raw.metaType().id() != QMetaType::QString)
        return QDateTime();
    return DbTextToDateTime(raw.toString());
}

QByteArray TField::AsBytes() const
{
    if (!m_dataSet)
        return QByteArray();
    const QVariant &raw = m_dataSet->value(m_index);
    if (raw.metaType().id() == QMetaType::QString)
        return raw.toString().toUtf8();
    return raw.toByteArray();
}

void TField::SetAsString(const QString &value) const
{
    SetAsVariant(QVariant(value));
}

void TField::SetAsInteger(qint64 value) const
{
    SetAsVariant(QVariant(value));
}

void TField::SetAsBoolean(bool value) const
{
    SetAsVariant(QVariant(value));
}

void TField::SetAsDateTime(const QDateTime &value) const
{
    SetAsVariant(QVariant(value));
}

void TField::SetAsBytes(const QByteArray &value) const
{
    SetAsVariant(QVariant(value));
}

void TField::SetAsVariant(const QVariant &value) const
{
    if (!m_dataSet)
        throw EDatabaseError(QStringLiteral("Field is not valid"), SQLITE_MISUSE);
    m_dataSet->setValue(m_index, value);
}

void TField::Clear() const
{
    SetAsVariant(QVariant());
}

// ---------------------------------------------------------------------------------------------
// TDataSet

// A listener may add or remove listeners while it is told.
template <typename Call> void TDataSet::notify(Call call)
{
    for (TDataSetListener *l : std::vector<TDataSetListener *>(m_impl->listeners))
        call(*l);
}

void TDataSet::notifyAboutToReset()
{
    notify([this](TDataSetListener &l) { l.DataSetAboutToReset(*this); });
}

void TDataSet::notifyReset()
{
    notify([this](TDataSetListener &l) { l.DataSetReset(*this); });
}

TDataSet::TDataSet(TDatabase &db, const QString &sql)
    : m_db(db), m_sql(sql), m_impl(std::make_unique<Impl>())
{
    m_db.attach(this);
}

TDataSet::~TDataSet()
{
    Close();
    // A listener that outlives the dataset (a grid model freed later) must not call it again.
    const std::vector<TDataSetListener *> listeners = std::move(m_impl->listeners);
    m_impl->listeners.clear();
    for (TDataSetListener *l : listeners)
        l->DataSetDestroyed(*this);
    m_db.detach(this);
}

void TDataSet::SetSQL(const QString &sql)
{
    Close();
    m_sql = sql;
}

void TDataSet::SetSQLLines(const QStringList &lines)
{
    SetSQL(lines.join(QLatin1Char('\n')));
}

void TDataSet::Bind(int index, const QVariant &value)
{
    auto &binds = m_impl->bindsByIndex;
    for (auto &b : binds) {
        if (b.first == index) {
            b.second = value;
            return;
        }
    }
    binds.emplace_back(index, value);
}

void TDataSet::Bind(const QString &name, const QVariant &value)
{
    auto &binds = m_impl->bindsByName;
    for (auto &b : binds) {
        if (b.first == name) {
            b.second = value;
            return;
        }
    }
    binds.emplace_back(name, value);
}

void TDataSet::ClearBindings()
{
    m_impl->bindsByIndex.clear();
    m_impl->bindsByName.clear();
}

void TDataSet::Open()
{
    if (Active())
        return;
    m_db.checkOpen();
    Impl &d = *m_impl;
    notifyAboutToReset();
    d.clearData();
    try {
        d.shape = AnalyseQuery(m_sql);
        if (d.shape.simple) {
            // A view reads like a table but cannot be written to.
            TStatement type = m_db.Prepare(
                QStringLiteral("SELECT type FROM sqlite_schema WHERE name = ?1 COLLATE NOCASE"));
            type.Bind(1, d.shape.table);
            d.shape.simple = type.Step() && type.ColumnText(0) == QLatin1String("table");
        }
        if (d.shape.simple) {
            const QString table = quoteId(d.shape.table);
            // Reads a block of rows by their rowids (unused marks stay null); a dataset that
            // is only counted or refreshed never needs it.
            static const QString marks = [] {
                QStringList list;
                for (std::size_t i = 1; i <= FetchBlock; ++i)
                    list << QStringLiteral("?%1").arg(i);
                return list.join(QLatin1Char(','));
            }();
            d.fetchSql = QStringLiteral("SELECT ") + d.shape.selectList + QStringLiteral(", ") +
                         table + QStringLiteral(".rowid FROM ") + table +
                         QStringLiteral(" WHERE ") + table + QStringLiteral(".rowid IN (") + marks +
                         QStringLiteral(")");
            // The columns, from the same select list.
            TStatement probe =
                m_db.Prepare(QStringLiteral("SELECT ") + d.shape.selectList +
                             QStringLiteral(" FROM ") + table + QStringLiteral(" WHERE 0"));
            TStatement keys = m_db.Prepare(QStringLiteral("SELECT ") + table +
                                           QStringLiteral(".rowid FROM ") + d.shape.tail);
            d.applyBinds(keys);
            for (int c = 0; c < probe.ColumnCount(); ++c) {
                const QString origin = probe.ColumnOriginName(c);
                Column col;
                col.name = probe.ColumnName(c);
                col.origin = origin.isNull() ? col.name : origin;
                col.kind = kindOfDeclType(probe.ColumnDeclType(c));
                d.columns.push_back(col);
            }
            while (keys.Step())
                d.keys.push_back(keys.ColumnInt64(0));
            if (d.shape.orderKnown && !d.shape.order.empty()) {
                QStringList terms;
                for (const OrderTerm &o : d.shape.order)
                    terms << quoteId(o.column);
                try {
                    d.orderKey = m_db.Prepare(
                        QStringLiteral("SELECT ") + terms.join(QLatin1Char(',')) +
                        QStringLiteral(" FROM ") + table + QStringLiteral(" WHERE rowid = ?"));
                } catch (const EDatabaseError &) {
                    // An order term that is not a column of the table: appends go last.
                    d.shape.orderKnown = false;
                }
            }
            d.cache.reserve(CacheLimit);
            d.keyset = true;
        } else {
            TStatement st = m_db.Prepare(m_sql);
            d.applyBinds(st);
            for (int c = 0; c < st.ColumnCount(); ++c) {
                Column col;
                col.name = st.ColumnName(c);
                col.origin = col.name;
                col.kind = kindOfDeclType(st.ColumnDeclType(c));
                d.columns.push_back(col);
            }
            while (st.Step()) {
                Row r(d.columns.size());
                for (std::size_t c = 0; c < d.columns.size(); ++c)
                    r[c] = st.Column(static_cast<int>(c));
                d.rows.push_back(std::move(r));
            }
        }
    } catch (...) {
        d.clearData();
        notifyReset();
        throw;
    }
    for (int c = 0; c < static_cast<int>(d.columns.size()); ++c) {
        const QString key = d.columns[static_cast<std::size_t>(c)].name.toUpper();
        if (!d.byName.contains(key))
            d.byName.insert(key, c);
    }
    m_state = TDataSetState::Browse;
    d.row = d.count() > 0 ? 0 : -1;
    m_bof = true;
    m_eof = d.count() == 0;
    notifyReset();
}

void TDataSet::Close() noexcept
{
    if (!Active())
        return;
    try {
        notifyAboutToReset();
    } catch (...) {
    }
    m_impl->clearData();
    m_state = TDataSetState::Inactive;
    m_bof = m_eof = true;
    try {
        notifyReset();
    } catch (...) {
    }
}

void TDataSet::SetActive(bool active)
{
    if (active)
        Open();
    else
        Close();
}

bool TDataSet::CanModify() const
{
    return Active() && m_impl->keyset && !m_db.IsReadOnly();
}

QString TDataSet::TableName() const
{
    return Active() && m_impl->keyset ? m_impl->shape.table : QString();
}

void TDataSet::checkActive() const
{
    if (!Active())
        throw EDatabaseError(QStringLiteral("Cannot perform this operation on a closed dataset"),
                             SQLITE_MISUSE);
}

void TDataSet::checkBrowseMode()
{
    checkActive();
    if (m_state == TDataSetState::Edit || m_state == TDataSetState::Insert)
        Post();
}

void TDataSet::checkEditing() const
{
    checkActive();
    if (m_state != TDataSetState::Edit && m_state != TDataSetState::Insert)
        throw EDatabaseError(QStringLiteral("Dataset not in edit or insert mode"), SQLITE_MISUSE);
}

void TDataSet::First()
{
    checkBrowseMode();
    m_impl->row = m_impl->count() > 0 ? 0 : -1;
    m_bof = true;
    m_eof = m_impl->count() == 0;
}

void TDataSet::Last()
{
    checkBrowseMode();
    m_impl->row = m_impl->count() - 1;
    m_eof = true;
    m_bof = m_impl->count() == 0;
}

void TDataSet::Next()
{
    checkBrowseMode();
    if (m_impl->row + 1 < m_impl->count()) {
        ++m_impl->row;
        m_bof = false;
        m_eof = false;
    } else {
        m_eof = true;
    }
}

void TDataSet::Prior()
{
    checkBrowseMode();
    if (m_impl->row > 0) {
        --m_impl->row;
        m_bof = false;
        m_eof = false;
    } else {
        m_bof = true;
    }
}

int TDataSet::RecordCount() const
{
    return Active() ? m_impl->count() : 0;
}

int TDataSet::RecNo() const
{
    return Active() ? m_impl->row : -1;
}

void TDataSet::MoveTo(int row)
{
    checkBrowseMode();
    const int n = m_impl->count();
    if (n == 0)
        return;
    m_impl->row = std::clamp(row, 0, n - 1);
    m_bof = false;
    m_eof = false;
}

qint64 TDataSet::RowId() const
{
    if (!Active() || !m_impl->keyset || m_impl->row < 0)
        return -1;
    return m_impl->keys[static_cast<std::size_t>(m_impl->row)];
}

int TDataSet::FieldCount() const
{
    return static_cast<int>(m_impl->columns.size());
}

QString TDataSet::FieldName(int index) const
{
    if (index < 0 || index >= FieldCount())
        return QString();
    return m_impl->columns[static_cast<std::size_t>(index)].name;
}

QStringList TDataSet::FieldNames() const
{
    QStringList names;
    for (const Column &c : m_impl->columns)
        names << c.name;
    return names;
}

TField TDataSet::FindField(const QString &name) const
{
    const auto it = m_impl->byName.constFind(name.trimmed().toUpper());
    if (it == m_impl->byName.constEnd())
        return TField();
    return TField(this, it.value());
}

TField TDataSet::FieldByName(const QString &name) const
{
    checkActive();
    const TField f = FindField(name);
    if (!f.IsValid())
        throw EDatabaseError(QStringLiteral("Field '%1' not found").arg(name), SQLITE_ERROR);
    return f;
}

TField TDataSet::Field(int index) const
{
    checkActive();
    if (index < 0 || index >= FieldCount())
        throw EDatabaseError(QStringLiteral("Field index %1 out of range").arg(index),
                             SQLITE_RANGE);
    return TField(this, index);
}

const QVariant &TDataSet::value(int index) const
{
    static const QVariant null;
    Impl &d = *m_impl;
    if (!Active() || index < 0 || index >= FieldCount())
        return null;
    if (m_state == TDataSetState::Edit || m_state == TDataSetState::Insert)
        return d.buffer[static_cast<std::size_t>(index)];
    if (d.row < 0 || d.row >= d.count())
        return null;
    if (d.keyset)
        return d.fetchRow(static_cast<std::size_t>(d.row), m_db)[static_cast<std::size_t>(index)];
    return d.rows[static_cast<std::size_t>(d.row)][static_cast<std::size_t>(index)];
}

void TDataSet::setValue(int index, const QVariant &value)
{
    checkEditing();
    Impl &d = *m_impl;
    const auto i = static_cast<std::size_t>(index);
    d.buffer[i] = toDbValue(value, d.columns[i].kind);
    d.changed[i] = true;
}

QVariant TDataSet::FieldAt(int row, int index) const
{
    if (!Active() || index < 0 || index >= FieldCount())
        return QVariant();
    const auto i = static_cast<std::size_t>(index);
    const ColKind kind = m_impl->columns[i].kind;
    if (row == m_impl->row && m_state == TDataSetState::Edit)
        return fromDbValue(m_impl->buffer[i], kind);
    // The one value out of the cached row: a grid asks for every cell this way.
    const Row *r = m_impl->rowAt(row, m_db);
    return r ? fromDbValue((*r)[i], kind) : QVariant();
}

QVariant TDataSet::FieldAt(int row, const QString &name) const
{
    const TField f = FindField(name);
    return f.IsValid() ? FieldAt(row, f.Index()) : QVariant();
}

bool TDataSet::Locate(const QString &field, const QVariant &value, LocateOptions options)
{
    return Locate(QStringList{field}, QVariantList{value}, options);
}

namespace {

bool cellMatches(const QVariant &cell, ColKind kind, const QVariant &wantedValue,
                 LocateOptions options)
{
    const QVariant wanted = toDbValue(wantedValue, kind);
    if (!wanted.isValid())
        return !cell.isValid();
    if (!cell.isValid())
        return false;
    const bool textual = options.testFlag(LocateOption::PartialKey) ||
                         options.testFlag(LocateOption::CaseInsensitive);
    const bool cellText = cell.metaType().id() == QMetaType::QString;
    const bool wantedText = wanted.metaType().id() == QMetaType::QString;
    if (textual && (cellText || wantedText)) {
        QString a = cell.toString();
        QString b = wanted.toString();
        if (options.testFlag(LocateOption::CaseInsensitive)) {
            a = a.toCaseFolded();
            b = b.toCaseFolded();
        }
        return options.testFlag(LocateOption::PartialKey) ? a.startsWith(b) : a == b;
    }
    if (isNumeric(cell) && wantedText) {
        bool ok = false;
        const double w = wanted.toString().trimmed().toDouble(&ok);
        return ok && w == cell.toDouble();
    }
    if (cellText && isNumeric(wanted))
        return cell.toString() == wanted.toString();
    return compareDbValues(cell, wanted) == 0;
}

} // namespace

bool TDataSet::Locate(const QStringList &fields, const QVariantList &values, LocateOptions options)
{
    checkBrowseMode();
    if (fields.isEmpty() || fields.size() != values.size())
        throw EDatabaseError(QStringLiteral("Locate needs one value per field"), SQLITE_MISUSE);
    Impl &d = *m_impl;
    std::vector<int> indexes;
    for (const QString &f : fields)
        indexes.push_back(FieldByName(f).Index());
    if (d.count() == 0)
        return false;

    auto moveTo = [&](int row) {
        d.row = row;
        m_bof = false;
        m_eof = false;
        return true;
    };

    if (!d.keyset) {
        for (int r = 0; r < d.count(); ++r) {
            const Row &row = d.rows[static_cast<std::size_t>(r)];
            bool all = true;
            for (std::size_t k = 0; k < indexes.size() && all; ++k) {
                const auto c = static_cast<std::size_t>(indexes[k]);
                all = cellMatches(row[c], d.columns[c].kind, values[static_cast<int>(k)], options);
            }
            if (all)
                return moveTo(r);
        }
        return false;
    }

    // Table cursor: let SQLite find the rows (the values are bound, never spliced in).
    const QString table = quoteId(d.shape.table);
    QStringList conditions;
    std::vector<std::pair<QString, QVariant>> params;
    for (std::size_t k = 0; k < indexes.size(); ++k) {
        const Column &col = d.columns[static_cast<std::size_t>(indexes[k])];
        const QString expr = table + QLatin1Char('.') + quoteId(col.origin);
        const QVariant wanted = toDbValue(values[static_cast<int>(k)], col.kind);
        if (!wanted.isValid()) {
            conditions << expr + QStringLiteral(" IS NULL");
            continue;
        }
        const QString p = QStringLiteral(":tc_locate%1").arg(k);
        params.emplace_back(p, wanted);
        const bool textual =
            wanted.metaType().id() == QMetaType::QString || col.kind == ColKind::Text;
        const bool partial = textual && options.testFlag(LocateOption::PartialKey);
        const bool nocase = textual && options.testFlag(LocateOption::CaseInsensitive);
        const QString lhs = nocase ? QStringLiteral("tc_fold(%1)").arg(expr) : expr;
        const QString rhs = nocase ? QStringLiteral("tc_fold(%1)").arg(p) : p;
        if (partial)
            conditions << QStringLiteral("substr(%1, 1, length(%2)) = %2").arg(lhs, rhs);
        else
            conditions << lhs + QStringLiteral(" = ") + rhs;
    }
    QString sql = QStringLiteral("SELECT ") + table + QStringLiteral(".rowid FROM ") + table +
                  QStringLiteral(" WHERE ");
    if (!d.shape.where.isEmpty())
        sql += QLatin1Char('(') + d.shape.where + QStringLiteral(") AND ");
    sql += conditions.join(QStringLiteral(" AND "));
    if (!d.shape.orderBy.isEmpty())
        sql += QStringLiteral(" ORDER BY ") + d.shape.orderBy;
    TStatement st = m_db.Prepare(sql);
    d.applyBinds(st);
    for (const auto &[name, value] : params)
        st.Bind(name, value);

    if (!d.shape.orderBy.isEmpty()) {
        // Rows come in the dataset's order: the first one the dataset holds is the one.
        while (st.Step()) {
            const qint64 rowid = st.ColumnInt64(0);
            const auto it = std::find(d.keys.begin(), d.keys.end(), rowid);
            if (it != d.keys.end())
                return moveTo(static_cast<int>(it - d.keys.begin()));
        }
        return false;
    }
    std::unordered_set<qint64> found;
    while (st.Step())
        found.insert(st.ColumnInt64(0));
    if (found.empty())
        return false;
    for (std::size_t r = 0; r < d.keys.size(); ++r)
        if (found.count(d.keys[r]))
            return moveTo(static_cast<int>(r));
    return false;
}

void TDataSet::Append()
{
    checkBrowseMode();
    if (!CanModify())
        throw EDatabaseError(QStringLiteral("Cannot modify a read-only dataset"), SQLITE_READONLY);
    Impl &d = *m_impl;
    d.buffer.assign(d.columns.size(), QVariant());
    d.changed.assign(d.columns.size(), false);
    m_state = TDataSetState::Insert;
}

void TDataSet::Edit()
{
    checkActive();
    if (m_state == TDataSetState::Edit || m_state == TDataSetState::Insert)
        return;
    if (!CanModify())
        throw EDatabaseError(QStringLiteral("Cannot modify a read-only dataset"), SQLITE_READONLY);
    Impl &d = *m_impl;
    if (d.count() == 0) {
        Append(); // editing an empty dataset starts its first row
        return;
    }
    const Row *current = d.rowAt(d.row, m_db);
    d.buffer = current ? *current : Row(d.columns.size());
    d.changed.assign(d.columns.size(), false);
    m_state = TDataSetState::Edit;
}

void TDataSet::Post()
{
    checkActive();
    Impl &d = *m_impl;
    const QString table = quoteId(d.shape.table);
    if (m_state == TDataSetState::Insert) {
        QStringList names;
        QStringList marks;
        std::vector<QVariant> values;
        for (std::size_t c = 0; c < d.columns.size(); ++c) {
            if (!d.changed[c])
                continue;
            names << quoteId(d.columns[c].origin);
            marks << QStringLiteral("?");
            values.push_back(d.buffer[c]);
        }
        const QString sql =
            names.isEmpty()
                ? QStringLiteral("INSERT INTO ") + table + QStringLiteral(" DEFAULT VALUES")
                : QStringLiteral("INSERT INTO ") + table + QStringLiteral(" (") +
                      names.join(QLatin1Char(',')) + QStringLiteral(") VALUES (") +
                      marks.join(QLatin1Char(',')) + QLatin1Char(')');
        TStatement &st = d.writeStatement(m_db, sql);
        for (std::size_t i = 0; i < values.size(); ++i)
            st.Bind(static_cast<int>(i + 1), values[i]);
        const qint64 before = m_db.TotalChanges();
        st.Step();
        st.Reset();
        d.noteOwnWrite(m_db, before);
        const qint64 rowid = m_db.LastInsertRowId();
        const std::size_t pos = d.insertPosition(rowid);
        const int row = static_cast<int>(pos);
        m_state = TDataSetState::Browse;
        d.buffer.clear();
        d.changed.clear();
        notify([&](TDataSetListener &l) { l.RowAboutToBeInserted(*this, row); });
        d.keys.insert(d.keys.begin() + static_cast<std::ptrdiff_t>(pos), rowid);
        d.cache.erase(rowid);
        d.row = row;
        m_bof = m_eof = false;
        notify([&](TDataSetListener &l) { l.RowInserted(*this, row); });
        return;
    }
    if (m_state == TDataSetState::Edit) {
        QStringList sets;
        std::vector<QVariant> values;
        for (std::size_t c = 0; c < d.columns.size(); ++c) {
            if (!d.changed[c])
                continue;
            sets << quoteId(d.columns[c].origin) + QStringLiteral(" = ?");
            values.push_back(d.buffer[c]);
        }
        const qint64 rowid = d.keys[static_cast<std::size_t>(d.row)];
        if (!sets.isEmpty()) {
            const QString sql = QStringLiteral("UPDATE ") + table + QStringLiteral(" SET ") +
                                sets.join(QLatin1Char(',')) + QStringLiteral(" WHERE rowid = ?");
            TStatement &st = d.writeStatement(m_db, sql);
            for (std::size_t i = 0; i < values.size(); ++i)
                st.Bind(static_cast<int>(i + 1), values[i]);
            st.Bind(static_cast<int>(values.size() + 1), rowid);
            const qint64 before = m_db.TotalChanges();
            st.Step();
            st.Reset();
            d.noteOwnWrite(m_db, before);
            d.cache.erase(rowid);
            // Someone else deleted the row meanwhile: the edit went nowhere, so say so.
            if (m_db.Changes() == 0)
                throw EDatabaseError(QStringLiteral("Row cannot be located for updating"),
                                     SQLITE_NOTFOUND);
        }
        m_state = TDataSetState::Browse;
        d.buffer.clear();
        d.changed.clear();
        if (!sets.isEmpty())
            notify([&](TDataSetListener &l) { l.RowChanged(*this, d.row); });
    }
}

void TDataSet::Cancel()
{
    if (m_state != TDataSetState::Edit && m_state != TDataSetState::Insert)
        return;
    m_state = TDataSetState::Browse;
    m_impl->buffer.clear();
    m_impl->changed.clear();
}

void TDataSet::Delete()
{
    checkActive();
    if (m_state == TDataSetState::Insert) {
        Cancel();
        return;
    }
    Cancel();
    Impl &d = *m_impl;
    if (d.count() == 0 || d.row < 0)
        throw EDatabaseError(QStringLiteral("Cannot perform this operation on an empty dataset"),
                             SQLITE_MISUSE);
    if (!CanModify())
        throw EDatabaseError(QStringLiteral("Cannot modify a read-only dataset"), SQLITE_READONLY);
    const qint64 rowid = d.keys[static_cast<std::size_t>(d.row)];
    TStatement &st =
        d.writeStatement(m_db, QStringLiteral("DELETE FROM ") + quoteId(d.shape.table) +
                                   QStringLiteral(" WHERE rowid = ?"));
    st.Bind(1, rowid);
    const qint64 before = m_db.TotalChanges();
    st.Step();
    st.Reset();
    d.noteOwnWrite(m_db, before); // listeners read the row before it goes
    const int removed = d.row;
    notify([&](TDataSetListener &l) { l.RowAboutToBeRemoved(*this, removed); });
    d.keys.erase(d.keys.begin() + removed);
    d.cache.erase(rowid);
    if (d.row >= d.count())
        d.row = d.count() - 1;
    m_bof = d.count() == 0;
    m_eof = d.count() == 0;
    notify([&](TDataSetListener &l) { l.RowRemoved(*this, removed); });
}

void TDataSet::Refresh()
{
    checkBrowseMode();
    const qint64 rowid = RowId();
    const int row = m_impl->row;
    // Reopen quietly: listeners hear of one reset around the whole of it.
    notifyAboutToReset();
    std::vector<TDataSetListener *> listeners;
    listeners.swap(m_impl->listeners);
    Close();
    try {
        Open();
    } catch (...) {
        m_impl->listeners.swap(listeners);
        notifyReset();
        throw;
    }
    m_impl->listeners.swap(listeners);
    Impl &d = *m_impl;
    if (d.count() > 0) {
        int target = std::clamp(row, 0, d.count() - 1);
        if (d.keyset && rowid >= 0) {
            const auto it = std::find(d.keys.begin(), d.keys.end(), rowid);
            if (it != d.keys.end())
                target = static_cast<int>(it - d.keys.begin());
        }
        d.row = target;
        m_bof = target == 0;
        m_eof = false;
    }
    notifyReset();
}

void TDataSet::AddListener(TDataSetListener *listener)
{
    auto &l = m_impl->listeners;
    if (listener && std::find(l.begin(), l.end(), listener) == l.end())
        l.push_back(listener);
}

void TDataSet::RemoveListener(TDataSetListener *listener)
{
    auto &l = m_impl->listeners;
    l.erase(std::remove(l.begin(), l.end(), listener), l.end());
}

TDataSetEdit::TDataSetEdit(TDataSet &dataSet, Kind kind) : m_dataSet(dataSet)
{
    if (kind == Kind::Append)
        m_dataSet.Append();
    else
        m_dataSet.Edit();
}

TDataSetEdit::~TDataSetEdit()
{
    if (m_posted)
        return;
    try {
        m_dataSet.Cancel();
    } catch (...) {
    }
}

void TDataSetEdit::Post()
{
    m_dataSet.Post();
    m_posted = true;
}
