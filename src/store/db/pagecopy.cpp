#include "store/db/pagecopy.h"

#include "store/db/sqlitedb.h"

#include <QFileInfo>

#include <sqlite3.h>

namespace {

void setError(QString *error, sqlite3 *db, int rc)
{
    if (error)
        *error = db ? QString::fromUtf8(sqlite3_errmsg(db)) : QString::fromUtf8(sqlite3_errstr(rc));
}

} // namespace

TPageCopyTarget::~TPageCopyTarget()
{
    Close();
}

bool TPageCopyTarget::Open(const QString &path, bool create, QString *error)
{
    Close();
    const int flags = SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0);
    const int rc = sqlite3_open_v2(QFileInfo(path).absoluteFilePath().toUtf8().constData(), &m_db,
                                   flags, nullptr);
    if (rc != SQLITE_OK)
        setError(error, m_db, rc);
    return rc == SQLITE_OK;
}

void TPageCopyTarget::Close() noexcept
{
    sqlite3_close(m_db);
    m_db = nullptr;
}

bool TPageCopyTarget::Exec(const char *sql, QString *error)
{
    const int rc = sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK)
        setError(error, m_db, rc);
    return rc == SQLITE_OK;
}

void TPageCopyTarget::SetBusyTimeout(int ms)
{
    sqlite3_busy_timeout(m_db, ms);
}

bool TPageCopyTarget::CopyPagesFrom(const TDatabase &source, int pagesPerStep,
                                    const std::function<void(int done, int total)> &progress,
                                    QString *error)
{
    sqlite3_backup *backup = sqlite3_backup_init(m_db, "main", source.Handle(), "main");
    if (!backup) {
        setError(error, m_db, SQLITE_ERROR);
        return false;
    }
    int rc = SQLITE_OK;
    do {
        rc = sqlite3_backup_step(backup, pagesPerStep);
        if ((rc == SQLITE_OK || rc == SQLITE_DONE) && progress) {
            const int total = sqlite3_backup_pagecount(backup);
            progress(total - sqlite3_backup_remaining(backup), total);
        }
    } while (rc == SQLITE_OK);
    const int finished = sqlite3_backup_finish(backup);
    if (rc != SQLITE_DONE || finished != SQLITE_OK) {
        setError(error, m_db, rc != SQLITE_DONE ? rc : finished);
        return false;
    }
    return true;
}
