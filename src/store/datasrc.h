#pragma once
// `Tdsrc`, the data module: the two connections (`att` on attend.db, `src` on sysdat.db) and
// the datasets several windows share, all closed until the start-up opens them. One instance,
// `dsrc`, created by the program body before the main window. Main thread only.

#include "store/dataset.h"
#include "store/db/sqlitedb.h"

#include <QString>

class Tdsrc
{
public:
    Tdsrc();
    ~Tdsrc();
    Tdsrc(const Tdsrc &) = delete;
    Tdsrc &operator=(const Tdsrc &) = delete;

    // Opens `att` on the attendance file, `src` on the system file (closing what was open).
    // A refused file raises EDatabaseError; the connection stays closed.
    void OpenAttend(const QString &path);
    void OpenSysdat(const QString &path);
    // Closes both connections and with them every dataset.
    void CloseAll() noexcept;

    TDatabase att;
    TDatabase src;

    TDataSet logs;    // "select * from recorder order by systime" on att
    TDataSet staff;   // "select * from staffs order by staffs.name" on src
    TDataSet reader;  // "select * from reader"
    TDataSet apb;     // "select * from apb order by apb.cardno"
    TDataSet emails;  // "select * from emails order by seq"
    TDataSet pwdtbl;  // table passwd
    TDataSet Qiotime; // "select * from iotime order by tfrom"
    TDataSet gidtbl;  // "select * from gid order by id"
};

// The one data module; null until the program body (or a test fixture) creates it.
extern Tdsrc *dsrc;
