#include "framework/registry.h"

#include "framework/exceptions.h"
#include "framework/registry_backend.h"
#include "framework/text_format.h"
#include "framework/usage_counters.h"

const char* RegistryRootName(RegistryRoot root)
{
    switch (root) {
    case RegistryRoot::LocalMachine:
        return "HKEY_LOCAL_MACHINE";
    case RegistryRoot::CurrentUser:
        return "HKEY_CURRENT_USER";
    case RegistryRoot::ClassesRoot:
        return "HKEY_CLASSES_ROOT";
    }
    return "HKEY_LOCAL_MACHINE";
}

namespace {

[[noreturn]] void RaiseWrongType(const RegKey& key, const std::string& name, const char* expected)
{
    throw InvalidValue(FormatText("Параметр реестра \"%s\\%s\\%s\" не является %s", RegistryRootName(key.Root()),
                                  key.Path().c_str(), name.c_str(), expected));
}

} // namespace

bool RegKey::Value::Valid() const
{
    return key_.Read(name_).has_value();
}

RegValueType RegKey::Value::Type() const
{
    const auto data = key_.Read(name_);
    return data ? data->type : RegValueType::Other;
}

std::uint32_t RegKey::Value::Dword() const
{
    return key_.ReadDword(name_);
}

RegKey::Value::operator int() const
{
    return static_cast<int>(Dword());
}

std::string RegKey::Value::Text() const
{
    return key_.ReadString(name_);
}

RegKey::Value::operator std::string() const
{
    return Text();
}

RegKey::Value& RegKey::Value::operator=(int value)
{
    key_.Write(name_, RegData::Dword(static_cast<std::uint32_t>(value)));
    return *this;
}

RegKey::Value& RegKey::Value::operator=(std::uint32_t value)
{
    key_.Write(name_, RegData::Dword(value));
    return *this;
}

RegKey::Value& RegKey::Value::operator=(const char* text)
{
    key_.Write(name_, RegData::String(text != nullptr ? text : ""));
    return *this;
}

RegKey::Value& RegKey::Value::operator=(const std::string& text)
{
    key_.Write(name_, RegData::String(text));
    return *this;
}

void RegKey::Value::Delete()
{
    key_.DeleteValue(name_);
}

RegKey::RegKey(RegistryRoot root, const std::string& path, bool create, unsigned access)
    : impl_(OpenRegistryKey(root, NormaliseKeyPath(path), create, access))
{
}

RegKey::RegKey(const RegKey& parent, const std::string& subPath, bool create, unsigned access)
    : impl_(OpenSubkey(parent, subPath, create, access))
{
}

RegKey::ImplPointer RegKey::OpenSubkey(const RegKey& parent, const std::string& subPath, bool create,
                                                 unsigned access)
{
    // Creating needs a parent that may be written, as on Windows.
    if (create)
        parent.CheckWritable();
    return OpenRegistrySubkey(*parent.impl_, NormaliseKeyPath(subPath), create, access);
}

RegKey::~RegKey() = default;
RegKey::RegKey(RegKey&&) noexcept = default;
RegKey& RegKey::operator=(RegKey&&) noexcept = default;

bool RegKey::IsOpen() const noexcept
{
    return impl_ && RegistryKeyIsOpen(*impl_);
}

bool RegKey::IsWritable() const noexcept
{
    return IsOpen() && (RegistryKeyAccess(*impl_) & kKeySetValue) != 0;
}

RegistryRoot RegKey::Root() const noexcept
{
    return RegistryKeyRoot(*impl_);
}

const std::string& RegKey::Path() const noexcept
{
    return RegistryKeyPath(*impl_);
}

void RegKey::CheckWritable() const
{
    if (!IsOpen())
        throw InternalError(FormatText("Registry key \"%s\\%s\" is not open", RegistryRootName(Root()), Path().c_str()));
    if (!IsWritable())
        throw InternalError(
            FormatText("Registry key \"%s\\%s\" is open for reading only", RegistryRootName(Root()), Path().c_str()));
}

std::optional<RegData> RegKey::Read(const std::string& name) const
{
    if (!IsOpen())
        return std::nullopt;
    CountSettingsRead();
    return ReadRegistryValue(*impl_, name);
}

std::uint32_t RegKey::ReadDword(const std::string& name, std::uint32_t fallback) const
{
    const auto data = Read(name);
    if (!data)
        return fallback;
    if (data->type != RegValueType::Dword)
        RaiseWrongType(*this, name, "числом (DWORD)");
    return data->dword;
}

std::string RegKey::ReadString(const std::string& name) const
{
    const auto data = Read(name);
    if (!data)
        return {};
    if (data->type != RegValueType::String)
        RaiseWrongType(*this, name, "строкой");
    return data->text;
}

void RegKey::Write(const std::string& name, const RegData& data)
{
    CheckWritable();
    WriteRegistryValue(*impl_, name, data);
}

void RegKey::DeleteValue(const std::string& name)
{
    CheckWritable();
    DeleteRegistryValue(*impl_, name);
}

std::vector<std::string> RegKey::ValueNames() const
{
    return IsOpen() ? ListRegistryValues(*impl_) : std::vector<std::string>();
}

std::vector<std::string> RegKey::SubkeyNames() const
{
    return IsOpen() ? ListRegistrySubkeys(*impl_) : std::vector<std::string>();
}

bool RegKey::HasSubkey(const std::string& name) const
{
    return RegKey(*this, name, false, RegAccessRead).IsOpen();
}

void RegKey::CopyTree(const std::string& sourceSubkey, RegKey& destination) const
{
    destination.CheckWritable();
    const RegKey source(*this, sourceSubkey, false, RegAccessRead);
    if (!source.IsOpen())
        throw InternalError(FormatText("Registry key \"%s\\%s\\%s\" does not exist", RegistryRootName(Root()),
                                       Path().c_str(), sourceSubkey.c_str()));
    CopyRegistryTree(*source.impl_, *destination.impl_);
}

void RegKey::Flush()
{
    CheckWritable();
    FlushRegistryKey(*impl_);
}

void RegKey::DeleteTree(const std::string& subkey)
{
    CheckWritable();
    DeleteRegistryTree(*impl_, NormaliseKeyPath(subkey));
}

bool RegKey::CreateNewSubkey(const std::string& subkey)
{
    CheckWritable();
    const std::string path = NormaliseKeyPath(subkey);
    if (path.empty())
        throw InternalError("A registry key cannot create itself");
    return CreateNewRegistrySubkey(*impl_, path);
}

std::uint32_t RegKey::UpdateDword(const std::string& name,
                                  const std::function<std::uint32_t(std::optional<std::uint32_t>)>& change)
{
    CheckWritable();
    return UpdateRegistryDword(*impl_, name, [&](const std::optional<RegData>& current) {
        if (current && current->type != RegValueType::Dword)
            RaiseWrongType(*this, name, "числом (DWORD)");
        return change(current ? std::optional<std::uint32_t>(current->dword) : std::nullopt);
    });
}

std::string NormaliseKeyPath(const std::string& path)
{
    std::string normal;
    normal.reserve(path.size());
    for (char c : path) {
        if (c == '\\' && (normal.empty() || normal.back() == '\\'))
            continue;
        normal.push_back(c);
    }
    if (!normal.empty() && normal.back() == '\\')
        normal.pop_back();
    return normal;
}
