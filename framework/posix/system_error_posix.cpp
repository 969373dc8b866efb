#include "framework/system_error.h"

#include "framework/exceptions.h"
#include "framework/text_format.h"

#include <cerrno>
#include <cstring>

std::string SystemErrorText(unsigned long code)
{
    char buffer[256] = {};
    // GNU strerror_r returns the text, which may or may not live in the buffer.
    return strerror_r(static_cast<int>(code), buffer, sizeof buffer);
}

std::string DescribeSystemCallError(unsigned long code, const char* file, int line)
{
    return FormatText("System call error %i (%s) at \"%s\":%i", static_cast<int>(code),
                      SystemErrorText(code).c_str(), file, line);
}

unsigned long LastSystemError() noexcept
{
    return static_cast<unsigned long>(errno);
}
