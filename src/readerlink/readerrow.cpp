#include "readerlink/readerrow.h"

#include "readerlink/reader.h"
#include "store/dataset.h"
#include "store/dbschema.h"

#include <exception>

namespace {

int choice(int value, int low, int high, int first)
{
    return value >= low && value <= high ? value : first;
}

} // namespace

TReaderRow ReadReaderRow(const TDataSet &table)
{
    auto field = [&table](const char *name) {
        return table.FieldByName(QString::fromLatin1(name));
    };
    TReaderRow row;
    row.portNo = field("PORTNO").AsInteger();
    row.enable = field("ENABLE").AsBoolean();
    row.outport = choice(field("OUTPORT").AsInteger(), 0, ReaderPortCount, 0);
    row.bpport = choice(field("BPPORT").AsInteger(), 0, ReaderPortCount, 0);
    row.mode = choice(field("MODE").AsInteger(), 0, 2, 0);
    row.desc = field("DESC").AsString();
    row.lockTime = choice(field("LOCKTIME").AsInteger(), 1, MaxLockTime, 1);
    row.model = choice(field("MODEL").AsInteger(), 0, 1, 0);
    row.apb = field("APB").AsBoolean();
    row.capture = field("CAPTURE").AsBoolean();
    row.motion = choice(field("MOTION").AsInteger(), -1, MaxMotionSeconds, -1);
    return row;
}

void WriteReaderRow(TDataSet &table, const TReaderRow &row)
{
    TDataSetEdit edit(table, TDataSetEdit::Kind::Edit);
    auto field = [&table](const char *name) {
        return table.FieldByName(QString::fromLatin1(name));
    };
    field("ENABLE").SetAsBoolean(row.enable);
    field("OUTPORT").SetAsInteger(row.outport);
    field("BPPORT").SetAsInteger(row.bpport);
    field("MODE").SetAsInteger(row.mode);
    field("DESC").SetAsString(row.desc);
    field("LOCKTIME").SetAsInteger(row.lockTime);
    field("APB").SetAsBoolean(row.apb);
    field("MODEL").SetAsInteger(row.model);
    field("CAPTURE").SetAsBoolean(row.capture);
    field("MOTION").SetAsInteger(row.motion);
    edit.Post();
}

bool EnableAllReaders(TDataSet &table, TPortFlags &changed)
{
    for (int port = 1; port <= ReaderPortCount; ++port) {
        bool opened = false;
        if (TRfidReader *reader = ReaderOn(port)) {
            try {
                reader->SetConnected(false);
                reader->SetConnected(true);
                opened = reader->Connected();
            } catch (const std::exception &) {
                // A port that does not open is simply not enabled.
            }
        }
        changed[static_cast<std::size_t>(port)] = true;
        // The row of this very port: the table's order is not the ports' order.
        if (!table.Locate(Schema::Reader::PortNo, port))
            return false;
        try {
            TDataSetEdit edit(table, TDataSetEdit::Kind::Edit);
            table.FieldByName(Schema::Reader::Enable).SetAsBoolean(opened);
            edit.Post();
        } catch (const std::exception &) {
            // Left as it was; the next port is still tried.
        }
    }
    return true;
}
