// Which hive file the commands change: the one named, else DISPENSER_REGISTRY, never
// a guess; a named file that does not exist is pointed out where the command only reads.
#include "framework/posix/registry_hive_file.h"
#include "tests/support/temp_folder.h"
#include "tests/unit/tools/standard_streams_double.h"
#include "tools/dispenserctl/command_line.h"
#include "tools/dispenserctl/console.h"
#include "tools/dispenserctl/registry_location.h"

#include <stdlib.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace {

// DISPENSER_REGISTRY and the process's hive file as they were, put back at the end.
class RegistryChoiceRestorer {
public:
    RegistryChoiceRestorer()
    {
        if (const char* value = ::getenv(kVariable))
            saved_ = value;
    }
    ~RegistryChoiceRestorer()
    {
        if (saved_)
            ::setenv(kVariable, saved_->c_str(), 1);
        else
            ::unsetenv(kVariable);
        SetRegistryHivePath("");
    }
    RegistryChoiceRestorer(const RegistryChoiceRestorer&) = delete;
    RegistryChoiceRestorer& operator=(const RegistryChoiceRestorer&) = delete;

    static constexpr const char* kVariable = "DISPENSER_REGISTRY";

private:
    std::optional<std::string> saved_;
};

TEST(RegistryLocationPosix, TheNamedFileComesBeforeTheEnvironment)
{
    const RegistryChoiceRestorer restorer;
    const TempFolder folder;
    ::setenv(RegistryChoiceRestorer::kVariable, folder.File("environment.reg").c_str(), 1);
    Console console;
    UseRegistry(folder.File("named.reg"), false, console);
    EXPECT_EQ(RegistryHivePath(), folder.File("named.reg"));
}

TEST(RegistryLocationPosix, WithoutANamedFileTheEnvironmentNamesIt)
{
    const RegistryChoiceRestorer restorer;
    const TempFolder folder;
    ::setenv(RegistryChoiceRestorer::kVariable, folder.File("environment.reg").c_str(), 1);
    Console console;
    UseRegistry(std::nullopt, false, console);
    EXPECT_EQ(RegistryHivePath(), folder.File("environment.reg"));
}

TEST(RegistryLocationPosix, WithNeitherTheCommandIsRefused)
{
    const RegistryChoiceRestorer restorer;
    ::unsetenv(RegistryChoiceRestorer::kVariable);
    Console console;
    EXPECT_THROW(UseRegistry(std::nullopt, false, console), UsageError);
}

TEST(RegistryLocationPosix, AMissingFileIsPointedOutOnlyWhereAsked)
{
    const RegistryChoiceRestorer restorer;
    const TempFolder folder;
    const std::string missing = folder.File("mistyped.reg");
    const std::string present = folder.File("site.reg");
    WriteFileBytes(present, "Windows Registry Editor Version 5.00\n");
    std::string noted;
    std::string notAsked;
    std::string presentNoted;
    {
        PipedStream error(ConsoleStream::Error);
        Console console;
        UseRegistry(missing, true, console);
        noted = error.Drain();
        UseRegistry(missing, false, console);
        notAsked = error.Drain();
        UseRegistry(present, true, console);
        presentNoted = error.Drain();
    }
    EXPECT_NE(noted.find(missing), std::string::npos) << noted;
    EXPECT_EQ(notAsked, "");
    EXPECT_EQ(presentNoted, "");
}

} // namespace
