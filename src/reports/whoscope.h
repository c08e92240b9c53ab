#pragma once
// Twhoscope: the modal "Who's Status" dialog before the daily individual and the who-is-in
// reports: the persons, the day, the records per line, the record format and the print
// options. It shares the print settings of the report scope dialog (a choice confirmed in one
// is the next default of the other). Main thread only.

#include "store/reportscope.h"

#include <QDate>
#include <QDialog>

class QCheckBox;
class QDateTimeEdit;
class QPushButton;
class TPersonsGroup;
class TRadioGroup;

class Twhoscope : public QDialog
{
    Q_OBJECT

public:
    explicit Twhoscope(QWidget *parent = nullptr);

    TPersonsGroup *persons;
    QDateTimeEdit *dpfrom;
    TRadioGroup *rgrecord; // "2", "4", "6", "8"
    TRadioGroup *rgformat; // the time patterns, leading blank included
    QCheckBox *cbnewpage;
    QCheckBox *cbenhance;
    QCheckBox *cbpreview;
    QPushButton *Button1;
    QPushButton *WhoScope;

    QDate Day() const;
    QString RecordFormat() const;
    int RecordsPerLine() const; // 2, 4, 6 or 8
    // The persons, the day (as From), the pairs a line, the record format and the options.
    TReportScope Scope() const;

    // "Confirm": writes the five settings and closes with 1.
    void Button1Click();
};
