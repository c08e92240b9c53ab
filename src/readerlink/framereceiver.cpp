#include "readerlink/framereceiver.h"

#include <cstring>

void TFrameReceiver::Reset()
{
    m_state = State::WaitStart;
    m_remaining = 0;
}

void TFrameReceiver::store(std::uint8_t byte)
{
    // The longest frame needs 265 bytes; the bound keeps any future length from writing past.
    if (m_index < BufferSize) {
        m_buffer[m_index] = byte;
        if (m_index >= m_written)
            m_written = static_cast<std::uint16_t>(m_index + 1);
    }
    ++m_index;
    m_sum = static_cast<std::uint8_t>(m_sum + byte);
}

TFrameReceiver::Result TFrameReceiver::Push(std::uint8_t byte, bool replyAwaited)
{
    switch (m_state) {
    case State::WaitStart:
        if (byte == StartByte)
            m_state = State::WaitLength;
        return Result::Pending;

    case State::WaitLength:
        if (replyAwaited) {
            if (byte == 0x00) {
                m_kind = FrameKind::LongReply;
                m_length = 0;
                m_remaining = LongReplySize + 1;
                m_index = 0;
                m_sum = 0;
            } else if (byte >= 0x02 && byte <= 0x7F) {
                m_kind = FrameKind::Reply;
                m_length = byte;
                m_buffer[0] = byte;
                if (m_written < 1)
                    m_written = 1;
                m_remaining = static_cast<std::uint16_t>(byte - 1);
                m_index = 1;
                m_sum = byte;
            } else {
                Reset();
                return Result::Dropped;
            }
        } else {
            if (byte != 0x02 && byte != 0x06 && byte != 0x0B) {
                Reset();
                return Result::Dropped;
            }
            m_kind = FrameKind::Unsolicited;
            m_length = byte;
            m_remaining = byte;
            m_index = 0;
            m_sum = 0;
        }
        m_state = State::Collect;
        return Result::Pending;

    case State::Collect:
        store(byte);
        if (m_remaining > 0)
            --m_remaining;
        if (m_remaining == 0) {
            if (m_sum != 0) {
                Reset();
                return Result::Dropped;
            }
            m_state = State::WaitEnd;
        }
        return Result::Pending;

    case State::WaitEnd: {
        const bool good = byte == EndByte;
        Reset();
        if (!good)
            return Result::Dropped;
        // What an earlier, longer frame left behind goes, so no reader of this frame can take
        // those bytes for its own.
        const std::uint16_t end = m_index < BufferSize ? m_index : BufferSize;
        if (m_written > end)
            std::memset(m_buffer + end, 0, m_written - end);
        m_written = end;
        m_size = end;
        return Result::Complete;
    }
    }
    Reset();
    return Result::Dropped;
}
