// The simulator process of the wine session, reached over its TCP control channel.
#include "tests/support/simulated_dispenser.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstdlib>
#include <stdexcept>

namespace {

std::string Environment(const char* name, const char* fallback)
{
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? value : fallback;
}

} // namespace

struct SimulatedDispenser::Connection {
    SOCKET socket = INVALID_SOCKET;
    std::string pending;

    Connection()
    {
        WSADATA data;
        if (WSAStartup(MAKEWORD(2, 2), &data) != 0)
            throw std::runtime_error("WSAStartup failed");
        const std::string control = Environment("LCDM_SIM_CONTROL", "");
        const std::size_t colon = control.rfind(':');
        if (colon == std::string::npos)
            throw std::runtime_error("LCDM_SIM_CONTROL is not set: run under scripts/with-simulator.sh");
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<u_short>(std::stoi(control.substr(colon + 1))));
        inet_pton(AF_INET, control.substr(0, colon).c_str(), &address.sin_addr);
        socket = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        if (socket == INVALID_SOCKET ||
            connect(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
            throw std::runtime_error("cannot reach the simulator at " + control);
    }

    ~Connection()
    {
        if (socket != INVALID_SOCKET)
            closesocket(socket);
        WSACleanup();
    }

    std::string Ask(const std::string& command)
    {
        const std::string line = command + "\n";
        if (send(socket, line.data(), static_cast<int>(line.size()), 0) != static_cast<int>(line.size()))
            throw std::runtime_error("the simulator's control channel broke");
        for (;;) {
            const std::size_t end = pending.find('\n');
            if (end != std::string::npos) {
                std::string reply = pending.substr(0, end);
                pending.erase(0, end + 1);
                if (!reply.empty() && reply.back() == '\r')
                    reply.pop_back();
                if (reply.rfind("ERROR", 0) == 0)
                    throw std::runtime_error("simulator: " + reply);
                return reply;
            }
            char buffer[4096];
            const int got = recv(socket, buffer, sizeof buffer, 0);
            if (got <= 0)
                throw std::runtime_error("the simulator's control channel closed");
            pending.append(buffer, static_cast<std::size_t>(got));
        }
    }
};

SimulatedDispenser::SimulatedDispenser(const std::string& model, unsigned cassette1, unsigned cassette2)
    : connection_(std::make_unique<Connection>())
{
    connection_->Ask("reset model=" + model + " cassette1=" + std::to_string(cassette1) +
                     " cassette2=" + std::to_string(cassette2));
}

SimulatedDispenser::~SimulatedDispenser() = default;

std::string SimulatedDispenser::PortName() const
{
    return Environment("LCDM_SIM_PORT", "COM1");
}

std::string SimulatedDispenser::LongPortName() const
{
    return Environment("LCDM_SIM_LONG_PORT", "COM10");
}

void SimulatedDispenser::Fault(const std::string& spec)
{
    connection_->Ask("fault " + spec);
}

SimulatorTruth SimulatedDispenser::Truth()
{
    return ParseTruth(connection_->Ask("truth"));
}
