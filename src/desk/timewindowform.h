#pragma once
// TTimeWindowForm: what the two time-window dialogs share ("Time Table" and "Auto IN/OUT
// Timer"): the two time editors, the add and delete buttons over a TTimeWindows list, the grid
// showing it, a click on a row copying its times into the editors, and the saved placement.
// Each dialog builds its own form and hands its widgets over. Main thread only.

#include "desk/timewindows.h"

#include <QDialog>
#include <QString>
#include <functional>

class QModelIndex;
class QPushButton;
class QTableView;
class QTimeEdit;
class TDataSetModel;

class TTimeWindowForm : public QDialog
{
    Q_OBJECT

public:
    ~TTimeWindowForm() override;

    // "Add": stores the editors' window unless it is reversed or overlaps a listed one (the
    // focus goes back to the first editor and the box says why).
    void Button1Click();
    // "Delete": the grid's current row, after a confirmation.
    void xdeleteClick();
    // A click on a row: its two times into the editors.
    void dbgListCellClick(const QModelIndex &index);
    // "Close": saves placement and column widths, then closes with Cancel.
    void xcancelClick();

protected:
    struct TFormParts
    {
        QTimeEdit *from;
        QTimeEdit *to;
        QTableView *grid;
        QPushButton *add;
        QPushButton *remove;
        QPushButton *close;
        QString fromTitle; // the grid's column titles
        QString toTitle;
        QString placementPrefix; // saved window placement and column widths
        QString gridPrefix;
    };

    TTimeWindowForm(const TTimeWindowTable &table, QWidget *parent);
    TTimeWindows &Windows() { return m_windows; }
    // After the form is built: wires the shared widgets and puts the list in the grid.
    void SetParts(const TFormParts &parts);
    // The last step of creation: the saved placement and column widths.
    void RestorePlacement();
    // Runs a handler; a database failure is shown instead of escaping into Qt.
    static void Guarded(const std::function<void()> &handler);

private:
    TTimeWindows m_windows;
    TFormParts m_parts{};
    TDataSetModel *m_model = nullptr;
};
