#include "framework/real_time.h"

#include "framework/real_time_zone.h"

#include <atomic>
#include <chrono>

namespace {

constexpr double kMillisecondsPerDay = 86400000.0;
// Days from 1899-12-30 (the OLE epoch) to 1970-01-01.
constexpr std::int64_t kUnixEpochDays = 25569;

// Days since 1970-01-01 of a civil date (proleptic Gregorian).
std::int64_t DaysFromCivil(std::int64_t year, unsigned month, unsigned day)
{
    year -= month <= 2;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const auto yearOfEra = static_cast<unsigned>(year - era * 400);
    const unsigned dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + static_cast<std::int64_t>(dayOfEra) - 719468;
}

void CivilFromDays(std::int64_t days, int& year, int& month, int& day)
{
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const auto dayOfEra = static_cast<unsigned>(days - era * 146097);
    const unsigned yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const unsigned monthPart = (5 * dayOfYear + 2) / 153;
    day = static_cast<int>(dayOfYear - (153 * monthPart + 2) / 5 + 1);
    month = static_cast<int>(monthPart < 10 ? monthPart + 3 : monthPart - 9);
    year = static_cast<int>(static_cast<std::int64_t>(yearOfEra) + era * 400 + (month <= 2));
}

class SystemClock final : public ClockSource {
public:
    RealTime NowUTC() const override
    {
        const auto since = std::chrono::system_clock::now().time_since_epoch();
        return RealTime::FromUnixMilliseconds(std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
    }
};

const SystemClock kSystemClock;
std::atomic<const ClockSource*> g_clock{&kSystemClock};

} // namespace

RealTime::RealTime(const CalendarTime& calendar)
{
    const std::int64_t days = DaysFromCivil(calendar.year, static_cast<unsigned>(calendar.month),
                                            static_cast<unsigned>(calendar.day));
    const std::int64_t milliseconds =
        ((calendar.hour * 60LL + calendar.minute) * 60 + calendar.second) * 1000 + calendar.millisecond;
    *this = FromUnixMilliseconds(days * 86400000LL + milliseconds);
}

std::int64_t RealTime::UnixMilliseconds() const
{
    return static_cast<std::int64_t>(std::llround((days_ - kUnixEpochDays) * kMillisecondsPerDay));
}

RealTime RealTime::FromUnixMilliseconds(std::int64_t milliseconds)
{
    return RealTime(static_cast<double>(milliseconds) / kMillisecondsPerDay + kUnixEpochDays);
}

CalendarTime RealTime::Calendar() const
{
    CalendarTime calendar;
    if (!*this)
        return calendar;
    const std::int64_t total = UnixMilliseconds();
    std::int64_t days = total / 86400000LL;
    std::int64_t rest = total % 86400000LL;
    if (rest < 0) {
        rest += 86400000LL;
        --days;
    }
    CivilFromDays(days, calendar.year, calendar.month, calendar.day);
    calendar.millisecond = static_cast<int>(rest % 1000);
    calendar.second = static_cast<int>(rest / 1000 % 60);
    calendar.minute = static_cast<int>(rest / 60000 % 60);
    calendar.hour = static_cast<int>(rest / 3600000);
    calendar.dayOfWeek = static_cast<int>(((days % 7) + 11) % 7); // 1970-01-01 was a Thursday
    return calendar;
}

ScopedClock::ScopedClock(const ClockSource& clock) : previous_(g_clock.exchange(&clock)) {}

ScopedClock::~ScopedClock()
{
    g_clock.store(previous_);
}

RealTime NowUTC()
{
    return g_clock.load()->NowUTC();
}

RealTime Now()
{
    return Local(NowUTC());
}

RealTime UTC(RealTime local)
{
    if (!local)
        return local;
    return RealTime::FromUnixMilliseconds(local.UnixMilliseconds() - LocalOffsetMilliseconds(local, true));
}

RealTime Local(RealTime utc)
{
    if (!utc)
        return utc;
    return RealTime::FromUnixMilliseconds(utc.UnixMilliseconds() + LocalOffsetMilliseconds(utc, false));
}

RealTime Date(RealTime time)
{
    if (!time)
        return time;
    return RealTime(std::floor(time.Days()));
}
