#pragma once
// Tqrlog: the time-log report and, with the first-in/last-out option, the total-hours report,
// person by person over the scope dialog's persons and dates. The lines come from TLogLines.
// Main thread only.

#include "reports/loglines.h"
#include "reports/reportform.h"
#include "store/dataset.h"

class TSetScope;

class Tqrlog : public TReportForm
{
    Q_OBJECT

public:
    explicit Tqrlog(QObject *owner = nullptr);
    ~Tqrlog() override;

    // Reads the closed dialog (which stays alive while the report runs).
    void SetupFromScope(TSetScope &scope);

private:
    TSetScope *m_scope = nullptr;
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
