#include "desk/speechengine.h"

#include <QMetaObject>
#include <QtDebug>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <espeak-ng/espeak_ng.h>
#include <espeak-ng/speak_lib.h>
#include <mutex>
#include <thread>

// ---- espeak-ng ----------------------------------------------------------------------------

namespace {
// espeak-ng keeps one state per process, and this version hangs in its termination once it
// has been initialised a second time. So it is initialised once, on the first speech thread
// that needs it, and stays up until the process ends; engines take turns using it.
struct EspeakProcess
{
    std::mutex mutex;
    bool initialised = false;
    QString failure; // why initialising failed (it is not tried again)
    bool silent = false;
    bool inUse = false;
};

EspeakProcess &espeakProcess()
{
    static EspeakProcess *process = new EspeakProcess; // never freed: outlives every thread
    return *process;
}

QString statusText(espeak_ng_STATUS status)
{
    char buffer[256] = {};
    espeak_ng_GetStatusCodeMessage(status, buffer, sizeof buffer);
    return QString::fromLocal8Bit(buffer);
}

// With no audio device the samples are made and thrown away.
int dropSamples(short *, int, espeak_EVENT *)
{
    return 0;
}

bool useSilentOutput(EspeakProcess &process)
{
    espeak_SetSynthCallback(dropSamples);
    process.silent = espeak_ng_InitializeOutput(ENOUTPUT_MODE_SYNCHRONOUS, 0, nullptr) == ENS_OK;
    return process.silent;
}

// Caller holds the mutex.
bool initialiseEspeak(EspeakProcess &process)
{
    espeak_ng_InitializePath(nullptr);
    espeak_ng_ERROR_CONTEXT context = nullptr;
    espeak_ng_STATUS status = espeak_ng_Initialize(&context);
    espeak_ng_ClearErrorContext(&context);
    if (status == ENS_OK) {
        status =
            espeak_ng_InitializeOutput(static_cast<espeak_ng_OUTPUT_MODE>(
                                           ENOUTPUT_MODE_SPEAK_AUDIO | ENOUTPUT_MODE_SYNCHRONOUS),
                                       0, nullptr);
        if (status != ENS_OK && useSilentOutput(process))
            status = ENS_OK;
    }
    if (status == ENS_OK)
        status = espeak_ng_SetVoiceByName(ESPEAKNG_DEFAULT_VOICE);
    if (status != ENS_OK) {
        process.failure = statusText(status);
        return false;
    }
    process.initialised = true;
    return true;
}
} // namespace

EspeakSpeechEngine::~EspeakSpeechEngine()
{
    if (m_started)
        Stop();
}

bool EspeakSpeechEngine::Start(QString *error)
{
    const auto fail = [error](const QString &reason) {
        if (error)
            *error = reason;
        return false;
    };
    if (m_started)
        return true;
    EspeakProcess &process = espeakProcess();
    std::lock_guard lock(process.mutex);
    if (process.inUse)
        return fail(QStringLiteral("the speech engine is already in use"));
    if (!process.failure.isEmpty())
        return fail(process.failure);
    if (!process.initialised && !initialiseEspeak(process))
        return fail(process.failure);
    process.inUse = true;
    m_started = true;
    return true;
}

bool EspeakSpeechEngine::Silent() const
{
    EspeakProcess &process = espeakProcess();
    std::lock_guard lock(process.mutex);
    return process.silent;
}

bool EspeakSpeechEngine::Speak(const QString &text)
{
    if (!m_started)
        return false;
    // Plain text, never markup: a name is spoken as it is written.
    const QByteArray utf8 = text.toUtf8();
    const auto synthesize = [&utf8] {
        return espeak_ng_Synthesize(utf8.constData(), static_cast<size_t>(utf8.size()) + 1, 0,
                                    POS_CHARACTER, 0, espeakCHARS_UTF8, nullptr, nullptr);
    };
    espeak_ng_STATUS status = synthesize();
    EspeakProcess &process = espeakProcess();
    std::lock_guard lock(process.mutex);
    if (status == ENS_AUDIO_ERROR && !process.silent) {
        // The audio device is missing or busy: go on synthesising into nothing rather than
        // trying (and failing) again for every phrase.
        qWarning("Speech: %s; phrases are no longer played.", qPrintable(statusText(status)));
        if (useSilentOutput(process))
            status = synthesize();
    }
    return status == ENS_OK;
}

void EspeakSpeechEngine::Stop()
{
    if (!m_started)
        return;
    m_started = false;
    EspeakProcess &process = espeakProcess();
    std::lock_guard lock(process.mutex);
    process.inUse = false;
}

// ---- engine factory -------------------------------------------------------------------------

namespace {
SpeechEngineFactory &engineFactory()
{
    static SpeechEngineFactory factory;
    return factory;
}
} // namespace

void SetSpeechEngineFactory(SpeechEngineFactory factory)
{
    engineFactory() = std::move(factory);
}

std::unique_ptr<ISpeechEngine> CreateSpeechEngine()
{
    if (const SpeechEngineFactory &factory = engineFactory())
        return factory();
    return std::make_unique<EspeakSpeechEngine>();
}

// ---- worker ----------------------------------------------------------------------------------

// Everything the thread touches. The thread holds its own reference, so a thread that had
// to be left behind at destruction still finds its state alive.
struct SpeechWorker::Shared
{
    std::mutex mutex;
    std::condition_variable wake; // phrases queued or stop asked
    std::condition_variable idle; // a phrase finished or the thread ended
    std::deque<QString> queue;
    bool stop = false;
    bool busy = false;
    bool finished = false;
    bool unavailable = false;
    SpeechWorker *owner = nullptr; // nulled by the destructor before the object goes
    std::unique_ptr<ISpeechEngine> engine;
    std::thread thread;
};

SpeechWorker::SpeechWorker(QObject *parent) : SpeechWorker(CreateSpeechEngine(), parent) {}

SpeechWorker::SpeechWorker(std::unique_ptr<ISpeechEngine> engine, QObject *parent)
    : QObject(parent), m_shared(std::make_shared<Shared>())
{
    m_shared->owner = this;
    m_shared->engine = std::move(engine);
    std::shared_ptr<Shared> shared = m_shared;
    m_shared->thread = std::thread([shared] {
        Shared &s = *shared;
        bool started = false;
        bool running = false;
        std::unique_lock lock(s.mutex);
        for (;;) {
            s.wake.wait(lock, [&s] { return s.stop || !s.queue.empty(); });
            if (s.stop)
                break;
            const QString text = s.queue.front();
            s.queue.pop_front();
            s.busy = true;
            lock.unlock();

            if (!started) {
                started = true;
                QString reason;
                try {
                    running = s.engine && s.engine->Start(&reason);
                    if (!s.engine)
                        reason = QStringLiteral("no speech engine");
                } catch (const std::exception &e) {
                    reason = QString::fromLocal8Bit(e.what());
                } catch (...) {
                    reason = QStringLiteral("unknown failure");
                }
                if (!running) {
                    const QString message = SpeechUnavailableText(reason);
                    std::lock_guard guard(s.mutex);
                    s.unavailable = true;
                    s.queue.clear();
                    if (s.owner) {
                        SpeechWorker *owner = s.owner;
                        // Delivered on the main thread; dropped by Qt if the worker is gone.
                        QMetaObject::invokeMethod(
                            owner, [owner, message] { emit owner->SpeechUnavailable(message); },
                            Qt::QueuedConnection);
                    }
                }
            }
            if (running) {
                try {
                    if (!s.engine->Speak(text))
                        qWarning("Speech: could not speak \"%s\".", qPrintable(text));
                } catch (...) {
                    qWarning("Speech: the engine failed on \"%s\".", qPrintable(text));
                }
            }

            lock.lock();
            s.busy = false;
            s.idle.notify_all();
        }
        lock.unlock();
        if (running) {
            try {
                s.engine->Stop();
            } catch (...) {
            }
        }
        lock.lock();
        s.finished = true;
        s.idle.notify_all();
    });
}

SpeechWorker::~SpeechWorker()
{
    std::unique_lock lock(m_shared->mutex);
    m_shared->stop = true;
    m_shared->queue.clear();
    m_shared->owner = nullptr;
    m_shared->wake.notify_all();
    const bool ended = m_shared->idle.wait_for(lock, std::chrono::milliseconds(StopWaitMs),
                                               [this] { return m_shared->finished; });
    lock.unlock();
    if (ended) {
        m_shared->thread.join();
    } else {
        qWarning("Speech: the speech thread did not end in time; leaving it behind.");
        m_shared->thread.detach();
    }
}

void SpeechWorker::Say(const QStringList &phrases)
{
    std::lock_guard lock(m_shared->mutex);
    if (m_shared->unavailable || m_shared->stop)
        return;
    for (const QString &phrase : phrases) {
        if (phrase.trimmed().isEmpty())
            continue;
        if (m_shared->queue.size() >= static_cast<size_t>(MaxPending))
            break;
        m_shared->queue.push_back(phrase);
    }
    m_shared->wake.notify_one();
}

bool SpeechWorker::Unavailable() const
{
    std::lock_guard lock(m_shared->mutex);
    return m_shared->unavailable;
}

bool SpeechWorker::WaitIdle(int timeoutMs)
{
    std::unique_lock lock(m_shared->mutex);
    return m_shared->idle.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] {
        return m_shared->finished || (m_shared->queue.empty() && !m_shared->busy);
    });
}

// ---- greeting --------------------------------------------------------------------------------

QStringList SwipeGreeting(const QDateTime &stamp, bool staffFound, const QString &name)
{
    if (!staffFound)
        return {QStringLiteral("no registration")};
    const int hour = stamp.time().hour();
    QString greeting;
    if (hour <= 11)
        greeting = QStringLiteral("Good Morning");
    else if (hour <= 18)
        greeting = QStringLiteral("Good Afternoon");
    else if (hour <= 20)
        greeting = QStringLiteral("Good Evening");
    else
        greeting = QStringLiteral("Good Night");
    return {greeting, name};
}

QString SpeechUnavailableText(const QString &reason)
{
    return QStringLiteral("Speech unavailable: %1").arg(reason);
}
