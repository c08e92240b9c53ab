#pragma once
// A speech engine for tests: records the phrases it is asked to speak (with the thread that
// asked), can refuse to start, and can hold each phrase until the test lets it go.
// The log is shared between the test (main thread) and the speech worker's thread.

#include "desk/speechengine.h"

#include <QStringList>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

struct FakeSpeechLog
{
    std::mutex mutex;
    std::condition_variable changed;
    QStringList spoken;
    int starts = 0;
    int stops = 0;
    std::thread::id engineThread; // where Start ran
    bool failStart = false;
    QString failReason = QStringLiteral("no voice");
    bool hold = false; // each Speak waits until hold is cleared
    bool inSpeak = false;

    QStringList Spoken()
    {
        std::lock_guard lock(mutex);
        return spoken;
    }
    void Release()
    {
        std::lock_guard lock(mutex);
        hold = false;
        changed.notify_all();
    }
    // Waits until a phrase is being spoken (held); false on time-out.
    bool WaitInSpeak(int timeoutMs)
    {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                [this] { return inSpeak; });
    }
};

class FakeSpeechEngine : public ISpeechEngine
{
public:
    explicit FakeSpeechEngine(std::shared_ptr<FakeSpeechLog> log) : m_log(std::move(log)) {}

    bool Start(QString *error) override
    {
        std::lock_guard lock(m_log->mutex);
        ++m_log->starts;
        m_log->engineThread = std::this_thread::get_id();
        if (m_log->failStart) {
            *error = m_log->failReason;
            return false;
        }
        return true;
    }
    bool Speak(const QString &text) override
    {
        std::unique_lock lock(m_log->mutex);
        m_log->inSpeak = true;
        m_log->changed.notify_all();
        m_log->changed.wait(lock, [this] { return !m_log->hold; });
        m_log->inSpeak = false;
        m_log->spoken.append(text);
        m_log->changed.notify_all();
        return true;
    }
    void Stop() override
    {
        std::lock_guard lock(m_log->mutex);
        ++m_log->stops;
    }

private:
    std::shared_ptr<FakeSpeechLog> m_log;
};
