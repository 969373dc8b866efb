// The serial ports the service page offers: the system's ports (the registry's
// HARDWARE\DEVICEMAP\SERIALCOMM) and the configured one, in a natural order.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace Plugin {

// The number of a "COMn" name (any letter case; blanks and a sign before the number
// accepted, nothing after it), else 0.
std::uint32_t ComPortNumber(std::string_view name);
// Below, equal or above zero: numbered ports by number, before unnumbered names,
// which compare without regard to case.
int CompareComPorts(std::string_view a, std::string_view b);
// The system's port names and `current` (when not empty), sorted, without duplicates.
// Only string values of the system's list are taken.
std::vector<std::string> AvailablePorts(const std::string& current);

} // namespace Plugin
