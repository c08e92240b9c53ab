#pragma once
// TLogExport: the attendance log, all of it in time order, written to a text file (one line per
// row) or to a workbook (sheet "RECORDS", one row per log row). Holders' names and groups come
// from one card-to-name map made when the export starts. The main window runs it under its
// progress form; between batches of rows the caller's hook lets the event loop turn, and the
// rows logged meanwhile are not part of this export. Main thread only (dsrc's connections).

#include <QString>
#include <functional>

class TDatabase;

class TLogExport
{
public:
    enum class Outcome
    {
        Completed,
        FileNotWritten, // the text file could not be made or written; the old one stays
        CannotReplace,  // the workbook's target cannot be replaced, or the rename failed
        CannotOpen,     // the workbook cannot be made beside its target
        RowRefused,     // a sheet row could not be stored: the rows before it were kept
    };

    // Rows between two turns of the event loop: a few milliseconds of workbook rows, so a
    // swipe meanwhile waits no longer than that.
    static constexpr int BatchRows = 500;

    TLogExport(TDatabase &att, TDatabase &sys);

    // Runs after each batch of rows written, and after the last rows, with their number.
    void SetStep(std::function<void(int rows)> step) { m_step = std::move(step); }
    // Runs between batches of rows (after the step).
    void SetBetweenBatches(std::function<void()> hook) { m_between = std::move(hook); }
    // Rows a sheet may take (the workbook's own limit unless a test wants a smaller one).
    void SetRowLimit(int rows) { m_rowLimit = rows; }

    // Rows in the log now, for the progress form.
    int RecordCount() const;

    Outcome ExportText(const QString &path);
    Outcome ExportWorkbook(const QString &path);

private:
    // After each row: every BatchRows rows the gauge and the event loop.
    void rowDone(int &inBatch);
    // The gauge for the rows of the last batch.
    void lastRows(int inBatch);

    TDatabase &m_att;
    TDatabase &m_sys;
    std::function<void(int)> m_step;
    std::function<void()> m_between;
    int m_rowLimit = 0;
};
