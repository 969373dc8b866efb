// One owner for one file descriptor, and the error raised when a system call fails.
#pragma once

#include <unistd.h>

#include <cerrno>
#include <string>
#include <system_error>

namespace lcdm {

// Raises the failure of the system call named `call`; reads errno at once, before any cleanup.
[[noreturn]] inline void ThrowSystemError(const std::string& call)
{
    throw std::system_error(errno, std::generic_category(), call);
}

// Owns a descriptor from the line that creates it and closes it when destroyed.
class UniqueFd {
public:
    UniqueFd() noexcept = default;
    explicit UniqueFd(int fd) noexcept : fd_(fd) {}
    ~UniqueFd() { Reset(); }

    UniqueFd(UniqueFd&& other) noexcept : fd_(other.Release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept
    {
        if (this != &other)
            Reset(other.Release());
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int Get() const noexcept { return fd_; }
    bool IsValid() const noexcept { return fd_ >= 0; }

    // Gives the descriptor up without closing it.
    [[nodiscard]] int Release() noexcept
    {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }

    // Closes the held descriptor (if any) and holds `fd` instead.
    void Reset(int fd = -1) noexcept
    {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = fd;
    }

private:
    int fd_ = -1;
};

} // namespace lcdm
