#pragma once
// TdlgStaffs: the modal "Select Staffs" dialog before the member list: the persons and whether
// to preview. Nothing is stored. Main thread only.

#include "store/reportscope.h"

#include <QDialog>

class QCheckBox;
class TPersonsGroup;

class TdlgStaffs : public QDialog
{
    Q_OBJECT

public:
    explicit TdlgStaffs(QWidget *parent = nullptr);

    TPersonsGroup *persons;
    QCheckBox *cbpreview;

    // The persons choice and the preview option.
    TReportScope Scope() const;
};
