#pragma once
// SMTP sending of one notice, and the computer's own IPv4 addresses as text. SendEmail is
// called on the user-interface thread: the SMTP dialogue runs on a worker thread of its own
// while the caller's event loop keeps turning, so swipes and timers are served meanwhile.
// IpToStr and FormatIpList may be called from any thread.

#include <QList>
#include <QString>
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

class QObject;

// How long a connection to the mail server may take to open.
inline constexpr int EmailConnectTimeoutMs = 3000;

// Ends sends from outside: once Stop() is called, a send under way with this object gives up
// at once (false) and so does every later one. Stop() and Stopped() may be called from any
// thread.
class TEmailStop
{
public:
    TEmailStop() = default;
    TEmailStop(const TEmailStop &) = delete;
    TEmailStop &operator=(const TEmailStop &) = delete;

    void Stop();
    bool Stopped() const { return m_stopped.load(); }

    // The send's worker: what wakes it from its wait on the server (empty once it is done).
    void SetWake(std::function<void()> wake);

private:
    std::atomic<bool> m_stopped{false};
    std::mutex m_mutex;
    std::function<void()> m_wake;
};

// Sends one message over SMTP, without authentication, to the recipients B + "," + A (each a
// list of addresses separated by ";" or ","). The attachment is sent only when a file of that
// name exists. Texts are UTF-8. True when the server accepted the message; every failure
// (no connection, refused sender or recipient, no recipient at all, stopped) gives false.
bool SendEmail(QObject *owner, const std::string &host, int port, const std::string &attachment,
               const std::string &body, const std::string &subject, const std::string &recipientsA,
               const std::string &recipientsB, const std::string &sender,
               TEmailStop *stop = nullptr);

// The dotted form of an IPv4 address held with its first byte lowest.
QString IpToStr(std::uint32_t address);

// The addresses from the last to the first, each by IpToStr, separated by ", "; the host name
// when there are none.
QString FormatIpList(const QList<std::uint32_t> &addresses, const QString &hostName);

// The computer's IPv4 addresses as FormatIpList writes them; empty when the host name cannot be
// had or resolved.
void GetLocalIpList(QString &text);
