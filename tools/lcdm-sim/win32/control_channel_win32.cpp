#include "control_channel.h"

// Winsock before windows.h.
#include <winsock2.h>
#include <ws2tcpip.h>

#include "deadline.h"
#include "win32_handle.h"

#include <memory>
#include <stdexcept>
#include <thread>
#include <vector>

namespace lcdm {

namespace {

constexpr auto kSendTimeout = std::chrono::seconds(5); // a client that stops reading is dropped
// WaitForMultipleObjects takes 64 handles: the stop event, the listener and 62 clients.
constexpr std::size_t kMaxClients = MAXIMUM_WAIT_OBJECTS - 2;

[[noreturn]] void ThrowSocketError(const std::string& call)
{
    throw std::system_error(::WSAGetLastError(), std::system_category(), call);
}

class WinsockSession {
public:
    WinsockSession()
    {
        WSADATA data{};
        if (const int error = ::WSAStartup(MAKEWORD(2, 2), &data); error != 0)
            throw std::system_error(error, std::system_category(), "WSAStartup");
    }
    ~WinsockSession() { ::WSACleanup(); }
    WinsockSession(const WinsockSession&) = delete;
    WinsockSession& operator=(const WinsockSession&) = delete;
};

struct SocketTraits {
    using Value = SOCKET;
    static SOCKET Empty() noexcept { return INVALID_SOCKET; }
    static bool IsHeld(SOCKET socket) noexcept { return socket != INVALID_SOCKET; }
    static void Close(SOCKET socket) noexcept { ::closesocket(socket); }
};

using UniqueSocket = UniqueResource<SocketTraits>;

// A socket with an event that its network events set (the socket turns non-blocking).
struct WatchedSocket {
    WatchedSocket(UniqueSocket socketToWatch, long events)
        : socket(std::move(socketToWatch)), event(::CreateEventW(nullptr, TRUE, FALSE, nullptr))
    {
        if (!event.IsValid())
            ThrowWin32Error("CreateEventW");
        if (::WSAEventSelect(socket.Get(), event.Get(), events) != 0)
            ThrowSocketError("WSAEventSelect");
    }

    // Resets the event; returns the events that happened.
    long TakeEvents()
    {
        WSANETWORKEVENTS happened{};
        if (::WSAEnumNetworkEvents(socket.Get(), event.Get(), &happened) != 0)
            return FD_CLOSE;
        return happened.lNetworkEvents;
    }

    UniqueSocket socket;
    UniqueHandle event;
    ControlConnection connection;
};

std::string NumericAddress(const sockaddr_storage& address, int length)
{
    char host[NI_MAXHOST];
    char port[NI_MAXSERV];
    if (::getnameinfo(reinterpret_cast<const sockaddr*>(&address), length, host, sizeof host, port, sizeof port,
                      NI_NUMERICHOST | NI_NUMERICSERV) != 0)
        throw std::runtime_error("getnameinfo failed for the control address");
    const std::string hostText = address.ss_family == AF_INET6 ? "[" + std::string(host) + "]" : std::string(host);
    return hostText + ":" + port;
}

UniqueSocket Listen(const std::string& address)
{
    const HostAndPort where = SplitControlAddress(address);
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE;
    addrinfo* found = nullptr;
    if (const int error = ::getaddrinfo(where.host.c_str(), where.port.c_str(), &hints, &found); error != 0)
        throw std::invalid_argument("control address '" + address + "': " + std::system_category().message(error));
    const std::unique_ptr<addrinfo, decltype(&::freeaddrinfo)> addresses(found, &::freeaddrinfo);

    int lastError = WSAEADDRNOTAVAIL;
    for (const addrinfo* candidate = found; candidate != nullptr; candidate = candidate->ai_next) {
        UniqueSocket socket(::socket(candidate->ai_family, candidate->ai_socktype, candidate->ai_protocol));
        if (!socket.IsValid()) {
            lastError = ::WSAGetLastError();
            continue;
        }
        // Another process must not take over the port while it is in use.
        const BOOL exclusive = TRUE;
        ::setsockopt(socket.Get(), SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&exclusive),
                     sizeof exclusive);
        if (::bind(socket.Get(), candidate->ai_addr, static_cast<int>(candidate->ai_addrlen)) != 0 ||
            ::listen(socket.Get(), 8) != 0) {
            lastError = ::WSAGetLastError();
            continue;
        }
        return socket;
    }
    throw std::system_error(lastError, std::system_category(), "cannot listen on control address " + address);
}

} // namespace

struct ControlChannel::Impl {
    Impl(const std::string& address, Handler handlerToUse)
        : listener(Listen(address), FD_ACCEPT), handler(std::move(handlerToUse)), stop(MakeStopEvent())
    {
        sockaddr_storage bound{};
        int length = sizeof bound;
        if (::getsockname(listener.socket.Get(), reinterpret_cast<sockaddr*>(&bound), &length) != 0)
            ThrowSocketError("getsockname");
        boundAddress = NumericAddress(bound, length);
        thread = std::jthread([this](std::stop_token token) {
            const std::stop_callback onStop(token, [this] { ::SetEvent(stop.Get()); });
            try {
                Serve();
            } catch (...) {
                // Nothing leaves the thread; the control channel just stops answering.
            }
        });
    }

    void Serve()
    {
        std::vector<std::unique_ptr<WatchedSocket>> clients;
        for (;;) {
            std::vector<HANDLE> handles{stop.Get(), listener.event.Get()};
            for (const auto& client : clients)
                handles.push_back(client->event.Get());
            const DWORD woken =
                ::WaitForMultipleObjects(static_cast<DWORD>(handles.size()), handles.data(), FALSE, INFINITE);
            if (woken == WAIT_OBJECT_0 || woken == WAIT_FAILED)
                return;
            // Serve the connections that have input; drop those that are over.
            for (std::size_t i = clients.size(); i-- > 0;) {
                if (::WaitForSingleObject(clients[i]->event.Get(), 0) == WAIT_OBJECT_0 && !ServeClient(*clients[i]))
                    clients.erase(clients.begin() + static_cast<std::ptrdiff_t>(i));
            }
            if ((listener.TakeEvents() & FD_ACCEPT) != 0) {
                UniqueSocket accepted(::accept(listener.socket.Get(), nullptr, nullptr));
                if (accepted.IsValid() && clients.size() < kMaxClients)
                    clients.push_back(std::make_unique<WatchedSocket>(std::move(accepted), FD_READ | FD_CLOSE));
            }
        }
    }

    // False when the connection is over. Reads all there is: a close is reported once.
    bool ServeClient(WatchedSocket& client)
    {
        client.TakeEvents();
        for (;;) {
            char buffer[1024];
            const int got = ::recv(client.socket.Get(), buffer, sizeof buffer, 0);
            if (got == 0)
                return false;
            if (got < 0)
                return ::WSAGetLastError() == WSAEWOULDBLOCK;
            const ControlConnection::Replies replies =
                client.connection.Take(std::string_view(buffer, static_cast<std::size_t>(got)), handler);
            if (!SendAll(client.socket.Get(), replies.text) || replies.close)
                return false;
        }
    }

    bool SendAll(SOCKET socket, const std::string& data) const
    {
        const Clock::time_point deadline = Clock::now() + kSendTimeout;
        std::size_t sent = 0;
        while (sent < data.size()) {
            const int result = ::send(socket, data.data() + sent, static_cast<int>(data.size() - sent), 0);
            if (result > 0) {
                sent += static_cast<std::size_t>(result);
                continue;
            }
            if (result < 0 && ::WSAGetLastError() != WSAEWOULDBLOCK)
                return false;
            // No room: wait a little for it, watching the stop event.
            if (Clock::now() >= deadline || ::WaitForSingleObject(stop.Get(), 10) == WAIT_OBJECT_0)
                return false;
        }
        return true;
    }

    WinsockSession winsock; // first: the sockets below need it
    WatchedSocket listener;
    const Handler handler;
    UniqueHandle stop;
    std::string boundAddress;
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
