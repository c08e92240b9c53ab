#include "reports/latescope.h"

#include "store/dataset.h"
#include "store/datasrc.h"
#include "store/dbschema.h"
#include "store/settings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QSpinBox>
#include <QVBoxLayout>
#include <limits>

namespace {

QSpinBox *minutesSpin(const char *name, const QString &hint)
{
    auto *spin = new QSpinBox;
    spin->setObjectName(QString::fromLatin1(name));
    spin->setRange(std::numeric_limits<int>::min(), std::numeric_limits<int>::max());
    spin->setToolTip(hint);
    return spin;
}

QCheckBox *enableBox(const char *name)
{
    auto *box = new QCheckBox;
    box->setObjectName(QString::fromLatin1(name));
    return box;
}

// Later as times of day only.
bool notLater(const QDateTimeEdit *end, const QDateTimeEdit *start)
{
    return end->time() <= start->time();
}

} // namespace

// ---- Shared -------------------------------------------------------------------------------

TLateScopeBase::TLateScopeBase(QWidget *parent)
    : TScopeDialog(parent), gbhours(new QGroupBox(QStringLiteral("Working Hours"))),
      seOTmin(minutesSpin("seOTmin", QStringLiteral("Minimum OT time to start counting as OT"))),
      seOTmul(minutesSpin("seOTmul", QStringLiteral("OT time must be in multiple of the value"))),
      seOTfree(minutesSpin("seOTfree",
                           QStringLiteral("OT time that will be deducted from the actual OT")))
{
    gbhours->setObjectName(QStringLiteral("gbhours"));
    gbhours->setToolTip(QStringLiteral("Set the working hours for the report"));
    new QHBoxLayout(gbhours);
    auto *overtime = new QGroupBox(QStringLiteral("Overtime Options"));
    auto *grid = new QGridLayout(overtime);
    const std::pair<const char *, QSpinBox *> lines[] = {
        {"Min. O.T.", seOTmin}, {"O.T. Multiple", seOTmul}, {"No pay O.T.", seOTfree}};
    int row = 0;
    for (const auto &[caption, spin] : lines) {
        grid->addWidget(new QLabel(QString::fromLatin1(caption)), row, 0);
        grid->addWidget(spin, row, 1);
        grid->addWidget(new QLabel(QStringLiteral("Minutes")), row, 2);
        ++row;
    }
    gbhours->layout()->addWidget(overtime);
    BottomArea()->addWidget(gbhours);
    connect(persons, &TPersonsGroup::GroupChosen, this, [this] { cbgroupChange(); });
}

QDateTimeEdit *TLateScopeBase::TimePicker(const char *name)
{
    auto *picker = new QDateTimeEdit;
    picker->setObjectName(QString::fromLatin1(name));
    picker->setDisplayFormat(QStringLiteral("HH:mm"));
    return picker;
}

QWidget *TLateScopeBase::TimeRow(QWidget *box, QDateTimeEdit *start, QDateTimeEdit *end)
{
    auto *row = new QWidget;
    auto *line = new QHBoxLayout(row);
    line->setContentsMargins(0, 0, 0, 0);
    if (box)
        line->addWidget(box);
    line->addWidget(start);
    line->addWidget(new QLabel(QStringLiteral("to")));
    line->addWidget(end);
    return row;
}

QGroupBox *TLateScopeBase::HoursGroup(const QString &title, const QList<QWidget *> &rows)
{
    auto *group = new QGroupBox(title);
    auto *lines = new QVBoxLayout(group);
    for (QWidget *row : rows)
        lines->addWidget(row);
    auto *hours = static_cast<QHBoxLayout *>(gbhours->layout());
    hours->insertWidget(hours->count() - 1, group); // before the overtime values
    return group;
}

bool TLateScopeBase::LocateChosenGroup()
{
    // Without a row of that name the hours of whatever row the table stands on would be
    // copied: nothing is loaded instead.
    return dsrc->gidtbl.Active() &&
           dsrc->gidtbl.Locate(Schema::Gid::Descx, persons->cbgroup->currentText());
}

void TLateScopeBase::LoadTime(QDateTimeEdit *picker, const QString &field)
{
    const QDateTime value = dsrc->gidtbl.FieldByName(field).AsDateTime();
    if (value.isValid())
        picker->setTime(value.time());
}

bool TLateScopeBase::GroupFlag(const QString &field)
{
    return dsrc->gidtbl.FieldByName(field).AsBoolean();
}

void TLateScopeBase::LoadOvertime()
{
    seOTmin->setValue(dsrc->gidtbl.FieldByName(Schema::Gid::OtMin).AsInteger());
    seOTmul->setValue(dsrc->gidtbl.FieldByName(Schema::Gid::OtMulti).AsInteger());
}

void TLateScopeBase::ReadLateSettings()
{
    ReadScopeSettings();
    seOTmin->setValue(ReadRegInteger(Setting::LastOtMinimum));
    seOTmul->setValue(ReadRegInteger(Setting::LastOtMultiple));
    seOTfree->setValue(ReadRegInteger(Setting::LastOtFree));
}

void TLateScopeBase::WriteLateSettings()
{
    WriteScopeSettings();
    WriteRegInteger(Setting::PrintPersons, persons->PersonsIndex());
    WriteRegInteger(Setting::LastOtMinimum, seOTmin->value());
    WriteRegInteger(Setting::LastOtMultiple, seOTmul->value());
    WriteRegInteger(Setting::LastOtFree, seOTfree->value());
}

void TLateScopeBase::CheckStoredRadios()
{
    dates->SetDateRangeIndex(ReadRegInteger(Setting::PrintDateRange));
    // With "Group" stored the first group's hours replace the stored ones, as a click would.
    persons->SetPersonsIndex(ReadRegInteger(Setting::PrintPersons));
}

bool TLateScopeBase::RejectRange()
{
    return RejectInput(dates->dpto->date() < dates->dpfrom->date(), dates->dpfrom);
}

// ---- One session ----------------------------------------------------------------------------

TSetLateScope::TSetLateScope(QWidget *parent)
    : TLateScopeBase(parent), dtpSTDstart(TimePicker("dtpSTDstart")),
      dtpSTDend(TimePicker("dtpSTDend")), cbsat(enableBox("cbsat")),
      dtpSATstart(TimePicker("dtpSATstart")), dtpSATend(TimePicker("dtpSATend"))
{
    HoursGroup(QStringLiteral("Standard Time"), {TimeRow(nullptr, dtpSTDstart, dtpSTDend)});
    HoursGroup(QStringLiteral("Saturday"), {TimeRow(cbsat, dtpSATstart, dtpSATend)});
    FormCreate();
}

void TSetLateScope::FormCreate()
{
    m_overnight = false;
    ReadLateSettings();
    dtpSTDstart->setDateTime(ReadRegDateTime(Setting::LastStdStart));
    dtpSTDend->setDateTime(ReadRegDateTime(Setting::LastStdEnd));
    cbsat->setChecked(ReadRegBool(Setting::LastSatEnable));
    dtpSATstart->setDateTime(ReadRegDateTime(Setting::LastSatStart));
    dtpSATend->setDateTime(ReadRegDateTime(Setting::LastSatEnd));
    CheckStoredRadios();
}

TLateHours TSetLateScope::Hours() const
{
    TLateHours hours;
    hours.StdStart = dtpSTDstart->time();
    hours.StdEnd = dtpSTDend->time();
    hours.SatEnabled = cbsat->isChecked();
    hours.SatStart = dtpSATstart->time();
    hours.SatEnd = dtpSATend->time();
    hours.OvertimeMinimum = seOTmin->value();
    hours.OvertimeMultiple = seOTmul->value();
    hours.UnpaidOvertime = seOTfree->value();
    return hours;
}

void TSetLateScope::cbgroupChange()
{
    if (m_overnight || !LocateChosenGroup())
        return;
    LoadTime(dtpSTDstart, Schema::Gid::WdFrom1);
    LoadTime(dtpSTDend, Schema::Gid::WdTo2);
    cbsat->setChecked(GroupFlag(Schema::Gid::SatEnable1));
    LoadTime(dtpSATstart, Schema::Gid::SatFrom1);
    const bool bothSaturdays =
        GroupFlag(Schema::Gid::SatEnable1) && GroupFlag(Schema::Gid::SatEnable2);
    LoadTime(dtpSATend, bothSaturdays ? Schema::Gid::SatTo2 : Schema::Gid::SatTo1);
    LoadOvertime();
}

bool TSetLateScope::Validate()
{
    if (m_overnight)
        return true;
    return !(RejectRange() || RejectInput(notLater(dtpSTDend, dtpSTDstart), dtpSTDstart) ||
             RejectInput(cbsat->isChecked() && notLater(dtpSATend, dtpSATstart), dtpSATstart));
}

void TSetLateScope::WriteSettings()
{
    WriteLateSettings();
    WriteRegDateTime(Setting::LastStdStart, dtpSTDstart->dateTime());
    WriteRegDateTime(Setting::LastStdEnd, dtpSTDend->dateTime());
    WriteRegBool(Setting::LastSatEnable, cbsat->isChecked());
    WriteRegDateTime(Setting::LastSatStart, dtpSATstart->dateTime());
    WriteRegDateTime(Setting::LastSatEnd, dtpSATend->dateTime());
}

// ---- Two sessions ---------------------------------------------------------------------------

TSetnLateScope::TSetnLateScope(QWidget *parent)
    : TLateScopeBase(parent), dtpSTDstart1(TimePicker("dtpSTDstart1")),
      dtpSTDend1(TimePicker("dtpSTDend1")), dtpSTDstart2(TimePicker("dtpSTDstart2")),
      dtpSTDend2(TimePicker("dtpSTDend2")), cbsat1(enableBox("cbsat1")),
      dtpSATstart1(TimePicker("dtpSATstart1")), dtpSATend1(TimePicker("dtpSATend1")),
      cbsat2(enableBox("cbsat2")), dtpSATstart2(TimePicker("dtpSATstart2")),
      dtpSATend2(TimePicker("dtpSATend2"))
{
    HoursGroup(QStringLiteral("Standard Time"), {TimeRow(nullptr, dtpSTDstart1, dtpSTDend1),
                                                 TimeRow(nullptr, dtpSTDstart2, dtpSTDend2)});
    HoursGroup(QStringLiteral("Saturday"), {TimeRow(cbsat1, dtpSATstart1, dtpSATend1),
                                            TimeRow(cbsat2, dtpSATstart2, dtpSATend2)});
    FormCreate();
}

void TSetnLateScope::FormCreate()
{
    ReadLateSettings();
    dtpSTDstart1->setDateTime(ReadRegDateTime(Setting::LastStdStart1));
    dtpSTDend1->setDateTime(ReadRegDateTime(Setting::LastStdEnd1));
    dtpSTDstart2->setDateTime(ReadRegDateTime(Setting::LastStdStart2));
    dtpSTDend2->setDateTime(ReadRegDateTime(Setting::LastStdEnd2));
    cbsat1->setChecked(ReadRegBool(Setting::LastSatEnable1));
    dtpSATstart1->setDateTime(ReadRegDateTime(Setting::LastSatStart1));
    dtpSATend1->setDateTime(ReadRegDateTime(Setting::LastSatEnd1));
    cbsat2->setChecked(ReadRegBool(Setting::LastSatEnable2));
    dtpSATstart2->setDateTime(ReadRegDateTime(Setting::LastSatStart2));
    dtpSATend2->setDateTime(ReadRegDateTime(Setting::LastSatEnd2));
    CheckStoredRadios();
}

TTwoSessionHours TSetnLateScope::Hours() const
{
    TTwoSessionHours hours;
    hours.Start1 = dtpSTDstart1->time();
    hours.End1 = dtpSTDend1->time();
    hours.Start2 = dtpSTDstart2->time();
    hours.End2 = dtpSTDend2->time();
    hours.Sat1Enabled = cbsat1->isChecked();
    hours.SatStart1 = dtpSATstart1->time();
    hours.SatEnd1 = dtpSATend1->time();
    hours.Sat2Enabled = cbsat2->isChecked();
    hours.SatStart2 = dtpSATstart2->time();
    hours.SatEnd2 = dtpSATend2->time();
    hours.OvertimeMinimum = seOTmin->value();
    hours.OvertimeMultiple = seOTmul->value();
    hours.UnpaidOvertime = seOTfree->value();
    return hours;
}

void TSetnLateScope::cbgroupChange()
{
    if (!LocateChosenGroup())
        return;
    LoadTime(dtpSTDstart1, Schema::Gid::WdFrom1);
    LoadTime(dtpSTDend1, Schema::Gid::WdTo1);
    LoadTime(dtpSTDstart2, Schema::Gid::WdFrom2);
    LoadTime(dtpSTDend2, Schema::Gid::WdTo2);
    cbsat1->setChecked(GroupFlag(Schema::Gid::SatEnable1));
    LoadTime(dtpSATstart1, Schema::Gid::SatFrom1);
    LoadTime(dtpSATend1, Schema::Gid::SatTo1);
    cbsat2->setChecked(GroupFlag(Schema::Gid::SatEnable2));
    LoadTime(dtpSATstart2, Schema::Gid::SatFrom2);
    LoadTime(dtpSATend2, Schema::Gid::SatTo2);
    LoadOvertime();
}

bool TSetnLateScope::Validate()
{
    const bool sat1 = cbsat1->isChecked();
    const bool sat2 = cbsat2->isChecked();
    return !(RejectRange() || RejectInput(notLater(dtpSTDend1, dtpSTDstart1), dtpSTDstart1) ||
             RejectInput(notLater(dtpSTDend2, dtpSTDstart2), dtpSTDstart2) ||
             // Session 2 may start with session 1, or even before it ends.
             RejectInput(dtpSTDstart2->time() < dtpSTDstart1->time(), dtpSTDstart2) ||
             RejectInput(sat1 && notLater(dtpSATend1, dtpSATstart1), dtpSATstart1) ||
             RejectInput(sat2 && !sat1, cbsat1) ||
             RejectInput(sat2 && notLater(dtpSATend2, dtpSATstart2), dtpSATstart2) ||
             // The second Saturday session starts strictly after the first one ends.
             RejectInput(sat2 && notLater(dtpSATstart2, dtpSATend1), dtpSATstart2));
}

void TSetnLateScope::WriteSettings()
{
    WriteLateSettings();
    WriteRegDateTime(Setting::LastStdStart1, dtpSTDstart1->dateTime());
    WriteRegDateTime(Setting::LastStdEnd1, dtpSTDend1->dateTime());
    WriteRegDateTime(Setting::LastStdStart2, dtpSTDstart2->dateTime());
    WriteRegDateTime(Setting::LastStdEnd2, dtpSTDend2->dateTime());
    WriteRegBool(Setting::LastSatEnable1, cbsat1->isChecked());
    WriteRegDateTime(Setting::LastSatStart1, dtpSATstart1->dateTime());
    WriteRegDateTime(Setting::LastSatEnd1, dtpSATend1->dateTime());
    WriteRegBool(Setting::LastSatEnable2, cbsat2->isChecked());
    WriteRegDateTime(Setting::LastSatStart2, dtpSATstart2->dateTime());
    WriteRegDateTime(Setting::LastSatEnd2, dtpSATend2->dateTime());
}
