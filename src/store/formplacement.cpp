#include "store/formplacement.h"

#include "store/settings.h"

#include <QAbstractItemModel>
#include <QGuiApplication>
#include <QScreen>
#include <QTableView>
#include <QWidget>

void LoadFormPlacement(const QString &prefix, QWidget *form)
{
    const int top = ReadRegInteger(prefix + QLatin1String("_TOP"), 0);
    const int left = ReadRegInteger(prefix + QLatin1String("_LEFT"), 0);
    const int width = ReadRegInteger(prefix + QLatin1String("_WIDTH"), 640);
    const int height = ReadRegInteger(prefix + QLatin1String("_HEIGHT"), 480);
    form->setWindowState(form->windowState() & ~Qt::WindowMaximized);
    form->move(left, top);
    form->resize(width, height);
    if (ReadRegBool(prefix + QLatin1String("_MAX"), false))
        form->setWindowState(form->windowState() | Qt::WindowMaximized);
}

void CentreOnScreen(QWidget *form)
{
    QScreen *screen = form->screen() ? form->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    QRect frame = form->frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    form->move(frame.topLeft());
}

void SaveFormPlacement(const QString &prefix, QWidget *form)
{
    const bool maximised = form->isMaximized();
    WriteRegBool(prefix + QLatin1String("_MAX"), maximised);
    if (maximised)
        return;
    WriteRegInteger(prefix + QLatin1String("_TOP"), form->y());
    WriteRegInteger(prefix + QLatin1String("_LEFT"), form->x());
    WriteRegInteger(prefix + QLatin1String("_WIDTH"), form->width());
    WriteRegInteger(prefix + QLatin1String("_HEIGHT"), form->height());
}

void LoadGridColumnWidths(const QString &prefix, QTableView *grid, const QList<int> &ownWidths)
{
    const QAbstractItemModel *model = grid->model();
    if (!model)
        return;
    for (int c = 0; c < model->columnCount(); ++c) {
        const auto kind =
            static_cast<ColumnKind>(model->headerData(c, Qt::Horizontal, ColumnKindRole).toInt());
        const int own = c < ownWidths.size() ? ownWidths[c] : 0;
        const int w = ReadRegInteger(prefix + QLatin1Char('_') + QString::number(c),
                                     own > 0 ? own : DefaultColumnWidth(kind));
        grid->setColumnWidth(c, w);
    }
}

void SaveGridColumnWidths(const QString &prefix, QTableView *grid)
{
    const QAbstractItemModel *model = grid->model();
    if (!model)
        return;
    for (int c = 0; c < model->columnCount(); ++c)
        WriteRegInteger(prefix + QLatin1Char('_') + QString::number(c), grid->columnWidth(c));
}
