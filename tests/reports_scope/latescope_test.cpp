// The two lateness scope dialogs: their hours from the settings and from a work group, and
// Confirm's checks with the focus on the control to correct.

#include "reports/latescope.h"
#include "reports_scope/scopefixture.h"
#include "store/radiogroup.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <functional>

namespace {

QTime T(int h, int m)
{
    return QTime(h, m);
}

void SetTime(QWidget &d, const char *picker, int h, int m)
{
    Child<QDateTimeEdit>(d, picker)->setTime(T(h, m));
}

QTime TimeOf(QWidget &d, const char *picker)
{
    return Child<QDateTimeEdit>(d, picker)->time();
}

void ChooseGroup(TLateScopeBase &d, int index)
{
    Child<QComboBox>(d, "cbgroup")->setCurrentIndex(index);
    auto *group = Child<QRadioButton>(d, "rbgroup");
    if (group->isChecked())
        d.persons->rballstaffClick(); // as a choice in the list does
    else
        group->click();
}

class LateScopeTest : public ScopeTest
{
protected:
    // A failed Confirm: "Invalid input.", the focus on the control, the dialog open, nothing
    // stored. An empty focus: accepted and stored.
    void ExpectConfirm(TScopeDialog &d, const char *focus)
    {
        messages.Clear();
        d.setResult(0);
        d.Button1Click();
        if (focus) {
            ASSERT_EQ(messages.Count(), 1);
            EXPECT_EQ(messages.Last().text, QStringLiteral("Invalid input."));
            EXPECT_EQ(d.result(), 0);
            EXPECT_EQ(d.focusWidget(), Child<QWidget>(d, focus));
            EXPECT_TRUE(Settings().allKeys().isEmpty());
        } else {
            EXPECT_EQ(messages.Count(), 0);
            EXPECT_EQ(d.result(), TScopeDialog::ResultConfirm);
            EXPECT_FALSE(Settings().allKeys().isEmpty());
        }
        ClearSettings();
    }
};

using Arrange = std::function<void(QWidget &)>;

void RangeToBeforeFrom(QWidget &d)
{
    Child<QRadioButton>(d, "rbrange")->click();
    Child<QDateTimeEdit>(d, "dpto")->setDateTime(ScopeTest::Moment.addDays(-1));
}

TEST_F(LateScopeTest, OneSessionChecks)
{
    struct Case
    {
        const char *name;
        Arrange setup;
        const char *focus;
    } cases[] = {
        {"the stored defaults", [](QWidget &) {}, nullptr},
        {"standard end equal to its start", [](QWidget &d) { SetTime(d, "dtpSTDend", 9, 0); },
         "dtpSTDstart"},
        {"standard end before its start", [](QWidget &d) { SetTime(d, "dtpSTDend", 8, 59); },
         "dtpSTDstart"},
        {"range ending the day before it starts", RangeToBeforeFrom, "dpfrom"},
        {"range of one day, later time first",
         [](QWidget &d) {
             Child<QRadioButton>(d, "rbrange")->click();
             Child<QDateTimeEdit>(d, "dpto")->setTime(T(0, 1));
         },
         nullptr},
        {"Saturday off: its hours are not looked at",
         [](QWidget &d) { SetTime(d, "dtpSATend", 8, 0); }, nullptr},
        {"Saturday on, ending at its start",
         [](QWidget &d) {
             Child<QCheckBox>(d, "cbsat")->setChecked(true);
             SetTime(d, "dtpSATend", 9, 0);
         },
         "dtpSATstart"},
        {"the range is reported before the hours",
         [](QWidget &d) {
             RangeToBeforeFrom(d);
             SetTime(d, "dtpSTDend", 8, 0);
         },
         "dpfrom"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TSetLateScope d;
        c.setup(d);
        ExpectConfirm(d, c.focus);
        // The overnight form takes any hours as entered.
        TSetLateScope overnight;
        overnight.SetOvernight(true);
        c.setup(overnight);
        ExpectConfirm(overnight, nullptr);
    }
}

TEST_F(LateScopeTest, TwoSessionChecks)
{
    auto saturdays = [](QWidget &d, QTime s1, QTime e1, QTime s2, QTime e2) {
        Child<QCheckBox>(d, "cbsat1")->setChecked(true);
        Child<QCheckBox>(d, "cbsat2")->setChecked(true);
        Child<QDateTimeEdit>(d, "dtpSATstart1")->setTime(s1);
        Child<QDateTimeEdit>(d, "dtpSATend1")->setTime(e1);
        Child<QDateTimeEdit>(d, "dtpSATstart2")->setTime(s2);
        Child<QDateTimeEdit>(d, "dtpSATend2")->setTime(e2);
    };
    struct Case
    {
        const char *name;
        Arrange setup;
        const char *focus;
    } cases[] = {
        {"the stored defaults", [](QWidget &) {}, nullptr},
        {"overlapping weekday sessions",
         [](QWidget &d) {
             SetTime(d, "dtpSTDstart2", 12, 0);
             SetTime(d, "dtpSTDend2", 17, 0);
         },
         nullptr},
        {"both weekday sessions starting together",
         [](QWidget &d) { SetTime(d, "dtpSTDstart2", 9, 0); }, nullptr},
        {"range ending the day before it starts", RangeToBeforeFrom, "dpfrom"},
        {"first session ending at its start", [](QWidget &d) { SetTime(d, "dtpSTDend1", 9, 0); },
         "dtpSTDstart1"},
        {"second session ending before its start",
         [](QWidget &d) { SetTime(d, "dtpSTDend2", 13, 0); }, "dtpSTDstart2"},
        {"second session starting before the first",
         [](QWidget &d) { SetTime(d, "dtpSTDstart2", 8, 0); }, "dtpSTDstart2"},
        {"first Saturday session ending at its start",
         [](QWidget &d) {
             Child<QCheckBox>(d, "cbsat1")->setChecked(true);
             SetTime(d, "dtpSATend1", 9, 0);
         },
         "dtpSATstart1"},
        {"second Saturday session without the first",
         [](QWidget &d) { Child<QCheckBox>(d, "cbsat2")->setChecked(true); }, "cbsat1"},
        {"second Saturday session ending before its start",
         [=](QWidget &d) { saturdays(d, T(9, 0), T(13, 0), T(14, 0), T(13, 30)); }, "dtpSATstart2"},
        {"Saturday sessions overlapping",
         [=](QWidget &d) { saturdays(d, T(9, 0), T(13, 0), T(12, 0), T(15, 0)); }, "dtpSATstart2"},
        {"Saturday sessions meeting",
         [=](QWidget &d) { saturdays(d, T(9, 0), T(13, 0), T(13, 0), T(15, 0)); }, "dtpSATstart2"},
        {"Saturday sessions one minute apart",
         [=](QWidget &d) { saturdays(d, T(9, 0), T(13, 0), T(13, 1), T(15, 0)); }, nullptr},
        {"first Saturday session off: its hours are not looked at",
         [](QWidget &d) { SetTime(d, "dtpSATend1", 8, 0); }, nullptr},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TSetnLateScope d;
        c.setup(d);
        ExpectConfirm(d, c.focus);
    }
}

TEST_F(LateScopeTest, HoursFromTheSettings)
{
    {
        TSetLateScope d;
        EXPECT_FALSE(d.Overnight());
        EXPECT_EQ(TimeOf(d, "dtpSTDstart"), T(9, 0));
        EXPECT_EQ(TimeOf(d, "dtpSTDend"), T(17, 0));
        EXPECT_FALSE(Child<QCheckBox>(d, "cbsat")->isChecked());
        EXPECT_EQ(TimeOf(d, "dtpSATstart"), T(9, 0));
        EXPECT_EQ(TimeOf(d, "dtpSATend"), T(13, 0));
        EXPECT_EQ(Child<QSpinBox>(d, "seOTmin")->value(), 15);
        EXPECT_EQ(Child<QSpinBox>(d, "seOTmul")->value(), 5);
        EXPECT_EQ(Child<QSpinBox>(d, "seOTfree")->value(), 0);
        EXPECT_EQ(Child<QDateTimeEdit>(d, "dtpSTDstart")->displayFormat(), QStringLiteral("HH:mm"));
        EXPECT_EQ(d.findChild<QWidget *>(QStringLiteral("rgrecord")), nullptr);

        Child<QRadioButton>(d, "rbstaff")->click();
        Child<QRadioButton>(d, "rblastmonth")->click();
        SetTime(d, "dtpSTDstart", 7, 30);
        SetTime(d, "dtpSTDend", 16, 15);
        Child<QCheckBox>(d, "cbsat")->setChecked(true);
        SetTime(d, "dtpSATend", 12, 0);
        Child<QSpinBox>(d, "seOTmin")->setValue(-30); // no bounds: stored as entered
        Child<QSpinBox>(d, "seOTmul")->setValue(100000);
        Child<QSpinBox>(d, "seOTfree")->setValue(45);
        d.Button1Click();
        ASSERT_EQ(d.result(), TScopeDialog::ResultConfirm);
    }
    EXPECT_EQ(Stored("PrintPersons"), QStringLiteral("2"));
    EXPECT_EQ(Stored("PrintDateRange"), QStringLiteral("3"));
    EXPECT_EQ(Stored("LastOtMinimum"), QStringLiteral("-30"));
    TSetLateScope again;
    EXPECT_TRUE(Child<QRadioButton>(again, "rbstaff")->isChecked());
    EXPECT_TRUE(Child<QPushButton>(again, "bAdd")->isEnabled());
    EXPECT_TRUE(Child<QRadioButton>(again, "rblastmonth")->isChecked());
    EXPECT_EQ(TimeOf(again, "dtpSTDstart"), T(7, 30));
    EXPECT_EQ(TimeOf(again, "dtpSTDend"), T(16, 15));
    EXPECT_TRUE(Child<QCheckBox>(again, "cbsat")->isChecked());
    EXPECT_EQ(TimeOf(again, "dtpSATend"), T(12, 0));
    EXPECT_EQ(Child<QSpinBox>(again, "seOTmul")->value(), 100000);
    EXPECT_EQ(Child<QSpinBox>(again, "seOTfree")->value(), 45);
    // The overtime values are the two-session dialog's too.
    TSetnLateScope two;
    EXPECT_EQ(Child<QSpinBox>(two, "seOTmin")->value(), -30);
    EXPECT_EQ(Child<QSpinBox>(two, "seOTfree")->value(), 45);
    const std::pair<const char *, QTime> defaults[] = {
        {"dtpSTDstart1", T(9, 0)},  {"dtpSTDend1", T(13, 0)},  {"dtpSTDstart2", T(14, 0)},
        {"dtpSTDend2", T(17, 30)},  {"dtpSATstart1", T(9, 0)}, {"dtpSATend1", T(13, 0)},
        {"dtpSATstart2", T(14, 0)}, {"dtpSATend2", T(15, 30)},
    };
    for (const auto &[picker, time] : defaults)
        EXPECT_EQ(TimeOf(two, picker), time) << picker;
}

TEST_F(LateScopeTest, OneSessionHoursFromAWorkGroup)
{
    struct Case
    {
        const char *name;
        int group; // index in the list
        bool overnight;
        QTime stdStart, stdEnd;
        bool sat;
        QTime satStart, satEnd;
        int otMin, otMul;
    } cases[] = {
        {"both Saturday sessions: Saturday to the second one's end", 0, false, T(13, 0), T(21, 45),
         true, T(8, 15), T(12, 40), 20, 10},
        {"the first Saturday session alone", 1, false, T(5, 0), T(13, 0), true, T(6, 0), T(11, 0),
         30, 15},
        {"empty times leave the pickers", 2, false, T(7, 0), T(16, 0), false, T(7, 30), T(11, 30),
         0, 1},
        {"overnight: nothing loads", 0, true, T(7, 0), T(16, 0), true, T(7, 30), T(11, 30), 1, 2},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TSetLateScope d;
        d.SetOvernight(c.overnight);
        SetTime(d, "dtpSTDstart", 7, 0);
        SetTime(d, "dtpSTDend", 16, 0);
        Child<QCheckBox>(d, "cbsat")->setChecked(true);
        SetTime(d, "dtpSATstart", 7, 30);
        SetTime(d, "dtpSATend", 11, 30);
        Child<QSpinBox>(d, "seOTmin")->setValue(1);
        Child<QSpinBox>(d, "seOTmul")->setValue(2);
        Child<QSpinBox>(d, "seOTfree")->setValue(9);
        const QDate pickerDate = Child<QDateTimeEdit>(d, "dtpSTDstart")->date();
        ChooseGroup(d, c.group);
        EXPECT_EQ(TimeOf(d, "dtpSTDstart"), c.stdStart);
        EXPECT_EQ(TimeOf(d, "dtpSTDend"), c.stdEnd);
        EXPECT_EQ(Child<QCheckBox>(d, "cbsat")->isChecked(), c.sat);
        EXPECT_EQ(TimeOf(d, "dtpSATstart"), c.satStart);
        EXPECT_EQ(TimeOf(d, "dtpSATend"), c.satEnd);
        EXPECT_EQ(Child<QSpinBox>(d, "seOTmin")->value(), c.otMin);
        EXPECT_EQ(Child<QSpinBox>(d, "seOTmul")->value(), c.otMul);
        EXPECT_EQ(Child<QSpinBox>(d, "seOTfree")->value(), 9);
        EXPECT_EQ(Child<QDateTimeEdit>(d, "dtpSTDstart")->date(), pickerDate);
    }
}

// A group that went from the table while the dialog was open loads nothing, rather than the
// hours of whichever group the table stood on.
TEST_F(LateScopeTest, AGroupThatCannotBeFoundLoadsNothing)
{
    TSetLateScope one;
    TSetnLateScope two;
    m_data->src.Exec(QStringLiteral("delete from gid where DESCX='Bakers'"));
    m_data->gidtbl.Refresh();
    ASSERT_TRUE(m_data->gidtbl.Locate(QStringLiteral("DESCX"), QStringLiteral("Afternoons")));
    ChooseGroup(one, 1);
    EXPECT_EQ(TimeOf(one, "dtpSTDstart"), T(9, 0));
    EXPECT_EQ(TimeOf(one, "dtpSTDend"), T(17, 0));
    EXPECT_FALSE(Child<QCheckBox>(one, "cbsat")->isChecked());
    EXPECT_EQ(Child<QSpinBox>(one, "seOTmin")->value(), 15);
    ChooseGroup(two, 1);
    EXPECT_EQ(TimeOf(two, "dtpSTDend2"), T(17, 30));
    EXPECT_FALSE(Child<QCheckBox>(two, "cbsat2")->isChecked());
    EXPECT_EQ(Child<QSpinBox>(two, "seOTmul")->value(), 5);
}

TEST_F(LateScopeTest, TwoSessionHoursFromAWorkGroup)
{
    TSetnLateScope d;
    Child<QSpinBox>(d, "seOTfree")->setValue(12);
    ChooseGroup(d, 0); // Afternoons
    const std::pair<const char *, QTime> times[] = {
        {"dtpSTDstart1", T(13, 0)},  {"dtpSTDend1", T(15, 30)},  {"dtpSTDstart2", T(16, 0)},
        {"dtpSTDend2", T(21, 45)},   {"dtpSATstart1", T(8, 15)}, {"dtpSATend1", T(10, 0)},
        {"dtpSATstart2", T(10, 30)}, {"dtpSATend2", T(12, 40)},
    };
    for (const auto &[picker, time] : times)
        EXPECT_EQ(TimeOf(d, picker), time) << picker;
    EXPECT_TRUE(Child<QCheckBox>(d, "cbsat1")->isChecked());
    EXPECT_TRUE(Child<QCheckBox>(d, "cbsat2")->isChecked());
    EXPECT_EQ(Child<QSpinBox>(d, "seOTmin")->value(), 20);
    EXPECT_EQ(Child<QSpinBox>(d, "seOTmul")->value(), 10);
    EXPECT_EQ(Child<QSpinBox>(d, "seOTfree")->value(), 12);
}

// "Group" stored: every opening takes the first group's hours over the stored ones.
TEST_F(LateScopeTest, StoredGroupChoiceLoadsTheFirstGroup)
{
    Store("PrintPersons", QStringLiteral("1"));
    Store("LastStdStart", QStringLiteral("garbage"));
    TSetLateScope d;
    EXPECT_TRUE(Child<QRadioButton>(d, "rbgroup")->isChecked());
    EXPECT_TRUE(Child<QComboBox>(d, "cbgroup")->isEnabled());
    EXPECT_EQ(TimeOf(d, "dtpSTDstart"), T(13, 0));
    EXPECT_EQ(TimeOf(d, "dtpSTDend"), T(21, 45));
    Store("PrintPersons", QStringLiteral("7"));
    TSetnLateScope other;
    EXPECT_TRUE(Child<QRadioButton>(other, "rballstaff")->isChecked());
    EXPECT_EQ(TimeOf(other, "dtpSTDstart1"), T(9, 0));
}

// What the reports are handed: the hours as the pickers stand (times of day only, the date of
// a picker ignored), the Saturday enables and the overtime values.
TEST_F(LateScopeTest, HoursAreHandedOverAsTheControlsStand)
{
    TSetLateScope one;
    SetTime(one, "dtpSTDstart", 8, 5);
    SetTime(one, "dtpSTDend", 16, 50);
    Child<QCheckBox>(one, "cbsat")->setChecked(true);
    SetTime(one, "dtpSATstart", 9, 15);
    Child<QDateTimeEdit>(one, "dtpSATend")->setDateTime(QDateTime(QDate(1999, 1, 2), T(12, 45)));
    Child<QSpinBox>(one, "seOTmin")->setValue(25);
    Child<QSpinBox>(one, "seOTmul")->setValue(-10);
    Child<QSpinBox>(one, "seOTfree")->setValue(7);
    const TLateHours h = one.Hours();
    EXPECT_EQ(h.StdStart, T(8, 5));
    EXPECT_EQ(h.StdEnd, T(16, 50));
    EXPECT_TRUE(h.SatEnabled);
    EXPECT_EQ(h.SatStart, T(9, 15));
    EXPECT_EQ(h.SatEnd, T(12, 45));
    EXPECT_EQ(h.OvertimeMinimum, 25);
    EXPECT_EQ(h.OvertimeMultiple, -10);
    EXPECT_EQ(h.UnpaidOvertime, 7);

    TSetnLateScope two;
    const struct
    {
        const char *picker;
        QTime time;
        QTime TTwoSessionHours::*field;
    } pickers[] = {
        {"dtpSTDstart1", T(7, 0), &TTwoSessionHours::Start1},
        {"dtpSTDend1", T(11, 30), &TTwoSessionHours::End1},
        {"dtpSTDstart2", T(12, 15), &TTwoSessionHours::Start2},
        {"dtpSTDend2", T(17, 45), &TTwoSessionHours::End2},
        {"dtpSATstart1", T(8, 10), &TTwoSessionHours::SatStart1},
        {"dtpSATend1", T(10, 20), &TTwoSessionHours::SatEnd1},
        {"dtpSATstart2", T(10, 40), &TTwoSessionHours::SatStart2},
        {"dtpSATend2", T(13, 50), &TTwoSessionHours::SatEnd2},
    };
    for (const auto &p : pickers)
        SetTime(two, p.picker, p.time.hour(), p.time.minute());
    Child<QCheckBox>(two, "cbsat1")->setChecked(true);
    Child<QCheckBox>(two, "cbsat2")->setChecked(false);
    Child<QSpinBox>(two, "seOTmin")->setValue(30);
    Child<QSpinBox>(two, "seOTmul")->setValue(15);
    Child<QSpinBox>(two, "seOTfree")->setValue(-5);
    const TTwoSessionHours s = two.Hours();
    for (const auto &p : pickers)
        EXPECT_EQ(s.*p.field, p.time) << p.picker;
    EXPECT_TRUE(s.Sat1Enabled);
    EXPECT_FALSE(s.Sat2Enabled);
    EXPECT_EQ(s.OvertimeMinimum, 30);
    EXPECT_EQ(s.OvertimeMultiple, 15);
    EXPECT_EQ(s.UnpaidOvertime, -5);
}

} // namespace
