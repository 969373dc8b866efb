// Counter changes made by people rather than by the device: a count entered by hand
// (the service tool, the setup dialogs, the kiosk's set-up) and a technician's count
// that settles a pass in doubt. Each is one read-modify-write of the counter and
// leaves its record in the operations log, so the journal explains every count.
#pragma once

#include "Plugin/Dispenser/settings.h"

#include <cstdint>

class DispenserLogHandler;

namespace DispenserControl {

// Sets a cassette's (1, 2) or the reject bin's count and writes its COUNT record;
// returns the count it replaced.
std::uint32_t SetCassetteCount(Settings& store, int number, std::uint32_t count, DispenserLogHandler& logs);
std::uint32_t SetRejectCount(Settings& store, std::uint32_t count, DispenserLogHandler& logs);

// What a technician's count may be after a pass in doubt: the counter less the notes
// in doubt (a cassette) or plus them (the reject bin), up to the counter.
struct CountRange {
    std::uint32_t low = 0;
    std::uint32_t high = 0;
    bool Holds(std::uint32_t count) const { return count >= low && count <= high; }
};
CountRange ExpectedCassetteRange(Settings& store, int number);
CountRange ExpectedRejectRange(Settings& store);

struct Reconciliation {
    std::uint32_t previous = 0; // the counter before
    CountRange expected;
    bool inRange = true;
};

// A count a person entered (a setup dialog, the kiosk's set-up): while a pass is in
// doubt it is a reconciliation (RECONCILED, and the cassette's notes in doubt are
// settled), otherwise a count set by hand (COUNT).
void EnterCassetteCount(Settings& store, int number, std::uint32_t count, DispenserLogHandler& logs);
void EnterRejectCount(Settings& store, std::uint32_t count, DispenserLogHandler& logs);

// Writes the counted notes of a cassette, its RECONCILED record (the expected range,
// and whether the count lay outside it; the count wins either way), and settles the
// cassette's notes in doubt.
Reconciliation ReconcileCassette(Settings& store, int number, std::uint32_t counted, DispenserLogHandler& logs);
// The same for the reject bin; the marker is left to the cassettes.
Reconciliation ReconcileReject(Settings& store, std::uint32_t counted, DispenserLogHandler& logs);

} // namespace DispenserControl
