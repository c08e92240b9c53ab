#pragma once
// TDlgGrpDef: the modal "Work Group Information" editor of one work group: its name, weekday
// and Saturday sessions and overtime values. Confirm checks them in order (the first fault is
// reported with the focus on its control, and the editor stays open); the caller then saves.
// Main thread only.

#include "store/workgroup.h"

#include <QDialog>
#include <memory>

namespace Ui {
class TDlgGrpDef;
}

class TDlgGrpDef : public QDialog
{
    Q_OBJECT

public:
    // Opens on the values of a new group.
    explicit TDlgGrpDef(QWidget *parent = nullptr);
    ~TDlgGrpDef() override;
    TDlgGrpDef(const TDlgGrpDef &) = delete;
    TDlgGrpDef &operator=(const TDlgGrpDef &) = delete;

    TWorkGroup Group() const;
    void SetGroup(const TWorkGroup &group);

    // The current row of the shared group dataset into the editor.
    void LoadGroup();
    // The editor into the group of its name (appended when there is none); answers its ID,
    // 0 when the write failed (reported).
    int SaveGroup();

    // "Confirm": trims the name, asks before overwriting a group of that name, checks the
    // sessions; closes with OK when all pass.
    void OKBtnClick();

private:
    QWidget *faultControl(TGroupFault fault) const;

    std::unique_ptr<Ui::TDlgGrpDef> m_ui;
};
