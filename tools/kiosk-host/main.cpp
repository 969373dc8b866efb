// kiosk-host: a stand-in for the Tallivox kiosk payment host, for the demo and the
// end-to-end tests. It knows the plug-in only through the host interfaces.
#include "framework/win32/wide_text.h"
#include "tools/kiosk-host/com_text.h"
#include "tools/kiosk-host/command_line.h"
#include "tools/kiosk-host/command_table.h"
#include "tools/kiosk-host/host_error.h"
#include "tools/kiosk-host/kiosk_host.h"
#include "tools/kiosk-host/text_output.h"

#include <objbase.h>

#include <exception>

namespace {

// The host thread's single-threaded apartment, for the whole run.
class ComApartment {
public:
    ComApartment()
    {
        const HRESULT result = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        if (FAILED(result))
            throw HostError("COM cannot be started: HRESULT " + HresultText(result));
    }
    ~ComApartment() { CoUninitialize(); }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
};

int RunHost(const Invocation& invocation)
{
    try {
        ComApartment apartment;
        KioskHost host(invocation.settings);
        return static_cast<int>(host.Run(invocation.commands));
    } catch (const std::exception& error) {
        PrintError(std::string("kiosk-host: ") + error.what());
        return static_cast<int>(ExitStatus::CallFailed);
    }
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    PrepareConsoleOutput();
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i)
        arguments.push_back(Narrow(argv[i]));

    Invocation invocation;
    try {
        invocation = ParseCommandLine(arguments);
    } catch (const UsageError& error) {
        PrintError(std::string("kiosk-host: ") + error.what());
        PrintError("Try 'kiosk-host --help'.");
        return static_cast<int>(ExitStatus::UsageError);
    }
    if (invocation.help) {
        std::string help = HelpText();
        help.pop_back(); // PrintLine ends the last line
        PrintLine(help);
        return static_cast<int>(ExitStatus::Success);
    }
    return RunHost(invocation);
}
