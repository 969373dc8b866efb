#include "tools/kiosk-host/host_registry.h"

#include "framework/win32/unique_handle.h"
#include "framework/win32/wide_text.h"
#include "tools/kiosk-host/host_error.h"

void WriteHostRootPath(const std::string& folder)
{
    UniqueRegistryKey key;
    LSTATUS status = RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Orvane\\Tallivox", 0, nullptr, 0,
                                     KEY_SET_VALUE, nullptr, key.Receive(), nullptr);
    if (status == ERROR_SUCCESS) {
        const std::wstring text = Widen(folder);
        status = RegSetValueExW(key.Get(), L"Root Path", 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                                static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    }
    if (status != ERROR_SUCCESS)
        throw HostError("the host's \"Root Path\" cannot be written: error " + std::to_string(status));
}
