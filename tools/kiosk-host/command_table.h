// The host's commands and options: their names (written "--name" on the command line,
// "name" or "--name" in a script), what argument each takes, and the help text.
#pragma once

#include <string>
#include <string_view>

enum class OptionId {
    Help,
    // Settings of the run, wherever they stand.
    Plugin,
    Install,
    Root,
    AppName,
    AppVersion,
    AppBuild,
    RefuseTerminalExtenders,
    Timing,
    Script,
    // Commands, carried out in order.
    Start,
    Set,
    Prepare,
    Event,
    TerminalEvent,
    DeviceState,
    Dump,
    Echo,
    LateBound,
    NullObjects,
    ExitProcess,
    ShowWindow,
    // The control application: the control plug-in's pages in a property sheet.
    Control,
    ControlApply,
    ControlPicture,
};

enum class ArgumentUse {
    None,
    Required,
    Optional, // on the command line: the next word unless it begins with "--"
};

struct OptionEntry {
    OptionId id;
    std::string_view name; // without the leading "--"
    ArgumentUse use;
    std::string_view argument; // the argument's name in the help text
    std::string_view summary;
};

// The option of that name (without "--"), or null.
const OptionEntry* FindOption(std::string_view name);

// The text of --help.
std::string HelpText();
