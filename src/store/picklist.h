#pragma once
// `TPickList`: the modal "Pick List" in which the user chooses the members the reports of the
// "List" scope cover: the card holders marked PICKED ("Allowed Member") and the others
// ("Denied Member"), moved between the two by setting the mark in the staff table. Each list
// keeps the sort column its title click chose. Main thread only.

#include "store/dataset.h"

#include <QDialog>

class QGroupBox;
class QPushButton;
class QTableView;
class TDataSetModel;

class TPickList : public QDialog
{
    Q_OBJECT

public:
    explicit TPickList(QWidget *parent = nullptr);
    ~TPickList() override;

    QGroupBox *gbmember;
    QTableView *dbgmember;
    QPushButton *badd;
    QPushButton *bremove;
    QPushButton *bremoveall;
    QGroupBox *gbnonmember;
    QTableView *dbgnonmember;
    QPushButton *bclose;

    // Reopens one list sorted by the column (CARDNO, NAME or DESCX; WORKGROUP means DESCX,
    // anything else NAME) and remembers the column.
    void LoadList(TDataSet &query, const QString &sortColumn, bool picked);
    // Both lists as stored, and their captions with the row counts.
    void RefreshLists();

    // The chosen row of the non-members becomes a member, and back; every holder leaves the
    // members at once.
    void baddClick();
    void bremoveClick();
    void bremoveallClick();
    void bcloseClick();

    TDataSet &Members() { return m_member; }
    TDataSet &Nonmembers() { return m_nonmember; }

private:
    void setPicked(TDataSetModel *model, bool picked);
    void openList(TDataSet &query, const QString &column, bool picked);
    void showCounts();

    TDataSet m_member;
    TDataSet m_nonmember;
    TDataSetModel *m_memberModel;
    TDataSetModel *m_nonmemberModel;
    QString m_memberSort; // the sort columns in use, as remembered
    QString m_nonmemberSort;
};

// Creates the pick list over the owner, shows it modally and frees it.
void ShowPickList(QWidget *owner);
