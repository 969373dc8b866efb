#include "Plugin/Plugin/registration.h"

#include "Plugin/Dispenser/settings.h"
#include "framework/registry.h"
#include "tests/support/test_registry.h"

#include <gtest/gtest.h>

#include <map>

namespace {

using Snapshot = std::map<std::string, std::string>;

// Every value under a key, as "subkey\name" -> text, for comparing whole trees.
void Collect(const RegKey& key, const std::string& prefix, Snapshot& into)
{
    for (const std::string& name : key.ValueNames()) {
        const auto data = key.Read(name);
        into[prefix + name] = data->type == RegValueType::Dword ? std::to_string(data->dword) : data->text;
    }
    for (const std::string& sub : key.SubkeyNames())
        Collect(RegKey(key, sub, false, RegAccessRead), prefix + sub + "\\", into);
}

Snapshot Tree(RegistryRoot root, const std::string& path)
{
    Snapshot snapshot;
    const RegKey key(root, path, false, RegAccessRead);
    if (key.IsOpen())
        Collect(key, "", snapshot);
    return snapshot;
}

class Registration : public ::testing::Test {
protected:
    Registration()
    {
        RegKey(RegistryRoot::LocalMachine, "Software\\Orvane\\Tallivox", true, RegAccessAll)["Root Path"] =
            "C:\\Orvane\\Tallivox";
    }
    static RegKey Settings()
    {
        return RegKey(RegistryRoot::LocalMachine, DispenserControl::kSettingsKey, true, RegAccessAll);
    }

    TestRegistry registry_;
    const std::string module_ = "C:\\Orvane\\Tallivox\\Plugins\\DispenserPlugin.dll";
};

TEST_F(Registration, ClassesAnnouncementsAndLogDefaults)
{
    Plugin::InstallPlugin(module_);
    const RegKey plugin(RegistryRoot::ClassesRoot, std::string("CLSID\\") + Plugin::kPluginClassId, false,
                        RegAccessRead);
    EXPECT_EQ(plugin.ReadString(""), "Orvane Tallivox Dispenser plugin");
    const RegKey server(plugin, "InProcServer32", false, RegAccessRead);
    EXPECT_EQ(server.ReadString(""), module_);
    EXPECT_EQ(server.ReadString("ThreadingModel"), "Both");
    EXPECT_EQ(RegKey(RegistryRoot::ClassesRoot,
                     std::string("CLSID\\") + Plugin::kControlPluginClassId + "\\InProcServer32", false, RegAccessRead)
                  .ReadString(""),
              module_);
    EXPECT_EQ(RegKey(RegistryRoot::LocalMachine, "Software\\Orvane\\Tallivox\\Plugins\\Dispenser", false,
                     RegAccessRead)
                  .ReadString("CLSID"),
              Plugin::kPluginClassId);
    EXPECT_EQ(RegKey(RegistryRoot::LocalMachine, "Software\\Orvane\\Tallivox\\Control Plugins\\Dispenser", false,
                     RegAccessRead)
                  .ReadString("CLSID"),
              Plugin::kControlPluginClassId);
    // The host's root made ready for a file name, then the plug-in's folders.
    EXPECT_EQ(Settings().ReadString("LogDir").rfind("C:\\Orvane\\Tallivox", 0), 0u);
    EXPECT_NE(Settings().ReadString("LogDir").find("Logs\\Dispenser"), std::string::npos);
    EXPECT_NE(Settings().ReadString("DebugLog").find("Logs\\Dispenser\\DebugLog *.txt"), std::string::npos);
}

TEST_F(Registration, InstallingTwiceLeavesTheSameRegistryAndKeepsAnOperatorsLogDir)
{
    Plugin::InstallPlugin(module_);
    Settings()["LogDir"] = "D:\\Journal";
    const Snapshot settings = Tree(RegistryRoot::LocalMachine, "Software\\Orvane");
    const Snapshot classes = Tree(RegistryRoot::ClassesRoot, std::string("CLSID\\") + Plugin::kPluginClassId);
    Plugin::InstallPlugin(module_);
    EXPECT_EQ(Tree(RegistryRoot::LocalMachine, "Software\\Orvane"), settings);
    EXPECT_EQ(Tree(RegistryRoot::ClassesRoot, std::string("CLSID\\") + Plugin::kPluginClassId), classes);
    EXPECT_EQ(Settings().ReadString("LogDir"), "D:\\Journal");
}

TEST_F(Registration, TheOldCassetteSubkeyMovesOnce)
{
    {
        RegKey old(Settings(), "Cassete\\1", true, RegAccessAll);
        old["Count"] = 250;
        old["Denomination"] = 1000;
        RegKey(Settings(), "Cassete\\2", true, RegAccessAll)["Count"] = 40;
    }
    Plugin::InstallPlugin(module_);
    EXPECT_FALSE(Settings().HasSubkey("Cassete"));
    EXPECT_EQ(RegKey(Settings(), "Cassette\\1", false, RegAccessRead).ReadDword("Count"), 250u);
    EXPECT_EQ(RegKey(Settings(), "Cassette\\2", false, RegAccessRead).ReadDword("Count"), 40u);
}

TEST_F(Registration, WithBothSubkeysNothingChanges)
{
    RegKey(Settings(), "Cassete\\1", true, RegAccessAll)["Count"] = 1;
    RegKey(Settings(), "Cassette\\1", true, RegAccessAll)["Count"] = 2;
    Plugin::InstallPlugin(module_);
    EXPECT_TRUE(Settings().HasSubkey("Cassete"));
    EXPECT_EQ(RegKey(Settings(), "Cassette\\1", false, RegAccessRead).ReadDword("Count"), 2u);
    EXPECT_EQ(RegKey(Settings(), "Cassete\\1", false, RegAccessRead).ReadDword("Count"), 1u);
}

TEST_F(Registration, WithoutAHostRootTheModulesFolderServes)
{
    RegKey(RegistryRoot::LocalMachine, "Software\\Orvane\\Tallivox", true, RegAccessAll)["Root Path"].Delete();
    EXPECT_EQ(Plugin::HostRootPath("/opt/kiosk/plugins/DispenserPlugin.so").rfind("/opt/kiosk/plugins", 0), 0u);
}

} // namespace
