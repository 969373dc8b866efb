#include "framework/exceptions.h"

#include "framework/system_error.h"
#include "framework/text_format.h"

#include <utility>

OrvaneException::OrvaneException(std::string reason) : reason_(std::move(reason)) {}

OrvaneException::~OrvaneException() = default;

namespace {

std::string DescribeComResult(const char* kind, std::int32_t result, const char* file, int line)
{
    const auto code = static_cast<std::uint32_t>(result);
    if (file == nullptr)
        return FormatText("%s %08lX", kind, static_cast<unsigned long>(code));
    return FormatText("%s %08lX at \"%s\":%i", kind, static_cast<unsigned long>(code), file, line);
}

} // namespace

CoError::CoError(std::int32_t result, const char* file, int line)
    : CoError(result, DescribeComResult("COM call error", result, file, line))
{
}

CoError::CoError(std::int32_t result, std::string reason) : OrvaneException(std::move(reason)), result_(result) {}

OleError::OleError(std::int32_t result, const char* file, int line)
    : OleError(result, DescribeComResult("OLE call error", result, file, line))
{
}

OleError::OleError(std::int32_t result, std::string reason) : CoError(result, std::move(reason)) {}

namespace {

constexpr auto kDispatchException = static_cast<std::int32_t>(0x80020009u);

std::string DescribeAutomationError(unsigned short code, const std::string& description)
{
    if (!description.empty())
        return description;
    return FormatText("Automation error %u", static_cast<unsigned>(code));
}

} // namespace

OleAutoException::OleAutoException(unsigned short code, std::string source, std::string description)
    : OleError(kDispatchException, DescribeAutomationError(code, description)),
      code_(code),
      source_(std::move(source)),
      description_(std::move(description))
{
}

WindowsError::WindowsError(unsigned long code, const char* file, int line)
    : OrvaneException(DescribeSystemCallError(code, file != nullptr ? file : "", line)),
      code_(code),
      file_(file != nullptr ? file : ""),
      line_(line)
{
}

InternalError::InternalError(std::string reason) : OrvaneException(std::move(reason)) {}

DebugException::DebugException(std::string reason, int value) : OrvaneException(std::move(reason)), value_(value) {}

OVAppException::OVAppException(std::string reason) : OrvaneException(std::move(reason)) {}

SilentCancel::SilentCancel(std::string reason) : OVAppException(std::move(reason)) {}

InvalidValue::InvalidValue(std::string reason) : OrvaneException(std::move(reason)) {}

NumericScanException::NumericScanException(std::string reason) : InvalidValue(std::move(reason)) {}

NumericSyntax::NumericSyntax(std::string reason) : NumericScanException(std::move(reason)) {}

void ThrowLastSystemError(const char* file, int line)
{
    throw WindowsError(LastSystemError(), file, line);
}

std::int32_t CoCallEx(std::int32_t result, const char* /*module*/, const char* file, int line)
{
    if (result < 0)
        throw CoError(result, file, line);
    return result;
}
