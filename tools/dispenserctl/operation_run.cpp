#include "tools/dispenserctl/operation_run.h"

#include "tools/dispenserctl/console.h"
#include "tools/dispenserctl/interrupt.h"
#include "tools/dispenserctl/operator_console.h"
#include "tools/dispenserctl/progress_display.h"

#include <memory>

bool RunOperation(CommandContext& context, const std::function<bool(std::vector<std::string>*)>& operation)
{
    std::vector<std::string> errors;
    bool result = false;
    {
        std::unique_ptr<ProgressDisplay> progress;
        if (!context.options.quiet)
            progress = std::make_unique<ProgressDisplay>(context.console);
        const OperatorConsole questions(context.console, context.interrupts);
        if (context.interrupts.IsRaised()) {
            errors.push_back("Выполнение запроса неожиданно прервано");
        } else {
            const InterruptState::OperationScope scope(context.interrupts);
            result = operation(&errors);
        }
    }
    ReportErrors(context.console, errors);
    return result;
}

void ReportErrors(Console& console, const std::vector<std::string>& errors)
{
    for (const std::string& error : errors)
        console.Error("dispenserctl: " + error, Tone::Bad);
}
