// The dispenser's frames as the device sees them: command frames parsed out of the host's
// byte stream, response frames built for the host.
//
// Command frame:  EOT 0x50 STX command-code parameters... ETX BCC
// Response frame: SOH 0x50 STX echo payload... ETX BCC
// BCC is the exclusive-or of every byte from the first (EOT or SOH) through ETX.
#pragma once

#include "bytes.h"

#include <cstddef>
#include <cstdint>
#include <optional>

namespace lcdm {

namespace wire {
constexpr std::uint8_t kSoh = 0x01;
constexpr std::uint8_t kStx = 0x02;
constexpr std::uint8_t kEtx = 0x03;
constexpr std::uint8_t kEot = 0x04;
constexpr std::uint8_t kAck = 0x06;
constexpr std::uint8_t kNak = 0x15;
constexpr std::uint8_t kId = 0x50;
} // namespace wire

// Exclusive-or of the bytes [begin, end), starting from 0.
std::uint8_t BlockCheck(Bytes::const_iterator begin, Bytes::const_iterator end);

// SOH ID STX echo payload ETX BCC.
Bytes BuildResponseFrame(std::uint8_t echo, const Bytes& payload);

struct CommandFrame {
    Bytes raw;     // every byte received, EOT through BCC
    bool valid{};  // ID, STX, a command code, ETX and BCC all right
    Bytes command; // command code then its parameters; empty for an invalid frame
};

// Cuts the host's byte stream into command frames. A frame begins at EOT and ends with
// the byte after its ETX (the BCC). Bytes outside a frame, and an unfinished frame that a
// new EOT interrupts, are discarded (and handed out by TakeDiscarded). A frame that grows
// past kMaxFrameLength without ETX ends there as an invalid frame.
class CommandFrameParser {
public:
    static constexpr std::size_t kMaxFrameLength = 64;

    // Feeds one byte; returns the frame it completes, if any.
    std::optional<CommandFrame> Push(std::uint8_t byte);

    // The bytes discarded since the last call, in arrival order.
    Bytes TakeDiscarded();

    // Whether a frame has begun (its EOT seen) and is not complete yet.
    bool InFrame() const { return inFrame_; }

private:
    CommandFrame Finish();

    Bytes frame_;
    bool inFrame_ = false;
    bool awaitingBcc_ = false;
    Bytes discarded_;
};

} // namespace lcdm
