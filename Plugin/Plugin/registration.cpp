#include "Plugin/Plugin/registration.h"

#include "Plugin/Dispenser/settings.h"
#include "framework/paths.h"
#include "framework/registry.h"

namespace Plugin {

namespace {

void RegisterClass(const char* classId, const std::string& modulePath, const char* hostKey)
{
    RegKey classKey(RegistryRoot::ClassesRoot, std::string("CLSID\\") + classId, true, RegAccessAll);
    classKey[""] = kClassDescription;
    RegKey server(classKey, "InProcServer32", true, RegAccessAll);
    server[""] = modulePath;
    server["ThreadingModel"] = "Both";
    RegKey(RegistryRoot::LocalMachine, hostKey, true, RegAccessAll)["CLSID"] = classId;
}

} // namespace

std::string HostRootPath(const std::string& modulePath)
{
    const RegKey host(RegistryRoot::LocalMachine, "Software\\Orvane\\Tallivox", false, RegAccessRead);
    const std::string root = host.ReadString("Root Path");
    return MakePathSpec(root.empty() ? GetParentPath(modulePath) : ExpEnv(root));
}

void InstallPlugin(const std::string& modulePath)
{
    RegisterClass(kPluginClassId, modulePath, "Software\\Orvane\\Tallivox\\Plugins\\Dispenser");
    RegisterClass(kControlPluginClassId, modulePath, "Software\\Orvane\\Tallivox\\Control Plugins\\Dispenser");

    RegKey settings(RegistryRoot::LocalMachine, DispenserControl::kSettingsKey, true, RegAccessAll);
    const std::string root = HostRootPath(modulePath);
    // Values an operator changed stay as they are.
    if (!settings.HasValue("LogDir"))
        settings["LogDir"] = root + "Logs\\Dispenser";
    if (!settings.HasValue("DebugLog"))
        settings["DebugLog"] = root + "Logs\\Dispenser\\DebugLog *.txt";

    // The old misspelt subkey moves once; with both present nothing changes.
    if (settings.HasSubkey("Cassete") && !settings.HasSubkey("Cassette")) {
        RegKey cassette(settings, "Cassette", true, RegAccessAll);
        try {
            settings.CopyTree("Cassete", cassette);
        } catch (const std::exception&) {
            // A failed copy leaves the old subkey alone, without an error, and takes the
            // new one away again: a half-filled "Cassette" would stop every later move.
            try {
                settings.DeleteTree("Cassette");
            } catch (const std::exception&) {
            }
            return;
        }
        settings.DeleteTree("Cassete");
    }
}

} // namespace Plugin
