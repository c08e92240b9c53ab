#pragma once
// ESerialPort: a failure of the serial layer, with the row of its fixed, translatable text
// (catalog domain "serialport") and the system error number when there is one. Any thread.

#include <QString>
#include <stdexcept>

// The rows of the fixed texts, in their order (the numbers are what ErrorIndex() reports).
enum class SerialError : int
{
    OpenPort = 1,
    WriteFile,
    ReadFile,
    AsyncParameter,
    PurgeComm,
    AsyncStatus,
    SetCommState,
    SetCommTimeouts,
    SetupComm,
    ClearCommError,
    ModemStatus,
    EscapeComm,
    TransmitChar,
    SetWhileConnected,
    EnumPorts,
    StoreSettings,
    LoadSettings,
    LinkRegistration,
    LedState,
    EventThreadRunning,
    WaitForEvent,
    RxBufLinked,
    Registry,
};

class ESerialPort : public std::runtime_error
{
public:
    // systemError -1: no system error number is known (no suffix in the text).
    explicit ESerialPort(SerialError row, int systemError = -1)
        : ESerialPort(int(row), systemError)
    {
    }
    explicit ESerialPort(int errorIndex, int systemError = -1);

    int ErrorIndex() const { return m_errorIndex; }
    SerialError Row() const { return SerialError(m_errorIndex); }
    int SystemError() const { return m_systemError; }
    QString Message() const { return QString::fromUtf8(what()); }

    // The translated text of a row (1..23), with the error number suffix when one is given.
    static QString Text(int errorIndex, int systemError = -1);

private:
    int m_errorIndex;
    int m_systemError;
};

// Points the "serialport" catalog domain at <appPath>/locale; called once at start-up.
void BindSerialPortCatalog(const QString &appPath);
