#pragma once
// LogGridModel: the attendance log grid's columns on the shared table model over the log
// dataset. It never loads the table: every cell asks the dataset for its one value by row
// index (the dataset keeps the ordered row ids and a small cache) and is shown in words (date
// text, holder and group, mode and reader names). Also the erase walks of the log and of the
// staff table, which the main window runs under its progress form. Main thread only.

#include "store/datasetmodel.h"

#include <QDate>
#include <QDateTime>
#include <QString>
#include <array>
#include <functional>
#include <optional>

class LogGridModel final : public TDataSetModel
{
    Q_OBJECT

public:
    enum Column
    {
        ColSystime,
        ColCardNo,
        ColMode,
        ColReader,
        ColLock,
        ColumnCount
    };
    // The grid's own column widths, before any saved ones.
    static constexpr std::array<int, ColumnCount> DesignWidths{185, 165, 100, 100, 100};

    explicit LogGridModel(TDataSet &logs, QObject *parent = nullptr);

    // Card number and time of a row (0 and invalid when there is no such row).
    int CardAt(int row) const;
    QDateTime TimeAt(int row) const;

    // The words of one cell from its stored value.
    static QString SystimeText(const QDateTime &value);
    // Holder's name + ", " + group name when the card is in the staff dataset, else
    // "[" + card + "]". Moves the staff dataset's cursor.
    static QString CardText(int card);

    static QString ColumnField(int column);
};

// Walks the log from its first row (it is reopened first) and deletes each row with its
// snapshot file; with a date, only the rows of days before it, stopping at the first row of
// that day or later (the log is in time order). step runs after each deleted row. Answers
// whether the walk stopped at a kept row; the dataset then stands on it.
// Deletes are committed in batches, and a batch's snapshot files go only once it is on disk.
// Pending events are handled between batches; only rows that were there when the erase began
// are erased, so the rows of swipes taken meanwhile stay. Nothing else may close the log dataset
// or delete its rows until the erase returns.
bool EraseLogRecords(TDataSet &logs, const std::optional<QDate> &before,
                     const std::function<void()> &step);

// Empties the staff table through its dataset (reopened first); nothing else is touched.
// step runs after each deleted row; pending window messages are handled before each delete.
void EraseStaffRecords(TDataSet &staff, const std::function<void()> &step);

// Removes the snapshot of a log row (its CARDNO and SYSTIME); a missing or undeletable file
// is no error.
void RemoveSnapshotFile(int card, const QDateTime &time);
