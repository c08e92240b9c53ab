// Program body: paths, data folder, and the desk's main window.

#include "store/paths.h"

#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QMessageBox>
#include <QStatusBar>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tallyclock"));
    QApplication::setOrganizationName(QStringLiteral("ZUVI"));

    InitPaths(QCoreApplication::applicationDirPath());
    QString error;
    if (!PrepareDataFolder(AppPath, DataPath, &error)) {
        QMessageBox::critical(nullptr, QStringLiteral("Tallyclock"), error);
        return 1;
    }

    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Tallyclock"));
    window.statusBar()->showMessage(DataPath);
    window.show();
    return QApplication::exec();
}
