#include "readerlink/upload.h"

#include "readerlink/accessupload.h"
#include "store/datasetmodel.h"
#include "store/datasrc.h"
#include "store/dbschema.h"
#include "store/formplacement.h"
#include "store/guard.h"
#include "store/messages.h"
#include "store/settings.h"
#include "ui_upload.h"

#include <QHeaderView>
#include <QPushButton>
#include <QTableView>
#include <QToolButton>

#include <exception>

namespace {

const QString PlacementName = QStringLiteral("OfflineForm");
const QString MemberWidthsName = QStringLiteral("OfflineMember");
const QString NonmemberWidthsName = QStringLiteral("OfflineNonmember");

// The cards with OFFLINE set, or the others; sorted by one of the list's own columns.
QStringList listQuery(bool members, const QString &orderBy = QString())
{
    QStringList lines = {QStringLiteral("select * from offline"), QStringLiteral("left join gid"),
                         QStringLiteral("on offline.gid=gid.id"),
                         members ? QStringLiteral("where offline.OFFLINE<>0")
                                 : QStringLiteral("where offline.OFFLINE=0")};
    if (!orderBy.isEmpty())
        lines << QStringLiteral("order by \"") + orderBy + QStringLiteral("\"");
    return lines;
}

std::vector<TGridColumn> everyColumn(const TDataSet &query)
{
    std::vector<TGridColumn> columns;
    for (const QString &name : query.FieldNames()) {
        TGridColumn c;
        c.field = name;
        c.title = name;
        columns.push_back(c);
    }
    return columns;
}

} // namespace

TOfflineAcc::TOfflineAcc(QWidget *parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::TOfflineAcc>()),
      m_member(std::make_unique<TDataSet>(dsrc->src)),
      m_nonmember(std::make_unique<TDataSet>(dsrc->src))
{
    m_ui->setupUi(this);
    m_member->SetSQLLines(listQuery(true));
    m_nonmember->SetSQLLines(listQuery(false));
    RefreshLists();
    m_memberModel = std::make_unique<TDataSetModel>(*m_member, everyColumn(*m_member));
    m_nonmemberModel = std::make_unique<TDataSetModel>(*m_nonmember, everyColumn(*m_nonmember));
    m_ui->dbgmember->setModel(m_memberModel.get());
    m_ui->dbgnonmember->setModel(m_nonmemberModel.get());
    m_memberModel->FollowView(m_ui->dbgmember);
    m_nonmemberModel->FollowView(m_ui->dbgnonmember);

    connect(m_ui->badd, &QToolButton::clicked, this, Guarded(this, &TOfflineAcc::baddClick));
    connect(m_ui->bremove, &QToolButton::clicked, this, Guarded(this, &TOfflineAcc::bremoveClick));
    connect(m_ui->dbgnonmember, &QTableView::doubleClicked, this,
            Guarded(this, &TOfflineAcc::baddClick));
    connect(m_ui->dbgmember, &QTableView::doubleClicked, this,
            Guarded(this, &TOfflineAcc::bremoveClick));
    connect(m_ui->dbgmember->horizontalHeader(), &QHeaderView::sectionClicked, this,
            Guarded(this, &TOfflineAcc::dbgmemberTitleClick));
    connect(m_ui->dbgnonmember->horizontalHeader(), &QHeaderView::sectionClicked, this,
            Guarded(this, &TOfflineAcc::dbgnonmemberTitleClick));
    connect(m_ui->Button1, &QPushButton::clicked, this, Guarded(this, &TOfflineAcc::Button1Click));
    connect(m_ui->Button2, &QPushButton::clicked, this, Guarded(this, &TOfflineAcc::Button2Click));

    FillReaderList();
    LoadFormPlacement(PlacementName, this);
    LoadGridColumnWidths(MemberWidthsName, m_ui->dbgmember);
    LoadGridColumnWidths(NonmemberWidthsName, m_ui->dbgnonmember);
}

TOfflineAcc::~TOfflineAcc()
{
    // The views let go of the models before the models go.
    m_ui->dbgmember->setModel(nullptr);
    m_ui->dbgnonmember->setModel(nullptr);
}

void TOfflineAcc::FillReaderList()
{
    TDataSet readers(dsrc->src, QStringLiteral("select DESC from reader"));
    readers.Open();
    for (readers.First(); !readers.Eof(); readers.Next())
        m_ui->cbList->addItem(readers.Field(0).AsString());
}

void TOfflineAcc::RefreshLists()
{
    for (TDataSet *list : {m_member.get(), m_nonmember.get()}) {
        list->Close();
        list->Open();
    }
    const auto caption = [](const char *head, int count) {
        return QString::fromLatin1(head) + QString::number(count) + QStringLiteral(" records") +
               QStringLiteral(")");
    };
    m_ui->gbmember->setTitle(caption("Allowed Member (", m_member->RecordCount()));
    m_ui->gbnonmember->setTitle(caption("Denied Member (", m_nonmember->RecordCount()));
}

void TOfflineAcc::setOffline(TDataSetModel &list, bool offline)
{
    if (list.DataSet()->IsEmpty() || !list.MoveToCurrentRow())
        return;
    const int card = list.DataSet()->FieldByName(Schema::Staffs::CardNo).AsInteger();
    TDataSet &staff = dsrc->staff;
    try {
        if (!staff.Active())
            staff.Open();
        if (staff.Locate(Schema::Staffs::CardNo, card)) {
            TDataSetEdit edit(staff, TDataSetEdit::Kind::Edit);
            staff.FieldByName(Schema::Staffs::Offline).SetAsBoolean(offline);
            edit.Post();
        }
    } catch (const std::exception &e) {
        qWarning("Offline flag of card %d: %s", card, e.what());
        ShowUpdateFailed();
    }
    RefreshLists();
}

void TOfflineAcc::baddClick()
{
    setOffline(*m_nonmemberModel, true);
}

void TOfflineAcc::bremoveClick()
{
    setOffline(*m_memberModel, false);
}

void TOfflineAcc::sortBy(TDataSet &query, TDataSetModel &model, bool members, int column)
{
    // Only a column the list itself shows names the order.
    const QString field =
        column >= 0 && column < model.columnCount() ? model.Column(column).field : QString();
    query.SetSQLLines(listQuery(members, field));
    query.Open();
}

void TOfflineAcc::dbgmemberTitleClick(int column)
{
    sortBy(*m_member, *m_memberModel, true, column);
}

void TOfflineAcc::dbgnonmemberTitleClick(int column)
{
    sortBy(*m_nonmember, *m_nonmemberModel, false, column);
}

QList<int> TOfflineAcc::MemberCards() const
{
    QList<int> cards;
    const int field = m_member->FieldByName(Schema::Staffs::CardNo).Index();
    for (int row = 0; row < m_member->RecordCount(); ++row)
        cards << m_member->FieldAt(row, field).toInt();
    return cards;
}

void TOfflineAcc::Button1Click()
{
    TAccessUpload(this).Upload(MemberCards());
}

void TOfflineAcc::Button2Click()
{
    // "Close" closes even when the placement cannot be kept.
    RunGuarded([this] {
        SaveFormPlacement(PlacementName, this);
        SaveGridColumnWidths(MemberWidthsName, m_ui->dbgmember);
        SaveGridColumnWidths(NonmemberWidthsName, m_ui->dbgnonmember);
    });
    reject();
}
