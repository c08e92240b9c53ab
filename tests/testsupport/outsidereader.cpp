#include "testsupport/outsidereader.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// What a probe for a write lock on the whole file found.
enum class Holder
{
    None,
    Process,     // a POSIX lock; its owner's process id is known
    Description, // a lock of an open file description, whose owner the system does not name
    Failed,
};

Holder probe(int fd, pid_t &owner)
{
    struct flock lock = {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = 0;
    lock.l_len = 0; // the whole file
    if (::fcntl(fd, F_GETLK, &lock) != 0)
        return Holder::Failed;
    if (lock.l_type == F_UNLCK)
        return Holder::None;
    owner = lock.l_pid;
    return lock.l_pid == -1 ? Holder::Description : Holder::Process;
}

// True when one of the process's descriptors holds a description lock on the file: the
// system lists such locks with the descriptors that own them.
bool holdsDescriptionLock(pid_t pid, const QString &path)
{
    struct stat st = {};
    if (::stat(path.toLocal8Bit().constData(), &st) != 0)
        return false;
    const QRegularExpression line(QStringLiteral("^lock:.*OFDLCK.*:%1 ").arg(st.st_ino),
                                  QRegularExpression::MultilineOption);
    const QDir fdinfo(QStringLiteral("/proc/%1/fdinfo").arg(pid));
    for (const QString &fd : fdinfo.entryList(QDir::Files)) {
        QFile info(fdinfo.filePath(fd));
        if (info.open(QIODevice::ReadOnly) &&
            line.match(QString::fromLatin1(info.readAll())).hasMatch())
            return true;
    }
    return false;
}

} // namespace

bool ThisProcessLocks(const QString &path)
{
    const QByteArray name = path.toLocal8Bit();
    const pid_t self = ::getpid();
    const pid_t child = ::fork();
    if (child < 0)
        return false;
    if (child == 0) {
        // Only calls that are safe between fork and exit in a process with threads.
        const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            ::_exit(2);
        pid_t owner = 0;
        switch (probe(fd, owner)) {
        case Holder::Process:
            ::_exit(owner == self ? 0 : 1);
        case Holder::Description:
            ::_exit(3);
        case Holder::None:
            ::_exit(1);
        case Holder::Failed:
            break;
        }
        ::_exit(2);
    }
    int status = 0;
    if (::waitpid(child, &status, 0) != child || !WIFEXITED(status))
        return false;
    return WEXITSTATUS(status) == 0 ||
           (WEXITSTATUS(status) == 3 && holdsDescriptionLock(self, path));
}

bool ProcessLocks(pid_t pid, const QString &path)
{
    const int fd = ::open(path.toLocal8Bit().constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    pid_t owner = 0;
    const Holder holder = probe(fd, owner);
    ::close(fd);
    return (holder == Holder::Process && owner == pid) ||
           (holder == Holder::Description && holdsDescriptionLock(pid, path));
}

QString OutsideQuery(const QString &path, const QString &sql)
{
    QProcess shell;
    shell.start(QStringLiteral("sqlite3"), {QStringLiteral("-batch"), path, sql});
    if (!shell.waitForFinished(10000) || shell.exitStatus() != QProcess::NormalExit ||
        shell.exitCode() != 0)
        return QString();
    return QString::fromUtf8(shell.readAllStandardOutput()).trimmed();
}
