#include "testsupport/outsidereader.h"

#include <QProcess>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

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
        struct flock probe = {};
        probe.l_type = F_WRLCK;
        probe.l_whence = SEEK_SET;
        probe.l_start = 0;
        probe.l_len = 0; // the whole file
        if (::fcntl(fd, F_GETLK, &probe) != 0)
            ::_exit(2);
        ::_exit(probe.l_type != F_UNLCK && probe.l_pid == self ? 0 : 1);
    }
    int status = 0;
    if (::waitpid(child, &status, 0) != child)
        return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
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
