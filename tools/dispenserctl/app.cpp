#include "tools/dispenserctl/app.h"

#include "Plugin/Dispenser/version.h"
#include "tools/dispenserctl/command_table.h"
#include "tools/dispenserctl/console.h"
#include "tools/dispenserctl/registry_location.h"

#include <exception>

namespace {

void PrintText(Console& console, const std::string& text)
{
    std::string_view rest = text;
    while (!rest.empty()) {
        const std::size_t end = rest.find('\n');
        console.Print(rest.substr(0, end));
        if (end == std::string_view::npos)
            break;
        rest.remove_prefix(end + 1);
    }
}

// The help of every command of a group ("config": show, set and import).
std::string GroupHelp(const std::vector<const CommandInfo*>& members)
{
    std::string text;
    for (const CommandInfo* command : members)
        text += (text.empty() ? "" : "\n") + CommandHelp(*command, false);
    return text;
}

[[noreturn]] void RefuseUnknown(const std::string& word)
{
    const std::vector<const CommandInfo*> members = GroupMembers(word);
    if (!members.empty()) {
        std::string choices;
        for (const CommandInfo* command : members)
            choices += std::string(choices.empty() ? "" : ", ") + "'" + command->name + "'";
        throw UsageError(word + ": say what to do: " + choices, word);
    }
    std::string reason = "unknown command '" + word + "'";
    const std::vector<std::string> similar = SimilarCommands(word);
    for (std::size_t i = 0; i < similar.size(); ++i)
        reason += (i == 0 ? "; did you mean '" : "' or '") + similar[i] + (i + 1 == similar.size() ? "'?" : "");
    throw UsageError(reason);
}

int ShowHelp(Console& console, std::vector<std::string> words)
{
    if (words.empty()) {
        PrintText(console, OverviewHelp());
        return ExitSuccess;
    }
    const std::string word = words.front();
    words.erase(words.begin());
    if (const CommandInfo* command = FindCommand(word, words)) {
        PrintText(console, CommandHelp(*command));
        return ExitSuccess;
    }
    if (const std::vector<const CommandInfo*> members = GroupMembers(word); !members.empty()) {
        PrintText(console, GroupHelp(members));
        return ExitSuccess;
    }
    RefuseUnknown(word);
}

// The command's usage line and where to read more.
std::string UsageHint(const std::string& topic)
{
    for (const CommandInfo& command : Commands()) {
        if (command.name == topic)
            return std::string("Usage: dispenserctl ") + command.usage + "  (more: dispenserctl " + topic + " --help)";
    }
    if (!topic.empty())
        return "Run 'dispenserctl " + topic + " --help' for its commands.";
    return "Run 'dispenserctl --help' for the commands.";
}

int Dispatch(const std::vector<std::string>& arguments, Console& console, InterruptState& interrupts)
{
    CommandLine line = ParseCommandLine(arguments);
    if (line.global.noColour)
        console.DisableColour();
    // The project's one version: the plug-in's version record and the release's name agree.
    if (line.global.version && line.command.empty()) {
        console.Print("dispenserctl " DISPENSER_VERSION_TEXT);
        return 0;
    }
    if (line.command.empty()) {
        if (line.global.help)
            return ShowHelp(console, {});
        throw UsageError("no command given");
    }
    if (line.command == "help")
        return ShowHelp(console, line.words);
    if (line.global.help) {
        std::vector<std::string> words{line.command};
        if (!line.words.empty())
            words.push_back(line.words.front());
        return ShowHelp(console, words);
    }
    const CommandInfo* command = FindCommand(line.command, line.words);
    if (command == nullptr)
        RefuseUnknown(line.command);
    UseRegistry(line.global.registry, command->kind != CommandKind::Writer, console);
    CommandContext context{console, interrupts, line.global};
    ArgumentReader reader(line.words, command->name);
    return command->run(context, reader);
}

} // namespace

int RunDispenserCtl(const std::vector<std::string>& arguments, Console& console, InterruptState& interrupts)
{
    try {
        return Dispatch(arguments, console, interrupts);
    } catch (const UsageError& error) {
        console.Error("dispenserctl: " + error.Reason(), Tone::Bad);
        console.Error(UsageHint(error.Topic()));
        return ExitUsage;
    } catch (const OrvaneException& error) {
        console.Error("dispenserctl: " + error.Reason(), Tone::Bad);
        return ExitFailure;
    } catch (const std::exception& error) {
        console.Error(std::string("dispenserctl: ") + error.what(), Tone::Bad);
        return ExitFailure;
    }
}
