#include "tools/dispenserctl/registry_location.h"

#include "framework/paths.h"
#include "framework/posix/registry_hive_file.h"
#include "tools/dispenserctl/command_line.h"
#include "tools/dispenserctl/console.h"

void UseRegistry(const std::optional<std::string>& file, bool noteMissing, Console& console)
{
    if (file) {
        SetRegistryHivePath(*file);
    } else {
        bool found = false;
        if (GetEnvironmentText("DISPENSER_REGISTRY", found).empty())
            throw UsageError("no registry: give --registry FILE (the hive file) or set DISPENSER_REGISTRY");
    }
    const std::string path = RegistryHivePath();
    if (noteMissing && !FileExists(path))
        console.Error("dispenserctl: note: the registry file " + path + " does not exist: its settings are empty",
                      Tone::Warning);
}

std::string RegistryOptionHelp()
{
    return "  --registry FILE  the registry hive file (default: $DISPENSER_REGISTRY)";
}
