#pragma once
// Runs the process in one time zone (TZ) for a scope's length, then puts the old one back.
// Main thread; nothing else may read the zone meanwhile.

#include <QByteArray>
#include <QtGlobal>

#include <ctime>

class ZoneScope
{
public:
    explicit ZoneScope(const char *zone) : m_old(qgetenv("TZ"))
    {
        qputenv("TZ", zone);
        tzset();
    }
    ~ZoneScope()
    {
        if (m_old.isEmpty())
            qunsetenv("TZ");
        else
            qputenv("TZ", m_old);
        tzset();
    }
    ZoneScope(const ZoneScope &) = delete;
    ZoneScope &operator=(const ZoneScope &) = delete;

private:
    QByteArray m_old;
};
