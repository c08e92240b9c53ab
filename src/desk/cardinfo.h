#pragma once
// TCardInfo: the modal "Card Information List" of the registered card holders with the photo
// of the chosen one, and `EditCard`, the one road by which the desk creates, changes or deletes
// a staffs row (through the card dialog Tnadd and the shared dataset dsrc->staff). EditCard
// works on a list that was never built or shown. Main thread only.

#include "store/dataset.h"
#include "store/dialogrunner.h"

#include <QDialog>
#include <QImage>
#include <memory>

class Tnadd;

class TDataSetModel;

namespace Ui {
class TCardInfo;
}

// The sort column the list reads from the stored setting: CARDNO, NAME or DESCX (the stored
// column title WORKGROUP stands for DESCX), letters in any case; anything else reads as NAME.
QString MemberSortColumn(const QString &stored);

class TCardInfo : public QDialog
{
    Q_OBJECT

public:
    // Shows a modal dialog and answers its result; the main window hands its own down, so the
    // card dialog runs as every other dialog of the desk does.
    using DialogRunner = TDialogRunner::Function;
    // Close's modal results.
    static constexpr int ChangedResult = 1;
    static constexpr int UnchangedResult = 2;

    explicit TCardInfo(QWidget *parent = nullptr, DialogRunner runner = {});
    ~TCardInfo() override;
    TCardInfo(const TCardInfo &) = delete;
    TCardInfo &operator=(const TCardInfo &) = delete;

    // Builds the list: the members sorted by the stored column, the stored placement and column
    // widths, the first row's photo. Run before the list is shown; EditCard does not need it.
    void FormCreate();

    // Edits the staffs row of the card through the card dialog: true when a row was saved or
    // deleted. A failed write is reported and leaves the row as it was.
    bool EditCard(int card);

    // "Edit" and a double click on the grid: edits the current member's card, then reloads the
    // list and goes back to that card.
    void beditClick();
    // "Close": stores the placement and column widths and closes with ChangedResult when a card
    // was saved or deleted, else UnchangedResult.
    void Button2Click();
    // A click on a column title: sorts by that column, NAME second, and stores the choice.
    void dbgmemberTitleClick(int column);

    bool Changed() const { return m_changed; }
    // The sort column in use and the members listed (for the window and tests).
    QString SortColumn() const { return m_sortColumn; }
    TDataSet &Members() { return m_member; }
    // The card of the grid's current row; 0 when the list is empty.
    int CurrentCard() const;
    const QImage &MemberPhoto() const { return m_photo; }

    void reject() override;

private:
    void reloadList();
    void openMembers();
    void goToCard(int card);
    void showMemberPhoto();
    // The card dialog, built once and made new again for each card: building its widgets
    // costs more than writing the card.
    Tnadd &cardDialog();

    std::unique_ptr<Ui::TCardInfo> m_ui;
    TDialogRunner m_dialogs;
    std::unique_ptr<Tnadd> m_cardDialog;
    TDataSet m_member;
    // Goes before the dataset it listens to.
    std::unique_ptr<TDataSetModel> m_model;
    QString m_sortColumn;
    QImage m_photo;
    bool m_changed = false;
};
