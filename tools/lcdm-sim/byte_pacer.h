// When the bytes of a serial line of a given baud rate are whole at the far end: a byte
// takes 10 bits (start, 8 data, stop). The device's bytes are scheduled against absolute
// deadlines, one byte time after another, so that late wake-ups do not add up; and the
// device answers a frame no sooner than the host's bytes could have arrived on the line.
#pragma once

#include "deadline.h"

#include <algorithm>
#include <cstddef>

namespace lcdm {

class BytePacer {
public:
    // baud 0: no pacing.
    explicit BytePacer(int baud)
    {
        if (baud > 0)
            byteTime_ = std::chrono::duration_cast<Clock::duration>(std::chrono::nanoseconds(10'000'000'000LL / baud));
    }

    bool Paces() const noexcept { return byteTime_ != Clock::duration::zero(); }
    Clock::duration ByteTime() const noexcept { return byteTime_; }

    // `count` bytes from the host were read at `readAt`: on the line they end one byte
    // time after another, from then or from the end of the host's bytes before them.
    void Received(std::size_t count, Clock::time_point readAt)
    {
        inputDoneAt_ = std::max(inputDoneAt_, readAt) + byteTime_ * static_cast<long long>(count);
    }

    // A burst of the device's bytes begins: the line is free once the device's earlier
    // bytes are out and the host's bytes are in.
    void StartBurst(Clock::time_point now) { lineFreeAt_ = std::max({lineFreeAt_, inputDoneAt_, now}); }
    // The moment the burst's next byte is whole at the host's end.
    Clock::time_point NextByteDone()
    {
        lineFreeAt_ += byteTime_;
        return lineFreeAt_;
    }

private:
    Clock::duration byteTime_{};
    Clock::time_point lineFreeAt_{};
    Clock::time_point inputDoneAt_{};
};

} // namespace lcdm
