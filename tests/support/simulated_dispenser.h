// The simulated dispenser a test talks to. On POSIX the simulator runs in the test's
// process on a pseudo-terminal of its own; under wine it is the simulator process
// that scripts/with-simulator.sh started, reached through COM1 (and COM10, a second
// name of the same line) and its control channel (LCDM_SIM_CONTROL). Each object
// starts from a fresh device: new counts, no faults, empty ground truth.
#pragma once

#include <memory>
#include <string>

// What the device did, as the simulator counts it.
struct SimulatorTruth {
    unsigned cassette1 = 0; // notes left in the upper cassette
    unsigned cassette2 = 0;
    unsigned taken1 = 0;    // notes picked from the upper cassette
    unsigned taken2 = 0;
    unsigned exit1 = 0;     // notes that left through the exit
    unsigned exit2 = 0;
    unsigned rejected1 = 0; // notes of the upper cassette that went to the reject bin
    unsigned rejected2 = 0;
    unsigned rejectBin = 0; // notes in the reject bin
    unsigned inPath = 0;    // notes a jam holds in the transport until a purge
    unsigned commands = 0;  // commands executed
    unsigned framesIn = 0;  // command frames received from the host, good and bad
    unsigned framesOut = 0; // response frames sent, resends included
};

class SimulatedDispenser {
public:
    explicit SimulatedDispenser(const std::string& model = "LCDM-2000", unsigned cassette1 = 100,
                                unsigned cassette2 = 100);
    ~SimulatedDispenser();
    SimulatedDispenser(const SimulatedDispenser&) = delete;
    SimulatedDispenser& operator=(const SimulatedDispenser&) = delete;

    // The port name to configure: the pseudo-terminal's path, or "COM1" under wine.
    std::string PortName() const;
    // A second name of the same line that needs the device prefix: "COM10" under wine;
    // on POSIX the path again.
    std::string LongPortName() const;

    // A fault in the simulator's own words (nak:N, bad-bcc:N, mute:N, ...).
    void Fault(const std::string& spec);
    SimulatorTruth Truth();

    struct Connection;

private:
    std::unique_ptr<Connection> connection_;
};

// Reads "key":number from a one-line JSON object; 0 when absent.
unsigned JsonNumber(const std::string& json, const std::string& key);
SimulatorTruth ParseTruth(const std::string& json);
