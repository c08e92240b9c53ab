#include "desk/webreportcommands.h"

#include "desk/web/webreport.h"
#include "store/dbfile.h"
#include "store/email.h"
#include "store/messages.h"
#include "store/paths.h"
#include "store/settingkeys.h"
#include "store/settings.h"

#include <QDir>

namespace {

// The addresses alone lead a browser to port 80; any other port has to be typed too.
QString portNotice(int port)
{
    return port == 80 ? QString() : QStringLiteral(" (port %1)").arg(port);
}

} // namespace

void TWebReportCommands::Switch()
{
    TTimeRec &window = m_context.Window();
    const bool enable = !window.WebReporterChecked();
    WriteRegBool(Setting::WebEnabled, enable);
    window.SetWebReporterChecked(enable);
    if (!enable) {
        Stop();
        ShowInfo(QStringLiteral("Web Reporter features are disabled"));
        return;
    }
    // A port that cannot be bound is shown instead; WebEnabled and the mark stay as set.
    if (!Start())
        return;
    QString addresses;
    GetLocalIpList(addresses);
    ShowInfo(QStringLiteral("Web Reporter features are enabled. You can browse the attendance "
                            "records by your web browser. Just for your reference, the IP "
                            "address of your machine is found as follows: ") +
             addresses + portNotice(m_server->Port()));
}

bool TWebReportCommands::Start()
{
    if (!m_server) {
        const QDir data(DataPath);
        m_server = std::make_unique<TWebReporter>(data.filePath(AttendFileName()),
                                                  data.filePath(SysdatFileName()));
    }
    QString error;
    if (m_server->Start(ReadRegInteger(Setting::WebPort), &error))
        return true;
    ShowError(error);
    return false;
}

void TWebReportCommands::Stop()
{
    if (m_server)
        m_server->Stop();
}
