#include "framework/real_time_zone.h"

#include "windows_api.h"

namespace {

SYSTEMTIME ToSystemTime(const CalendarTime& calendar)
{
    SYSTEMTIME time{};
    time.wYear = static_cast<WORD>(calendar.year);
    time.wMonth = static_cast<WORD>(calendar.month);
    time.wDay = static_cast<WORD>(calendar.day);
    time.wDayOfWeek = static_cast<WORD>(calendar.dayOfWeek);
    time.wHour = static_cast<WORD>(calendar.hour);
    time.wMinute = static_cast<WORD>(calendar.minute);
    time.wSecond = static_cast<WORD>(calendar.second);
    time.wMilliseconds = static_cast<WORD>(calendar.millisecond);
    return time;
}

} // namespace

RealTime::RealTime(const _SYSTEMTIME& time)
{
    CalendarTime calendar;
    calendar.year = time.wYear;
    calendar.month = time.wMonth;
    calendar.day = time.wDay;
    calendar.hour = time.wHour;
    calendar.minute = time.wMinute;
    calendar.second = time.wSecond;
    calendar.millisecond = time.wMilliseconds;
    *this = RealTime(calendar);
}

RealTime::operator _SYSTEMTIME() const
{
    return ToSystemTime(Calendar());
}

std::int64_t LocalOffsetMilliseconds(RealTime time, bool isLocal)
{
    const SYSTEMTIME given = ToSystemTime(time.Calendar());
    SYSTEMTIME converted{};
    const BOOL done = isLocal ? TzSpecificLocalTimeToSystemTime(nullptr, &given, &converted)
                              : SystemTimeToTzSpecificLocalTime(nullptr, &given, &converted);
    if (!done)
        return 0;
    const std::int64_t difference = RealTime(converted).UnixMilliseconds() - time.UnixMilliseconds();
    // local = utc + offset: converting local->UTC gives -offset, UTC->local gives +offset.
    return isLocal ? -difference : difference;
}
