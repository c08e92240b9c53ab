#pragma once
// TDlgPersons: the modal "Print Member Card" dialog of the Card Manager. It chooses the persons,
// the card's title and remark captions, the background and logo pictures, the options and the
// card style; "Save" stores the layout (pictures in the data folder). Main thread only.

#include "store/reportscope.h"

#include <QDialog>
#include <QImage>
#include <QString>
#include <array>

class QCheckBox;
class QGroupBox;
class TPersonsGroup;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

// What a card report takes from the closed dialog.
struct TCardChoices
{
    bool Horizontal = true;
    bool Preview = true;
    bool Transparent = true;
    bool TitleEnabled = true;
    QString Title;
    std::array<bool, 4> RemarkEnabled{};
    std::array<QString, 4> RemarkCaption;
    bool Frame = true;
    bool LogoEnabled = false;
    QImage Background;
    QImage Logo;
};

class TDlgPersons : public QDialog
{
    Q_OBJECT

public:
    explicit TDlgPersons(QWidget *parent = nullptr);
    ~TDlgPersons() override;

    // "cardback.jpg" and "cardlogo.jpg" in the data folder.
    static QString BackgroundFile();
    static QString LogoFile();

    TCardChoices Choices() const;
    // The persons choice and the preview option, for the staff scope query and the run.
    TReportScope Scope() const;

    // "Save": both pictures, then every setting but the style; says whether it worked.
    void bSaveClick();
    // Either style button: stores the style at once and shapes the background preview.
    void rbStyleClick();

private:
    void formCreate();
    void showPictures();

    TPersonsGroup *m_persons = nullptr;
    QCheckBox *m_cbTitle = nullptr;
    QLineEdit *m_eTitle = nullptr;
    std::array<QCheckBox *, 4> m_cbLine{};
    std::array<QLineEdit *, 4> m_eLine{};
    QCheckBox *m_cbClear = nullptr;
    QCheckBox *m_cbpreview = nullptr;
    QLabel *m_xphoto = nullptr;
    QCheckBox *m_cbFrame = nullptr;
    QLabel *m_xlogo = nullptr;
    QCheckBox *m_cbLogoEnable = nullptr;
    QRadioButton *m_rbStyle = nullptr;
    QRadioButton *m_rbVert = nullptr;
    QImage m_back;
    QImage m_logo;
};
