#include "framework/log_file.h"

#include "framework/system_error.h"
#include "framework/win32/wide_text.h"
#include "windows_api.h"

#include <algorithm>

namespace {

HANDLE AsHandle(std::intptr_t handle)
{
    return reinterpret_cast<HANDLE>(handle);
}

} // namespace

LogFile::~LogFile()
{
    Close();
}

const char* LogFile::LineEnd()
{
    return "\r\n";
}

bool LogFile::Open(const std::string& path, std::string& error)
{
    Close();
    // FILE_APPEND_DATA only: every write goes to the current end of the file.
    HANDLE file = CreateFileW(Widen(path).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error = SystemErrorText(GetLastError());
        return false;
    }
    handle_ = reinterpret_cast<std::intptr_t>(file);
    return true;
}

bool LogFile::Append(std::string_view bytes, std::string& error)
{
    DWORD written = 0;
    if (!WriteFile(AsHandle(handle_), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
        written != bytes.size()) {
        error = SystemErrorText(GetLastError());
        return false;
    }
    return true;
}

bool LogFile::Sync(std::string& error)
{
    if (!FlushFileBuffers(AsHandle(handle_))) {
        error = SystemErrorText(GetLastError());
        return false;
    }
    return true;
}

void LogFile::Close() noexcept
{
    if (handle_ != kInvalid)
        CloseHandle(AsHandle(handle_));
    handle_ = kInvalid;
}

// Creates the folder and every missing folder above it, one level at a time. (The
// standard file-system library would add half a megabyte to the plug-in.)
bool CreateDirectories(const std::string& directory, std::string& error)
{
    std::wstring path = Widen(directory);
    std::replace(path.begin(), path.end(), L'/', L'\\');
    while (path.size() > 1 && path.back() == L'\\')
        path.pop_back();
    if (path.empty())
        return true;
    // The first level that can be created: past "C:\", "\\server\share\" or "\\?\C:\".
    std::size_t start = 0;
    if (path.rfind(L"\\\\?\\", 0) == 0)
        start = path.find(L'\\', 4) == std::wstring::npos ? path.size() : path.find(L'\\', 4) + 1;
    else if (path.rfind(L"\\\\", 0) == 0)
        start = path.find(L'\\', path.find(L'\\', 2) + 1);
    else if (path.size() >= 2 && path[1] == L':')
        start = 3;
    DWORD failure = ERROR_SUCCESS;
    for (std::size_t end = path.find(L'\\', start); ; end = path.find(L'\\', end + 1)) {
        const std::wstring level = path.substr(0, end);
        if (!CreateDirectoryW(level.c_str(), nullptr)) {
            const DWORD code = GetLastError();
            failure = code == ERROR_ALREADY_EXISTS ? ERROR_SUCCESS : code;
        }
        if (end == std::wstring::npos)
            break;
    }
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return true;
    error = SystemErrorText(failure != ERROR_SUCCESS ? failure : static_cast<DWORD>(ERROR_DIRECTORY));
    return false;
}
