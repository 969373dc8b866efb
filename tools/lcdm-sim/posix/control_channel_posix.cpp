#include "control_channel.h"

#include "fd_wait.h"
#include "stop_signal.h"
#include "unique_fd.h"

#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <stdexcept>
#include <thread>
#include <vector>

namespace lcdm {

namespace {

constexpr auto kSendTimeout = std::chrono::seconds(5); // a client that stops reading is dropped

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

UniqueFd Listen(const std::string& address)
{
    const HostAndPort where = SplitControlAddress(address);
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
        return socketFd;
    }
    throw std::system_error(lastError, std::generic_category(), "cannot listen on control address " + address);
}

struct Client {
    UniqueFd fd;
    ControlConnection connection;
};

} // namespace

struct ControlChannel::Impl {
    Impl(const std::string& address, Handler handlerToUse) : listener(Listen(address)), handler(std::move(handlerToUse))
    {
        sockaddr_storage bound{};
        socklen_t length = sizeof bound;
        if (::getsockname(listener.Get(), reinterpret_cast<sockaddr*>(&bound), &length) != 0)
            ThrowSystemError("getsockname");
        boundAddress = NumericAddress(bound, length);
        thread = std::jthread([this](std::stop_token token) {
            const std::stop_callback onStop(token, [this] { stop.Raise(); });
            try {
                Serve();
            } catch (...) {
                // Nothing leaves the thread; the control channel just stops answering.
            }
        });
    }

    void Serve()
    {
        std::vector<std::unique_ptr<Client>> clients;
        for (;;) {
            std::vector<pollfd> entries{{stop.Fd(), POLLIN, 0}, {listener.Get(), POLLIN, 0}};
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
                UniqueFd accepted(::accept4(listener.Get(), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK));
                if (accepted.IsValid())
                    clients.push_back(std::make_unique<Client>(Client{std::move(accepted), {}}));
            }
        }
    }

    // False when the connection is over.
    bool ServeClient(Client& client)
    {
        char buffer[1024];
        const ssize_t got = ::recv(client.fd.Get(), buffer, sizeof buffer, 0);
        if (got == 0)
            return false;
        if (got < 0)
            return errno == EAGAIN || errno == EINTR;
        const ControlConnection::Replies replies =
            client.connection.Take(std::string_view(buffer, static_cast<std::size_t>(got)), handler);
        return SendAll(client.fd.Get(), replies.text) && !replies.close;
    }

    bool SendAll(int fd, const std::string& data)
    {
        const Deadline deadline = Clock::now() + kSendTimeout;
        std::size_t sent = 0;
        while (sent < data.size()) {
            const ssize_t result = ::send(fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
            if (result > 0) {
                sent += static_cast<std::size_t>(result);
                continue;
            }
            if (result < 0 && errno == EINTR)
                continue;
            if (result < 0 && errno != EAGAIN)
                return false;
            if (WaitForFd(fd, POLLOUT, stop, deadline) != WaitResult::Ready)
                return false;
        }
        return true;
    }

    UniqueFd listener;
    const Handler handler;
    std::string boundAddress;
    StopSignal stop;
    std::jthread thread; // last: it starts when everything above exists
};

ControlChannel::ControlChannel(const std::string& address, Handler handler)
    : impl_(std::make_unique<Impl>(address, std::move(handler)))
{
}

// The thread, the Impl's last member, is stopped and joined first.
ControlChannel::~ControlChannel() = default;

const std::string& ControlChannel::Address() const noexcept
{
    return impl_->boundAddress;
}

} // namespace lcdm
