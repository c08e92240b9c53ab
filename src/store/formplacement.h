#pragma once
// Where the program's windows and grid columns were left: kept in the settings, put back when a
// window opens. The settings themselves are free of widgets (settings.h). Main thread only.

#include <QList>
#include <QString>

class QWidget;
class QTableView;

// Window placement under prefix "_TOP", "_LEFT", "_WIDTH", "_HEIGHT", "_MAX".
void LoadFormPlacement(const QString &prefix, QWidget *form);
void SaveFormPlacement(const QString &prefix, QWidget *form);
// Moves a window, frame included, to the middle of the screen it is on (the primary one
// before it has any). Its frame is known once it is shown, so a showEvent calls it.
void CentreOnScreen(QWidget *form);

// Column widths under prefix "_0", "_1", ...; a column with nothing saved takes the grid's own
// width from ownWidths where that gives one, else the default for the kind of value it shows,
// reported by the model as ColumnKindRole on the header.
void LoadGridColumnWidths(const QString &prefix, QTableView *grid,
                          const QList<int> &ownWidths = {});
void SaveGridColumnWidths(const QString &prefix, QTableView *grid);
