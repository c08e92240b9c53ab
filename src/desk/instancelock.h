#pragma once
// InstanceLock: keeps a second copy of the program from running beside the first, through the
// lock file "Tallyclock.lock" in the user's runtime folder. A lock left behind by a copy that
// crashed is taken over. Main thread only.

#include <QString>
#include <memory>

class QLockFile;

class InstanceLock
{
public:
    // The lock file in the given folder; an empty folder means the user's runtime folder.
    explicit InstanceLock(const QString &folder = QString());
    ~InstanceLock();
    InstanceLock(const InstanceLock &) = delete;
    InstanceLock &operator=(const InstanceLock &) = delete;

    // True when this copy now holds the lock (or already held it); false when another living
    // copy holds it or the lock file cannot be written.
    bool TryLock();
    bool IsLocked() const;
    QString FileName() const { return m_fileName; }

    // "Tallyclock.lock" in the user's runtime folder (the temporary folder when there is none).
    static QString DefaultFolder();

private:
    QString m_fileName;
    std::unique_ptr<QLockFile> m_lock;
};
