#pragma once
// TRecDel: the "Erase Attendance Records" dialog. It only asks how much of the log to erase
// (all of it, or the records before a date); the caller reads the answer after OK and erases.
// Main thread only.

#include <QDate>
#include <QDialog>
#include <memory>

namespace Ui {
class TRecDel;
}

class TRecDel : public QDialog
{
    Q_OBJECT

public:
    explicit TRecDel(QWidget *parent = nullptr);
    ~TRecDel() override;

    // Presets the date without choosing "Before the date".
    void SetDate(const QDate &date);
    QDate Date() const;
    // Which scope is chosen: "All Attendance Records" or "Before the date".
    bool EraseAll() const;
    bool EraseBeforeDate() const;

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void dpfromChange();

    std::unique_ptr<Ui::TRecDel> m_ui;
};
