// FilePort: a port over an operating-system file handle (a file descriptor on POSIX,
// a HANDLE on Windows), which it owns and closes when destroyed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class FilePort {
public:
    using NativeFile = std::intptr_t;
    static constexpr NativeFile kInvalidFile = -1;

    // Takes ownership of `file`; `name` says what it is (a path or a port name).
    FilePort(NativeFile file, std::string name);
    virtual ~FilePort();
    FilePort(const FilePort&) = delete;
    FilePort& operator=(const FilePort&) = delete;

    const std::string& Name() const { return name_; }
    NativeFile File() const { return file_; }

    // Reads up to `size` bytes and returns how many came: fewer, or 0, when the
    // handle's read time-outs expire first. `done`, when given, receives the same
    // number. A failed read raises WindowsError.
    virtual std::size_t Read(std::size_t* done, void* buffer, std::size_t size);
    // Writes and returns how many bytes were written (fewer when the write
    // time-outs expire). A failed write raises WindowsError.
    virtual std::size_t Write(const void* data, std::size_t size);

    // Closes the handle now (the destructor then has nothing left to close).
    void CloseHandle() noexcept;

private:
    NativeFile file_;
    std::string name_;
};
