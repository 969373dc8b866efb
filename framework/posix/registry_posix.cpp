#include "framework/registry_backend.h"

#include "framework/exceptions.h"
#include "framework/posix/registry_hive_file.h"
#include "framework/text_format.h"

struct RegKey::Impl {
    RegistryRoot root;
    std::string path;
    unsigned access;
    bool open;
    std::string hive; // the hive file the key was opened in

    std::string FullPath() const { return HiveKeyPath(root, path); }
};

void RegKey::ImplDeleter::operator()(Impl* impl) const noexcept
{
    delete impl;
}

namespace {

RegKey::ImplPointer MakeImpl(RegKey::Impl impl)
{
    return RegKey::ImplPointer(new RegKey::Impl(std::move(impl)));
}

std::string JoinKeyPath(const std::string& parent, const std::string& child)
{
    if (parent.empty())
        return child;
    if (child.empty())
        return parent;
    return parent + "\\" + child;
}

HiveKey& ExistingKey(Hive& hive, const RegKey::Impl& key)
{
    HiveKey* found = hive.FindKey(key.FullPath());
    if (found == nullptr) {
        if (key.path.empty())
            return hive.CreateKey(key.FullPath());
        throw InternalError(FormatText("Registry key \"%s\" has been deleted", key.FullPath().c_str()));
    }
    return *found;
}

} // namespace

RegKey::ImplPointer OpenRegistryKey(RegistryRoot root, const std::string& path, bool create, unsigned access)
{
    auto key = MakeImpl(RegKey::Impl{root, path, access, false, RegistryHivePath()});
    const std::string full = key->FullPath();
    if (create) {
        ModifyHive(key->hive, [&](Hive& hive) {
            if (path.empty() || hive.FindKey(full) != nullptr)
                return false;
            hive.CreateKey(full);
            return true;
        });
        key->open = true;
    } else {
        key->open = path.empty() || ReadHive(key->hive)->FindKey(full) != nullptr;
    }
    return key;
}

RegKey::ImplPointer OpenRegistrySubkey(const RegKey::Impl& parent, const std::string& path, bool create,
                                                 unsigned access)
{
    if (!parent.open)
        return MakeImpl(RegKey::Impl{parent.root, JoinKeyPath(parent.path, path), access, false, parent.hive});
    return OpenRegistryKey(parent.root, JoinKeyPath(parent.path, path), create, access);
}

bool RegistryKeyIsOpen(const RegKey::Impl& key) noexcept
{
    return key.open;
}

unsigned RegistryKeyAccess(const RegKey::Impl& key) noexcept
{
    return key.access;
}

RegistryRoot RegistryKeyRoot(const RegKey::Impl& key) noexcept
{
    return key.root;
}

const std::string& RegistryKeyPath(const RegKey::Impl& key) noexcept
{
    return key.path;
}

std::optional<RegData> ReadRegistryValue(const RegKey::Impl& key, const std::string& name)
{
    const std::shared_ptr<const Hive> hive = ReadHive(key.hive);
    const HiveKey* found = hive->FindKey(key.FullPath());
    if (found == nullptr)
        return std::nullopt;
    const auto value = found->values.find(name);
    if (value == found->values.end())
        return std::nullopt;
    return value->second.second;
}

void WriteRegistryValue(RegKey::Impl& key, const std::string& name, const RegData& data)
{
    ModifyHive(key.hive, [&](Hive& hive) {
        auto& values = ExistingKey(hive, key).values;
        const auto existing = values.find(name);
        if (existing != values.end())
            existing->second.second = data; // keeps the name as first written
        else
            values.emplace(name, std::make_pair(name, data));
        return true;
    });
}

void DeleteRegistryValue(RegKey::Impl& key, const std::string& name)
{
    ModifyHive(key.hive, [&](Hive& hive) {
        HiveKey* found = hive.FindKey(key.FullPath());
        return found != nullptr && found->values.erase(name) != 0;
    });
}

std::vector<std::string> ListRegistryValues(const RegKey::Impl& key)
{
    const std::shared_ptr<const Hive> hive = ReadHive(key.hive);
    std::vector<std::string> names;
    if (const HiveKey* found = hive->FindKey(key.FullPath())) {
        for (const auto& [unused, value] : found->values)
            names.push_back(value.first);
    }
    return names;
}

std::vector<std::string> ListRegistrySubkeys(const RegKey::Impl& key)
{
    return ReadHive(key.hive)->SubkeyNames(key.FullPath());
}

void CopyRegistryTree(const RegKey::Impl& source, RegKey::Impl& destination)
{
    const std::string from = source.FullPath();
    const std::string to = destination.FullPath();
    ModifyHive(destination.hive, [&](Hive& hive) {
        std::vector<HiveKey> tree;
        for (const HiveKey* key : hive.Tree(from))
            tree.push_back(*key);
        for (const HiveKey& key : tree) {
            HiveKey& copy = hive.CreateKey(to + key.path.substr(from.size()));
            for (const auto& [name, value] : key.values)
                copy.values[name] = value;
        }
        return true;
    });
}

void DeleteRegistryTree(RegKey::Impl& key, const std::string& subkey)
{
    if (subkey.empty())
        throw InternalError("A registry key cannot delete its own tree");
    ModifyHive(key.hive, [&](Hive& hive) { return hive.DeleteTree(JoinKeyPath(key.FullPath(), subkey)); });
}

bool CreateNewRegistrySubkey(RegKey::Impl& key, const std::string& subkey)
{
    bool created = false;
    ModifyHive(key.hive, [&](Hive& hive) {
        static_cast<void>(ExistingKey(hive, key)); // the parent must still exist
        const std::string full = JoinKeyPath(key.FullPath(), subkey);
        if (hive.FindKey(full) != nullptr)
            return false;
        hive.CreateKey(full);
        created = true;
        return true;
    });
    return created;
}

void FlushRegistryKey(RegKey::Impl&)
{
    // Every change of the hive file is synced before it replaces the old one.
}

std::uint32_t UpdateRegistryDword(RegKey::Impl& key, const std::string& name,
                                  const std::function<std::uint32_t(const std::optional<RegData>&)>& change)
{
    std::uint32_t written = 0;
    ModifyHive(key.hive, [&](Hive& hive) {
        auto& values = ExistingKey(hive, key).values;
        const auto existing = values.find(name);
        written = change(existing == values.end() ? std::nullopt : std::optional<RegData>(existing->second.second));
        if (existing != values.end())
            existing->second.second = RegData::Dword(written);
        else
            values.emplace(name, std::make_pair(name, RegData::Dword(written)));
        return true;
    });
    return written;
}
