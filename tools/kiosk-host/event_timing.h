// When an event was called and when it returned, on the clock the simulated device's
// line records share, so a benchmark can set the kiosk's side against the line.
#pragma once

#include <cstdint>
#include <string>

// The system clock: microseconds since 1970, to the clock's own precision.
std::int64_t SystemClockMicroseconds();

// Appends the line "NAME CALLED RETURNED" (microseconds since 1970; a text line of Windows,
// ending in CR LF) to the file; HostError when it cannot be written.
void AppendEventTiming(const std::string& path, const std::string& event, std::int64_t called,
                       std::int64_t returned);
