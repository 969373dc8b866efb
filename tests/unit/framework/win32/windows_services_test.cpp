// Framework services that exist only in the Windows build: the exact wording of a
// failed system call, COM strings, and SYSTEMTIME conversions.
#include "framework/exceptions.h"
#include "framework/paths.h"
#include "framework/real_time.h"
#include "framework/win32/co_string.h"
#include "windows_api.h"

#include <gtest/gtest.h>

namespace {

TEST(WindowsServices, SystemCallErrorReason)
{
    EXPECT_EQ(WindowsError(5, "MTSys", 120).Reason(), "Windows system call error 5 (00000005) at \"MTSys\":120");
    EXPECT_EQ(WindowsError(0x80070005ul, "port.cpp", 7).Reason(),
              "Windows system call error -2147024891 (80070005) at \"port.cpp\":7");
    SetLastError(ERROR_ACCESS_DENIED);
    try {
        THROW_LAST_SYSTEM_ERROR();
    } catch (const WindowsError& error) {
        EXPECT_EQ(error.Code(), static_cast<unsigned long>(ERROR_ACCESS_DENIED));
    }
}

TEST(WindowsServices, CoStringCarriesRussianBothWays)
{
    const CoString text("Диспенсер: выдано 3 шт.");
    EXPECT_EQ(text.Length(), 23u);
    EXPECT_EQ(std::wstring(text.Get()), L"Диспенсер: выдано 3 шт.");
    EXPECT_EQ(newstr(text), "Диспенсер: выдано 3 шт.");

    CoString copy = text;
    EXPECT_NE(copy.Get(), text.Get());
    EXPECT_EQ(newstr(copy), newstr(text));

    CoString empty;
    EXPECT_TRUE(empty.IsEmpty());
    EXPECT_EQ(newstr(empty), "");

    BSTR detached = copy.Detach();
    EXPECT_EQ(copy.Get(), nullptr);
    const CoString attached = CoString::Attach(detached);
    EXPECT_EQ(newstr(attached), "Диспенсер: выдано 3 шт.");

    CoString out;
    *out.Receive() = SysAllocString(L"из COM");
    EXPECT_EQ(newstr(out), "из COM");
}

TEST(WindowsServices, SystemTimeRoundTrip)
{
    SYSTEMTIME time{};
    time.wYear = 2013;
    time.wMonth = 5;
    time.wDay = 31;
    time.wHour = 23;
    time.wMinute = 59;
    time.wSecond = 58;
    time.wMilliseconds = 999;
    const RealTime real(time);
    const CalendarTime calendar = real.Calendar();
    EXPECT_EQ(calendar.year, 2013);
    EXPECT_EQ(calendar.day, 31);
    EXPECT_EQ(calendar.millisecond, 999);
    const SYSTEMTIME back = real;
    EXPECT_EQ(back.wYear, 2013);
    EXPECT_EQ(back.wMonth, 5);
    EXPECT_EQ(back.wDay, 31);
    EXPECT_EQ(back.wDayOfWeek, 5); // a Friday
    EXPECT_EQ(back.wHour, 23);
    EXPECT_EQ(back.wMilliseconds, 999);
}

TEST(WindowsServices, ModulePaths)
{
    const std::string executable = GetModuleFileNameA(nullptr);
    EXPECT_EQ(GetFileName(executable), "framework_unit_tests.exe");
    EXPECT_EQ(GetModuleFileNameA(OwnModuleHandle()), executable);
    EXPECT_TRUE(IsAbsolutePath(executable));
    EXPECT_TRUE(FileExists(executable));
}

} // namespace
