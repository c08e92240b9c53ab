#pragma once
// SMTP sending of one notice, and the computer's own IPv4 addresses as text. SendEmail is
// called on the user-interface thread: the SMTP dialogue runs on a worker thread of its own
// while the caller's event loop keeps turning, so swipes and timers are served meanwhile.
// IpToStr and FormatIpList may be called from any thread.

#include <QList>
#include <QString>
#include <cstdint>
#include <string>

class QObject;

// How long a connection to the mail server may take to open.
inline constexpr int EmailConnectTimeoutMs = 3000;

// Sends one message over SMTP, without authentication, to the recipients B + "," + A (each a
// list of addresses separated by ";" or ","). The attachment is sent only when a file of that
// name exists. Texts are UTF-8. True when the server accepted the message; every failure
// (no connection, refused sender or recipient, no recipient at all) gives false.
bool SendEmail(QObject *owner, const std::string &host, int port, const std::string &attachment,
               const std::string &body, const std::string &subject, const std::string &recipientsA,
               const std::string &recipientsB, const std::string &sender);

// The dotted form of an IPv4 address held with its first byte lowest.
QString IpToStr(std::uint32_t address);

// The addresses from the last to the first, each by IpToStr, separated by ", "; the host name
// when there are none.
QString FormatIpList(const QList<std::uint32_t> &addresses, const QString &hostName);

// The computer's IPv4 addresses as FormatIpList writes them; empty when the host name cannot be
// had or resolved.
void GetLocalIpList(QString &text);
