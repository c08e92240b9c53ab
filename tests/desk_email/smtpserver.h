#pragma once
// Mail servers for the e-mail tests: a real SMTP server (aiosmtpd with its Mailbox handler,
// started by the test) whose delivered messages are read back by Python's own e-mail parser,
// and a listener whose accept queue is full, so that connecting to it never completes (an
// unreachable server). Main thread.

#include <QByteArray>
#include <QList>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <ostream>
#include <vector>

// Readable failures for texts (found by argument lookup, so it lives beside QString).
inline void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}

struct ReceivedAttachment
{
    QString name;
    QString type;
    QByteArray data;
};

// One delivered message as a mail reader sees it.
struct ReceivedMail
{
    QString subject, from, to, date, messageId;
    bool dateParses = false;
    QString rcptTo;   // the envelope's recipients, as the server recorded them
    QString mailFrom; // the envelope's sender
    QString body;     // the decoded text part, line ends as "\n"
    QList<ReceivedAttachment> attachments;
};

class SmtpServer
{
public:
    SmtpServer();
    ~SmtpServer();
    SmtpServer(const SmtpServer &) = delete;
    SmtpServer &operator=(const SmtpServer &) = delete;

    // Starts the server on a free port and waits for its greeting; false with ErrorText.
    bool Start();
    int Port() const { return m_port; }
    QString ErrorText() const { return m_error; }
    // The delivered messages in the order of delivery.
    QList<ReceivedMail> Mails() const;

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    int m_port = 0;
    QString m_error;
};

// A small SMTP server of the test's own that is slow at one step of the dialogue: at the
// message's sender (Stall::AtSender, past the connect phase, where the client waits its full
// answer time-out), or at the goodbye once it has taken the message (Stall::AtQuit). Each
// message it takes is counted before it answers.
class SlowSmtpServer
{
public:
    enum class Stall
    {
        AtSender,
        AtQuit,
    };
    explicit SlowSmtpServer(Stall stall, int stallMs = 20000);
    ~SlowSmtpServer();
    SlowSmtpServer(const SlowSmtpServer &) = delete;
    SlowSmtpServer &operator=(const SlowSmtpServer &) = delete;

    // Starts the server on a free port; false with ErrorText.
    bool Start();
    int Port() const { return m_port; }
    QString ErrorText() const { return m_error; }
    // The messages taken so far (the server has answered, or is about to answer, 250).
    int Taken() const;

private:
    Stall m_stall;
    int m_stallMs;
    QTemporaryDir m_dir;
    QProcess m_process;
    int m_port = 0;
    QString m_error;
};

// A port on 127.0.0.1 that takes no more connections: a connect attempt hangs until its
// time-out.
class BlackholeServer
{
public:
    BlackholeServer();
    ~BlackholeServer();
    BlackholeServer(const BlackholeServer &) = delete;
    BlackholeServer &operator=(const BlackholeServer &) = delete;
    bool IsValid() const { return m_port > 0; }
    int Port() const { return m_port; }

private:
    int m_listener = -1;
    std::vector<int> m_fillers;
    int m_port = 0;
};

// A port on 127.0.0.1 that nothing listens on.
int UnusedPort();
