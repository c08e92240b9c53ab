#pragma once
// Tqrlog: the time-log report and, with the first-in/last-out option, the total-hours report,
// person by person over the scope's persons and dates. The lines come from TLogLines.
// Main thread only.

#include "reports/loglines.h"
#include "reports/reportform.h"
#include "store/dataset.h"
#include "store/reportscope.h"

class Tqrlog : public TReportForm
{
    Q_OBJECT

public:
    explicit Tqrlog(QObject *owner = nullptr);
    ~Tqrlog() override;

    // Takes the scope; its first-in/last-out form makes the total-hours report.
    void SetupFromScope(const TReportScope &scope);

private:
    TReportScope m_scope;
    TDataSet m_mast;
    std::unique_ptr<TLogLines> m_lines;
    TLogLineOptions m_options;
    QDate m_from, m_to;
    bool m_allDates = false;
    bool m_enhanced = false;
    bool m_blankPending = false;
    int m_card = 0;
    TReportSubDetail *m_masterband = nullptr;
    TReportSubDetail *m_detailband = nullptr;
};
