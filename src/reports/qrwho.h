#pragma once
// Tqrwho, the daily individual report (each person's CLOCK, IN and OUT lines of one day), and
// Tqrwhos, who is in or out (every person under the mode of their latest record that day).
// Both are set up from the closed Twhoscope's scope; their lines come from TDailyLines and
// TWhosLines.
// Main thread only.

#include "reports/reportform.h"
#include "reports/wholines.h"
#include "store/dataset.h"
#include "store/reportscope.h"

#include <array>

// What both reports take from the closed scope dialog's scope.
class TDayReport : public TReportForm
{
    Q_OBJECT

public:
    explicit TDayReport(QObject *owner);
    ~TDayReport() override;
    // Keeps the scope (its persons are read when the report starts); the day (From), the record
    // format, enhanced printing and the new-page choice.
    void SetupFromScope(const TReportScope &scope);

protected:
    TReportScope m_scope;
    QDate m_day;
    QString m_timeFormat;
    bool m_enhanced = false;
    TReportSubDetail *m_masterband = nullptr; // starts a page when cbnewpage is checked
};

class Tqrwho : public TDayReport
{
    Q_OBJECT

public:
    explicit Tqrwho(QObject *owner = nullptr);
    ~Tqrwho() override;

private:
    TDataSet m_mast;
    int m_category = 3;
    std::array<QStringList, 3> m_lines;
    int m_next = 0;
    bool m_blankPending = false;
};

class Tqrwhos : public TDayReport
{
    Q_OBJECT

public:
    explicit Tqrwhos(QObject *owner = nullptr);
    ~Tqrwhos() override;

private:
    std::array<TWhosLines::TCategory, TWhosLines::CategoryCount> m_categories;
    int m_category = 0;
    int m_next = 0;
    bool m_blankPending = false;
    TReportSubDetail *m_detailband = nullptr;
};
