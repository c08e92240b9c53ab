#include "store/dbfile.h"

int ApplicationIdOf(DbKind kind)
{
    switch (kind) {
    case DbKind::Attend:
        return AttendApplicationId;
    case DbKind::Sysdat:
        return SysdatApplicationId;
    case DbKind::None:
        break;
    }
    return 0;
}

QString KindName(DbKind kind)
{
    switch (kind) {
    case DbKind::Attend:
        return QStringLiteral("attendance");
    case DbKind::Sysdat:
        return QStringLiteral("system");
    case DbKind::None:
        break;
    }
    return QStringLiteral("unknown");
}

std::unique_ptr<TDatabase> OpenDatabaseFile(const QString &path, DbKind kind,
                                            TDatabase::OpenMode mode)
{
    auto db = std::make_unique<TDatabase>();
    db->Open(path, kind, mode);
    return db;
}

bool CheckDatabaseFile(const QString &path, DbKind kind, QString *error)
{
    try {
        TDatabase db;
        db.Open(path, kind, TDatabase::OpenMode::ReadOnly);
        return true;
    } catch (const EDatabaseError &e) {
        if (error)
            *error = e.Message();
        return false;
    }
}
