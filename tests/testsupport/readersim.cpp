#include "testsupport/readersim.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace {
constexpr std::uint8_t StartByte = 0xF5;
constexpr std::uint8_t End = 0xFA;
constexpr std::uint8_t Tilde = 0x7E;
constexpr std::size_t PageBytes = 264;

std::uint8_t bcd(int n)
{
    return static_cast<std::uint8_t>((n / 10) * 16 + n % 10);
}

int unbcd(std::uint8_t b)
{
    return (b >> 4) * 10 + (b & 15);
}

std::uint8_t negSum(const std::uint8_t *p, std::size_t n, unsigned start = 0)
{
    unsigned s = start;
    for (std::size_t i = 0; i < n; ++i)
        s += p[i];
    return static_cast<std::uint8_t>((256 - (s & 0xFF)) & 0xFF);
}

long long toSeconds(const ReaderSim::Time &t)
{
    std::tm tm{};
    tm.tm_year = t.year - 1900;
    tm.tm_mon = t.month - 1;
    tm.tm_mday = t.day;
    tm.tm_hour = t.hour;
    tm.tm_min = t.minute;
    tm.tm_sec = t.second;
    return static_cast<long long>(timegm(&tm));
}

ReaderSim::Time fromSeconds(long long s, int *weekday = nullptr)
{
    const std::time_t tt = static_cast<std::time_t>(s);
    std::tm tm{};
    gmtime_r(&tt, &tm);
    if (weekday)
        *weekday = tm.tm_wday; // 0 = Sunday
    return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

ReaderSim::Time localNow()
{
    const std::time_t tt = std::time(nullptr);
    std::tm tm{};
    localtime_r(&tt, &tm);
    return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

// Each setting's stored value as the reader keeps it by default.
ReaderSim::Bytes defaultSetting(int number)
{
    switch (number) {
    case 0x00:
    case 0x01:
        return ReaderSim::Bytes(16, ' ');
    case 0x04:
        return {0x01, 0x00};
    case 0x05:
        return {0x80};
    case 0x06:
        return ReaderSim::Bytes(24, 0);
    case 0x07:
        return {0x03};
    case 0x08:
    case 0x09:
        return {0x00, 0x00};
    default:
        return {};
    }
}
} // namespace

ReaderSim::ReaderSim()
{
    m_clockBase = toSeconds(localNow());
    m_clockSetAt = std::chrono::steady_clock::now();
}

ReaderSim::~ReaderSim()
{
    Stop();
}

bool ReaderSim::Start()
{
    if (m_thread.joinable())
        return true;
    char name[256] = {};
    if (openpty(&m_master, &m_slave, name, nullptr, nullptr) != 0) {
        m_error = std::string("openpty: ") + std::strerror(errno);
        return false;
    }
    // Raw from the start: no echo or line editing before the host sets the line up. The
    // reader keeps its own slave open so the line never hangs up between host sessions.
    termios tio{};
    tcgetattr(m_slave, &tio);
    cfmakeraw(&tio);
    tcsetattr(m_slave, TCSANOW, &tio);
    fcntl(m_master, F_SETFD, FD_CLOEXEC);
    fcntl(m_slave, F_SETFD, FD_CLOEXEC);
    if (pipe2(m_wakePipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        m_error = std::string("pipe: ") + std::strerror(errno);
        return false;
    }
    m_path = name;
    m_stop = false;
    m_thread = std::thread([this] { run(); });
    return true;
}

void ReaderSim::Stop()
{
    if (m_thread.joinable()) {
        {
            std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        wake();
        m_thread.join();
    }
    for (int *fd : {&m_master, &m_slave, &m_wakePipe[0], &m_wakePipe[1]}) {
        if (*fd >= 0)
            close(*fd);
        *fd = -1;
    }
}

std::string ReaderSim::DevicePath() const
{
    return m_path;
}

std::string ReaderSim::ErrorText() const
{
    return m_error;
}

std::uint32_t ReaderSim::PackTime(const Time &t)
{
    std::uint32_t v = static_cast<std::uint32_t>(t.year - 2000);
    v = v * 13 + static_cast<std::uint32_t>(t.month);
    v = v * 32 + static_cast<std::uint32_t>(t.day);
    v = v * 24 + static_cast<std::uint32_t>(t.hour);
    v = v * 60 + static_cast<std::uint32_t>(t.minute);
    v = v * 60 + static_cast<std::uint32_t>(t.second);
    return v;
}

void ReaderSim::wake()
{
    if (m_wakePipe[1] >= 0) {
        const char c = 1;
        [[maybe_unused]] ssize_t n = write(m_wakePipe[1], &c, 1);
    }
}

// --- sending ---

ReaderSim::Bytes ReaderSim::unsolicited(const Bytes &body)
{
    // F5, N, b0..b(N-1) with the last the check byte, FA; N itself is not summed.
    Bytes f;
    f.push_back(StartByte);
    f.push_back(static_cast<std::uint8_t>(body.size() + 1));
    f.insert(f.end(), body.begin(), body.end());
    f.push_back(negSum(body.data(), body.size()));
    f.push_back(End);
    return f;
}

void ReaderSim::writeNow(Bytes frame)
{
    std::lock_guard wl(m_writeMutex);
    {
        std::lock_guard lock(m_mutex);
        if (m_corruptIndex != -2 && !frame.empty()) {
            std::size_t i = m_corruptIndex == -1 ? (frame.size() >= 2 ? frame.size() - 2 : 0)
                                                 : static_cast<std::size_t>(m_corruptIndex);
            if (i < frame.size())
                frame[i] = static_cast<std::uint8_t>(~frame[i]);
            m_corruptIndex = -2;
        }
    }
    std::size_t done = 0;
    while (done < frame.size() && m_master >= 0) {
        const ssize_t n = write(m_master, frame.data() + done, frame.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else if (n < 0 && (errno == EINTR || errno == EAGAIN)) {
            if (errno == EAGAIN) {
                pollfd p{m_master, POLLOUT, 0};
                poll(&p, 1, 50);
            }
        } else {
            break;
        }
    }
}

void ReaderSim::queueOut(Bytes frame)
{
    int delay;
    {
        std::lock_guard lock(m_mutex);
        if (m_silent)
            return;
        delay = m_nextDelay >= 0 ? m_nextDelay : m_replyDelay;
        if (delay > 0) {
            m_out.push_back(
                {std::chrono::steady_clock::now() + std::chrono::milliseconds(delay), frame});
        }
    }
    if (delay > 0)
        wake();
    else
        writeNow(std::move(frame));
}

ReaderSim::SteadyTime ReaderSim::SendCard(int code)
{
    writeNow(unsolicited({0x00, 0x00, static_cast<std::uint8_t>(code >> 16),
                          static_cast<std::uint8_t>(code >> 8), static_cast<std::uint8_t>(code)}));
    return std::chrono::steady_clock::now();
}

void ReaderSim::SendStoredCard(int code, bool offline, int mode, const Time &t)
{
    const std::uint8_t modeByte =
        static_cast<std::uint8_t>((mode & 0x7F) | (offline ? 0x80 : 0x00));
    SendStoredCardPacked(code, modeByte, PackTime(t));
}

void ReaderSim::SendStoredCardPacked(int code, std::uint8_t modeByte, std::uint32_t packed)
{
    writeNow(unsolicited({modeByte, static_cast<std::uint8_t>(packed >> 24),
                          static_cast<std::uint8_t>(packed >> 16),
                          static_cast<std::uint8_t>(packed >> 8), static_cast<std::uint8_t>(packed),
                          0x00, 0x00, static_cast<std::uint8_t>(code >> 16),
                          static_cast<std::uint8_t>(code >> 8), static_cast<std::uint8_t>(code)}));
}

void ReaderSim::SendAnswer(char c)
{
    writeNow(unsolicited({static_cast<std::uint8_t>(c)}));
}

void ReaderSim::SendExitButton()
{
    SendAnswer('P');
}

void ReaderSim::SendExitReleased()
{
    SendAnswer('p');
}

void ReaderSim::SendPowerUp()
{
    SendAnswer('R');
}

void ReaderSim::SendTimeRequest()
{
    SendAnswer('C');
}

void ReaderSim::SendRaw(const Bytes &bytes)
{
    writeNow(bytes);
}

void ReaderSim::reply(const Bytes &whole)
{
    Bytes payload = whole;
    if (m_spoiling) {
        m_spoiling = false;
        switch (m_spoil.kind) {
        case Spoil::Late: {
            std::lock_guard lock(m_mutex);
            m_nextDelay = (m_nextDelay >= 0 ? m_nextDelay : m_replyDelay) + m_spoil.ms;
            break;
        }
        case Spoil::Cut:
            payload.resize(std::min(payload.size(), m_spoil.keep));
            break;
        case Spoil::Other:
            reply(m_spoil.other);
            if (!m_spoil.thenReal)
                return;
            break;
        }
    }
    // F5, LEN, payload, CHK, FA with LEN + payload + CHK = 0 modulo 256.
    Bytes f;
    const auto len = static_cast<std::uint8_t>(payload.size() + 2);
    f.push_back(StartByte);
    f.push_back(len);
    f.insert(f.end(), payload.begin(), payload.end());
    f.push_back(negSum(payload.data(), payload.size(), len));
    f.push_back(End);
    queueOut(std::move(f));
}

void ReaderSim::replyLong(const Bytes &data)
{
    Bytes f;
    f.push_back(StartByte);
    f.push_back(0x00);
    f.insert(f.end(), data.begin(), data.end());
    f.push_back(negSum(data.data(), data.size()));
    f.push_back(End);
    queueOut(std::move(f));
}

void ReaderSim::answer(char c)
{
    queueOut(unsolicited({static_cast<std::uint8_t>(c)}));
}

// --- behaviour and stored data ---

void ReaderSim::SetSilent(bool silent)
{
    std::lock_guard lock(m_mutex);
    m_silent = silent;
}

void ReaderSim::SkipTextReplies(int n)
{
    std::lock_guard lock(m_mutex);
    m_textRepliesToSkip = n;
}

void ReaderSim::LeaveModelQueriesUnanswered(int n)
{
    std::lock_guard lock(m_mutex);
    m_modelQueriesToSkip = n;
}

void ReaderSim::RefuseCardAdds(int k)
{
    std::lock_guard lock(m_mutex);
    m_addsToRefuse = k;
}

void ReaderSim::SetReplyDelay(int ms)
{
    std::lock_guard lock(m_mutex);
    m_replyDelay = ms;
}

void ReaderSim::CorruptNextByte(int index)
{
    std::lock_guard lock(m_mutex);
    m_corruptIndex = index < 0 ? -1 : index;
}

void ReaderSim::SetModel(Model model)
{
    std::lock_guard lock(m_mutex);
    m_model = model;
}

void ReaderSim::SetAddress(std::uint8_t address)
{
    std::lock_guard lock(m_mutex);
    m_address = address;
}

void ReaderSim::SetTextAnswersGood(bool good)
{
    std::lock_guard lock(m_mutex);
    m_textGood = good;
}

void ReaderSim::SetSilentAfter(int frames)
{
    std::lock_guard lock(m_mutex);
    m_answerBudget = frames;
}

void ReaderSim::SetCountDrift(int delta)
{
    std::lock_guard lock(m_mutex);
    m_countDrift = delta;
    m_capacityQueries = 0;
}

void ReaderSim::SetBadFetches(int record, int times)
{
    std::lock_guard lock(m_mutex);
    m_badFetches[record] = times;
}

void ReaderSim::SetCommandDelay(std::uint8_t command, int ms)
{
    std::lock_guard lock(m_mutex);
    if (ms < 0)
        m_commandDelays.erase(command);
    else
        m_commandDelays[command] = ms;
}

void ReaderSim::SpoilReplies(std::uint8_t command, int record, const Spoil &spoil, int times)
{
    std::lock_guard lock(m_mutex);
    m_spoils.push_back({command, record, spoil, times});
}

void ReaderSim::AddLog(std::uint8_t firstByte, int card, std::uint32_t packed)
{
    std::lock_guard lock(m_mutex);
    m_logs.push_back({firstByte, static_cast<std::uint8_t>(card >> 16),
                      static_cast<std::uint8_t>(card >> 8), static_cast<std::uint8_t>(card),
                      static_cast<std::uint8_t>(packed), static_cast<std::uint8_t>(packed >> 8),
                      static_cast<std::uint8_t>(packed >> 16),
                      static_cast<std::uint8_t>(packed >> 24)});
}

void ReaderSim::SetLogCapacity(int capacity)
{
    std::lock_guard lock(m_mutex);
    m_logCapacity = capacity;
}

void ReaderSim::SetAccessCapacity(int capacity)
{
    std::lock_guard lock(m_mutex);
    m_accessCapacity = capacity;
}

std::vector<std::array<std::uint8_t, 8>> ReaderSim::Logs() const
{
    std::lock_guard lock(m_mutex);
    return m_logs;
}

void ReaderSim::SetSetting(std::uint8_t number, const Bytes &value)
{
    std::lock_guard lock(m_mutex);
    m_settings[number] = value;
}

ReaderSim::Bytes ReaderSim::Setting(std::uint8_t number) const
{
    std::lock_guard lock(m_mutex);
    const auto it = m_settings.find(number);
    return it != m_settings.end() ? it->second : defaultSetting(number);
}

ReaderSim::Bytes ReaderSim::AccessPage(int page) const
{
    std::lock_guard lock(m_mutex);
    const auto it = m_accessPages.find(page);
    return it != m_accessPages.end() ? it->second : Bytes(PageBytes, 0xFF);
}

std::vector<int> ReaderSim::Cards() const
{
    std::lock_guard lock(m_mutex);
    return m_cards;
}

long long ReaderSim::clockNowSeconds() const
{
    const auto run = std::chrono::duration_cast<std::chrono::seconds>(
        std::chrono::steady_clock::now() - m_clockSetAt);
    return m_clockBase + run.count();
}

ReaderSim::Time ReaderSim::ClockNow() const
{
    std::lock_guard lock(m_mutex);
    return fromSeconds(clockNowSeconds());
}

void ReaderSim::SetClock(const Time &t)
{
    std::lock_guard lock(m_mutex);
    m_clockBase = toSeconds(t);
    m_clockSetAt = std::chrono::steady_clock::now();
}

std::vector<ReaderSim::Frame> ReaderSim::Received() const
{
    std::lock_guard lock(m_mutex);
    return m_frames;
}

ReaderSim::Bytes ReaderSim::RawReceived() const
{
    std::lock_guard lock(m_mutex);
    return m_raw;
}

void ReaderSim::ClearReceived()
{
    std::lock_guard lock(m_mutex);
    m_frames.clear();
    m_raw.clear();
}

bool ReaderSim::WaitForFrames(std::size_t count, int timeoutMs) const
{
    std::unique_lock lock(m_mutex);
    return m_received.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                               [&] { return m_frames.size() >= count; });
}

// --- the reader's thread ---

void ReaderSim::run()
{
    std::uint8_t buf[4096];
    for (;;) {
        int timeout = -1;
        std::vector<Bytes> due;
        {
            std::lock_guard lock(m_mutex);
            if (m_stop)
                break;
            const auto now = std::chrono::steady_clock::now();
            for (auto it = m_out.begin(); it != m_out.end();) {
                if (it->due <= now) {
                    due.push_back(std::move(it->bytes));
                    it = m_out.erase(it);
                } else {
                    const auto ms =
                        std::chrono::duration_cast<std::chrono::milliseconds>(it->due - now)
                            .count() +
                        1;
                    timeout = timeout < 0 ? int(ms) : std::min(timeout, int(ms));
                    ++it;
                }
            }
        }
        for (Bytes &b : due)
            writeNow(std::move(b));
        if (!due.empty())
            continue;

        pollfd fds[2] = {{m_master, POLLIN, 0}, {m_wakePipe[0], POLLIN, 0}};
        const int r = poll(fds, 2, timeout);
        if (r < 0 && errno != EINTR)
            break;
        if (fds[1].revents & POLLIN) {
            while (read(m_wakePipe[0], buf, sizeof buf) > 0) {
            }
        }
        if (fds[0].revents & POLLIN) {
            const ssize_t n = read(m_master, buf, sizeof buf);
            if (n > 0) {
                {
                    std::lock_guard lock(m_mutex);
                    m_raw.insert(m_raw.end(), buf, buf + n);
                }
                for (ssize_t i = 0; i < n; ++i)
                    onByte(buf[i]);
            }
        }
    }
}

void ReaderSim::finishFrame(Frame f)
{
    m_rx = RxState::Idle;
    m_frame.clear();
    f.at = std::chrono::steady_clock::now();
    const Frame copy = f;
    bool answer = true;
    {
        std::lock_guard lock(m_mutex);
        m_frames.push_back(std::move(f));
        m_nextDelay = -1;
        m_spoiling = false;
        if (m_answerBudget == 0)
            answer = false;
        else if (m_answerBudget > 0)
            --m_answerBudget;
    }
    m_received.notify_all();
    if (!copy.good || !answer)
        return;
    switch (copy.kind) {
    case Frame::Command:
        handleCommand(copy.payload);
        break;
    case Frame::Data:
        handleData(copy.payload);
        break;
    case Frame::Text:
        handleText(copy.payload);
        break;
    }
}

void ReaderSim::onByte(std::uint8_t b)
{
    switch (m_rx) {
    case RxState::Idle:
        if (b == StartByte) {
            m_frame = {b};
            if (m_expectData) {
                m_expectData = false;
                m_need = PageBytes + 2; // data, check byte, end byte
                m_rx = RxState::DataBody;
            } else {
                m_rx = RxState::Length;
            }
        } else if (b == Tilde) {
            m_frame = {b};
            m_rx = RxState::TextSecond;
        }
        // envelope bytes FF and anything else between frames are skipped
        return;

    case RxState::Length:
        m_frame.push_back(b);
        if (b < 2) {
            Frame f;
            f.kind = Frame::Command;
            f.wire = m_frame;
            finishFrame(std::move(f));
            return;
        }
        m_need = b; // LEN-2 payload bytes, the check byte, the end byte
        m_rx = RxState::Body;
        return;

    case RxState::Body:
        m_frame.push_back(b);
        if (--m_need == 0) {
            Frame f;
            f.kind = Frame::Command;
            f.wire = m_frame;
            const std::size_t len = m_frame[1];
            unsigned sum = 0;
            for (std::size_t i = 1; i <= len; ++i)
                sum += m_frame[i];
            f.good = (sum & 0xFF) == 0 && m_frame.back() == End;
            f.payload.assign(m_frame.begin() + 2, m_frame.begin() + static_cast<long>(len));
            finishFrame(std::move(f));
        }
        return;

    case RxState::DataBody:
        m_frame.push_back(b);
        if (--m_need == 0) {
            Frame f;
            f.kind = Frame::Data;
            f.wire = m_frame;
            unsigned sum = 0;
            for (std::size_t i = 1; i <= PageBytes + 1; ++i)
                sum += m_frame[i];
            f.good = (sum & 0xFF) == 0 && m_frame.back() == End;
            f.payload.assign(m_frame.begin() + 1, m_frame.begin() + 1 + PageBytes);
            finishFrame(std::move(f));
        }
        return;

    case RxState::TextSecond:
        m_frame.push_back(b);
        if (b == Tilde) {
            m_rx = RxState::TextBody;
        } else {
            Frame f;
            f.kind = Frame::Text;
            f.wire = m_frame;
            finishFrame(std::move(f));
        }
        return;

    case RxState::TextBody: {
        // Bytes after the two tildes; the add-card command carries binary bytes that may
        // themselves be 7E, so it is read by its length.
        const std::size_t body = m_frame.size() - 2;
        m_frame.push_back(b);
        const bool addCard =
            body >= 1 && m_frame[2] == 'A' && m_frame.size() > 3 && m_frame[3] == 0x00;
        bool done = false;
        bool good = false;
        if (addCard) {
            if (body == 7) {
                done = true;
                good = b == Tilde;
            }
        } else if (b == Tilde) {
            done = true;
            good = body > 0;
        } else if (body > 16) {
            done = true;
        }
        if (done) {
            Frame f;
            f.kind = Frame::Text;
            f.wire = m_frame;
            f.good = good;
            // The command as the host wrote it, from its own leading "~".
            f.payload.assign(m_frame.begin() + 1, m_frame.end() - 1);
            finishFrame(std::move(f));
        }
        return;
    }
    }
}

void ReaderSim::handleCommand(const Bytes &p)
{
    if (p.size() < 2)
        return;
    std::uint8_t address;
    {
        std::lock_guard lock(m_mutex);
        address = m_address;
    }
    if (p[0] != address)
        return;
    const std::uint8_t cmd = p[1];
    {
        std::lock_guard lock(m_mutex);
        const auto it = m_commandDelays.find(cmd);
        m_nextDelay = it != m_commandDelays.end() ? it->second : -1;
    }
    auto arg = [&](std::size_t i) -> std::uint8_t { return i + 2 < p.size() ? p[i + 2] : 0; };
    auto word = [&](std::size_t i) -> int { return arg(i) | (arg(i + 1) << 8); };
    Bytes r = {address, cmd};
    {
        std::lock_guard lock(m_mutex);
        const bool logFetch = cmd == 0x04 && arg(0) == 0x00;
        for (auto it = m_spoils.begin(); it != m_spoils.end(); ++it) {
            if (it->command != cmd || (it->record >= 0 && (!logFetch || it->record != word(1))))
                continue;
            m_spoil = it->spoil;
            m_spoiling = true;
            if (--it->times <= 0)
                m_spoils.erase(it);
            break;
        }
    }

    switch (cmd) {
    case 0x00: // lock for host access
        r.push_back(arg(0));
        reply(r);
        break;
    case 0x01: { // get clock
        int weekday = 0;
        Time t;
        {
            std::lock_guard lock(m_mutex);
            t = fromSeconds(clockNowSeconds(), &weekday);
        }
        r.insert(r.end(),
                 {bcd(t.second), bcd(t.minute), bcd(t.hour), static_cast<std::uint8_t>(weekday + 1),
                  bcd(t.day), bcd(t.month), bcd(t.year % 100)});
        reply(r);
        break;
    }
    case 0x02: // set clock
        if (p.size() >= 9) {
            SetClock({2000 + unbcd(p[8]), unbcd(p[7]), unbcd(p[6]), unbcd(p[4]), unbcd(p[3]),
                      unbcd(p[2])});
        }
        reply(r);
        break;
    case 0x03: { // capacity and count
        int capacity, count;
        {
            std::lock_guard lock(m_mutex);
            if (arg(0) == 0x00) {
                capacity = m_logCapacity;
                count = static_cast<int>(m_logs.size()) + m_countDrift * m_capacityQueries++;
            } else {
                capacity = m_accessCapacity;
                count = 0;
                for (const auto &[page, bytes] : m_accessPages)
                    for (std::size_t k = 0; k < 12; ++k)
                        if (bytes[k * 22 + 1] != 0xFF || bytes[k * 22] != 0xFF)
                            ++count;
            }
        }
        r.insert(r.end(),
                 {arg(0), static_cast<std::uint8_t>(capacity),
                  static_cast<std::uint8_t>(capacity >> 8), static_cast<std::uint8_t>(count),
                  static_cast<std::uint8_t>(count >> 8)});
        reply(r);
        break;
    }
    case 0x04: { // fetch one record
        const int n = word(1);
        r.insert(r.end(), {arg(0), arg(1), arg(2)});
        {
            std::lock_guard lock(m_mutex);
            if (arg(0) == 0x00) {
                if (n < static_cast<int>(m_logs.size())) {
                    r.insert(r.end(), m_logs[n].begin(), m_logs[n].end());
                    const auto bad = m_badFetches.find(n);
                    if (bad != m_badFetches.end() && bad->second > 0) {
                        --bad->second;
                        std::fill(r.end() - 4, r.end(), std::uint8_t(0));
                    }
                } else
                    r.insert(r.end(), 8, 0xFF);
            } else {
                const auto it = m_accessPages.find(n / 12);
                if (it != m_accessPages.end())
                    r.insert(r.end(), it->second.begin() + (n % 12) * 22,
                             it->second.begin() + (n % 12) * 22 + 22);
                else
                    r.insert(r.end(), 22, 0xFF);
            }
        }
        reply(r);
        break;
    }
    case 0x05: // clear the logs
    {
        std::lock_guard lock(m_mutex);
        m_logs.clear();
    }
        reply(r);
        break;
    case 0x07: { // get a setting
        const std::uint8_t n = arg(0);
        Bytes v = Setting(n);
        if ((n == 0x04 || n == 0x08 || n == 0x09) && v.size() < 2)
            v.resize(2, 0);
        r.push_back(n);
        r.insert(r.end(), v.begin(), v.end());
        reply(r);
        break;
    }
    case 0x08: // set a setting
        if (p.size() >= 3) {
            SetSetting(p[2], Bytes(p.begin() + 3, p.end()));
            r.push_back(p[2]);
        }
        reply(r);
        break;
    case 0x09: // write a page: the page follows as a raw data frame
        m_expectData = true;
        {
            std::lock_guard lock(m_mutex);
            m_pendingPage = word(1);
        }
        r.insert(r.end(), {arg(0), arg(1), arg(2)});
        reply(r);
        break;
    case 0x0A: { // read a page as the long reply
        const int page = word(1);
        Bytes data(PageBytes, 0xFF);
        {
            std::lock_guard lock(m_mutex);
            if (arg(0) == 0x00) {
                for (int k = 0; k < 33; ++k) {
                    const std::size_t i = static_cast<std::size_t>(page) * 33 + k;
                    if (i < m_logs.size())
                        std::copy(m_logs[i].begin(), m_logs[i].end(), data.begin() + k * 8);
                }
            } else {
                const auto it = m_accessPages.find(page);
                if (it != m_accessPages.end())
                    data = it->second;
            }
        }
        replyLong(data);
        break;
    }
    case 0x0B: // action: no reply
    default:
        break;
    }
}

void ReaderSim::handleData(const Bytes &data)
{
    int page;
    std::uint8_t address;
    {
        std::lock_guard lock(m_mutex);
        page = m_pendingPage;
        address = m_address;
        m_accessPages[page] = data;
    }
    reply({address, 0x09, 0x00});
}

void ReaderSim::handleText(const Bytes &cmd)
{
    // cmd begins with the command's own "~".
    if (cmd.size() < 2)
        return;
    bool good;
    Model model;
    {
        std::lock_guard lock(m_mutex);
        good = m_textGood;
        model = m_model;
    }
    const std::uint8_t c = cmd[1];
    {
        // Only the commands that draw an answer can miss it.
        const bool answered = (c == '@' && cmd.size() == 2) ||
                              (c == 'C' && cmd.size() == 3 && cmd[2] == 'C') ||
                              (c == 'A' && cmd.size() == 8);
        std::lock_guard lock(m_mutex);
        if (answered && m_textRepliesToSkip > 0) {
            --m_textRepliesToSkip;
            return;
        }
        if (c == '@' && answered && m_modelQueriesToSkip > 0) {
            --m_modelQueriesToSkip;
            return;
        }
    }
    if (c == '@' && cmd.size() == 2) {
        answer(model == Model::DL317 ? '0' : model == Model::RB58 ? '1' : '2');
    } else if (c == 'C' && cmd.size() == 3 && cmd[2] == 'C') {
        if (good) {
            std::lock_guard lock(m_mutex);
            m_cards.clear();
        }
        answer(good ? 'G' : 'B');
    } else if (c == 'A' && cmd.size() == 8) {
        const int card = (cmd[4] << 16) | (cmd[5] << 8) | cmd[6];
        const bool sumOk = ((cmd[4] + cmd[5] + cmd[6] + cmd[7]) & 0xFF) == 0;
        bool stored = good && sumOk;
        {
            std::lock_guard lock(m_mutex);
            if (stored && m_addsToRefuse > 0) {
                --m_addsToRefuse;
                stored = false;
            }
            if (stored)
                m_cards.push_back(card);
        }
        answer(stored ? 'G' : 'B');
    }
    // "~Y"d, "~y", "~A", "~N" draw no answer.
}
