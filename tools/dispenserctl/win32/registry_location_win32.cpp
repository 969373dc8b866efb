#include "tools/dispenserctl/registry_location.h"

#include "Plugin/Dispenser/settings.h"
#include "tools/dispenserctl/command_line.h"

void UseRegistry(const std::optional<std::string>& file, bool /*noteMissing*/, Console& /*console*/)
{
    if (file)
        throw UsageError(std::string("--registry is for the Linux build; on Windows the settings are in the system "
                                     "registry, under HKEY_LOCAL_MACHINE\\") +
                         DispenserControl::kSettingsKey);
}

std::string RegistryOptionHelp()
{
    return "  --registry FILE  Linux only (refused here: the system registry is used)";
}
