// The device's end of the serial line the host talks to: a new pseudo-terminal or an
// existing terminal (POSIX), or a COM port of a virtual null-modem pair (Windows). One
// backend file per platform.
#pragma once

#include "link_io.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace lcdm {

struct EndpointOptions {
    std::string port;               // serve this existing port; empty: a new pseudo-terminal
    std::vector<std::string> links; // symbolic links made to a new pseudo-terminal
    int paceBaud = 0;               // 0: no pacing
};

class LineEndpoint {
public:
    // Opens the line. Raises std::invalid_argument for options the platform cannot take
    // and std::system_error when the line cannot be had.
    explicit LineEndpoint(const EndpointOptions& options);
    ~LineEndpoint();
    LineEndpoint(const LineEndpoint&) = delete;
    LineEndpoint& operator=(const LineEndpoint&) = delete;

    // What the simulator serves, as its READY line names it: the pseudo-terminal's path
    // ("/dev/pts/7") or the port ("COM2").
    const std::string& Path() const;

    // Runs `serve` with the line on the calling thread (one thread at a time); every wait
    // of the line raises LinkStopped once RequestStop() was called.
    void Serve(const std::function<void(LinkIo&)>& serve);
    // Any thread, any number of times.
    void RequestStop() noexcept;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace lcdm
