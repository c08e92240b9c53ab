#include "readerlink/serialerror.h"

#include <QDir>

#include <libintl.h>

#include <string>

// Marks a text for the template catalog; it is translated where it is used.
#define N_(text) text

namespace {
constexpr const char *kDomain = "serialport";

const char *const kTexts[] = {
    N_("Unable to open com port"),
    N_("WriteFile function failed"),
    N_("ReadFile function failed"),
    N_("Invalid Async parameter"),
    N_("PurgeComm function failed"),
    N_("Unable to get async status"),
    N_("SetCommState function failed"),
    N_("SetCommTimeouts failed"),
    N_("SetupComm function failed"),
    N_("ClearCommError function failed"),
    N_("GetCommModemStatus function failed"),
    N_("EscapeCommFunction function failed"),
    N_("TransmitCommChar function failed"),
    N_("Cannot set property while connected"),
    N_("EnumPorts function failed"),
    N_("Failed to store settings"),
    N_("Failed to load settings"),
    N_("Link (un)registration failed"),
    N_("Cannot change led state if the port is selected"),
    N_("Cannot wait for event if event thread is created"),
    N_("WaitForEvent method failed"),
    N_("A component is linked to OnRxBuf event"),
    N_("Registry error"),
};
constexpr int kTextCount = int(sizeof(kTexts) / sizeof(kTexts[0]));

std::string textOf(int errorIndex, int systemError)
{
    if (errorIndex < 1 || errorIndex > kTextCount)
        return {};
    std::string text = dgettext(kDomain, kTexts[errorIndex - 1]);
    if (systemError != -1) {
        // The suffix comes from the catalog too; a translation that drops %d or adds other
        // conversions must not be handed to snprintf.
        const std::string suffix = dgettext(kDomain, N_(" (win error code: %d)"));
        const std::size_t at = suffix.find("%d");
        if (at == std::string::npos || suffix.find('%', at + 2) != std::string::npos ||
            suffix.find('%') != at) {
            text += " (win error code: " + std::to_string(systemError) + ")";
        } else {
            text += suffix.substr(0, at) + std::to_string(systemError) + suffix.substr(at + 2);
        }
    }
    return text;
}
} // namespace

ESerialPort::ESerialPort(int errorIndex, int systemError)
    : std::runtime_error(textOf(errorIndex, systemError)), m_errorIndex(errorIndex),
      m_systemError(systemError)
{
}

QString ESerialPort::Text(int errorIndex, int systemError)
{
    return QString::fromStdString(textOf(errorIndex, systemError));
}

void BindSerialPortCatalog(const QString &appPath)
{
    const QByteArray dir = QDir(appPath).filePath(QStringLiteral("locale")).toLocal8Bit();
    bindtextdomain(kDomain, dir.constData());
    bind_textdomain_codeset(kDomain, "UTF-8");
}
