#pragma once
// The termios, ioctl and poll work behind TCustomSerialPort. The functions act on one open
// descriptor and report failures as errno values (0 = done); SerialEventThread is the
// per-port thread that waits on the device. Only the serial component uses this file.

#include "readerlink/serialport.h"

#include <termios.h>

#include <atomic>
#include <functional>
#include <thread>

namespace SerialPosix {

// Line settings as termios can take them.
struct LineSettings
{
    int baudRate = 9600; // bits per second; must be one of the rates termios offers
    int dataBits = 8;
    TParityBits parity = prNone;
    bool parityCheck = false;
    TStopBits stopBits = sbOneStopBit;
    bool hardwareFlow = false; // CTS/RTS handshake
    bool xonXoffOut = false;
    bool xonXoffIn = false;
    char xonChar = 17;
    char xoffChar = 19;
    int dtr = -1; // -1 leaves the line as it is, 0 drops it, 1 raises it
    int rts = -1;
};

// Opens an existing device for reading and writing, non-blocking, not as controlling
// terminal, and asks the tty for exclusive use.
int OpenDevice(const QByteArray &path, int *fd);
void CloseDevice(int fd);
// Turns t into raw mode with the given settings (the other fields are left as they are).
int BuildTermios(const LineSettings &settings, termios *t);
// Raw mode with the given settings.
int ApplyLineSettings(int fd, const LineSettings &settings);
// Drops pending input and output.
int Purge(int fd);
int QueuedInput(int fd, int *count);
// Raises or drops a modem output line (TIOCM_RTS, TIOCM_DTR). A device without modem lines
// answers ENOTTY or EINVAL; that counts as done.
int SetModemLine(int fd, int line, bool on);
int SetRTS(int fd, bool on);

struct ModemLines
{
    bool present = false; // false: the device has no modem lines (a pseudo-terminal)
    bool cts = false;
    bool dsr = false;
    bool rlsd = false;
};
int ReadModemLines(int fd, ModemLines *lines);

// Writes count bytes and waits until the driver has sent them, at most timeoutMs in all
// (< 0: no limit). *written is what the device took. ETIMEDOUT when the limit passed before
// every byte was taken and sent.
// Drops what the driver still holds for output, so that it never goes out late.
int DiscardOutput(int fd);

int WriteBytes(int fd, const char *data, int count, int timeoutMs, int *written);

struct ReadTimeouts
{
    int interval = -1;
    int totalMultiplier = 0;
    int totalConstant = 0;
};
// Reads up to count bytes under the time-outs; *got is what was read.
int ReadBytes(int fd, char *data, int count, const ReadTimeouts &timeouts, int *got);

// Whether an error number means the device is gone (unplugged, hung up).
bool DeviceGone(int err);

// Waits on one open device and a wake descriptor, and calls deliver (blocking) with each
// set of events seen. Started and stopped by the component's thread.
class SerialEventThread
{
public:
    using Deliver = std::function<void(TSerialEvents events, TSerialErrors errors)>;

    // bytesRead counts what the component has read, so that bytes a handler leaves unread
    // are reported again only when more arrive.
    SerialEventThread(int fd, TSerialEvents mask, Deliver deliver,
                      const std::atomic<quint64> *bytesRead);
    ~SerialEventThread(); // stops
    SerialEventThread(const SerialEventThread &) = delete;
    SerialEventThread &operator=(const SerialEventThread &) = delete;

    int Start();
    // Wakes the thread and waits for it to end. The caller first releases a pending
    // delivery, or the thread cannot see the request.
    void Stop();
    // A write has gone out: report evTxEmpty.
    void NotifyTxEmpty();
    void SetRx80Level(int bytes) { m_rx80Level.store(bytes); }
    void SetParityCheck(bool on) { m_parityCheck.store(on); }

private:
    void run();
    void wake();

    int m_fd;
    TSerialEvents m_mask;
    Deliver m_deliver;
    const std::atomic<quint64> *m_bytesRead;
    int m_wakeFd = -1;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_txEmpty{false};
    std::atomic<int> m_rx80Level{820};
    std::atomic<bool> m_parityCheck{false};
};

} // namespace SerialPosix
