#pragma once
// TFmTimeTbl: the modal "Time Table" dialog of the Card Manager menu, the attendance windows
// (IN and OUT times) of one work group, chosen in its group list. Main thread only.

#include "desk/timewindowform.h"

#include <memory>

namespace Ui {
class TFmTimeTbl;
}

class TFmTimeTbl : public TTimeWindowForm
{
    Q_OBJECT

public:
    explicit TFmTimeTbl(QWidget *parent = nullptr);
    ~TFmTimeTbl() override;
    TFmTimeTbl(const TFmTimeTbl &) = delete;
    TFmTimeTbl &operator=(const TFmTimeTbl &) = delete;

    // Lists the windows of the group chosen in the group list.
    void LoadTimeTable();
    // Another group chosen.
    void cbglistClick();

private:
    void FormCreate();

    std::unique_ptr<Ui::TFmTimeTbl> m_ui;
};
