#include "store/clock.h"

#include <QMutex>

namespace {
QMutex g_lock;
QDateTime g_pinned;
} // namespace

QDateTime Now()
{
    QMutexLocker lock(&g_lock);
    return g_pinned.isValid() ? g_pinned : QDateTime::currentDateTime();
}

void PinClock(const QDateTime &moment)
{
    QMutexLocker lock(&g_lock);
    g_pinned = moment;
}
