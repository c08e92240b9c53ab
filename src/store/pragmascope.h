#pragma once
// `TPragmaScope`: a numeric connection setting (cache_size, wal_autocheckpoint) changed for one
// long run of work and given its old value back when the run ends, on every road out. A
// setting that cannot be read or set is left as it was: the run then works as it would have.
// The thread of the connection only.

#include "store/db/sqlitedb.h"

class TPragmaScope
{
public:
    TPragmaScope(TDatabase &db, const char *pragma, qint64 value);
    ~TPragmaScope();
    TPragmaScope(const TPragmaScope &) = delete;
    TPragmaScope &operator=(const TPragmaScope &) = delete;

private:
    TDatabase &m_db;
    QString m_pragma;
    qint64 m_before = 0;
    bool m_changed = false;
};
