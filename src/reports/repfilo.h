#pragma once
// `Tqrfilo`: the first-in/last-out report in its four modes (total hours detail, IN/OUT pairs,
// one session, two sessions), set up from the scope (and the hours) of the closed dialog it
// was chosen with. The lines come from `TFiloLines`; this form holds the bands and hands the
// engine's callbacks to it. Create, optionally SetDayStartHour, set the title, one SetupFrom*,
// run, free. Main thread only.

#include "reports/filolines.h"
#include "reports/reportform.h"
#include "store/reportscope.h"

#include <memory>
#include <optional>

class Tqrfilo : public TReportForm
{
    Q_OBJECT

public:
    explicit Tqrfilo(QObject *owner = nullptr);
    ~Tqrfilo() override;

    // 24 or more counts as 0, which means no shift. Before the setup.
    void SetDayStartHour(int h);
    // Copies the scope into the report: the plain scope (its first-in/last-out form prints the
    // IN/OUT pairs), the lateness scope with its hours, the two-session scope with its sessions.
    void SetupFromScope(const TReportScope &scope);
    void SetupFromLateScope(const TReportScope &lateScope, const TLateHours &hours);
    void SetupFromTwoSessionScope(const TReportScope &twoSessionScope,
                                  const TTwoSessionHours &hours);

    QString FormatRecordTime(const QString &format, const QDateTime &t) const
    {
        return m_lines.FormatRecordTime(format, t);
    }
    QString BuildFiloLine() { return m_lines.BuildFiloLine(*m_details); }
    QString BuildLateLine() { return m_lines.BuildLateLine(*m_details); }
    qint64 CalcOvertime(qint64 span) { return m_lines.CalcOvertime(span); }

    const TFiloSettings &Settings() const { return m_s; }
    TDataSet &Details() const { return *m_details; }

    // Bands and labels by their names.
    TReportBand *PageFooterBand1;
    TReportBand *PageHeaderBand1;
    TReportSubDetail *masterband;
    TReportSubDetail *detailband;
    TReportSubDetail *totalband;
    TReportSubDetail *qrblank;
    TReportSysData *QRSysData1;
    TReportSysData *QRSysData2;
    TReportSysData *QRSysData3;
    TReportLabel *QRLabel1;
    TReportLabel *QRLabel2;
    TReportLabel *QRLabel3;
    TReportLabel *qrrange;
    TReportLabel *qrmaster;
    TReportLabel *qrdetails;
    TReportLabel *qrtotal;

    // The engine's callbacks.
    void ReportBeforePrint(bool &printReport);
    void ReportNeedData(bool &moreData);
    void qrrangePrint(QString &value);
    void QRLabel1Print(QString &value);
    void QRLabel2Print(QString &value);
    void QRLabel3Print(QString &value);
    void masterbandBeforePrint(bool &printBand);
    void qrmasterPrint(QString &value);
    void detailbandNeedData(bool &moreData);
    void qrdetailsPrint(QString &value);
    void qrtotalPrint(QString &value);
    void qrblankNeedData(bool &moreData);

private:
    void setupCommon(const TReportScope &scope, int source);
    QString detailsSql() const;

    std::optional<TReportScope> m_scope; // the persons are read when the report starts
    std::unique_ptr<TDataSet> m_mast;
    std::unique_ptr<TDataSet> m_details;
    TFiloSettings m_s;
    TFiloLines m_lines{m_s};
    int m_cardNo = 0;
    bool m_enhanced = false;
    bool m_morePersons = false;
};
