#include "reports/dlgpersons.h"

#include "reports/scopeparts.h"
#include "store/imagerotate.h"
#include "store/images.h"
#include "store/messages.h"
#include "store/paths.h"
#include "store/settings.h"

#include <QCheckBox>
#include <QDir>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

template <typename W, typename... Args> W *named(const QString &name, Args &&...args)
{
    W *w = new W(std::forward<Args>(args)...);
    w->setObjectName(name);
    return w;
}

QPushButton *button(const QString &name, const QString &caption)
{
    return named<QPushButton>(name, caption);
}

// A damaged picture file reads as a missing one: the cleared picture stays.
void loadIfReadable(QImage &picture, const QString &fileName)
{
    ClearImage(picture);
    try {
        LoadJpegFileScaled(0, 0, picture, fileName);
    } catch (const EImageFile &) {
        ClearImage(picture);
    }
}

} // namespace

TDlgPersons::TDlgPersons(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("DlgPersons"));
    setWindowTitle(QStringLiteral("Print Member Card"));
    auto *top = new QGridLayout(this);

    m_persons = new TPersonsGroup(this);
    top->addWidget(m_persons, 0, 0);

    auto *texts = new QGroupBox(this);
    auto *tl = new QGridLayout(texts);
    m_cbTitle = named<QCheckBox>(QStringLiteral("cbTitle"), QStringLiteral("Title Line"));
    m_eTitle = named<QLineEdit>(QStringLiteral("eTitle"));
    tl->addWidget(m_cbTitle, 0, 0);
    tl->addWidget(m_eTitle, 0, 1);
    for (int i = 0; i < 4; ++i) {
        m_cbLine[i] = named<QCheckBox>(QStringLiteral("cbLine%1").arg(i + 1),
                                       QStringLiteral("Remark Line %1").arg(i + 1));
        m_eLine[i] = named<QLineEdit>(QStringLiteral("eLine%1").arg(i + 1));
        tl->addWidget(m_cbLine[i], i + 1, 0);
        tl->addWidget(m_eLine[i], i + 1, 1);
    }
    m_cbClear =
        named<QCheckBox>(QStringLiteral("cbClear"), QStringLiteral("Transparent Background"));
    m_cbpreview = named<QCheckBox>(QStringLiteral("cbpreview"), QStringLiteral("Print Preview"));
    tl->addWidget(m_cbClear, 5, 0, 1, 2);
    tl->addWidget(m_cbpreview, 6, 0, 1, 2);
    top->addWidget(texts, 1, 0);

    auto *back = new QGroupBox(QStringLiteral("Card Background"), this);
    auto *bl = new QGridLayout(back);
    m_xphoto = named<QLabel>(QStringLiteral("xphoto"));
    m_xphoto->setScaledContents(true);
    m_xphoto->setFrameShape(QFrame::Box);
    QPushButton *bLoad = button(QStringLiteral("bLoad"), QStringLiteral("Load Image"));
    QPushButton *bClear = button(QStringLiteral("bClear"), QStringLiteral("Clear"));
    QPushButton *bbackrot = button(QStringLiteral("bbackrot"), QStringLiteral("Rotate"));
    m_cbFrame = named<QCheckBox>(QStringLiteral("cbFrame"), QStringLiteral("Print Frame"));
    bl->addWidget(m_xphoto, 0, 0, 4, 1);
    bl->addWidget(bLoad, 0, 1);
    bl->addWidget(bClear, 1, 1);
    bl->addWidget(bbackrot, 2, 1);
    bl->addWidget(m_cbFrame, 3, 1);
    top->addWidget(back, 0, 1);

    auto *logo = new QGroupBox(QStringLiteral("Card Logo"), this);
    auto *ll = new QGridLayout(logo);
    m_xlogo = named<QLabel>(QStringLiteral("xlogo"));
    m_xlogo->setScaledContents(true);
    m_xlogo->setFixedSize(64, 64);
    m_xlogo->setFrameShape(QFrame::Box);
    QPushButton *bLogoLoad = button(QStringLiteral("bLogoLoad"), QStringLiteral("Load Logo"));
    QPushButton *bLogoClear = button(QStringLiteral("bLogoClear"), QStringLiteral("Clear"));
    QPushButton *blogorot = button(QStringLiteral("blogorot"), QStringLiteral("Rotate"));
    m_cbLogoEnable = named<QCheckBox>(QStringLiteral("cbLogoEnable"), QStringLiteral("Print Logo"));
    ll->addWidget(m_xlogo, 0, 0, 4, 1);
    ll->addWidget(bLogoLoad, 0, 1);
    ll->addWidget(bLogoClear, 1, 1);
    ll->addWidget(blogorot, 2, 1);
    ll->addWidget(m_cbLogoEnable, 3, 1);
    top->addWidget(logo, 1, 1);

    auto *style = new QGroupBox(QStringLiteral("Style"), this);
    auto *sl = new QHBoxLayout(style);
    m_rbStyle = named<QRadioButton>(QStringLiteral("rbStyle"), QStringLiteral("Horizontal"));
    m_rbVert = named<QRadioButton>(QStringLiteral("rbVert"), QStringLiteral("Vertical"));
    sl->addWidget(m_rbStyle);
    sl->addWidget(m_rbVert);
    top->addWidget(style, 2, 0);

    auto *buttons = new QHBoxLayout;
    QPushButton *Button1 = button(QStringLiteral("Button1"), QStringLiteral("Confirm"));
    QPushButton *Button2 = button(QStringLiteral("Button2"), QStringLiteral("Cancel"));
    QPushButton *bSave = button(QStringLiteral("bSave"), QStringLiteral("Save"));
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    buttons->addWidget(bSave);
    top->addLayout(buttons, 2, 1);

    connect(Button1, &QPushButton::clicked, this, [this] { done(1); });
    connect(Button2, &QPushButton::clicked, this, [this] { done(2); });
    connect(bSave, &QPushButton::clicked, this, &TDlgPersons::bSaveClick);
    connect(m_rbStyle, &QRadioButton::clicked, this, &TDlgPersons::rbStyleClick);
    connect(m_rbVert, &QRadioButton::clicked, this, &TDlgPersons::rbStyleClick);
    connect(bLoad, &QPushButton::clicked, this, [this] {
        if (LoadImageFromFile(this, m_back, 0, 0))
            showPictures();
    });
    connect(bLogoLoad, &QPushButton::clicked, this, [this] {
        if (LoadImageFromFile(this, m_logo, 0, 0))
            showPictures();
    });
    connect(bClear, &QPushButton::clicked, this, [this] {
        ClearImage(m_back);
        showPictures();
    });
    connect(bLogoClear, &QPushButton::clicked, this, [this] {
        ClearImage(m_logo);
        showPictures();
    });
    connect(bbackrot, &QPushButton::clicked, this, [this] {
        RotateBitmap90(this, m_back);
        showPictures();
    });
    connect(blogorot, &QPushButton::clicked, this, [this] {
        RotateBitmap90(this, m_logo);
        showPictures();
    });
    formCreate();
}

TDlgPersons::~TDlgPersons() = default;

QString TDlgPersons::BackgroundFile()
{
    return QDir(DataPath).filePath(QStringLiteral("cardback.jpg"));
}

QString TDlgPersons::LogoFile()
{
    return QDir(DataPath).filePath(QStringLiteral("cardlogo.jpg"));
}

void TDlgPersons::formCreate()
{
    m_cbpreview->setChecked(ReadRegBool(Setting::CardPreview));
    m_cbClear->setChecked(ReadRegBool(Setting::CardTransparent));
    m_cbTitle->setChecked(ReadRegBool(Setting::CardTitleEnable));
    m_eTitle->setText(ReadRegString(Setting::CardTitleString));
    for (int i = 0; i < 4; ++i) {
        m_cbLine[i]->setChecked(ReadRegBool(Setting::CardRemarkEnable[i]));
        m_eLine[i]->setText(ReadRegString(Setting::CardRemarkString[i]));
    }
    m_cbLogoEnable->setChecked(ReadRegBool(Setting::CardLogoEnable));
    m_cbFrame->setChecked(ReadRegBool(Setting::CardBackFrame));
    loadIfReadable(m_back, BackgroundFile());
    loadIfReadable(m_logo, LogoFile());
    (ReadRegBool(Setting::CardStyle) ? m_rbStyle : m_rbVert)->setChecked(true);
    rbStyleClick();
    showPictures();
}

void TDlgPersons::showPictures()
{
    m_xphoto->setPixmap(QPixmap::fromImage(m_back));
    m_xlogo->setPixmap(QPixmap::fromImage(m_logo));
}

void TDlgPersons::rbStyleClick()
{
    try {
        WriteRegBool(Setting::CardStyle, m_rbStyle->isChecked());
    } catch (const ERegistryError &) {
        // The style is only remembered; the card prints as chosen all the same.
    }
    m_xphoto->setFixedSize(m_rbStyle->isChecked() ? 128 : 54, 85);
}

void TDlgPersons::bSaveClick()
{
    // Each picture goes through a temporary file, so a failed save leaves the old one whole.
    if (!SaveImageAsJpeg(m_back, BackgroundFile()) || !SaveImageAsJpeg(m_logo, LogoFile())) {
        ShowSettingsNotSaved();
        return;
    }
    try {
        WriteRegBool(Setting::CardPreview, m_cbpreview->isChecked());
        WriteRegBool(Setting::CardTransparent, m_cbClear->isChecked());
        WriteRegBool(Setting::CardTitleEnable, m_cbTitle->isChecked());
        WriteRegString(Setting::CardTitleString, m_eTitle->text());
        for (int i = 0; i < 4; ++i) {
            WriteRegBool(Setting::CardRemarkEnable[i], m_cbLine[i]->isChecked());
            WriteRegString(Setting::CardRemarkString[i], m_eLine[i]->text());
        }
        WriteRegBool(Setting::CardLogoEnable, m_cbLogoEnable->isChecked());
        WriteRegBool(Setting::CardBackFrame, m_cbFrame->isChecked());
    } catch (const ERegistryError &) {
        ShowSettingsNotSaved();
        return;
    }
    ShowSettingsSaved();
}

TCardChoices TDlgPersons::Choices() const
{
    TCardChoices c;
    c.Horizontal = m_rbStyle->isChecked();
    c.Preview = m_cbpreview->isChecked();
    c.Transparent = m_cbClear->isChecked();
    c.TitleEnabled = m_cbTitle->isChecked();
    c.Title = m_eTitle->text();
    for (int i = 0; i < 4; ++i) {
        c.RemarkEnabled[i] = m_cbLine[i]->isChecked();
        c.RemarkCaption[i] = m_eLine[i]->text();
    }
    c.Frame = m_cbFrame->isChecked();
    c.LogoEnabled = m_cbLogoEnable->isChecked();
    c.Background = m_back;
    c.Logo = m_logo;
    return c;
}

TReportScope TDlgPersons::Scope() const
{
    TReportScope scope;
    m_persons->ReadInto(scope);
    scope.Preview = m_cbpreview->isChecked();
    return scope;
}
