#include "store/picklist.h"

#include "store/datasetmodel.h"
#include "store/datasrc.h"
#include "store/dbschema.h"
#include "store/formplacement.h"
#include "store/guard.h"
#include "store/settings.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace {

const QString FormPrefix = QStringLiteral("PickListForm");
const QString MemberGridPrefix = QStringLiteral("PickListMember");
const QString NonmemberGridPrefix = QStringLiteral("PickListNonmember");

// The sort column goes into the order clause: only the list's own columns may.
QString sortColumnOf(const QString &column)
{
    for (const QString *own : {&Schema::Staffs::CardNo, &Schema::Staffs::Name, &Schema::Gid::Descx})
        if (column.compare(*own, Qt::CaseInsensitive) == 0)
            return *own;
    if (column.compare(QLatin1String("WORKGROUP"), Qt::CaseInsensitive) == 0)
        return Schema::Gid::Descx;
    return Schema::Staffs::Name;
}

std::vector<TGridColumn> listColumns()
{
    const Qt::Alignment centred = Qt::AlignCenter;
    return {{Schema::Staffs::CardNo,
             QStringLiteral("CARDNO"),
             Qt::AlignLeft | Qt::AlignVCenter,
             centred,
             ColumnKind::NarrowText,
             {}},
            {Schema::Staffs::Name,
             QStringLiteral("NAME"),
             Qt::AlignLeft | Qt::AlignVCenter,
             centred,
             ColumnKind::Other,
             {}},
            {QStringLiteral("WORKGROUP"),
             QStringLiteral("WORKGROUP"),
             Qt::AlignLeft | Qt::AlignVCenter,
             centred,
             ColumnKind::Other,
             {}}};
}

QTableView *listGrid(const char *name, TDataSetModel *model)
{
    auto *grid = new QTableView;
    grid->setObjectName(QString::fromLatin1(name));
    grid->setModel(model);
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->verticalHeader()->hide();
    model->FollowView(grid);
    return grid;
}

QPushButton *button(const char *name, const QString &text, const QString &hint = QString())
{
    auto *b = new QPushButton(text);
    b->setObjectName(QString::fromLatin1(name));
    b->setToolTip(hint);
    return b;
}

} // namespace

TPickList::TPickList(QWidget *parent)
    : QDialog(parent), gbmember(new QGroupBox),
      badd(button("badd", QStringLiteral("Add"), QStringLiteral("Add to member list."))),
      bremove(
          button("bremove", QStringLiteral("Remove"), QStringLiteral("Remove from member list."))),
      bremoveall(button("bremoveall", QStringLiteral("Remove All"))), gbnonmember(new QGroupBox),
      bclose(button("bclose", QStringLiteral("Close"))), m_member(dsrc->src),
      m_nonmember(dsrc->src), m_memberModel(new TDataSetModel(m_member, listColumns(), this)),
      m_nonmemberModel(new TDataSetModel(m_nonmember, listColumns(), this))
{
    setWindowTitle(QStringLiteral("Pick List"));
    resize(470, 531);
    gbmember->setObjectName(QStringLiteral("gbmember"));
    gbnonmember->setObjectName(QStringLiteral("gbnonmember"));
    dbgmember = listGrid("dbgmember", m_memberModel);
    dbgnonmember = listGrid("dbgnonmember", m_nonmemberModel);
    (new QVBoxLayout(gbmember))->addWidget(dbgmember);
    (new QVBoxLayout(gbnonmember))->addWidget(dbgnonmember);
    auto *buttons = new QHBoxLayout;
    for (QPushButton *b : {badd, bremove, bremoveall})
        buttons->addWidget(b);
    buttons->addStretch();
    auto *bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(bclose);
    auto *all = new QVBoxLayout(this);
    all->addWidget(gbmember);
    all->addLayout(buttons);
    all->addWidget(gbnonmember);
    all->addLayout(bottom);

    connect(badd, &QPushButton::clicked, this, Guarded(this, &TPickList::baddClick));
    connect(bremove, &QPushButton::clicked, this, Guarded(this, &TPickList::bremoveClick));
    connect(bremoveall, &QPushButton::clicked, this, Guarded(this, &TPickList::bremoveallClick));
    connect(bclose, &QPushButton::clicked, this, Guarded(this, &TPickList::bcloseClick));
    connect(dbgnonmember, &QTableView::doubleClicked, this, Guarded(this, &TPickList::baddClick));
    connect(dbgmember, &QTableView::doubleClicked, this, Guarded(this, &TPickList::bremoveClick));
    connect(dbgmember->horizontalHeader(), &QHeaderView::sectionClicked, this, [this](int c) {
        RunGuarded([&] { LoadList(m_member, m_memberModel->Column(c).field, true); });
    });
    connect(dbgnonmember->horizontalHeader(), &QHeaderView::sectionClicked, this, [this](int c) {
        RunGuarded([&] { LoadList(m_nonmember, m_nonmemberModel->Column(c).field, false); });
    });

    m_memberSort = sortColumnOf(ReadRegString(Setting::PickListMemberSort));
    m_nonmemberSort = sortColumnOf(ReadRegString(Setting::PickListNonmemberSort));
    RefreshLists();
    // The columns as understood; the list opens even when they cannot be stored.
    RunGuarded([this] {
        WriteRegString(Setting::PickListMemberSort, m_memberSort);
        WriteRegString(Setting::PickListNonmemberSort, m_nonmemberSort);
    });
    LoadFormPlacement(FormPrefix, this);
    LoadGridColumnWidths(MemberGridPrefix, dbgmember);
    LoadGridColumnWidths(NonmemberGridPrefix, dbgnonmember);
}

TPickList::~TPickList() = default;

void TPickList::LoadList(TDataSet &query, const QString &sortColumn, bool picked)
{
    const QString column = sortColumnOf(sortColumn);
    const bool members = &query == &m_member;
    (members ? m_memberSort : m_nonmemberSort) = column;
    openList(query, column, picked);
    WriteRegString(members ? Setting::PickListMemberSort : Setting::PickListNonmemberSort, column);
}

void TPickList::openList(TDataSet &query, const QString &column, bool picked)
{
    query.Close();
    query.SetSQLLines(
        {QStringLiteral("select SEQ,CARDNO,NAME,"),
         QStringLiteral("descx as WORKGROUP from staffs"), QStringLiteral("left join gid"),
         QStringLiteral("on staffs.workgrp=gid.id"),
         QStringLiteral("where picked=") + (picked ? QStringLiteral("1") : QStringLiteral("0")),
         QStringLiteral("order by"), column + QStringLiteral(",NAME")});
    query.Open();
}

void TPickList::RefreshLists()
{
    // In the order last chosen, which is remembered already.
    openList(m_member, m_memberSort, true);
    openList(m_nonmember, m_nonmemberSort, false);
    showCounts();
}

void TPickList::showCounts()
{
    gbmember->setTitle(QStringLiteral("Allowed Member (") +
                       QString::number(m_member.RecordCount()) + QStringLiteral(" records") +
                       QStringLiteral(")"));
    gbnonmember->setTitle(QStringLiteral("Denied Member (") +
                          QString::number(m_nonmember.RecordCount()) + QStringLiteral(" records") +
                          QStringLiteral(")"));
}

void TPickList::setPicked(TDataSetModel *model, bool picked)
{
    // The row the user chose, by its own key: two holders may share a card.
    if (model->MoveToCurrentRow()) {
        const qint64 seq = model->DataSet()->FieldByName(Schema::Staffs::Seq).AsLargeInt();
        TDataSet &staff = dsrc->staff;
        if (!staff.Active())
            staff.Open();
        if (staff.Locate(Schema::Staffs::Seq, seq)) {
            TDataSetEdit edit(staff, TDataSetEdit::Kind::Edit);
            staff.FieldByName(Schema::Staffs::Picked).SetAsBoolean(picked);
            edit.Post();
        }
    }
    RefreshLists();
}

void TPickList::baddClick()
{
    setPicked(m_nonmemberModel, true);
}

void TPickList::bremoveClick()
{
    setPicked(m_memberModel, false);
}

void TPickList::bremoveallClick()
{
    dsrc->src.Exec(QStringLiteral("update staffs set PICKED=0 where PICKED<>0"));
    if (dsrc->staff.Active())
        dsrc->staff.Refresh();
    RefreshLists();
}

void TPickList::bcloseClick()
{
    // "Close" closes even when the placement cannot be kept.
    RunGuarded([this] {
        SaveFormPlacement(FormPrefix, this);
        SaveGridColumnWidths(MemberGridPrefix, dbgmember);
        SaveGridColumnWidths(NonmemberGridPrefix, dbgnonmember);
    });
    accept();
}

void ShowPickList(QWidget *owner)
{
    TPickList list(owner);
    list.exec();
}
