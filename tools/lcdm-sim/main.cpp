// lcdm-sim: the simulator as a program. See `lcdm-sim --help`.
#include "cli_options.h"
#include "lcdm_simulator.h"
#include "shutdown_wait.h"

#include <exception>
#include <iostream>
#include <stdexcept>

int main(int argc, char** argv)
{
    try {
        const lcdm::ProgramOptions options = lcdm::ParseCommandLine({argv + 1, argv + argc});
        if (options.showHelp) {
            std::cout << lcdm::HelpText();
            return 0;
        }
        if (options.showVersion) {
            std::cout << lcdm::VersionText();
            return 0;
        }
        lcdm::InstallShutdownSignals();
        lcdm::Simulator simulator(options.simulator);
        if (!simulator.ControlAddress().empty())
            std::cout << "CONTROL " << simulator.ControlAddress() << '\n';
        std::cout << "READY " << simulator.DevicePath() << std::endl;

        lcdm::WaitForShutdown(options.watchStdin);
        simulator.Stop();
        if (!options.groundTruthPath.empty())
            simulator.WriteGroundTruth(options.groundTruthPath);
        return 0;
    } catch (const std::invalid_argument& error) {
        std::cerr << "lcdm-sim: " << error.what() << "\n(lcdm-sim --help lists the options)\n";
        return 2;
    } catch (const std::exception& error) {
        std::cerr << "lcdm-sim: " << error.what() << '\n';
        return 1;
    }
}
