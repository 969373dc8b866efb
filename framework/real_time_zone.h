// The system's time-zone rules, for RealTime's UTC <-> local conversion.
#pragma once

#include "framework/real_time.h"

#include <cstdint>

// The offset of local time from UTC in milliseconds at the given time; `isLocal`
// tells whether the time is on the local clock (true) or on UTC (false).
std::int64_t LocalOffsetMilliseconds(RealTime time, bool isLocal);
