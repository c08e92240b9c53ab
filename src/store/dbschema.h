#pragma once
// The tables and columns of the two databases by name, one constant each, as the schema files
// make them (store/schema/*.sql): C++ code names a column through these, and SQL text may be
// built from them. Constants only, any thread.

#include <QString>

namespace Schema {

// attend.db: the attendance log, one row per event.
namespace Recorder {
inline const QString Table = QStringLiteral("recorder");
inline const QString SysTime = QStringLiteral("SYSTIME");
inline const QString CardNo = QStringLiteral("CARDNO");
inline const QString Mode = QStringLiteral("MODE");
inline const QString Reader = QStringLiteral("READER");
inline const QString Lock = QStringLiteral("LOCK");
} // namespace Recorder

// sysdat.db: the card holders.
namespace Staffs {
inline const QString Table = QStringLiteral("staffs");
inline const QString Seq = QStringLiteral("SEQ");
inline const QString CardNo = QStringLiteral("CARDNO");
inline const QString Name = QStringLiteral("NAME");
inline const QString WorkGrp = QStringLiteral("WORKGRP");
inline const QString TimeGrp = QStringLiteral("TIMEGRP");
inline const QString AccessGrp = QStringLiteral("ACCESSGRP");
inline const QString Photo = QStringLiteral("PHOTO");
inline const QString Offline = QStringLiteral("OFFLINE");
inline const QString Memo = QStringLiteral("MEMO");
inline const QString Picked = QStringLiteral("PICKED");
// COM1..COM8: whether the holder may pass the reader on that port.
inline QString Com(int port)
{
    return QStringLiteral("COM") + QString::number(port);
}
} // namespace Staffs

// sysdat.db: the work groups and their sessions.
namespace Gid {
inline const QString Table = QStringLiteral("gid");
inline const QString Id = QStringLiteral("ID");
inline const QString Descx = QStringLiteral("DESCX");
inline const QString WdFrom1 = QStringLiteral("WD_FROM_1");
inline const QString WdTo1 = QStringLiteral("WD_TO_1");
inline const QString WdFrom2 = QStringLiteral("WD_FROM_2");
inline const QString WdTo2 = QStringLiteral("WD_TO_2");
inline const QString SatEnable1 = QStringLiteral("SAT_ENABLE_1");
inline const QString SatEnable2 = QStringLiteral("SAT_ENABLE_2");
inline const QString SatFrom1 = QStringLiteral("SAT_FROM_1");
inline const QString SatTo1 = QStringLiteral("SAT_TO_1");
inline const QString SatFrom2 = QStringLiteral("SAT_FROM_2");
inline const QString SatTo2 = QStringLiteral("SAT_TO_2");
inline const QString OtMin = QStringLiteral("OT_MIN");
inline const QString OtMulti = QStringLiteral("OT_MULTI");
} // namespace Gid

// sysdat.db: a group's time windows of the automatic IN/OUT.
namespace TimeTbl {
inline const QString Table = QStringLiteral("timetbl");
inline const QString Gid = QStringLiteral("gid");
inline const QString TimeIn = QStringLiteral("timein");
inline const QString TimeOut = QStringLiteral("timeout");
} // namespace TimeTbl

// sysdat.db: the windows in which a swipe is taken at all.
namespace IoTime {
inline const QString Table = QStringLiteral("iotime");
inline const QString From = QStringLiteral("tfrom");
inline const QString To = QStringLiteral("tto");
} // namespace IoTime

// sysdat.db: one row per reader port.
namespace Reader {
inline const QString Table = QStringLiteral("reader");
inline const QString PortNo = QStringLiteral("PORTNO");
inline const QString Enable = QStringLiteral("ENABLE");
inline const QString OutPort = QStringLiteral("OUTPORT");
inline const QString BpPort = QStringLiteral("BPPORT");
inline const QString Mode = QStringLiteral("MODE");
inline const QString Desc = QStringLiteral("DESC");
inline const QString LockTime = QStringLiteral("LOCKTIME");
inline const QString Model = QStringLiteral("MODEL");
inline const QString Apb = QStringLiteral("APB");
inline const QString Capture = QStringLiteral("CAPTURE");
inline const QString Motion = QStringLiteral("MOTION");
} // namespace Reader

// sysdat.db: the last direction of each card at an anti-passback door.
namespace Apb {
inline const QString Table = QStringLiteral("apb");
inline const QString CardNo = QStringLiteral("CARDNO");
inline const QString State = QStringLiteral("STATE");
} // namespace Apb

// sysdat.db: the e-mails waiting to be sent.
namespace Emails {
inline const QString Table = QStringLiteral("emails");
inline const QString Seq = QStringLiteral("SEQ");
inline const QString Title = QStringLiteral("TITLE");
inline const QString Msg = QStringLiteral("MSG");
inline const QString Attach = QStringLiteral("ATTACH");
} // namespace Emails

// sysdat.db: the desk's password.
namespace Passwd {
inline const QString Table = QStringLiteral("passwd");
inline const QString Password = QStringLiteral("PASSWORD");
} // namespace Passwd

} // namespace Schema
