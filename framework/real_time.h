// RealTime: a point in time as days since 1899-12-30 00:00 (the OLE date), with the
// time of day as the fraction. Which clock a value is on (local or UTC) is the
// caller's knowledge: Now() is local time, UTC() and Local() convert.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

struct _SYSTEMTIME; // Windows only: the conversions below are defined in the Windows build

struct CalendarTime {
    int year = 1899;
    int month = 12; // 1..12
    int day = 30;   // 1..31
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
    int dayOfWeek = 6; // 0 = Sunday
};

class RealTime {
public:
    RealTime() = default; // the null time
    explicit RealTime(double days) : days_(days) {}
    explicit RealTime(const CalendarTime& calendar);
    explicit RealTime(const _SYSTEMTIME& time);

    explicit operator bool() const { return !std::isnan(days_); }
    double Days() const { return days_; }

    // The calendar fields, rounded to the nearest millisecond. The null time gives
    // the default CalendarTime.
    CalendarTime Calendar() const;
    operator _SYSTEMTIME() const;

    // Milliseconds since 1970-01-01 00:00 on the same clock, and back.
    std::int64_t UnixMilliseconds() const;
    static RealTime FromUnixMilliseconds(std::int64_t milliseconds);

    friend RealTime operator+(RealTime time, double days) { return RealTime(time.days_ + days); }
    friend RealTime operator-(RealTime time, double days) { return RealTime(time.days_ - days); }
    friend double operator-(RealTime a, RealTime b) { return a.days_ - b.days_; }
    friend bool operator==(RealTime a, RealTime b) { return a.days_ == b.days_; }
    friend bool operator<(RealTime a, RealTime b) { return a.days_ < b.days_; }

private:
    double days_ = std::numeric_limits<double>::quiet_NaN();
};

// A clock that Now() reads from. Tests install their own (ScopedClock); the
// default is the system's clock.
class ClockSource {
public:
    virtual ~ClockSource() = default;
    virtual RealTime NowUTC() const = 0;
};

// Installs a clock for the life of the object (process-wide; not nested across threads).
class ScopedClock {
public:
    explicit ScopedClock(const ClockSource& clock);
    ~ScopedClock();
    ScopedClock(const ScopedClock&) = delete;
    ScopedClock& operator=(const ScopedClock&) = delete;

private:
    const ClockSource* previous_;
};

RealTime Now();      // the current local time
RealTime NowUTC();   // the current time in UTC
RealTime UTC(RealTime local);  // local time -> UTC (the system's time-zone rules)
RealTime Local(RealTime utc);  // UTC -> local time
RealTime Date(RealTime time);  // midnight of the same day
