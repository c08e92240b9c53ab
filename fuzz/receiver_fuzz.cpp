// Fuzzes the reader line's receiver: any byte stream, with replies awaited or not and pauses
// (the silence limit) anywhere, must never touch memory outside the receiver and must hand
// out only frames whose check bytes hold.

#include "readerlink/framereceiver.h"

#include <cstddef>
#include <cstdint>
#include <memory>

namespace {

void check(bool ok)
{
    if (!ok)
        __builtin_trap();
}

void checkFrame(const TFrameReceiver &rx)
{
    const std::uint8_t *b = rx.buffer();
    unsigned sum = 0;
    switch (rx.frameKind()) {
    case TFrameReceiver::FrameKind::Unsolicited: {
        const int n = rx.frameLength();
        check(n == 2 || n == 6 || n == 11);
        for (int i = 0; i < n; ++i)
            sum += b[i];
        break;
    }
    case TFrameReceiver::FrameKind::Reply: {
        const int len = rx.frameLength();
        check(len >= 2 && len <= 0x7F && b[0] == len);
        for (int i = 0; i < len; ++i)
            sum += b[i];
        break;
    }
    case TFrameReceiver::FrameKind::LongReply:
        for (int i = 0; i <= TFrameReceiver::LongReplySize; ++i)
            sum += b[i];
        break;
    }
    check((sum & 0xFF) == 0);
    check(rx.idle()); // ready for the next frame at once
    // Nothing of an earlier frame is left past this one's end.
    for (std::size_t i = std::size_t(rx.frameSize()); i < TFrameReceiver::BufferSize; ++i)
        check(b[i] == 0 && rx.at(i) == 0);
}

} // namespace

// Input: a control byte, then for controls below 0xF0 that many stream bytes. Control bits:
// 0x80 reply awaited for this run; 0x40 a pause (reset) before it. 0xF0 and above: a single
// pause.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    auto rx = std::make_unique<TFrameReceiver>(); // on the heap, so a write past it is caught
    std::size_t i = 0;
    while (i < size) {
        const std::uint8_t control = data[i++];
        if (control >= 0xF0) {
            rx->Reset();
            check(rx->idle());
            continue;
        }
        const bool reply = control & 0x80;
        if (control & 0x40)
            rx->Reset();
        std::size_t run = control & 0x3F;
        if (run == 0)
            run = size - i; // the rest of the input in one rule
        for (std::size_t k = 0; k < run && i < size; ++k) {
            const auto r = rx->Push(data[i++], reply);
            if (r == TFrameReceiver::Result::Complete)
                checkFrame(*rx);
            else if (r == TFrameReceiver::Result::Dropped)
                check(rx->idle());
        }
    }
    return 0;
}
