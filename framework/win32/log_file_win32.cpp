#include "framework/log_file.h"

#include "framework/system_error.h"
#include "framework/win32/wide_text.h"
#include "windows_api.h"

#include <filesystem>

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

bool CreateDirectories(const std::string& directory, std::string& error)
{
    const std::wstring wide = Widen(directory);
    std::error_code code;
    std::filesystem::create_directories(std::filesystem::path(wide), code);
    if (code) {
        error = SystemErrorText(static_cast<unsigned long>(code.value()));
        return false;
    }
    return true;
}
