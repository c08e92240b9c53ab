#pragma once
// Combo boxes filled from the system database: the work groups and any list a query gives.
// Main thread only.

#include <QString>

class QComboBox;

// Fills the combo with displayField of every row the SQL gives (run on dsrc's system
// connection). key > 0 selects the (last) row whose keyField equals key; key 0 selects the
// first item; otherwise, or when no row matches, nothing is selected.
void FillComboFromQuery(QComboBox *combo, const QString &displayField, int key,
                        const QString &keyField, const QString &sql);
// The work groups by name, selecting the one with that id.
void FillGroupCombo(QComboBox *combo, int id);
