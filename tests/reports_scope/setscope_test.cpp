// The report scope dialog and the persons and dates groups every scope dialog shares.

#include "reports/setscope.h"
#include "reports_scope/scopefixture.h"
#include "store/pairing.h"
#include "store/radiogroup.h"
#include "store/scopeform.h"
#include "store/utils.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QPushButton>
#include <QRadioButton>

namespace {

class SetScopeTest : public ScopeTest
{
};

TEST_F(SetScopeTest, OpensWithTheDefaults)
{
    TSetScope d;
    EXPECT_EQ(d.windowTitle(), QStringLiteral("Scope of Report"));
    EXPECT_TRUE(Child<QRadioButton>(d, "rballstaff")->isChecked());
    auto *groups = Child<QComboBox>(d, "cbgroup");
    EXPECT_FALSE(groups->isEnabled());
    ASSERT_EQ(groups->count(), 4);
    EXPECT_EQ(groups->currentText(), QStringLiteral("Afternoons"));
    EXPECT_FALSE(Child<QPushButton>(d, "bAdd")->isEnabled());
    EXPECT_EQ(Child<QPushButton>(d, "bAdd")->text(), QStringLiteral("Pick List"));
    // The persons controls sit in the group the staff query looks in.
    auto *persons = Child<QWidget>(d, "persons");
    for (const char *name : {"rballstaff", "rbgroup", "cbgroup", "rbstaff", "bAdd"})
        EXPECT_NE(persons->findChild<QWidget *>(QString::fromLatin1(name)), nullptr) << name;

    EXPECT_TRUE(Child<QRadioButton>(d, "rbthisweek")->isChecked());
    for (const char *name : {"dpfrom", "dpto"}) {
        auto *picker = Child<QDateTimeEdit>(d, name);
        EXPECT_FALSE(picker->isEnabled()) << name;
        EXPECT_EQ(picker->dateTime(), Moment) << name;
        EXPECT_EQ(picker->displayFormat(), QStringLiteral("MMMM d, yyyy dddd"));
    }
    EXPECT_EQ(Child<TRadioGroup>(d, "rgscope")->ItemIndex(), 0);
    EXPECT_EQ(Child<TRadioGroup>(d, "rgrecord")->ItemText(1), QStringLiteral("4"));
    EXPECT_EQ(Child<TRadioGroup>(d, "rgrecord")->ItemIndex(), 1);
    EXPECT_EQ(d.PairsPerLine(), 2);
    EXPECT_EQ(Child<TRadioGroup>(d, "rgformat")->ItemIndex(), 0);
    EXPECT_EQ(d.RecordFormat(), QStringLiteral(" AM/PMhh:mm:ss"));
    EXPECT_FALSE(Child<QCheckBox>(d, "cbblank")->isChecked());
    EXPECT_FALSE(Child<QCheckBox>(d, "cbnewpage")->isChecked());
    EXPECT_TRUE(Child<QCheckBox>(d, "cbenhance")->isChecked());
    EXPECT_TRUE(Child<QCheckBox>(d, "cbpreview")->isChecked());
    d.show();
    // No "First In and Last Out Only" box is ever shown: the command sets that form.
    const auto *filo = d.findChild<QCheckBox *>(QStringLiteral("cbfilo"));
    EXPECT_FALSE(filo && filo->isVisible());
}

// Stored values outside the choices read as the defaults, so an item is always checked and a
// line always holds records.
TEST_F(SetScopeTest, StoredChoicesAreReadThroughTheirItems)
{
    struct Case
    {
        const char *name;
        const char *setting;
        const char *stored;
        const char *group;
        int index;
    } cases[] = {
        {"eight records a line", "PrintRecordsPerLine", "8", "rgrecord", 3},
        {"two records a line", "PrintRecordsPerLine", "2", "rgrecord", 0},
        {"no records a line", "PrintRecordsPerLine", "0", "rgrecord", 1},
        {"an odd count", "PrintRecordsPerLine", "5", "rgrecord", 1},
        {"a negative count", "PrintRecordsPerLine", "-2", "rgrecord", 1},
        {"ten records a line", "PrintRecordsPerLine", "10", "rgrecord", 1},
        {"not a number", "PrintRecordsPerLine", "many", "rgrecord", 1},
        {"last format", "PrintRecordsFormat", "3", "rgformat", 3},
        {"format past the last", "PrintRecordsFormat", "4", "rgformat", 0},
        {"negative format", "PrintRecordsFormat", "-1", "rgformat", 0},
        {"IN/OUT records", "PrintRecordsScope", "2", "rgscope", 2},
        {"scope past the last", "PrintRecordsScope", "3", "rgscope", 0},
        {"negative scope", "PrintRecordsScope", "-5", "rgscope", 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ClearSettings();
        Store(c.setting, QString::fromLatin1(c.stored));
        TSetScope d;
        EXPECT_EQ(Child<TRadioGroup>(d, c.group)->ItemIndex(), c.index);
    }
}

TEST_F(SetScopeTest, StoredDateChoice)
{
    struct Case
    {
        const char *name;
        const char *stored;
        const char *radio;
        bool pickers;
    } cases[] = {
        {"last week", "1", "rblastweek", false},
        {"last month", "3", "rblastmonth", false},
        {"all", "4", "rball", false},
        {"range: pickers at now, enabled", "5", "rbrange", true},
        {"past the last", "6", "rbthisweek", false},
        {"negative", "-1", "rbthisweek", false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Store("PrintDateRange", QString::fromLatin1(c.stored));
        TSetScope d;
        EXPECT_TRUE(Child<QRadioButton>(d, c.radio)->isChecked());
        EXPECT_EQ(Child<QDateTimeEdit>(d, "dpfrom")->isEnabled(), c.pickers);
        EXPECT_EQ(Child<QDateTimeEdit>(d, "dpto")->isEnabled(), c.pickers);
        EXPECT_EQ(Child<QDateTimeEdit>(d, "dpfrom")->dateTime(), Moment);
    }
}

TEST_F(SetScopeTest, PersonsChoiceEnablesItsControls)
{
    TSetScope d;
    struct Case
    {
        const char *radio;
        bool groups, pickList;
    } cases[] = {
        {"rbgroup", true, false},
        {"rbstaff", false, true},
        {"rballstaff", false, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.radio);
        Child<QRadioButton>(d, c.radio)->click();
        EXPECT_EQ(Child<QComboBox>(d, "cbgroup")->isEnabled(), c.groups);
        EXPECT_EQ(Child<QPushButton>(d, "bAdd")->isEnabled(), c.pickList);
    }
}

// Confirm checks nothing (a range ending before it starts goes through) and stores every
// choice but the persons; the next opening shows them.
TEST_F(SetScopeTest, ConfirmStoresTheChoices)
{
    {
        TSetScope d;
        Child<QRadioButton>(d, "rbrange")->click();
        Child<QDateTimeEdit>(d, "dpfrom")->setDateTime(Moment.addDays(3));
        Child<QRadioButton>(d, "rbstaff")->click();
        Child<TRadioGroup>(d, "rgscope")->SetItemIndex(1);
        Child<TRadioGroup>(d, "rgrecord")->SetItemIndex(2);
        Child<TRadioGroup>(d, "rgformat")->SetItemIndex(3);
        Child<QCheckBox>(d, "cbblank")->setChecked(true);
        Child<QCheckBox>(d, "cbnewpage")->setChecked(true);
        Child<QCheckBox>(d, "cbenhance")->setChecked(false);
        Child<QCheckBox>(d, "cbpreview")->setChecked(false);
        Child<QPushButton>(d, "Button1")->click();
        EXPECT_EQ(d.result(), TScopeDialog::ResultConfirm);
        EXPECT_EQ(messages.Count(), 0);
    }
    struct Stored
    {
        const char *name, *value;
    } stored[] = {
        {"PrintDateRange", "5"},    {"PrintBlankLines", "1"},     {"PrintBreakPage", "1"},
        {"PrintEnhance", "0"},      {"PrintPreviewOnly", "0"},    {"PrintFILO", "0"},
        {"PrintRecordsScope", "1"}, {"PrintRecordsPerLine", "6"}, {"PrintRecordsFormat", "3"},
    };
    for (const Stored &s : stored)
        EXPECT_EQ(::Stored(s.name), QString::fromLatin1(s.value)) << s.name;
    EXPECT_FALSE(Settings().contains(QStringLiteral("PrintPersons")));

    TSetScope again;
    EXPECT_TRUE(Child<QRadioButton>(again, "rbrange")->isChecked());
    EXPECT_EQ(Child<QDateTimeEdit>(again, "dpfrom")->dateTime(), Moment);
    EXPECT_TRUE(Child<QRadioButton>(again, "rballstaff")->isChecked());
    EXPECT_EQ(again.PairsPerLine(), 3);
    EXPECT_EQ(again.RecordFormat(), QStringLiteral(" HH:mm"));
    EXPECT_TRUE(Child<QCheckBox>(again, "cbblank")->isChecked());
    EXPECT_FALSE(Child<QCheckBox>(again, "cbenhance")->isChecked());
}

TEST_F(SetScopeTest, CancelStoresNothing)
{
    TSetScope d;
    Child<QRadioButton>(d, "rball")->click();
    Child<QPushButton>(d, "Button2")->click();
    EXPECT_EQ(d.result(), TScopeDialog::ResultCancel);
    EXPECT_TRUE(Settings().allKeys().isEmpty());
}

// The closed dialog is what the reports read: the staff query and the date range from it.
TEST_F(SetScopeTest, ReportsReadTheClosedDialog)
{
    TSetScope d;
    Child<QRadioButton>(d, "rbgroup")->click();
    Child<QComboBox>(d, "cbgroup")->setCurrentIndex(0); // Afternoons
    Child<QRadioButton>(d, "rblastweek")->click();
    Child<QPushButton>(d, "Button1")->click();

    TDataSet staff(m_data->src);
    ASSERT_TRUE(BuildStaffScopeQuery(staff, d.Scope()));
    QStringList names;
    for (; !staff.Eof(); staff.Next())
        names << staff.FieldByName(QStringLiteral("NAME")).AsString();
    EXPECT_EQ(names, (QStringList{QStringLiteral("Ann"), QStringLiteral("Cy")}));

    TDataSet query(m_data->att);
    TReptParam param;
    GetScopeDateRange(d.Scope(), query, param);
    EXPECT_EQ(param.FromDate.date(), QDate(2026, 3, 2));
    EXPECT_EQ(param.ToDate.date(), QDate(2026, 3, 8));
}

// The value the reports are handed holds every choice as the controls stand; the
// first-in/last-out form is the stored one until a command sets it.
TEST_F(SetScopeTest, ScopeHoldsEveryChoice)
{
    Store("PrintFILO", QStringLiteral("1"));
    TSetScope d;
    Child<QRadioButton>(d, "rbgroup")->click();
    Child<QComboBox>(d, "cbgroup")->setCurrentIndex(1); // Bakers
    Child<QRadioButton>(d, "rbrange")->click();
    const QDateTime from(QDate(2026, 2, 3), QTime(7, 30));
    const QDateTime to(QDate(2026, 2, 20), QTime(18, 5));
    Child<QDateTimeEdit>(d, "dpfrom")->setDateTime(from);
    Child<QDateTimeEdit>(d, "dpto")->setDateTime(to);
    Child<TRadioGroup>(d, "rgscope")->SetItemIndex(1);
    Child<TRadioGroup>(d, "rgrecord")->SetItemIndex(3);
    Child<TRadioGroup>(d, "rgformat")->SetItemIndex(2);
    Child<QCheckBox>(d, "cbblank")->setChecked(true);
    Child<QCheckBox>(d, "cbnewpage")->setChecked(true);
    Child<QCheckBox>(d, "cbenhance")->setChecked(false);
    Child<QCheckBox>(d, "cbpreview")->setChecked(false);

    const TReportScope scope = d.Scope();
    EXPECT_EQ(scope.Persons, TPersonsChoice::Group);
    EXPECT_EQ(scope.GroupName, QStringLiteral("Bakers"));
    EXPECT_EQ(scope.Dates, TDateChoice::Range);
    EXPECT_EQ(scope.From, from);
    EXPECT_EQ(scope.To, to);
    EXPECT_EQ(scope.RecordsOfInterest, 1);
    EXPECT_EQ(scope.PairsPerLine, 4);
    EXPECT_EQ(scope.RecordFormat, QStringLiteral(" AM/PMhh:mm"));
    EXPECT_TRUE(scope.BlankLines);
    EXPECT_TRUE(scope.NewPagePerPerson);
    EXPECT_FALSE(scope.Enhanced);
    EXPECT_FALSE(scope.Preview);
    EXPECT_TRUE(scope.FirstInLastOut);

    // Confirm keeps the stored form as it was.
    Child<QPushButton>(d, "Button1")->click();
    EXPECT_EQ(::Stored("PrintFILO"), QStringLiteral("1"));
}

// The form-taking rules read the same persons and dates off the dialog as its own value holds.
TEST_F(SetScopeTest, FormReaderAgreesWithTheDialogsValue)
{
    const struct
    {
        const char *persons;
        const char *dates;
        TPersonsChoice choice;
        TDateChoice date;
    } cases[] = {
        {"rballstaff", "rbthisweek", TPersonsChoice::All, TDateChoice::ThisWeek},
        {"rbgroup", "rblastweek", TPersonsChoice::Group, TDateChoice::LastWeek},
        {"rbstaff", "rbthismonth", TPersonsChoice::List, TDateChoice::ThisMonth},
        {"rbgroup", "rblastmonth", TPersonsChoice::Group, TDateChoice::LastMonth},
        {"rballstaff", "rball", TPersonsChoice::All, TDateChoice::All},
        {"rbstaff", "rbrange", TPersonsChoice::List, TDateChoice::Range},
    };
    TSetScope d;
    Child<QComboBox>(d, "cbgroup")->setCurrentIndex(2); // Cleaners
    Child<QDateTimeEdit>(d, "dpfrom")->setDateTime(Moment.addDays(-9));
    for (const auto &c : cases) {
        SCOPED_TRACE(c.dates);
        Child<QRadioButton>(d, c.persons)->click();
        Child<QRadioButton>(d, c.dates)->click();
        const TReportScope own = d.Scope();
        const TReportScope read = ReadScopeForm(&d);
        EXPECT_EQ(own.Persons, c.choice);
        EXPECT_EQ(own.Dates, c.date);
        EXPECT_EQ(read.Persons, own.Persons);
        EXPECT_EQ(read.Dates, own.Dates);
        EXPECT_EQ(read.From, own.From);
        EXPECT_EQ(read.To, own.To);
        if (c.choice == TPersonsChoice::Group) {
            EXPECT_EQ(read.GroupName, QStringLiteral("Cleaners"));
        }
    }
}

} // namespace
