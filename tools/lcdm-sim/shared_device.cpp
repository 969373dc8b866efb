#include "shared_device.h"

#include "frame_codec.h"

namespace lcdm {

SharedDevice::SharedDevice(const DeviceConfig& config) : model_(config) {}

std::size_t SharedDevice::Record(Direction direction, RecordKind kind, const Bytes& bytes,
                                 std::chrono::system_clock::time_point lineAt)
{
    const auto at = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start_);
    std::lock_guard lock(mutex_);
    frames_.push_back({direction, kind, bytes, at, lineAt});
    if (kind == RecordKind::Command || kind == RecordKind::BadFrame)
        ++framesIn_;
    else if (kind == RecordKind::Response)
        ++framesOut_;
    changed_.notify_all();
    return frames_.size() - 1;
}

void SharedDevice::StampLineTime(std::size_t place, std::chrono::system_clock::time_point lineAt)
{
    std::lock_guard lock(mutex_);
    if (place < frames_.size())
        frames_[place].lineAt = lineAt;
    changed_.notify_all();
}

AckDecision SharedDevice::TakeAcknowledgement()
{
    std::lock_guard lock(mutex_);
    return faults_.TakeAcknowledgement();
}

std::uint64_t SharedDevice::BeginCommand(const Bytes& command)
{
    std::lock_guard lock(mutex_);
    model_.Begin(command);
    return generation_;
}

bool SharedDevice::CommandPending(std::uint64_t run) const
{
    std::lock_guard lock(mutex_);
    return run == generation_ && !model_.Finished();
}

void SharedDevice::StepCommand(std::uint64_t run)
{
    std::lock_guard lock(mutex_);
    if (run != generation_)
        return;
    model_.Step();
    changed_.notify_all();
}

std::optional<Bytes> SharedDevice::FinishCommand(std::uint64_t run, std::uint8_t code)
{
    std::lock_guard lock(mutex_);
    if (run != generation_)
        return std::nullopt;
    ++commands_;
    changed_.notify_all();
    Bytes payload = model_.Payload();
    if (faults_.TakeBadPayload())
        CorruptPayload(code, payload);
    if (faults_.TakeOverCount())
        OvercountPayload(code, payload);
    if (faults_.TakeMute())
        return std::nullopt;
    return BuildResponseFrame(code, payload);
}

Bytes SharedDevice::NextTransmission(const Bytes& response)
{
    std::lock_guard lock(mutex_);
    return faults_.Transmission(response);
}

std::chrono::milliseconds SharedDevice::NoteTime() const
{
    std::lock_guard lock(mutex_);
    return noteTime_;
}

void SharedDevice::ReportLinkFailure(const std::string& text)
{
    std::lock_guard lock(mutex_);
    linkFailure_ = text;
    changed_.notify_all();
}

void SharedDevice::ApplyFault(const Fault& fault)
{
    std::lock_guard lock(mutex_);
    if (IsLinkFault(fault.kind)) {
        faults_.Apply(fault);
        return;
    }
    switch (fault.kind) {
    case FaultKind::JamAfter:
        model_.ArmJam(fault.count, fault.code);
        break;
    case FaultKind::Empty:
        model_.SetNotes(fault.cassette, 0);
        break;
    case FaultKind::SetCount:
        model_.SetNotes(fault.cassette, fault.count);
        break;
    case FaultKind::RejectEvery:
        model_.SetRejectEvery(fault.count);
        break;
    case FaultKind::NoteMs:
        noteTime_ = std::chrono::milliseconds(fault.count);
        break;
    case FaultKind::Error:
        model_.SetStickyError(fault.code);
        break;
    case FaultKind::Missing:
        model_.SetPresent(fault.removable, false);
        break;
    case FaultKind::Present:
        model_.SetPresent(fault.removable, true);
        break;
    case FaultKind::Solenoid:
        model_.SetSolenoidFault(fault.count != 0);
        break;
    case FaultKind::Clear:
        faults_ = LinkFaults{};
        model_.ClearFaults();
        noteTime_ = std::chrono::milliseconds(0);
        break;
    default:
        break;
    }
    changed_.notify_all();
}

void SharedDevice::Reset(const DeviceConfig& config)
{
    DeviceModel fresh(config); // validates before anything changes
    std::lock_guard lock(mutex_);
    model_ = std::move(fresh);
    faults_ = LinkFaults{};
    noteTime_ = std::chrono::milliseconds(0);
    ++generation_;
    commands_ = 0;
    framesIn_ = 0;
    framesOut_ = 0;
    frames_.clear();
    changed_.notify_all();
}

GroundTruth SharedDevice::TruthLocked() const
{
    GroundTruth truth;
    truth.model = model_.GetModel();
    truth.cassette1 = model_.Notes(1);
    truth.cassette2 = model_.Notes(2);
    truth.moved = model_.Counters();
    truth.commands = commands_;
    truth.framesIn = framesIn_;
    truth.framesOut = framesOut_;
    truth.frames = frames_;
    truth.linkFailure = linkFailure_;
    return truth;
}

GroundTruth SharedDevice::Truth() const
{
    std::lock_guard lock(mutex_);
    return TruthLocked();
}

std::size_t SharedDevice::CommandsExecuted() const
{
    std::lock_guard lock(mutex_);
    return commands_;
}

bool SharedDevice::WaitUntil(const std::function<bool(const GroundTruth&)>& condition,
                             std::chrono::milliseconds timeout) const
{
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return condition(TruthLocked()); });
}

bool SharedDevice::WaitForCommands(std::size_t count, std::chrono::milliseconds timeout) const
{
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return commands_ >= count; });
}

} // namespace lcdm
