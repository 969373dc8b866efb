// The platform's wording of a failed system call (used by WindowsError).
#pragma once

#include <string>

// The reason text of a failed system call with the given error code at file:line.
std::string DescribeSystemCallError(unsigned long code, const char* file, int line);

// The system's own description of an error code, without trailing line breaks.
std::string SystemErrorText(unsigned long code);
