// The serial line as the device's protocol sees it: read with a deadline, write, and pass
// time. A pseudo-terminal or terminal (POSIX) or a COM port (Windows) implements it; the
// protocol never touches a descriptor or a handle.
#pragma once

#include "bytes.h"
#include "deadline.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <exception>

namespace lcdm {

// Raised out of every LinkIo call once the simulator is stopping; ends the link thread.
class LinkStopped : public std::exception {
public:
    const char* what() const noexcept override { return "the simulator is stopping"; }
};

class LinkIo {
public:
    virtual ~LinkIo() = default;

    // Waits for input and returns the bytes that have arrived (at most `size`), or 0 when
    // the deadline passes first (nullopt: no limit).
    virtual std::size_t Read(std::uint8_t* buffer, std::size_t size, Deadline deadline) = 0;
    // Returns when every byte is on the line.
    virtual void Write(const Bytes& bytes) = 0;
    // Lets `time` pass (a note moving through the device).
    virtual void Pause(std::chrono::milliseconds time) = 0;
};

} // namespace lcdm
