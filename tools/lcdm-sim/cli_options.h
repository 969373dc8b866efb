// The lcdm-sim program's command line.
#pragma once

#include "lcdm_simulator.h"

#include <string>
#include <vector>

namespace lcdm {

struct ProgramOptions {
    SimulatorOptions simulator;
    std::string groundTruthPath; // written at exit when not empty
    bool watchStdin = true;      // end of standard input stops the program
    bool showHelp = false;
    bool showVersion = false;
};

// Parses the arguments after the program name ("--opt VALUE" or "--opt=VALUE").
// Raises std::invalid_argument with a reason for anything it cannot take; fault texts
// are checked here already.
ProgramOptions ParseCommandLine(const std::vector<std::string>& arguments);

// The --help text: every option and every fault.
std::string HelpText();
// The --version line: "lcdm-sim 1.1.0.6".
std::string VersionText();

} // namespace lcdm
