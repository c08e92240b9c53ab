#pragma once
// Opening a database file of a given kind: the live files at start-up, a backup to restore, a
// file to import from, and the web server's own read-only connections. Any thread may call
// these; the connection they give belongs to the calling thread.

#include "store/db/sqlitedb.h"

#include <QString>
#include <memory>

// Application ids in the file headers, one per kind ("TCAT", "TCSY").
constexpr int AttendApplicationId = 0x54434154;
constexpr int SysdatApplicationId = 0x54435359;
// The schema version this program reads and writes.
constexpr int SchemaVersion = 1;

// File names in DataPath and AppPath.
inline QString AttendFileName()
{
    return QStringLiteral("attend.db");
}
inline QString SysdatFileName()
{
    return QStringLiteral("sysdat.db");
}
inline QString AttendTemplateName()
{
    return QStringLiteral("attend-b.db");
}
inline QString SysdatTemplateName()
{
    return QStringLiteral("sysdat-b.db");
}

int ApplicationIdOf(DbKind kind);
// "attendance" / "system", for messages.
QString KindName(DbKind kind);

// Opens a new connection on the file; raises EDatabaseError when the file is refused.
std::unique_ptr<TDatabase>
OpenDatabaseFile(const QString &path, DbKind kind,
                 TDatabase::OpenMode mode = TDatabase::OpenMode::ReadOnly);

// True when the file "opens with its own password": it is an SQLite file of that kind and of a
// schema version this program knows. Otherwise false, with the reason in *error when given.
// Opens read-only and changes nothing.
bool CheckDatabaseFile(const QString &path, DbKind kind, QString *error = nullptr);
