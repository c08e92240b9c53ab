#include "store/logrow.h"

#include "store/dataset.h"

void SetLogFields(TDataSet &logs, const TLogRow &row)
{
    logs.FieldByName(Schema::Recorder::SysTime).SetAsDateTime(row.SysTime);
    logs.FieldByName(Schema::Recorder::CardNo).SetAsInteger(row.CardNo);
    logs.FieldByName(Schema::Recorder::Mode).SetAsInteger(row.Mode);
    logs.FieldByName(Schema::Recorder::Reader).SetAsInteger(row.Reader);
    logs.FieldByName(Schema::Recorder::Lock).SetAsInteger(row.Lock);
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
    logs.FieldByName(Schema::Recorder::Lock).SetAsInteger(lock);
    edit.Post();
}
