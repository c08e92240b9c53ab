#include "store/lighttimer.h"

#include <QCoreApplication>
#include <QTimerEvent>

namespace {
TLightTimerHandler *g_handler = nullptr;

void freeLeftHandler()
{
    delete g_handler;
    g_handler = nullptr;
}
} // namespace

TLightTimerHandler *TLightTimerHandler::Instance()
{
    return g_handler;
}

TLightTimerHandler *TLightTimerHandler::AcquireTimerHandler()
{
    if (!g_handler) {
        g_handler = new TLightTimerHandler;
        static bool routineAdded = false;
        if (!routineAdded && QCoreApplication::instance()) {
            qAddPostRoutine(freeLeftHandler);
            routineAdded = true;
        }
    }
    ++g_handler->m_refCount;
    return g_handler;
}

void TLightTimerHandler::ReleaseTimerHandler()
{
    if (!g_handler)
        return;
    if (g_handler->m_refCount > 0)
        --g_handler->m_refCount;
    if (g_handler->m_refCount == 0)
        freeLeftHandler();
}

int TLightTimerHandler::startSystemTimer(TLightTimer *timer, int interval)
{
    const int id = startTimer(interval, Qt::PreciseTimer);
    if (id != 0)
        m_timers.insert(id, timer);
    return id;
}

bool TLightTimerHandler::stopSystemTimer(int systemId)
{
    if (systemId == 0 || !m_timers.remove(systemId))
        return false;
    killTimer(systemId);
    return true;
}

void TLightTimerHandler::timerEvent(QTimerEvent *event)
{
    TLightTimer *timer = m_timers.value(event->timerId(), nullptr);
    if (!timer) {
        QObject::timerEvent(event);
        return;
    }
    if (timer->m_onTimer) {
        // A copy: the handler may replace or clear itself while it runs.
        const TLightTimerEvent handler = timer->m_onTimer;
        handler(timer);
    }
}

TLightTimer::TLightTimer()
{
    Init(1000, {});
}

TLightTimer::TLightTimer(int interval, TLightTimerEvent onTimer)
{
    Init(interval, std::move(onTimer));
}

void TLightTimer::Init(int interval, TLightTimerEvent onTimer)
{
    m_id = reinterpret_cast<quintptr>(this);
    m_active = false;
    m_interval = interval;
    m_onTimer = std::move(onTimer);
    TLightTimerHandler::AcquireTimerHandler();
}

TLightTimer::~TLightTimer()
{
    if (m_active || m_systemId != 0)
        Stop(true);
    TLightTimerHandler::ReleaseTimerHandler();
}

bool TLightTimer::Start()
{
    if (m_interval == 0)
        return false;
    if (m_systemId != 0)
        Stop(false);
    TLightTimerHandler *h = TLightTimerHandler::Instance();
    if (!h)
        return false;
    const int id = h->startSystemTimer(this, m_interval);
    if (id == 0)
        return false;
    m_systemId = id;
    m_active = true;
    ++h->m_activeCount;
    return true;
}

bool TLightTimer::Stop(bool disable)
{
    if (disable)
        m_active = false;
    TLightTimerHandler *h = TLightTimerHandler::Instance();
    if (!h || !h->stopSystemTimer(m_systemId))
        return false;
    m_systemId = 0;
    if (h->m_activeCount > 0)
        --h->m_activeCount;
    return true;
}

void TLightTimer::SetEnabled(bool enabled)
{
    if (enabled)
        Start();
    else
        Stop(true);
}

void TLightTimer::SetInterval(int ms)
{
    if (ms == m_interval)
        return;
    m_interval = ms;
    if (!m_active)
        return;
    if (ms == 0)
        Stop(false); // suspended: Active stays true
    else
        Start();
}

void TLightTimer::SetOnTimer(TLightTimerEvent handler)
{
    m_onTimer = std::move(handler);
    if (!m_onTimer && m_active)
        Stop(false); // suspended: Active stays true
}
