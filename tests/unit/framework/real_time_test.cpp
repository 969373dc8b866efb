#include "framework/real_time.h"

#include "framework/paths.h"
#include "framework/text_format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <string>

namespace {

RealTime Time(int year, int month, int day, int hour = 0, int minute = 0, int second = 0, int millisecond = 0)
{
    return RealTime(CalendarTime{year, month, day, hour, minute, second, millisecond, 0});
}

// The calendar fields of a time as "YYYY-MM-DD hh:mm:ss.mmm w" (w: day of the week, 0 = Sunday).
std::string Text(RealTime time)
{
    const CalendarTime c = time.Calendar();
    return FormatText("%04d-%02d-%02d %02d:%02d:%02d.%03d %d", c.year, c.month, c.day, c.hour, c.minute, c.second,
                      c.millisecond, c.dayOfWeek);
}

class FixedClock final : public ClockSource {
public:
    explicit FixedClock(RealTime now) : now_(now) {}
    RealTime NowUTC() const override { return now_; }

private:
    RealTime now_;
};

TEST(RealTime, CalendarRoundTripsAndWeekdays)
{
    struct Case {
        RealTime time;
        const char* text;
        double days; // whole days since 1899-12-30
    };
    const Case cases[] = {
        {Time(1899, 12, 30), "1899-12-30 00:00:00.000 6", 0},
        {Time(1900, 3, 1, 6), "1900-03-01 06:00:00.000 4", 61},
        {Time(1969, 12, 31, 23, 59, 59, 999), "1969-12-31 23:59:59.999 3", 25568},
        {Time(1970, 1, 1), "1970-01-01 00:00:00.000 4", 25569},
        {Time(2000, 2, 29, 12), "2000-02-29 12:00:00.000 2", 36585},
        {Time(2024, 2, 29, 23, 59, 59, 999), "2024-02-29 23:59:59.999 4", 45351},
        {Time(2038, 1, 19, 3, 14, 8), "2038-01-19 03:14:08.000 2", 50424},
        {Time(2099, 12, 31, 18, 30, 0, 1), "2099-12-31 18:30:00.001 4", 73050},
        {Time(2100, 3, 1, 0, 0, 0, 500), "2100-03-01 00:00:00.500 1", 73110},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Text(c.time), c.text);
        EXPECT_EQ(std::floor(c.time.Days()), c.days) << c.text;
        EXPECT_EQ(Text(RealTime(c.time.Days())), c.text); // through the stored day count
    }
    EXPECT_EQ(Time(1970, 1, 1, 12).Days(), 25569.5);
    EXPECT_EQ(Time(1970, 1, 1, 6).Days(), 25569.25);
}

TEST(RealTime, LeapDays)
{
    EXPECT_EQ(Text(Time(2024, 2, 28, 10) + 1), "2024-02-29 10:00:00.000 4");
    EXPECT_EQ(Text(Time(2024, 2, 29, 10) + 1), "2024-03-01 10:00:00.000 5");
    EXPECT_EQ(Text(Time(2000, 2, 28) + 1), "2000-02-29 00:00:00.000 2"); // divisible by 400
    EXPECT_EQ(Text(Time(2100, 2, 28) + 1), "2100-03-01 00:00:00.000 1"); // divisible by 100 only
    EXPECT_EQ(Text(Time(1900, 2, 28) + 1), "1900-03-01 00:00:00.000 4");
    EXPECT_EQ(Text(Time(2024, 12, 31, 23, 59, 59, 999) + 1), "2025-01-01 23:59:59.999 3");
    EXPECT_EQ(Time(2025, 1, 1) - Time(2024, 1, 1), 366);
    EXPECT_EQ(Time(2101, 1, 1) - Time(2100, 1, 1), 365);
}

TEST(RealTime, UnixMilliseconds)
{
    EXPECT_EQ(Time(1970, 1, 1).UnixMilliseconds(), 0);
    EXPECT_EQ(Time(2038, 1, 19, 3, 14, 8).UnixMilliseconds(), 2147483648000LL); // past 32-bit seconds
    EXPECT_EQ(Time(2100, 1, 1, 0, 0, 0, 123).UnixMilliseconds(), 4102444800123LL);
    EXPECT_EQ(Time(1899, 12, 30).UnixMilliseconds(), -25569LL * 86400000);
    for (std::int64_t ms : {0LL, 1LL, -1LL, 999LL, 1700000000123LL, 2147483647999LL, 4102444800001LL, -86400001LL})
        EXPECT_EQ(RealTime::FromUnixMilliseconds(ms).UnixMilliseconds(), ms);
    EXPECT_EQ(Text(RealTime::FromUnixMilliseconds(-1)), "1969-12-31 23:59:59.999 3");
}

TEST(RealTime, NullTimeDateAndOperators)
{
    const RealTime null;
    EXPECT_FALSE(null);
    EXPECT_FALSE(UTC(null));
    EXPECT_FALSE(Local(null));
    EXPECT_FALSE(Date(null));
    EXPECT_FALSE(null + 1);
    EXPECT_EQ(Text(null), "1899-12-30 00:00:00.000 6");
    EXPECT_TRUE(RealTime(0.0)); // the epoch itself is a time

    const RealTime evening = Time(2024, 2, 29, 23, 59, 59, 999);
    EXPECT_EQ(Text(Date(evening)), "2024-02-29 00:00:00.000 4");
    EXPECT_EQ(Date(Date(evening)), Date(evening));
    EXPECT_EQ(Date(Time(2038, 1, 19)), Time(2038, 1, 19));
    EXPECT_NEAR((evening - Date(evening)) * 86400000, 86399999, 0.01);

    const RealTime start = Time(2024, 3, 30, 6);
    const RealTime later = start + 1.5;
    EXPECT_EQ(Text(later), "2024-03-31 18:00:00.000 0");
    EXPECT_EQ(Text(later - 0.25), "2024-03-31 12:00:00.000 0");
    EXPECT_EQ(Text(start + 1.0 / 86400), "2024-03-30 06:00:01.000 6");
    EXPECT_EQ(later - start, 1.5);
    EXPECT_TRUE(start < later);
    EXPECT_FALSE(start < start);
    EXPECT_TRUE(Time(2024, 3, 30, 6) == start);
}

TEST(RealTime, ScopedClockReplacesTheSystemClock)
{
    const RealTime fixed = Time(2001, 9, 8, 1, 46, 40);
    const RealTime other = Time(2030, 6, 15, 12);
    {
        const FixedClock clock(fixed);
        const ScopedClock scoped(clock);
        EXPECT_EQ(NowUTC(), fixed);
        EXPECT_EQ(Now(), Local(fixed));
        {
            const FixedClock inner(other);
            const ScopedClock nested(inner);
            EXPECT_EQ(NowUTC(), other);
        }
        EXPECT_EQ(NowUTC(), fixed); // the outer clock is back
    }
    // The system clock again: some time in this century, not the fixed one.
    const int year = NowUTC().Calendar().year;
    EXPECT_GE(year, 2024);
    EXPECT_LT(year, 2100);
    EXPECT_TRUE(Now());
}

bool CLibraryFollowsSystemZone()
{
    return PreferredPathSeparator() == '/' || std::getenv("TZ") == nullptr;
}

TEST(RealTime, LocalAndUtcAreInverseAwayFromDst)
{
    // Mid-winter and mid-summer noon, far from any zone's DST change; 2038+ included.
    const RealTime times[] = {Time(2023, 1, 15, 12), Time(2023, 7, 15, 12, 30, 15, 250), Time(2038, 7, 15, 12),
                              Time(2040, 1, 15, 12), Time(1999, 12, 31, 12)};
    for (const RealTime time : times) {
        SCOPED_TRACE(Text(time));
        EXPECT_EQ(Local(UTC(time)).UnixMilliseconds(), time.UnixMilliseconds());
        EXPECT_EQ(UTC(Local(time)).UnixMilliseconds(), time.UnixMilliseconds());
        // Real zones are whole quarter hours from UTC, at most 14 hours away.
        const std::int64_t offset = Local(time).UnixMilliseconds() - time.UnixMilliseconds();
        EXPECT_EQ(offset % (15 * 60 * 1000), 0);
        EXPECT_LE(std::llabs(offset), 14LL * 3600 * 1000);
        EXPECT_EQ(time.UnixMilliseconds() - UTC(time).UnixMilliseconds(), offset);

        // The C library's view of the same instant, which catches an offset of the wrong
        // sign. The Windows C runtime reads TZ in a format of its own instead of the
        // system's zone, so it is asked only where it follows the system.
        if (!CLibraryFollowsSystemZone())
            continue;
        const std::time_t seconds = static_cast<std::time_t>(time.UnixMilliseconds() / 1000);
        const std::tm* library = std::localtime(&seconds);
        ASSERT_NE(library, nullptr);
        EXPECT_EQ(Text(Local(time)).substr(0, 16),
                  FormatText("%04d-%02d-%02d %02d:%02d", library->tm_year + 1900, library->tm_mon + 1,
                             library->tm_mday, library->tm_hour, library->tm_min));
    }
}

} // namespace
