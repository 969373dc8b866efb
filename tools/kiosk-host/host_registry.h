// The host's own registry values that the plug-in reads.
#pragma once

#include <string>

// Writes HKEY_LOCAL_MACHINE\Software\Orvane\Tallivox "Root Path" = folder (the host's
// installation folder, under which the plug-in's installer puts its logs); throws
// HostError.
void WriteHostRootPath(const std::string& folder);
