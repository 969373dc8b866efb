// What the host's installer makes of the plug-in: the two COM classes registered, the
// host's announcement keys, the log defaults and the migration of an old subkey name.
#pragma once

#include <string>

namespace Plugin {

constexpr const char* kPluginClassId = "{A3C41E07-5B2D-4F1E-8C6A-2D9B7E41F0C3}";
constexpr const char* kControlPluginClassId = "{5E8B2F90-1C47-4A3D-B6E2-7F0D93A14C58}";
constexpr const char* kClassDescription = "Orvane Tallivox Dispenser plugin";

// The host's root path ("Root Path" of HKEY_LOCAL_MACHINE\Software\Orvane\Tallivox,
// environment references expanded, ready for a file name); when the host has none,
// the plug-in module's own folder.
std::string HostRootPath(const std::string& modulePath);

// Registers the plug-in found at `modulePath`. Raises on the first failure; what was
// written before stays. Running it twice leaves the same registry.
void InstallPlugin(const std::string& modulePath);

} // namespace Plugin
