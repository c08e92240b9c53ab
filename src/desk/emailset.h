#pragma once
// TSetEmail: the modal "Email Settings" dialog of the Setup menu. It edits whether swipes queue
// a notice, the SMTP server, recipients and sender, how often the queue is sent, whether only
// registered cards are reported, and the stored choice on sending the snapshot. Main thread
// only.

#include <QDialog>
#include <memory>

namespace Ui {
class TSetEmail;
}

class TSetEmail : public QDialog
{
    Q_OBJECT

public:
    explicit TSetEmail(QWidget *parent = nullptr);
    ~TSetEmail() override;
    TSetEmail(const TSetEmail &) = delete;
    TSetEmail &operator=(const TSetEmail &) = delete;

    // "Confirm": checks the three texts (the first empty one is reported, focused, and the
    // dialog stays open), then writes every setting and closes with OK.
    void Button1Click();
    // Either radio button: the spin box follows "Regular intervals".
    void cbeachClick();

private:
    void FormCreate();

    std::unique_ptr<Ui::TSetEmail> m_ui;
};
