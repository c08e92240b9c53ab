#pragma once
// TTimeWindows: a list of time-of-day windows kept in one table, either every row (the
// automatic IN/OUT schedule) or the rows of one work group (the attendance time table), with
// the checks an added window must pass. No widgets: the two dialogs over it only show the list
// and say what went wrong. Main thread only, on the thread that owns the connection.

#include "store/dataset.h"

#include <QString>
#include <QTime>

// Where a family of windows is stored.
struct TTimeWindowTable
{
    QString Table;
    QString FromField; // first time of the window, inclusive
    QString ToField;   // second time, exclusive and always later on the same day
    bool PerGroup;     // rows belong to a work group (column gid)
};

// The attendance windows of the work groups, and the windows swipes count as IN.
const TTimeWindowTable &AttendanceWindows();
const TTimeWindowTable &AutoInOutWindows();

enum class TWindowAddResult
{
    Added,
    WrongTime,    // the window does not end after it starts
    Overlapped,   // it overlaps or touches a listed window
    UpdateFailed, // the database refused the row
};

class TTimeWindows
{
public:
    TTimeWindows(TDatabase &db, const TTimeWindowTable &table);

    const TTimeWindowTable &Table() const { return m_table; }
    // The listed rows, ordered by their first time. Open after Load.
    TDataSet &List() { return m_list; }

    // Lists every window, or for a per-group table those of the group; the cursor stands on
    // the first row. A failing query raises EDatabaseError.
    void Load(int groupId = 0);
    int GroupId() const { return m_groupId; }

    // Stores the window (times of day, seconds dropped) unless it is reversed or empty, or it
    // overlaps or touches a listed one; then lists the rows again.
    TWindowAddResult Add(const QTime &from, const QTime &to);
    // Removes the current row; false (the list keeps its rows) when the database refused.
    bool DeleteCurrent();

    // The window on a listed row; invalid times for a row out of range or with no time.
    QTime FromAt(int row) const;
    QTime ToAt(int row) const;

private:
    QTime timeAt(int row, const QString &field) const;

    TTimeWindowTable m_table;
    TDataSet m_list;
    int m_groupId = 0;
};
