#include "framework/posix/registry_hive_file.h"

#include "framework/exceptions.h"
#include "framework/paths.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>

namespace {

std::mutex g_pathMutex;
std::string g_path;

// A file descriptor owned from the line that opens it.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int Get() const { return fd_; }
    bool Valid() const { return fd_ >= 0; }

    // Closes now and reports a failed close (for files whose data must reach the disk).
    void Close()
    {
        const int fd = fd_;
        fd_ = -1;
        if (::close(fd) != 0)
            THROW_LAST_SYSTEM_ERROR();
    }

private:
    int fd_;
};

class WriterLock {
public:
    explicit WriterLock(const std::string& hivePath)
        : file_(::open((hivePath + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644))
    {
        if (!file_.Valid())
            THROW_LAST_SYSTEM_ERROR();
        while (::flock(file_.Get(), LOCK_EX) != 0) {
            if (errno != EINTR)
                THROW_LAST_SYSTEM_ERROR();
        }
    }
    // The lock goes with the descriptor, also when the process dies.

private:
    FileDescriptor file_;
};

std::string ReadAll(int fd)
{
    std::string text;
    char buffer[16384];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            THROW_LAST_SYSTEM_ERROR();
        }
        if (got == 0)
            return text;
        text.append(buffer, static_cast<std::size_t>(got));
    }
}

std::string ReadWholeFile(const std::string& path)
{
    FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!file.Valid()) {
        if (errno == ENOENT)
            return {};
        THROW_LAST_SYSTEM_ERROR();
    }
    return ReadAll(file.Get());
}

// The hive last parsed from each file and the text it was parsed from, for readers:
// parsing the whole file for every value read was most of a settings read's cost. The
// file is still read every time (a file's identity and times cannot tell every change on
// every file system), but parsed again only when its text has changed.
struct CachedHive {
    std::string text;
    std::shared_ptr<const Hive> hive;
};
std::mutex g_cacheMutex;
std::map<std::string, CachedHive> g_cache;

void WriteAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            THROW_LAST_SYSTEM_ERROR();
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
}

void SyncFolderOf(const std::string& path)
{
    std::string folder = GetParentPath(path);
    if (folder.empty())
        folder = ".";
    FileDescriptor directory(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!directory.Valid() || ::fsync(directory.Get()) != 0)
        THROW_LAST_SYSTEM_ERROR();
}

// Replaces the hive file atomically; called under the writer lock.
void StoreHive(const std::string& path, const Hive& hive)
{
    mode_t mode = 0644;
    struct stat existing {};
    if (::stat(path.c_str(), &existing) == 0)
        mode = existing.st_mode & 07777;

    const std::string temporary = path + ".tmp";
    FileDescriptor file(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode));
    if (!file.Valid())
        THROW_LAST_SYSTEM_ERROR();
    if (::fchmod(file.Get(), mode) != 0)
        THROW_LAST_SYSTEM_ERROR();
    WriteAll(file.Get(), hive.Serialize());
    if (::fsync(file.Get()) != 0)
        THROW_LAST_SYSTEM_ERROR();
    file.Close();
    if (::rename(temporary.c_str(), path.c_str()) != 0)
        THROW_LAST_SYSTEM_ERROR();
    SyncFolderOf(path);
}

} // namespace

void SetRegistryHivePath(const std::string& path)
{
    std::lock_guard lock(g_pathMutex);
    g_path = path;
}

std::string RegistryHivePath()
{
    {
        std::lock_guard lock(g_pathMutex);
        if (!g_path.empty())
            return g_path;
    }
    const char* fromEnvironment = std::getenv("DISPENSER_REGISTRY");
    if (fromEnvironment == nullptr || *fromEnvironment == '\0')
        throw InternalError("No registry hive file: set DISPENSER_REGISTRY (or --registry FILE)");
    return fromEnvironment;
}

Hive LoadHive(const std::string& path)
{
    return Hive::Parse(ReadWholeFile(path), path);
}

std::shared_ptr<const Hive> ReadHive(const std::string& path)
{
    std::string text = ReadWholeFile(path);
    {
        std::lock_guard lock(g_cacheMutex);
        const auto found = g_cache.find(path);
        if (found != g_cache.end() && found->second.text == text)
            return found->second.hive;
    }
    auto hive = std::make_shared<const Hive>(Hive::Parse(text, path));
    std::lock_guard lock(g_cacheMutex);
    g_cache[path] = CachedHive{std::move(text), hive};
    return hive;
}

void ModifyHive(const std::string& path, const std::function<bool(Hive&)>& change)
{
    const WriterLock lock(path);
    Hive hive = LoadHive(path);
    if (change(hive))
        StoreHive(path, hive);
}
