#pragma once
// TdlgDoorOpen: the modal "Setup Door Open Button" dialog: whether the desk shows its door-open
// button and which reader in use it releases. Main thread only.

#include <QDialog>
#include <QList>
#include <memory>

namespace Ui {
class TdlgDoorOpen;
}

class TdlgDoorOpen : public QDialog
{
    Q_OBJECT

public:
    // Reads the two settings and lists the readers in use by description.
    explicit TdlgDoorOpen(QWidget *parent = nullptr);
    ~TdlgDoorOpen() override;
    TdlgDoorOpen(const TdlgDoorOpen &) = delete;
    TdlgDoorOpen &operator=(const TdlgDoorOpen &) = delete;

    // "OK": stores the switch and, when a reader is chosen, its port; closes with OK.
    void OKBtnClick();
    // The port each entry of the list stands for.
    const QList<int> &Ports() const { return m_ports; }

private:
    std::unique_ptr<Ui::TdlgDoorOpen> m_ui;
    QList<int> m_ports;
};
