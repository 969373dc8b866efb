#include "control_channel.h"

#include <exception>
#include <stdexcept>

namespace lcdm {

HostAndPort SplitControlAddress(const std::string& address)
{
    const std::size_t colon = address.rfind(':');
    if (colon == std::string::npos || colon + 1 == address.size())
        throw std::invalid_argument("control address must be HOST:PORT, got '" + address + "'");
    HostAndPort split{address.substr(0, colon), address.substr(colon + 1)};
    if (split.host.size() >= 2 && split.host.front() == '[' && split.host.back() == ']')
        split.host = split.host.substr(1, split.host.size() - 2);
    if (split.host.empty())
        split.host = "127.0.0.1";
    return split;
}

ControlConnection::Replies ControlConnection::Take(std::string_view received, const ControlChannel::Handler& handler)
{
    Replies replies;
    input_.append(received);
    for (std::size_t end; (end = input_.find('\n')) != std::string::npos;) {
        std::string line = input_.substr(0, end);
        input_.erase(0, end + 1);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line == "quit") {
            replies.text += "OK\n";
            replies.close = true;
            return replies;
        }
        try {
            replies.text += handler(line);
        } catch (const std::exception& error) {
            replies.text += std::string("ERROR ") + error.what();
        }
        replies.text += '\n';
    }
    if (input_.size() > ControlChannel::kMaxLineLength) {
        replies.text += "ERROR line too long\n";
        replies.close = true;
    }
    return replies;
}

} // namespace lcdm
