#pragma once
// Rows the tests put in the open data module `dsrc`: staff, work groups and log records, each
// written one way for every test. Main thread, like the datasets.

#include <QDateTime>
#include <QString>
#include <initializer_list>
#include <vector>

// One holder. Unset fields keep the table's defaults (the default group, no reader, no remark).
struct StaffRow
{
    int card = 0;
    QString name{};
    int group = 1;
    std::vector<int> ports{}; // the readers the holder may pass
    bool offline = false;     // in the readers' offline access table
    QString memo{};           // null: none
};

// Appends the holder through the shared staff dataset, which then stands on the new row.
void AddStaff(const StaffRow &row);
void AddStaff(int card, const QString &name, int group = 1, const QString &memo = {});
// Readers go in a StaffRow's ports; a braced list here would silently become the group.
void AddStaff(int card, const QString &name, std::initializer_list<int> ports) = delete;

// Appends a work group of that name through the shared group table; answers its ID.
int AddGroup(const QString &name);

// Appends a log row through the shared log dataset, as a swipe is written.
void AddLog(const QDateTime &at, int card, int mode = 1, int reader = 1, int lock = 0);
// Writes a log row at a stamp as it is stored ("2026-12-07 08:00:00") on reader 1, behind the
// log dataset's back: data the program finds already on file.
void AddLog(const char *stamp, int card, int mode);
