// A failure of the host's own machinery (loading the plug-in, the type library, the
// registry): reported on standard error and ending the run with status 1.
#pragma once

#include <stdexcept>
#include <string>

class HostError : public std::runtime_error {
public:
    explicit HostError(const std::string& text) : std::runtime_error(text) {}
};
