#include "desk/web/webserver.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sched.h>
#include <sys/eventfd.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <condition_variable>
#include <mutex>
#include <string_view>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// After a refusal the rest of what the client sends is read and dropped for a moment, so the
// short reply is not lost to a reset; an endless sender is cut off after this much.
constexpr std::size_t DrainBytes = 256 * 1024;
constexpr auto DrainTime = std::chrono::seconds(2);
// The library takes request lines of up to 8 KiB: a longer path is no document the report
// knows anyway.
constexpr std::size_t MaxLibraryPath = 4096;
constexpr auto Linger = std::chrono::milliseconds(2);

bool equalsNoCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

std::string_view trimmed(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

const char *reasonText(int status)
{
    switch (status) {
    case 400:
        return "Bad Request";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 408:
        return "Request Timeout";
    case 413:
        return "Payload Too Large";
    case 414:
        return "URI Too Long";
    case 416:
        return "Range Not Satisfiable";
    case 431:
        return "Request Header Fields Too Large";
    case 503:
        return "Service Unavailable";
    default:
        return status >= 500 ? "Internal Server Error" : "Bad Request";
    }
}

std::string addressText(const sockaddr_storage &addr, int &port)
{
    char text[INET6_ADDRSTRLEN] = {};
    if (addr.ss_family == AF_INET) {
        const auto *in = reinterpret_cast<const sockaddr_in *>(&addr);
        ::inet_ntop(AF_INET, &in->sin_addr, text, sizeof text);
        port = ntohs(in->sin_port);
    } else if (addr.ss_family == AF_INET6) {
        const auto *in = reinterpret_cast<const sockaddr_in6 *>(&addr);
        ::inet_ntop(AF_INET6, &in->sin6_addr, text, sizeof text);
        port = ntohs(in->sin6_port);
    }
    return text;
}

// The connections the server holds, whichever thread holds them; the accept loop waits on
// it for room.
struct Tally
{
    std::atomic<std::size_t> held{0};
    std::mutex mutex;
    std::condition_variable room;

    void release()
    {
        --held;
        room.notify_all();
    }
};

// One client connection: its socket and what it sent that was not answered yet. It counts
// itself among the connections the server holds for as long as its socket is open.
struct Connection
{
    Connection(int socket, Tally &tally) : fd(socket), tally(tally) { ++tally.held; }
    ~Connection()
    {
        if (fd >= 0)
            ::close(fd);
        tally.release();
    }
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    int fd;
    Tally &tally;
    std::string pending;
    Clock::time_point deadline;
    Clock::time_point lastHeard;
    std::size_t answered = 0;
    bool draining = false;
    std::size_t drained = 0;
    // A whole request that waits for room in the workers' queue.
    bool ready = false;
};

// What the library reads is the head the waiting thread took whole; what it writes goes
// straight to the socket, each write waiting a bounded time for room.
class HeadStream final : public httplib::Stream
{
public:
    HeadStream(int fd, const std::string &head, std::chrono::milliseconds writeTimeout)
        : m_fd(fd), m_head(head), m_writeTimeout(writeTimeout)
    {
    }

    bool is_readable() const override { return m_read < m_head.size(); }
    bool is_writable() const override { return waitWritable(); }

    ssize_t read(char *ptr, size_t size) override
    {
        const std::size_t n = std::min(size, m_head.size() - m_read);
        std::memcpy(ptr, m_head.data() + m_read, n);
        m_read += n;
        return static_cast<ssize_t>(n);
    }

    // Everything or nothing: the library does not always look at a short count.
    ssize_t write(const char *ptr, size_t size) override
    {
        std::size_t done = 0;
        while (done < size) {
            if (!waitWritable())
                return -1;
            const ssize_t n = ::send(m_fd, ptr + done, size - done, MSG_NOSIGNAL | MSG_DONTWAIT);
            if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
                return -1;
            if (n > 0)
                done += static_cast<std::size_t>(n);
        }
        return static_cast<ssize_t>(done);
    }

    void get_remote_ip_and_port(std::string &ip, int &port) const override
    {
        sockaddr_storage addr{};
        socklen_t len = sizeof addr;
        if (::getpeername(m_fd, reinterpret_cast<sockaddr *>(&addr), &len) == 0)
            ip = addressText(addr, port);
    }
    void get_local_ip_and_port(std::string &ip, int &port) const override
    {
        sockaddr_storage addr{};
        socklen_t len = sizeof addr;
        if (::getsockname(m_fd, reinterpret_cast<sockaddr *>(&addr), &len) == 0)
            ip = addressText(addr, port);
    }
    socket_t socket() const override { return m_fd; }

private:
    bool waitWritable() const
    {
        pollfd p{m_fd, POLLOUT, 0};
        int rc;
        do
            rc = ::poll(&p, 1, static_cast<int>(m_writeTimeout.count()));
        while (rc < 0 && errno == EINTR);
        return rc > 0 && (p.revents & (POLLERR | POLLHUP | POLLNVAL)) == 0;
    }

    const int m_fd;
    const std::string &m_head;
    const std::chrono::milliseconds m_writeTimeout;
    std::size_t m_read = 0;
};

std::string plainReply(int status)
{
    const std::string text = reasonText(status);
    return "HTTP/1.1 " + std::to_string(status) + " " + text +
           "\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Length: " +
           std::to_string(text.size() + 1) + "\r\nConnection: close\r\n\r\n" + text + "\n";
}

// Half of what the process may open: the desk's databases, journals, snapshots, e-mails and
// exports keep the other half whatever the clients do.
std::size_t connectionBound(std::size_t wanted, std::size_t reserved)
{
    rlimit files{};
    if (::getrlimit(RLIMIT_NOFILE, &files) != 0 || files.rlim_cur == RLIM_INFINITY)
        return wanted;
    const std::size_t half = files.rlim_cur / 2;
    return std::max<std::size_t>(1, std::min(wanted, half > reserved ? half - reserved : 0));
}

bool outOfDescriptors(int error)
{
    return error == EMFILE || error == ENFILE || error == ENOBUFS || error == ENOMEM;
}

// The server's threads give way to the desk: a swipe must not wait behind a page. They run on
// the time the machine leaves over, and still get a small share when it is busy.
void giveWayToTheDesk()
{
    static thread_local const bool lowered = [] {
        const sched_param none{};
        return ::sched_setscheduler(0, SCHED_IDLE, &none) == 0 ||
               ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), 19) == 0;
    }();
    (void)lowered;
}

} // namespace

struct TWebServer::Impl
{
    Impl(TWebServer &server, const Limits &limits)
        : owner(server), limits(limits), bound(connectionBound(limits.maxConnections, limits.reservedFiles)),
          wake(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)),
          workers(std::make_unique<httplib::ThreadPool>(limits.workers))
    {
        waiter = std::thread([this] { run(); });
    }
    ~Impl() { shutdown(); }

    // From the accept loop and from the workers after an answer.
    void add(std::unique_ptr<Connection> c)
    {
        {
            std::lock_guard lock(mutex);
            if (stopping)
                return; // closes it
            inbox.push_back(std::move(c));
        }
        notify();
    }

    // On the accept loop, with every connection taken: the waiting thread closes the quietest
    // waiting one for the newcomer. Waits a moment for it; none waiting, it waits not at all.
    void makeRoom()
    {
        if (waiting == 0)
            return;
        evictionsOwed = 1;
        notify();
        std::unique_lock lock(tally.mutex);
        tally.room.wait_for(lock, std::chrono::milliseconds(200),
                            [this] { return tally.held < bound || stopping.load(); });
    }

    void notify()
    {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = ::write(wake, &one, sizeof one);
    }

    void shutdown()
    {
        {
            std::lock_guard lock(mutex);
            if (stopping && !waiter.joinable())
                return;
            stopping = true;
            inbox.clear();
        }
        notify();
        if (waiter.joinable())
            waiter.join();
        if (workers) {
            workers->shutdown();
            workers.reset();
        }
        if (wake >= 0)
            ::close(wake);
        wake = -1;
    }

    enum class HeadState
    {
        Incomplete,
        Complete,
        TooLong
    };

    // Leading blank lines are skipped, as clients may send one after a body.
    HeadState headState(Connection &c, std::size_t searchFrom) const
    {
        std::size_t skip = 0;
        while (skip + 1 < c.pending.size() && c.pending[skip] == '\r' &&
               c.pending[skip + 1] == '\n')
            skip += 2;
        if (skip > 0) {
            c.pending.erase(0, skip);
            searchFrom = 0;
        }
        const std::size_t end = c.pending.find("\r\n\r\n", searchFrom >= 3 ? searchFrom - 3 : 0);
        if (end != std::string::npos && end + 4 <= limits.maxHeadBytes)
            return HeadState::Complete;
        if (end != std::string::npos || c.pending.size() > limits.maxHeadBytes)
            return HeadState::TooLong;
        return HeadState::Incomplete;
    }

    // Passes a complete head on to a worker (c is then empty) or refuses one too long.
    // False when c was passed on.
    bool settle(std::unique_ptr<Connection> &c, std::size_t searchFrom = 0)
    {
        if (c->draining)
            return true;
        switch (headState(*c, searchFrom)) {
        case HeadState::Complete:
            if (queued >= limits.maxQueued) {
                c->ready = true;
                return true;
            }
            c->ready = false;
            dispatch(std::move(c));
            return false;
        case HeadState::TooLong: {
            // No line end within the limit: the request line itself is the long part.
            const std::size_t lineEnd = c->pending.find("\r\n");
            refuse(*c,
                   lineEnd == std::string::npos || lineEnd + 2 > limits.maxHeadBytes ? 414 : 431);
            return true;
        }
        case HeadState::Incomplete:
            break;
        }
        return true;
    }

    void dispatch(std::unique_ptr<Connection> c)
    {
        ++queued;
        auto job = std::make_shared<std::unique_ptr<Connection>>(std::move(c));
        workers->enqueue([this, job] {
            answer(std::move(*job));
            // Room in the queue: the waiting thread may pass on a request that waits for it.
            --queued;
            notify();
        });
    }

    // A short plain reply, then the connection only drains until it closes.
    void refuse(Connection &c, int status)
    {
        const std::string reply = plainReply(status);
        [[maybe_unused]] const ssize_t n =
            ::send(c.fd, reply.data(), reply.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        ::shutdown(c.fd, SHUT_WR);
        c.draining = true;
        c.pending.clear();
        c.pending.shrink_to_fit();
        c.deadline = Clock::now() + DrainTime;
    }

    // One request on a worker: the head that the waiting thread took whole.
    void answer(std::unique_ptr<Connection> c)
    {
        giveWayToTheDesk();
        do {
            if (stopping || !answerOne(*c))
                return;
        } while (nextHeadSoon(*c));
        add(std::move(c));
    }

    // The request whose head c holds. False when the connection is done with.
    bool answerOne(Connection &c)
    {
        const std::size_t end = c.pending.find("\r\n\r\n");
        std::string target;
        bool last = false;
        const std::string head = HeadForLibrary(c.pending.substr(0, end + 4), &target, &last);
        c.pending.erase(0, end + 4);
        bool closed = false;
        const bool closeAfter =
            last || c.answered + 1 >= limits.keepAliveRequests || stopping.load();
        bool written = false;
        try {
            HeadStream stream(c.fd, head, limits.writeTimeout);
            written = owner.serve(stream, closeAfter, closed, target);
        } catch (...) {
            written = false;
        }
        if (!written || closed || closeAfter)
            return false;
        ++c.answered;
        c.lastHeard = Clock::now();
        c.deadline = c.lastHeard + limits.keepAliveTimeout;
        return true;
    }

    // A client that asks again at once is answered on this worker, without a round through
    // the waiting thread; one that does not goes back there after a moment.
    bool nextHeadSoon(Connection &c)
    {
        const auto until = Clock::now() + Linger;
        char buffer[16 * 1024];
        for (;;) {
            const HeadState state = headState(c, 0);
            if (state != HeadState::Incomplete)
                return state == HeadState::Complete; // one too long is refused by the waiter
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - Clock::now());
            pollfd p{c.fd, POLLIN, 0};
            if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0)
                return false;
            const ssize_t n = ::recv(c.fd, buffer, sizeof buffer, MSG_DONTWAIT);
            if (n <= 0)
                return false; // the waiting thread sees the end, or reads on
            c.pending.append(buffer, static_cast<std::size_t>(n));
            c.lastHeard = Clock::now();
        }
    }

    void run()
    {
        giveWayToTheDesk();
        std::vector<std::unique_ptr<Connection>> conns;
        std::vector<pollfd> fds;
        char buffer[16 * 1024];
        while (!stopping) {
            std::vector<std::unique_ptr<Connection>> arrived;
            {
                std::lock_guard lock(mutex);
                arrived.swap(inbox);
            }
            const auto now = Clock::now();
            for (auto &c : arrived) {
                // A connection given back may already hold the next request.
                if (settle(c))
                    conns.push_back(std::move(c));
            }
            for (auto &c : conns) {
                if (c->ready && queued < limits.maxQueued)
                    settle(c); // empty when passed on
            }
            std::erase_if(conns, [](const auto &c) { return !c; });
            // Too many held in all, or room asked for a newcomer: the waiting one heard from
            // least recently goes.
            std::size_t owed = evictionsOwed.exchange(0);
            while ((tally.held > bound || owed > 0) && !conns.empty()) {
                owed -= owed > 0 ? 1 : 0;
                auto quietest =
                    std::min_element(conns.begin(), conns.end(), [](const auto &a, const auto &b) {
                        return a->lastHeard < b->lastHeard;
                    });
                conns.erase(quietest);
            }
            std::erase_if(conns, [now](const auto &c) { return c->deadline <= now; });
            waiting = conns.size();

            Clock::time_point nearest = now + std::chrono::seconds(60);
            fds.assign(1, pollfd{wake, POLLIN, 0});
            for (const auto &c : conns) {
                fds.push_back(pollfd{c->fd, POLLIN, 0});
                nearest = std::min(nearest, c->deadline);
            }
            const auto wait = std::chrono::ceil<std::chrono::milliseconds>(nearest - now).count();
            const int rc =
                ::poll(fds.data(), fds.size(), static_cast<int>(std::max<long>(wait, 0)));
            if (rc < 0 && errno != EINTR)
                break;
            if (rc <= 0)
                continue;
            if (fds[0].revents & POLLIN) {
                std::uint64_t count = 0;
                [[maybe_unused]] const ssize_t n = ::read(wake, &count, sizeof count);
            }
            for (std::size_t i = 1; i < fds.size(); ++i) {
                if (fds[i].revents == 0)
                    continue;
                std::unique_ptr<Connection> &c = conns[i - 1];
                const ssize_t n = ::recv(c->fd, buffer, sizeof buffer, MSG_DONTWAIT);
                if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
                    continue;
                if (n <= 0) {
                    c.reset();
                    continue;
                }
                c->lastHeard = Clock::now();
                if (c->draining) {
                    c->drained += static_cast<std::size_t>(n);
                    if (c->drained > DrainBytes)
                        c.reset();
                    continue;
                }
                const std::size_t before = c->pending.size();
                c->pending.append(buffer, static_cast<std::size_t>(n));
                if (!c->ready)
                    settle(c, before); // empty when passed on
            }
            std::erase_if(conns, [](const auto &c) { return !c; });
        }
    }

    TWebServer &owner;
    const Limits limits;
    const std::size_t bound;
    Tally tally;
    std::atomic<std::size_t> evictionsOwed{0};
    // Connections on the waiting thread, and requests given to the workers and not done yet.
    std::atomic<std::size_t> waiting{0};
    std::atomic<std::size_t> queued{0};
    std::atomic<bool> listening{false};
    std::atomic<bool> listenStop{false};
    int wake;
    std::unique_ptr<httplib::ThreadPool> workers;
    std::thread waiter;
    std::mutex mutex;
    std::vector<std::unique_ptr<Connection>> inbox;
    std::atomic<bool> stopping{false};
};

TWebServer::TWebServer(const Limits &limits)
{
    set_keep_alive_max_count(limits.keepAliveRequests);
    set_keep_alive_timeout(
        std::chrono::duration_cast<std::chrono::seconds>(limits.keepAliveTimeout).count());
    // Error replies the library makes itself carry a short text too.
    set_error_handler(HandlerWithResponse([](const httplib::Request &, httplib::Response &res) {
        if (!res.body.empty())
            return HandlerResponse::Unhandled;
        res.set_content(std::string(reasonText(res.status)) + "\n", "text/plain; charset=utf-8");
        return HandlerResponse::Handled;
    }));
    m_impl = std::make_unique<Impl>(*this, limits);
}

TWebServer::~TWebServer()
{
    Shutdown();
}

void TWebServer::WidenBacklog()
{
    // Listening again on a listening socket only changes its queue.
    const socket_t sock = svr_sock_;
    if (sock != INVALID_SOCKET)
        ::listen(sock, SOMAXCONN);
}

void TWebServer::Listen()
{
    m_impl->listening = true;
    while (!m_impl->listenStop) {
        const socket_t listener = svr_sock_;
        if (listener == INVALID_SOCKET)
            break;
        pollfd p{listener, POLLIN, 0};
        const int rc = ::poll(&p, 1, 100);
        if (m_impl->listenStop)
            break;
        if (rc < 0 && errno != EINTR)
            break;
        if (rc <= 0)
            continue;
        if (p.revents & (POLLERR | POLLHUP | POLLNVAL))
            break;
        if (m_impl->tally.held >= m_impl->bound)
            m_impl->makeRoom();
        const int sock = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (sock >= 0) {
            process_and_close_socket(sock);
            continue;
        }
        const int error = errno;
        if (outOfDescriptors(error)) {
            // The clients wait in the listen queue until files are free again.
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            continue;
        }
        if (error != EINTR && error != EAGAIN && error != EWOULDBLOCK && error != ECONNABORTED &&
            error != EPROTO)
            break;
    }
    m_impl->listening = false;
}

void TWebServer::Stop()
{
    m_impl->listenStop = true;
    const socket_t listener = svr_sock_;
    if (listener != INVALID_SOCKET)
        ::shutdown(listener, SHUT_RDWR);
}

bool TWebServer::IsRunning() const
{
    return m_impl->listening;
}

std::size_t TWebServer::HeldConnections() const
{
    return m_impl->tally.held;
}

std::size_t TWebServer::ConnectionBound() const
{
    return m_impl->bound;
}

void TWebServer::Shutdown()
{
    Stop();
    const socket_t listener = svr_sock_.exchange(INVALID_SOCKET);
    if (listener != INVALID_SOCKET)
        ::close(listener);
    m_impl->shutdown();
}

bool TWebServer::process_and_close_socket(socket_t sock)
{
    if (m_impl->tally.held >= m_impl->bound) {
        // Every connection held is queued or being answered, or none gave way in time.
        const std::string reply = plainReply(503);
        [[maybe_unused]] const ssize_t n =
            ::send(sock, reply.data(), reply.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        ::close(sock);
        return true;
    }
    const int yes = 1;
    // Headers and body go out in separate writes: without this the body waits for the
    // client's delayed acknowledgement.
    ::setsockopt(sock, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
    auto c = std::make_unique<Connection>(sock, m_impl->tally);
    c->lastHeard = Clock::now();
    c->deadline = c->lastHeard + m_impl->limits.firstHeadTimeout;
    m_impl->add(std::move(c));
    return true;
}

bool TWebServer::serve(httplib::Stream &stream, bool closeConnection, bool &connectionClosed,
                       const std::string &target)
{
    return process_request(stream, closeConnection, connectionClosed,
                           [&target](httplib::Request &req) {
                               req.target = target;
                               req.ranges.clear();
                           });
}

std::string TWebServer::HeadForLibrary(const std::string &head, std::string *target, bool *last)
{
    *last = false;
    target->clear();
    std::string out;
    out.reserve(std::min<std::size_t>(head.size(), 2 * MaxLibraryPath));
    std::size_t start = 0;
    bool first = true;
    while (start < head.size()) {
        std::size_t end = head.find("\r\n", start);
        if (end == std::string::npos)
            end = head.size();
        const std::string_view line(head.data() + start, end - start);
        start = end + 2;
        if (first) {
            first = false;
            const std::size_t a = line.find(' ');
            const std::size_t b = a == std::string_view::npos ? a : line.find(' ', a + 1);
            if (b == std::string_view::npos) {
                out.append(line); // not a request line: the library refuses it
                *last = true;
            } else {
                *target = std::string(line.substr(a + 1, b - a - 1));
                std::string_view path = std::string_view(*target).substr(0, target->find('?'));
                if (path.size() > MaxLibraryPath)
                    path = "/";
                out.append(line.substr(0, a + 1)).append(path).append(line.substr(b));
            }
            out.append("\r\n");
            continue;
        }
        if (line.empty())
            break;
        const std::size_t colon = line.find(':');
        const std::string_view name =
            colon == std::string_view::npos ? line : trimmed(line.substr(0, colon));
        const std::string_view value =
            colon == std::string_view::npos ? std::string_view() : trimmed(line.substr(colon + 1));
        if (equalsNoCase(name, "Range"))
            continue;
        if (equalsNoCase(name, "Transfer-Encoding") ||
            (equalsNoCase(name, "Content-Length") && value != "0"))
            *last = true;
        out.append(line).append("\r\n");
    }
    out.append("\r\n");
    return out;
}
