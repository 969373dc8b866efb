// lcdm-sim: an LCDM-1000 / LCDM-2000 banknote dispenser on a Linux pseudo-terminal or on a
// Windows COM port (the device's end of a virtual null-modem pair).
//
// The simulator speaks the device's side of the serial protocol byte for byte: it parses
// command frames, acknowledges them, moves notes one by one, answers with response frames,
// resends on the host's NAK, and records the ground truth (notes taken from each cassette,
// out of the exit, into the reject bin, and every frame and byte in and out). Faults are
// injected by text (see faults.h and `lcdm-sim --help`).
//
// It shares no code with the plug-in: it is built from the C++ library and the system's own
// interfaces (POSIX, or Win32 and Winsock) only, so a fault in one cannot hide in the other.
//
// Threads: the constructor starts a link thread (and a control thread when a control
// address is given). Every method may be called from any thread, except that the object
// is destroyed (and Stop() called) by its owner only.
#pragma once

#include "device_model.h"
#include "ground_truth.h"

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace lcdm {

struct SimulatorOptions {
    DeviceConfig device;                 // model, notes, near-end, over-reject limit, version
    std::string port;                    // serve this existing port (Windows: "COM2"); empty: a new pseudo-terminal
    std::vector<std::string> links;      // symbolic links made to the slave pseudo-terminal
    std::vector<std::string> faults;     // fault texts applied before the device starts
    int paceBaud = 0;                    // 0: no pacing; else each byte written takes 10 bits at this rate
    std::chrono::milliseconds ackTimeout{5000}; // wait for the host's answer to a response
    std::string control;                 // "HOST:PORT" to listen on (port 0: any); empty: no control channel
};

class Simulator {
public:
    // Creates the pseudo-terminal and the links (or opens the port) and the control
    // listener, applies the faults, and starts serving. Raises std::invalid_argument for bad options or faults and
    // std::system_error when a system resource cannot be had.
    explicit Simulator(SimulatorOptions options);
    // Stops serving, joins the threads, removes the links and closes the line.
    ~Simulator();
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    // The line served: the slave pseudo-terminal the host opens ("/dev/pts/7"), or the port.
    const std::string& DevicePath() const;
    // The control channel's numeric address ("127.0.0.1:40123"); empty without one.
    const std::string& ControlAddress() const;

    // Applies one fault ("nak:2", "jam-after:3", ...); std::invalid_argument when bad.
    void Fault(const std::string& text);
    // Fresh device (from the start-up configuration, or `config`), empty ground truth, no
    // faults. A command in progress is dropped without a response.
    void Reset();
    void Reset(const DeviceConfig& config);

    GroundTruth Truth() const;
    std::string TruthJson() const;  // the summary line, as the control channel's "truth"
    std::string FramesJson() const; // the frame log, as the control channel's "frames"
    // Summary line, then one JSON line per frame record. std::system_error when it cannot.
    void WriteGroundTruth(const std::string& path) const;

    // Commands executed (acknowledged and run; a muted one counts) since start or reset.
    std::size_t CommandsExecuted() const;
    // Waits until at least `count` commands have been executed; false on time-out.
    bool WaitForCommands(std::size_t count, std::chrono::milliseconds timeout) const;
    // Waits until `condition` holds for the ground truth (checked at once and after each
    // change, under the simulator's lock: keep it quick); false on time-out.
    bool WaitUntil(const std::function<bool(const GroundTruth&)>& condition, std::chrono::milliseconds timeout) const;

    // Stops serving now (the line and links stay until destruction); the ground
    // truth stays readable. Idempotent.
    void Stop();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace lcdm
