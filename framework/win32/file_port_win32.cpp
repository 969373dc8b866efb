#include "framework/file_port.h"

#include "framework/exceptions.h"
#include "windows_api.h"

#include <utility>

namespace {

HANDLE AsHandle(FilePort::NativeFile file)
{
    return reinterpret_cast<HANDLE>(file);
}

} // namespace

FilePort::FilePort(NativeFile file, std::string name) : file_(file), name_(std::move(name)) {}

FilePort::~FilePort()
{
    CloseHandle();
}

void FilePort::CloseHandle() noexcept
{
    if (file_ != kInvalidFile)
        ::CloseHandle(AsHandle(file_));
    file_ = kInvalidFile;
}

std::size_t FilePort::Read(std::size_t* done, void* buffer, std::size_t size)
{
    DWORD got = 0;
    if (!ReadFile(AsHandle(file_), buffer, static_cast<DWORD>(size), &got, nullptr))
        THROW_LAST_SYSTEM_ERROR();
    if (done != nullptr)
        *done = got;
    return got;
}

std::size_t FilePort::Write(const void* data, std::size_t size)
{
    DWORD written = 0;
    if (!WriteFile(AsHandle(file_), data, static_cast<DWORD>(size), &written, nullptr))
        THROW_LAST_SYSTEM_ERROR();
    return written;
}
