#include "reports/qrlog.h"

#include "reports/reportparts.h"
#include "store/datasrc.h"
#include "store/dbschema.h"
#include "store/pairing.h"
#include "store/settings.h"
#include "store/utils.h"

namespace {
constexpr double Width = 175; // A4 less 20 mm left and 15 mm right
const QColor Yellow(Qt::yellow);
const QColor White(Qt::white);
} // namespace

Tqrlog::Tqrlog(QObject *owner) : TReportForm(owner), m_mast(dsrc->src)
{
    m_scope.Persons = TPersonsChoice::List; // until a setup gives the persons
    SetMargins(20, 10, 15, 10);
    SetFont(ReportFont(QStringLiteral("Arial"), 10));
    TReportLabel *range = AddPageHeaderAndFooter(*this, Width, QStringLiteral("qrrange"));
    range->OnPrint = [this](QString &text) { text = TLogLines::RangeText(m_from, m_to); };

    m_masterband = AddSubDetail(7);
    m_masterband->SetFrame(FrameAll);
    // Once per person: its heading moves the persons query on, so it must print.
    m_masterband->SetPrintIfEmpty(true);
    TReportLabel *qrmaster =
        m_masterband->AddLabel(QStringLiteral("qrmaster"), {1, 1, Width - 2, 5});
    qrmaster->SetFont(ReportFont(QStringLiteral("Arial"), 11));
    m_detailband = AddSubDetail(4.2, m_masterband);
    m_masterband->SetLinkBand(m_detailband);
    TReportLabel *qrdetails =
        m_detailband->AddLabel(QStringLiteral("qrdetails"), {0, 0, Width, 4.2});
    qrdetails->SetFont(ReportFont(QStringLiteral("Courier New"), 9));
    TReportSubDetail *totalband = AddSubDetail(6);
    totalband->SetPrintIfEmpty(true);
    TReportLabel *qrtotal = totalband->AddLabel(QStringLiteral("qrtotal"), {0, 0.5, Width, 5});
    qrtotal->SetFrame(FrameAll);
    TReportSubDetail *qrblank = AddSubDetail(5);

    BeforePrint = [this](bool &print) {
        print = BuildStaffScopeQuery(m_mast, m_scope, QStringLiteral("CARDNO, NAME")) && !m_mast.IsEmpty();
    };
    OnNeedData = [this](bool &more) { more = m_mast.Active() && !m_mast.Eof(); };
    m_masterband->BeforePrint = [this](bool &print) {
        print = !m_mast.Eof();
        m_blankPending = print;
        if (!print)
            return;
        if (m_enhanced) {
            m_masterband->SetColor(Yellow);
            m_detailband->SetColor(White);
        }
        m_card = m_mast.FieldByName(Schema::Staffs::CardNo).AsInteger();
        m_lines->StartPerson(
            LoadPersonRecords(dsrc->att, m_card, m_options.Interest, m_from, m_to, m_allDates));
    };
    qrmaster->OnPrint = [this](QString &text) {
        text = m_lines->Heading(m_card, m_mast.FieldByName(Schema::Staffs::Name).AsString());
        m_mast.Next();
    };
    m_detailband->OnNeedData = [this](bool &more) { more = m_lines->HasMoreLines(); };
    m_detailband->BeforePrint = [this](bool &) {
        if (m_enhanced)
            m_detailband->SetColor(m_detailband->Color() == White ? Yellow : White);
    };
    qrdetails->OnPrint = [this](QString &text) { text = m_lines->NextLine(); };
    qrtotal->OnPrint = [this](QString &text) { text = m_lines->TotalLine(); };
    qrblank->OnNeedData = [this](bool &more) {
        more = m_blankPending;
        m_blankPending = false;
    };
}

Tqrlog::~Tqrlog() = default;

void Tqrlog::SetupFromScope(const TReportScope &scope)
{
    m_scope = scope;
    m_enhanced = scope.Enhanced;
    TReptParam param;
    TDataSet query(dsrc->att);
    GetScopeDateRange(scope, query, param);
    m_allDates = param.AllDates;
    m_from = param.FromDate.date();
    m_to = param.ToDate.date();
    m_options.BlankLines = scope.BlankLines;
    m_options.TotalsMode = scope.FirstInLastOut;
    m_options.Interest = TRecordsOfInterest(std::clamp(scope.RecordsOfInterest, 0, 2));
    m_options.TimeFormat = scope.RecordFormat;
    m_options.RecordsPerLine = ReadRegInteger(Setting::PrintRecordsPerLine);
    m_options.From = m_from;
    m_lines = std::make_unique<TLogLines>(m_options);
    SetReportTitle(TLogLines::Title(m_options.TotalsMode, m_options.Interest));
    m_masterband->SetForceNewPage(scope.NewPagePerPerson);
}
