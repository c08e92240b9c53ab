// Build tool: writes the program's icon (the one the window and the tray show) as a PNG for the
// desktop entry, so the installed program carries the same icon without an artwork file.

#include "desk/trayicon.h"

#include <QApplication>
#include <QMenu>
#include <QPixmap>
#include <cstdio>

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <size> <output.png>\n", argv[0]);
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int size = QString::fromLocal8Bit(argv[1]).toInt();
    const QPixmap icon = DeskProgramIcon().pixmap(size, size);
    if (icon.isNull() || !icon.save(QString::fromLocal8Bit(argv[2]), "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
