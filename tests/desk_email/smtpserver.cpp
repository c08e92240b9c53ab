#include "smtpserver.h"

#include <QDir>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QThread>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

namespace {

const QString Python = QStringLiteral("/usr/bin/python3");

// Reads the Maildir with Python's e-mail package, so the messages are judged by a parser that
// is not ours. Delivery order is the Maildir counter "Q<n>" of the server process.
const char *const ReadMailboxScript = R"PY(
import sys, os, re, json, email, email.policy, email.utils
d = os.path.join(sys.argv[1], 'new')
names = os.listdir(d) if os.path.isdir(d) else []
names.sort(key=lambda n: int(re.search(r'Q(\d+)', n).group(1)))
out = []
for n in names:
    with open(os.path.join(d, n), 'rb') as f:
        m = email.message_from_binary_file(f, policy=email.policy.default)
    body = None
    atts = []
    for part in m.walk():
        if part.is_multipart():
            continue
        fn = part.get_filename()
        if fn:
            atts.append({'name': fn, 'type': part.get_content_type(),
                         'data': part.get_payload(decode=True).hex()})
        elif part.get_content_type() == 'text/plain' and body is None:
            body = part.get_content()
    date_ok = False
    try:
        date_ok = m['date'] is not None and email.utils.parsedate_to_datetime(str(m['date'])) is not None
    except Exception:
        pass
    out.append({'subject': str(m['subject'] or ''), 'from': str(m['from'] or ''),
                'to': str(m['to'] or ''), 'date': str(m['date'] or ''), 'dateok': date_ok,
                'msgid': str(m['message-id'] or ''), 'rcpt': str(m['x-rcptto'] or ''),
                'mailfrom': str(m['x-mailfrom'] or ''), 'body': body or '', 'attachments': atts})
print(json.dumps(out))
)PY";

// One thread per connection; every reply is prompt but the one the mode slows down.
const char *const SlowServerScript = R"PY(
import os, socket, sys, threading, time
mode, stall, out = sys.argv[1], float(sys.argv[2]) / 1000.0, sys.argv[3]
srv = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
srv.bind(('127.0.0.1', 0))
srv.listen(8)
print(srv.getsockname()[1], flush=True)
count = [0]
lock = threading.Lock()
def serve(c):
    f = c.makefile('rb')
    say = lambda t: c.sendall(t.encode() + b'\r\n')
    say('220 slow.example ESMTP')
    while True:
        line = f.readline()
        if not line:
            break
        cmd = line.strip().upper()
        if cmd.startswith(b'MAIL') and mode == 'sender':
            time.sleep(stall)
        if cmd.startswith(b'EHLO') or cmd.startswith(b'HELO'):
            say('250 slow.example')
        elif cmd.startswith(b'DATA'):
            say('354 go on')
            body = b''
            while True:
                l = f.readline()
                if not l or l in (b'.\r\n', b'.\n'):
                    break
                body += l
            with lock:
                count[0] += 1
                n = count[0]
            tmp = os.path.join(out, 'taking-%d' % n)
            with open(tmp, 'wb') as m:
                m.write(body)
            os.rename(tmp, os.path.join(out, 'mail-%d' % n))
            say('250 taken')
        elif cmd.startswith(b'QUIT'):
            if mode == 'quit':
                time.sleep(stall)
            say('221 bye')
            break
        else:
            say('250 ok')
    c.close()
while True:
    conn, _ = srv.accept()
    threading.Thread(target=serve, args=(conn,), daemon=True).start()
)PY";

bool greets(int port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(quint16(port));
    timeval tv{1, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    char buf[64] = {};
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0 &&
                    ::recv(fd, buf, sizeof buf - 1, 0) >= 3 && QByteArray(buf).startsWith("220");
    if (ok)
        ::send(fd, "QUIT\r\n", 6, MSG_NOSIGNAL);
    ::close(fd);
    return ok;
}

} // namespace

int UnusedPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr *>(&a), &len) == 0)
        port = ntohs(a.sin_port);
    ::close(fd);
    return port;
}

SmtpServer::SmtpServer() = default;

SmtpServer::~SmtpServer()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.terminate();
        if (!m_process.waitForFinished(3000)) {
            m_process.kill();
            m_process.waitForFinished(3000);
        }
    }
}

bool SmtpServer::Start()
{
    // The Mailbox handler writes a Maildir and makes one only where no folder is yet.
    for (const char *sub : {"tmp", "new", "cur"})
        QDir(m_dir.path()).mkpath(QString::fromLatin1(sub));
    for (int attempt = 0; attempt < 3; ++attempt) {
        m_port = UnusedPort();
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        m_process.start(Python, {QStringLiteral("-m"), QStringLiteral("aiosmtpd"),
                                 QStringLiteral("-n"), QStringLiteral("-l"),
                                 QStringLiteral("127.0.0.1:%1").arg(m_port), QStringLiteral("-c"),
                                 QStringLiteral("aiosmtpd.handlers.Mailbox"), m_dir.path()});
        if (!m_process.waitForStarted(5000)) {
            m_error = m_process.errorString();
            return false;
        }
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < 10000 && m_process.state() == QProcess::Running) {
            if (greets(m_port))
                return true;
            QThread::msleep(50);
        }
        m_error = QString::fromUtf8(m_process.readAll());
        m_process.kill();
        m_process.waitForFinished(3000);
    }
    return false;
}

QList<ReceivedMail> SmtpServer::Mails() const
{
    QProcess reader;
    reader.start(Python,
                 {QStringLiteral("-c"), QString::fromUtf8(ReadMailboxScript), m_dir.path()});
    reader.waitForFinished(20000);
    const QJsonDocument doc = QJsonDocument::fromJson(reader.readAllStandardOutput());
    QList<ReceivedMail> out;
    for (const QJsonValue &v : doc.array()) {
        const QJsonObject o = v.toObject();
        ReceivedMail m;
        m.subject = o[QStringLiteral("subject")].toString();
        m.from = o[QStringLiteral("from")].toString();
        m.to = o[QStringLiteral("to")].toString();
        m.date = o[QStringLiteral("date")].toString();
        m.dateParses = o[QStringLiteral("dateok")].toBool();
        m.messageId = o[QStringLiteral("msgid")].toString();
        m.rcptTo = o[QStringLiteral("rcpt")].toString();
        m.mailFrom = o[QStringLiteral("mailfrom")].toString();
        m.body = o[QStringLiteral("body")].toString();
        for (const QJsonValue &a : o[QStringLiteral("attachments")].toArray()) {
            const QJsonObject ao = a.toObject();
            m.attachments.append(
                {ao[QStringLiteral("name")].toString(), ao[QStringLiteral("type")].toString(),
                 QByteArray::fromHex(ao[QStringLiteral("data")].toString().toLatin1())});
        }
        out.append(m);
    }
    return out;
}

BlackholeServer::BlackholeServer()
{
    m_listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (::bind(m_listener, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0 ||
        ::listen(m_listener, 0) != 0 ||
        ::getsockname(m_listener, reinterpret_cast<sockaddr *>(&a), &len) != 0)
        return;
    // Connections that are never accepted fill the queue; the kernel then drops new SYNs.
    for (int i = 0; i < 3; ++i) {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        ::fcntl(fd, F_SETFL, O_NONBLOCK);
        ::connect(fd, reinterpret_cast<sockaddr *>(&a), sizeof a);
        m_fillers.push_back(fd);
    }
    QThread::msleep(100);
    m_port = ntohs(a.sin_port);
}

BlackholeServer::~BlackholeServer()
{
    for (int fd : m_fillers)
        ::close(fd);
    if (m_listener >= 0)
        ::close(m_listener);
}

SlowSmtpServer::SlowSmtpServer(Stall stall, int stallMs) : m_stall(stall), m_stallMs(stallMs) {}

SlowSmtpServer::~SlowSmtpServer()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(3000);
    }
}

bool SlowSmtpServer::Start()
{
    m_process.start(Python,
                    {QStringLiteral("-c"), QString::fromUtf8(SlowServerScript),
                     m_stall == Stall::AtSender ? QStringLiteral("sender") : QStringLiteral("quit"),
                     QString::number(m_stallMs), m_dir.path()});
    if (!m_process.waitForStarted(5000) || !m_process.waitForReadyRead(10000)) {
        m_error = m_process.errorString() + QString::fromUtf8(m_process.readAllStandardError());
        return false;
    }
    m_port = m_process.readLine().trimmed().toInt();
    if (m_port <= 0)
        m_error = QStringLiteral("no port from the server");
    return m_port > 0;
}

int SlowSmtpServer::Taken() const
{
    return int(QDir(m_dir.path()).entryList({QStringLiteral("mail-*")}, QDir::Files).size());
}
