#pragma once
// Taboutbox: the "About Tallyclock" box: the program's name, the version it was built as and
// a line on what it is for; its one button closes it. Main thread only.

#include <QDialog>
#include <QString>
#include <memory>

namespace Ui {
class Taboutbox;
}

class Taboutbox : public QDialog
{
    Q_OBJECT

public:
    explicit Taboutbox(QWidget *parent = nullptr);
    ~Taboutbox() override;

    // Whether the texts wrap at word boundaries to the box's width.
    void SetWordWrap(bool wrap);

private:
    std::unique_ptr<Ui::Taboutbox> m_ui;
};

// The version the program was built as, from the build ("0.1.0").
QString ProgramVersion();
