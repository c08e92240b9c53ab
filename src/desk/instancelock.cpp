#include "desk/instancelock.h"

#include <QDir>
#include <QLockFile>
#include <QStandardPaths>

InstanceLock::InstanceLock(const QString &folder)
{
    const QString dir = folder.isEmpty() ? DefaultFolder() : folder;
    QDir().mkpath(dir);
    m_fileName = QDir(dir).filePath(QStringLiteral("Tallyclock.lock"));
    m_lock = std::make_unique<QLockFile>(m_fileName);
    // Only a dead owner makes the lock stale: a desk runs for weeks, so an age limit would let
    // a second copy in beside a living one.
    m_lock->setStaleLockTime(0);
}

InstanceLock::~InstanceLock() = default;

bool InstanceLock::TryLock()
{
    if (m_lock->isLocked())
        return true;
    // tryLock takes over a lock whose owner process is gone.
    return m_lock->tryLock(0);
}

bool InstanceLock::IsLocked() const
{
    return m_lock->isLocked();
}

QString InstanceLock::DefaultFolder()
{
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty())
        dir = QDir::tempPath();
    return dir;
}
