#include "tools/dispenserctl/split_command.h"

#include "Plugin/Dispenser/settings.h"
#include "Plugin/Plugin/amount_split.h"
#include "framework/text_format.h"
#include "tools/dispenserctl/console.h"

int RunSplit(CommandContext& context, ArgumentReader& arguments)
{
    const std::vector<std::string> words = arguments.Positionals(1, 1);
    const std::uint32_t amount = ParseCount(words[0], "AMOUNT", "split");

    DispenserControl::Settings settings(false);
    // The plug-in's failed flag lives only in the kiosk; here the device counts as working.
    const Plugin::Split split = Plugin::SplitAmount(settings, amount, false);
    Console& console = context.console;
    const int cassettes = settings.GetModel() == 1 ? 1 : 2;
    for (int number = 1; number <= cassettes; ++number) {
        const std::uint32_t notes = number == 1 ? split.count1 : split.count2;
        const std::uint32_t denomination = DispenserControl::Cassette(settings, number).GetDenomination();
        console.Print(FormatText("Cassette %d: %u x %u = %llu", number, static_cast<unsigned>(notes),
                                 static_cast<unsigned>(denomination),
                                 static_cast<unsigned long long>(notes) * denomination));
    }
    console.Print(FormatText("Not payable: %u", static_cast<unsigned>(split.rest)),
                  split.rest == 0 ? Tone::Plain : Tone::Warning);
    if (!split.success) {
        console.Print("Nothing can be paid out of this amount", Tone::Bad);
        return ExitFailure;
    }
    return ExitSuccess;
}
