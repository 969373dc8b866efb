#include "tools/dispenserctl/registry_import.h"

#include "framework/exceptions.h"
#include "framework/text_utils.h"

#include <algorithm>

const char* const kProductTree = "HKEY_LOCAL_MACHINE\\Software\\Orvane\\Tallivox";

namespace {

struct KeyLocation {
    RegistryRoot root;
    std::string path; // below the root; "" for the root itself
};

KeyLocation Locate(const std::string& fullPath)
{
    const std::size_t separator = fullPath.find('\\');
    const std::string_view rootName = std::string_view(fullPath).substr(0, separator);
    for (RegistryRoot root : {RegistryRoot::LocalMachine, RegistryRoot::CurrentUser, RegistryRoot::ClassesRoot}) {
        if (EqualsNoCase(rootName, RegistryRootName(root)))
            return {root, separator == std::string::npos ? std::string() : fullPath.substr(separator + 1)};
    }
    throw InvalidValue("unknown registry root in \"" + fullPath + "\"");
}

bool IsInside(std::string_view path, std::string_view tree)
{
    if (path.size() < tree.size() || !EqualsNoCase(path.substr(0, tree.size()), tree))
        return false;
    return path.size() == tree.size() || path[tree.size()] == '\\';
}

void DeleteKey(const KeyLocation& key)
{
    const std::size_t separator = key.path.rfind('\\');
    if (key.path.empty())
        throw InvalidValue("a registry root cannot be deleted");
    const std::string parentPath = separator == std::string::npos ? "" : key.path.substr(0, separator);
    RegKey parent(key.root, parentPath, false, RegAccessAll);
    if (parent.IsOpen())
        parent.DeleteTree(key.path.substr(separator == std::string::npos ? 0 : separator + 1));
}

} // namespace

std::vector<std::string> KeysOutside(const std::vector<HiveChange>& changes, const std::string& tree)
{
    std::vector<std::string> outside;
    for (const HiveChange& change : changes) {
        const bool listed = std::any_of(outside.begin(), outside.end(),
                                        [&](const std::string& key) { return EqualsNoCase(key, change.key); });
        if (!listed && !IsInside(change.key, tree))
            outside.push_back(change.key);
    }
    return outside;
}

ImportSummary ApplyChanges(const std::vector<HiveChange>& changes)
{
    std::vector<KeyLocation> locations;
    for (const HiveChange& change : changes)
        locations.push_back(Locate(change.key));

    ImportSummary summary;
    for (std::size_t i = 0; i < changes.size(); ++i) {
        const HiveChange& change = changes[i];
        const KeyLocation& key = locations[i];
        switch (change.kind) {
        case HiveChange::Kind::CreateKey:
            RegKey(key.root, key.path, true, RegAccessAll);
            ++summary.keysCreated;
            break;
        case HiveChange::Kind::DeleteKey:
            DeleteKey(key);
            ++summary.keysDeleted;
            break;
        case HiveChange::Kind::SetValue:
            RegKey(key.root, key.path, true, RegAccessAll).Write(change.name, change.data);
            ++summary.valuesSet;
            break;
        case HiveChange::Kind::DeleteValue: {
            RegKey target(key.root, key.path, false, RegAccessAll);
            if (target.IsOpen())
                target.DeleteValue(change.name);
            ++summary.valuesDeleted;
            break;
        }
        }
    }
    return summary;
}
