// Program body: one running copy, the paths and data folder, the data module, the main window.

#include "desk/instancelock.h"
#include "desk/signalclose.h"
#include "desk/timerec.h"
#include "readerlink/serialerror.h"
#include "store/datasrc.h"
#include "store/messages.h"
#include "store/paths.h"
#include "store/widgetdefaults.h"

#include <QApplication>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    InstallWidgetDefaults();
    QApplication::setApplicationName(QStringLiteral("Tallyclock"));
    QApplication::setOrganizationName(QStringLiteral("ZUVI"));
    // The desk lives in the tray: closing a message box while the window is hidden must not
    // end it. The main window ends the program when it closes.
    QApplication::setQuitOnLastWindowClosed(false);

    InstanceLock instance;
    if (!instance.TryLock()) {
        ShowInfo(QStringLiteral("You have run another instance of this program already. Click "
                                "it on the system tray to activite."));
        return 0;
    }

    InitPaths(QCoreApplication::applicationDirPath());
    QString error;
    if (!PrepareDataFolder(AppPath, DataPath, &error)) {
        ShowError(error);
        return 1;
    }
    BindSerialPortCatalog(AppPath);

    Tdsrc data;
    dsrc = &data;
    int rc = 1;
    {
        TTimeRec window;
        // A signal to end closes the desk as "Exit" does, on the event loop.
        TSignalClose signalClose;
        QObject::connect(&signalClose, &TSignalClose::Requested, &window, [&window] {
            window.close();
        });
        if (!window.TerminateRequested()) {
            if (window.StartupShowMainForm())
                window.show();
            rc = QApplication::exec();
        }
    }
    dsrc = nullptr;
    return rc;
}
