#include "reports/setscope.h"

#include "store/radiogroup.h"
#include "store/settings.h"

#include <QVBoxLayout>
#include <iterator>

namespace {

// "Records per line" is stored as the count of records.
constexpr int RecordCounts[] = {2, 4, 6, 8};

int recordIndexOfCount(int count)
{
    for (int i = 0; i < int(std::size(RecordCounts)); ++i)
        if (RecordCounts[i] == count)
            return i;
    return recordIndexOfCount(Setting::PrintRecordsPerLine.Default);
}

} // namespace

TSetScope::TSetScope(QWidget *parent) : TScopeDialog(parent), rgrecord(new TRadioGroup)
{
    rgrecord->setObjectName(QStringLiteral("rgrecord"));
    rgrecord->setTitle(QStringLiteral("Records per line"));
    for (int count : RecordCounts)
        rgrecord->AddItem(QString::number(count));
    RightColumn()->insertWidget(RightColumn()->indexOf(rgformat), rgrecord);
    FormCreate();
}

void TSetScope::FormCreate()
{
    ReadScopeSettings();
    rgrecord->SetItemIndex(recordIndexOfCount(ReadRegInteger(Setting::PrintRecordsPerLine)));
    dates->SetDateRangeIndex(ReadRegInteger(Setting::PrintDateRange));
}

int TSetScope::PairsPerLine() const
{
    return rgrecord->ItemIndex() + 1;
}

TReportScope TSetScope::Scope() const
{
    TReportScope scope = TScopeDialog::Scope();
    scope.PairsPerLine = PairsPerLine();
    return scope;
}

void TSetScope::WriteSettings()
{
    WriteScopeSettings();
    WriteRegInteger(Setting::PrintRecordsPerLine, (rgrecord->ItemIndex() + 1) * 2);
}
