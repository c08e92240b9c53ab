#include "reports/repfilo.h"

#include "store/clock.h"
#include "store/dataset.h"
#include "store/datasrc.h"
#include "store/dbschema.h"
#include "store/pairing.h"
#include "store/utils.h"

namespace {

// The record formats in the order of the dialogs' choice.
const QString RecordFormats[] = {
    QStringLiteral(" AM/PMhh:mm:ss"),
    QStringLiteral(" HH:mm:ss"),
    QStringLiteral(" AM/PMhh:mm"),
    QStringLiteral(" HH:mm"),
};

// The time of day moved the given hours earlier.
QTime earlier(const QTime &t, int hours)
{
    return t.addSecs(-qint64(hours) * 3600);
}

// A choice outside the items reads as the first.
int choice(int index, int count)
{
    return index >= 0 && index < count ? index : 0;
}

// The scope's record format, the first one when it is none of them.
const QString &recordFormat(const QString &format)
{
    for (const QString &f : RecordFormats)
        if (f == format)
            return f;
    return RecordFormats[0];
}

const QColor Yellow(255, 255, 0);
const QColor White(255, 255, 255);

} // namespace

Tqrfilo::Tqrfilo(QObject *owner)
    : TReportForm(owner), m_mast(std::make_unique<TDataSet>(dsrc->src)),
      m_details(std::make_unique<TDataSet>(dsrc->att))
{
    SetMargins(10, 10, 10, 10);
    SetPrintIfEmpty(true);
    const QFont arial10 = ReportFont(QStringLiteral("Arial"), 10);
    SetFont(arial10);

    PageFooterBand1 = AddBand(TBandType::PageFooter, 8);
    QRSysData3 = PageFooterBand1->AddSysData(TSysDataKind::DateTime, {0, 2, 100, 5});
    QRSysData3->SetText(QStringLiteral("Printed on "));
    QRSysData1 = PageFooterBand1->AddSysData(TSysDataKind::PageNumber, {140, 2, 50, 5});
    QRSysData1->SetText(QStringLiteral("P."));
    QRSysData1->SetAlignment(Qt::AlignRight | Qt::AlignTop);

    PageHeaderBand1 = AddBand(TBandType::PageHeader, 26);
    PageHeaderBand1->SetLinkBand(PageFooterBand1);
    QRSysData2 = PageHeaderBand1->AddSysData(TSysDataKind::ReportTitle, {0, 5, 190, 9});
    QRSysData2->SetFont(ReportFont(QStringLiteral("Arial"), 18, true));
    QRSysData2->SetCentred();
    QRLabel1 = PageHeaderBand1->AddLabel(QStringLiteral("QRLabel1"), {0, 0, 110, 5});
    QRLabel1->SetCaption(QStringLiteral("Tallyclock"));
    QRLabel1->OnPrint = [this](QString &v) { QRLabel1Print(v); };
    qrrange = PageHeaderBand1->AddLabel(QStringLiteral("qrrange"), {110, 0, 80, 5});
    qrrange->SetAlignment(Qt::AlignRight | Qt::AlignTop);
    qrrange->OnPrint = [this](QString &v) { qrrangePrint(v); };
    QRLabel2 = PageHeaderBand1->AddLabel(QStringLiteral("QRLabel2"), {0, 15, 150, 5});
    QRLabel2->OnPrint = [this](QString &v) { QRLabel2Print(v); };
    QRLabel3 = PageHeaderBand1->AddLabel(QStringLiteral("QRLabel3"), {0, 20, 150, 5});
    QRLabel3->OnPrint = [this](QString &v) { QRLabel3Print(v); };

    masterband = AddSubDetail(7);
    masterband->SetFrame(FrameAll);
    masterband->SetPrintIfEmpty(true);
    masterband->BeforePrint = [this](bool &p) { masterbandBeforePrint(p); };
    qrmaster = masterband->AddLabel(QStringLiteral("qrmaster"), {1, 1, 188, 5});
    qrmaster->SetFont(ReportFont(QStringLiteral("Arial"), 11));
    qrmaster->OnPrint = [this](QString &v) { qrmasterPrint(v); };

    detailband = AddSubDetail(4);
    detailband->SetPrintIfEmpty(true);
    detailband->OnNeedData = [this](bool &more) { detailbandNeedData(more); };
    qrdetails = detailband->AddLabel(QStringLiteral("qrdetails"), {1, 0, 188, 4});
    qrdetails->SetFont(ReportFont(QStringLiteral("Courier New"), 9));
    qrdetails->OnPrint = [this](QString &v) { qrdetailsPrint(v); };
    masterband->SetLinkBand(detailband);

    totalband = AddSubDetail(7);
    totalband->SetPrintIfEmpty(true);
    qrtotal = totalband->AddLabel(QStringLiteral("qrtotal"), {1, 1, 188, 5});
    qrtotal->SetFrame(FrameAll);
    qrtotal->OnPrint = [this](QString &v) { qrtotalPrint(v); };

    qrblank = AddSubDetail(5);
    qrblank->OnNeedData = [this](bool &more) { qrblankNeedData(more); };

    BeforePrint = [this](bool &p) { ReportBeforePrint(p); };
    OnNeedData = [this](bool &more) { ReportNeedData(more); };
}

Tqrfilo::~Tqrfilo() = default;

void Tqrfilo::SetDayStartHour(int h)
{
    m_s.DayStartHour = h >= 24 || h < 0 ? 0 : h;
}

void Tqrfilo::setupCommon(const TReportScope &scope, int source)
{
    m_scope = scope;
    m_s.Source = source;
    m_enhanced = scope.Enhanced;
    m_s.BlankLines = scope.BlankLines;
    TReptParam param;
    param.FromDate = m_s.FromDate;
    param.ToDate = m_s.ToDate;
    GetScopeDateRange(scope, *m_details, param);
    m_s.AllDates = param.AllDates;
    m_s.FromDate = param.FromDate;
    m_s.ToDate = param.ToDate;
    m_s.RecordsOfInterest = choice(scope.RecordsOfInterest, 3);
    static const QString suffixes[] = {QStringLiteral(" (All)"), QStringLiteral(" (Clock)"),
                                       QStringLiteral(" (IN/OUT)")};
    SetReportTitle(ReportTitle() + suffixes[m_s.RecordsOfInterest]);
    masterband->SetForceNewPage(scope.NewPagePerPerson);
    m_s.RecordFormat = recordFormat(scope.RecordFormat);
    m_s.RecordWidth = int(FormatRecordTime(m_s.RecordFormat, WallClock(Now())).size());
}

void Tqrfilo::SetupFromScope(const TReportScope &scope)
{
    setupCommon(scope, 0);
    m_s.Mode = scope.FirstInLastOut ? 1 : 0;
}

void Tqrfilo::SetupFromLateScope(const TReportScope &lateScope, const TLateHours &hours)
{
    const int h = m_s.DayStartHour;
    m_s.StdStart = earlier(hours.StdStart, h);
    m_s.StdEnd = earlier(hours.StdEnd, h);
    m_s.SatEnabled = hours.SatEnabled;
    m_s.SatStart = earlier(hours.SatStart, h);
    m_s.SatEnd = earlier(hours.SatEnd, h);
    m_s.OvertimeMinimum = hours.OvertimeMinimum;
    m_s.OvertimeMultiple = hours.OvertimeMultiple;
    m_s.UnpaidOvertime = hours.UnpaidOvertime;
    setupCommon(lateScope, 1);
    m_s.Mode = 2;
}

void Tqrfilo::SetupFromTwoSessionScope(const TReportScope &twoSessionScope,
                                       const TTwoSessionHours &hours)
{
    m_s.Start1 = hours.Start1;
    m_s.End1 = hours.End1;
    m_s.Start2 = hours.Start2;
    m_s.End2 = hours.End2;
    m_s.Sat1Enabled = hours.Sat1Enabled;
    m_s.SatStart1 = hours.SatStart1;
    m_s.SatEnd1 = hours.SatEnd1;
    m_s.Sat2Enabled = hours.Sat2Enabled;
    m_s.SatStart2 = hours.SatStart2;
    m_s.SatEnd2 = hours.SatEnd2;
    m_s.OvertimeMinimum = hours.OvertimeMinimum;
    m_s.OvertimeMultiple = hours.OvertimeMultiple;
    m_s.UnpaidOvertime = hours.UnpaidOvertime;
    setupCommon(twoSessionScope, 2);
    m_s.Mode = 3;
}

QString Tqrfilo::detailsSql() const
{
    QStringList lines;
    const int h = m_s.DayStartHour;
    // With a day-start hour the log is read h hours earlier, so a report day runs from hour h
    // to hour h of the next day; the range and the order stay on the stored times.
    if (h > 0)
        lines << QStringLiteral("select datetime(SYSTIME, '-%1 hours') as SYSTIME, CARDNO, MODE, "
                                "READER, LOCK")
                     .arg(h);
    else
        lines << QStringLiteral("select *");
    const QString column = h > 0 ? QStringLiteral("recorder.SYSTIME") : QStringLiteral("SYSTIME");
    lines << QStringLiteral("from recorder") << QStringLiteral("where CARDNO=%1").arg(m_cardNo);
    if (m_s.RecordsOfInterest == 1)
        lines << QStringLiteral("and MODE=0");
    else if (m_s.RecordsOfInterest == 2)
        lines << QStringLiteral("and MODE>0");
    if (!m_s.AllDates)
        lines << QStringLiteral("and ") + column + MakeDateRangeSql(m_s.FromDate, m_s.ToDate);
    lines << QStringLiteral("order by ") + column;
    return lines.join(QChar(u'\n'));
}

void Tqrfilo::ReportBeforePrint(bool &printReport)
{
    if (m_scope && !BuildStaffScopeQuery(*m_mast, *m_scope)) {
        printReport = false;
        return;
    }
    if (m_s.AllDates) {
        // The first and last times without reading the whole log.
        const int h = m_s.DayStartHour;
        // Each end is its own query, so each is one look into the time index: min and max
        // side by side in one select scan the whole index.
        TDataSet range(dsrc->att,
                       h > 0 ? QStringLiteral("select datetime((select min(SYSTIME) from recorder), "
                                              "'-%1 hours'), datetime((select max(SYSTIME) from "
                                              "recorder), '-%1 hours')")
                                   .arg(h)
                             : QStringLiteral("select (select min(SYSTIME) from recorder), "
                                              "(select max(SYSTIME) from recorder)"));
        range.Open();
        m_s.FromDate = ClearMilliseconds(WallClockFromDbText(range.Field(0).AsString()));
        m_s.ToDate = ClearMilliseconds(WallClockFromDbText(range.Field(1).AsString()));
    }
    m_lines.ResetCounters();
    printReport = m_mast->Active() && !m_mast->IsEmpty();
    if (printReport) {
        m_mast->First();
        SetProgressTotal(m_mast->RecordCount());
    }
}

void Tqrfilo::ReportNeedData(bool &moreData)
{
    moreData = m_mast->Active() && !m_mast->Eof();
}

void Tqrfilo::qrrangePrint(QString &value)
{
    value = m_lines.RangeText();
}

void Tqrfilo::QRLabel1Print(QString &value)
{
    value = m_lines.CompanyText(value);
}

void Tqrfilo::QRLabel2Print(QString &value)
{
    value = m_lines.StandardText();
}

void Tqrfilo::QRLabel3Print(QString &value)
{
    value = m_lines.SaturdayText();
}

void Tqrfilo::masterbandBeforePrint(bool &)
{
    if (m_enhanced) {
        masterband->SetColor(Yellow);
        detailband->SetColor(White);
    }
}

void Tqrfilo::qrmasterPrint(QString &value)
{
    m_cardNo = m_mast->FieldByName(Schema::Staffs::CardNo).AsInteger();
    m_details->SetSQL(detailsSql());
    m_details->Open();
    m_details->First();
    m_lines.StartPerson();
    value = QStringLiteral(" [") + QString::number(m_cardNo) + QStringLiteral("] ") +
            m_mast->FieldByName(Schema::Staffs::Name).AsString();
    if (m_s.Mode == 0)
        value += QStringLiteral(" (") + QString::number(m_details->RecordCount()) +
                 QStringLiteral(" record(s))");
    m_mast->Next();
    m_morePersons = !m_mast->Eof();
}

void Tqrfilo::detailbandNeedData(bool &moreData)
{
    moreData = m_details->Active() && !m_details->Eof();
}

void Tqrfilo::qrdetailsPrint(QString &value)
{
    if (m_enhanced)
        detailband->SetColor(detailband->Color() != White ? White : Yellow);
    value = m_s.Mode == 0 ? BuildFiloLine() : BuildLateLine();
}

void Tqrfilo::qrtotalPrint(QString &value)
{
    value = m_lines.TotalLine();
}

void Tqrfilo::qrblankNeedData(bool &moreData)
{
    moreData = m_morePersons;
    m_morePersons = false;
}
