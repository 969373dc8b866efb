// The simulator in the test's own process, on a pseudo-terminal of its own.
#include "tests/support/simulated_dispenser.h"

#include "tools/lcdm-sim/lcdm_simulator.h"

struct SimulatedDispenser::Connection {
    explicit Connection(lcdm::SimulatorOptions options) : simulator(std::move(options)) {}
    lcdm::Simulator simulator;
};

SimulatedDispenser::SimulatedDispenser(const std::string& model, unsigned cassette1, unsigned cassette2)
{
    lcdm::SimulatorOptions options;
    options.device.model = lcdm::ParseModel(model);
    options.device.cassette1 = static_cast<int>(cassette1);
    options.device.cassette2 = static_cast<int>(cassette2);
    connection_ = std::make_unique<Connection>(std::move(options));
}

SimulatedDispenser::~SimulatedDispenser() = default;

std::string SimulatedDispenser::PortName() const
{
    return connection_->simulator.DevicePath();
}

std::string SimulatedDispenser::LongPortName() const
{
    return connection_->simulator.DevicePath();
}

void SimulatedDispenser::Fault(const std::string& spec)
{
    connection_->simulator.Fault(spec);
}

SimulatorTruth SimulatedDispenser::Truth()
{
    return ParseTruth(connection_->simulator.TruthJson());
}
