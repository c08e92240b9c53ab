#include "reports/memlist.h"

#include "reports/reportoutput.h"
#include "reports/reportparts.h"
#include "store/datasrc.h"
#include "store/dbschema.h"
#include "store/images.h"
#include "store/utils.h"

#include <QRegularExpression>

namespace {

QRectF placeOf(const TCardElement &e, double width, double height)
{
    return e.RightAligned ? QRectF(e.Left - width, e.Top, width, height)
                          : QRectF(e.Left, e.Top, e.Width > 0 ? e.Width : width,
                                   e.Height > 0 ? e.Height : height);
}

} // namespace

TCardReport::TCardReport(QObject *owner, bool horizontal) : TReportForm(owner), m_mast(dsrc->src)
{
    const TCardLayout &l = CardLayout(horizontal);
    SetReportTitle(QStringLiteral("Print Member Card"));
    SetMargins(15, 10, 15, 10);
    SetColumns(l.Columns, l.ColumnGap);
    SetFont(ReportFont(QStringLiteral("Arial"), 10));
    SetDataSet(&m_mast);
    TReportSubDetail *card = AddSubDetail(l.BandHeight);
    card->SetPrintIfEmpty(true);
    const double fieldWidth = l.UnderlineLength;

    m_bgphoto = card->AddImage(placeOf(l.Element(QStringLiteral("bgphoto")), 0, 0));
    m_bgphoto->SetStretch(true);
    const TCardElement &title = l.Element(QStringLiteral("qrTitle"));
    m_qrTitle = card->AddLabel(QStringLiteral("qrTitle"), placeOf(title, 48, 6.5));
    QFont titleFont = ReportFont(QStringLiteral("Arial"), l.TitlePointSize);
    titleFont.setBold(true);
    m_qrTitle->SetFont(titleFont);
    // A card's texts cannot grow past their places: a long one prints smaller.
    m_qrTitle->SetShrinkToFit(true);
    if (title.RightAligned)
        m_qrTitle->SetAlignment(Qt::AlignRight | Qt::AlignTop);
    m_xLogo = card->AddImage(placeOf(l.Element(QStringLiteral("xLogo")), 0, 0));
    m_xLogo->SetStretch(true);
    m_xphoto = card->AddImage(placeOf(l.Element(QStringLiteral("xphoto")), 0, 0));
    m_xphoto->SetStretch(true);

    auto caption = [&](const QString &name, const QString &text) {
        TReportLabel *label = card->AddLabel(name, placeOf(l.Element(name), 16, 3.5));
        label->SetCaption(text);
        label->SetFont(ReportFont(QStringLiteral("Arial"), 7));
        label->SetAlignment(Qt::AlignRight | Qt::AlignTop);
        label->SetShrinkToFit(true);
        return label;
    };
    caption(QStringLiteral("capCardno"), QStringLiteral("Card No.:"));
    caption(QStringLiteral("capName"), QStringLiteral("Name:"));
    caption(QStringLiteral("capGroup"), QStringLiteral("Group:"));
    static const char *const captionNames[] = {"qrline1", "qrLine2", "qrLine3", "qrLine4"};
    for (int i = 0; i < 4; ++i)
        m_captions[i] = caption(QString::fromLatin1(captionNames[i]), QString());

    auto field = [&](TReportText *text) {
        text->SetFont(ReportFont(QStringLiteral("Arial"), 10));
        text->SetShrinkToFit(true);
        m_fields.push_back(text);
    };
    struct DbField
    {
        const char *element;
        const QString *column;
    };
    static const DbField dbFields[] = {{"qrCardno", &Schema::Staffs::CardNo},
                                       {"qrName", &Schema::Staffs::Name},
                                       {"qrGroup", &Schema::Gid::Descx}};
    for (const DbField &f : dbFields)
        field(card->AddDBText(&m_mast, *f.column,
                              placeOf(l.Element(QString::fromLatin1(f.element)), fieldWidth, 4)));
    for (int i = 0; i < 4; ++i) {
        const QString name = QStringLiteral("rem%1").arg(i + 1);
        TReportLabel *rem = card->AddLabel(name, placeOf(l.Element(name), fieldWidth, 4));
        rem->OnPrint = [this, i](QString &text) { text = m_remarks[i]; };
        field(rem);
    }
    for (double top : l.UnderlineTops)
        card->AddShape(TShapeKind::HorzLine, {l.UnderlineLeft, top - 0.2, l.UnderlineLength, 0.4});

    card->BeforePrint = [this](bool &) {
        m_remarks = CardRemarkLines(m_mast.FieldByName(Schema::Staffs::Memo).AsString());
        // Cleared first, so a photo that cannot be read leaves the area empty.
        QImage photo;
        if (!LoadJpegBlobToGraphic(m_mast.FieldByName(Schema::Staffs::Photo), photo))
            photo = QImage();
        m_xphoto->SetPicture(photo);
    };
}

TCardReport::~TCardReport() = default;

bool TCardReport::FillFrom(const TCardChoices &c, const TReportScope &scope)
{
    m_bgphoto->SetPicture(c.Background);
    m_bgphoto->SetFrame(c.Frame ? FrameAll : FrameNone);
    m_xLogo->SetPicture(c.Logo);
    m_xLogo->SetEnabled(c.LogoEnabled);
    m_qrTitle->SetCaption(c.Title);
    m_qrTitle->SetEnabled(c.TitleEnabled);
    for (int i = 0; i < 4; ++i) {
        m_captions[i]->SetCaption(c.RemarkCaption[i] + QLatin1Char(':'));
        m_captions[i]->SetEnabled(c.RemarkEnabled[i]);
    }
    for (TReportText *f : m_fields)
        f->SetTransparent(c.Transparent);
    return BuildStaffScopeQuery(m_mast, scope);
}

namespace {

void fillAndRun(TDlgPersons &dialog, TCardReport &report, QWidget *parent)
{
    const TCardChoices choices = dialog.Choices();
    if (report.FillFrom(choices, dialog.Scope()))
        RunReport(report, choices.Preview, parent);
}

} // namespace

void FillMemlistReport(TDlgPersons &dialog, TrptMemlist &report, QWidget *parent)
{
    fillAndRun(dialog, report, parent);
}

void FillMemlistvReport(TDlgPersons &dialog, TrptMemlistv &report, QWidget *parent)
{
    fillAndRun(dialog, report, parent);
}

TrptListMem::TrptListMem(QObject *owner) : TReportForm(owner), m_mast(dsrc->src)
{
    constexpr double width = TMemberListColumns::LineWidth;
    SetReportTitle(QStringLiteral("Member List"));
    SetMargins(25, 10, 10, 10);
    SetFont(ReportFont(QStringLiteral("Arial"), 10));
    SetDataSet(&m_mast);
    AddPageHeaderAndFooter(*this, width, QString());
    TReportBand *columns = AddBand(TBandType::ColumnHeader, 7);
    static const char *const headings[] = {"Card No.", "Name", "Group", "Remark"};
    static const QString *const fields[] = {&Schema::Staffs::CardNo, &Schema::Staffs::Name,
                                            &Schema::Gid::Descx, &Schema::Staffs::Memo};
    for (int c = 0; c < 4; ++c) {
        TReportLabel *h =
            columns->AddLabel(QStringLiteral("head%1").arg(c),
                              {TMemberListColumns::Left[c], 1, TMemberListColumns::Width(c), 5});
        h->SetCaption(QString::fromLatin1(headings[c]));
        h->SetFont(ReportFont(QStringLiteral("Arial"), 10, true));
    }
    TReportSubDetail *detail = AddSubDetail(TMemberListColumns::LineHeight);
    detail->SetPrintIfEmpty(true);
    for (int c = 0; c < 4; ++c) {
        TReportLabel *cell =
            detail->AddLabel(QStringLiteral("cell%1").arg(c),
                             {TMemberListColumns::Left[c], 0, TMemberListColumns::Width(c),
                              TMemberListColumns::LineHeight});
        const QString field = *fields[c];
        // Measured at a fine resolution, so the cut is the same on screen and paper.
        constexpr double dotsPerMm = 600 / 25.4;
        QFont measured = cell->Font();
        measured.setPixelSize(qRound(measured.pointSizeF() / 72.0 * 600));
        cell->OnPrint = [this, c, field, measured](QString &text) {
            static const QRegularExpression lineEnds(QStringLiteral("[\r\n]+"));
            QString value = m_mast.FieldByName(field).AsString();
            if (value.contains(u'\r') || value.contains(u'\n'))
                value.replace(lineEnds, QStringLiteral(" "));
            text = FitMemberListCell(value, c, measured, dotsPerMm);
        };
    }
}

TrptListMem::~TrptListMem() = default;

bool TrptListMem::OpenStaff(const TReportScope &scope)
{
    return BuildStaffScopeQuery(m_mast, scope, QStringLiteral("CARDNO, NAME, MEMO"));
}
