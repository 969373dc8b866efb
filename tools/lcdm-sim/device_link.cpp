#include "device_link.h"

#include <array>

namespace lcdm {

DeviceLink::DeviceLink(LinkIo& io, SharedDevice& device, std::chrono::milliseconds ackTimeout)
    : io_(io), device_(device), ackTimeout_(ackTimeout)
{
}

void DeviceLink::Run()
{
    for (;;)
        Serve(ReceiveFrame());
}

std::optional<std::uint8_t> DeviceLink::NextByte(Deadline deadline)
{
    if (input_.empty()) {
        // Noise is recorded as one piece per burst: whatever came before the line went quiet.
        FlushNoise();
        std::array<std::uint8_t, 256> buffer{};
        const std::size_t got = io_.Read(buffer.data(), buffer.size(), deadline);
        if (got == 0)
            return std::nullopt;
        input_.insert(input_.end(), buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(got));
        readAt_ = std::chrono::system_clock::now();
    }
    const std::uint8_t byte = input_.front();
    input_.pop_front();
    return byte;
}

void DeviceLink::FlushNoise()
{
    if (noise_.empty())
        return;
    device_.Record(Direction::In, RecordKind::Noise, noise_, noiseReadAt_);
    noise_.clear();
}

void DeviceLink::AddNoise(const Bytes& bytes)
{
    if (bytes.empty())
        return;
    if (noise_.empty())
        noiseReadAt_ = readAt_;
    noise_.insert(noise_.end(), bytes.begin(), bytes.end());
}

void DeviceLink::Send(RecordKind kind, const Bytes& bytes)
{
    // Recorded first: whatever the host has received is in the ground truth already.
    const std::size_t place = device_.Record(Direction::Out, kind, bytes);
    io_.Write(bytes);
    device_.StampLineTime(place, std::chrono::system_clock::now());
}

CommandFrame DeviceLink::ReceiveFrame()
{
    for (;;) {
        const auto byte = NextByte(std::nullopt);
        if (!byte)
            continue;
        if (!parser_.InFrame())
            frameReadAt_ = readAt_;
        auto frame = parser_.Push(*byte);
        const Bytes discarded = parser_.TakeDiscarded();
        AddNoise(discarded);
        if (frame) {
            FlushNoise();
            return std::move(*frame);
        }
    }
}

void DeviceLink::Serve(const CommandFrame& frame)
{
    device_.Record(Direction::In, frame.valid ? RecordKind::Command : RecordKind::BadFrame, frame.raw, frameReadAt_);
    if (!frame.valid) {
        Send(RecordKind::Nak, {wire::kNak});
        return;
    }
    const AckDecision ack = device_.TakeAcknowledgement();
    switch (ack.kind) {
    case Acknowledgement::Silent:
        return;
    case Acknowledgement::Nak:
        Send(RecordKind::Nak, {wire::kNak});
        return;
    case Acknowledgement::Other:
        Send(RecordKind::OtherAck, {ack.byte});
        return;
    case Acknowledgement::Ack:
        break;
    }
    Send(RecordKind::Ack, {wire::kAck});
    if (const auto response = Execute(frame.command))
        Respond(*response);
}

std::optional<Bytes> DeviceLink::Execute(const Bytes& command)
{
    const std::uint64_t run = device_.BeginCommand(command);
    // A note is counted when it is picked; then it takes its time through the device.
    while (device_.CommandPending(run)) {
        device_.StepCommand(run);
        io_.Pause(device_.NoteTime());
    }
    return device_.FinishCommand(run, command.front());
}

void DeviceLink::Respond(const Bytes& response)
{
    for (int transmission = 1;; ++transmission) {
        Send(RecordKind::Response, device_.NextTransmission(response));
        const HostReply reply = AwaitHostReply();
        if (reply != HostReply::Nak || transmission == kMaxTransmissions)
            return;
    }
}

DeviceLink::HostReply DeviceLink::AwaitHostReply()
{
    const Deadline deadline = Clock::now() + ackTimeout_;
    for (;;) {
        const auto byte = NextByte(deadline);
        if (!byte) {
            FlushNoise();
            return HostReply::Silence;
        }
        switch (*byte) {
        case wire::kAck:
            FlushNoise();
            device_.Record(Direction::In, RecordKind::Ack, {*byte}, readAt_);
            return HostReply::Ack;
        case wire::kNak:
            FlushNoise();
            device_.Record(Direction::In, RecordKind::Nak, {*byte}, readAt_);
            return HostReply::Nak;
        case wire::kEot:
            // The host has moved on to its next command: this one is over.
            input_.push_front(*byte);
            FlushNoise();
            return HostReply::NewFrame;
        default:
            AddNoise({*byte});
            break;
        }
    }
}

} // namespace lcdm
