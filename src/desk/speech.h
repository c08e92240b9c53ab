#pragma once
// TDlgSpeech: the "Speech Options" dialog that switches the spoken greeting of card swipes
// on or off (setting SpeechEnable). Main thread only.

#include <QDialog>
#include <memory>

namespace Ui {
class TDlgSpeech;
}

class TDlgSpeech : public QDialog
{
    Q_OBJECT

public:
    explicit TDlgSpeech(QWidget *parent = nullptr);
    ~TDlgSpeech() override;

    // Stores the check box as SpeechEnable and closes with OK.
    void OKBtnClick();

private:
    void FormCreate();

    std::unique_ptr<Ui::TDlgSpeech> m_ui;
};
