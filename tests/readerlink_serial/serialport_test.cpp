// The serial component over real pseudo-terminals: opening, line settings, the hand-over of
// received bytes to the main thread, writes, closing under load and a far end that hangs up.

#include "readerlink/serialport.h"
#include "readerlink/serialport_posix.h"
#include "store/settings.h"
#include "testsupport/pty.h"
#include "testsupport/tempsettings.h"
#include "testsupport/spin.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <gtest/gtest.h>

#include <cerrno>
#include <termios.h>

#include <cerrno>
#include <functional>
#include <string>
#include <termios.h>
#include <thread>

namespace {

using namespace std::chrono_literals;

// A port that records what its notifications saw, as a descendant would.
class RecordingPort : public TCustomSerialPort
{
public:
    std::string received;
    int rxCalls = 0;
    int errorCalls = 0;
    TSerialErrors lastErrors;
    bool offMainThread = false;
    bool readInRxChar = true;
    std::function<void()> inRxChar;

protected:
    void DoRxChar(int count) override
    {
        ++rxCalls;
        if (QThread::currentThread() != QCoreApplication::instance()->thread())
            offMainThread = true;
        if (readInRxChar) {
            QByteArray bytes;
            ReadStr(bytes, count);
            received.append(bytes.constData(), std::size_t(bytes.size()));
        }
        if (inRxChar)
            inRxChar();
        TCustomSerialPort::DoRxChar(count);
    }
    void DoError(TSerialErrors errors) override
    {
        ++errorCalls;
        lastErrors = errors;
        TCustomSerialPort::DoError(errors);
    }
};

class SerialPortTest : public TempSettingsTest
{
protected:
    void SetUp() override
    {
        TempSettingsTest::SetUp();
        ASSERT_TRUE(pty.Ok());
        port.SetPort(QString::fromStdString(pty.SlavePath()));
        port.SetBaudRate(br19200);
    }
    // Lets a queued hand-over reach the main thread's queue without handling it.
    static void letEventThreadRun() { std::this_thread::sleep_for(50ms); }
    // Waits, without turning the event loop, until the device holds n bytes.
    bool waitUntilQueued(int n)
    {
        for (int i = 0; i < 300; ++i) {
            if (port.InputCount() >= n)
                return true;
            std::this_thread::sleep_for(10ms);
        }
        return false;
    }

    PtyPair pty;
    RecordingPort port;
};

} // namespace

TEST(SerialErrorTest, TextsCarryTheRowAndTheErrorNumber)
{
    struct Row
    {
        int index;
        int code;
        const char *text;
    };
    const Row rows[] = {
        {1, 2, "Unable to open com port (win error code: 2)"},
        {2, 5, "WriteFile function failed (win error code: 5)"},
        {7, -1, "SetCommState function failed"},
        {12, 25, "EscapeCommFunction function failed (win error code: 25)"},
        {14, -1, "Cannot set property while connected"},
        {22, -1, "A component is linked to OnRxBuf event"},
        {23, -1, "Registry error"},
    };
    for (const Row &r : rows) {
        const ESerialPort e(r.index, r.code);
        EXPECT_STREQ(e.what(), r.text) << "row " << r.index;
        EXPECT_EQ(e.ErrorIndex(), r.index);
        EXPECT_EQ(e.SystemError(), r.code);
    }
    for (int i = 1; i <= 23; ++i)
        EXPECT_FALSE(ESerialPort::Text(i).isEmpty()) << "row " << i;
}

TEST_F(SerialPortTest, DevicePathOfPortNames)
{
    WriteRegString(QStringLiteral("COM2Device"), QStringLiteral("/dev/ttyUSB0"));
    struct Row
    {
        const char *port;
        const char *device;
    };
    const Row rows[] = {
        {"COM1", "/dev/ttyS0"},           {"COM8", "/dev/ttyS7"}, {"COM2", "/dev/ttyUSB0"},
        {"/dev/ttyACM0", "/dev/ttyACM0"}, {"COM0", "COM0"},
    };
    for (const Row &r : rows)
        EXPECT_EQ(TCustomSerialPort::DevicePath(QString::fromLatin1(r.port)),
                  QString::fromLatin1(r.device))
            << r.port;
}

TEST_F(SerialPortTest, OpeningAMissingDeviceRaisesRowOneWithTheErrorNumber)
{
    // Both a path and a COM name whose device setting points nowhere.
    WriteRegString(QStringLiteral("COM3Device"), QStringLiteral("/dev/no-such-tty"));
    for (const char *name : {"/dev/no-such-tty", "COM3"}) {
        TCustomSerialPort missing;
        missing.SetPort(QString::fromLatin1(name));
        try {
            missing.SetConnected(true);
            ADD_FAILURE() << name << " opened";
        } catch (const ESerialPort &e) {
            EXPECT_EQ(e.ErrorIndex(), 1);
            EXPECT_EQ(e.SystemError(), ENOENT);
            EXPECT_EQ(e.Message(),
                      QStringLiteral("Unable to open com port (win error code: %1)").arg(ENOENT));
        }
        EXPECT_FALSE(missing.Connected()) << name;
    }
}

TEST_F(SerialPortTest, ConnectingTwiceOpensOnce)
{
    int beforeOpen = 0, afterOpen = 0, afterClose = 0;
    port.OnBeforeOpen = [&](TCustomSerialPort *) { ++beforeOpen; };
    port.OnAfterOpen = [&](TCustomSerialPort *) { ++afterOpen; };
    port.OnAfterClose = [&](TCustomSerialPort *) { ++afterClose; };
    port.SetConnected(true);
    port.SetConnected(true);
    EXPECT_TRUE(port.Connected());
    EXPECT_EQ(beforeOpen, 1);
    EXPECT_EQ(afterOpen, 1);
    port.SetConnected(false);
    port.SetConnected(false);
    EXPECT_FALSE(port.Connected());
    EXPECT_EQ(afterClose, 1);
}

TEST_F(SerialPortTest, BufferSizesAreEven)
{
    struct Row
    {
        int set;
        int stored;
    };
    for (const Row &r : {Row{1025, 1024}, Row{1023, 1022}, Row{2048, 2048}, Row{1, 0}}) {
        port.Buffer()->SetInputSize(r.set);
        port.Buffer()->SetOutputSize(r.set);
        EXPECT_EQ(port.Buffer()->InputSize(), r.stored) << r.set;
        EXPECT_EQ(port.Buffer()->OutputSize(), r.stored) << r.set;
    }
}

TEST_F(SerialPortTest, SyncMethodCannotChangeWhileOpen)
{
    port.Open();
    try {
        port.SetSyncMethod(smNone);
        ADD_FAILURE() << "changed while open";
    } catch (const ESerialPort &e) {
        EXPECT_EQ(e.ErrorIndex(), 14);
        EXPECT_EQ(e.SystemError(), -1);
        EXPECT_STREQ(e.what(), "Cannot set property while connected");
    }
    EXPECT_EQ(port.SyncMethod(), smThreadSync);
    port.SetSyncMethod(smThreadSync); // unchanged: no error
    port.Close();
    port.SetSyncMethod(smWindowSync);
    EXPECT_EQ(port.SyncMethod(), smWindowSync);
}

TEST_F(SerialPortTest, FlowControlReadsAndWritesTheFourSwitches)
{
    TSerialFlowControl &f = *port.FlowControl();
    EXPECT_EQ(f.FlowControl(), fcNone);
    for (TFlowControl value : {fcHardware, fcSoftware, fcNone}) {
        f.SetFlowControl(value);
        EXPECT_EQ(f.FlowControl(), value);
    }
    f.SetFlowControl(fcHardware);
    EXPECT_EQ(f.ControlRTS(), rtsHandshake);
    EXPECT_TRUE(f.OutCTSFlow());
    f.SetXonXoffIn(true);
    EXPECT_EQ(f.FlowControl(), fcCustom);
    f.SetFlowControl(fcCustom); // keeps the switches as they are
    EXPECT_TRUE(f.XonXoffIn());
    EXPECT_TRUE(f.OutCTSFlow());
    f.SetFlowControl(fcSoftware);
    EXPECT_EQ(f.ControlRTS(), rtsDisable);
    EXPECT_FALSE(f.OutCTSFlow());
    EXPECT_TRUE(f.XonXoffIn() && f.XonXoffOut());
}

TEST(SerialTermiosTest, LineSettingsMapToTermios)
{
    struct Row
    {
        const char *name;
        SerialPosix::LineSettings line;
        speed_t speed;
        tcflag_t cflagSet;   // these c_cflag bits must be on
        tcflag_t cflagClear; // and these off
        tcflag_t iflag;      // the input flags of parity checking and Xon/Xoff
    };
    using L = SerialPosix::LineSettings;
    const auto line = [](int baud, int data, TParityBits parity, bool check, TStopBits stop,
                         bool hardware, bool xon) {
        L l;
        l.baudRate = baud;
        l.dataBits = data;
        l.parity = parity;
        l.parityCheck = check;
        l.stopBits = stop;
        l.hardwareFlow = hardware;
        l.xonXoffIn = l.xonXoffOut = xon;
        return l;
    };
    const Row rows[] = {
        {"19200 8N1", line(19200, 8, prNone, false, sbOneStopBit, false, false), B19200, CS8,
         PARENB | CSTOPB | CRTSCTS, 0},
        {"9600 7E2 checked", line(9600, 7, prEven, true, sbTwoStopBits, false, false), B9600,
         CS7 | PARENB | CSTOPB, PARODD | CMSPAR, INPCK},
        {"115200 8O1 hardware", line(115200, 8, prOdd, false, sbOneStopBit, true, false), B115200,
         CS8 | PARENB | PARODD | CRTSCTS, CMSPAR | CSTOPB, 0},
        {"1200 5M1.5 software", line(1200, 5, prMark, false, sbOne5StopBits, false, true), B1200,
         CS5 | PARENB | PARODD | CMSPAR | CSTOPB, CRTSCTS, IXON | IXOFF},
        {"300 6S1", line(300, 6, prSpace, false, sbOneStopBit, false, false), B300,
         CS6 | PARENB | CMSPAR, PARODD, 0},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.name);
        // Start from a cooked terminal, as a freshly opened device may be.
        termios t{};
        t.c_iflag = ICRNL | IXON | ISTRIP;
        t.c_oflag = OPOST | ONLCR;
        t.c_lflag = ICANON | ECHO | ISIG | IEXTEN;
        t.c_cflag = CS7 | PARENB | HUPCL;
        ASSERT_EQ(SerialPosix::BuildTermios(r.line, &t), 0);
        EXPECT_EQ(cfgetospeed(&t), r.speed);
        EXPECT_EQ(cfgetispeed(&t), r.speed);
        EXPECT_EQ(t.c_cflag & CSIZE, r.cflagSet & CSIZE);
        EXPECT_EQ(t.c_cflag & (r.cflagSet & ~CSIZE), r.cflagSet & ~CSIZE);
        EXPECT_EQ(t.c_cflag & r.cflagClear, 0u);
        EXPECT_EQ(t.c_iflag & (IXON | IXOFF | INPCK), r.iflag);
        EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
        EXPECT_EQ(t.c_iflag & (ICRNL | ISTRIP), 0u);
        EXPECT_EQ(t.c_oflag & OPOST, 0u);
        EXPECT_EQ(t.c_cflag & (CREAD | CLOCAL), tcflag_t(CREAD | CLOCAL));
    }
    L unknownRate;
    unknownRate.baudRate = 14400;
    termios t{};
    EXPECT_EQ(SerialPosix::BuildTermios(unknownRate, &t), EINVAL);
}

TEST_F(SerialPortTest, TheReadersLineReachesTheDevice)
{
    // A pseudo-terminal keeps the rate, stop bits, flow control and raw mode (not parity or
    // data bits, which it has not got).
    struct Row
    {
        const char *name;
        TBaudRate baud;
        TStopBits stop;
        TFlowControl flow;
        speed_t speed;
        tcflag_t cflag; // of CSTOPB | CRTSCTS
        tcflag_t iflag; // of IXON | IXOFF
    };
    const Row rows[] = {
        {"19200 8N1", br19200, sbOneStopBit, fcNone, B19200, 0, 0},
        {"9600 two stop bits, hardware", br9600, sbTwoStopBits, fcHardware, B9600, CSTOPB | CRTSCTS,
         0},
        {"115200 software", br115200, sbOneStopBit, fcSoftware, B115200, 0, IXON | IXOFF},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.name);
        port.SetBaudRate(r.baud);
        port.SetDataBits(dbEight);
        port.Parity()->SetBits(prNone);
        port.SetStopBits(r.stop);
        port.FlowControl()->SetFlowControl(r.flow);
        port.Open();
        termios t{};
        ASSERT_EQ(tcgetattr(pty.Slave(), &t), 0);
        EXPECT_EQ(cfgetospeed(&t), r.speed);
        EXPECT_EQ(cfgetispeed(&t), r.speed);
        EXPECT_EQ(t.c_cflag & CSIZE, tcflag_t(CS8));
        EXPECT_EQ(t.c_cflag & PARENB, 0u);
        EXPECT_EQ(t.c_cflag & (CSTOPB | CRTSCTS), r.cflag);
        EXPECT_EQ(t.c_iflag & (IXON | IXOFF), r.iflag);
        EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
        EXPECT_EQ(t.c_iflag & (ICRNL | INLCR | IGNCR | ISTRIP), 0u);
        EXPECT_EQ(t.c_oflag & OPOST, 0u);
        port.Close();
    }
}

TEST_F(SerialPortTest, SettersReapplyToAnOpenPortOnlyOnChange)
{
    port.Open();
    termios t{};
    ASSERT_EQ(tcgetattr(pty.Slave(), &t), 0);
    // Change the device behind the component's back: an unchanged value must not re-apply.
    cfsetospeed(&t, B2400);
    cfsetispeed(&t, B2400);
    ASSERT_EQ(tcsetattr(pty.Slave(), TCSANOW, &t), 0);
    port.SetBaudRate(br19200);
    port.Parity()->SetBits(prNone);
    ASSERT_EQ(tcgetattr(pty.Slave(), &t), 0);
    EXPECT_EQ(cfgetospeed(&t), speed_t(B2400));

    port.SetBaudRate(br38400);
    ASSERT_EQ(tcgetattr(pty.Slave(), &t), 0);
    EXPECT_EQ(cfgetospeed(&t), speed_t(B38400));
    port.SetStopBits(sbTwoStopBits);
    ASSERT_EQ(tcgetattr(pty.Slave(), &t), 0);
    EXPECT_TRUE(t.c_cflag & CSTOPB);
    port.FlowControl()->SetOutCTSFlow(true);
    ASSERT_EQ(tcgetattr(pty.Slave(), &t), 0);
    EXPECT_TRUE(t.c_cflag & CRTSCTS);
}

TEST_F(SerialPortTest, RatesTermiosLacksAreRefused)
{
    for (TBaudRate rate : {br14400, br56000, br128000, br256000}) {
        port.SetBaudRate(rate);
        try {
            port.Open();
            ADD_FAILURE() << "opened at rate " << rate;
        } catch (const ESerialPort &e) {
            EXPECT_EQ(e.ErrorIndex(), 7);
            EXPECT_EQ(e.SystemError(), EINVAL);
        }
        EXPECT_FALSE(port.Connected());
    }
    // A custom rate termios knows is taken.
    port.SetBaudRate(brCustom);
    port.SetCustomBaudRate(57600);
    port.Open();
    termios t{};
    ASSERT_EQ(tcgetattr(pty.Slave(), &t), 0);
    EXPECT_EQ(cfgetospeed(&t), speed_t(B57600));
}

TEST_F(SerialPortTest, ReceivedBytesArriveOnTheMainThreadInOrder)
{
    port.Open();
    std::string sent;
    for (int i = 0; i < 3000; ++i)
        sent.push_back(char(i * 7 % 256));
    std::thread farEnd([&] {
        // Chunks with pauses, so the bytes come in many hand-overs.
        for (std::size_t at = 0; at < sent.size(); at += 100) {
            pty.WriteMaster(sent.substr(at, 100));
            std::this_thread::sleep_for(1ms);
        }
    });
    const bool all = SpinUntil([&] { return port.received.size() >= sent.size(); }, 5000);
    farEnd.join();
    ASSERT_TRUE(all) << port.received.size() << " of " << sent.size();
    EXPECT_EQ(port.received, sent);
    EXPECT_FALSE(port.offMainThread);
    EXPECT_GT(port.rxCalls, 1);
}

TEST_F(SerialPortTest, NoNotificationWhenNothingIsQueued)
{
    int rxChar = 0;
    port.OnRxChar = [&](TCustomSerialPort *, int) { ++rxChar; };
    port.Open();
    ASSERT_TRUE(pty.WriteMaster("abc"));
    ASSERT_TRUE(waitUntilQueued(3));
    letEventThreadRun(); // the event is on its way to the main thread
    QByteArray taken;
    EXPECT_EQ(port.ReadStr(taken, 10), 3);
    SpinFor(100);
    EXPECT_EQ(port.rxCalls, 0);
    EXPECT_EQ(rxChar, 0);
    // The line is still watched.
    ASSERT_TRUE(pty.WriteMaster("d"));
    EXPECT_TRUE(SpinUntil([&] { return port.received == "d"; }, 3000));
    EXPECT_EQ(rxChar, 1);
}

TEST_F(SerialPortTest, BytesLeftUnreadAreReportedAgainOnlyWhenMoreArrive)
{
    port.readInRxChar = false;
    port.Open();
    ASSERT_TRUE(pty.WriteMaster("ab"));
    ASSERT_TRUE(SpinUntil([&] { return port.rxCalls == 1; }, 3000));
    SpinFor(150);
    EXPECT_EQ(port.rxCalls, 1); // not once per turn of the event loop
    ASSERT_TRUE(pty.WriteMaster("c"));
    ASSERT_TRUE(SpinUntil([&] { return port.rxCalls == 2; }, 3000));
    EXPECT_EQ(port.InputCount(), 3);
}

TEST_F(SerialPortTest, WritesReachTheFarEnd)
{
    port.Open();
    EXPECT_EQ(port.WriteStr(QByteArray("hello\x00\xff", 7)), 7);
    EXPECT_EQ(pty.ReadMaster(7, 1000), std::string("hello\x00\xff", 7));
    EXPECT_EQ(port.WriteStr(QByteArray()), 0);
    const char frame[] = {'\xf5', '\x04', '\x00', '\x45', '\xb7', '\xfa'};
    EXPECT_EQ(port.Write(frame, 6), 6);
    EXPECT_EQ(pty.ReadMaster(6, 1000), std::string(frame, 6));
    // More than the tty holds at once, with the far end reading slowly.
    const std::string big(20000, 'x');
    std::string got;
    std::thread farEnd([&] { got = pty.ReadMaster(big.size(), 5000); });
    EXPECT_EQ(port.WriteStr(QByteArray::fromStdString(big)), int(big.size()));
    farEnd.join();
    EXPECT_EQ(got, big);
}

TEST_F(SerialPortTest, WriteGivesUpAfterItsTimeout)
{
    port.Timeouts()->SetWriteTotalMultiplier(0);
    port.Timeouts()->SetWriteTotalConstant(200);
    port.Open();
    // Nobody reads the far end: the tty fills and the write ends at its limit.
    const std::string big(200000, 'x');
    QElapsedTimer timer;
    timer.start();
    // A write that did not get all its bytes out is a failure, never a short success.
    try {
        port.WriteStr(QByteArray::fromStdString(big));
        ADD_FAILURE() << "no ESerialPort";
    } catch (const ESerialPort &e) {
        EXPECT_EQ(e.Row(), SerialError::WriteFile);
        EXPECT_EQ(e.SystemError(), ETIMEDOUT);
    }
    EXPECT_GE(timer.elapsed(), 150);
    EXPECT_LT(timer.elapsed(), 2000);
}

// A line whose output is stopped (a wedged adapter): the few bytes of a command fit in the
// driver but never leave it.
TEST_F(SerialPortTest, StoppedLineFailsTheWriteAndSendsNothingLater)
{
    port.Timeouts()->SetWriteTotalMultiplier(2);
    port.Timeouts()->SetWriteTotalConstant(500);
    port.Open();
    ASSERT_EQ(::tcflow(pty.Slave(), TCOOFF), 0);
    QElapsedTimer timer;
    timer.start();
    EXPECT_THROW(port.WriteStr("~Y3"), ESerialPort);
    EXPECT_GE(timer.elapsed(), 450);
    EXPECT_LT(timer.elapsed(), 1500);
    // Known stalled now: the next command costs a glance, not another full wait.
    timer.restart();
    EXPECT_THROW(port.WriteStr("~Y3"), ESerialPort);
    EXPECT_LT(timer.elapsed(), 250);

    // The line comes back: what failed never arrives, and writes work again in full.
    ASSERT_EQ(::tcflow(pty.Slave(), TCOON), 0);
    EXPECT_EQ(pty.ReadMaster(3, 200), std::string());
    EXPECT_EQ(port.WriteStr("ok"), 2);
    EXPECT_EQ(pty.ReadMaster(2, 1000), std::string("ok"));
    EXPECT_EQ(port.WriteStr("again"), 5);
    EXPECT_EQ(pty.ReadMaster(5, 1000), std::string("again"));
}

TEST_F(SerialPortTest, ReadsFollowTheTimeouts)
{
    port.Open();
    QByteArray bytes;
    // Initial time-outs: at once, with what is queued.
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(port.ReadStr(bytes, 10), 0);
    EXPECT_TRUE(bytes.isEmpty());
    EXPECT_LT(timer.elapsed(), 50);
    ASSERT_TRUE(pty.WriteMaster("xyz"));
    ASSERT_TRUE(waitUntilQueued(3));
    EXPECT_EQ(port.ReadStr(bytes, 2), 2);
    EXPECT_EQ(bytes, QByteArray("xy"));
    EXPECT_EQ(port.ReadStr(bytes, 10), 1);
    EXPECT_EQ(bytes, QByteArray("z"));

    // A total limit: waits for the rest until it runs out.
    port.Timeouts()->SetReadInterval(0);
    port.Timeouts()->SetReadTotalConstant(200);
    ASSERT_TRUE(pty.WriteMaster("123"));
    ASSERT_TRUE(waitUntilQueued(3));
    timer.restart();
    EXPECT_EQ(port.ReadStr(bytes, 10), 3);
    EXPECT_GE(timer.elapsed(), 150);
    EXPECT_EQ(bytes, QByteArray("123"));
}

TEST_F(SerialPortTest, RtsOnADeviceWithoutModemLinesIsNoError)
{
    bool ctsReported = false;
    port.OnCTSChange = [&](TCustomSerialPort *, bool) { ctsReported = true; };
    port.Open(); // no modem-line error either
    EXPECT_NO_THROW(port.SetRTS(true));
    EXPECT_NO_THROW(port.SetRTS(false));
    EXPECT_FALSE(ctsReported);
    port.Close();
    EXPECT_TRUE(ctsReported); // closing reports the lines off
    try {
        port.SetRTS(true);
        ADD_FAILURE() << "RTS on a closed port";
    } catch (const ESerialPort &e) {
        EXPECT_EQ(e.ErrorIndex(), 12);
    }
}

TEST_F(SerialPortTest, ClosingWhileAHandOverIsPendingReturnsPromptly)
{
    port.Open();
    ASSERT_TRUE(pty.WriteMaster("pending"));
    ASSERT_TRUE(waitUntilQueued(7));
    letEventThreadRun(); // the event thread now waits for the main thread
    QElapsedTimer timer;
    timer.start();
    port.Close();
    EXPECT_LT(timer.elapsed(), 500);
    EXPECT_FALSE(port.Connected());
    // The hand-over left in the queue finds the port closed and does nothing.
    SpinFor(100);
    EXPECT_EQ(port.rxCalls, 0);
    // Reopened, the port serves new bytes and not the stale hand-over twice.
    port.Open();
    ASSERT_TRUE(pty.WriteMaster("new"));
    EXPECT_TRUE(SpinUntil([&] { return port.received == "new"; }, 3000));
}

TEST_F(SerialPortTest, ANotificationMayCloseOrReopenThePort)
{
    PtyPair other;
    ASSERT_TRUE(other.Ok());
    int afterOpen = 0;
    port.OnAfterOpen = [&](TCustomSerialPort *) { ++afterOpen; };
    port.Open();
    port.inRxChar = [&] { port.SetPort(QString::fromStdString(other.SlavePath())); };
    ASSERT_TRUE(pty.WriteMaster("1"));
    ASSERT_TRUE(SpinUntil([&] { return afterOpen == 2; }, 3000));
    EXPECT_TRUE(port.Connected());
    port.inRxChar = [&] { port.Close(); };
    ASSERT_TRUE(other.WriteMaster("2"));
    ASSERT_TRUE(SpinUntil([&] { return !port.Connected(); }, 3000));
    EXPECT_EQ(port.received, "12");
}

TEST_F(SerialPortTest, AFarEndThatHangsUpTakesTheErrorPath)
{
    port.Open();
    ASSERT_TRUE(pty.WriteMaster("x"));
    ASSERT_TRUE(SpinUntil([&] { return port.received == "x"; }, 3000));
    pty.CloseMaster();
    ASSERT_TRUE(SpinUntil([&] { return port.errorCalls > 0; }, 3000));
    EXPECT_TRUE(port.lastErrors & ceIO);
    SpinFor(100);
    EXPECT_EQ(port.errorCalls, 1); // reported once, not on every turn
    EXPECT_TRUE(port.Connected());
    try {
        port.WriteStr("gone");
        ADD_FAILURE() << "wrote to a device that hung up";
    } catch (const ESerialPort &e) {
        EXPECT_EQ(e.ErrorIndex(), 2);
        EXPECT_EQ(e.SystemError(), EIO);
    }
    QElapsedTimer timer;
    timer.start();
    EXPECT_NO_THROW(port.Close());
    EXPECT_LT(timer.elapsed(), 500);
    EXPECT_FALSE(port.Connected());
}

TEST_F(SerialPortTest, ChangingThePortOfAnOpenPortReopensIt)
{
    PtyPair other;
    ASSERT_TRUE(other.Ok());
    int afterClose = 0;
    port.OnAfterClose = [&](TCustomSerialPort *) { ++afterClose; };
    port.Open();
    port.SetPort(QString::fromStdString(other.SlavePath()));
    EXPECT_EQ(afterClose, 1);
    EXPECT_TRUE(port.Connected());
    EXPECT_EQ(port.WriteStr("to other"), 8);
    EXPECT_EQ(other.ReadMaster(8, 1000), "to other");
    EXPECT_EQ(pty.ReadMaster(1, 50), "");
}

TEST_F(SerialPortTest, EventPropertiesFireByDefault)
{
    TCustomSerialPort plain;
    plain.SetPort(QString::fromStdString(pty.SlavePath()));
    std::string viaBuf;
    int viaChar = 0;
    plain.OnRxChar = [&](TCustomSerialPort *sender, int count) {
        EXPECT_EQ(sender, &plain);
        viaChar += count;
    };
    plain.OnRxBuf = [&](TCustomSerialPort *, const char *buffer, int count) {
        viaBuf.append(buffer, std::size_t(count));
    };
    plain.Open();
    ASSERT_TRUE(pty.WriteMaster("card"));
    EXPECT_TRUE(SpinUntil([&] { return viaBuf == "card"; }, 3000));
    EXPECT_EQ(viaChar, 4);
}

TEST_F(SerialPortTest, AComNameOpensTheDeviceOfItsSetting)
{
    WriteRegString(QStringLiteral("COM4Device"), QString::fromStdString(pty.SlavePath()));
    port.SetPort(QStringLiteral("COM4"));
    port.Open();
    EXPECT_EQ(port.WriteStr("via COM4"), 8);
    EXPECT_EQ(pty.ReadMaster(8, 1000), "via COM4");
}

TEST_F(SerialPortTest, AWaitInsideANotificationDoesNotReenterIt)
{
    // A handler that waits with the event loop turning (as reply waits do) must not be
    // entered again by bytes of the same port: those wait until it returns.
    int depth = 0, deepest = 0;
    port.inRxChar = [&] {
        ++depth;
        deepest = std::max(deepest, depth);
        if (port.received == "a") {
            pty.WriteMaster("b");
            SpinFor(150);
        }
        --depth;
    };
    port.Open();
    ASSERT_TRUE(pty.WriteMaster("a"));
    ASSERT_TRUE(SpinUntil([&] { return port.received == "ab"; }, 3000));
    EXPECT_EQ(deepest, 1);
    EXPECT_EQ(port.rxCalls, 2);
}
