#include "store/logrow.h"

#include "store/dataset.h"

void SetLogFields(TDataSet &logs, const TLogRow &row)
{
    logs.FieldByName(LogField::SysTime).SetAsDateTime(row.SysTime);
    logs.FieldByName(LogField::CardNo).SetAsInteger(row.CardNo);
    logs.FieldByName(LogField::Mode).SetAsInteger(row.Mode);
    logs.FieldByName(LogField::Reader).SetAsInteger(row.Reader);
    logs.FieldByName(LogField::Lock).SetAsInteger(row.Lock);
}

void AppendLogRow(TDataSet &logs, const TLogRow &row)
{
    TDataSetEdit edit(logs, TDataSetEdit::Kind::Append);
    SetLogFields(logs, row);
    edit.Post();
}

void SetLogLock(TDataSet &logs, int lock)
{
    TDataSetEdit edit(logs, TDataSetEdit::Kind::Edit);
    logs.FieldByName(LogField::Lock).SetAsInteger(lock);
    edit.Post();
}
