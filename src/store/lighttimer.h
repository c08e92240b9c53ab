#pragma once
// Light timers: many small private timers (reader reply and silence timing, tray icon
// cycling and click timing) served by one shared hidden receiver on the main thread.
// Main thread only; a handler runs only while the event loop turns.

#include <QHash>
#include <QObject>
#include <functional>

class TLightTimer;
using TLightTimerEvent = std::function<void(TLightTimer *sender)>;

// The one receiver of the process's light-timer ticks; made on first use, freed with the
// last timer (or at program exit when one is left).
class TLightTimerHandler : public QObject
{
    Q_OBJECT

public:
    static TLightTimerHandler *Instance(); // nullptr when none exists
    int RefCount() const { return m_refCount; }
    int ActiveCount() const { return m_activeCount; }

private:
    friend class TLightTimer;
    TLightTimerHandler() = default;
    // Makes the handler when none exists and counts one more timer on it.
    static TLightTimerHandler *AcquireTimerHandler();
    // Counts one timer less (never below 0) and frees the handler with the last.
    static void ReleaseTimerHandler();
    int startSystemTimer(TLightTimer *timer, int interval);
    bool stopSystemTimer(int systemId);
    void timerEvent(QTimerEvent *event) override;

    QHash<int, TLightTimer *> m_timers; // system timer id -> its light timer
    int m_refCount = 0;
    int m_activeCount = 0;
};

class TLightTimer
{
public:
    TLightTimer();                                         // inactive, 1000 ms, no handler
    TLightTimer(int interval, TLightTimerEvent onTimer);   // CreateEx
    ~TLightTimer();
    TLightTimer(const TLightTimer &) = delete;
    TLightTimer &operator=(const TLightTimer &) = delete;

    bool Start();
    bool Stop(bool disable);
    void SetEnabled(bool enabled);
    void SetInterval(int ms);
    void SetOnTimer(TLightTimerEvent handler);

    quintptr Id() const { return m_id; }
    bool Active() const { return m_active; }
    bool Enabled() const { return m_active; }
    int Interval() const { return m_interval; }
    const TLightTimerEvent &OnTimer() const { return m_onTimer; }
    // Whether ticks are being delivered now (Active and not suspended).
    bool Running() const { return m_systemId != 0; }

private:
    friend class TLightTimerHandler;
    void Init(int interval, TLightTimerEvent onTimer);

    quintptr m_id = 0;
    bool m_active = false;
    int m_interval = 1000;
    TLightTimerEvent m_onTimer;
    int m_systemId = 0;
};
