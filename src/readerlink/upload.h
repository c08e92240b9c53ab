#pragma once
// TOfflineAcc: the modal "Offline Access Table" dialog: the cards DL series readers accept
// while they work without the desk (the staff rows with OFFLINE set) beside the cards they
// refuse, moving cards between the two, and the upload of the list to every enabled DL series
// reader (TAccessUpload). Main thread only.

#include <QDialog>
#include <QList>
#include <memory>

class TDataSet;
class TDataSetModel;

namespace Ui {
class TOfflineAcc;
}

class TOfflineAcc : public QDialog
{
    Q_OBJECT

public:
    explicit TOfflineAcc(QWidget *parent = nullptr);
    ~TOfflineAcc() override;
    TOfflineAcc(const TOfflineAcc &) = delete;
    TOfflineAcc &operator=(const TOfflineAcc &) = delete;

    // Reopens both lists and counts them in their captions.
    void RefreshLists();
    // The current card of the other list joins the members; the current member leaves.
    void baddClick();
    void bremoveClick();
    // A title click sorts that list by the column.
    void dbgmemberTitleClick(int column);
    void dbgnonmemberTitleClick(int column);
    // "Upload": the member cards, in the list's order, to every enabled DL series reader.
    void Button1Click();
    // "Close": saves the placement and the column widths.
    void Button2Click();

    TDataSet &Members() const { return *m_member; }
    TDataSet &NonMembers() const { return *m_nonmember; }
    // The member list's cards in its order.
    QList<int> MemberCards() const;

private:
    void FillReaderList();
    void setOffline(TDataSetModel &list, bool offline);
    void sortBy(TDataSet &query, TDataSetModel &model, bool members, int column);

    std::unique_ptr<Ui::TOfflineAcc> m_ui;
    std::unique_ptr<TDataSet> m_member;
    std::unique_ptr<TDataSet> m_nonmember;
    std::unique_ptr<TDataSetModel> m_memberModel;
    std::unique_ptr<TDataSetModel> m_nonmemberModel;
};
