// A TCP line server for controlling the simulator at run time: one command per line, one
// reply line per command. The channel itself answers "quit" (OK, then the connection
// closes); every other line goes to the handler, on the channel's own thread. The sockets
// are one backend file per platform; the line handling is shared.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

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
    const std::string& Address() const noexcept;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// ---- Shared by the backends.

struct HostAndPort {
    std::string host;
    std::string port;
};

// "HOST:PORT" split, brackets taken off a v6 address, an empty host made 127.0.0.1;
// std::invalid_argument when there is no port.
HostAndPort SplitControlAddress(const std::string& address);

// One connection's input: bytes in, reply lines out.
class ControlConnection {
public:
    struct Replies {
        std::string text;   // reply lines to send, each ending "\n"
        bool close = false; // after "quit" or a line too long: close once the text is sent
    };

    // Takes what arrived and answers every complete line (a trailing CR is dropped).
    Replies Take(std::string_view received, const ControlChannel::Handler& handler);

private:
    std::string input_;
};

} // namespace lcdm
