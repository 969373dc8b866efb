// The registry hive: every key and value of the registry roots in one text in the
// layout of a registry export file, UTF-8:
//
//     Windows Registry Editor Version 5.00
//
//     [HKEY_LOCAL_MACHINE\Software\Orvane\Tallivox\Kiosk\Dispenser]
//     "Device"="LCDM-2000"
//     "BaudRate"=dword:00002580
//     @="the key's default value"
//
// Strings escape "\" as \\ and a double quote as \"; line breaks inside a string
// are written \n and \r (an extension of this file). Import files may also delete:
// [-KEY] removes a key with its tree, "Name"=- removes a value. A UTF-16 file with
// its byte-order mark (as regedit and wine write them) is read as well.
// Key and value names are compared without regard to ASCII letter case.
#pragma once

#include "framework/registry.h"
#include "framework/text_utils.h"

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct HiveKey {
    std::string path; // the full path with its root, as first written
    std::map<std::string, std::pair<std::string, RegData>, NoCaseLess> values; // name -> (name as written, data)
};

// One change read from a registry file.
struct HiveChange {
    enum class Kind { CreateKey, DeleteKey, SetValue, DeleteValue };
    Kind kind = Kind::CreateKey;
    std::string key; // full path with root
    std::string name;
    RegData data;
};

class Hive {
public:
    // Reads the changes of a registry file; a malformed file raises InvalidValue
    // naming `fileName` and the line.
    static std::vector<HiveChange> ParseChanges(std::string_view text, const std::string& fileName);
    // A hive read from its file text (the changes applied to an empty hive).
    static Hive Parse(std::string_view text, const std::string& fileName);

    std::string Serialize() const;
    void Apply(const std::vector<HiveChange>& changes);

    const HiveKey* FindKey(std::string_view path) const;
    HiveKey* FindKey(std::string_view path);
    // Creates the key and its missing parents; returns the key.
    HiveKey& CreateKey(const std::string& path);
    // Removes a key and its whole tree; false when it did not exist.
    bool DeleteTree(const std::string& path);
    // The names of the direct subkeys of a key, sorted.
    std::vector<std::string> SubkeyNames(const std::string& path) const;
    // Every key at or below `path`, sorted.
    std::vector<const HiveKey*> Tree(const std::string& path) const;

    std::size_t KeyCount() const { return keys_.size(); }

private:
    std::map<std::string, HiveKey, NoCaseLess> keys_;
};

// The full path of a key: root name, "\", path (no trailing separator for an empty path).
std::string HiveKeyPath(RegistryRoot root, const std::string& path);
