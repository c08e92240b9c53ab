#pragma once
// The target of a page-by-page copy of a database (a backup, a restore): a bare connection to
// a file that is no database of a kind yet, or one about to be overwritten, so it opens
// without the kind and schema checks of TDatabase. Closed by its destructor. Belongs to the
// thread that opened it, like the source connection.

#include <QString>
#include <functional>

struct sqlite3;
class TDatabase;

class TPageCopyTarget
{
public:
    TPageCopyTarget() = default;
    ~TPageCopyTarget();
    TPageCopyTarget(const TPageCopyTarget &) = delete;
    TPageCopyTarget &operator=(const TPageCopyTarget &) = delete;

    // Opens an existing file, or makes it when create; on failure SQLite's reason in *error.
    bool Open(const QString &path, bool create, QString *error);
    void Close() noexcept;
    // Runs statements without parameters; on failure SQLite's reason in *error.
    bool Exec(const char *sql, QString *error);
    void SetBusyTimeout(int ms);
    // Copies every page of the source's main database into this file as one write
    // transaction, pagesPerStep at a time, telling progress (pages done, pages in all) after
    // each step. Rows the source's own connection writes between steps go in as well.
    bool CopyPagesFrom(const TDatabase &source, int pagesPerStep,
                       const std::function<void(int done, int total)> &progress, QString *error);

private:
    sqlite3 *m_db = nullptr;
};
