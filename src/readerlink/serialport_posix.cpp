#include "readerlink/serialport_posix.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace SerialPosix {

namespace {

using Clock = std::chrono::steady_clock;

struct RateEntry
{
    int rate;
    speed_t code;
};

constexpr RateEntry kRates[] = {
    {50, B50},         {75, B75},         {110, B110},         {134, B134},       {150, B150},
    {200, B200},       {300, B300},       {600, B600},         {1200, B1200},     {1800, B1800},
    {2400, B2400},     {4800, B4800},     {9600, B9600},       {19200, B19200},   {38400, B38400},
    {57600, B57600},   {115200, B115200}, {230400, B230400},   {460800, B460800}, {500000, B500000},
    {576000, B576000}, {921600, B921600}, {1000000, B1000000},
};

bool speedCode(int rate, speed_t *code)
{
    for (const RateEntry &e : kRates) {
        if (e.rate == rate) {
            *code = e.code;
            return true;
        }
    }
    return false;
}

bool noModemLines(int err)
{
    return err == ENOTTY || err == EINVAL;
}

// Milliseconds left until a deadline, for poll(); -1 without one.
int msLeft(bool limited, Clock::time_point deadline)
{
    if (!limited)
        return -1;
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? int(left) : 0;
}

int waitFor(int fd, short events, int timeoutMs, short *revents)
{
    pollfd p{fd, events, 0};
    for (;;) {
        const int r = poll(&p, 1, timeoutMs);
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0)
            return errno;
        *revents = r == 0 ? 0 : p.revents;
        return 0;
    }
}

} // namespace

bool DeviceGone(int err)
{
    return err == EIO || err == ENXIO || err == ENODEV || err == EBADF;
}

int OpenDevice(const QByteArray &path, int *fd)
{
    *fd = ::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (*fd < 0)
        return errno;
    // A second opener of the same line would take bytes away from this one.
    if (::ioctl(*fd, TIOCEXCL) < 0 && errno != ENOTTY && errno != EINVAL) {
        const int err = errno;
        ::close(*fd);
        *fd = -1;
        return err;
    }
    return 0;
}

void CloseDevice(int fd)
{
    if (fd < 0)
        return;
    ::ioctl(fd, TIOCNXCL);
    ::close(fd);
}

int BuildTermios(const LineSettings &s, termios *tp)
{
    termios &t = *tp;
    speed_t code;
    if (!speedCode(s.baudRate, &code))
        return EINVAL;
    ::cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    t.c_cflag &= ~(CSIZE | CSTOPB | PARENB | PARODD | CMSPAR | CRTSCTS);
    switch (s.dataBits) {
    case 5:
        t.c_cflag |= CS5;
        break;
    case 6:
        t.c_cflag |= CS6;
        break;
    case 7:
        t.c_cflag |= CS7;
        break;
    default:
        t.c_cflag |= CS8;
        break;
    }
    // termios has no 1.5 stop bits; a UART sends 1.5 for "two" at five data bits.
    if (s.stopBits != sbOneStopBit)
        t.c_cflag |= CSTOPB;
    switch (s.parity) {
    case prNone:
        break;
    case prOdd:
        t.c_cflag |= PARENB | PARODD;
        break;
    case prEven:
        t.c_cflag |= PARENB;
        break;
    case prMark:
        t.c_cflag |= PARENB | CMSPAR | PARODD;
        break;
    case prSpace:
        t.c_cflag |= PARENB | CMSPAR;
        break;
    }
    t.c_iflag &= ~(INPCK | IGNPAR | PARMRK | IXON | IXOFF | IXANY);
    if (s.parityCheck)
        t.c_iflag |= INPCK;
    if (s.hardwareFlow)
        t.c_cflag |= CRTSCTS;
    if (s.xonXoffOut)
        t.c_iflag |= IXON;
    if (s.xonXoffIn)
        t.c_iflag |= IXOFF;
    t.c_cc[VSTART] = cc_t(s.xonChar);
    t.c_cc[VSTOP] = cc_t(s.xoffChar);
    // With the descriptor non-blocking this makes an empty read fail with EAGAIN, while
    // 0 keeps meaning a hang-up; the component waits with poll() under its own limits.
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    if (::cfsetispeed(&t, code) < 0 || ::cfsetospeed(&t, code) < 0)
        return errno;
    return 0;
}

int ApplyLineSettings(int fd, const LineSettings &s)
{
    termios t{};
    if (::tcgetattr(fd, &t) < 0)
        return errno;
    if (const int err = BuildTermios(s, &t))
        return err;
    // TCSANOW: glibc then reads the settings back and refuses parity or data bits that the
    // device did not take (a pseudo-terminal takes neither).
    if (::tcsetattr(fd, TCSANOW, &t) < 0)
        return errno;
    if (s.dtr >= 0) {
        if (const int err = SetModemLine(fd, TIOCM_DTR, s.dtr != 0))
            return err;
    }
    if (s.rts >= 0) {
        if (const int err = SetModemLine(fd, TIOCM_RTS, s.rts != 0))
            return err;
    }
    return 0;
}

int Purge(int fd)
{
    return ::tcflush(fd, TCIOFLUSH) < 0 ? errno : 0;
}

int DiscardOutput(int fd)
{
    return ::tcflush(fd, TCOFLUSH) < 0 ? errno : 0;
}

int QueuedInput(int fd, int *count)
{
    int n = 0;
    if (::ioctl(fd, FIONREAD, &n) < 0)
        return errno;
    *count = n;
    return 0;
}

int SetModemLine(int fd, int line, bool on)
{
    if (::ioctl(fd, on ? TIOCMBIS : TIOCMBIC, &line) < 0)
        return noModemLines(errno) ? 0 : errno;
    return 0;
}

int SetRTS(int fd, bool on)
{
    return SetModemLine(fd, TIOCM_RTS, on);
}

int ReadModemLines(int fd, ModemLines *lines)
{
    int bits = 0;
    *lines = ModemLines{};
    if (::ioctl(fd, TIOCMGET, &bits) < 0)
        return noModemLines(errno) ? 0 : errno;
    lines->present = true;
    lines->cts = bits & TIOCM_CTS;
    lines->dsr = bits & TIOCM_DSR;
    lines->rlsd = bits & TIOCM_CD;
    return 0;
}

int WriteBytes(int fd, const char *data, int count, int timeoutMs, int *written)
{
    *written = 0;
    const bool limited = timeoutMs >= 0;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (*written < count) {
        const ssize_t n = ::write(fd, data + *written, size_t(count - *written));
        if (n > 0) {
            *written += int(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN)
            return errno;
        short revents = 0;
        if (const int err = waitFor(fd, POLLOUT, msLeft(limited, deadline), &revents))
            return err;
        if (revents == 0)
            return ETIMEDOUT; // *written says how many the device took
        if (revents & (POLLERR | POLLHUP | POLLNVAL))
            return EIO;
    }
    // A reader on a two-wire line drops RTS right after the write returns, so the bytes
    // must have left the driver by then. Bytes still queued at the limit have not gone out:
    // a line that stopped taking them is a failed write, not a slow success.
    for (;;) {
        int queued = 0;
        if (::ioctl(fd, TIOCOUTQ, &queued) < 0 || queued <= 0)
            return 0;
        if (limited && Clock::now() >= deadline)
            return ETIMEDOUT;
        ::usleep(500);
    }
}

int ReadBytes(int fd, char *data, int count, const ReadTimeouts &t, int *got)
{
    *got = 0;
    if (count <= 0)
        return 0;
    // No limit of any kind but "return at once": take what is queued.
    const bool immediate = t.interval == -1 && t.totalMultiplier == 0 && t.totalConstant == 0;
    // Interval and multiplier "infinite", a constant: wait for the first byte only.
    const bool firstByte =
        t.interval == -1 && t.totalMultiplier == -1 && t.totalConstant > 0 && t.totalConstant != -1;
    const bool limited = firstByte || t.totalMultiplier > 0 || t.totalConstant > 0;
    const long long totalMs = firstByte ? t.totalConstant
                                        : (long long)std::max(t.totalMultiplier, 0) * count +
                                              std::max(t.totalConstant, 0);
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(totalMs);
    const bool useInterval = t.interval > 0;

    while (*got < count) {
        const ssize_t n = ::read(fd, data + *got, size_t(count - *got));
        if (n > 0) {
            *got += int(n);
            if (firstByte)
                return 0;
            continue;
        }
        if (n == 0)
            return 0; // hung up: nothing more will come
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN)
            return errno;
        if (immediate)
            return 0;
        int timeout = msLeft(limited, deadline);
        if (useInterval && *got > 0)
            timeout = timeout < 0 ? t.interval : std::min(timeout, t.interval);
        short revents = 0;
        if (const int err = waitFor(fd, POLLIN, timeout, &revents))
            return err;
        if (revents == 0)
            return 0;
        if ((revents & (POLLERR | POLLNVAL)) && !(revents & POLLIN))
            return EIO;
    }
    return 0;
}

SerialEventThread::SerialEventThread(int fd, TSerialEvents mask, Deliver deliver,
                                     const std::atomic<quint64> *bytesRead)
    : m_fd(fd), m_mask(mask), m_deliver(std::move(deliver)), m_bytesRead(bytesRead)
{
}

SerialEventThread::~SerialEventThread()
{
    Stop();
    if (m_wakeFd >= 0)
        ::close(m_wakeFd);
}

int SerialEventThread::Start()
{
    m_wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_wakeFd < 0)
        return errno;
    m_stop.store(false);
    try {
        m_thread = std::thread([this] { run(); });
    } catch (const std::system_error &e) {
        return e.code().value();
    }
    return 0;
}

void SerialEventThread::Stop()
{
    if (!m_thread.joinable())
        return;
    m_stop.store(true);
    wake();
    m_thread.join();
}

void SerialEventThread::NotifyTxEmpty()
{
    if (!(m_mask & evTxEmpty))
        return;
    m_txEmpty.store(true);
    wake();
}

void SerialEventThread::wake()
{
    const uint64_t one = 1;
    // A full counter already means "wake up": a failed write loses nothing.
    if (m_wakeFd >= 0 && ::write(m_wakeFd, &one, sizeof one) < 0) {
    }
}

void SerialEventThread::run()
{
    const bool watchRx = m_mask & (evRxChar | evRx80Full);
    const bool watchLine = m_mask & (evError | evBreak);
    bool hungUp = false;
    // Bytes a handler left unread: level-triggered poll() would report them without end,
    // so they are looked at again only when the count or the bytes read change.
    bool stale = false;
    int staleCount = 0;
    quint64 staleRead = 0;

    serial_icounter_struct counters{};
    bool haveCounters = watchLine && ::ioctl(m_fd, TIOCGICOUNT, &counters) == 0;

    while (!m_stop.load()) {
        pollfd fds[2] = {{m_wakeFd, POLLIN, 0}, {hungUp ? -1 : m_fd, 0, 0}};
        if (watchRx && !stale)
            fds[1].events = POLLIN;
        const int r = ::poll(fds, 2, stale ? 10 : -1);
        if (r < 0) {
            if (errno == EINTR)
                continue;
            break; // nothing to wait on any more; Stop() still joins
        }
        if (m_stop.load())
            break;
        if (fds[0].revents & POLLIN) {
            uint64_t value;
            if (::read(m_wakeFd, &value, sizeof value) < 0) {
            } // EAGAIN: already drained
        }

        TSerialEvents events;
        TSerialErrors errors;
        if (m_txEmpty.exchange(false))
            events |= evTxEmpty;
        if (!hungUp && (fds[1].revents & (POLLERR | POLLHUP | POLLNVAL))) {
            hungUp = true;
            events |= evError;
            errors |= ceIO;
        }
        if (!hungUp && haveCounters) {
            serial_icounter_struct now{};
            if (::ioctl(m_fd, TIOCGICOUNT, &now) == 0) {
                if (now.frame != counters.frame)
                    errors |= ceFrame;
                if (now.parity != counters.parity && m_parityCheck.load())
                    errors |= ceRxParity;
                if (now.overrun != counters.overrun)
                    errors |= ceOverrun;
                if (now.buf_overrun != counters.buf_overrun)
                    errors |= ceRxOver;
                if (now.brk != counters.brk) {
                    errors |= ceBreak;
                    events |= evBreak;
                }
                if (errors)
                    events |= evError;
                counters = now;
            }
        }
        int queued = 0;
        if (!hungUp && watchRx) {
            const int err = QueuedInput(m_fd, &queued);
            if (err && DeviceGone(err)) {
                hungUp = true;
                events |= evError;
                errors |= ceIO;
                queued = 0;
            }
            if (stale && (queued != staleCount || m_bytesRead->load() != staleRead))
                stale = false;
            if (!stale && queued > 0) {
                events |= evRxChar;
                if (queued >= m_rx80Level.load())
                    events |= evRx80Full;
            }
        }
        events &= m_mask;
        if (!events)
            continue;
        const quint64 readBefore = m_bytesRead->load();
        m_deliver(events, errors);
        if (m_stop.load())
            break;
        if (!hungUp && (events & (evRxChar | evRx80Full)) && m_bytesRead->load() == readBefore &&
            QueuedInput(m_fd, &queued) == 0 && queued > 0) {
            stale = true;
            staleCount = queued;
            staleRead = readBefore;
        }
    }
    if (!hungUp)
        ::tcflush(m_fd, TCIOFLUSH);
}

} // namespace SerialPosix
