#include "store/paths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

QString AppPath;
QString DataPath;
QString PhotoPath;

QString ResolveDataPath(const QString &appPath)
{
    const QString env = qEnvironmentVariable("TALLYCLOCK_DATA");
    if (!env.isEmpty())
        return QDir(env).absolutePath();
    const QFileInfo app(appPath);
    if (app.isDir() && app.isWritable())
        return app.absoluteFilePath();
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
}

void InitPaths(const QString &appPath)
{
    AppPath = QDir(appPath).absolutePath();
    DataPath = ResolveDataPath(AppPath);
    PhotoPath = QDir(DataPath).filePath(QStringLiteral("photos"));
}

bool PrepareDataFolder(const QString &appPath, const QString &dataPath, QString *error)
{
    // The databases hold every holder, card and right, and the password: a folder the program
    // makes for them is its user's alone. One the user made is left as it is.
    const bool made = !QFileInfo::exists(dataPath);
    if (!QDir().mkpath(dataPath)) {
        *error = QStringLiteral("Cannot create the data folder ") + dataPath;
        return false;
    }
    if (made)
        QFile::setPermissions(dataPath, OwnerOnlyFolder);
    static const char *const pairs[][2] = {{"attend-b.db", "attend.db"},
                                           {"sysdat-b.db", "sysdat.db"}};
    for (const auto &p : pairs) {
        const QString live = QDir(dataPath).filePath(QLatin1String(p[1]));
        if (QFileInfo::exists(live))
            continue;
        const QString tmpl = QDir(appPath).filePath(QLatin1String(p[0]));
        if (!QFileInfo::exists(tmpl))
            continue; // the start-up reports the missing database itself
        // Copy under a temporary name first so a half-written file never looks like a database.
        const QString part = live + QStringLiteral(".part");
        QFile::remove(part);
        if (!QFile::copy(tmpl, part)) {
            *error = QStringLiteral("Cannot copy ") + tmpl + QStringLiteral(" to ") + live;
            return false;
        }
        // An installed template is read-only; its live copy must be writable, and by its user
        // alone (SQLite gives the file's log and index the same mode).
        QFile::setPermissions(part, OwnerOnlyFile);
        if (!QFile::rename(part, live)) {
            QFile::remove(part);
            *error = QStringLiteral("Cannot create ") + live;
            return false;
        }
    }
    return true;
}
