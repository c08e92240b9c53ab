#pragma once
// TAutoIO: the modal "Auto IN/OUT Timer" dialog of the Setup menu, the windows during which
// TIME CLOCK readers count as IN, and the switches for automatic IN/OUT and its manual
// override, each stored as soon as it is clicked. Main thread only.

#include "desk/timewindowform.h"

#include <memory>

namespace Ui {
class TAutoIO;
}

class TAutoIO : public TTimeWindowForm
{
    Q_OBJECT

public:
    explicit TAutoIO(QWidget *parent = nullptr);
    ~TAutoIO() override;
    TAutoIO(const TAutoIO &) = delete;
    TAutoIO &operator=(const TAutoIO &) = delete;

    void cbenableClick(bool checked);
    void cbOverrideClick(bool checked);

private:
    void FormCreate();

    std::unique_ptr<Ui::TAutoIO> m_ui;
};
