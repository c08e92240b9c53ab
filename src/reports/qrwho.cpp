#include "reports/qrwho.h"

#include "reports/reportparts.h"
#include "store/datasrc.h"
#include "store/dbschema.h"
#include "store/settings.h"
#include "store/utils.h"

namespace {
constexpr double Width = 175; // A4 less 20 mm left and 15 mm right
const QColor Yellow(Qt::yellow);
const QColor White(Qt::white);

// The heading band prints once per report record: its callback moves the report on.
TReportLabel *headingLabel(TReportSubDetail *band, const char *name)
{
    band->SetFrame(FrameAll);
    band->SetPrintIfEmpty(true);
    TReportLabel *label = band->AddLabel(QString::fromLatin1(name), {1, 1, Width - 2, 5});
    label->SetFont(ReportFont(QStringLiteral("Arial"), 11));
    return label;
}

TReportLabel *lineLabel(TReportSubDetail *band, const char *name)
{
    TReportLabel *label = band->AddLabel(QString::fromLatin1(name), {0, 0, Width, 4.2});
    label->SetFont(ReportFont(QStringLiteral("Courier New"), 9));
    return label;
}

// The band answers once more data after another blank is owed, then clears it.
void answerBlank(bool &pending, bool &more)
{
    more = pending;
    pending = false;
}

} // namespace

TDayReport::TDayReport(QObject *owner) : TReportForm(owner)
{
    m_scope.Persons = TPersonsChoice::List; // until a setup gives the persons
    SetMargins(20, 10, 15, 10);
    SetFont(ReportFont(QStringLiteral("Arial"), 10));
}

TDayReport::~TDayReport() = default;

void TDayReport::SetupFromScope(const TReportScope &scope)
{
    m_scope = scope;
    m_day = scope.From.date();
    m_timeFormat = scope.RecordFormat;
    m_enhanced = scope.Enhanced;
    m_masterband->SetForceNewPage(scope.NewPagePerPerson);
}

Tqrwho::Tqrwho(QObject *owner) : TDayReport(owner), m_mast(dsrc->src)
{
    SetReportTitle(QStringLiteral("Daily Individual Report"));
    TReportLabel *range = AddPageHeaderAndFooter(*this, Width, QStringLiteral("qrrange"));
    range->OnPrint = [this](QString &text) { text = TDailyLines::DayText(m_day); };
    m_masterband = AddSubDetail(7);
    TReportLabel *qrmaster = headingLabel(m_masterband, "qrmaster");
    static const char *const names[] = {"qrclock", "qrin", "qrout"};
    TReportSubDetail *previous = m_masterband;
    for (int category = 0; category < 3; ++category) {
        TReportSubDetail *band = AddSubDetail(4.2);
        previous->SetLinkBand(band);
        previous = band;
        band->OnNeedData = [this, category](bool &more) {
            more = m_category == category && m_next < m_lines[category].size();
        };
        lineLabel(band, names[category])->OnPrint = [this](QString &text) {
            text = m_lines[m_category][m_next++];
            if (m_next >= m_lines[m_category].size()) {
                ++m_category;
                m_next = 0;
            }
        };
    }
    TReportSubDetail *qrblank = AddSubDetail(5);

    BeforePrint = [this](bool &print) {
        print = BuildStaffScopeQuery(m_mast, m_scope, QStringLiteral("CARDNO, NAME")) && !m_mast.IsEmpty();
    };
    OnNeedData = [this](bool &more) { more = m_mast.Active() && !m_mast.Eof(); };
    m_masterband->BeforePrint = [this](bool &) {
        if (m_enhanced)
            m_masterband->SetColor(Yellow);
    };
    qrmaster->OnPrint = [this](QString &text) {
        const int card = m_mast.FieldByName(Schema::Staffs::CardNo).AsInteger();
        const TReportRecords records = LoadDayRecordsByMode(dsrc->att, card, m_day);
        text = TDailyLines::Heading(card, m_mast.FieldByName(Schema::Staffs::Name).AsString(),
                                    int(records.size()));
        m_lines = TDailyLines(m_timeFormat, ReadRegInteger(Setting::PrintRecordsPerLine))
                      .CategoryLines(records);
        m_mast.Next();
        m_category = 0;
        m_next = 0;
        m_blankPending = !m_mast.Eof();
    };
    qrblank->OnNeedData = [this](bool &more) { answerBlank(m_blankPending, more); };
}

Tqrwho::~Tqrwho() = default;

Tqrwhos::Tqrwhos(QObject *owner) : TDayReport(owner)
{
    SetReportTitle(QStringLiteral("Who's IN / OUT"));
    TReportLabel *range = AddPageHeaderAndFooter(*this, Width, QStringLiteral("qrrange"));
    range->OnPrint = [this](QString &text) { text = TDailyLines::DayText(m_day); };
    m_masterband = AddSubDetail(7);
    TReportLabel *qrmaster = headingLabel(m_masterband, "qrmaster");
    m_detailband = AddSubDetail(4.2);
    TReportLabel *qrdetails = lineLabel(m_detailband, "qrdetails");
    TReportSubDetail *totalband = AddSubDetail(6);
    totalband->SetPrintIfEmpty(true); // its callback ends the category
    TReportLabel *qrtotal = totalband->AddLabel(QStringLiteral("qrtotal"), {0, 0.5, Width, 5});
    qrtotal->SetFrame(FrameAll);
    TReportSubDetail *qrblank = AddSubDetail(5);

    BeforePrint = [this](bool &print) {
        // After a failed persons query (its error box shown) nothing prints.
        TDataSet mast(dsrc->src);
        print = BuildStaffScopeQuery(mast, m_scope, QStringLiteral("CARDNO, NAME"));
        if (!print)
            return;
        std::vector<TReportPerson> persons;
        persons.reserve(mast.RecordCount());
        const TField card = mast.FieldByName(Schema::Staffs::CardNo);
        const TField name = mast.FieldByName(Schema::Staffs::Name);
        for (; !mast.Eof(); mast.Next())
            persons.push_back({card.AsInteger(), name.AsString()});
        m_categories =
            TWhosLines(m_timeFormat).Build(persons, LoadDayRecordsLatestFirst(dsrc->att, m_day));
        m_category = 0;
    };
    OnNeedData = [this](bool &more) { more = m_category < TWhosLines::CategoryCount; };
    m_masterband->BeforePrint = [this](bool &) {
        if (m_enhanced) {
            m_masterband->SetColor(Yellow);
            m_detailband->SetColor(White);
        }
    };
    qrmaster->OnPrint = [this](QString &text) {
        text = m_categories[m_category].Heading;
        m_next = 0;
        m_blankPending = m_category < TWhosLines::NoRecord;
    };
    m_detailband->OnNeedData = [this](bool &more) {
        more = m_next < m_categories[m_category].Lines.size();
    };
    m_detailband->BeforePrint = [this](bool &) {
        if (m_enhanced)
            m_detailband->SetColor(m_detailband->Color() == White ? Yellow : White);
    };
    qrdetails->OnPrint = [this](QString &text) { text = m_categories[m_category].Lines[m_next++]; };
    qrtotal->OnPrint = [this](QString &text) {
        text = m_categories[m_category].HeadCount;
        ++m_category;
    };
    qrblank->OnNeedData = [this](bool &more) { answerBlank(m_blankPending, more); };
}

Tqrwhos::~Tqrwhos() = default;
