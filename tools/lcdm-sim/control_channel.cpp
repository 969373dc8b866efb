#include "control_channel.h"

#include "fd_wait.h"

#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <stdexcept>
#include <vector>

namespace lcdm {

namespace {

constexpr auto kSendTimeout = std::chrono::seconds(5); // a client that stops reading is dropped

struct HostAndPort {
    std::string host;
    std::string port;
};

HostAndPort SplitAddress(const std::string& address)
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

std::string NumericAddress(const sockaddr_storage& address, socklen_t length)
{
    char host[NI_MAXHOST];
    char port[NI_MAXSERV];
    if (::getnameinfo(reinterpret_cast<const sockaddr*>(&address), length, host, sizeof host, port, sizeof port,
                      NI_NUMERICHOST | NI_NUMERICSERV) != 0)
        throw std::runtime_error("getnameinfo failed for the control address");
    const std::string hostText = address.ss_family == AF_INET6 ? "[" + std::string(host) + "]" : std::string(host);
    return hostText + ":" + port;
}

} // namespace

struct ControlChannel::Client {
    UniqueFd fd;
    std::string input;
};

ControlChannel::ControlChannel(const std::string& address, Handler handler) : handler_(std::move(handler))
{
    const HostAndPort where = SplitAddress(address);
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE;
    addrinfo* found = nullptr;
    if (const int error = ::getaddrinfo(where.host.c_str(), where.port.c_str(), &hints, &found); error != 0)
        throw std::invalid_argument("control address '" + address + "': " + ::gai_strerror(error));
    const std::unique_ptr<addrinfo, decltype(&::freeaddrinfo)> addresses(found, &::freeaddrinfo);

    int lastError = EADDRNOTAVAIL;
    for (const addrinfo* candidate = found; candidate != nullptr; candidate = candidate->ai_next) {
        UniqueFd socketFd(::socket(candidate->ai_family, candidate->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK,
                                   candidate->ai_protocol));
        if (!socketFd.IsValid()) {
            lastError = errno;
            continue;
        }
        const int yes = 1;
        ::setsockopt(socketFd.Get(), SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        if (::bind(socketFd.Get(), candidate->ai_addr, candidate->ai_addrlen) != 0 || ::listen(socketFd.Get(), 8) != 0) {
            lastError = errno;
            continue;
        }
        listener_ = std::move(socketFd);
        break;
    }
    if (!listener_.IsValid())
        throw std::system_error(lastError, std::generic_category(), "cannot listen on control address " + address);

    sockaddr_storage bound{};
    socklen_t length = sizeof bound;
    if (::getsockname(listener_.Get(), reinterpret_cast<sockaddr*>(&bound), &length) != 0)
        ThrowSystemError("getsockname");
    address_ = NumericAddress(bound, length);

    thread_ = std::jthread([this](std::stop_token token) {
        const std::stop_callback onStop(token, [this] { stop_.Raise(); });
        try {
            Serve();
        } catch (...) {
            // Nothing leaves the thread; the control channel just stops answering.
        }
    });
}

ControlChannel::~ControlChannel()
{
    thread_.request_stop();
    if (thread_.joinable())
        thread_.join();
}

void ControlChannel::Serve()
{
    std::vector<std::unique_ptr<Client>> clients;
    for (;;) {
        std::vector<pollfd> entries{{stop_.Fd(), POLLIN, 0}, {listener_.Get(), POLLIN, 0}};
        for (const auto& client : clients)
            entries.push_back({client->fd.Get(), POLLIN, 0});
        if (::poll(entries.data(), entries.size(), -1) < 0) {
            if (errno == EINTR)
                continue;
            ThrowSystemError("poll (control channel)");
        }
        if (entries[0].revents != 0)
            return;
        // Serve the connections that have input; drop those that are over.
        for (std::size_t i = clients.size(); i-- > 0;) {
            if (entries[i + 2].revents != 0 && !ServeClient(*clients[i]))
                clients.erase(clients.begin() + static_cast<std::ptrdiff_t>(i));
        }
        if (entries[1].revents != 0) {
            UniqueFd accepted(::accept4(listener_.Get(), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK));
            if (accepted.IsValid())
                clients.push_back(std::make_unique<Client>(Client{std::move(accepted), {}}));
        }
    }
}

bool ControlChannel::ServeClient(Client& client)
{
    char buffer[1024];
    const ssize_t got = ::recv(client.fd.Get(), buffer, sizeof buffer, 0);
    if (got == 0)
        return false;
    if (got < 0)
        return errno == EAGAIN || errno == EINTR;
    client.input.append(buffer, static_cast<std::size_t>(got));
    for (std::size_t end; (end = client.input.find('\n')) != std::string::npos;) {
        std::string line = client.input.substr(0, end);
        client.input.erase(0, end + 1);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line == "quit") {
            SendLine(client, "OK");
            return false;
        }
        std::string reply;
        try {
            reply = handler_(line);
        } catch (const std::exception& error) {
            reply = std::string("ERROR ") + error.what();
        }
        if (!SendLine(client, reply))
            return false;
    }
    if (client.input.size() > kMaxLineLength) {
        SendLine(client, "ERROR line too long");
        return false;
    }
    return true;
}

bool ControlChannel::SendLine(Client& client, const std::string& line)
{
    const std::string data = line + "\n";
    const Deadline deadline = Clock::now() + kSendTimeout;
    std::size_t sent = 0;
    while (sent < data.size()) {
        const ssize_t result = ::send(client.fd.Get(), data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
        if (result > 0) {
            sent += static_cast<std::size_t>(result);
            continue;
        }
        if (result < 0 && errno == EINTR)
            continue;
        if (result < 0 && errno != EAGAIN)
            return false;
        if (WaitForFd(client.fd.Get(), POLLOUT, stop_, deadline) != WaitResult::Ready)
            return false;
    }
    return true;
}

} // namespace lcdm
