#include "reports/scopeparts.h"

#include "store/clock.h"
#include "store/combofill.h"
#include "store/guard.h"
#include "store/messages.h"
#include "store/picklist.h"
#include "store/radiogroup.h"
#include "store/settings.h"
#include "store/utils.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

template <typename Widget, typename... Args> Widget *named(const char *name, Args &&...args)
{
    auto *widget = new Widget(std::forward<Args>(args)...);
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

constexpr int RecordFormatCount = 4;
constexpr int RecordScopeCount = 3;

} // namespace

// ---- Persons of interest --------------------------------------------------------------------

TPersonsGroup::TPersonsGroup(QWidget *parent)
    : QGroupBox(QStringLiteral("Persons of interest"), parent),
      rballstaff(named<QRadioButton>("rballstaff", QStringLiteral("All"))),
      rbgroup(named<QRadioButton>("rbgroup", QStringLiteral("Group"))),
      cbgroup(named<QComboBox>("cbgroup")),
      rbstaff(named<QRadioButton>("rbstaff", QStringLiteral("List"))),
      bAdd(named<QPushButton>("bAdd", QStringLiteral("Pick List")))
{
    setObjectName(QStringLiteral("persons"));
    auto *grid = new QGridLayout(this);
    grid->addWidget(rballstaff, 0, 0);
    grid->addWidget(rbgroup, 1, 0);
    grid->addWidget(cbgroup, 1, 1);
    grid->addWidget(rbstaff, 2, 0);
    grid->addWidget(bAdd, 2, 1);
    FillGroupCombo(cbgroup, 0);
    rballstaff->setChecked(true);
    cbgroup->setEnabled(false);
    bAdd->setEnabled(false);
    for (QRadioButton *radio : {rballstaff, rbgroup, rbstaff})
        connect(radio, &QRadioButton::toggled, this, [this](bool on) {
            if (on)
                rballstaffClick();
        });
    connect(cbgroup, &QComboBox::activated, this, &TPersonsGroup::rballstaffClick);
    connect(bAdd, &QPushButton::clicked, this, Guarded(this, &TPersonsGroup::bAddClick));
}

int TPersonsGroup::PersonsIndex() const
{
    if (rbgroup->isChecked())
        return 1;
    if (rbstaff->isChecked())
        return 2;
    return 0;
}

void TPersonsGroup::SetPersonsIndex(int index)
{
    const QList<QRadioButton *> radios{rballstaff, rbgroup, rbstaff};
    if (index >= 0 && index < radios.size())
        radios[index]->setChecked(true);
}

void TPersonsGroup::ReadInto(TReportScope &scope) const
{
    scope.Persons = rballstaff->isChecked() ? TPersonsChoice::All
                    : rbgroup->isChecked()  ? TPersonsChoice::Group
                                            : TPersonsChoice::List;
    scope.GroupName = cbgroup->currentText();
}

void TPersonsGroup::rballstaffClick()
{
    bAdd->setEnabled(rbstaff->isChecked());
    cbgroup->setEnabled(rbgroup->isChecked());
    if (rbgroup->isChecked())
        emit GroupChosen();
}

void TPersonsGroup::bAddClick()
{
    ShowPickList(window());
}

// ---- Dates of interest ----------------------------------------------------------------------

TDateScopeGroup::TDateScopeGroup(QWidget *parent)
    : QGroupBox(QStringLiteral("Dates of interest"), parent),
      rbthisweek(named<QRadioButton>("rbthisweek", QStringLiteral("This Week"))),
      rblastweek(named<QRadioButton>("rblastweek", QStringLiteral("Last Week"))),
      rbthismonth(named<QRadioButton>("rbthismonth", QStringLiteral("This Month"))),
      rblastmonth(named<QRadioButton>("rblastmonth", QStringLiteral("Last Month"))),
      rball(named<QRadioButton>("rball", QStringLiteral("All"))),
      rbrange(named<QRadioButton>("rbrange", QStringLiteral("Range"))),
      dpfrom(named<QDateTimeEdit>("dpfrom")),
      dpto(named<QDateTimeEdit>("dpto")), m_radios{rbthisweek,  rblastweek, rbthismonth,
                                                   rblastmonth, rball,      rbrange}
{
    setObjectName(QStringLiteral("dates"));
    auto *grid = new QGridLayout(this);
    for (int i = 0; i < 5; ++i)
        grid->addWidget(m_radios[i], i, 0, 1, 3);
    grid->addWidget(rbrange, 5, 0);
    grid->addWidget(new QLabel(QStringLiteral("From")), 5, 1);
    grid->addWidget(dpfrom, 5, 2);
    grid->addWidget(new QLabel(QStringLiteral("To")), 6, 1);
    grid->addWidget(dpto, 6, 2);
    for (QDateTimeEdit *picker : {dpfrom, dpto}) {
        picker->setDisplayFormat(QStringLiteral("MMMM d, yyyy dddd"));
        picker->setCalendarPopup(true);
    }
    dpto->setDateTime(Now());
    dpfrom->setDateTime(dpto->dateTime());
    rbthisweek->setChecked(true);
    rballClick();
    for (QRadioButton *radio : m_radios)
        connect(radio, &QRadioButton::toggled, this, [this](bool on) {
            if (on)
                rballClick();
        });
}

int TDateScopeGroup::DateRangeIndex() const
{
    for (int i = 0; i < m_radios.size(); ++i)
        if (m_radios[i]->isChecked())
            return i;
    return 0;
}

void TDateScopeGroup::SetDateRangeIndex(int index)
{
    (index >= 0 && index < m_radios.size() ? m_radios[index] : rbthisweek)->setChecked(true);
    rballClick();
}

void TDateScopeGroup::ReadInto(TReportScope &scope) const
{
    scope.Dates = TDateChoice::None;
    for (int i = 0; i < m_radios.size(); ++i)
        if (m_radios[i]->isChecked()) {
            scope.Dates = TDateChoice(i);
            break;
        }
    scope.From = dpfrom->dateTime();
    scope.To = dpto->dateTime();
}

void TDateScopeGroup::rballClick()
{
    dpfrom->setEnabled(rbrange->isChecked());
    dpto->setEnabled(rbrange->isChecked());
}

// ---- The dialog -----------------------------------------------------------------------------

TScopeDialog::TScopeDialog(QWidget *parent)
    : QDialog(parent), persons(new TPersonsGroup), dates(new TDateScopeGroup),
      rgscope(named<TRadioGroup>("rgscope", QStringLiteral("Records of interest"))),
      rgformat(named<TRadioGroup>("rgformat", QStringLiteral("Record format"))),
      cbblank(named<QCheckBox>("cbblank", QStringLiteral("Print blank lines"))),
      cbnewpage(named<QCheckBox>("cbnewpage", QStringLiteral("New page on each person"))),
      cbenhance(named<QCheckBox>("cbenhance", QStringLiteral("Enhanced Printing"))),
      cbpreview(named<QCheckBox>("cbpreview", QStringLiteral("Preview Only"))),
      Button1(named<QPushButton>("Button1", QStringLiteral("Confirm"))),
      Button2(named<QPushButton>("Button2", QStringLiteral("Cancel"))), m_right(new QVBoxLayout),
      m_bottom(new QVBoxLayout)
{
    setWindowTitle(QStringLiteral("Scope of Report"));
    rgscope->AddItems({QStringLiteral("ALL"), QStringLiteral("CLOCK"), QStringLiteral("IN/OUT")});
    rgformat->AddItems({QStringLiteral(" AM/PMhh:mm:ss"), QStringLiteral(" HH:mm:ss"),
                        QStringLiteral(" AM/PMhh:mm"), QStringLiteral(" HH:mm")});
    auto *options = new QGroupBox(QStringLiteral("Options"));
    options->setObjectName(QStringLiteral("options"));
    auto *optionLines = new QVBoxLayout(options);
    for (QCheckBox *box : {cbblank, cbnewpage, cbenhance, cbpreview})
        optionLines->addWidget(box);

    auto *left = new QVBoxLayout;
    left->addWidget(persons);
    left->addWidget(dates);
    left->addStretch();
    m_right->addWidget(rgscope);
    m_right->addWidget(options);
    m_right->addWidget(rgformat);
    auto *columns = new QHBoxLayout;
    columns->addLayout(left);
    columns->addLayout(m_right);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    auto *all = new QVBoxLayout(this);
    all->addLayout(columns);
    all->addLayout(m_bottom);
    all->addLayout(buttons);
    Button1->setDefault(true);
    connect(Button1, &QPushButton::clicked, this, &TScopeDialog::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TScopeDialog::Button2Click);
}

QString TScopeDialog::RecordFormat() const
{
    return rgformat->ItemText(rgformat->ItemIndex());
}

TReportScope TScopeDialog::Scope() const
{
    TReportScope scope;
    persons->ReadInto(scope);
    dates->ReadInto(scope);
    scope.RecordsOfInterest = rgscope->ItemIndex();
    scope.RecordFormat = RecordFormat();
    scope.BlankLines = cbblank->isChecked();
    scope.NewPagePerPerson = cbnewpage->isChecked();
    scope.Enhanced = cbenhance->isChecked();
    scope.Preview = cbpreview->isChecked();
    scope.FirstInLastOut = m_firstInLastOut;
    return scope;
}

void TScopeDialog::ReadScopeSettings()
{
    cbblank->setChecked(ReadRegBool(Setting::PrintBlankLines));
    cbnewpage->setChecked(ReadRegBool(Setting::PrintBreakPage));
    cbenhance->setChecked(ReadRegBool(Setting::PrintEnhance));
    cbpreview->setChecked(ReadRegBool(Setting::PrintPreviewOnly));
    m_firstInLastOut = ReadRegBool(Setting::PrintFILO);
    rgscope->SetItemIndex(ReadRegChoice(Setting::PrintRecordsScope, RecordScopeCount));
    rgformat->SetItemIndex(ReadRegChoice(Setting::PrintRecordsFormat, RecordFormatCount));
}

void TScopeDialog::WriteScopeSettings()
{
    WriteRegInteger(Setting::PrintDateRange, dates->DateRangeIndex());
    WriteRegBool(Setting::PrintBlankLines, cbblank->isChecked());
    WriteRegBool(Setting::PrintBreakPage, cbnewpage->isChecked());
    WriteRegBool(Setting::PrintEnhance, cbenhance->isChecked());
    WriteRegBool(Setting::PrintPreviewOnly, cbpreview->isChecked());
    WriteRegBool(Setting::PrintFILO, m_firstInLastOut);
    WriteRegInteger(Setting::PrintRecordsScope, rgscope->ItemIndex());
    WriteRegInteger(Setting::PrintRecordsFormat, rgformat->ItemIndex());
}

void TScopeDialog::Button1Click()
{
    if (!Validate())
        return;
    try {
        WriteSettings();
    } catch (const ERegistryError &) {
        // The choices stand in the controls for this report; only the next opening loses them.
        ShowSettingsNotSaved();
    }
    done(ResultConfirm);
}

void TScopeDialog::Button2Click()
{
    done(ResultCancel);
}

bool RejectInput(bool condition, QWidget *focus)
{
    if (!condition)
        return false;
    focus->setFocus();
    ShowInvalidInput();
    return true;
}
