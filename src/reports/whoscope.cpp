#include "reports/whoscope.h"

#include "reports/reportrecords.h"
#include "reports/scopeparts.h"
#include "store/clock.h"
#include "store/messages.h"
#include "store/radiogroup.h"
#include "store/settings.h"

#include <QCheckBox>
#include <QDateTimeEdit>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// The daily reports start a new page per person unless told otherwise.
constexpr TBoolSetting WhoBreakPage{Setting::PrintBreakPage.Key, true};

QCheckBox *checkBox(const char *name, const QString &caption, QWidget *parent)
{
    auto *box = new QCheckBox(caption, parent);
    box->setObjectName(QString::fromLatin1(name));
    return box;
}

} // namespace

Twhoscope::Twhoscope(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("whoscope"));
    setWindowTitle(QStringLiteral("Who's Status"));
    auto *top = new QGridLayout(this);
    persons = new TPersonsGroup(this);
    top->addWidget(persons, 0, 0);

    auto *day = new QGroupBox(QStringLiteral("Date of interest"), this);
    auto *dl = new QVBoxLayout(day);
    dpfrom = new QDateTimeEdit(Now(), day);
    dpfrom->setObjectName(QStringLiteral("dpfrom"));
    dpfrom->setDisplayFormat(QStringLiteral("MMMM d, yyyy dddd"));
    dpfrom->setCalendarPopup(true);
    dl->addWidget(dpfrom);
    top->addWidget(day, 1, 0);

    rgrecord = new TRadioGroup(QStringLiteral("Records per line"), this);
    rgrecord->setObjectName(QStringLiteral("rgrecord"));
    rgrecord->AddItems(
        {QStringLiteral("2"), QStringLiteral("4"), QStringLiteral("6"), QStringLiteral("8")});
    top->addWidget(rgrecord, 0, 1);
    rgformat = new TRadioGroup(QStringLiteral("Record format"), this);
    rgformat->setObjectName(QStringLiteral("rgformat"));
    rgformat->AddItems({QStringLiteral(" AM/PMhh:mm:ss"), QStringLiteral(" HH:mm:ss"),
                        QStringLiteral(" AM/PMhh:mm"), QStringLiteral(" HH:mm")});
    top->addWidget(rgformat, 1, 1);

    auto *options = new QVBoxLayout;
    cbnewpage = checkBox("cbnewpage", QStringLiteral("New page on new category"), this);
    cbenhance = checkBox("cbenhance", QStringLiteral("Enhanced Printing"), this);
    cbpreview = checkBox("cbpreview", QStringLiteral("Preview Only"), this);
    options->addWidget(cbnewpage);
    options->addWidget(cbenhance);
    options->addWidget(cbpreview);
    top->addLayout(options, 2, 0);

    auto *buttons = new QHBoxLayout;
    Button1 = new QPushButton(QStringLiteral("Confirm"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    WhoScope = new QPushButton(QStringLiteral("Cancel"), this);
    WhoScope->setObjectName(QStringLiteral("WhoScope"));
    buttons->addWidget(Button1);
    buttons->addWidget(WhoScope);
    top->addLayout(buttons, 2, 1);
    connect(Button1, &QPushButton::clicked, this, &Twhoscope::Button1Click);
    connect(WhoScope, &QPushButton::clicked, this, [this] { done(2); });

    cbpreview->setChecked(ReadRegBool(Setting::PrintPreviewOnly));
    cbenhance->setChecked(ReadRegBool(Setting::PrintEnhance));
    cbnewpage->setChecked(ReadRegBool(WhoBreakPage));
    const int format = ReadRegInteger(Setting::PrintRecordsFormat);
    rgformat->SetItemIndex(format >= 0 && format < rgformat->Count() ? format : 0);
    rgrecord->SetItemIndex(
        RecordsPerLineOrDefault(ReadRegInteger(Setting::PrintRecordsPerLine)) / 2 - 1);
}

QDate Twhoscope::Day() const
{
    return dpfrom->date();
}

QString Twhoscope::RecordFormat() const
{
    return rgformat->ItemText(rgformat->ItemIndex());
}

int Twhoscope::RecordsPerLine() const
{
    return RecordsPerLineOrDefault((rgrecord->ItemIndex() + 1) * 2);
}

TReportScope Twhoscope::Scope() const
{
    TReportScope scope;
    persons->ReadInto(scope);
    scope.Dates = TDateChoice::Range;
    scope.From = scope.To = dpfrom->dateTime();
    scope.PairsPerLine = RecordsPerLine() / 2;
    scope.RecordFormat = RecordFormat();
    scope.NewPagePerPerson = cbnewpage->isChecked();
    scope.Enhanced = cbenhance->isChecked();
    scope.Preview = cbpreview->isChecked();
    return scope;
}

void Twhoscope::Button1Click()
{
    try {
        WriteRegBool(Setting::PrintPreviewOnly, cbpreview->isChecked());
        WriteRegBool(Setting::PrintEnhance, cbenhance->isChecked());
        WriteRegBool(Setting::PrintBreakPage, cbnewpage->isChecked());
        WriteRegInteger(Setting::PrintRecordsFormat, rgformat->ItemIndex());
        WriteRegInteger(Setting::PrintRecordsPerLine, RecordsPerLine());
    } catch (const ERegistryError &) {
        // The choices still hold for this report; only the next default is lost.
        ShowSettingsNotSaved();
    }
    done(1);
}
