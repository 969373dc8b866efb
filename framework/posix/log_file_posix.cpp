#include "framework/log_file.h"

#include "framework/system_error.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

LogFile::~LogFile()
{
    Close();
}

const char* LogFile::LineEnd()
{
    return "\n";
}

bool LogFile::Open(const std::string& path, std::string& error)
{
    Close();
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        error = SystemErrorText(static_cast<unsigned long>(errno));
        return false;
    }
    handle_ = fd;
    return true;
}

bool LogFile::Append(std::string_view bytes, std::string& error)
{
    const int fd = static_cast<int>(handle_);
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            error = SystemErrorText(static_cast<unsigned long>(errno));
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

bool LogFile::Sync(std::string& error)
{
    if (::fsync(static_cast<int>(handle_)) != 0) {
        error = SystemErrorText(static_cast<unsigned long>(errno));
        return false;
    }
    return true;
}

void LogFile::Close() noexcept
{
    if (handle_ != kInvalid)
        ::close(static_cast<int>(handle_));
    handle_ = kInvalid;
}

bool CreateDirectories(const std::string& directory, std::string& error)
{
    std::error_code code;
    std::filesystem::create_directories(directory, code);
    if (code) {
        error = code.message();
        return false;
    }
    return true;
}
