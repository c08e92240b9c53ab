#pragma once
// The one way a row is written to the log dataset (swipes, exit-button rows, downloads and
// imports alike); its columns are Schema::Recorder's. Main thread, like the dataset.

#include "store/dbschema.h"

#include <QDateTime>
#include <QString>

class TDataSet;

// CARDNO of a row written for an exit-button press or a motion capture.
inline constexpr int ButtonCardNo = -1;

struct TLogRow
{
    QDateTime SysTime;
    int CardNo = 0;
    int Mode = 0;   // 0 CLOCK, 1 IN, 2 OUT
    int Reader = 0; // the port that reported the event
    int Lock = 0;   // the port whose door opened for it; 0 none
};

// Sets the five fields of the row the dataset is appending or editing.
void SetLogFields(TDataSet &logs, const TLogRow &row);
// Appends the row and posts it. On failure nothing is left pending and EDatabaseError is raised.
void AppendLogRow(TDataSet &logs, const TLogRow &row);
// Sets LOCK of the current row and posts it, with the same failure rule.
void SetLogLock(TDataSet &logs, int lock);
