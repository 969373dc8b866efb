#include "tools/kiosk-host/command_line.h"

#include "framework/win32/wide_text.h"
#include "tools/kiosk-host/command_table.h"
#include "tools/kiosk-host/environment_text.h"
#include "tools/kiosk-host/script_file.h"

#include <charconv>
#include <cstdint>
#include <filesystem>

namespace {

// Scripts naming scripts deeper than this are taken for a script that names itself.
constexpr int kMaxScriptDepth = 16;

// A usage error already placed at a script's line: outer scripts pass it on as it is.
class ScriptLineError : public UsageError {
public:
    using UsageError::UsageError;
};

std::pair<std::string, std::string> SplitAssignment(const std::string& text, const std::string& what)
{
    const std::size_t equals = text.find('=');
    if (equals == std::string::npos || equals == 0)
        throw UsageError(what + " takes NAME=VALUE, not '" + text + "'");
    return {text.substr(0, equals), text.substr(equals + 1)};
}

unsigned long ParseBuild(const std::string& text)
{
    std::uint32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size())
        throw UsageError("--app-build takes a number from 0 to 4294967295, not '" + text + "'");
    return value;
}

class Parser {
public:
    Invocation Parse(const std::vector<std::string>& arguments)
    {
        for (std::size_t i = 0; i < arguments.size(); ++i) {
            const std::string& word = arguments[i];
            if (!word.starts_with("--"))
                throw UsageError("unexpected argument '" + word + "'");
            const OptionEntry* option = FindOption(std::string_view(word).substr(2));
            if (option == nullptr)
                throw UsageError("unknown option '" + word + "'");
            std::optional<std::string> argument;
            const bool nextIsArgument = i + 1 < arguments.size() && !arguments[i + 1].starts_with("--");
            if (option->use == ArgumentUse::Required) {
                if (i + 1 >= arguments.size())
                    throw UsageError(word + " needs " + std::string(option->argument));
                argument = arguments[++i];
            } else if (option->use == ArgumentUse::Optional && nextIsArgument) {
                argument = arguments[++i];
            }
            Apply(*option, argument, std::filesystem::path());
        }
        return std::move(invocation_);
    }

private:
    void Apply(const OptionEntry& option, const std::optional<std::string>& argument,
               const std::filesystem::path& scriptFolder)
    {
        const std::string text = argument.value_or(std::string());
        const std::string name = "--" + std::string(option.name);
        if (option.use == ArgumentUse::Required && text.empty())
            throw UsageError(name + " needs " + std::string(option.argument));
        HostSettings& settings = invocation_.settings;
        switch (option.id) {
        case OptionId::Help:
            invocation_.help = true;
            break;
        case OptionId::Plugin:
            settings.pluginPath = text;
            break;
        case OptionId::Install:
            settings.install = true;
            break;
        case OptionId::Root:
            settings.rootPath = text;
            break;
        case OptionId::AppName:
            settings.application.name = text;
            break;
        case OptionId::AppVersion:
            settings.application.version = text;
            break;
        case OptionId::AppBuild:
            settings.application.build = ParseBuild(text);
            break;
        case OptionId::RefuseTerminalExtenders:
            settings.refuseTerminalExtenders = true;
            break;
        case OptionId::Timing:
            settings.timingPath = text;
            break;
        case OptionId::Script:
            RunScript(text, scriptFolder);
            break;
        case OptionId::Start:
            Add(CommandKind::Start);
            break;
        case OptionId::Set: {
            auto [variable, value] = SplitAssignment(text, name);
            Add(CommandKind::Set, variable, value);
            break;
        }
        case OptionId::Prepare:
            Add(CommandKind::Prepare);
            break;
        case OptionId::Event:
            Add(CommandKind::Event, text);
            break;
        case OptionId::TerminalEvent:
            Add(CommandKind::TerminalEvent, text);
            break;
        case OptionId::DeviceState: {
            auto [device, state] = SplitAssignment(text, name);
            if (state != "0" && state != "1")
                throw UsageError(name + " takes NAME=0 or NAME=1, not '" + text + "'");
            Add(CommandKind::DeviceState, device, {}, state == "1");
            break;
        }
        case OptionId::Dump:
            Add(CommandKind::Dump, text);
            break;
        case OptionId::Echo:
            Add(CommandKind::Echo, text);
            break;
        case OptionId::LateBound:
            Add(CommandKind::LateBound);
            break;
        case OptionId::NullObjects: {
            if (text != "on" && text != "off")
                throw UsageError(name + " takes on or off, not '" + text + "'");
            Command command;
            command.kind = CommandKind::NullObjects;
            command.on = text == "on";
            invocation_.commands.push_back(command);
            break;
        }
        case OptionId::ExitProcess:
            Add(CommandKind::ExitProcess);
            break;
        case OptionId::ShowWindow:
            Add(CommandKind::ShowWindow);
            break;
        case OptionId::Control:
            Add(CommandKind::Control);
            break;
        case OptionId::ControlApply:
            Add(CommandKind::ControlApply);
            break;
        case OptionId::ControlPicture:
            Add(CommandKind::ControlPicture, ExpandEnvironmentNames(text));
            break;
        }
    }

    void Add(CommandKind kind, std::string name = {}, std::string text = {}, bool failed = false)
    {
        Command command;
        command.kind = kind;
        command.name = std::move(name);
        command.text = std::move(text);
        command.failed = failed;
        invocation_.commands.push_back(std::move(command));
    }

    void RunScript(const std::string& file, const std::filesystem::path& folder)
    {
        if (depth_ >= kMaxScriptDepth)
            throw UsageError("scripts nested more than " + std::to_string(kMaxScriptDepth) +
                             " deep at " + file + " (a script that names itself?)");
        const std::filesystem::path path = folder / std::filesystem::path(Widen(file));
        const std::vector<ScriptLine> lines = ReadScript(path, file);
        ++depth_;
        for (const ScriptLine& line : lines) {
            try {
                const OptionEntry* option = FindOption(line.word);
                if (option == nullptr)
                    throw UsageError("unknown command '" + line.word + "'");
                if (option->use == ArgumentUse::None && !line.rest.empty())
                    throw UsageError(line.word + " takes no argument");
                Apply(*option, line.rest.empty() ? std::nullopt : std::optional<std::string>(line.rest),
                      path.parent_path());
            } catch (const ScriptLineError&) {
                throw;
            } catch (const UsageError& error) {
                throw ScriptLineError(file + ":" + std::to_string(line.number) + ": " + error.what());
            }
        }
        --depth_;
    }

    Invocation invocation_;
    int depth_ = 0;
};

} // namespace

Invocation ParseCommandLine(const std::vector<std::string>& arguments)
{
    return Parser().Parse(arguments);
}
