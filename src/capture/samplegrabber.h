#pragma once
// TSampleGrabberCB: the frame callback of one capture stream. The capture's streaming thread
// calls BufferCB for every frame; the GUI thread sets Enabled and swaps the OnBuffer handler.
// The handler is held as one shared pointer under a lock, so a frame is always handed to one
// whole handler, never to half of an old and half of a new one.

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

using TBufferHandler = std::function<void(int frameCount, const void *buffer, int length)>;
// A handler as assigned: compared by identity, empty when none.
using TBufferEvent = std::shared_ptr<const TBufferHandler>;

inline TBufferEvent MakeBufferEvent(TBufferHandler handler)
{
    return std::make_shared<const TBufferHandler>(std::move(handler));
}

class TSampleGrabberCB
{
public:
    bool Enabled() const { return m_enabled.load(); }
    void SetEnabled(bool enabled) { m_enabled.store(enabled); }
    int FrameCount() const { return m_frameCount.load(); }

    TBufferEvent OnBuffer() const
    {
        std::lock_guard lock(m_mutex);
        return m_onBuffer;
    }
    void SetOnBuffer(TBufferEvent handler)
    {
        std::lock_guard lock(m_mutex);
        m_onBuffer = std::move(handler);
    }

    // One frame, on the streaming thread: counted, then handed to the handler, while enabled.
    void BufferCB(double sampleTime, const void *buffer, int length)
    {
        if (!m_enabled.load())
            return;
        const int count = m_frameCount.fetch_add(1) + 1;
        if (const TBufferEvent handler = OnBuffer(); handler && *handler)
            (*handler)(count, buffer, length);
    }

private:
    std::atomic<bool> m_enabled{true};
    std::atomic<int> m_frameCount{0};
    mutable std::mutex m_mutex;
    TBufferEvent m_onBuffer;
};
