#include "framework/file_port.h"

#include "framework/exceptions.h"

#include <unistd.h>

#include <cerrno>
#include <utility>

FilePort::FilePort(NativeFile file, std::string name) : file_(file), name_(std::move(name)) {}

FilePort::~FilePort()
{
    CloseHandle();
}

void FilePort::CloseHandle() noexcept
{
    if (file_ != kInvalidFile)
        ::close(static_cast<int>(file_));
    file_ = kInvalidFile;
}

std::size_t FilePort::Read(std::size_t* done, void* buffer, std::size_t size)
{
    ssize_t got = 0;
    do {
        got = ::read(static_cast<int>(file_), buffer, size);
    } while (got < 0 && errno == EINTR);
    if (got < 0)
        THROW_LAST_SYSTEM_ERROR();
    if (done != nullptr)
        *done = static_cast<std::size_t>(got);
    return static_cast<std::size_t>(got);
}

std::size_t FilePort::Write(const void* data, std::size_t size)
{
    ssize_t written = 0;
    do {
        written = ::write(static_cast<int>(file_), data, size);
    } while (written < 0 && errno == EINTR);
    if (written < 0)
        THROW_LAST_SYSTEM_ERROR();
    return static_cast<std::size_t>(written);
}
