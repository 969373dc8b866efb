// An append-only file for logs: every Append is one write of the whole record at
// the file's end, and the file is shared with readers and other writers.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

class LogFile {
public:
    LogFile() = default;
    ~LogFile();
    LogFile(const LogFile&) = delete;
    LogFile& operator=(const LogFile&) = delete;

    // Opens (creating when missing) for appending; on failure `error` says why.
    bool Open(const std::string& path, std::string& error);
    bool Append(std::string_view bytes, std::string& error);
    // Puts what was appended on stable storage (fsync, FlushFileBuffers).
    bool Sync(std::string& error);
    void Close() noexcept;
    bool IsOpen() const noexcept { return handle_ != kInvalid; }

    // The line end of log files on this platform.
    static const char* LineEnd();

private:
    static constexpr std::intptr_t kInvalid = -1;
    std::intptr_t handle_ = kInvalid; // a file descriptor or a HANDLE
};

// Creates a directory and its missing parents; false with `error` when it cannot.
bool CreateDirectories(const std::string& directory, std::string& error);
