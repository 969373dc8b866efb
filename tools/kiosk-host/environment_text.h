// Environment variables named in arguments, as Windows writes them: %NAME%. They let a
// script name a place that differs between machines (the tests' artifacts folder).
#pragma once

#include <string>

// The text with every %NAME% replaced by the value of the environment variable NAME
// (UTF-8); "%%" is one "%", and a "%" without a closing one stays as it is. Throws
// UsageError naming a variable that is not set, so that nothing lands in a folder
// literally named "%NAME%".
std::string ExpandEnvironmentNames(const std::string& text);
