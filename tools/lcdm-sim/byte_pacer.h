// When each byte the device sends is whole at the host's end of a line of a given baud
// rate: a byte takes 10 bits (start, 8 data, stop) once the line is free.
#pragma once

#include "deadline.h"

#include <algorithm>

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

    // The moment the next byte, handed over now, has reached the far end.
    Clock::time_point NextByteDone()
    {
        lineFreeAt_ = std::max(lineFreeAt_, Clock::now()) + byteTime_;
        return lineFreeAt_;
    }

private:
    Clock::duration byteTime_{};
    Clock::time_point lineFreeAt_{};
};

} // namespace lcdm
