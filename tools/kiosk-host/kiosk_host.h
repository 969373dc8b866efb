// The stand-in host: its objects (client, application, session, terminal, main
// window), the plug-in and control plug-in it loads, and the run of the commands. Lives on the thread
// that made it, which must be in a single-threaded COM apartment.
#pragma once

#include "tools/kiosk-host/command_line.h"
#include "tools/kiosk-host/host_client.h"
#include "tools/kiosk-host/host_type_library.h"
#include "tools/kiosk-host/main_window.h"
#include "tools/kiosk-host/plugin_caller.h"
#include "tools/kiosk-host/plugin_module.h"

#include <memory>
#include <optional>

enum class ExitStatus {
    Success = 0,
    CallFailed = 1, // a call into the plug-in failed, or it could not be loaded or installed
    UsageError = 2,
};

class KioskHost {
public:
    // Makes the host objects and the hidden main window; throws HostError.
    explicit KioskHost(HostSettings settings);
    // Releases the extenders first, then the plug-in, then the host's own objects.
    ~KioskHost();
    KioskHost(const KioskHost&) = delete;
    KioskHost& operator=(const KioskHost&) = delete;

    // Writes the root path and runs the installer when asked, then the commands in order.
    ExitStatus Run(const std::vector<Command>& commands);

private:
    void Install();
    // Creates and starts the plug-in object once; false when it could not be started.
    bool EnsureStarted();
    // Creates the control plug-in once; false when it could not be created.
    bool EnsureControlPlugin();
    void Execute(const Command& command);
    void OpenControlSheet(const Command& command);
    PluginModule& Module();

    HostSettings settings_;
    // Declared first, so that the module is unloaded only after every object is gone.
    std::optional<PluginModule> module_;
    std::shared_ptr<PluginCaller> caller_ = std::make_shared<PluginCaller>();
    HostTypeLibrary types_;
    MainWindow window_;
    Microsoft::WRL::ComPtr<HostApplication> application_;
    Microsoft::WRL::ComPtr<HostSession> session_;
    Microsoft::WRL::ComPtr<HostTerminal> terminal_;
    Microsoft::WRL::ComPtr<HostClient> client_;
    bool nullObjects_ = false; // events get no session or terminal
    bool startAttempted_ = false;
    Microsoft::WRL::ComPtr<ITallivoxPlugin> plugin_;
    // The control plug-in; each opening of the control sheet has a control site of its own.
    bool controlAttempted_ = false;
    Microsoft::WRL::ComPtr<ITallivoxControlPlugin> controlPlugin_;
};
