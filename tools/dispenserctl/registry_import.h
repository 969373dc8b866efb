// Applies the changes of a .reg file through RegKey, so that an import works the same
// on the hive file and on the Windows registry.
#pragma once

#include "framework/registry_hive.h"

#include <string>
#include <vector>

// The tree an import may touch unless --any-key is given.
extern const char* const kProductTree; // HKEY_LOCAL_MACHINE\Software\Orvane\Tallivox

struct ImportSummary {
    unsigned keysCreated = 0; // [KEY] lines
    unsigned keysDeleted = 0; // [-KEY] lines
    unsigned valuesSet = 0;
    unsigned valuesDeleted = 0;
};

// The keys of `changes` that lie outside `tree` (at or below it is inside), each once,
// in the order of the file.
std::vector<std::string> KeysOutside(const std::vector<HiveChange>& changes, const std::string& tree);

// Applies every change in the order of the file. A key path whose root is not one the
// registry knows raises InvalidValue before anything is written; a failing write
// raises and leaves the changes before it applied.
ImportSummary ApplyChanges(const std::vector<HiveChange>& changes);
