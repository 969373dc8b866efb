#include "lcdm_simulator.h"

#include "control_channel.h"
#include "control_commands.h"
#include "device_link.h"
#include "faults.h"
#include "line_endpoint.h"
#include "shared_device.h"

#include <optional>
#include <stdexcept>
#include <thread>

namespace lcdm {

namespace {

SimulatorOptions Validated(SimulatorOptions options)
{
    ValidateConfig(options.device);
    if (options.paceBaud < 0)
        throw std::invalid_argument("pace baud rate must not be negative");
    if (options.ackTimeout < std::chrono::milliseconds::zero())
        throw std::invalid_argument("ack time-out must not be negative");
    return options;
}

} // namespace

// Members are destroyed in reverse: the control channel first, then the link thread, and
// only then what both use.
struct Simulator::Impl {
    explicit Impl(SimulatorOptions validOptions)
        : options(std::move(validOptions)), device(options.device),
          endpoint(EndpointOptions{options.port, options.links, options.paceBaud})
    {
        for (const std::string& text : options.faults)
            device.ApplyFault(ParseFault(text));
        linkThread = std::jthread([this](std::stop_token token) {
            const std::stop_callback onStop(token, [this] { endpoint.RequestStop(); });
            RunLink();
        });
        if (!options.control.empty())
            control.emplace(options.control, [this](const std::string& line) {
                return ExecuteControlLine(line, device, options.device);
            });
    }

    void RunLink()
    {
        try {
            endpoint.Serve([this](LinkIo& line) {
                DeviceLink link(line, device, options.ackTimeout);
                link.Run();
            });
        } catch (const LinkStopped&) {
        } catch (const std::exception& error) {
            device.ReportLinkFailure(error.what());
        } catch (...) {
            device.ReportLinkFailure("unknown failure");
        }
    }

    void Stop()
    {
        control.reset();
        if (linkThread.joinable()) {
            linkThread.request_stop();
            linkThread.join();
        }
    }

    const SimulatorOptions options;
    SharedDevice device;
    LineEndpoint endpoint;
    std::jthread linkThread;
    std::optional<ControlChannel> control;
    const std::string noControl;
};

Simulator::Simulator(SimulatorOptions options) : impl_(std::make_unique<Impl>(Validated(std::move(options)))) {}

Simulator::~Simulator()
{
    impl_->Stop();
}

const std::string& Simulator::DevicePath() const
{
    return impl_->endpoint.Path();
}

const std::string& Simulator::ControlAddress() const
{
    return impl_->control ? impl_->control->Address() : impl_->noControl;
}

void Simulator::Fault(const std::string& text)
{
    impl_->device.ApplyFault(ParseFault(text));
}

void Simulator::Reset()
{
    impl_->device.Reset(impl_->options.device);
}

void Simulator::Reset(const DeviceConfig& config)
{
    impl_->device.Reset(config);
}

GroundTruth Simulator::Truth() const
{
    return impl_->device.Truth();
}

std::string Simulator::TruthJson() const
{
    return SummaryJson(impl_->device.Truth());
}

std::string Simulator::FramesJson() const
{
    return lcdm::FramesJson(impl_->device.Truth());
}

void Simulator::WriteGroundTruth(const std::string& path) const
{
    WriteGroundTruthFile(path, impl_->device.Truth());
}

std::size_t Simulator::CommandsExecuted() const
{
    return impl_->device.CommandsExecuted();
}

bool Simulator::WaitForCommands(std::size_t count, std::chrono::milliseconds timeout) const
{
    return impl_->device.WaitForCommands(count, timeout);
}

bool Simulator::WaitUntil(const std::function<bool(const GroundTruth&)>& condition,
                          std::chrono::milliseconds timeout) const
{
    return impl_->device.WaitUntil(condition, timeout);
}

void Simulator::Stop()
{
    impl_->Stop();
}

} // namespace lcdm
