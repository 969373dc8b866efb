#include "framework/paths.h"

#include "framework/exceptions.h"
#include "framework/win32/wide_text.h"
#include "windows_api.h"

#include <vector>

bool IsPathSeparator(char c)
{
    return c == '\\' || c == '/';
}

char PreferredPathSeparator()
{
    return '\\';
}

bool IsAbsolutePath(std::string_view path)
{
    if (!path.empty() && IsPathSeparator(path[0]))
        return true; // "\dir" (the current drive) and "\\server\share"
    return path.size() >= 3 && path[1] == ':' && IsPathSeparator(path[2]);
}

bool FileExists(std::string_view path)
{
    return GetFileAttributesW(Widen(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string GetEnvironmentText(const std::string& name, bool& found)
{
    const std::wstring wideName = Widen(name);
    std::vector<wchar_t> buffer(256);
    for (;;) {
        SetLastError(ERROR_SUCCESS);
        const DWORD length = GetEnvironmentVariableW(wideName.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) {
            found = GetLastError() != ERROR_ENVVAR_NOT_FOUND;
            return {};
        }
        if (length < buffer.size()) {
            found = true;
            return Narrow(std::wstring_view(buffer.data(), length));
        }
        buffer.resize(length);
    }
}

ModuleHandle OwnModuleHandle()
{
    HMODULE module = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCWSTR>(&OwnModuleHandle), &module))
        THROW_LAST_SYSTEM_ERROR();
    return module;
}

std::string GetModuleFileNameA(ModuleHandle module)
{
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD length = GetModuleFileNameW(module, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0)
            THROW_LAST_SYSTEM_ERROR();
        if (length < buffer.size())
            return Narrow(std::wstring_view(buffer.data(), length));
        buffer.resize(buffer.size() * 2);
    }
}
