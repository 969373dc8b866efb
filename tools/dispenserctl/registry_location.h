// Which registry the commands use (registry_location_posix.cpp, _win32.cpp). POSIX:
// the hive file of --registry FILE, else of DISPENSER_REGISTRY; one of them is needed.
// Windows: the system registry; --registry is refused there, since silently using
// another registry than the one asked for could change the wrong settings.
#pragma once

#include <optional>
#include <string>

class Console;

// Points the process at its registry; raises UsageError when that cannot be done.
// With `noteMissing`, a hive file that does not exist yet is mentioned on standard
// error (a mistyped path would otherwise look like an empty configuration).
void UseRegistry(const std::optional<std::string>& file, bool noteMissing, Console& console);

// The --registry line of the tool's help on this platform.
std::string RegistryOptionHelp();
