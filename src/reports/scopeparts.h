#pragma once
// The pieces every report scope dialog is made of, written once: the "Persons of interest"
// group, the "Dates of interest" group, and `TScopeDialog`, the dialog with the persons, the
// dates, the records of interest, the print options and the record format that the scope
// dialogs of the reports extend with their own controls. The closed dialog hands its choices
// to the reports as one `TReportScope`. Main thread only.

#include "store/reportscope.h"

#include <QDialog>
#include <QGroupBox>

class QCheckBox;
class QComboBox;
class QDateTimeEdit;
class QGridLayout;
class QPushButton;
class QRadioButton;
class QVBoxLayout;
class TRadioGroup;

// "Persons of interest" (object name "persons"): all staff, one work group, or the members
// of the pick list. Every opening starts at "All".
class TPersonsGroup : public QGroupBox
{
    Q_OBJECT

public:
    explicit TPersonsGroup(QWidget *parent = nullptr);

    QRadioButton *rballstaff;
    QRadioButton *rbgroup;
    QComboBox *cbgroup; // the work groups by name, the first one chosen
    QRadioButton *rbstaff;
    QPushButton *bAdd; // opens the pick list

    // 0 all, 1 group, 2 list; setting another value leaves the choice as it is.
    int PersonsIndex() const;
    void SetPersonsIndex(int index);
    // The persons choice and the chosen group's name into the scope.
    void ReadInto(TReportScope &scope) const;

    // Any persons radio checked, or a group chosen in the list: the list and the button follow
    // the choice, and with "Group" checked GroupChosen() is told.
    void rballstaffClick();
    // The pick list, modal over the dialog: the members "List" prints.
    void bAddClick();

signals:
    void GroupChosen();
};

// "Dates of interest": this week, last week, this month, last month, all, or the range of the
// two pickers, which start at now and are enabled only for "Range".
class TDateScopeGroup : public QGroupBox
{
    Q_OBJECT

public:
    explicit TDateScopeGroup(QWidget *parent = nullptr);

    QRadioButton *rbthisweek;
    QRadioButton *rblastweek;
    QRadioButton *rbthismonth;
    QRadioButton *rblastmonth;
    QRadioButton *rball;
    QRadioButton *rbrange;
    QDateTimeEdit *dpfrom;
    QDateTimeEdit *dpto;

    // 0 this week, 1 last week, 2 this month, 3 last month, 4 all, 5 range; a value outside
    // them checks "This Week".
    int DateRangeIndex() const;
    void SetDateRangeIndex(int index);
    // The date choice and both pickers into the scope.
    void ReadInto(TReportScope &scope) const;

    // Any date radio: the pickers are enabled exactly for "Range".
    void rballClick();

private:
    QList<QRadioButton *> m_radios;
};

// The modal "Scope of Report" dialog shared by the scope dialogs: Confirm (modal result 1)
// runs the dialog's checks, writes its settings and closes; Cancel closes with 2. The caller
// keeps the closed dialog alive while the report reads its controls.
class TScopeDialog : public QDialog
{
    Q_OBJECT

public:
    static constexpr int ResultConfirm = 1;
    static constexpr int ResultCancel = 2;

    TPersonsGroup *persons;
    TDateScopeGroup *dates;
    TRadioGroup *rgscope;  // "ALL", "CLOCK", "IN/OUT"
    TRadioGroup *rgformat; // the time patterns the reports print a record's time with
    QCheckBox *cbblank;
    QCheckBox *cbnewpage;
    QCheckBox *cbenhance;
    QCheckBox *cbpreview;
    QPushButton *Button1;
    QPushButton *Button2;

    // The time pattern of the chosen record format (leading blank included).
    QString RecordFormat() const;
    // Every choice of the dialog. Its first-in/last-out form is the stored one: the command
    // that runs a report sets the form it prints.
    virtual TReportScope Scope() const;

    void Button1Click();
    void Button2Click();

protected:
    explicit TScopeDialog(QWidget *parent);

    // Where a dialog puts its own groups: beside the options (right column) or below all.
    QVBoxLayout *RightColumn() const { return m_right; }
    QVBoxLayout *BottomArea() const { return m_bottom; }

    // The shared choices from the settings and back (the persons are not among them).
    void ReadScopeSettings();
    void WriteScopeSettings();

    // Confirm's checks and writes; false keeps the dialog open (the check has said why).
    virtual bool Validate() { return true; }
    virtual void WriteSettings() { WriteScopeSettings(); }

private:
    QVBoxLayout *m_right;
    QVBoxLayout *m_bottom;
    bool m_firstInLastOut = false; // as stored; no control shows it
};

// Checks of the scope dialogs: when the condition holds, the focus goes to the control,
// "Invalid input." is shown and the answer is true.
bool RejectInput(bool condition, QWidget *focus);
