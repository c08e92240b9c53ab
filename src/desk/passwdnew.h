#pragma once
// TDlgNewPass: takes a new administrator password twice and closes with OK only when both
// entries agree; the caller stores it. Main thread only.

#include <QDialog>
#include <QString>
#include <memory>

namespace Ui {
class TDlgNewPass;
}

class TDlgNewPass : public QDialog
{
    Q_OBJECT

public:
    explicit TDlgNewPass(QWidget *parent = nullptr);
    ~TDlgNewPass() override;

    // The accepted password (the text of the field `Password`).
    QString NewPassword() const;

    // Entries that differ are refused with the focus back on the first one; equal ones (both
    // empty included) close with OK.
    void OKBtnClick();

private:
    std::unique_ptr<Ui::TDlgNewPass> m_ui;
};
