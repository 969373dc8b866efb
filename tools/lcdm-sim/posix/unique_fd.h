// One owner for one file descriptor, and the error raised when a system call fails.
#pragma once

#include "unique_resource.h"

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

struct FdTraits {
    using Value = int;
    static constexpr int Empty() noexcept { return -1; }
    static bool IsHeld(int fd) noexcept { return fd >= 0; }
    static void Close(int fd) noexcept { ::close(fd); }
};

// Owns a descriptor from the line that creates it and closes it when destroyed.
using UniqueFd = UniqueResource<FdTraits>;

} // namespace lcdm
