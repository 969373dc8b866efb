#include "framework/real_time_zone.h"

#include <ctime>

std::int64_t LocalOffsetMilliseconds(RealTime time, bool isLocal)
{
    const std::int64_t milliseconds = time.UnixMilliseconds();
    std::int64_t seconds = milliseconds / 1000;
    if (milliseconds % 1000 < 0)
        --seconds;
    if (isLocal) {
        // mktime reads the broken-down local time and resolves it with the zone's rules.
        const CalendarTime calendar = time.Calendar();
        std::tm local{};
        local.tm_year = calendar.year - 1900;
        local.tm_mon = calendar.month - 1;
        local.tm_mday = calendar.day;
        local.tm_hour = calendar.hour;
        local.tm_min = calendar.minute;
        local.tm_sec = calendar.second;
        local.tm_isdst = -1;
        const std::time_t utc = std::mktime(&local);
        if (utc == static_cast<std::time_t>(-1))
            return 0;
        return (seconds - static_cast<std::int64_t>(utc)) * 1000;
    }
    const auto utc = static_cast<std::time_t>(seconds);
    std::tm local{};
    if (localtime_r(&utc, &local) == nullptr)
        return 0;
    return static_cast<std::int64_t>(local.tm_gmtoff) * 1000;
}
