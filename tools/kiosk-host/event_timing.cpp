#include "tools/kiosk-host/event_timing.h"

#include "framework/win32/wide_text.h"
#include "tools/kiosk-host/host_error.h"

#include "windows_api.h"

#include <filesystem>
#include <fstream>

namespace {

using SystemTimeFunction = VOID(WINAPI*)(LPFILETIME);

// The precise clock where the system has one (Windows 8 on), else the one of every
// version: the program still starts on Windows 7.
SystemTimeFunction SystemTimeSource()
{
    const FARPROC precise = GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetSystemTimePreciseAsFileTime");
    return precise != nullptr ? reinterpret_cast<SystemTimeFunction>(reinterpret_cast<void*>(precise))
                              : &GetSystemTimeAsFileTime;
}

} // namespace

std::int64_t SystemClockMicroseconds()
{
    static const SystemTimeFunction source = SystemTimeSource();
    FILETIME now{};
    source(&now);
    const std::int64_t ticks =
        static_cast<std::int64_t>((static_cast<std::uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime);
    // FILETIME counts 100 ns from 1601.
    constexpr std::int64_t kTicksFrom1601To1970 = 116444736000000000LL;
    return (ticks - kTicksFrom1601To1970) / 10;
}

void AppendEventTiming(const std::string& path, const std::string& event, std::int64_t called,
                       std::int64_t returned)
{
    std::ofstream file(std::filesystem::path(Widen(path)), std::ios::app);
    file << event << ' ' << called << ' ' << returned << '\n';
    file.flush();
    if (!file)
        throw HostError("cannot write the timing file " + path);
}
