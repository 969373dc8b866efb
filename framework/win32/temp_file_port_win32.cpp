#include "framework/win32/temp_file_port.h"

#include "framework/exceptions.h"
#include "framework/win32/wide_text.h"
#include "windows_api.h"

namespace {

FilePort::NativeFile CreateTemporary(const std::string& path)
{
    HANDLE file = CreateFileW(Widen(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        THROW_LAST_SYSTEM_ERROR();
    return reinterpret_cast<FilePort::NativeFile>(file);
}

} // namespace

TempFilePort::TempFilePort(const std::string& target)
    : FilePort(CreateTemporary(target + ".tmp~"), target + ".tmp~"), target_(target), temporary_(target + ".tmp~")
{
}

TempFilePort::~TempFilePort()
{
    if (!completed_) {
        CloseHandle();
        DeleteFileW(Widen(temporary_).c_str());
    }
}

void TempFilePort::Complete()
{
    CloseHandle();
    if (!MoveFileExW(Widen(temporary_).c_str(), Widen(target_).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        THROW_LAST_SYSTEM_ERROR();
    completed_ = true;
}
