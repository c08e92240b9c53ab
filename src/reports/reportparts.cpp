#include "reports/reportparts.h"

#include "reports/reportform.h"

TReportLabel *AddPageHeaderAndFooter(TReportForm &form, double width, const QString &rangeName)
{
    TReportBand *header = form.AddBand(TBandType::PageHeader, 14);
    TReportLabel *name = header->AddLabel(QStringLiteral("QRLabel1"), {0, 4, 40, 5});
    name->SetCaption(QStringLiteral("Tallyclock"));
    name->SetFont(ReportFont(QStringLiteral("Arial"), 10));
    TReportSysData *title = header->AddSysData(TSysDataKind::ReportTitle, {0, 0, width, 10});
    title->SetFont(ReportFont(QStringLiteral("Arial"), 18, true));
    title->SetCentred();
    TReportLabel *range = nullptr;
    if (!rangeName.isEmpty()) {
        range = header->AddLabel(rangeName, {width - 80, 4, 80, 5});
        range->SetFont(ReportFont(QStringLiteral("Arial"), 10));
        range->SetAlignment(Qt::AlignRight | Qt::AlignTop);
    }
    TReportBand *footer = form.AddBand(TBandType::PageFooter, 6);
    TReportSysData *printed = footer->AddSysData(TSysDataKind::DateTime, {0, 1, width / 2, 5});
    printed->SetText(QStringLiteral("Printed on "));
    printed->SetFont(ReportFont(QStringLiteral("Arial"), 10));
    TReportSysData *page =
        footer->AddSysData(TSysDataKind::PageNumber, {width / 2, 1, width / 2, 5});
    page->SetText(QStringLiteral("P."));
    page->SetFont(ReportFont(QStringLiteral("Arial"), 10));
    page->SetAlignment(Qt::AlignRight | Qt::AlignTop);
    return range;
}
