#pragma once
// A work group's hours as the group editor shows them and table gid keeps them: the checks
// its editor makes, and reading, saving and deleting groups through the shared group dataset
// (dsrc->gidtbl), so every group lookup and combo sees a change at once. Main thread only.

#include <QString>
#include <QTime>
#include <array>

struct TGroupSession
{
    QTime from;
    QTime to;
};

struct TWorkGroup
{
    QString name;
    std::array<TGroupSession, 2> weekday;
    std::array<bool, 2> saturdayOn{false, false};
    std::array<TGroupSession, 2> saturday;
    int otMin = 15;  // minutes
    int otMulti = 5; // minutes

    // The editor's values for a new group: 09:00-13:00 and 14:00-17:00 on weekdays and on
    // Saturday, Saturday unticked, 15 and 5 minutes of overtime.
    static TWorkGroup NewGroup();
};

// The first thing wrong with a group's times, in the order the editor checks them.
enum class TGroupFault
{
    None,
    Weekday1,    // session 1 does not end after it starts
    Weekday2,    // session 2 does not end after it starts, or starts before session 1 does
    Saturday1On, // Saturday session 2 ticked without session 1
    Saturday1,   // ticked Saturday session 1 does not end after it starts
    Saturday2,   // ticked Saturday session 2 does not end after it starts, or not after 1 ends
};
TGroupFault CheckGroupTimes(const TWorkGroup &group);

// The group on the current row of dsrc->gidtbl.
TWorkGroup LoadGroup();

// Writes the group into the row of the same name (GetGroupId), or appends it when there is
// none, and answers its ID. A failed write is undone and reported ("Fail to update the
// database record. Please retry."); the answer is then 0.
int SaveGroup(const TWorkGroup &group);

// The default group, which every card starts in and which cannot be deleted.
inline constexpr int DefaultGroupId = 1;

// Deletes the group on the current row of dsrc->gidtbl after the user's confirmation; the
// default group is refused ("Cannot delete default group."), an empty table is reported ("No
// data record."), and so is a failed delete. Staff and time tables keep the old ID.
void DeleteGroup();
