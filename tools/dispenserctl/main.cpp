// dispenserctl: the service tool of the dispenser. See `dispenserctl --help`.
#include "Plugin/Dispenser/dispenser_log.h"
#include "Plugin/Dispenser/scenario.h"
#include "tools/dispenserctl/app.h"
#include "tools/dispenserctl/command_context.h"
#include "tools/dispenserctl/console.h"
#include "tools/dispenserctl/console_platform.h"
#include "tools/dispenserctl/interrupt.h"
#include "tools/dispenserctl/interrupt_watch.h"

#include <exception>

int main(int argc, char** argv)
{
    PrepareConsole();
    Console console;
    InterruptState interrupts(console);
    try {
        // First of all, before any thread starts: every thread inherits what it blocks.
        const InterruptWatch watch([&interrupts] { interrupts.OnInterrupt(); });
        // A console tool: no operator dialog, progress and questions on the terminal.
        DispenserScenario::SetHeadless(true);
        const int status = RunDispenserCtl(CommandLineArguments(argc, argv), console, interrupts);
        // The handler's last records (the journal's CLOSE) are written while everything lives.
        DispenserLogHandler::Release();
        return status;
    } catch (const std::exception& error) {
        console.Error(std::string("dispenserctl: ") + error.what(), Tone::Bad);
        return ExitFailure;
    }
}
