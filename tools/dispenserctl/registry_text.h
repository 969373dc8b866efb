// Registry values as the technician types and reads them: NAME=VALUE assignments
// below the dispenser key, values in the notation of .reg files, and a key's whole
// tree as a .reg text.
#pragma once

#include "framework/registry.h"

#include <string>
#include <string_view>

// One "NAME=VALUE" of `config set`. NAME is a path below the dispenser key whose last
// part is the value's name: "Device", "Cassette\1\Count", "Cassette/1/Count" (a
// slash separates too). VALUE: decimal digits are a DWORD; "dword:" and 1 to 8
// hexadecimal digits a DWORD as .reg files write it; a text in double quotes is that
// text (backslash escapes a quote or a backslash); anything else is a string as typed
// (also the empty text).
struct ValueAssignment {
    std::string subkey; // "" for the dispenser key itself
    std::string name;
    RegData data;
};

// Raises UsageError (topic "config set") for text that is not an assignment.
ValueAssignment ParseAssignment(std::string_view text);

// A value's data in .reg notation: dword:0000000a, "text" (escaped as .reg files do).
std::string RegText(const RegData& data);
// The same, DWORDs followed by their decimal value:
// dword:0000000a (10), "text".
std::string DescribeData(const RegData& data);

// The key and every key below it as the text of a .reg file (header first).
std::string ExportTree(const RegKey& key);
