// A command line or script the host cannot take: reported with a hint at --help and
// exit status 2, before anything has run.
#pragma once

#include <stdexcept>
#include <string>

class UsageError : public std::runtime_error {
public:
    explicit UsageError(const std::string& text) : std::runtime_error(text) {}
};
