#pragma once
// Imports of log records and staff records from another copy of the program's databases into
// the open ones. The source opens on its own read-only connection; each source row is checked
// against the target with one prepared, indexed query and the new rows go in by committed
// batches, so the caller can let the event loop turn between batches. A record already there
// is counted and left alone; nothing is deleted or overwritten. Main thread only (the target
// connection is the desk's own).

#include "store/db/sqlitedb.h"

#include <QString>
#include <functional>

struct TLogImportCounts
{
    int Added = 0;
    int Duplicated = 0;
    int Error = 0;
};

struct TStaffImportCounts
{
    int GroupAdded = 0;
    int StaffAdded = 0;
    int Duplicated = 0;
    int Error = 0;
};

// Told the number of source rows once they are known, then called after each batch.
struct TImportProgress
{
    std::function<void(int rows, int batches)> Started;
    std::function<void()> BatchDone;
};

// Source rows handled between two commits.
inline constexpr int ImportBatchRows = 5000;

// Adds the source's log rows that the target's recorder lacks (same second and card; MODE,
// READER and LOCK not compared). A row whose time or card number is not one is an error and is
// not stored. Raises EDatabaseError when the source cannot be opened or read; the batches
// committed before stay.
TLogImportCounts ImportLogRecords(TDatabase &target, const QString &sourcePath,
                                  const TImportProgress &progress = {});

// Adds the source's staff rows whose card the target lacks, each into the target group of the
// same description, made (with the source group's sessions) when there is none; a group that
// cannot be made sends its member to group 1. Raises EDatabaseError as ImportLogRecords does.
TStaffImportCounts ImportStaffRecords(TDatabase &target, const QString &sourcePath,
                                      const TImportProgress &progress = {});

// The summary boxes' texts, each line ending with one line feed.
QString ImportSummary(const TLogImportCounts &counts);
QString ImportSummary(const TStaffImportCounts &counts);
