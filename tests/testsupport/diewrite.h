#pragma once
// A crash inside a commit on demand: a file layer over the system's that ends the process right
// after a first page of a main database file of a given name has been written whose header
// counts pages the file does not hold yet, as a power cut between the first and the last page
// of a commit would leave it. For a forked child only.

#include <QByteArray>

#include <sqlite3.h>
#include <unistd.h>

class DieAfterFirstPageWrite
{
public:
    static void Install(const char *nameEnd)
    {
        s_nameEnd = nameEnd;
        sqlite3_vfs *real = sqlite3_vfs_find(nullptr);
        s_vfs = *real;
        s_vfs.zName = "die-after-first-page";
        s_vfs.pAppData = real;
        s_vfs.xOpen = &open;
        sqlite3_vfs_register(&s_vfs, 1);
    }

private:
    static int open(sqlite3_vfs *vfs, sqlite3_filename name, sqlite3_file *file, int flags,
                    int *outFlags)
    {
        auto *real = static_cast<sqlite3_vfs *>(vfs->pAppData);
        const int rc = real->xOpen(real, name, file, flags, outFlags);
        if (rc == SQLITE_OK && (flags & SQLITE_OPEN_MAIN_DB) && name && file->pMethods &&
            QByteArray(name).endsWith(s_nameEnd)) {
            s_realMethods = file->pMethods;
            s_methods = *file->pMethods;
            s_methods.xWrite = &write;
            file->pMethods = &s_methods;
        }
        return rc;
    }
    static int write(sqlite3_file *file, const void *data, int n, sqlite3_int64 offset)
    {
        // Only a first page whose header counts more pages than the file holds yet: the
        // moment a power cut leaves a file that looks cut short. Others (a checkpoint) pass.
        sqlite3_int64 size = 0;
        bool dies = false;
        if (offset == 0 && n >= 100 && s_realMethods->xFileSize(file, &size) == SQLITE_OK) {
            const auto *h = static_cast<const unsigned char *>(data);
            const sqlite3_int64 pages =
                (sqlite3_int64(h[28]) << 24) | (h[29] << 16) | (h[30] << 8) | h[31];
            dies = pages * n > size;
        }
        const int rc = s_realMethods->xWrite(file, data, n, offset);
        if (dies)
            _exit(0);
        return rc;
    }

    static inline const char *s_nameEnd = nullptr;
    static inline sqlite3_vfs s_vfs{};
    static inline const sqlite3_io_methods *s_realMethods = nullptr;
    static inline sqlite3_io_methods s_methods{};
};
