// One run of the host as the command line and its scripts describe it: the settings
// of the run and the commands in the order given. Every mistake is found here, before
// anything runs, and raises UsageError.
#pragma once

#include "tools/kiosk-host/host_application.h"
#include "tools/kiosk-host/usage_error.h"

#include <optional>
#include <string>
#include <vector>

enum class CommandKind {
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
    Control,        // the control sheet for the operator
    ControlApply,   // unattended: Apply, then OK
    ControlPicture, // unattended: a picture, then Cancel
};

struct Command {
    CommandKind kind = CommandKind::Start;
    std::string name;    // Set: the variable; Event, TerminalEvent: the event;
                         // DeviceState: the device; Dump: the prefix (may be empty);
                         // Echo: the text; ControlPicture: the file, environment
                         // names expanded
    std::string text;    // Set: the value (empty clears the variable)
    bool failed = false; // DeviceState: the state reported
    bool on = false;     // NullObjects: on or off

    bool operator==(const Command&) const = default;
};

struct HostSettings {
    std::string pluginPath;              // empty: DispenserPlugin.dll beside the program
    std::optional<std::string> rootPath; // --root: written before anything else
    bool install = false;                // --install: the installer entry runs first
    bool refuseTerminalExtenders = false; // the terminal's AddExtender fails
    std::string timingPath;               // --timing: a line per event, its call's and return's times
    ApplicationInfo application;
};

struct Invocation {
    bool help = false;
    HostSettings settings;
    std::vector<Command> commands;
};

// Reads the arguments after the program's name (UTF-8) and the scripts they name
// (relative paths: from the current folder, or from the folder of the naming script).
Invocation ParseCommandLine(const std::vector<std::string>& arguments);
