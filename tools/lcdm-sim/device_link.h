// The device's side of the link protocol, run on the link thread:
//  1. wait for a command frame (resynchronising on EOT; other bytes are noise);
//  2. NAK a damaged frame; ACK a good one (unless a fault says otherwise);
//  3. execute the command note by note, each note taking the configured time;
//  4. send the response and wait for the host's ACK; on NAK send it again, at most
//     kMaxTransmissions times in all; give up on silence (ack time-out) or a new EOT.
#pragma once

#include "bytes.h"
#include "frame_codec.h"
#include "link_io.h"
#include "shared_device.h"

#include <chrono>
#include <deque>
#include <optional>

namespace lcdm {

class DeviceLink {
public:
    static constexpr int kMaxTransmissions = 3;

    // `io` and `device` are borrowed. ackTimeout: how long the device waits for the host's
    // answer to a response before it goes idle.
    DeviceLink(LinkIo& io, SharedDevice& device, std::chrono::milliseconds ackTimeout);

    // Serves the host until the line raises LinkStopped (which it lets through).
    void Run();

private:
    enum class HostReply { Ack, Nak, NewFrame, Silence };

    CommandFrame ReceiveFrame();
    void Serve(const CommandFrame& frame);
    std::optional<Bytes> Execute(const Bytes& command);
    void Respond(const Bytes& response);
    HostReply AwaitHostReply();

    std::optional<std::uint8_t> NextByte(Deadline deadline);
    void Send(RecordKind kind, const Bytes& bytes);
    void FlushNoise();
    void AddNoise(const Bytes& bytes);

    LinkIo& io_;
    SharedDevice& device_;
    const std::chrono::milliseconds ackTimeout_;
    CommandFrameParser parser_;
    std::deque<std::uint8_t> input_; // read from the line, not yet looked at
    Bytes noise_;                    // unexpected bytes not yet recorded
    // When the bytes in `input_` were read, when the frame being parsed began, and when
    // the first of `noise_` came.
    std::chrono::system_clock::time_point readAt_{};
    std::chrono::system_clock::time_point frameReadAt_{};
    std::chrono::system_clock::time_point noiseReadAt_{};
};

} // namespace lcdm
