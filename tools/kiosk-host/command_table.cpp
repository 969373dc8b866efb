#include "tools/kiosk-host/command_table.h"

#include <algorithm>
#include <array>

namespace {

constexpr std::array kOptions = {
    OptionEntry{OptionId::Help, "help", ArgumentUse::None, "", "show this text and do nothing else"},
    OptionEntry{OptionId::Plugin, "plugin", ArgumentUse::Required, "PATH",
               "the plug-in DLL (default: DispenserPlugin.dll beside the program)"},
    OptionEntry{OptionId::Install, "install", ArgumentUse::None, "",
               "run the plug-in's installer entry first and print its result"},
    OptionEntry{OptionId::Root, "root", ArgumentUse::Required, "DIR",
               "write the host's \"Root Path\" (HKLM\\Software\\Orvane\\Tallivox) first"},
    OptionEntry{OptionId::AppName, "app-name", ArgumentUse::Required, "TEXT",
               "the application's name (default Kiosk)"},
    OptionEntry{OptionId::AppVersion, "app-version", ArgumentUse::Required, "TEXT",
               "the application's version (default 3.5)"},
    OptionEntry{OptionId::AppBuild, "app-build", ArgumentUse::Required, "N",
               "the application's build number (default 1200)"},
    OptionEntry{OptionId::RefuseTerminalExtenders, "refuse-terminal-extenders", ArgumentUse::None, "",
               "the terminal refuses AddExtender (E_FAIL), as a host that cannot take them"},
    OptionEntry{OptionId::Timing, "timing", ArgumentUse::Required, "FILE",
               "append a line per --event to FILE: its name and the system clock at its call and its "
               "return (microseconds since 1970)"},
    OptionEntry{OptionId::Script, "script", ArgumentUse::Required, "FILE",
               "the commands of FILE, one per line, in place"},
    OptionEntry{OptionId::Start, "start", ArgumentUse::None, "",
               "create the plug-in object and call Init now"},
    OptionEntry{OptionId::Set, "set", ArgumentUse::Required, "NAME=VALUE",
               "set a session variable (an empty VALUE clears it)"},
    OptionEntry{OptionId::Prepare, "prepare", ArgumentUse::None, "",
               "PrepareSession on every session extender"},
    OptionEntry{OptionId::Event, "event", ArgumentUse::Required, "NAME",
               "OnSessionEvent(session, NAME) on every session extender"},
    OptionEntry{OptionId::TerminalEvent, "terminal-event", ArgumentUse::Required, "NAME",
               "OnTerminalEvent(terminal, NAME) on every terminal extender"},
    OptionEntry{OptionId::DeviceState, "device-state", ArgumentUse::Required, "NAME=0|1",
               "the terminal's SetDeviceFailed(NAME, failed): every terminal extender hears of it"},
    OptionEntry{OptionId::Dump, "dump", ArgumentUse::Optional, "[PREFIX]",
               "print NAME=VALUE of the session's variables (those beginning with PREFIX), by name"},
    OptionEntry{OptionId::Echo, "echo", ArgumentUse::Required, "TEXT", "print TEXT (a heading between results)"},
    OptionEntry{OptionId::LateBound, "late-bound", ArgumentUse::None, "",
               "from here on call the plug-in through IDispatch::GetIDsOfNames and Invoke"},
    OptionEntry{OptionId::NullObjects, "null-objects", ArgumentUse::Required, "on|off",
               "from here on the client's GetSession, GetTerminal and GetApplication answer S_OK with no "
               "object, and events get no session or terminal (a host gone wrong)"},
    OptionEntry{OptionId::ExitProcess, "exit-process", ArgumentUse::None, "",
               "end the process at once (ExitProcess, status 0) with the plug-in still loaded, as a host "
               "that ends without unloading it"},
    OptionEntry{OptionId::ShowWindow, "show-window", ArgumentUse::None, "", "show the host's main window"},
    OptionEntry{OptionId::Control, "control", ArgumentUse::None, "",
               "open the control application's sheet of the control plug-in's pages for the operator"},
    OptionEntry{OptionId::ControlApply, "control-apply", ArgumentUse::None, "",
               "open the control sheet unattended: press Apply, then OK (Cancel when a page refuses)"},
    OptionEntry{OptionId::ControlPicture, "control-screenshot", ArgumentUse::Required, "FILE",
               "open the control sheet unattended: save its picture as a BMP FILE, then Cancel"},
};

constexpr std::string_view kHelpHead =
    "Usage: kiosk-host [OPTION | COMMAND]...\n"
    "A stand-in for the Tallivox kiosk payment host: loads the plug-in, starts it with the\n"
    "host's client, application, session and terminal objects, and runs kiosk commands.\n"
    "\n";

constexpr std::string_view kHelpTail =
    "\n"
    "Settings (--plugin, --install, --root, --app-*, --refuse-terminal-extenders,\n"
    "--timing) hold for the whole run; --root and --install are carried out before the\n"
    "first command.\n"
    "The other commands run in the order given. The plug-in object is created and\n"
    "started (Init) before the first command that calls the plug-in (--start, --prepare,\n"
    "--event, --terminal-event, --device-state), with the binding in force at that point.\n"
    "\n"
    "The control commands (--control*) create the control plug-in and show its pages in\n"
    "a property sheet; the page calls go with the binding in force. Unattended, message\n"
    "boxes are printed and answered with their most cautious button. FILE may name\n"
    "environment variables as %NAME%.\n"
    "\n"
    "A script holds one command per line, with or without the leading \"--\"; the rest of\n"
    "the line is the argument. Blank lines and lines beginning with # are skipped. A\n"
    "script named in a script is found beside it.\n"
    "\n"
    "Output is UTF-8: results on standard output, failed calls on standard error.\n"
    "Exit status: 0 all went well, 1 a call into the plug-in failed (or the plug-in\n"
    "could not be loaded, created or installed), 2 the command line was wrong.\n";

} // namespace

const OptionEntry* FindOption(std::string_view name)
{
    const auto found =
        std::find_if(kOptions.begin(), kOptions.end(), [&](const OptionEntry& option) { return option.name == name; });
    return found != kOptions.end() ? &*found : nullptr;
}

std::string HelpText()
{
    std::string text(kHelpHead);
    for (const OptionEntry& option : kOptions) {
        std::string head = "  --" + std::string(option.name);
        if (!option.argument.empty())
            head += " " + std::string(option.argument);
        head.resize(std::max<std::size_t>(head.size() + 2, 30), ' ');
        text += head + std::string(option.summary) + "\n";
    }
    text += kHelpTail;
    return text;
}
