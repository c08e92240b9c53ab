#pragma once
// Another program's connection to a database file that holds its write lock (BEGIN IMMEDIATE)
// until released, as an administrator's sqlite3 session would. Any one thread.

#include <QString>

#include <sqlite3.h>

class OutsideLock
{
public:
    explicit OutsideLock(const QString &path)
    {
        sqlite3_open_v2(path.toUtf8().constData(), &m_db, SQLITE_OPEN_READWRITE, nullptr);
        m_held = sqlite3_exec(m_db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) == SQLITE_OK;
    }
    ~OutsideLock()
    {
        Release();
        sqlite3_close(m_db);
    }
    OutsideLock(const OutsideLock &) = delete;
    OutsideLock &operator=(const OutsideLock &) = delete;

    bool Held() const { return m_held; }
    void Release()
    {
        if (m_held)
            sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
        m_held = false;
    }

private:
    sqlite3 *m_db = nullptr;
    bool m_held = false;
};
