// The write-ahead marker of a note-moving pass: written to the settings store before
// the command goes to the device, removed once the device's answer is booked. A marker
// still there (the answer never came, the process died, the power went) means the
// notes it names may have left the machine without being counted: they are in doubt,
// and no note moves until a technician's count settles them.
#pragma once

#include "Plugin/Dispenser/settings.h"

#include <cstdint>
#include <optional>
#include <string>

namespace DispenserControl {

// The subkey of the dispenser's key that holds the marker.
extern const char* const kPendingKey;

struct PendingPass {
    std::string operation;            // "Dispense" or "TestReject"
    std::uint32_t asked[2] = {0, 0};  // notes asked of cassette #1 and #2
    std::string time;                 // local time the pass began, "YYYY-MM-DD HH:MM:SS"

    std::uint32_t Total() const;
};

// The marker, or nothing when no pass is pending or in doubt.
std::optional<PendingPass> ReadPendingPass(const Settings& store);
// Writes a new marker and puts it on stable storage; raises when it cannot. False, with
// nothing written, when a marker is there already (another process's pass may have
// begun since this one looked): one pass never overwrites another's marker.
bool WritePendingPass(Settings& store, const PendingPass& pass);
// Removes the marker (no error when there is none).
void RemovePendingPass(Settings& store);
// A cassette's notes are settled: they leave the marker, which goes once none is left.
void SettlePendingCassette(Settings& store, int number);

// "Выдача купюр невозможна: ..." naming the notes in doubt and the way out.
std::string PendingPassRefusal(const PendingPass& pass);

} // namespace DispenserControl
