// Framework services whose wording or source is the POSIX build's own.
#include "framework/exceptions.h"
#include "framework/paths.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace {

TEST(PosixServices, SystemCallErrorNamesErrnoAndItsText)
{
    EXPECT_EQ(WindowsError(EACCES, "hive.cpp", 42).Reason(),
              "System call error 13 (Permission denied) at \"hive.cpp\":42");
    errno = ENOENT;
    try {
        THROW_LAST_SYSTEM_ERROR();
    } catch (const WindowsError& error) {
        EXPECT_EQ(error.Code(), static_cast<unsigned long>(ENOENT));
        EXPECT_NE(error.Reason().find("No such file or directory"), std::string::npos);
    }
}

TEST(PosixServices, ModulePaths)
{
    const std::string executable = GetModuleFileNameA(nullptr);
    EXPECT_EQ(GetFileName(executable), "framework_unit_tests");
    EXPECT_EQ(GetModuleFileNameA(OwnModuleHandle()), executable); // linked statically into the program
    EXPECT_TRUE(FileExists(executable));
}

} // namespace
