// The simulator's state that its threads share, under one lock: the device model, the
// pending faults and the ground truth. The link thread drives commands through it; the
// API and the control channel change faults, reset and read the truth. Every method may
// be called from any thread.
#pragma once

#include "bytes.h"
#include "device_model.h"
#include "faults.h"
#include "ground_truth.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>

namespace lcdm {

class SharedDevice {
public:
    explicit SharedDevice(const DeviceConfig& config); // std::invalid_argument for a bad config

    // ---- Used by the link thread.
    // Returns the record's place, for StampLineTime.
    std::size_t Record(Direction direction, RecordKind kind, const Bytes& bytes,
                       std::chrono::system_clock::time_point lineAt = {});
    // Sets the line time of the record at `place` (nothing when a reset has dropped it).
    void StampLineTime(std::size_t place, std::chrono::system_clock::time_point lineAt);
    AckDecision TakeAcknowledgement();

    // A command's run is identified by the value BeginCommand returns; a reset in between
    // drops it: CommandPending turns false, StepCommand does nothing, FinishCommand gives nullopt.
    std::uint64_t BeginCommand(const Bytes& command);
    bool CommandPending(std::uint64_t run) const;
    void StepCommand(std::uint64_t run);
    // Counts the command (code `code`) as executed and returns its response frame; nullopt
    // when the response is muted or the run was dropped. Applies a pending bad-payload fault.
    std::optional<Bytes> FinishCommand(std::uint64_t run, std::uint8_t code);
    // The bytes of the next transmission of `response`, after the transmission faults.
    Bytes NextTransmission(const Bytes& response);
    std::chrono::milliseconds NoteTime() const;
    void ReportLinkFailure(const std::string& text);

    // ---- Used by the API and the control channel.
    void ApplyFault(const Fault& fault); // std::invalid_argument when it does not fit the state
    // Fresh device from `config`, empty ground truth, no faults; a command in progress is dropped.
    void Reset(const DeviceConfig& config);
    GroundTruth Truth() const;
    std::size_t CommandsExecuted() const;
    // Blocks until `condition` holds for the ground truth (checked at once and at every
    // change) or the time-out passes; returns whether it holds.
    bool WaitUntil(const std::function<bool(const GroundTruth&)>& condition, std::chrono::milliseconds timeout) const;
    bool WaitForCommands(std::size_t count, std::chrono::milliseconds timeout) const;

private:
    GroundTruth TruthLocked() const;

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    DeviceModel model_;
    LinkFaults faults_;
    std::chrono::milliseconds noteTime_{0};
    std::uint64_t generation_ = 0;
    std::size_t commands_ = 0;
    std::size_t framesIn_ = 0;
    std::size_t framesOut_ = 0;
    std::vector<FrameRecord> frames_;
    std::string linkFailure_;
    const std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

} // namespace lcdm
