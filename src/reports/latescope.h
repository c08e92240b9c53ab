#pragma once
// The two lateness scope dialogs ("Scope of Report"): `TSetLateScope` before the one-session
// first-in/last-out report, with a standard day, an optional Saturday and the overtime values,
// in its plain and its overnight form; `TSetnLateScope` before the two-session report, with
// two sessions on weekdays and on Saturday. Choosing a work group copies its hours in; Confirm
// checks the hours, stores every choice and closes. Main thread only.

#include "reports/scopeparts.h"

class QDateTimeEdit;
class QSpinBox;

// What both lateness dialogs have beyond the shared scope: the "Working Hours" group with the
// overtime values, the stored persons choice, and the checks common to both.
class TLateScopeBase : public TScopeDialog
{
    Q_OBJECT

public:
    QGroupBox *gbhours;
    QSpinBox *seOTmin;  // minutes; no bounds
    QSpinBox *seOTmul;  // minutes; no bounds
    QSpinBox *seOTfree; // minutes; no bounds

    // The chosen work group's hours into the pickers (see the dialogs).
    virtual void cbgroupChange() = 0;

protected:
    explicit TLateScopeBase(QWidget *parent);

    // A time picker "HH:mm" for the working hours.
    static QDateTimeEdit *TimePicker(const char *name);
    // A row "start to end" of a group, with an optional enable box before it.
    static QWidget *TimeRow(QWidget *box, QDateTimeEdit *start, QDateTimeEdit *end);
    QGroupBox *HoursGroup(const QString &title, const QList<QWidget *> &rows);

    // The chosen work group's row of the group table, positioned on it; false when the text
    // names no group (nothing is then loaded).
    bool LocateChosenGroup();
    // A picker takes a stored time of the group's row; an empty one leaves it as it was.
    static void LoadTime(QDateTimeEdit *picker, const QString &field);
    static bool GroupFlag(const QString &field);
    void LoadOvertime();

    // The settings both dialogs share, the persons included.
    void ReadLateSettings();
    void WriteLateSettings();
    // Creation's last steps: the date radio and then the persons radio from the settings.
    void CheckStoredRadios();

    // The range's "To" day before its "From" day.
    bool RejectRange();
};

class TSetLateScope : public TLateScopeBase
{
    Q_OBJECT

public:
    explicit TSetLateScope(QWidget *parent = nullptr);

    QDateTimeEdit *dtpSTDstart;
    QDateTimeEdit *dtpSTDend;
    QCheckBox *cbsat;
    QDateTimeEdit *dtpSATstart;
    QDateTimeEdit *dtpSATend;

    // The hours and overtime values as the controls stand.
    TLateHours Hours() const;

    // The overnight form: choosing a group loads nothing and Confirm checks nothing. Set it
    // after creating the dialog, before showing it.
    void SetOvernight(bool overnight) { m_overnight = overnight; }
    bool Overnight() const { return m_overnight; }

    // The whole working day from the group's first session start to its second session end,
    // Saturday from its first session (to the second one's end when both are on), and the
    // overtime minimum and multiple; the unpaid overtime stays.
    void cbgroupChange() override;

protected:
    bool Validate() override;
    void WriteSettings() override;

private:
    void FormCreate();

    bool m_overnight = false;
};

class TSetnLateScope : public TLateScopeBase
{
    Q_OBJECT

public:
    explicit TSetnLateScope(QWidget *parent = nullptr);

    QDateTimeEdit *dtpSTDstart1;
    QDateTimeEdit *dtpSTDend1;
    QDateTimeEdit *dtpSTDstart2;
    QDateTimeEdit *dtpSTDend2;
    QCheckBox *cbsat1;
    QDateTimeEdit *dtpSATstart1;
    QDateTimeEdit *dtpSATend1;
    QCheckBox *cbsat2;
    QDateTimeEdit *dtpSATstart2;
    QDateTimeEdit *dtpSATend2;

    // The sessions and overtime values as the controls stand.
    TTwoSessionHours Hours() const;

    // All four sessions with their Saturday enables, and the overtime minimum and multiple;
    // the unpaid overtime stays.
    void cbgroupChange() override;

protected:
    bool Validate() override;
    void WriteSettings() override;

private:
    void FormCreate();
};
