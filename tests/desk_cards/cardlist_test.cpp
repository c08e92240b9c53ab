// The card list: its members, order and caption, the sort column it keeps, editing the chosen
// member, and the modal results.

#include "cardsfixture.h"
#include "store/settings.h"
#include "store_images/pictures.h"

#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QSettings>
#include <QTableView>

namespace {

class CardListTest : public CardsTest
{
protected:
    void SetUp() override
    {
        CardsTest::SetUp();
        m_day = AddGroup(QStringLiteral("Day"));
        m_night = AddGroup(QStringLiteral("Night"));
        AddHolder(300, QStringLiteral("Cleo"), m_night, gradient(240, 320));
        AddHolder(100, QStringLiteral("Abel"), m_night);
        AddHolder(200, QStringLiteral("Bea"), m_day);
    }

    // The listed cards in the grid's order.
    static QList<int> Listed(TCardInfo &list)
    {
        QList<int> cards;
        QAbstractItemModel *model = Grid(list)->model();
        for (int r = 0; r < model->rowCount(); ++r)
            cards << model->data(model->index(r, 0)).toInt();
        return cards;
    }
    static QTableView *Grid(TCardInfo &list)
    {
        return list.findChild<QTableView *>(QStringLiteral("dbgmember"));
    }
    static QString Caption(TCardInfo &list)
    {
        return list.findChild<QGroupBox *>(QStringLiteral("gbmember"))->title();
    }
    static void SelectCard(TCardInfo &list, int card)
    {
        const int row = int(Listed(list).indexOf(card));
        ASSERT_GE(row, 0) << card;
        Grid(list)->selectRow(row);
    }

    int m_day = 0;
    int m_night = 0;
};

TEST_F(CardListTest, ListsTheMembersByTheStoredColumnWithoutTheirPhotos)
{
    TCardInfo list(nullptr, Steps().Runner());
    list.FormCreate();
    EXPECT_EQ(list.windowTitle(), QStringLiteral("Card Information List"));
    EXPECT_EQ(Caption(list), QStringLiteral("Used (3 cards)"));
    EXPECT_EQ(Listed(list), (QList<int>{100, 200, 300}));
    QStringList titles;
    for (int c = 0; c < Grid(list)->model()->columnCount(); ++c)
        titles << Grid(list)->model()->headerData(c, Qt::Horizontal).toString();
    EXPECT_EQ(titles, (QStringList{QStringLiteral("CARDNO"), QStringLiteral("NAME"),
                                   QStringLiteral("WORKGROUP")}));
    EXPECT_FALSE(list.Members().FindField(QStringLiteral("PHOTO")).IsValid());
    EXPECT_EQ(Grid(list)->toolTip(), QStringLiteral("Double click to edit the record."));
    EXPECT_EQ(Grid(list)->selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_EQ(Grid(list)->editTriggers(), QAbstractItemView::NoEditTriggers);

    // The current row's photo, fetched by its card; a member without one shows white.
    EXPECT_EQ(list.MemberPhoto().size(), QSize(100, 100));
    SelectCard(list, 300);
    EXPECT_EQ(list.CurrentCard(), 300);
    ASSERT_EQ(list.MemberPhoto().size(), QSize(240, 320));
    expectClose(list.MemberPhoto().pixel(239, 0), gradient(240, 320).pixel(239, 0));
    EXPECT_EQ(list.findChild<QLabel *>(QStringLiteral("xphoto"))->size(), QSize(120, 160));
}

// A sort column read back from the settings goes into the query only when it is one of the
// list's own; anything else, however it was written there, reads as NAME.
TEST_F(CardListTest, StoredSortColumnIsReadThroughTheListsOwnColumns)
{
    struct Case
    {
        const char *stored;
        const char *column;
        QList<int> order;
    };
    const Case cases[] = {
        {"CARDNO", "CARDNO", {100, 200, 300}},
        {"cardno", "CARDNO", {100, 200, 300}},
        {"NAME", "NAME", {100, 200, 300}},
        {"DESCX", "DESCX", {200, 100, 300}},
        {"WORKGROUP", "DESCX", {200, 100, 300}},
        {"NAME;DROP TABLE staffs", "NAME", {100, 200, 300}},
        {"CARDNO desc", "NAME", {100, 200, 300}},
        {"(select 1)", "NAME", {100, 200, 300}},
        {"PHOTO", "NAME", {100, 200, 300}},
        {"", "NAME", {100, 200, 300}},
    };
    // Card numbers against names, so that the two orders differ.
    dsrc->src.Exec(QStringLiteral("update staffs set CARDNO=CARDNO+1000 where NAME='Abel'"));
    for (const Case &c : cases) {
        SCOPED_TRACE(c.stored);
        WriteRegString(QStringLiteral("CI_member"), QString::fromLatin1(c.stored));
        TCardInfo list(nullptr, Steps().Runner());
        list.FormCreate();
        EXPECT_EQ(list.SortColumn(), QLatin1String(c.column));
        QList<int> order = c.order;
        for (int &card : order)
            if (card == 100)
                card = 1100;
        if (QLatin1String(c.column) == QLatin1String("CARDNO"))
            order = {200, 300, 1100};
        EXPECT_EQ(Listed(list), order);
        EXPECT_EQ(Count(dsrc->src, QStringLiteral("staffs")), 3);
    }
    EXPECT_EQ(MemberSortColumn(QStringLiteral("workgroup")), QStringLiteral("DESCX"));
}

// A click on a column title sorts by it, NAME second, and is kept for the next visit.
TEST_F(CardListTest, TitleClickSortsAndIsKept)
{
    {
        TCardInfo list(nullptr, Steps().Runner());
        list.FormCreate();
        SelectCard(list, 300);
        Grid(list)->horizontalHeader()->sectionClicked(2);
        EXPECT_EQ(Listed(list), (QList<int>{200, 100, 300}));
        EXPECT_EQ(list.CurrentCard(), 300);
        Grid(list)->horizontalHeader()->sectionClicked(0);
        EXPECT_EQ(Listed(list), (QList<int>{100, 200, 300}));
        Grid(list)->horizontalHeader()->sectionClicked(2);
    }
    EXPECT_EQ(ReadRegString(QStringLiteral("CI_member"), QString()), QStringLiteral("DESCX"));
    TCardInfo again(nullptr, Steps().Runner());
    again.FormCreate();
    EXPECT_EQ(again.SortColumn(), QStringLiteral("DESCX"));
    EXPECT_EQ(Listed(again), (QList<int>{200, 100, 300}));
}

// Edit opens the chosen member; a saved change reloads the list in its order and goes back
// to the edited card; Close then answers 1, and 2 after a visit that changed nothing.
TEST_F(CardListTest, EditReloadsTheListOnTheEditedCard)
{
    WriteRegString(QStringLiteral("CI_member"), QStringLiteral("DESCX"));
    TCardInfo list(nullptr, Steps().Runner());
    list.FormCreate();
    EXPECT_EQ(Listed(list), (QList<int>{200, 100, 300}));
    SelectCard(list, 100);
    Steps().Add([](QDialog &d) {
        EXPECT_EQ(Child<QLineEdit>(d, "xcode")->text(), QStringLiteral("100"));
        Child<QComboBox>(d, "cbxgroup")->setCurrentText(QStringLiteral("Day"));
        Press(d, "xconfirm");
    });
    Press(list, "bedit");
    EXPECT_EQ(Steps().Pending(), 0);
    EXPECT_EQ(Listed(list), (QList<int>{100, 200, 300}));
    EXPECT_EQ(list.CurrentCard(), 100);
    EXPECT_EQ(Grid(list)->currentIndex().row(), 0);
    EXPECT_EQ(Caption(list), QStringLiteral("Used (3 cards)"));

    // A member deleted from its dialog leaves the list, which goes to its first row.
    SelectCard(list, 300);
    Messages().QueueAnswer(MsgButton::Ok);
    Steps().Add([](QDialog &d) { Press(d, "xdelete"); });
    Grid(list)->doubleClicked(Grid(list)->currentIndex());
    EXPECT_EQ(Listed(list), (QList<int>{100, 200}));
    EXPECT_EQ(Caption(list), QStringLiteral("Used (2 cards)"));
    EXPECT_EQ(list.CurrentCard(), 100);

    Press(list, "Button2");
    EXPECT_EQ(list.result(), TCardInfo::ChangedResult);
    QSettings settings(QStringLiteral("ZUVI"), QStringLiteral("Tallyclock"));
    EXPECT_TRUE(settings.contains(QStringLiteral("CardInfoForm_WIDTH")));
    EXPECT_TRUE(settings.contains(QStringLiteral("CardInfoMemberGrid_0")));

    TCardInfo unchanged(nullptr, Steps().Runner());
    unchanged.FormCreate();
    Steps().Add([](QDialog &d) { Press(d, "xcancel"); });
    Press(unchanged, "bedit");
    EXPECT_EQ(Steps().Pending(), 0);
    // Closing the window is Close.
    unchanged.show();
    unchanged.close();
    EXPECT_EQ(unchanged.result(), TCardInfo::UnchangedResult);
}

TEST_F(CardListTest, EditOnAnEmptyListSaysNoRecord)
{
    dsrc->src.Exec(QStringLiteral("delete from staffs"));
    TCardInfo list(nullptr, Steps().Runner());
    list.FormCreate();
    EXPECT_EQ(Caption(list), QStringLiteral("Used (0 cards)"));
    Press(list, "bedit");
    ASSERT_EQ(Messages().Count(), 1);
    EXPECT_EQ(Messages().Last().text, QStringLiteral("No record."));
    EXPECT_EQ(Steps().Run(), 0);
}

// A member whose row goes while the list is open opens as a card without a row; cancelled,
// it leaves the list, and the rest of the list stays usable.
TEST_F(CardListTest, MemberDeletedWhileTheListIsOpen)
{
    TCardInfo list(nullptr, Steps().Runner());
    list.FormCreate();
    SelectCard(list, 200);
    dsrc->src.Exec(QStringLiteral("delete from staffs where CARDNO=200"));
    Steps().Add([](QDialog &d) {
        EXPECT_TRUE(Child<QLineEdit>(d, "xname")->text().isEmpty());
        EXPECT_FALSE(Child<QLineEdit>(d, "xname")->isReadOnly());
        Press(d, "xcancel");
    });
    Press(list, "bedit");
    EXPECT_EQ(Listed(list), (QList<int>{100, 300}));
    EXPECT_EQ(Caption(list), QStringLiteral("Used (2 cards)"));
    EXPECT_EQ(Messages().Count(), 0);

    SelectCard(list, 300);
    Steps().Add([](QDialog &d) {
        Child<QPlainTextEdit>(d, "memo")->setPlainText(QStringLiteral("still here"));
        Press(d, "xconfirm");
    });
    Press(list, "bedit");
    EXPECT_EQ(StoredText(300, "MEMO"), QStringLiteral("still here"));
    EXPECT_EQ(list.CurrentCard(), 300);
}

} // namespace
