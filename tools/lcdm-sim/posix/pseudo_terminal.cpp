#include "pseudo_terminal.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <system_error>
#include <utility>

namespace lcdm {

namespace {

void MakeRaw(int fd, const char* what)
{
    termios settings{};
    if (::tcgetattr(fd, &settings) != 0)
        ThrowSystemError(std::string("tcgetattr (") + what + ")");
    ::cfmakeraw(&settings);
    settings.c_cflag |= CLOCAL | CREAD;
    settings.c_cc[VMIN] = 1;
    settings.c_cc[VTIME] = 0;
    if (::tcsetattr(fd, TCSANOW, &settings) != 0)
        ThrowSystemError(std::string("tcsetattr (") + what + ")");
}

} // namespace

PseudoTerminal::PseudoTerminal() : master_(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC))
{
    if (!master_.IsValid())
        ThrowSystemError("posix_openpt");
    if (::grantpt(master_.Get()) != 0)
        ThrowSystemError("grantpt");
    if (::unlockpt(master_.Get()) != 0)
        ThrowSystemError("unlockpt");
    char path[PATH_MAX];
    if (const int error = ::ptsname_r(master_.Get(), path, sizeof path); error != 0) {
        errno = error;
        ThrowSystemError("ptsname_r");
    }
    slavePath_ = path;
    slave_.Reset(::open(path, O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (!slave_.IsValid())
        ThrowSystemError("open " + slavePath_);
    MakeRaw(slave_.Get(), "slave");
    MakeRaw(master_.Get(), "master");
    const int flags = ::fcntl(master_.Get(), F_GETFL);
    if (flags < 0 || ::fcntl(master_.Get(), F_SETFL, flags | O_NONBLOCK) != 0)
        ThrowSystemError("fcntl O_NONBLOCK (master)");
}

UniqueFd OpenTerminal(const std::string& path)
{
    UniqueFd fd(::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK));
    if (!fd.IsValid())
        ThrowSystemError("open " + path);
    MakeRaw(fd.Get(), path.c_str());
    return fd;
}

SymbolicLink::SymbolicLink(std::string linkPath, std::string target)
    : linkPath_(std::move(linkPath)), target_(std::move(target))
{
    struct stat existing {};
    if (::lstat(linkPath_.c_str(), &existing) == 0) {
        if (!S_ISLNK(existing.st_mode))
            throw std::system_error(EEXIST, std::generic_category(), "not a symbolic link, left alone: " + linkPath_);
        if (::unlink(linkPath_.c_str()) != 0 && errno != ENOENT)
            ThrowSystemError("unlink " + linkPath_);
    }
    if (::symlink(target_.c_str(), linkPath_.c_str()) != 0)
        ThrowSystemError("symlink " + linkPath_);
}

SymbolicLink::SymbolicLink(SymbolicLink&& other) noexcept
    : linkPath_(std::exchange(other.linkPath_, std::string())), target_(std::move(other.target_))
{
}

SymbolicLink::~SymbolicLink()
{
    if (linkPath_.empty())
        return;
    // Someone may have pointed the link elsewhere since: only our own link goes.
    char buffer[PATH_MAX];
    const ssize_t length = ::readlink(linkPath_.c_str(), buffer, sizeof buffer);
    if (length >= 0 && std::string(buffer, static_cast<std::size_t>(length)) == target_)
        ::unlink(linkPath_.c_str());
}

} // namespace lcdm
