#pragma once
// `TSetScope`: the "Scope of Report" dialog before the time-log, total-hours and
// first-in/last-out reports and the workbook exports of the log: persons, dates, records of
// interest, options, records per line and record format. Confirm checks nothing and stores
// every choice but the persons. Main thread only.

#include "reports/scopeparts.h"

class TSetScope : public TScopeDialog
{
    Q_OBJECT

public:
    explicit TSetScope(QWidget *parent = nullptr);

    TRadioGroup *rgrecord; // "2", "4", "6", "8" records a line

    // IN/OUT pairs a line: 1 to 4.
    int PairsPerLine() const;
    // With the pairs a line.
    TReportScope Scope() const override;

protected:
    void WriteSettings() override;

private:
    void FormCreate();
};
