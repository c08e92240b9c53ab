#pragma once
// Spoken greetings: the speech engine seam (espeak-ng by default, a fake in tests), the one
// worker thread that speaks queued phrases in order, and the greeting of a card swipe.
// SpeechWorker is made, fed and destroyed on the main thread; engines run on its thread only.

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

// One text-to-speech engine. Start, Speak and Stop are all called on the speech worker's
// thread, Start before the first phrase and Stop after the last (only when Start succeeded).
class ISpeechEngine
{
public:
    virtual ~ISpeechEngine() = default;
    // Prepares the engine; false with a reason for the user when it cannot speak at all.
    virtual bool Start(QString *error) = 0;
    // Speaks one phrase and returns when it has been spoken (or, with no audio device, once
    // it has been synthesised and dropped). False when this phrase failed.
    virtual bool Speak(const QString &text) = 0;
    virtual void Stop() = 0;
};

// espeak-ng, playing through the default audio device. espeak-ng keeps one state per process,
// made on the first start and kept until the process ends; only one started engine may use it
// at a time, a second one refuses to start.
class EspeakSpeechEngine : public ISpeechEngine
{
public:
    EspeakSpeechEngine() = default;
    ~EspeakSpeechEngine() override;
    EspeakSpeechEngine(const EspeakSpeechEngine &) = delete;
    EspeakSpeechEngine &operator=(const EspeakSpeechEngine &) = delete;

    bool Start(QString *error) override;
    bool Speak(const QString &text) override;
    void Stop() override;

    // True once playing failed and phrases are only synthesised and dropped.
    bool Silent() const;

private:
    bool m_started = false;
};

// Engine factory for workers made without an explicit engine. Tests install one that makes
// fakes; an empty factory restores espeak-ng.
using SpeechEngineFactory = std::function<std::unique_ptr<ISpeechEngine>()>;
void SetSpeechEngineFactory(SpeechEngineFactory factory);
std::unique_ptr<ISpeechEngine> CreateSpeechEngine();

// Speaks queued phrases one after the other on its own thread; Say never waits for speech.
// The engine is started with the first phrase, so a desk with speech switched off never
// touches the audio system. When the engine cannot start, the worker drops every phrase
// from then on and emits SpeechUnavailable once (on the main thread).
class SpeechWorker : public QObject
{
    Q_OBJECT
public:
    // Phrases waiting beyond this many are dropped, so a burst of swipes while speech is
    // slow cannot pile up greetings that would be heard minutes late.
    static constexpr int MaxPending = 64;

    explicit SpeechWorker(QObject *parent = nullptr);
    explicit SpeechWorker(std::unique_ptr<ISpeechEngine> engine, QObject *parent = nullptr);
    // Drops the phrases not yet begun, lets the current one finish and waits for the thread
    // (at most StopWaitMs; a thread stuck in the audio system is then left to end alone).
    ~SpeechWorker() override;
    SpeechWorker(const SpeechWorker &) = delete;
    SpeechWorker &operator=(const SpeechWorker &) = delete;

    static constexpr int StopWaitMs = 3000;

    // Queues the phrases in order and returns at once. Blank phrases are skipped.
    void Say(const QStringList &phrases);
    void Say(const QString &phrase) { Say(QStringList{phrase}); }

    // Whether the engine failed to start (after that nothing is spoken).
    bool Unavailable() const;
    // Waits until every queued phrase has been spoken or dropped; false on time-out.
    bool WaitIdle(int timeoutMs);

signals:
    // The text for the status bar, sent once when speech turned out to be unavailable.
    void SpeechUnavailable(const QString &message);

private:
    struct Shared;
    std::shared_ptr<Shared> m_shared;
};

// The phrases that greet a swipe stamped at the given time: by its hour 0-11 "Good Morning",
// 12-18 "Good Afternoon", 19-20 "Good Evening", 21-23 "Good Night", then the holder's name;
// a card nobody holds gets "no registration".
QStringList SwipeGreeting(const QDateTime &stamp, bool staffFound, const QString &name);

// The status-bar text when speech cannot be used, with the engine's reason.
QString SpeechUnavailableText(const QString &reason);
