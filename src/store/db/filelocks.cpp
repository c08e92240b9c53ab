#include "store/db/filelocks.h"

#include <sqlite3.h>

#include <fcntl.h>

#if defined(__linux__) && defined(F_OFD_SETLK)
#define TC_DESCRIPTION_LOCKS 1
#endif

#ifdef TC_DESCRIPTION_LOCKS

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <map>
#include <mutex>
#include <unordered_map>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using CloseCall = int (*)(int);
using FcntlCall = int (*)(int, int, ...);

CloseCall realClose = nullptr;
FcntlCall realFcntl = nullptr;

using InodeKey = std::pair<dev_t, ino_t>;

// SQLite's unix layer keeps one lock state per file for all its connections in the process
// and may take a lock through one connection's descriptor and free it through another's. So
// all of a file's locks go through one description of ours, which then owns them the way the
// process owned them before.
struct LockedInode
{
    int lockFd = -1;
    int users = 0; // SQLite's descriptors of the file that have locked through it
};

std::mutex tableMutex;
std::unordered_map<int, InodeKey> inodeOfFd;
std::map<InodeKey, LockedInode> lockedInodes;
pid_t tableOwner = 0;

// A forked child shares its parent's descriptions: locks it took through them would be the
// parent's. It starts a table of its own (closing its copies does not free the parent's locks).
void forgetAParentsTable()
{
    const pid_t self = ::getpid();
    if (tableOwner == self)
        return;
    if (tableOwner != 0) {
        for (const auto &[key, inode] : lockedInodes)
            realClose(inode.lockFd);
        lockedInodes.clear();
        inodeOfFd.clear();
    }
    tableOwner = self;
}

// A description of our own on the file, for reading and writing when the file allows it.
int openLockDescription(int fd)
{
    char path[64];
    std::snprintf(path, sizeof path, "/proc/self/fd/%d", fd);
    for (int mode : {O_RDWR, O_RDONLY}) {
        const int own = ::open(path, mode | O_CLOEXEC | O_NOCTTY);
        if (own >= 0)
            return own;
    }
    // Without /proc the same description serves, with the access the connection opened it with.
    return ::fcntl(fd, F_DUPFD_CLOEXEC, 3);
}

// The descriptor SQLite's lock calls on fd go to; -1 with errno set when there is none.
int lockFdFor(int fd)
{
    std::lock_guard<std::mutex> guard(tableMutex);
    forgetAParentsTable();
    const auto known = inodeOfFd.find(fd);
    if (known != inodeOfFd.end())
        return lockedInodes[known->second].lockFd;
    struct stat st = {};
    if (::fstat(fd, &st) != 0)
        return -1;
    const InodeKey key{st.st_dev, st.st_ino};
    LockedInode &inode = lockedInodes[key];
    if (inode.lockFd < 0) {
        inode.lockFd = openLockDescription(fd);
        if (inode.lockFd < 0) {
            const int error = errno;
            lockedInodes.erase(key);
            errno = error;
            return -1;
        }
    }
    ++inode.users;
    inodeOfFd.emplace(fd, key);
    return inode.lockFd;
}

int lockingFcntl(int fd, int cmd, ...)
{
    va_list args;
    va_start(args, cmd);
    int rc = -1;
    switch (cmd) {
    case F_GETLK:
    case F_SETLK:
    case F_SETLKW: {
        auto *lock = va_arg(args, struct flock *);
        const int lockFd = lockFdFor(fd);
        if (lockFd < 0)
            break;
        struct flock own = *lock;
        own.l_pid = 0; // asked of description locks
        const int ownCmd =
            cmd == F_GETLK ? F_OFD_GETLK : cmd == F_SETLK ? F_OFD_SETLK : F_OFD_SETLKW;
        rc = realFcntl(lockFd, ownCmd, &own);
        if (rc == 0 && cmd == F_GETLK)
            *lock = own;
        break;
    }
    case F_GETFD:
    case F_GETFL:
        rc = realFcntl(fd, cmd);
        break;
    case F_SETFD:
    case F_SETFL:
    case F_DUPFD:
    case F_DUPFD_CLOEXEC:
        rc = realFcntl(fd, cmd, va_arg(args, int));
        break;
    default:
        rc = realFcntl(fd, cmd, va_arg(args, void *));
        break;
    }
    va_end(args);
    return rc;
}

int lockingClose(int fd)
{
    // Held across the close: the number may not be handed out again while it is known here.
    std::lock_guard<std::mutex> guard(tableMutex);
    forgetAParentsTable();
    const auto known = inodeOfFd.find(fd);
    if (known != inodeOfFd.end()) {
        const auto inode = lockedInodes.find(known->second);
        if (inode != lockedInodes.end() && --inode->second.users == 0) {
            // SQLite closes its last descriptor of a file only once it holds no lock on it.
            realClose(inode->second.lockFd);
            lockedInodes.erase(inode);
        }
        inodeOfFd.erase(known);
    }
    return realClose(fd);
}

bool install()
{
    sqlite3_vfs *vfs = sqlite3_vfs_find("unix");
    if (!vfs || vfs->iVersion < 3 || !vfs->xSetSystemCall || !vfs->xGetSystemCall)
        return false;
    realClose = reinterpret_cast<CloseCall>(vfs->xGetSystemCall(vfs, "close"));
    realFcntl = reinterpret_cast<FcntlCall>(vfs->xGetSystemCall(vfs, "fcntl"));
    if (!realClose || !realFcntl)
        return false;
    if (vfs->xSetSystemCall(vfs, "close", reinterpret_cast<sqlite3_syscall_ptr>(&lockingClose)) !=
        SQLITE_OK)
        return false;
    if (vfs->xSetSystemCall(vfs, "fcntl", reinterpret_cast<sqlite3_syscall_ptr>(&lockingFcntl)) !=
        SQLITE_OK) {
        vfs->xSetSystemCall(vfs, "close", reinterpret_cast<sqlite3_syscall_ptr>(realClose));
        return false;
    }
    return true;
}

} // namespace

bool InstallDescriptionLocks()
{
    static const bool installed = install();
    return installed;
}

#else

bool InstallDescriptionLocks()
{
    return false;
}

#endif
