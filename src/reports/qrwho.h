#pragma once
// Tqrwho, the daily individual report (each person's CLOCK, IN and OUT lines of one day), and
// Tqrwhos, who is in or out (every person under the mode of their latest record that day).
// Both are set up from the closed Twhoscope; their lines come from TDailyLines and TWhosLines.
// Main thread only.

#include "reports/reportform.h"
#include "reports/wholines.h"
#include "store/dataset.h"

#include <array>

class Twhoscope;

class Tqrwho : public TReportForm
{
    Q_OBJECT

public:
    explicit Tqrwho(QObject *owner = nullptr);
    ~Tqrwho() override;
    void SetupFromScope(Twhoscope &scope);

private:
    Twhoscope *m_scope = nullptr;
    TDataSet m_mast;
    QDate m_day;
    QString m_timeFormat;
    bool m_enhanced = false;
    int m_category = 3;
    std::array<QStringList, 3> m_lines;
    int m_next = 0;
    bool m_blankPending = false;
    TReportSubDetail *m_masterband = nullptr;
};

class Tqrwhos : public TReportForm
{
    Q_OBJECT

public:
    explicit Tqrwhos(QObject *owner = nullptr);
    ~Tqrwhos() override;
    void SetupFromScope(Twhoscope &scope);

private:
    Twhoscope *m_scope = nullptr;
    QDate m_day;
    QString m_timeFormat;
    bool m_enhanced = false;
    std::array<TWhosLines::TCategory, TWhosLines::CategoryCount> m_categories;
    int m_category = 0;
    int m_next = 0;
    bool m_blankPending = false;
    TReportSubDetail *m_masterband = nullptr;
    TReportSubDetail *m_detailband = nullptr;
};
