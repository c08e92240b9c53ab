#pragma once
// Tnadd: the modal "Card Information" dialog of one card holder: card number, name, work group,
// remarks, the reader ports the card opens, and the photo. TCardInfo::EditCard fills it and
// reads it back; the dialog checks the name itself and scales the photo before it closes with
// OK. Main thread only.

#include <QDialog>
#include <QImage>
#include <memory>

class QComboBox;

namespace Ui {
class Tnadd;
}

class Tnadd : public QDialog
{
    Q_OBJECT

public:
    // The modal result of "Cancel" (OK is QDialog::Accepted).
    static constexpr int CancelResult = 2;

    explicit Tnadd(QWidget *parent = nullptr);
    ~Tnadd() override;
    Tnadd(const Tnadd &) = delete;
    Tnadd &operator=(const Tnadd &) = delete;

    // Back to the state of a new dialog, so one dialog can serve card after card.
    void Reset();
    void SetCard(int card);
    // A name that is read-only belongs to a card that already has a row.
    void SetHolderName(const QString &name, bool readOnly);
    QString HolderName() const;
    bool HolderNameReadOnly() const;
    QComboBox *GroupCombo() const;
    QString GroupName() const;
    // Port 1..8: the access box of that reader port.
    void SetPortCaption(int port, const QString &caption);
    void SetAccess(int port, bool allowed);
    bool Access(int port) const;
    void SetOffline(bool allowed);
    bool Offline() const;
    // Lines may end in any line end; they come back ended by "\n".
    void SetRemarks(const QString &text);
    QString Remarks() const;
    void SetPhoto(const QImage &photo);
    // The card's photo as stored. One already at the stored size is decoded only when it is
    // shown or asked for, and is kept byte for byte until it is loaded over, turned or cleared.
    void SetStoredPhoto(const QByteArray &jpeg);
    const QImage &Photo() const;
    // The stored JPEG to write back as it is; empty when the picture has to be encoded.
    const QByteArray &UnchangedJpeg() const { return m_storedJpeg; }

    // "Load Photo" and a click on the photo.
    void xloadClick();
    void bRotateClick();
    void bClearClick();
    // "Confirm": the name is checked (the dialog stays open on a bad one) and the photo is
    // scaled to the stored size before the dialog closes with OK.
    void xconfirmClick();
    // "Delete": once confirmed, empties the name and closes with OK, the order to delete.
    void xdeleteClick();
    void xcancelClick();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void showPhoto();
    // The picture is about to change: it is decoded first and the stored bytes are let go.
    void touchPhoto();
    // Refuses the name with the message, the focus on the name field.
    void refuseName(const QString &message);

    std::unique_ptr<Ui::Tnadd> m_ui;
    // Decoded from m_storedJpeg on first use; bytes that cannot be decoded leave the cleared
    // picture on screen.
    mutable QImage m_photo;
    QByteArray m_storedJpeg;
    mutable bool m_photoPending = false;
};
