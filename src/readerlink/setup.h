#pragma once
// TSetReader: the modal "Setup" dialog over the reader table: the eight ports in a grid, the
// row editor, and "Enable All". It keeps, per port, whether its row was changed, which the desk
// reads after it closes to set those readers up again. Main thread only.

#include "readerlink/readerrow.h"
#include "store/dialogrunner.h"

#include <QDialog>
#include <memory>

class QMenu;
class TDataSetModel;

namespace Ui {
class TSetReader;
}

class TSetReader : public QDialog
{
    Q_OBJECT

public:
    // Shows a modal dialog and answers its result; tests replace it to answer the row editor.
    using DialogRunner = TDialogRunner::Function;

    enum Column
    {
        ColPortNo,
        ColEnable,
        ColDesc,
        ColMode,
        ColOutport,
        ColBpport,
        ColLockTime,
        ColApb,
        ColCapture,
        ColMotion,
        ColumnCount
    };

    // Opens the reader table and restores the placement and the column widths.
    explicit TSetReader(QWidget *parent = nullptr);
    // Saves the placement and the column widths and closes the reader table.
    ~TSetReader() override;
    TSetReader(const TSetReader &) = delete;
    TSetReader &operator=(const TSetReader &) = delete;

    // "Edit", "Edit record" and a double click: the row editor on the grid's current row; a
    // confirmed edit flags the port, stores the row and gives the reader its description.
    void Button2Click();
    // "Confirm": closes with Cancel; the flagged ports are set up again by the desk.
    void Button1Click();
    // "Enable All": reopens every port, stores which opened and closes with OK.
    void bEnableAllClick();

    bool Changed(int port) const;
    const TPortFlags &ChangedPorts() const { return m_changed; }
    TDataSetModel *Model() const { return m_model.get(); }
    QMenu *PopupMenu() const { return m_popup; }
    void SetDialogRunner(DialogRunner runner);

private:
    std::unique_ptr<Ui::TSetReader> m_ui;
    std::unique_ptr<TDataSetModel> m_model;
    QMenu *m_popup = nullptr;
    TPortFlags m_changed{};
    TDialogRunner m_dialogs;
};
