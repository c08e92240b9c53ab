#pragma once
// The member card reports: TrptMemlist (two horizontal cards across an A4 page) and
// TrptMemlistv (three vertical ones), one card per person of the persons query, and the
// routines that fill them from the closed card dialog and preview or print them; and
// TrptListMem, the member list, one fixed-height line per person. Main thread only.

#include "reports/cardlines.h"
#include "reports/dlgpersons.h"
#include "reports/reportform.h"
#include "store/dataset.h"
#include "store/reportscope.h"

#include <array>

class QWidget;

// What both card styles share; the style decides only the places.
class TCardReport : public TReportForm
{
    Q_OBJECT

public:
    TCardReport(QObject *owner, bool horizontal);
    ~TCardReport() override;

    TDataSet &Mast() { return m_mast; }
    // Copies the card choices into the report and opens the persons query of the scope; false
    // when the query failed (its error box was shown).
    bool FillFrom(const TCardChoices &choices, const TReportScope &scope);

private:
    TDataSet m_mast;
    std::array<QString, 4> m_remarks;
    TReportImage *m_bgphoto = nullptr;
    TReportImage *m_xLogo = nullptr;
    TReportImage *m_xphoto = nullptr;
    TReportLabel *m_qrTitle = nullptr;
    std::array<TReportLabel *, 4> m_captions{};
    std::vector<TReportText *> m_fields; // card number, name, group and the remarks
};

class TrptMemlist : public TCardReport
{
    Q_OBJECT

public:
    explicit TrptMemlist(QObject *owner = nullptr) : TCardReport(owner, true) {}
};

class TrptMemlistv : public TCardReport
{
    Q_OBJECT

public:
    explicit TrptMemlistv(QObject *owner = nullptr) : TCardReport(owner, false) {}
};

// Fill the card report from the closed dialog, then preview or print it as the dialog says.
void FillMemlistReport(TDlgPersons &dialog, TrptMemlist &report, QWidget *parent = nullptr);
void FillMemlistvReport(TDlgPersons &dialog, TrptMemlistv &report, QWidget *parent = nullptr);

class TrptListMem : public TReportForm
{
    Q_OBJECT

public:
    explicit TrptListMem(QObject *owner = nullptr);
    ~TrptListMem() override;
    TDataSet &Mast() { return m_mast; }
    // Opens the persons of the scope's choice with the printed columns only; false when the
    // query failed (its error box was shown).
    bool OpenStaff(const TReportScope &scope);

private:
    TDataSet m_mast;
};
