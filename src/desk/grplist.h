#pragma once
// TDlgGrpList: the modal "Group List" of the work groups over the shared group dataset, with
// New, Edit and Delete on the row selected in its grid. Edit and New run the group editor
// through the dialog runner the main window hands down. Main thread only.

#include "store/dialogrunner.h"

#include <QDialog>
#include <memory>

class TDataSetModel;

namespace Ui {
class TDlgGrpList;
}

class TDlgGrpList : public QDialog
{
    Q_OBJECT

public:
    using DialogRunner = TDialogRunner::Function;

    explicit TDlgGrpList(QWidget *parent = nullptr);
    ~TDlgGrpList() override;
    TDlgGrpList(const TDlgGrpList &) = delete;
    TDlgGrpList &operator=(const TDlgGrpList &) = delete;

    // Runs the group editor (exec() when none is set).
    void SetDialogRunner(DialogRunner runner);
    TDataSetModel *Model() const { return m_model.get(); }

    void btnnewClick();
    void btneditClick();
    void btndeleteClick();
    // "Close": keeps the placement and column widths, closes with Cancel.
    void Button1Click();

private:
    void FormCreate();

    std::unique_ptr<Ui::TDlgGrpList> m_ui;
    std::unique_ptr<TDataSetModel> m_model;
    TDialogRunner m_dialogs;
};
