#include "framework/registry_backend.h"

#include "framework/exceptions.h"
#include "framework/win32/unique_handle.h"
#include "framework/win32/wide_text.h"

#include <sddl.h>

#include <cstring>
#include <cwchar>
#include <vector>

struct RegKey::Impl {
    RegistryRoot root;
    std::string path;
    unsigned access;
    UniqueRegistryKey key;
};

void RegKey::ImplDeleter::operator()(Impl* impl) const noexcept
{
    delete impl;
}

namespace {

HKEY RootHandle(RegistryRoot root)
{
    switch (root) {
    case RegistryRoot::CurrentUser:
        return HKEY_CURRENT_USER;
    case RegistryRoot::ClassesRoot:
        return HKEY_CLASSES_ROOT;
    case RegistryRoot::LocalMachine:
        break;
    }
    return HKEY_LOCAL_MACHINE;
}

void Check(LSTATUS status, const char* file, int line)
{
    if (status != ERROR_SUCCESS)
        throw WindowsError(static_cast<unsigned long>(status), file, line);
}

#define CHECK_STATUS(call) Check((call), __FILE_NAME__, __LINE__)

RegKey::ImplPointer Open(HKEY parent, RegistryRoot root, std::string fullPath, const std::string& path,
                                   bool create, unsigned access)
{
    RegKey::ImplPointer key(new RegKey::Impl{root, std::move(fullPath), access, {}});
    if (parent == nullptr)
        return key;
    const std::wstring widePath = Widen(path);
    if (create) {
        LSTATUS status = RegCreateKeyExW(parent, widePath.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, access,
                                         nullptr, key->key.Receive(), nullptr);
        // Below a key that lives only until the next start (HKLM\HARDWARE), so does the new one.
        if (status == ERROR_CHILD_MUST_BE_VOLATILE)
            status = RegCreateKeyExW(parent, widePath.c_str(), 0, nullptr, REG_OPTION_VOLATILE, access, nullptr,
                                     key->key.Receive(), nullptr);
        CHECK_STATUS(status);
    } else if (RegOpenKeyExW(parent, widePath.c_str(), 0, access, key->key.Receive()) != ERROR_SUCCESS) {
        key->key.Reset(); // a key that cannot be opened reads as empty
    }
    return key;
}

std::string JoinKeyPath(const std::string& parent, const std::string& child)
{
    if (parent.empty())
        return child;
    if (child.empty())
        return parent;
    return parent + "\\" + child;
}

// Every counter update of every process takes this mutex. It is global, not per logon
// session: a kiosk host running as a service and a control application on the
// operator's desktop write the same counters.
constexpr wchar_t kUpdateMutexName[] = L"Global\\Orvane.Tallivox.Dispenser.RegistryUpdate";
// Full access for the system and administrators; waiting on it and releasing it for
// everyone, so that whichever process makes it first, every other one can take it.
constexpr wchar_t kUpdateMutexAccess[] = L"D:(A;;GA;;;SY)(A;;GA;;;BA)(A;;0x00100001;;;WD)";

struct LocalMemoryTraits {
    using Type = PSECURITY_DESCRIPTOR;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type memory) noexcept { LocalFree(memory); }
};

UniqueKernelHandle OpenUpdateMutex()
{
    UniqueHandle<LocalMemoryTraits> descriptor;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(kUpdateMutexAccess, SDDL_REVISION_1,
                                                              descriptor.Receive(), nullptr))
        THROW_LAST_SYSTEM_ERROR();
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor.Get(), FALSE};
    UniqueKernelHandle mutex(CreateMutexW(&attributes, FALSE, kUpdateMutexName));
    // Made by a process of another session: this one may only wait on it and release it.
    if (!mutex && GetLastError() == ERROR_ACCESS_DENIED)
        mutex.Reset(OpenMutexW(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, kUpdateMutexName));
    if (!mutex)
        THROW_LAST_SYSTEM_ERROR();
    return mutex;
}

class UpdateLock {
public:
    UpdateLock() : mutex_(OpenUpdateMutex())
    {
        const DWORD waited = WaitForSingleObject(mutex_.Get(), INFINITE);
        // An abandoned mutex is ours now: its holder died between its read and write,
        // which wrote nothing or everything.
        if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED)
            THROW_LAST_SYSTEM_ERROR();
    }
    ~UpdateLock() { ReleaseMutex(mutex_.Get()); }
    UpdateLock(const UpdateLock&) = delete;
    UpdateLock& operator=(const UpdateLock&) = delete;

private:
    UniqueKernelHandle mutex_;
};

} // namespace

RegKey::ImplPointer OpenRegistryKey(RegistryRoot root, const std::string& path, bool create, unsigned access)
{
    return Open(RootHandle(root), root, path, path, create, access);
}

RegKey::ImplPointer OpenRegistrySubkey(const RegKey::Impl& parent, const std::string& path, bool create,
                                                 unsigned access)
{
    return Open(parent.key.Get(), parent.root, JoinKeyPath(parent.path, path), path, create, access);
}

bool RegistryKeyIsOpen(const RegKey::Impl& key) noexcept
{
    return key.key.Valid();
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
    const std::wstring wideName = Widen(name);
    std::vector<BYTE> buffer(256);
    DWORD type = 0;
    for (;;) {
        DWORD size = static_cast<DWORD>(buffer.size());
        const LSTATUS status = RegQueryValueExW(key.key.Get(), wideName.c_str(), nullptr, &type, buffer.data(), &size);
        if (status == ERROR_FILE_NOT_FOUND)
            return std::nullopt;
        if (status == ERROR_MORE_DATA) {
            buffer.resize(size + sizeof(wchar_t));
            continue;
        }
        CHECK_STATUS(status);
        buffer.resize(size);
        break;
    }
    if (type == REG_DWORD && buffer.size() == sizeof(DWORD)) {
        DWORD value = 0;
        std::memcpy(&value, buffer.data(), sizeof value);
        return RegData::Dword(value);
    }
    if (type == REG_SZ || type == REG_EXPAND_SZ) {
        std::wstring text(buffer.size() / sizeof(wchar_t), L'\0');
        std::memcpy(text.data(), buffer.data(), text.size() * sizeof(wchar_t));
        // The stored text may or may not carry its terminating zeros.
        text.resize(std::wcslen(text.c_str()));
        return RegData::String(Narrow(text));
    }
    return RegData{RegValueType::Other, 0, {}};
}

void WriteRegistryValue(RegKey::Impl& key, const std::string& name, const RegData& data)
{
    const std::wstring wideName = Widen(name);
    if (data.type == RegValueType::Dword) {
        const DWORD value = data.dword;
        CHECK_STATUS(RegSetValueExW(key.key.Get(), wideName.c_str(), 0, REG_DWORD,
                                    reinterpret_cast<const BYTE*>(&value), sizeof value));
        return;
    }
    const std::wstring text = Widen(data.text);
    CHECK_STATUS(RegSetValueExW(key.key.Get(), wideName.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                                static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))));
}

void DeleteRegistryValue(RegKey::Impl& key, const std::string& name)
{
    const LSTATUS status = RegDeleteValueW(key.key.Get(), Widen(name).c_str());
    if (status != ERROR_FILE_NOT_FOUND)
        CHECK_STATUS(status);
}

std::vector<std::string> ListRegistryValues(const RegKey::Impl& key)
{
    std::vector<std::string> names;
    std::vector<wchar_t> name(16384 + 1); // the longest value name the registry allows
    for (DWORD index = 0;; ++index) {
        DWORD length = static_cast<DWORD>(name.size());
        const LSTATUS status =
            RegEnumValueW(key.key.Get(), index, name.data(), &length, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS)
            return names;
        CHECK_STATUS(status);
        names.push_back(Narrow(std::wstring_view(name.data(), length)));
    }
}

std::vector<std::string> ListRegistrySubkeys(const RegKey::Impl& key)
{
    std::vector<std::string> names;
    std::vector<wchar_t> name(256); // the longest key name the registry allows, with its zero
    for (DWORD index = 0;; ++index) {
        DWORD length = static_cast<DWORD>(name.size());
        const LSTATUS status =
            RegEnumKeyExW(key.key.Get(), index, name.data(), &length, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS)
            return names;
        CHECK_STATUS(status);
        names.push_back(Narrow(std::wstring_view(name.data(), length)));
    }
}

void CopyRegistryTree(const RegKey::Impl& source, RegKey::Impl& destination)
{
    CHECK_STATUS(RegCopyTreeW(source.key.Get(), nullptr, destination.key.Get()));
}

void DeleteRegistryTree(RegKey::Impl& key, const std::string& subkey)
{
    if (subkey.empty())
        throw InternalError("A registry key cannot delete its own tree");
    const LSTATUS status = RegDeleteTreeW(key.key.Get(), Widen(subkey).c_str());
    if (status != ERROR_FILE_NOT_FOUND)
        CHECK_STATUS(status);
}

bool CreateNewRegistrySubkey(RegKey::Impl& key, const std::string& subkey)
{
    // The registry itself tells a key it made from one it found.
    UniqueRegistryKey created;
    DWORD disposition = 0;
    CHECK_STATUS(RegCreateKeyExW(key.key.Get(), Widen(subkey).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_READ,
                                 nullptr, created.Receive(), &disposition));
    return disposition == REG_CREATED_NEW_KEY;
}

void FlushRegistryKey(RegKey::Impl& key)
{
    CHECK_STATUS(RegFlushKey(key.key.Get()));
}

std::uint32_t UpdateRegistryDword(RegKey::Impl& key, const std::string& name,
                                  const std::function<std::uint32_t(const std::optional<RegData>&)>& change)
{
    const UpdateLock lock;
    const std::uint32_t written = change(ReadRegistryValue(key, name));
    WriteRegistryValue(key, name, RegData::Dword(written));
    return written;
}
