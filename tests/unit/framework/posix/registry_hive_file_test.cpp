#include "framework/posix/registry_hive_file.h"

#include "framework/exceptions.h"
#include "framework/registry.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_registry.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

TEST(RegistryHiveFile, WritesAReadableRegistryExportFile)
{
    TestRegistry registry;
    RegKey key(registry.Root(), "Software\\Orvane\\Tallivox\\Kiosk\\Dispenser", true, RegAccessAll);
    key["BaudRate"] = 9600;
    key["Device"] = "LCDM-2000";
    const std::string text = ReadFileBytes(registry.HiveFile());
    EXPECT_EQ(text.rfind("Windows Registry Editor Version 5.00\n", 0), 0u);
    EXPECT_NE(text.find("[HKEY_LOCAL_MACHINE\\Software\\Orvane\\Tallivox\\Kiosk\\Dispenser]\n"
                        "\"BaudRate\"=dword:00002580\n\"Device\"=\"LCDM-2000\"\n"),
              std::string::npos)
        << text;
}

TEST(RegistryHiveFile, MalformedHiveNamesTheFileAndLine)
{
    TestRegistry registry;
    WriteFileBytes(registry.HiveFile(), "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\A]\n"
                                        "\"Count\"=dword:12345678\n\"Bad\"=hex:01,02\n");
    try {
        RegKey key(registry.Root(), "A", false, RegAccessRead);
        FAIL() << "a malformed hive was read";
    } catch (const InvalidValue& error) {
        EXPECT_NE(error.Reason().find(registry.HiveFile()), std::string::npos) << error.Reason();
        EXPECT_NE(error.Reason().find("line 5"), std::string::npos) << error.Reason();
    }
}

TEST(RegistryHiveFile, ReplacementKeepsTheFileModeAndLeavesNoTemporary)
{
    TestRegistry registry;
    RegKey key(registry.Root(), "A", true, RegAccessAll);
    ASSERT_EQ(chmod(registry.HiveFile().c_str(), 0600), 0);
    key["X"] = 1;
    struct stat status {};
    ASSERT_EQ(stat(registry.HiveFile().c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0600u);
    EXPECT_NE(stat((registry.HiveFile() + ".tmp").c_str(), &status), 0);
}

TEST(RegistryHiveFile, NoHiveConfiguredIsAClearError)
{
    SetRegistryHivePath("");
    const char* saved = std::getenv("DISPENSER_REGISTRY");
    const std::string keep = saved != nullptr ? saved : "";
    unsetenv("DISPENSER_REGISTRY");
    EXPECT_THROW(RegKey(RegistryRoot::LocalMachine, "A", false, RegAccessRead), InternalError);
    if (!keep.empty())
        setenv("DISPENSER_REGISTRY", keep.c_str(), 1);
}

TEST(RegistryHiveFile, EnvironmentNamesTheHive)
{
    TempFolder folder;
    const std::string file = folder.File("from-env.reg");
    SetRegistryHivePath("");
    setenv("DISPENSER_REGISTRY", file.c_str(), 1);
    RegKey(RegistryRoot::CurrentUser, "Software\\X", true, RegAccessAll)["V"] = 3;
    unsetenv("DISPENSER_REGISTRY");
    EXPECT_NE(ReadFileBytes(file).find("[HKEY_CURRENT_USER\\Software\\X]"), std::string::npos);
}

} // namespace
