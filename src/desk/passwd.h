#pragma once
// TPasswordDlg: asks for the administrator password and closes with OK only when it is the
// stored one (login, and "Old password" before a change). Main thread only.

#include <QDialog>
#include <memory>

class QLineEdit;

namespace Ui {
class TPasswordDlg;
}

class TPasswordDlg : public QDialog
{
    Q_OBJECT

public:
    explicit TPasswordDlg(QWidget *parent = nullptr);
    ~TPasswordDlg() override;

    // Checks the typed password: a match closes with OK; a wrong one says so and stays open.
    void OKBtnClick();

protected:
    void showEvent(QShowEvent *event) override;

private:
    std::unique_ptr<Ui::TPasswordDlg> m_ui;
};
