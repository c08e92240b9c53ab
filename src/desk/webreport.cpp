#include "desk/webreport.h"

#include "store/clock.h"
#include "store/dbfile.h"
#include "store/settings.h"
#include "store/utils.h"

#include <httplib.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

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
const QString Crlf = QStringLiteral("\r\n");

// Request threads: enough that a few idle keep-alive browsers do not hold up the others.
constexpr std::size_t WorkerThreads = 16;
// Short time-outs: a client that connects and sends nothing, or stalls, frees its thread
// soon, and stopping the server never waits long for one.
constexpr time_t KeepAliveSeconds = 2;
constexpr time_t ReadTimeoutSeconds = 3;
constexpr time_t WriteTimeoutSeconds = 3;

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

QString cell(const QString &text)
{
    return QStringLiteral("<td>") + text + QStringLiteral("</td>");
}

} // namespace

// ---- The page --------------------------------------------------------------------------------

TWebReportPage::TWebReportPage(TDatabase &att, TDatabase &sys) : m_att(att), m_sys(sys) {}

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

QString TWebReportPage::Build(const QString &document, const QStringList &params,
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

    if (document == QLatin1String("/today")) {
        scope = Scope::Today;
        if (params.size() == 1)
            TryStrToIntVar(params[0], limit);
    } else if (document == QLatin1String("/monitor")) {
        scope = Scope::Today;
        monitor = true;
        if (params.size() == 1) {
            TryStrToIntVar(params[0], refresh);
        } else if (params.size() == 2) {
            TryStrToIntVar(params[0], refresh);
            TryStrToIntVar(params[1], limit);
        }
    } else if (document == QLatin1String("/logs")) {
        if (params.size() == 1)
            TryStrToIntVar(params[0], limit);
    } else if (document == QLatin1String("/person")) {
        if (!params.isEmpty() && !params[0].isEmpty()) {
            if (!TryStrToIntVar(params[0], card))
                card = FindCardByName(params[0]);
            if (card > 0) {
                scope = Scope::Person;
                if (params.size() == 2)
                    TryStrToIntVar(params[1], limit);
            }
        }
    }

    QStringList lines;
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
    TStatement count = m_att.Prepare(QStringLiteral("select count(*) from recorder") + where);
    // The limit is tested after each row, so even a limit of 0 or below shows one row.
    TStatement rows = m_att.Prepare(QStringLiteral("select SYSTIME, CARDNO, MODE, READER from "
                                                   "recorder") +
                                    where + QStringLiteral(" order by systime desc limit ?9"));
    if (scope == Scope::Person) {
        count.Bind(1, card);
        rows.Bind(1, card);
    }
    rows.Bind(9, std::max(limit, 1));
    const qint64 n = count.Step() ? count.ColumnInt64(0) : 0;

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
    QHash<int, TStaffRec> holders;
    int i = 0;
    while (rows.Step()) {
        const QDateTime time = DbTextToDateTime(rows.ColumnText(0));
        const int rowCard = static_cast<int>(rows.ColumnInt64(1));
        auto found = holders.constFind(rowCard);
        if (found == holders.constEnd()) {
            TStaffRec rec;
            GetStaffByCard(m_sys, rowCard, rec);
            found = holders.insert(rowCard, rec);
        }
        QString line = i % 2 == 0 ? QStringLiteral("<tr align=center bgcolor=#FFFFFF>")
                                  : QStringLiteral("<tr align=center bgcolor=#F5F5F5>");
        line += cell(time.isValid() ? FormatDateTime(DateTimePattern, time) : QString());
        line += cell(found->Name.toHtmlEscaped());
        line += cell(found->GroupName.toHtmlEscaped());
        line += cell(GetModeName(static_cast<int>(rows.ColumnInt64(2))));
        line += cell(GetPortName(static_cast<int>(rows.ColumnInt64(3))).toHtmlEscaped());
        line += QStringLiteral("</tr>");
        lines << line;
        ++i;
    }
    lines << QStringLiteral("</table>") << QStringLiteral("</center>") << QStringLiteral("</body>");
    return lines.join(Crlf);
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
    struct Pair
    {
        std::unique_ptr<TDatabase> att;
        std::unique_ptr<TDatabase> sys;
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
            // Pages come from the system's file cache instead of a private copy per connection.
            pair->att->Exec(QStringLiteral("PRAGMA mmap_size=1073741824"));
            pair->att->Exec(QStringLiteral("PRAGMA cache_size=-65536"));
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
            --m_inUse;
            if (pair && !m_suspended && pair->generation == m_generation) {
                m_idle.push_back(std::move(pair));
                pair = nullptr;
            }
        }
        m_released.notify_all();
        // pair, when still held, closes here, outside the lock.
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
        // Request threads give way to the desk: a swipe must not wait behind a page.
        static thread_local const bool lowered = [] {
            return ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), 10) == 0;
        }();
        (void)lowered;
        try {
            std::unique_ptr<ConnectionPool::Pair> pair = pool.take();
            if (!pair) {
                plainReply(res, 503, "Service Unavailable\n");
                return;
            }
            QString page;
            try {
                const std::size_t mark = req.target.find('?');
                const QStringList params = TWebReportPage::SplitQuery(
                    mark == std::string::npos ? std::string() : req.target.substr(mark + 1));
                const QString title = currentTitle();
                TWebReportPage builder(*pair->att, *pair->sys);
                page = builder.Build(QString::fromUtf8(req.path), params, title, Now());
            } catch (...) {
                pool.giveBack(nullptr);
                throw;
            }
            pool.giveBack(std::move(pair));
            res.status = 200;
            res.set_content(page.toStdString(), "text/html; charset=utf-8");
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
            title = ReadRegString(QStringLiteral("WebTitle"), QStringLiteral("Tallyclock"));
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
    std::unique_ptr<httplib::Server> server;
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
    auto server = std::make_unique<httplib::Server>();
    server->new_task_queue = [] { return new httplib::ThreadPool(WorkerThreads); };
    // Address reuse only: the library's default also shares the port with any other listener,
    // which would hide a port that is already taken.
    server->set_socket_options([](socket_t sock) {
        int yes = 1;
        ::setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        // Headers and body go out in separate writes: without this the body waits for the
        // client's delayed acknowledgement.
        ::setsockopt(sock, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
    });
    server->set_tcp_nodelay(true);
    server->set_keep_alive_timeout(KeepAliveSeconds);
    server->set_read_timeout(ReadTimeoutSeconds, 0);
    server->set_write_timeout(WriteTimeoutSeconds, 0);
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
    httplib::Server *s = server.get();
    d.listener = std::thread([s] { s->listen_after_bind(); });
    // stop() only reaches a server whose loop runs: wait for it before anyone may call Stop.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!s->is_running() && std::chrono::steady_clock::now() < deadline)
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
    d.server->stop();
    if (d.listener.joinable())
        d.listener.join();
    d.server.reset();
    d.pool.clear();
}

bool TWebReporter::IsRunning() const
{
    return m_impl->server && m_impl->server->is_running();
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
