// A TCP line server for controlling the simulator at run time: one command per line, one
// reply line per command. The channel itself answers "quit" (OK, then the connection
// closes); every other line goes to the handler, on the channel's own thread.
#pragma once

#include "stop_signal.h"
#include "unique_fd.h"

#include <functional>
#include <string>
#include <thread>

namespace lcdm {

class ControlChannel {
public:
    // Gets a line without its line break; returns the reply line without one.
    using Handler = std::function<std::string(const std::string& line)>;

    static constexpr std::size_t kMaxLineLength = 4096;

    // Listens on "HOST:PORT" (HOST may be a name, an address, "[v6-address]" or empty for
    // 127.0.0.1; PORT 0 takes any free port) and starts serving. Raises
    // std::invalid_argument for a malformed address, std::system_error when it cannot listen.
    ControlChannel(const std::string& address, Handler handler);
    // Stops serving, closes every connection and joins the thread.
    ~ControlChannel();
    ControlChannel(const ControlChannel&) = delete;
    ControlChannel& operator=(const ControlChannel&) = delete;

    // The address actually listened on, numeric: "127.0.0.1:40123" or "[::1]:40123".
    const std::string& Address() const noexcept { return address_; }

private:
    struct Client;

    void Serve();
    bool ServeClient(Client& client); // false when the connection is over
    bool SendLine(Client& client, const std::string& line);

    UniqueFd listener_;
    std::string address_;
    Handler handler_;
    StopSignal stop_;
    std::jthread thread_; // last: it starts when everything above exists
};

} // namespace lcdm
