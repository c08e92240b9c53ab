#pragma once
// Tcommedit: the modal "RFID Reader" dialog that edits one reader row: connection, mode, the
// ports its card and bypass switch release, release time, anti-passback and photo capture.
// It keeps its controls consistent (a TIME CLOCK reader keeps no relay, bypass port or
// anti-passback); TSetReader loads it from the row and stores what it confirms. Main thread only.

#include "readerlink/readerrow.h"

#include <QDialog>
#include <QStringList>
#include <memory>

namespace Ui {
class Tcommedit;
}

class Tcommedit : public QDialog
{
    Q_OBJECT

public:
    // Fills the mode names and, from the reader table (whose cursor this moves), the port
    // lists: the description of ports 0..8.
    explicit Tcommedit(QWidget *parent = nullptr);
    ~Tcommedit() override;
    Tcommedit(const Tcommedit &) = delete;
    Tcommedit &operator=(const Tcommedit &) = delete;

    // The hidden reader-type choice.
    void SetModelNames(const QStringList &names);
    void LoadRow(const TReaderRow &row);
    // The row as the controls stand; an empty description becomes the frame's "COM" + port.
    TReaderRow Row() const;

    // The control rules.
    void cbmodeChange();
    void rgmodelClick();
    void cbcapbypassClick();
    void rbClick();

protected:
    void showEvent(QShowEvent *event) override;

private:
    std::unique_ptr<Ui::Tcommedit> m_ui;
    int m_portNo = 0;
};
