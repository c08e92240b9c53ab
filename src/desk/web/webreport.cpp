#include "desk/web/webreport.h"

#include "desk/web/webserver.h"

#include "store/clock.h"
#include "store/db/dbtime.h"
#include "store/dbfile.h"
#include "store/settings.h"
#include "store/utils.h"

#include <httplib.h>
#include <sys/socket.h>

#include <QHash>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

namespace {

const QString DateTimePattern = QStringLiteral("mmm d, yyyy ddd - AM/PM hh:mm:ss");

// The server's limits. Waiting connections sit on one thread of their own, so a few dozen
// idle browsers or silent sockets hold up nobody; the time-outs only bound how long they
// are kept.
TWebServer::Limits serverLimits()
{
    TWebServer::Limits limits;
    // Requests being answered at once, one per core: also bounds the memory that pages take
    // while built, and the pooled connections (one per worker at most).
    limits.workers = 8;
    // Each worker's pooled pair of read-only connections: both files and their logs.
    limits.reservedFiles = limits.workers * 6;
    // Room for long query strings (10 KiB and more) beside a browser's usual headers.
    limits.maxHeadBytes = 32 * 1024;
    limits.firstHeadTimeout = std::chrono::seconds(3);
    limits.keepAliveTimeout = std::chrono::seconds(5);
    limits.writeTimeout = std::chrono::seconds(3);
    // A browser on the monitor page should not have to connect again every few pages.
    limits.keepAliveRequests = 1000;
    return limits;
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

QString percentDecode(const std::string &item)
{
    QByteArray bytes;
    bytes.reserve(static_cast<qsizetype>(item.size()));
    for (std::size_t i = 0; i < item.size(); ++i) {
        const char c = item[i];
        if (c == '+') {
            bytes.append(' ');
        } else if (c == '%' && i + 2 < item.size() && hexValue(item[i + 1]) >= 0 &&
                   hexValue(item[i + 2]) >= 0) {
            bytes.append(static_cast<char>(hexValue(item[i + 1]) * 16 + hexValue(item[i + 2])));
            i += 2;
        } else {
            bytes.append(c); // a stray "%" stays as it is
        }
    }
    // Invalid UTF-8 becomes replacement characters: the text is only ever bound or compared.
    return QString::fromUtf8(bytes);
}

// The page's lines, joined by CR LF as they come, in UTF-8: a long page is held once, as it
// is sent, not as a list of lines and then their join.
class PageLines
{
public:
    PageLines &operator<<(const QString &line)
    {
        if (!m_text.empty())
            m_text += "\r\n";
        const QByteArray bytes = line.toUtf8();
        m_text.append(bytes.constData(), static_cast<std::size_t>(bytes.size()));
        return *this;
    }
    std::string take() { return std::move(m_text); }

private:
    std::string m_text;
};

// A whole number from lowest up is taken, above highest as highest; anything else keeps n.
void readWhole(const QString &text, int &n, int lowest, int highest)
{
    int value = 0;
    if (TryStrToIntVar(text, value) && value >= lowest)
        n = std::min(value, highest);
}

QString cell(const QString &text)
{
    return QStringLiteral("<td>") + text + QStringLiteral("</td>");
}

} // namespace

// ---- The page --------------------------------------------------------------------------------

namespace {

// Changes whenever another connection has committed to the file since this one last read it.
qint64 dataVersion(TDatabase &db)
{
    TStatement q = db.Prepare(QStringLiteral("PRAGMA data_version"));
    return q.Step() ? q.ColumnInt64(0) : -1;
}

// One read transaction for a whole page: its figures and rows come from one moment of the
// file, and the page takes SQLite's read lock once instead of once per statement.
class ReadSnapshot
{
public:
    explicit ReadSnapshot(TDatabase &db) : m_db(db) { m_db.Exec(QStringLiteral("BEGIN")); }
    ~ReadSnapshot()
    {
        try {
            m_db.Exec(QStringLiteral("COMMIT"));
        } catch (...) {
            // Nothing was written: ending it any way will do.
            try {
                m_db.Exec(QStringLiteral("ROLLBACK"));
            } catch (...) {
            }
        }
    }
    ReadSnapshot(const ReadSnapshot &) = delete;
    ReadSnapshot &operator=(const ReadSnapshot &) = delete;

private:
    TDatabase &m_db;
};

// A cache that grew past the holders of a few long pages is started again: each pooled
// connection keeps one.
constexpr qsizetype MaxCachedHolders = 4096;

} // namespace

TWebReportPage::TWebReportPage(TDatabase &att, TDatabase &sys, TWebReportCache *cache)
    : m_att(att), m_sys(sys), m_cache(cache)
{
}

qint64 TWebReportPage::countRows(const QString &where, int card)
{
    // Only the whole log is worth keeping: today's and one holder's rows are counted through
    // an index range. Runs inside the page's read transaction, so the version, the deletion
    // mark read after it and the counts all belong to one moment or err towards counting
    // again.
    const bool whole = where.isEmpty() && m_cache;
    if (whole) {
        const qint64 version = dataVersion(m_att);
        if (version == m_cache->logVersion)
            return m_cache->logCount;
        const quint64 deletions = TDatabase::DeletionGeneration(DbKind::Attend);
        if (m_cache->logVersion >= 0 && deletions == m_cache->logDeletions) {
            // Only appended since: new rows always get higher row ids than every row kept.
            TStatement added = m_att.Prepare(QStringLiteral(
                "select count(*), max(rowid) from recorder where rowid > ?1"));
            added.Bind(1, m_cache->logMaxRowId);
            if (added.Step()) {
                m_cache->logCount += added.ColumnInt64(0);
                if (added.ColumnInt64(0) > 0)
                    m_cache->logMaxRowId = added.ColumnInt64(1);
            }
        } else {
            TStatement count = m_att.Prepare(QStringLiteral("select count(*) from recorder"));
            TStatement top = m_att.Prepare(QStringLiteral("select max(rowid) from recorder"));
            m_cache->logCount = count.Step() ? count.ColumnInt64(0) : 0;
            m_cache->logMaxRowId = top.Step() ? top.ColumnInt64(0) : 0;
        }
        m_cache->logVersion = version;
        m_cache->logDeletions = deletions;
        return m_cache->logCount;
    }
    TStatement count = m_att.Prepare(QStringLiteral("select count(*) from recorder") + where);
    if (card != 0)
        count.Bind(1, card);
    return count.Step() ? count.ColumnInt64(0) : 0;
}

QHash<int, TStaffRec> &TWebReportPage::cachedHolders()
{
    const qint64 version = dataVersion(m_sys);
    if (version != m_cache->staffVersion || m_cache->holders.size() > MaxCachedHolders) {
        m_cache->holders.clear();
        m_cache->staffVersion = version;
    }
    return m_cache->holders;
}

const TStaffRec &TWebReportPage::holder(int card, QHash<int, TStaffRec> &holders)
{
    auto found = holders.constFind(card);
    if (found == holders.constEnd()) {
        TStaffRec rec;
        GetStaffByCard(m_sys, card, rec);
        found = holders.insert(card, rec);
    }
    return *found;
}

QStringList TWebReportPage::SplitQuery(const std::string &query)
{
    QStringList items;
    std::size_t start = 0;
    while (start < query.size()) {
        const std::size_t amp = query.find('&', start);
        const std::size_t end = amp == std::string::npos ? query.size() : amp;
        items << percentDecode(query.substr(start, end - start));
        if (amp == std::string::npos)
            break;
        start = amp + 1;
    }
    return items;
}

int TWebReportPage::FindCardByName(const QString &name)
{
    // The staff list's order (by name), first row whose name begins with the text.
    TStatement q = m_sys.Prepare(QStringLiteral(
        "select cardno from staffs where substr(name, 1, length(?1)) = ?1 order by name limit 1"));
    q.Bind(1, name);
    return q.Step() ? static_cast<int>(q.ColumnInt64(0)) : 0;
}

std::string TWebReportPage::Build(const QString &document, const QStringList &params,
                                  const QString &title, const QDateTime &now)
{
    int limit = DefaultRowLimit;
    int refresh = DefaultRefreshSeconds;
    bool monitor = false;
    enum class Scope
    {
        All,
        Today,
        Person
    } scope = Scope::All;
    int card = 0;

    // A count below zero reads as none given, and a refresh below a second as the default:
    // a wall screen must not reload without pause. Both are capped, so one request cannot
    // make the desk build a page of the whole log.
    auto readLimit = [&limit](const QString &text) {
        readWhole(text, limit, 0, MaxRowLimit);
    };
    auto readRefresh = [&refresh](const QString &text) {
        readWhole(text, refresh, 1, MaxRefreshSeconds);
    };
    if (document == QLatin1String("/today")) {
        scope = Scope::Today;
        if (params.size() == 1)
            readLimit(params[0]);
    } else if (document == QLatin1String("/monitor")) {
        scope = Scope::Today;
        monitor = true;
        if (params.size() == 1) {
            readRefresh(params[0]);
        } else if (params.size() == 2) {
            readRefresh(params[0]);
            readLimit(params[1]);
        }
    } else if (document == QLatin1String("/logs")) {
        if (params.size() == 1)
            readLimit(params[0]);
    } else if (document == QLatin1String("/person")) {
        if (!params.isEmpty() && !params[0].isEmpty()) {
            if (!TryStrToIntVar(params[0], card))
                card = FindCardByName(params[0]);
            if (card > 0) {
                scope = Scope::Person;
                if (params.size() == 2)
                    readLimit(params[1]);
            }
        }
    }

    const ReadSnapshot attRead(m_att);
    const ReadSnapshot sysRead(m_sys);
    PageLines lines;
    lines << QStringLiteral("<head>");
    if (monitor)
        lines << QStringLiteral("<meta http-equiv=refresh content=") + QString::number(refresh) +
                     QLatin1Char('>');
    lines << QStringLiteral("<title>") << title.toHtmlEscaped();
    if (monitor)
        lines << QStringLiteral(" - auto refresh in ") + QString::number(refresh) +
                     QLatin1Char('s');
    lines << QStringLiteral("</title>") << QStringLiteral("</head>");

    QString where;
    if (scope == Scope::Today)
        where = QStringLiteral(" where systime") + MakeDateRangeSql(now, now);
    else if (scope == Scope::Person)
        where = QStringLiteral(" where cardno=?1 ");
    // The limit is tested after each row, so even a limit of 0 or below shows one row.
    TStatement rows = m_att.Prepare(QStringLiteral("select SYSTIME, CARDNO, MODE, READER from "
                                                   "recorder") +
                                    where + QStringLiteral(" order by systime desc limit ?9"));
    if (scope == Scope::Person)
        rows.Bind(1, card);
    rows.Bind(9, std::max(limit, 1));
    const qint64 n = countRows(where, scope == Scope::Person ? card : 0);

    lines << QStringLiteral("<body bgcolor=#f5f5f5>") << QStringLiteral("<center>")
          << QStringLiteral("<strong><u>Time Logs Report V1.0</u></strong><br>")
          << FormatDateTime(DateTimePattern, now) + QStringLiteral("<br>");
    if (limit < n)
        lines << QStringLiteral("[%1 / %2 record(s)]<br>").arg(limit).arg(n);
    else
        lines << QStringLiteral("[%1 record(s)]<br>").arg(n);
    lines << QStringLiteral("<br>");
    if (n > 0)
        lines << QStringLiteral("<table border=0 bgcolor=#DCDCDC bordercolor=#DCDCDC>")
              << QStringLiteral("<tr bgcolor=#ADD8E6 align=center>")
              << QStringLiteral("<th width=250>Time</th>")
              << QStringLiteral("<th width=200>Holder</th>")
              << QStringLiteral("<th width=150>Group</th>")
              << QStringLiteral("<th width=80>Mode</th>")
              << QStringLiteral("<th width=100>Reader</th>") << QStringLiteral("</tr>");
    else
        lines << QStringLiteral("No record.<br>");

    // A long page names the same few holders again and again.
    QHash<int, TStaffRec> pageHolders;
    QHash<int, TStaffRec> &holders = m_cache ? cachedHolders() : pageHolders;
    int i = 0;
    while (rows.Step()) {
        // As the clock read when it was stored, also in an hour the local clocks skip.
        const QDateTime time = ReadDbTime(rows.ColumnTextView(0), DbTimeRead::Lenient).WallClock();
        const int rowCard = static_cast<int>(rows.ColumnInt64(1));
        const TStaffRec &found = holder(rowCard, holders);
        QString line = i % 2 == 0 ? QStringLiteral("<tr align=center bgcolor=#FFFFFF>")
                                  : QStringLiteral("<tr align=center bgcolor=#F5F5F5>");
        line += cell(time.isValid() ? FormatDateTime(DateTimePattern, time) : QString());
        line += cell(found.Name.toHtmlEscaped());
        line += cell(found.GroupName.toHtmlEscaped());
        line += cell(GetModeName(static_cast<int>(rows.ColumnInt64(2))));
        line += cell(GetPortName(static_cast<int>(rows.ColumnInt64(3))).toHtmlEscaped());
        line += QStringLiteral("</tr>");
        lines << line;
        ++i;
    }
    lines << QStringLiteral("</table>") << QStringLiteral("</center>") << QStringLiteral("</body>");
    return lines.take();
}

// ---- The server ------------------------------------------------------------------------------

namespace {

// Read-only connections of the request threads. Warm connections are kept for the next
// request: a fresh one reads the log's index from the file each time, which costs tens of
// milliseconds on a long log. A connection serves one request at a time and passes between
// request threads only through this pool's lock.
class ConnectionPool
{
public:
    static constexpr int CacheKiB = 2048;

    struct Pair
    {
        std::unique_ptr<TDatabase> att;
        std::unique_ptr<TDatabase> sys;
        TWebReportCache cache;
        int generation = 0;
    };

    ConnectionPool(QString attendPath, QString sysdatPath)
        : m_attendPath(std::move(attendPath)), m_sysdatPath(std::move(sysdatPath))
    {
    }

    // Null while suspended. Raises EDatabaseError when a file does not open.
    std::unique_ptr<Pair> take()
    {
        int generation = 0;
        {
            std::lock_guard lock(m_mutex);
            if (m_suspended)
                return nullptr;
            ++m_inUse;
            generation = m_generation;
            if (!m_idle.empty()) {
                std::unique_ptr<Pair> pair = std::move(m_idle.back());
                m_idle.pop_back();
                return pair;
            }
        }
        try {
            auto pair = std::make_unique<Pair>();
            pair->generation = generation;
            pair->att =
                OpenDatabaseFile(m_attendPath, DbKind::Attend, TDatabase::OpenMode::ReadOnly);
            pair->sys =
                OpenDatabaseFile(m_sysdatPath, DbKind::Sysdat, TDatabase::OpenMode::ReadOnly);
            // No memory-mapped reads here: each commit that grows the file would remap every
            // request connection's view of it, stalling the whole process a little each time.
            // A small page cache each: a page reads a few index pages and its rows, and every
            // worker may hold a connection of its own, idle or not.
            pair->att->Exec(QStringLiteral("PRAGMA cache_size=-%1").arg(CacheKiB));
            pair->sys->Exec(QStringLiteral("PRAGMA cache_size=-%1").arg(CacheKiB));
            return pair;
        } catch (...) {
            giveBack(nullptr);
            throw;
        }
    }

    // Back after a request; a failed or outdated connection is closed.
    void giveBack(std::unique_ptr<Pair> pair)
    {
        {
            std::lock_guard lock(m_mutex);
            if (pair && !m_suspended && pair->generation == m_generation) {
                m_idle.push_back(std::move(pair));
                --m_inUse;
                return;
            }
        }
        // Closed outside the lock, but before it counts as free: a suspend that sees no
        // connection in use may rely on none being open on the files.
        pair.reset();
        {
            std::lock_guard lock(m_mutex);
            --m_inUse;
        }
        m_released.notify_all();
    }

    void suspend()
    {
        std::vector<std::unique_ptr<Pair>> idle;
        std::unique_lock lock(m_mutex);
        m_suspended = true;
        ++m_generation;
        idle.swap(m_idle);
        m_released.wait(lock, [this] { return m_inUse == 0; });
        lock.unlock();
        idle.clear();
    }

    void resume()
    {
        std::lock_guard lock(m_mutex);
        m_suspended = false;
    }

    void clear()
    {
        std::vector<std::unique_ptr<Pair>> idle;
        std::lock_guard lock(m_mutex);
        idle.swap(m_idle);
        ++m_generation;
    }

private:
    const QString m_attendPath;
    const QString m_sysdatPath;
    std::mutex m_mutex;
    std::condition_variable m_released;
    std::vector<std::unique_ptr<Pair>> m_idle;
    int m_inUse = 0;
    int m_generation = 0;
    bool m_suspended = false;
};

void plainReply(httplib::Response &res, int status, const char *text)
{
    res.status = status;
    res.set_content(text, "text/plain; charset=utf-8");
}

} // namespace

struct TWebReporter::Impl
{
    Impl(QString attendPath, QString sysdatPath)
        : pool(std::move(attendPath), std::move(sysdatPath))
    {
    }

    void handle(const httplib::Request &req, httplib::Response &res)
    {
        try {
            std::unique_ptr<ConnectionPool::Pair> pair = pool.take();
            if (!pair) {
                plainReply(res, 503, "Service Unavailable\n");
                return;
            }
            std::string page;
            try {
                const std::size_t mark = req.target.find('?');
                const QStringList params = TWebReportPage::SplitQuery(
                    mark == std::string::npos ? std::string() : req.target.substr(mark + 1));
                const QString title = currentTitle();
                TWebReportPage builder(*pair->att, *pair->sys, &pair->cache);
                page = builder.Build(QString::fromUtf8(req.path), params, title, Now());
            } catch (...) {
                pool.giveBack(nullptr);
                throw;
            }
            pool.giveBack(std::move(pair));
            res.status = 200;
            res.body = std::move(page);
            res.set_header("Content-Type", "text/html; charset=utf-8");
            // The page is always sent whole.
            res.set_header("Accept-Ranges", "none");
        } catch (...) {
            plainReply(res, 500, "Internal Server Error\n");
        }
    }

    // WebTitle, read again at most once a second: the settings file is shared by every
    // request thread, and reading it for each request costs more than the page itself.
    QString currentTitle()
    {
        std::lock_guard lock(titleMutex);
        const auto now = std::chrono::steady_clock::now();
        if (!titleRead || now - titleReadAt >= std::chrono::seconds(1)) {
            // A fresh QSettings per read, which is safe on this thread.
            title = ReadRegString(Setting::WebTitle);
            titleReadAt = now;
            titleRead = true;
        }
        return title;
    }

    std::mutex titleMutex;
    QString title;
    std::chrono::steady_clock::time_point titleReadAt;
    bool titleRead = false;
    ConnectionPool pool;
    std::unique_ptr<TWebServer> server;
    std::thread listener;
    int port = 0;
};

TWebReporter::TWebReporter(QString attendPath, QString sysdatPath)
    : m_impl(std::make_unique<Impl>(std::move(attendPath), std::move(sysdatPath)))
{
}

TWebReporter::~TWebReporter()
{
    Stop();
}

bool TWebReporter::Start(int port, QString *error)
{
    Stop();
    Impl &d = *m_impl;
    auto server = std::make_unique<TWebServer>(serverLimits());
    // Address reuse only: the library's default also shares the port with any other listener,
    // which would hide a port that is already taken.
    server->set_socket_options([](socket_t sock) {
        int yes = 1;
        ::setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });
    server->set_pre_routing_handler([](const httplib::Request &req, httplib::Response &res) {
        if (req.method == "GET" || req.method == "HEAD")
            return httplib::Server::HandlerResponse::Unhandled;
        res.set_header("Allow", "GET, HEAD");
        plainReply(res, 405, "Method Not Allowed\n");
        return httplib::Server::HandlerResponse::Handled;
    });
    Impl *impl = &d;
    server->Get(R"(.*)", [impl](const httplib::Request &req, httplib::Response &res) {
        impl->handle(req, res);
    });

    errno = 0;
    int bound = port;
    bool ok = false;
    if (port == 0) {
        bound = server->bind_to_any_port("0.0.0.0");
        ok = bound > 0;
    } else {
        ok = server->bind_to_port("0.0.0.0", port);
    }
    if (!ok) {
        const int err = errno;
        if (error)
            *error = QStringLiteral("Web Reporter cannot listen on port %1: %2")
                         .arg(port)
                         .arg(QString::fromLocal8Bit(std::strerror(err != 0 ? err : EADDRINUSE)));
        return false;
    }
    server->WidenBacklog();
    TWebServer *s = server.get();
    d.listener = std::thread([s] { s->Listen(); });
    // stop() only reaches a server whose loop runs: wait for it before anyone may call Stop.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!s->IsRunning() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    d.server = std::move(server);
    d.port = bound;
    d.pool.resume();
    return true;
}

void TWebReporter::Stop() noexcept
{
    Impl &d = *m_impl;
    if (!d.server)
        return;
    d.server->Stop();
    if (d.listener.joinable())
        d.listener.join();
    d.server->Shutdown();
    d.server.reset();
    d.pool.clear();
}

bool TWebReporter::IsRunning() const
{
    return m_impl->server && m_impl->server->IsRunning();
}

int TWebReporter::Port() const
{
    return m_impl->port;
}

void TWebReporter::Suspend()
{
    m_impl->pool.suspend();
}

void TWebReporter::Resume()
{
    m_impl->pool.resume();
}
