#include "desk/nadd.h"

#include "desk/readers.h"
#include "store/datasrc.h"
#include "store/dbschema.h"
#include "store/imagerotate.h"
#include "store/images.h"
#include "store/jpegcodec.h"
#include "store/messages.h"
#include "ui_nadd.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>

namespace {

QCheckBox *portBox(const Ui::Tnadd &ui, int port)
{
    QCheckBox *const boxes[] = {ui.cbcom1, ui.cbcom2, ui.cbcom3, ui.cbcom4,
                                ui.cbcom5, ui.cbcom6, ui.cbcom7, ui.cbcom8};
    return port >= 1 && port <= 8 ? boxes[port - 1] : nullptr;
}

} // namespace

Tnadd::Tnadd(QWidget *parent) : QDialog(parent), m_ui(std::make_unique<Ui::Tnadd>())
{
    m_ui->setupUi(this);
    connect(m_ui->xload, &QPushButton::clicked, this, &Tnadd::xloadClick);
    connect(m_ui->bRotate, &QPushButton::clicked, this, &Tnadd::bRotateClick);
    connect(m_ui->bClear, &QPushButton::clicked, this, &Tnadd::bClearClick);
    connect(m_ui->xconfirm, &QPushButton::clicked, this, &Tnadd::xconfirmClick);
    connect(m_ui->xdelete, &QPushButton::clicked, this, &Tnadd::xdeleteClick);
    connect(m_ui->xcancel, &QPushButton::clicked, this, &Tnadd::xcancelClick);
    m_ui->xphoto->installEventFilter(this);
    m_ui->xname->setFocus();
    ClearImage(m_photo);
}

Tnadd::~Tnadd() = default;

void Tnadd::Reset()
{
    m_ui->xcode->clear();
    SetHolderName(QString(), false);
    m_ui->cbxgroup->clear();
    for (int port = 1; port <= ReaderPortCount; ++port)
        SetAccess(port, false);
    SetOffline(false);
    m_ui->memo->clear();
    m_storedJpeg.clear();
    m_photoPending = false;
    ClearImage(m_photo);
    m_ui->xphoto->clear();
    m_ui->xname->setFocus();
    setResult(0);
}

void Tnadd::SetCard(int card)
{
    m_ui->xcode->setText(QString::number(card));
}

void Tnadd::SetHolderName(const QString &name, bool readOnly)
{
    m_ui->xname->setText(name);
    m_ui->xname->setReadOnly(readOnly);
}

QString Tnadd::HolderName() const
{
    return m_ui->xname->text();
}

bool Tnadd::HolderNameReadOnly() const
{
    return m_ui->xname->isReadOnly();
}

QComboBox *Tnadd::GroupCombo() const
{
    return m_ui->cbxgroup;
}

QString Tnadd::GroupName() const
{
    return m_ui->cbxgroup->currentIndex() >= 0 ? m_ui->cbxgroup->currentText() : QString();
}

void Tnadd::SetPortCaption(int port, const QString &caption)
{
    if (QCheckBox *box = portBox(*m_ui, port))
        box->setText(caption);
}

void Tnadd::SetAccess(int port, bool allowed)
{
    if (QCheckBox *box = portBox(*m_ui, port))
        box->setChecked(allowed);
}

bool Tnadd::Access(int port) const
{
    const QCheckBox *box = portBox(*m_ui, port);
    return box && box->isChecked();
}

void Tnadd::SetOffline(bool allowed)
{
    m_ui->cboffline->setChecked(allowed);
}

bool Tnadd::Offline() const
{
    return m_ui->cboffline->isChecked();
}

void Tnadd::SetRemarks(const QString &text)
{
    QString lines = text;
    lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    lines.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    m_ui->memo->setPlainText(lines);
}

QString Tnadd::Remarks() const
{
    return m_ui->memo->toPlainText();
}

void Tnadd::SetPhoto(const QImage &photo)
{
    m_storedJpeg.clear();
    m_photoPending = false;
    m_photo = photo;
    showPhoto();
}

void Tnadd::SetStoredPhoto(const QByteArray &jpeg)
{
    if (JpegSize(jpeg) != QSize(PhotoWidth, PhotoHeight)) {
        // Any other size is scaled on Confirm, so it is stored anew in any case.
        const QImage photo = DecodeJpeg(jpeg, QSize(PhotoWidth, PhotoHeight));
        if (!photo.isNull())
            SetPhoto(photo);
        return;
    }
    m_storedJpeg = jpeg;
    m_photoPending = true;
    showPhoto();
}

const QImage &Tnadd::Photo() const
{
    if (m_photoPending) {
        m_photoPending = false;
        // Bytes that cannot be shown are still kept as they were stored.
        const QImage photo = DecodeJpeg(m_storedJpeg);
        if (!photo.isNull())
            m_photo = photo;
    }
    return m_photo;
}

void Tnadd::touchPhoto()
{
    Photo();
    m_storedJpeg.clear();
}

void Tnadd::showPhoto()
{
    // Filling the dialog sets the photo more than once before anyone sees it; it is drawn
    // when the dialog shows.
    if (!isVisible())
        return;
    const QImage &photo = Photo();
    m_ui->xphoto->setPixmap(photo.isNull() ? QPixmap() : QPixmap::fromImage(photo));
}

void Tnadd::showEvent(QShowEvent *event)
{
    showPhoto();
    QDialog::showEvent(event);
}

bool Tnadd::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_ui->xphoto && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
        xloadClick();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void Tnadd::xloadClick()
{
    // The loader tells the user about a file it cannot read and leaves the photo as it was.
    Photo();
    if (LoadImageFromFile(this, m_photo, 0, 0)) {
        m_storedJpeg.clear();
        showPhoto();
    }
}

void Tnadd::bRotateClick()
{
    touchPhoto();
    RotateBitmap90(this, m_photo);
    showPhoto();
}

void Tnadd::bClearClick()
{
    touchPhoto();
    ClearImage(m_photo);
}

void Tnadd::refuseName(const QString &message)
{
    m_ui->xname->setFocus();
    ShowError(message);
}

void Tnadd::xconfirmClick()
{
    m_ui->xname->setText(m_ui->xname->text().trimmed());
    const QString name = m_ui->xname->text();
    if (name.isEmpty()) {
        refuseName(QStringLiteral("Incorrect name."));
        return;
    }
    // Every confirmed card is stored at the one photo size, a cleared photo too; a stored
    // photo kept as it was has that size already.
    if (m_storedJpeg.isEmpty())
        ResizeBitmap(m_photo, PhotoWidth, PhotoHeight);
    showPhoto();
    if (m_ui->xname->isReadOnly()) {
        accept();
        return;
    }
    if (dsrc && dsrc->staff.Active() && dsrc->staff.Locate(Schema::Staffs::Name, name)) {
        refuseName(QStringLiteral("Name has been used."));
        return;
    }
    accept();
}

void Tnadd::xdeleteClick()
{
    if (!AskConfirm(QStringLiteral("Are you sure to delete the record?")))
        return;
    m_ui->xname->clear();
    accept();
}

void Tnadd::xcancelClick()
{
    done(CancelResult);
}
