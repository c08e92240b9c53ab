#include "store/email.h"

#include "store/eventwait.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFileInfo>
#include <QLocale>
#include <QTimeZone>
#include <QUuid>

#include <curl/curl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace {

// A server that took the connection but stops answering must not hold the queue for ever.
constexpr long ServerResponseTimeoutS = 30;

void initCurlOnce()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct CurlDeleter
{
    void operator()(CURL *curl) const noexcept { curl_easy_cleanup(curl); }
    void operator()(curl_mime *mime) const noexcept { curl_mime_free(mime); }
    void operator()(curl_slist *list) const noexcept { curl_slist_free_all(list); }
};
template <typename T> using CurlPtr = std::unique_ptr<T, CurlDeleter>;
// CURLM and CURL are the same type to the compiler.
struct CurlMultiDeleter
{
    void operator()(CURLM *multi) const noexcept { curl_multi_cleanup(multi); }
};

void append(CurlPtr<curl_slist> &list, const std::string &text)
{
    curl_slist *grown = curl_slist_append(list.get(), text.c_str());
    if (!grown)
        throw std::bad_alloc();
    list.release();
    list.reset(grown);
}

std::string trimmed(const std::string &text)
{
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return {};
    const auto last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

// A header value on one line: a line break in a stored text must not start a header of its own.
std::string oneLine(const std::string &text)
{
    std::string out = text;
    for (char &c : out)
        if (c == '\r' || c == '\n')
            c = ' ';
    return out;
}

// The addresses of a list typed with ";" (or "," where the lists are joined), blanks and empty
// entries left out.
std::vector<std::string> splitAddresses(const std::string &list)
{
    std::vector<std::string> out;
    std::string current;
    const auto flush = [&] {
        std::string address = trimmed(oneLine(current));
        if (address.size() > 1 && address.front() == '<' && address.back() == '>')
            address = address.substr(1, address.size() - 2);
        if (!address.empty())
            out.push_back(address);
        current.clear();
    };
    for (char c : list) {
        if (c == ';' || c == ',')
            flush();
        else
            current += c;
    }
    flush();
    return out;
}

bool isAscii(const std::string &text)
{
    for (unsigned char c : text)
        if (c >= 0x80)
            return false;
    return true;
}

// A subject with letters beyond ASCII goes as an encoded word, as mail readers expect.
std::string encodedHeaderText(const std::string &text)
{
    const std::string line = oneLine(text);
    if (isAscii(line))
        return line;
    return "=?UTF-8?B?" + QByteArray::fromStdString(line).toBase64().toStdString() + "?=";
}

std::string dateHeader()
{
    const QDateTime now = QDateTime::currentDateTime();
    const int offset = now.offsetFromUtc() / 60;
    const int absOffset = offset < 0 ? -offset : offset;
    const QString zone = QStringLiteral("%1%2%3")
                             .arg(offset < 0 ? QLatin1Char('-') : QLatin1Char('+'))
                             .arg(absOffset / 60, 2, 10, QLatin1Char('0'))
                             .arg(absOffset % 60, 2, 10, QLatin1Char('0'));
    return QLocale::c().toString(now, QStringLiteral("ddd, dd MMM yyyy hh:mm:ss ")).toStdString() +
           zone.toStdString();
}

std::string messageIdHeader(const std::string &sender)
{
    std::string domain = "localhost";
    const auto at = sender.rfind('@');
    if (at != std::string::npos && at + 1 < sender.size())
        domain = sender.substr(at + 1);
    return "<" + QUuid::createUuid().toString(QUuid::WithoutBraces).toStdString() + "@" + domain +
           ">";
}

// SMTP wants CRLF line ends; a body stored with bare LF or CR is mended, CRLF is kept.
std::string crlfBody(const std::string &body)
{
    std::string out;
    out.reserve(body.size() + 16);
    for (std::size_t i = 0; i < body.size(); ++i) {
        const char c = body[i];
        if (c == '\r') {
            out += "\r\n";
            if (i + 1 < body.size() && body[i + 1] == '\n')
                ++i;
        } else if (c == '\n') {
            out += "\r\n";
        } else {
            out += c;
        }
    }
    return out;
}

std::string attachmentType(const std::string &path)
{
    const QString suffix = QFileInfo(QString::fromStdString(path)).suffix().toLower();
    if (suffix == QLatin1String("jpg") || suffix == QLatin1String("jpeg"))
        return "image/jpeg";
    return "application/octet-stream";
}

struct Message
{
    std::string url;
    std::string sender;
    std::vector<std::string> recipients;
    std::string subject;
    std::string body;
    std::string attachment; // empty: none
    TEmailStop *stop = nullptr;
};

// Called from libcurl's own waits as well, as a second line behind the socket shut-down.
int abortWhenStopped(void *stop, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    return static_cast<const TEmailStop *>(stop)->Stopped() ? 1 : 0;
}

// The socket of a send, known to Stop(): shut down, it ends every wait on the server at once,
// also those libcurl makes without returning (the goodbye after an aborted message).
struct SendSocket
{
    std::mutex mutex;
    curl_socket_t fd = CURL_SOCKET_BAD;

    static curl_socket_t open(void *self, curlsocktype, curl_sockaddr *address)
    {
        const curl_socket_t fd = ::socket(address->family, address->socktype, address->protocol);
        auto *s = static_cast<SendSocket *>(self);
        const std::lock_guard<std::mutex> lock(s->mutex);
        s->fd = fd;
        return fd;
    }
    static int close(void *self, curl_socket_t fd)
    {
        auto *s = static_cast<SendSocket *>(self);
        const std::lock_guard<std::mutex> lock(s->mutex);
        if (s->fd == fd)
            s->fd = CURL_SOCKET_BAD;
        return ::close(fd);
    }
    void shutDown()
    {
        const std::lock_guard<std::mutex> lock(mutex);
        if (fd != CURL_SOCKET_BAD)
            ::shutdown(fd, SHUT_RDWR);
    }
};

// The transfer through a multi handle of its own, so that Stop() can wake its wait on the
// server and end it at once.
CURLcode performStoppable(CURL *c, TEmailStop &stop)
{
    SendSocket socket;
    curl_easy_setopt(c, CURLOPT_OPENSOCKETFUNCTION, &SendSocket::open);
    curl_easy_setopt(c, CURLOPT_OPENSOCKETDATA, &socket);
    curl_easy_setopt(c, CURLOPT_CLOSESOCKETFUNCTION, &SendSocket::close);
    curl_easy_setopt(c, CURLOPT_CLOSESOCKETDATA, &socket);
    curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, &abortWhenStopped);
    curl_easy_setopt(c, CURLOPT_XFERINFODATA, &stop);
    curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
    // A kept connection would say goodbye when the handles are freed, after the socket is
    // no longer watched; closed at the end of the transfer it does so while it is.
    curl_easy_setopt(c, CURLOPT_FORBID_REUSE, 1L);
    std::unique_ptr<CURLM, CurlMultiDeleter> multi(curl_multi_init());
    if (!multi || curl_multi_add_handle(multi.get(), c) != CURLM_OK)
        return CURLE_OUT_OF_MEMORY;
    CURLM *m = multi.get();
    stop.SetWake([m, &socket] {
        socket.shutDown();
        curl_multi_wakeup(m);
    });
    CURLcode result = CURLE_ABORTED_BY_CALLBACK;
    bool stopping = false;
    for (;;) {
        int running = 0;
        if (curl_multi_perform(m, &running) != CURLM_OK) {
            result = CURLE_SEND_ERROR;
            break;
        }
        if (running == 0) {
            int left = 0;
            while (CURLMsg *msg = curl_multi_info_read(m, &left))
                if (msg->msg == CURLMSG_DONE && msg->easy_handle == c)
                    result = msg->data.result;
            break;
        }
        if (stop.Stopped()) {
            // One more short turn, so that an answer already read (the server took the
            // message) still counts; then the transfer is given up.
            if (stopping)
                break;
            stopping = true;
            socket.shutDown();
        }
        if (curl_multi_poll(m, nullptr, 0, stopping ? 50 : 1000, nullptr) != CURLM_OK) {
            result = CURLE_RECV_ERROR;
            break;
        }
    }
    stop.SetWake({});
    curl_multi_remove_handle(m, c);
    return result;
}

// The SMTP dialogue itself; runs on the worker thread and touches nothing shared.
bool transfer(const Message &m) noexcept
{
    try {
        CurlPtr<CURL> curl(curl_easy_init());
        if (!curl)
            return false;
        CURL *c = curl.get();
        curl_easy_setopt(c, CURLOPT_URL, m.url.c_str());
        curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, long(EmailConnectTimeoutMs));
        curl_easy_setopt(c, CURLOPT_SERVER_RESPONSE_TIMEOUT, ServerResponseTimeoutS);
        curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, 1L);
        curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME, ServerResponseTimeoutS);
        const std::string from = "<" + m.sender + ">";
        curl_easy_setopt(c, CURLOPT_MAIL_FROM, from.c_str());

        CurlPtr<curl_slist> rcpt;
        for (const std::string &r : m.recipients)
            append(rcpt, "<" + r + ">");
        curl_easy_setopt(c, CURLOPT_MAIL_RCPT, rcpt.get());

        std::string to;
        for (const std::string &r : m.recipients)
            to += (to.empty() ? "" : ", ") + r;
        CurlPtr<curl_slist> headers;
        append(headers, "Date: " + dateHeader());
        append(headers, "Message-ID: " + messageIdHeader(m.sender));
        append(headers, "From: " + m.sender);
        append(headers, "To: " + to);
        append(headers, "Subject: " + encodedHeaderText(m.subject));
        curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers.get());

        CurlPtr<curl_mime> mime(curl_mime_init(c));
        if (!mime)
            return false;
        curl_mimepart *text = curl_mime_addpart(mime.get());
        curl_mime_data(text, m.body.data(), m.body.size());
        curl_mime_type(text, "text/plain; charset=UTF-8");
        // Quoted-printable keeps the line breaks and any letters beyond ASCII intact.
        curl_mime_encoder(text, "quoted-printable");
        if (!m.attachment.empty()) {
            curl_mimepart *file = curl_mime_addpart(mime.get());
            if (curl_mime_filedata(file, m.attachment.c_str()) != CURLE_OK)
                return false;
            curl_mime_type(file, attachmentType(m.attachment).c_str());
            curl_mime_encoder(file, "base64");
        }
        curl_easy_setopt(c, CURLOPT_MIMEPOST, mime.get());

        if (m.stop)
            return performStoppable(c, *m.stop) == CURLE_OK;
        return curl_easy_perform(c) == CURLE_OK;
    } catch (...) {
        return false;
    }
}

// Runs the transfer on a worker thread; the caller's event loop turns, sleeping between
// events, until it is over. The transfer's own time limits bound the wait.
bool transferWithLoopTurning(const Message &m)
{
    bool result = false;
    RunOffThread([&m, &result] { result = transfer(m); });
    return result;
}

} // namespace

void TEmailStop::Stop()
{
    m_stopped.store(true);
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (m_wake)
        m_wake();
}

void TEmailStop::SetWake(std::function<void()> wake)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_wake = std::move(wake);
}

bool SendEmail(QObject *, const std::string &host, int port, const std::string &attachment,
               const std::string &body, const std::string &subject, const std::string &recipientsA,
               const std::string &recipientsB, const std::string &sender, TEmailStop *stop)
{
    try {
        if (stop && stop->Stopped())
            return false;
        initCurlOnce();
        Message m;
        m.stop = stop;
        const std::string server = trimmed(host);
        if (server.empty() || port <= 0 || port > 65535)
            return false;
        // A bare IPv6 address needs its brackets inside a URL.
        const bool ipv6 = server.find(':') != std::string::npos && server.front() != '[';
        m.url = "smtp://" + (ipv6 ? "[" + server + "]" : server) + ":" + std::to_string(port);
        m.sender = trimmed(oneLine(sender));
        m.recipients = splitAddresses(recipientsB + "," + recipientsA);
        if (m.recipients.empty())
            return false;
        m.subject = subject;
        m.body = crlfBody(body);
        if (!attachment.empty() && QFileInfo(QString::fromStdString(attachment)).isFile())
            m.attachment = attachment;
        return transferWithLoopTurning(m);
    } catch (...) {
        return false;
    }
}

QString IpToStr(std::uint32_t address)
{
    return QStringLiteral("%1.%2.%3.%4")
        .arg(address & 0xFF)
        .arg((address >> 8) & 0xFF)
        .arg((address >> 16) & 0xFF)
        .arg((address >> 24) & 0xFF);
}

QString FormatIpList(const QList<std::uint32_t> &addresses, const QString &hostName)
{
    if (addresses.isEmpty())
        return hostName;
    QString text;
    for (auto it = addresses.crbegin(); it != addresses.crend(); ++it) {
        if (!text.isEmpty())
            text += QStringLiteral(", ");
        text += IpToStr(*it);
    }
    return text;
}

void GetLocalIpList(QString &text)
{
    text.clear();
    try {
        char name[256] = {};
        if (gethostname(name, 255) != 0)
            return;
        addrinfo hints{};
        hints.ai_family = AF_INET;
        hints.ai_socktype = SOCK_STREAM; // one entry per address, not one per socket type
        hints.ai_flags = AI_CANONNAME;
        addrinfo *found = nullptr;
        if (getaddrinfo(name, nullptr, &hints, &found) != 0 || !found)
            return;
        std::unique_ptr<addrinfo, void (*)(addrinfo *)> guard(found, freeaddrinfo);
        QList<std::uint32_t> addresses;
        for (const addrinfo *a = found; a; a = a->ai_next) {
            if (a->ai_family != AF_INET || a->ai_addrlen < sizeof(sockaddr_in))
                continue;
            sockaddr_in in;
            std::memcpy(&in, a->ai_addr, sizeof in);
            // The address's first byte goes lowest, whatever the machine's byte order.
            unsigned char b[4];
            std::memcpy(b, &in.sin_addr.s_addr, sizeof b);
            const std::uint32_t value = std::uint32_t(b[0]) | (std::uint32_t(b[1]) << 8) |
                                        (std::uint32_t(b[2]) << 16) | (std::uint32_t(b[3]) << 24);
            if (!addresses.contains(value))
                addresses.append(value);
        }
        const QString host =
            QString::fromLocal8Bit(found->ai_canonname ? found->ai_canonname : name);
        text = FormatIpList(addresses, host);
    } catch (...) {
        text.clear();
    }
}
