// The one exception family of the plug-in. Every failure it raises derives from
// OrvaneException; Reason() is the text that gets logged and shown to the operator.
// Texts from outside (device answers, session values, system messages) are carried
// as data and never used as a format.
#pragma once

#include <cstdint>
#include <exception>
#include <string>

class OrvaneException : public std::exception {
public:
    explicit OrvaneException(std::string reason);
    ~OrvaneException() override;

    const std::string& Reason() const noexcept { return reason_; }
    const char* what() const noexcept override { return reason_.c_str(); }

private:
    std::string reason_;
};

// A failed COM call and its result code. The position is optional.
class CoError : public OrvaneException {
public:
    explicit CoError(std::int32_t result, const char* file = nullptr, int line = 0);
    std::int32_t Result() const noexcept { return result_; }

protected:
    CoError(std::int32_t result, std::string reason);

private:
    std::int32_t result_;
};

// A failed OLE / automation call.
class OleError : public CoError {
public:
    explicit OleError(std::int32_t result, const char* file = nullptr, int line = 0);

protected:
    OleError(std::int32_t result, std::string reason);
};

// An automation exception record: error code, source and description. The reason
// is the description, or "Automation error <code>" when there is none.
class OleAutoException : public OleError {
public:
    OleAutoException(unsigned short code, std::string source, std::string description);

    unsigned short Code() const noexcept { return code_; }
    const std::string& Source() const noexcept { return source_; }
    const std::string& Description() const noexcept { return description_; }

private:
    unsigned short code_;
    std::string source_;
    std::string description_;
};

// A failed operating-system call: the system's error code (GetLastError() on
// Windows, errno on POSIX) and the source position of the call. On Windows the
// reason reads: Windows system call error 5 (00000005) at "file.cpp":42.
// On POSIX it names the errno and its text: System call error 13 (Permission denied) at "file.cpp":42.
class WindowsError : public OrvaneException {
public:
    WindowsError(unsigned long code, const char* file, int line);

    unsigned long Code() const noexcept { return code_; }
    const std::string& File() const noexcept { return file_; }
    int Line() const noexcept { return line_; }

private:
    unsigned long code_;
    std::string file_;
    int line_;
};

// A broken internal rule (a request initiated twice, a write through a read-only store).
class InternalError : public OrvaneException {
public:
    explicit InternalError(std::string reason);
};

// A failure simulated in debug mode.
class DebugException : public OrvaneException {
public:
    explicit DebugException(std::string reason = "Debug Exception", int value = 0);
    int Value() const noexcept { return value_; }

private:
    int value_;
};

// An application-level failure whose text is meant for the operator.
class OVAppException : public OrvaneException {
public:
    explicit OVAppException(std::string reason);
};

// A cancellation that is not reported as an error.
class SilentCancel : public OVAppException {
public:
    explicit SilentCancel(std::string reason = "Операция отменена");
};

// A bad input value.
class InvalidValue : public OrvaneException {
public:
    explicit InvalidValue(std::string reason);
};

// A text that is not a valid number.
class NumericScanException : public InvalidValue {
public:
    explicit NumericScanException(std::string reason);
};

// A text whose syntax is not that of a number.
class NumericSyntax : public NumericScanException {
public:
    explicit NumericSyntax(std::string reason);
};

// The calling thread's last system error code (GetLastError() or errno).
unsigned long LastSystemError() noexcept;

// Raises WindowsError with the calling thread's last system error code.
[[noreturn]] void ThrowLastSystemError(const char* file, int line);

// Raises CoError for a failed COM result (negative), otherwise returns the result.
// The module names the component that made the call; it is not part of the reason.
std::int32_t CoCallEx(std::int32_t result, const char* module, const char* file, int line);

#define THROW_LAST_SYSTEM_ERROR() ThrowLastSystemError(__FILE_NAME__, __LINE__)
