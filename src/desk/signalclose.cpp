#include "desk/signalclose.h"

#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int ClosingSignals[] = {SIGTERM, SIGHUP, SIGINT};
// The write end for the handler; -1 while no TSignalClose is installed.
volatile sig_atomic_t writeEnd = -1;

void onSignal(int number)
{
    const int fd = writeEnd;
    if (fd < 0)
        return;
    const unsigned char byte = static_cast<unsigned char>(number);
    // Async-signal-safe; a full pair only means a close is already asked for.
    [[maybe_unused]] const ssize_t n = ::write(fd, &byte, 1);
}

} // namespace

TSignalClose::TSignalClose(QObject *parent) : QObject(parent)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, m_fds) != 0) {
        m_fds[0] = m_fds[1] = -1;
        return;
    }
    m_notifier = new QSocketNotifier(m_fds[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &TSignalClose::readSignal);
    writeEnd = m_fds[1];
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int number : ClosingSignals)
        ::sigaction(number, &action, nullptr);
}

TSignalClose::~TSignalClose()
{
    if (!m_notifier)
        return;
    struct sigaction action = {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    for (const int number : ClosingSignals)
        ::sigaction(number, &action, nullptr);
    writeEnd = -1;
    delete m_notifier;
    m_notifier = nullptr;
    ::close(m_fds[0]);
    ::close(m_fds[1]);
}

void TSignalClose::readSignal()
{
    unsigned char byte = 0;
    int last = 0;
    while (::read(m_fds[0], &byte, 1) == 1)
        last = byte;
    if (last != 0)
        emit Requested(last);
}
