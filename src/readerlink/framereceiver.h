#pragma once
// The reader line's receive state machine: bytes in, whole checked frames out. Plain C++ with
// no timers or port: the owner restarts its 200 ms silence timer on every byte and calls
// Reset() when it runs out. One thread at a time (the reader's main thread).

#include <cstddef>
#include <cstdint>

class TFrameReceiver
{
public:
    static constexpr std::size_t BufferSize = 1024;
    static constexpr std::uint8_t StartByte = 0xF5;
    static constexpr std::uint8_t EndByte = 0xFA;
    static constexpr int LongReplySize = 264;

    enum class State
    {
        WaitStart,
        WaitLength,
        Collect,
        WaitEnd
    };
    // How the frame in the buffer was read: the rule is chosen at its length byte.
    enum class FrameKind
    {
        Reply,
        LongReply,
        Unsolicited
    };
    enum class Result
    {
        Pending,  // byte taken, frame not complete (or byte skipped before a start byte)
        Dropped,  // malformed byte: the receiver went back to waiting for a start byte
        Complete, // a whole frame with a good check byte is in the buffer
    };

    // Feeds one byte; replyAwaited picks the rule for a length byte. After Complete the
    // receiver is already waiting for the next start byte, so bytes fed while the frame is
    // being handled start a new frame instead of corrupting the state; the buffer keeps the
    // frame until the next frame's bytes overwrite it. Nothing of an earlier, longer frame is
    // kept past the end of a shorter one.
    Result Push(std::uint8_t byte, bool replyAwaited);
    void Reset();

    State state() const { return m_state; }
    bool idle() const { return m_state == State::WaitStart; }
    // Valid after Complete: the rule and, for an unsolicited frame, N (2, 6 or 11).
    FrameKind frameKind() const { return m_kind; }
    int frameLength() const { return m_length; }
    // Bytes of the last whole frame in the buffer (a reply: LEN; a long reply: 265; an
    // unsolicited frame: N), check byte included; 0 before the first.
    int frameSize() const { return m_size; }
    const std::uint8_t *buffer() const { return m_buffer; }
    // Byte i of the last whole frame; 0 past its end.
    std::uint8_t at(std::size_t i) const { return i < std::size_t(m_size) ? m_buffer[i] : 0; }

private:
    void store(std::uint8_t byte);

    State m_state = State::WaitStart;
    FrameKind m_kind = FrameKind::Unsolicited;
    std::uint16_t m_remaining = 0;
    std::uint16_t m_index = 0;
    std::uint8_t m_sum = 0;
    int m_length = 0;
    int m_size = 0;
    std::uint16_t m_written = 0; // bytes from 0 that may hold something other than 0
    std::uint8_t m_buffer[BufferSize] = {};
};
