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
    TReaderRow row;
    row.portNo = table.FieldByName(Schema::Reader::PortNo).AsInteger();
    row.enable = table.FieldByName(Schema::Reader::Enable).AsBoolean();
    row.outport =
        choice(table.FieldByName(Schema::Reader::OutPort).AsInteger(), 0, ReaderPortCount, 0);
    row.bpport =
        choice(table.FieldByName(Schema::Reader::BpPort).AsInteger(), 0, ReaderPortCount, 0);
    row.mode = choice(table.FieldByName(Schema::Reader::Mode).AsInteger(), 0, 2, 0);
    row.desc = table.FieldByName(Schema::Reader::Desc).AsString();
    row.lockTime =
        choice(table.FieldByName(Schema::Reader::LockTime).AsInteger(), 1, MaxLockTime, 1);
    row.model = choice(table.FieldByName(Schema::Reader::Model).AsInteger(), 0, 1, 0);
    row.apb = table.FieldByName(Schema::Reader::Apb).AsBoolean();
    row.capture = table.FieldByName(Schema::Reader::Capture).AsBoolean();
    row.motion =
        choice(table.FieldByName(Schema::Reader::Motion).AsInteger(), -1, MaxMotionSeconds, -1);
    return row;
}

void WriteReaderRow(TDataSet &table, const TReaderRow &row)
{
    TDataSetEdit edit(table, TDataSetEdit::Kind::Edit);
    table.FieldByName(Schema::Reader::Enable).SetAsBoolean(row.enable);
    table.FieldByName(Schema::Reader::OutPort).SetAsInteger(row.outport);
    table.FieldByName(Schema::Reader::BpPort).SetAsInteger(row.bpport);
    table.FieldByName(Schema::Reader::Mode).SetAsInteger(row.mode);
    table.FieldByName(Schema::Reader::Desc).SetAsString(row.desc);
    table.FieldByName(Schema::Reader::LockTime).SetAsInteger(row.lockTime);
    table.FieldByName(Schema::Reader::Apb).SetAsBoolean(row.apb);
    table.FieldByName(Schema::Reader::Model).SetAsInteger(row.model);
    table.FieldByName(Schema::Reader::Capture).SetAsBoolean(row.capture);
    table.FieldByName(Schema::Reader::Motion).SetAsInteger(row.motion);
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
