// The dispenser itself: its cassettes, reject bin and sensors, and what each command does
// to them, note by note. Not locked: the simulator calls it under its own lock.
#pragma once

#include "bytes.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace lcdm {

enum class Model { Lcdm1000, Lcdm2000 };

// Command codes the device knows; any other code is answered "Undefined command".
namespace command_code {
constexpr std::uint8_t kPurge = 0x44;
constexpr std::uint8_t kDispense = 0x45;        // upper cassette: two count digits
constexpr std::uint8_t kStatus = 0x46;
constexpr std::uint8_t kVersion = 0x47;
constexpr std::uint8_t kDispenseBoth = 0x56;    // LCDM-2000: upper then lower, two digits each
constexpr std::uint8_t kTestRejectUpper = 0x76;
constexpr std::uint8_t kTestRejectLower = 0x77; // LCDM-2000
} // namespace command_code

std::string ModelName(Model model);          // "LCDM-1000" or "LCDM-2000"
Model ParseModel(const std::string& name);   // either name, any letter case; else std::invalid_argument

// How a device starts (and restarts on a reset).
struct DeviceConfig {
    Model model = Model::Lcdm2000;
    int cassette1 = 100;       // notes in the upper cassette
    int cassette2 = 100;       // notes in the lower cassette (an LCDM-1000 never uses it)
    int nearEnd = 20;          // notes: a cassette holding fewer is near its end
    int overRejectLimit = 10;  // rejects one dispense may make; one more stops it with "Over Reject"
    std::string version = "V1.2"; // firmware version text: 1 to 8 printable ASCII characters
};

// Raises std::invalid_argument naming the first value out of range.
void ValidateConfig(const DeviceConfig& config);

enum class Removable { Cassette1, Cassette2, RejectTray };

// Notes moved since the start or the last reset, counted at the moment each note moves.
// Index 0 is the upper cassette (1), index 1 the lower one (2).
struct NoteCounters {
    std::array<int, 2> taken{};    // picked out of the cassette
    std::array<int, 2> exited{};   // left the device through the exit
    std::array<int, 2> rejected{}; // went into the reject bin (dispense rejects, test rejects, purges)
    std::array<int, 2> inPath{};   // stuck in the transport after a jam, until a purge
    int rejectBin = 0;             // went into the reject bin, all cassettes together
};

class DeviceModel {
public:
    explicit DeviceModel(const DeviceConfig& config); // raises std::invalid_argument via ValidateConfig

    // Starts one command (its code first, then its parameters), dropping one still running.
    // Commands that move no notes are complete at once.
    void Begin(const Bytes& command);
    // True when the command begun last needs no more steps and its payload is final.
    bool Finished() const;
    // One note's worth of work: picks the next note and sends it to the exit or the
    // reject bin, or finds its cassette empty, or jams. Does nothing once finished.
    void Step();
    // The response payload of the command begun last (complete once Finished()).
    Bytes Payload() const;

    // Faults and changes of state, effective at once.
    void SetNotes(int cassette, int notes);              // cassette 1 or 2
    void SetPresent(Removable unit, bool present);
    void SetSolenoidFault(bool faulty);
    void ArmJam(int afterNotes, std::uint8_t code);      // the next dispense jams after that many picks
    void SetRejectEvery(int every);                      // reject every Nth note a dispense picks; 0 = none
    void SetStickyError(std::uint8_t code);              // reported by status; 0x30 clears
    void ClearFaults();                                  // jam, rejects, solenoid and sticky error

    Model GetModel() const { return config_.model; }
    int Notes(int cassette) const { return notes_.at(static_cast<std::size_t>(cassette - 1)); }
    const NoteCounters& Counters() const { return counters_; }

private:
    struct Jam {
        int afterNotes;
        std::uint8_t code;
    };
    enum class RunKind { Immediate, Dispense, TestReject };
    // One command in progress.
    struct Run {
        RunKind kind = RunKind::Immediate;
        std::uint8_t code = 0;
        Bytes payload; // immediate commands only
        bool finished = true;
        std::uint8_t error = 0x30;
        std::array<int, 2> requested{};
        std::array<int, 2> checked{};
        std::array<int, 2> exited{};
        std::array<int, 2> rejected{};
        std::array<bool, 2> stopped{};
        int picks = 0;
        int rejects = 0;
        std::optional<Jam> jam;
        std::size_t cassette = 0; // test reject: which one
    };

    void BeginDispense(const Bytes& command);
    void BeginTestReject(std::size_t cassette);
    void StepDispense();
    void StepTestReject();
    std::optional<std::size_t> NextDispenseCassette() const;
    bool HasCassette(std::size_t index) const;
    bool NearEnd(std::size_t index) const;
    std::uint8_t StatusByte(std::size_t index) const;
    std::uint8_t BlockingError(const std::array<int, 2>& requested) const;
    Bytes StatusPayload() const;
    Bytes VersionPayload() const;
    Bytes PurgePayload();
    Bytes DispensePayload() const;
    Bytes TestRejectPayload() const;

    DeviceConfig config_;
    std::array<int, 2> notes_{};
    std::array<bool, 2> cassettePresent_{true, true};
    bool trayPresent_ = true;
    bool solenoidFault_ = false;
    std::uint8_t stickyError_ = 0x30;
    std::optional<Jam> armedJam_;
    std::optional<std::uint8_t> jammedAt_; // code of the jam holding a note in the transport
    int rejectEvery_ = 0;
    NoteCounters counters_;
    Run run_;
};

} // namespace lcdm
