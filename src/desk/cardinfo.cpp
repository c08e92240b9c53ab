#include "desk/cardinfo.h"

#include "desk/nadd.h"
#include "desk/readers.h"
#include "readerlink/reader.h"
#include "store/combofill.h"
#include "store/datasetmodel.h"
#include "store/datasrc.h"
#include "store/dbschema.h"
#include "store/formplacement.h"
#include "store/guard.h"
#include "store/images.h"
#include "store/jpegcodec.h"
#include "store/messages.h"
#include "store/settingkeys.h"
#include "store/settings.h"
#include "store/utils.h"
#include "ui_cardinfo.h"

#include <QComboBox>
#include <QHeaderView>
#include <QPixmap>
#include <QPushButton>
#include <QTableView>

#include <array>
#include <exception>

namespace {

const QString FormPrefix = QStringLiteral("CardInfoForm");
const QString GridPrefix = QStringLiteral("CardInfoMemberGrid");

const QString &CardNoField = Schema::Staffs::CardNo;
const QString &NameField = Schema::Staffs::Name;

// The grid's columns and the field each sorts by.
struct MemberColumn
{
    const QString *field;
    const char *title;
    const QString *sortBy;
};
// The list's query gives the holder's group name under this column name.
const QString WorkGroupField = QStringLiteral("WORKGROUP");
const std::array<MemberColumn, 3> MemberColumns{{
    {&Schema::Staffs::CardNo, "CARDNO", &Schema::Staffs::CardNo},
    {&Schema::Staffs::Name, "NAME", &Schema::Staffs::Name},
    {&WorkGroupField, "WORKGROUP", &Schema::Gid::Descx},
}};

QString accessField(int port)
{
    return Schema::Staffs::Com(port);
}

bool cardHasRow(int card)
{
    TStatement q = dsrc->src.Prepare(QStringLiteral("select 1 from staffs where CARDNO=?"));
    q.Bind(1, card);
    return q.Step();
}

QString portCaption(int port)
{
    const TRfidReader *reader = Readers[static_cast<std::size_t>(port)];
    return reader ? reader->Desc() : GetPortName(port);
}

} // namespace

QString MemberSortColumn(const QString &stored)
{
    // The column goes into the query's order clause: only the list's own columns may.
    for (const MemberColumn &column : MemberColumns) {
        if (stored.compare(*column.field, Qt::CaseInsensitive) == 0 ||
            stored.compare(*column.sortBy, Qt::CaseInsensitive) == 0)
            return *column.sortBy;
    }
    return NameField;
}

TCardInfo::TCardInfo(QWidget *parent, DialogRunner runner)
    : QDialog(parent), m_ui(std::make_unique<Ui::TCardInfo>()), m_dialogs(std::move(runner)),
      m_member(dsrc->src)
{
    m_ui->setupUi(this);
    connect(m_ui->bedit, &QPushButton::clicked, this, Guarded(this, &TCardInfo::beditClick));
    connect(m_ui->Button2, &QPushButton::clicked, this, Guarded(this, &TCardInfo::Button2Click));
    connect(m_ui->dbgmember, &QTableView::doubleClicked, this,
            Guarded(this, &TCardInfo::beditClick));
    connect(m_ui->dbgmember->horizontalHeader(), &QHeaderView::sectionClicked, this,
            Guarded(this, &TCardInfo::dbgmemberTitleClick));
    std::vector<TGridColumn> columns;
    for (const MemberColumn &column : MemberColumns) {
        TGridColumn grid;
        grid.field = *column.field;
        grid.title = QLatin1String(column.title);
        columns.push_back(grid);
    }
    m_model = std::make_unique<TDataSetModel>(m_member, std::move(columns));
    m_ui->dbgmember->setModel(m_model.get());
    m_model->FollowView(m_ui->dbgmember);
    connect(m_model.get(), &TDataSetModel::CurrentRowChanged, this, &TCardInfo::showMemberPhoto);
    ClearImage(m_photo);
}

TCardInfo::~TCardInfo()
{
    m_ui->dbgmember->setModel(nullptr);
}

void TCardInfo::FormCreate()
{
    m_changed = false;
    m_sortColumn = MemberSortColumn(ReadRegString(Setting::CardListSort));
    reloadList();
    LoadFormPlacement(FormPrefix, this);
    LoadGridColumnWidths(GridPrefix, m_ui->dbgmember);
}

void TCardInfo::openMembers()
{
    // The photos stay out of the list: the current row's one is read by its card.
    m_member.Close();
    m_member.SetSQLLines(
        {QStringLiteral("select CARDNO,NAME,"), QStringLiteral("descx as WORKGROUP from staffs"),
         QStringLiteral("left join gid on"), QStringLiteral("staffs.workgrp=gid.id"),
         QStringLiteral("order by"), m_sortColumn + QStringLiteral(",NAME")});
    m_member.Open();
}

void TCardInfo::reloadList()
{
    openMembers();
    m_ui->gbmember->setTitle(QStringLiteral("Used (") + QString::number(m_member.RecordCount()) +
                             QStringLiteral(" cards") + QStringLiteral(")"));
    m_member.First();
    m_model->SetCurrentRow(m_member.RecNo());
}

int TCardInfo::CurrentCard() const
{
    const int row = m_model->CurrentRow();
    return row >= 0 ? m_model->ValueAt(row, 0).toInt() : 0;
}

void TCardInfo::goToCard(int card)
{
    if (!m_member.Locate(CardNoField, card))
        m_member.First();
    // The grid's new current row brings its photo.
    m_model->SetCurrentRow(m_member.RecNo());
}

void TCardInfo::showMemberPhoto()
{
    QImage photo;
    bool shown = false;
    if (m_model->CurrentRow() >= 0) {
        TStatement q = dsrc->src.Prepare(
            QStringLiteral("select PHOTO from staffs where CARDNO=? order by NAME limit 1"));
        q.Bind(1, CurrentCard());
        if (q.Step() && !q.ColumnIsNull(0)) {
            photo = DecodeJpeg(q.ColumnBlob(0), QSize(PhotoWidth, PhotoHeight));
            shown = !photo.isNull();
        }
    }
    if (!shown)
        ClearImage(photo);
    m_photo = photo;
    m_ui->xphoto->setPixmap(QPixmap::fromImage(m_photo));
}

void TCardInfo::dbgmemberTitleClick(int column)
{
    if (column < 0 || column >= int(MemberColumns.size()))
        return;
    const int card = CurrentCard();
    m_sortColumn = *MemberColumns[static_cast<std::size_t>(column)].sortBy;
    openMembers();
    WriteRegString(Setting::CardListSort, m_sortColumn);
    goToCard(card);
}

void TCardInfo::beditClick()
{
    if (!m_member.Active() || m_member.IsEmpty()) {
        ShowError(QStringLiteral("No record."));
        return;
    }
    const int card = CurrentCard();
    if (!EditCard(card)) {
        // A card whose row went while the list was open leaves the list all the same.
        if (!cardHasRow(card))
            reloadList();
        return;
    }
    reloadList();
    goToCard(card);
}

Tnadd &TCardInfo::cardDialog()
{
    if (!m_cardDialog)
        m_cardDialog = std::make_unique<Tnadd>(this);
    else
        m_cardDialog->Reset();
    return *m_cardDialog;
}

bool TCardInfo::EditCard(int card)
{
    Tnadd &dialog = cardDialog();
    dialog.SetCard(card);
    dialog.SetHolderName(QString(), false);
    for (int port = 1; port <= ReaderPortCount; ++port) {
        dialog.SetPortCaption(port, portCaption(port));
        dialog.SetAccess(port, false);
    }
    dialog.SetOffline(false);
    dialog.SetRemarks(QString());

    TDataSet &staff = dsrc->staff;
    if (staff.Locate(CardNoField, card)) {
        dialog.SetHolderName(staff.FieldByName(NameField).AsString(), true);
        for (int port = 1; port <= ReaderPortCount; ++port)
            dialog.SetAccess(port, staff.FieldByName(accessField(port)).AsBoolean());
        dialog.SetOffline(staff.FieldByName(Schema::Staffs::Offline).AsBoolean());
        FillGroupCombo(dialog.GroupCombo(), staff.FieldByName(Schema::Staffs::WorkGrp).AsInteger());
        dialog.SetRemarks(staff.FieldByName(Schema::Staffs::Memo).AsString());
        dialog.SetStoredPhoto(staff.FieldByName(Schema::Staffs::Photo).AsBytes());
    } else {
        FillGroupCombo(dialog.GroupCombo(), 0);
    }

    if (m_dialogs.Run(dialog) != QDialog::Accepted)
        return false;

    // The dialog's name check and whatever ran meanwhile may have moved the shared cursor.
    const QString name = dialog.HolderName();
    const bool found = staff.Locate(CardNoField, card);
    if (name.isEmpty()) {
        if (!found)
            return false;
        try {
            staff.Delete();
        } catch (const std::exception &) {
            ShowUpdateFailed();
            return false;
        }
        m_changed = true;
        return true;
    }

    if (!found && staff.Locate(NameField, name)) {
        ShowDuplicateEntry();
        return false;
    }
    try {
        if (found)
            staff.Edit();
        else
            staff.Append();
        staff.FieldByName(CardNoField).SetAsInteger(card);
        staff.FieldByName(NameField).SetAsString(name);
        for (int port = 1; port <= ReaderPortCount; ++port)
            staff.FieldByName(accessField(port)).SetAsBoolean(dialog.Access(port));
        staff.FieldByName(Schema::Staffs::Offline).SetAsBoolean(dialog.Offline());
        staff.FieldByName(Schema::Staffs::WorkGrp).SetAsInteger(GetGroupId(dialog.GroupName()));
        staff.FieldByName(Schema::Staffs::Memo).SetAsString(dialog.Remarks());
        // Compressing an untouched photo again would lose a little more of it at every save.
        const TField photo = staff.FieldByName(Schema::Staffs::Photo);
        if (!dialog.UnchangedJpeg().isEmpty())
            photo.SetAsBytes(dialog.UnchangedJpeg());
        else if (!SaveGraphicToBlobAsJpeg(photo, dialog.Photo()))
            throw EDatabaseError(QStringLiteral("The photo cannot be stored"));
        staff.Post();
    } catch (const std::exception &) {
        if (staff.State() != TDataSetState::Browse && staff.Active())
            staff.Cancel();
        ShowUpdateFailed();
        return false;
    }
    m_changed = true;
    return true;
}

void TCardInfo::Button2Click()
{
    // "Close" closes even when the placement cannot be kept.
    RunGuarded([this] {
        SaveFormPlacement(FormPrefix, this);
        SaveGridColumnWidths(GridPrefix, m_ui->dbgmember);
    });
    done(m_changed ? ChangedResult : UnchangedResult);
}

void TCardInfo::reject()
{
    // Closing the window is the same as "Close".
    Button2Click();
}
