// On Windows the settings live in the system registry: a hive file named on the
// command line is refused, never silently ignored, and the refusal says where they are.
#include "Plugin/Dispenser/settings.h"
#include "tests/unit/tools/standard_streams_double.h"
#include "tools/dispenserctl/command_line.h"
#include "tools/dispenserctl/console.h"
#include "tools/dispenserctl/registry_location.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace {

TEST(RegistryLocationWin32, ANamedFileIsRefusedWithTheSystemKey)
{
    Console console;
    try {
        UseRegistry(std::string("C:\\site.reg"), true, console);
        ADD_FAILURE() << "--registry was taken on Windows";
    } catch (const UsageError& error) {
        EXPECT_NE(std::string(error.what()).find(std::string("HKEY_LOCAL_MACHINE\\") + DispenserControl::kSettingsKey),
                  std::string::npos)
            << error.what();
    }
}

TEST(RegistryLocationWin32, WithoutANamedFileTheSystemRegistryIsUsedQuietly)
{
    std::string noted;
    {
        PipedStream error(ConsoleStream::Error);
        Console console;
        EXPECT_NO_THROW(UseRegistry(std::nullopt, true, console));
        noted = error.Drain();
    }
    EXPECT_EQ(noted, "");
}

} // namespace
